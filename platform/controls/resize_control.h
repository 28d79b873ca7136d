#pragma once
// ResizeControl: keeps the window's controls in step with the window's size. When started it asks the
// window, through RegisterControls, which controls follow the window and how (RegisterControl(name,
// code)); when the window has been resized it raises AfterResize so the window can finish its layout.
// The geometry itself is the views' layout business; the model records the registrations, the
// window's size and the two scale factors.
//
// A code is a set of anchors: 1 left, 2 top, 4 right, 8 bottom. A control anchored left and right
// stretches with the window's width, top and bottom with its height; anchored right only it moves with
// the right edge. So 7 (left, top, right) widens with the window, 15 grows both ways, 11 (left, top,
// bottom) grows in height only, 10 (top, bottom) keeps its width and grows in height, 12 (right,
// bottom) moves with the bottom-right corner.
//
// ScaleX and ScaleY turn a length in twips at the design size into the length at the current scale
// (1.0 until the host says otherwise).

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/controls/control.h"

namespace kv::controls {

struct ResizeAnchors {
    bool left = false;
    bool top = false;
    bool right = false;
    bool bottom = false;
    bool StretchesWidth() const { return left && right; }
    bool StretchesHeight() const { return top && bottom; }
};

class ResizeControl : public Control {
  public:
    using Control::Control;

    static ResizeAnchors AnchorsOf(int code);

    const std::shared_ptr<Object>& Interface() const { return interface_; }
    void SetInterface(std::shared_ptr<Object> host) { interface_ = std::move(host); }

    // Forgets earlier registrations, raises RegisterControls, and from then on follows resizes.
    void Start();
    void Stop();
    bool Running() const { return running_; }

    // A name registered again takes the new code.
    void RegisterControl(std::string name, int code);
    std::optional<int> RegisteredCode(std::string_view name) const;
    const std::vector<std::pair<std::string, int>>& Registrations() const { return registrations_; }

    void SetScale(double x, double y);
    long ScaleX(long twips) const;
    long ScaleY(long twips) const;

    // The window was resized to width x height twips: recorded, and AfterResize raised while running.
    void UserResize(long width, long height);
    long WindowWidth() const { return window_width_; }
    long WindowHeight() const { return window_height_; }

    Event<> RegisterControls;
    Event<> AfterResize;

  private:
    std::shared_ptr<Object> interface_;
    bool running_ = false;
    std::vector<std::pair<std::string, int>> registrations_;
    double scale_x_ = 1.0;
    double scale_y_ = 1.0;
    long window_width_ = 0;
    long window_height_ = 0;
};

// The host's container that carries the window inside the host frame. The host raises FormLoad
// (LoadForm) once the window is in; the window then places the container with Place.
class HostContainer : public Control {
  public:
    using Control::Control;
    void Place(long left, long top, long width, long height) { Move(left, top, width, height); }
    // The host has taken the window in.
    void LoadForm() { FormLoad.Raise(); }

    Event<> FormLoad;
};

}  // namespace kv::controls
