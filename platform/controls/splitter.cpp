#include "platform/controls/splitter.h"

#include <algorithm>
#include <cmath>

#include "platform/variant/error.h"
#include "platform/variant/strings.h"

namespace kv::controls {

void SplitPane::SetMinSize(long twips) {
    if (twips < 0)
        throw Error(kInvalidPropertyValue, "Invalid property value: a minimum size cannot be negative",
                    owner_->Name());
    min_size_ = twips;
    owner_->Changed.Raise(ControlChange::Layout);
}

Splitter::Splitter(std::string name, SplitDirection direction)
    : Control(std::move(name)), direction_(direction), pane1_(this, 1), pane2_(this, 2) {}

void Splitter::SetPaneControl(long index, std::string control_name) {
    if (index != 1 && index != 2)
        throw Error(err::kInvalidCall, "A splitter has panes 1 and 2, not " + std::to_string(index), Name());
    (index == 1 ? pane1_ : pane2_).control_ = std::move(control_name);
    Notify(ControlChange::Layout);
}

SplitPane& Splitter::Pane(long index) {
    if (index == 1) return pane1_;
    if (index == 2) return pane2_;
    throw Error(35600, "Index out of bounds: pane " + std::to_string(index), Name());
}

SplitPane& Splitter::Pane(std::string_view control_name) {
    if (!pane1_.control_.empty() && EqualsNoCase(pane1_.control_, control_name)) return pane1_;
    if (!pane2_.control_.empty() && EqualsNoCase(pane2_.control_, control_name)) return pane2_;
    throw Error(35601, "Element not found: no pane holds '" + std::string(control_name) + "'", Name());
}

void Splitter::SetPosition(long percent) {
    position_ = std::clamp(percent, 0L, 100L);
    Notify(ControlChange::Layout);
}

void Splitter::SetBackColor(long colour) {
    back_color_ = colour;
    Notify(ControlChange::Properties);
}

long Splitter::ClampFirst(long first) const {
    long room = std::max(0L, Length() - kBarSize);
    long lo = pane1_.min_size_;
    long hi = room - pane2_.min_size_;
    if (lo > hi) {
        // Both minimums do not fit: the first pane keeps as much of its minimum as there is room for.
        return std::clamp(first, 0L, std::min(lo, room));
    }
    return std::clamp(first, lo, hi);
}

long Splitter::FirstPaneSize() const {
    long room = std::max(0L, Length() - kBarSize);
    long first = static_cast<long>(std::lround(static_cast<double>(room) * position_ / 100.0));
    return ClampFirst(first);
}

long Splitter::SecondPaneSize() const {
    long room = std::max(0L, Length() - kBarSize);
    return std::max(0L, room - FirstPaneSize());
}

bool Splitter::UserMoveBar(long first_pane_twips) {
    if (!Enabled() || !Visible()) return false;
    long room = std::max(0L, Length() - kBarSize);
    long first = ClampFirst(first_pane_twips);
    position_ = room > 0 ? static_cast<long>(std::lround(100.0 * first / room)) : position_;
    Notify(ControlChange::Layout);
    PositionChanged.Raise();
    return true;
}

}  // namespace kv::controls
