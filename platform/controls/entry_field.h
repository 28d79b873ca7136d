#pragma once
// EntryField: what the host's key-entry fields (lookup fields, date fields) share. The field holds a
// text and a valid flag that says whether the text was found good (decoded, or read as a date). The
// user types (the flag drops until the text is checked again), then confirms with Enter, by leaving
// the field after a change, or by picking from a list: the field checks the text and raises AfterItem.
//
// A program setting Text neither checks it nor raises AfterItem: programs put codes into fields while
// they fill a window, and a field reacting as if the user had confirmed would start the window's
// loading in the middle of it. Confirm() is the program's way of saying "as if the user confirmed".

#include <string>

#include "platform/controls/control.h"

namespace kv::controls {

class EntryField : public Control {
  public:
    using Control::Control;

    const std::string& Text() const { return text_; }
    // Cut to MaxLength. An empty text makes the field not valid; otherwise the flag is kept.
    void SetText(std::string text);
    bool Valid() const { return valid_; }

    // Input limit in characters (0: none) and the width the view gives the field, in characters.
    long MaxLength() const { return max_length_; }
    void SetMaxLength(long n);
    long DisplayLength() const { return display_length_; }
    void SetDisplayLength(long n);

    // Checks the text (Check), then raises AfterItem. Works on a disabled field too: it is the program's
    // call. An error while checking leaves the field not valid, reaches the caller, and no AfterItem
    // is raised.
    void Confirm();

    // ---- The user's actions; each does nothing (returns False) on a disabled or hidden field.
    // Typing: the text changes and the field is not valid until checked.
    bool UserType(const std::string& text);
    // Enter: Confirm().
    bool UserConfirm();
    // Leaving the field: Confirm() when the text was typed since the last check.
    bool UserLeave();

    Event<> AfterItem;

  protected:
    // Sets the valid flag from the text (and whatever else the kind of field fills in).
    virtual void Check() = 0;
    void SetValid(bool valid);
    // For a field that rewrites its text once checked (a date in its regional form).
    void ReplaceText(std::string text);

  private:
    std::string text_;
    bool valid_ = false;
    bool typed_ = false;
    long max_length_ = 0;
    long display_length_ = 0;
};

}  // namespace kv::controls
