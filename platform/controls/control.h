#pragma once
// Control: what every host control model has in common, the container properties of a window control
// (name, Enabled, Visible, position and size in twips, tag, tool-tip text, focus, z-order) and the
// Changed notification through which its view learns that it must show the model again.
//
// Models hold state and raise events; they know nothing of any toolkit. A view subscribes to Changed, renders
// the model and forwards the user's input to the model's User* methods, which raise the control's events in
// the order a person's action raises them. Setting a property from code never raises the control's user
// events; it only notifies the views.

#include <cstdint>
#include <string>

#include "platform/services/event.h"
#include "platform/variant/variant.h"

namespace kv::controls {

// Control events are the platform's events: Connect returns a Subscription that disconnects when it
// is destroyed, so a window or a view holds one per handler for as long as it listens.
template <class... Args>
using Event = kv::services::Event<Args...>;
using kv::services::Subscription;

// What changed, so that a view can redo only that part.
enum class ControlChange {
    Properties,  // Enabled, Visible, captions, texts, flags
    Geometry,    // Left, Top, Width, Height
    Focus,       // the program asked for the keyboard focus (SetFocus)
    ZOrder,      // the program asked to bring the control to the front
    Content,     // items, rows or values shown
    Layout,      // structure: columns, buttons, panes
    Current,     // the current item, row or cell moved
};

// Twips per pixel at the platform's standard 96 dots per inch: positions and sizes are in twips.
inline constexpr int kTwipsPerPixel = 15;

class Control : public Object {
  public:
    explicit Control(std::string name) : name_(std::move(name)) {}
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;

    const std::string& Name() const { return name_; }

    bool Enabled() const { return enabled_; }
    void SetEnabled(bool enabled);
    bool Visible() const { return visible_; }
    void SetVisible(bool visible);

    long Left() const { return left_; }
    long Top() const { return top_; }
    long Width() const { return width_; }
    long Height() const { return height_; }
    void SetLeft(long v) { Move(v, top_, width_, height_); }
    void SetTop(long v) { Move(left_, v, width_, height_); }
    // Negative sizes raise 380 (invalid property value), as the platform's controls do.
    void SetWidth(long v) { Move(left_, top_, v, height_); }
    void SetHeight(long v) { Move(left_, top_, width_, v); }
    void Move(long left, long top, long width, long height);

    const std::string& Tag() const { return tag_; }
    void SetTag(std::string tag) { tag_ = std::move(tag); }
    const std::string& ToolTipText() const { return tool_tip_; }
    void SetToolTipText(std::string text);

    // Asks the view to take the keyboard focus. A disabled or hidden control cannot take it: error 5,
    // as on the platform, so the caller's error trap sees the mistake.
    void SetFocus();
    // Brings the control in front of its siblings.
    void ZOrder();
    // Asks the view to paint the control again.
    void Refresh() { Changed.Raise(ControlChange::Content); }

    // Raised with what changed, for the views.

    Event<ControlChange> Changed;

  protected:
    void Notify(ControlChange what) { Changed.Raise(what); }

  private:
    std::string name_;
    bool enabled_ = true;
    bool visible_ = true;
    long left_ = 0;
    long top_ = 0;
    long width_ = 0;
    long height_ = 0;
    std::string tag_;
    std::string tool_tip_;
};

// Error 380, a property set to a value it cannot take.
inline constexpr long kInvalidPropertyValue = 380;

}  // namespace kv::controls
