#include "platform/controls/control.h"

#include "platform/variant/error.h"

namespace kv::controls {

void Control::SetEnabled(bool enabled) {
    if (enabled_ == enabled) return;
    enabled_ = enabled;
    Notify(ControlChange::Properties);
}

void Control::SetVisible(bool visible) {
    if (visible_ == visible) return;
    visible_ = visible;
    Notify(ControlChange::Properties);
}

void Control::Move(long left, long top, long width, long height) {
    if (width < 0 || height < 0)
        throw Error(kInvalidPropertyValue, "Invalid property value: a size cannot be negative", name_);
    if (left == left_ && top == top_ && width == width_ && height == height_) return;
    left_ = left;
    top_ = top;
    width_ = width;
    height_ = height;
    Notify(ControlChange::Geometry);
}

void Control::SetToolTipText(std::string text) {
    if (text == tool_tip_) return;
    tool_tip_ = std::move(text);
    Notify(ControlChange::Properties);
}

void Control::SetFocus() {
    if (!enabled_ || !visible_)
        throw Error(err::kInvalidCall,
                    "Invalid procedure call or argument: " + name_ +
                        " cannot take the focus while it is disabled or hidden",
                    name_);
    Notify(ControlChange::Focus);
}

void Control::ZOrder() { Notify(ControlChange::ZOrder); }

}  // namespace kv::controls
