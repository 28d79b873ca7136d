#include "platform/controls/resize_control.h"

#include <cmath>

#include "platform/variant/error.h"
#include "platform/variant/strings.h"

namespace kv::controls {

ResizeAnchors ResizeControl::AnchorsOf(int code) {
    return ResizeAnchors{(code & 1) != 0, (code & 2) != 0, (code & 4) != 0, (code & 8) != 0};
}

void ResizeControl::Start() {
    registrations_.clear();
    running_ = true;
    RegisterControls.Raise();
    Notify(ControlChange::Layout);
}

void ResizeControl::Stop() { running_ = false; }

void ResizeControl::RegisterControl(std::string name, int code) {
    for (auto& [n, c] : registrations_) {
        if (EqualsNoCase(n, name)) {
            c = code;
            return;
        }
    }
    registrations_.emplace_back(std::move(name), code);
}

std::optional<int> ResizeControl::RegisteredCode(std::string_view name) const {
    for (const auto& [n, c] : registrations_)
        if (EqualsNoCase(n, name)) return c;
    return std::nullopt;
}

void ResizeControl::SetScale(double x, double y) {
    if (!(x > 0) || !(y > 0))
        throw Error(kInvalidPropertyValue, "Invalid property value: scale must be positive", Name());
    scale_x_ = x;
    scale_y_ = y;
}

long ResizeControl::ScaleX(long twips) const { return std::lround(static_cast<double>(twips) * scale_x_); }
long ResizeControl::ScaleY(long twips) const { return std::lround(static_cast<double>(twips) * scale_y_); }

void ResizeControl::UserResize(long width, long height) {
    window_width_ = width;
    window_height_ = height;
    if (running_) AfterResize.Raise();
}

}  // namespace kv::controls
