#include "platform/controls/simple_controls.h"

#include "platform/variant/error.h"
#include "platform/variant/strings.h"

namespace kv::controls {

void Label::SetCaption(std::string caption) {
    if (caption == caption_) return;
    caption_ = std::move(caption);
    Notify(ControlChange::Properties);
}

void Label::SetAlignment(int alignment) {
    if (alignment < 0 || alignment > 2)
        throw Error(kInvalidPropertyValue, "Invalid property value: alignment " + std::to_string(alignment),
                    Name());
    alignment_ = alignment;
    Notify(ControlChange::Properties);
}

void GroupBox::SetCaption(std::string caption) {
    if (caption == caption_) return;
    caption_ = std::move(caption);
    Notify(ControlChange::Properties);
}

void TextField::SetText(std::string text) {
    if (max_length_ > 0 && static_cast<long>(Len(text)) > max_length_) text = kv::Left(text, max_length_);
    if (text == text_) return;
    text_ = std::move(text);
    Notify(ControlChange::Content);
}

void TextField::SetMaxLength(long n) {
    if (n < 0)
        throw Error(kInvalidPropertyValue, "Invalid property value: MaxLength cannot be negative", Name());
    max_length_ = n;
    if (max_length_ > 0 && static_cast<long>(Len(text_)) > max_length_) SetText(text_);
    Notify(ControlChange::Properties);
}

void TextField::SetLocked(bool locked) {
    locked_ = locked;
    Notify(ControlChange::Properties);
}

bool TextField::UserType(const std::string& text) {
    if (!Enabled() || !Visible() || locked_) return false;
    SetText(text);
    Change.Raise();
    return true;
}

void CommandButton::SetCaption(std::string caption) {
    if (caption == caption_) return;
    caption_ = std::move(caption);
    Notify(ControlChange::Properties);
}

bool CommandButton::UserClick() {
    if (!Enabled() || !Visible()) return false;
    Click.Raise();
    return true;
}

void ComboBox::AddItem(std::string item) {
    items_.push_back(std::move(item));
    Notify(ControlChange::Content);
}

void ComboBox::Clear() {
    items_.clear();
    list_index_ = -1;
    text_.clear();
    Notify(ControlChange::Content);
}

const std::string& ComboBox::List(long index) const {
    if (index < 0 || index >= ListCount())
        throw Error(381, "Invalid property array index " + std::to_string(index), Name());
    return items_[static_cast<std::size_t>(index)];
}

void ComboBox::SetListIndex(long index) {
    if (index < -1 || index >= ListCount())
        throw Error(kInvalidPropertyValue, "Invalid property value: ListIndex " + std::to_string(index),
                    Name());
    list_index_ = index;
    if (index >= 0) text_ = items_[static_cast<std::size_t>(index)];
    Notify(ControlChange::Current);
}

void ComboBox::SetText(std::string text) {
    text_ = std::move(text);
    list_index_ = -1;
    for (std::size_t i = 0; i < items_.size(); ++i) {
        if (items_[i] == text_) {
            list_index_ = static_cast<long>(i);
            break;
        }
    }
    Notify(ControlChange::Current);
}

bool ComboBox::UserSelect(long index) {
    if (!Enabled() || !Visible() || index < 0 || index >= ListCount()) return false;
    SetListIndex(index);
    Click.Raise();
    return true;
}

}  // namespace kv::controls
