#include "platform/controls/toolbar.h"

#include "platform/variant/error.h"
#include "platform/variant/strings.h"

namespace kv::controls {

Toolbar::Toolbar(std::string name) : Control(std::move(name)) {
    for (const char* key : {kToolbarNew, kToolbarConfirm, kToolbarCancel, kToolbarDelete})
        buttons_.push_back(ToolbarButton{key, key, true, true});
}

long Toolbar::IndexOf(std::string_view key) const {
    for (std::size_t i = 0; i < buttons_.size(); ++i)
        if (EqualsNoCase(buttons_[i].key, key)) return static_cast<long>(i);
    return -1;
}

long Toolbar::Require(std::string_view key) const {
    long i = IndexOf(key);
    if (i < 0)
        throw Error(kToolbarKeyNotFound, "Element not found: button '" + std::string(key) + "'", Name());
    return i;
}

void Toolbar::AddButton(std::string key, std::string caption, std::string_view next_to) {
    if (key.empty()) throw Error(err::kInvalidCall, "A toolbar button needs a key", Name());
    if (IndexOf(key) >= 0)
        throw Error(kToolbarKeyNotUnique, "Key is not unique in collection: button '" + key + "'", Name());
    auto at = buttons_.end();
    if (!next_to.empty()) at = buttons_.begin() + Require(next_to) + 1;
    buttons_.insert(at, ToolbarButton{std::move(key), std::move(caption), true, true});
    Notify(ControlChange::Layout);
}

void Toolbar::AddCheckButton(std::string key, std::string caption, std::string_view next_to) {
    const std::string k = key;
    AddButton(std::move(key), std::move(caption), next_to);
    buttons_[static_cast<std::size_t>(Require(k))].checkable = true;
    Notify(ControlChange::Properties);
}

void Toolbar::SetButtonChecked(std::string_view key, bool checked) {
    auto& b = buttons_[static_cast<std::size_t>(Require(key))];
    if (!b.checkable || b.checked == checked) return;
    b.checked = checked;
    Notify(ControlChange::Properties);
}

bool Toolbar::ButtonChecked(std::string_view key) const {
    return buttons_[static_cast<std::size_t>(Require(key))].checked;
}

void Toolbar::EnableButton(std::string_view key, bool enabled) {
    auto& b = buttons_[static_cast<std::size_t>(Require(key))];
    if (b.enabled == enabled) return;
    b.enabled = enabled;
    Notify(ControlChange::Properties);
}

bool Toolbar::ButtonEnabled(std::string_view key) const {
    return buttons_[static_cast<std::size_t>(Require(key))].enabled;
}

void Toolbar::SetButtonVisible(std::string_view key, bool visible) {
    auto& b = buttons_[static_cast<std::size_t>(Require(key))];
    if (b.visible == visible) return;
    b.visible = visible;
    Notify(ControlChange::Layout);
}

const ToolbarButton& Toolbar::Button(long index) const {
    if (index < 0 || index >= ButtonCount())
        throw Error(35600, "Index out of bounds: button " + std::to_string(index), Name());
    return buttons_[static_cast<std::size_t>(index)];
}

bool Toolbar::UserClick(std::string_view key) {
    long i = IndexOf(key);
    if (i < 0 || !Enabled() || !Visible()) return false;
    // Copied: a handler may add buttons, which moves the stored ones.
    const ToolbarButton b = buttons_[static_cast<std::size_t>(i)];
    if (!b.enabled || !b.visible) return false;
    if (b.checkable) SetButtonChecked(b.key, !b.checked);
    ButtonClick.Raise(b.key);
    return true;
}

}  // namespace kv::controls
