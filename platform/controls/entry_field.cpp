#include "platform/controls/entry_field.h"

#include "platform/variant/error.h"
#include "platform/variant/strings.h"

namespace kv::controls {

void EntryField::SetText(std::string text) {
    if (max_length_ > 0 && static_cast<long>(Len(text)) > max_length_) text = kv::Left(text, max_length_);
    text_ = std::move(text);
    typed_ = false;
    if (text_.empty()) valid_ = false;
    Notify(ControlChange::Content);
}

void EntryField::ReplaceText(std::string text) {
    text_ = std::move(text);
    Notify(ControlChange::Content);
}

void EntryField::SetValid(bool valid) {
    valid_ = valid;
    Notify(ControlChange::Properties);
}

void EntryField::SetMaxLength(long n) {
    if (n < 0)
        throw Error(kInvalidPropertyValue, "Invalid property value: MaxLength cannot be negative", Name());
    max_length_ = n;
    if (n > 0 && static_cast<long>(Len(text_)) > n) text_ = kv::Left(text_, n);
    Notify(ControlChange::Properties);
}

void EntryField::SetDisplayLength(long n) {
    if (n < 0)
        throw Error(kInvalidPropertyValue, "Invalid property value: DisplayLength cannot be negative",
                    Name());
    display_length_ = n;
    Notify(ControlChange::Properties);
}

void EntryField::Confirm() {
    typed_ = false;
    try {
        Check();
    } catch (...) {
        SetValid(false);
        throw;
    }
    AfterItem.Raise();
}

bool EntryField::UserType(const std::string& text) {
    if (!Enabled() || !Visible()) return false;
    std::string t = text;
    if (max_length_ > 0 && static_cast<long>(Len(t)) > max_length_) t = kv::Left(t, max_length_);
    text_ = std::move(t);
    typed_ = true;
    valid_ = false;
    Notify(ControlChange::Content);
    return true;
}

bool EntryField::UserConfirm() {
    if (!Enabled() || !Visible()) return false;
    Confirm();
    return true;
}

bool EntryField::UserLeave() {
    if (!Enabled() || !Visible() || !typed_) return false;
    Confirm();
    return true;
}

}  // namespace kv::controls
