#pragma once
// The host's plain controls: label, panel (picture box used as a container), group box, text field,
// command button and combo box. Each keeps its state and raises its user events from its User* methods;
// properties set by the program only notify the views.

#include <string>
#include <vector>

#include "platform/controls/control.h"

namespace kv::controls {

class Label : public Control {
  public:
    using Control::Control;
    const std::string& Caption() const { return caption_; }
    void SetCaption(std::string caption);
    // 0 left, 1 right, 2 centre.
    int Alignment() const { return alignment_; }
    void SetAlignment(int alignment);

  private:
    std::string caption_;
    int alignment_ = 0;
};

// A borderless container (the window's left panel).
class Panel : public Control {
  public:
    using Control::Control;
};

// A captioned frame around other controls. Disabling it disables what it holds in the views, the way
// a container's Enabled works on the platform; the models of the held controls keep their own flags.
class GroupBox : public Control {
  public:
    using Control::Control;
    const std::string& Caption() const { return caption_; }
    void SetCaption(std::string caption);

  private:
    std::string caption_;
};

class TextField : public Control {
  public:
    using Control::Control;
    const std::string& Text() const { return text_; }
    // Text longer than MaxLength is cut to it.
    void SetText(std::string text);
    // 0: no limit. Counts characters.
    long MaxLength() const { return max_length_; }
    void SetMaxLength(long n);
    // A locked field shows its text but refuses typing.
    bool Locked() const { return locked_; }
    void SetLocked(bool locked);

    // The user typed: the text becomes `text` (cut to MaxLength) and Change is raised. Ignored (returns
    // False) when the field is disabled, hidden or locked.
    bool UserType(const std::string& text);

    Event<> Change;

  private:
    std::string text_;
    long max_length_ = 0;
    bool locked_ = false;
};

class CommandButton : public Control {
  public:
    using Control::Control;
    const std::string& Caption() const { return caption_; }
    void SetCaption(std::string caption);

    // Raises Click unless the button is disabled or hidden (then returns False).
    bool UserClick();

    Event<> Click;

  private:
    std::string caption_;
};

class ComboBox : public Control {
  public:
    using Control::Control;
    void AddItem(std::string item);
    void Clear();
    long ListCount() const { return static_cast<long>(items_.size()); }
    // 0-based; 381 (invalid property array index) out of range.
    const std::string& List(long index) const;
    // -1 when no item is chosen. Setting it shows that item's text; out of range raises 380.
    long ListIndex() const { return list_index_; }
    void SetListIndex(long index);
    // The text shown; it need not be an item. Setting it clears ListIndex unless it names an item.
    const std::string& Text() const { return text_; }
    void SetText(std::string text);

    // The user chose an item: ListIndex and Text follow and Click is raised. Returns False (nothing
    // happens) when the combo box is disabled or hidden or the index is not an item.
    bool UserSelect(long index);

    Event<> Click;

  private:
    std::vector<std::string> items_;
    long list_index_ = -1;
    std::string text_;
};

}  // namespace kv::controls
