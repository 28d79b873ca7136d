#pragma once
// The host's small pass-through objects that a component receives through Cinterface: the frame it is
// shown in (whose "Status" the component passes on to the navigator) and the menu entry that started
// it (told when the component's window is gone). Each has a plain implementation the host fills and
// tests read.

#include <string>
#include <vector>

#include "platform/variant/variant.h"

namespace kv::services {

// The host frame the component is shown in.
class Frame : public kv::Object {
public:
    ~Frame() override;
    // The frame's "Status": the host's state code of the frame (a number).
    virtual kv::Variant Status() const = 0;
};

// The host menu entry that opened the component.
class MenuEntry : public kv::Object {
public:
    ~MenuEntry() override;
    // The window named window_name has closed; the entry may be chosen again.
    virtual void FormClosed(const std::string& window_name) = 0;
};

class HostFrame : public Frame {
public:
    explicit HostFrame(kv::Variant status = kv::Variant(int16_t{0})) : status_(std::move(status)) {}
    kv::Variant Status() const override { return status_; }
    void SetStatus(kv::Variant status) { status_ = std::move(status); }

private:
    kv::Variant status_;
};

class HostMenuEntry : public MenuEntry {
public:
    void FormClosed(const std::string& window_name) override { closed_.push_back(window_name); }
    // Every window reported closed, in order.
    const std::vector<std::string>& ClosedForms() const { return closed_; }

private:
    std::vector<std::string> closed_;
};

}  // namespace kv::services
