#pragma once
// Toolbar: the host's command bar of a window. It comes with the host's own buttons, keyed "Nuovo",
// "Conferma", "Annulla" and "Elimina" (their captions are their keys); a window adds its own buttons
// next to one of them. Keys are looked up without regard to case; ButtonClick hands the key as it was
// registered. The toolbar's Enabled is the state of the whole bar: a disabled bar, like a disabled
// button, ignores clicks and its view shows it greyed.

#include <string>
#include <string_view>
#include <vector>

#include "platform/controls/control.h"

namespace kv::controls {

struct ToolbarButton {
    std::string key;
    std::string caption;  // may hold '&' before the access-key letter ("Rica&lcola ")
    bool enabled = true;
    bool visible = true;
    bool checkable = false;  // a toggle: each click turns it on or off before ButtonClick
    bool checked = false;
};

// The host's own keys, in their order on the bar.
inline constexpr const char* kToolbarNew = "Nuovo";
inline constexpr const char* kToolbarConfirm = "Conferma";
inline constexpr const char* kToolbarCancel = "Annulla";
inline constexpr const char* kToolbarDelete = "Elimina";

// Errors raised for keys, with the numbers of the platform's button collections.
inline constexpr long kToolbarKeyNotFound = 35601;   // "Element not found"
inline constexpr long kToolbarKeyNotUnique = 35602;  // "Key is not unique in collection"

class Toolbar : public Control {
  public:
    explicit Toolbar(std::string name);

    // Adds a button right after the button `next_to` (at the end when next_to is empty). An unknown
    // next_to raises 35601, a key already present 35602; an empty key raises 5.
    void AddButton(std::string key, std::string caption, std::string_view next_to = {});
    // A toggle button, off at first (same rules as AddButton).
    void AddCheckButton(std::string key, std::string caption, std::string_view next_to = {});
    // 35601 for an unknown key; a button that is not a toggle stays off.
    void SetButtonChecked(std::string_view key, bool checked);
    bool ButtonChecked(std::string_view key) const;
    // 35601 for an unknown key.
    void EnableButton(std::string_view key, bool enabled);
    bool ButtonEnabled(std::string_view key) const;
    void SetButtonVisible(std::string_view key, bool visible);

    long ButtonCount() const { return static_cast<long>(buttons_.size()); }
    // 0-based, in their order on the bar; 35600 out of range.
    const ToolbarButton& Button(long index) const;
    // -1 when absent.
    long IndexOf(std::string_view key) const;

    // The user clicked the button: ButtonClick(key) unless the bar or the button is disabled or hidden,
    // or the key is unknown (then False and nothing happens).
    bool UserClick(std::string_view key);

    Event<const std::string&> ButtonClick;

  private:
    long Require(std::string_view key) const;
    std::vector<ToolbarButton> buttons_;
};

}  // namespace kv::controls
