#pragma once
// The host's navigator: the frame-wide object that knows which component is active, refreshes the
// frame's tool and menu state, and owns the two object models through which windows expose themselves:
//  - the script object model: windows register under their name so the host's scripts can reach them,
//    and announce that they opened ("kvOpen", flag 1) or closed ("kvClose", flag 0); script handlers
//    subscribe to those window events;
//  - the layout object model: windows and their grids register under a title so the host can save and
//    restore their layout.
// Registrations do not keep the registered objects alive: a window that is gone reads back as null.
// The navigator raises its own events to the active component, which sinks them through Cinterface.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/services/event.h"
#include "platform/variant/variant.h"

namespace kv::services {

struct ObjectRegistration {
    std::string name;         // the window name (script model) or the title (layout model)
    std::string description;  // script model only
    std::weak_ptr<kv::Object> object;
};

// A window event as the script object model delivers it.
struct WindowEventInfo {
    std::string window;  // the window raising it
    int16_t flag = 0;    // 1 opened, 0 closed
    std::string name;    // the name the window gives itself

    bool operator==(const WindowEventInfo&) const = default;
};

class ScriptObjectModel : public kv::Object {
public:
    ~ScriptObjectModel() override;
    // Registers window under name; returns the reference the caller keeps from now on.
    virtual std::shared_ptr<kv::Object> RegisterWindow(const std::string& name, const std::string& description,
                                                       std::shared_ptr<kv::Object> window) = 0;
    virtual void UnregisterWindow(const std::string& name) = 0;
    // Delivers a window event to the subscribers.
    virtual void FireWindowEvent(const std::string& window, int16_t flag, const std::string& name) = 0;
};

class LayoutObjectModel : public kv::Object {
public:
    ~LayoutObjectModel() override;
    // Registers object under title; returns the reference the caller keeps from now on.
    virtual std::shared_ptr<kv::Object> Register(const std::string& title, std::shared_ptr<kv::Object> object) = 0;
    // Removes every registration of object.
    virtual void Unregister(const std::shared_ptr<kv::Object>& object) = 0;
};

class Navigator : public kv::Object {
public:
    ~Navigator() override;
    // Either may be null when the host has none.
    virtual std::shared_ptr<ScriptObjectModel> ScriptModel() = 0;
    virtual std::shared_ptr<LayoutObjectModel> LayoutModel() = 0;
    virtual void Refresh() = 0;
    // The active frame's "Status".
    virtual void SetFrameStatus(int16_t status) = 0;

    // Events the navigator raises to the active component.
    Event<bool&> BeforeExportToOffice;  // the handler may set the Boolean to cancel
    Event<bool&> BeforeChangeDitta;     // the handler may set the Boolean to cancel
    Event<> ChangeDitta;
    Event<Navigator&, const std::shared_ptr<LayoutObjectModel>&> InitializeLayoutObjectModel;
    Event<Navigator&, const std::shared_ptr<ScriptObjectModel>&> InitializeScriptObjectModel;
    Event<const std::string&> ButtonPressed;  // the key of the frame button
};

class HostScriptObjectModel : public ScriptObjectModel {
public:
    std::shared_ptr<kv::Object> RegisterWindow(const std::string& name, const std::string& description,
                                               std::shared_ptr<kv::Object> window) override;
    void UnregisterWindow(const std::string& name) override;
    void FireWindowEvent(const std::string& window, int16_t flag, const std::string& name) override;

    // Current registrations, in registration order (one per name: registering a name again replaces it).
    const std::vector<ObjectRegistration>& Registrations() const { return registrations_; }
    // The object registered under name, null when none (or when it is gone).
    std::shared_ptr<kv::Object> Find(const std::string& name) const;
    // Every window event fired, in order.
    const std::vector<WindowEventInfo>& FiredEvents() const { return fired_; }

    Event<const WindowEventInfo&> WindowEvent;

private:
    std::vector<ObjectRegistration> registrations_;
    std::vector<WindowEventInfo> fired_;
};

class HostLayoutObjectModel : public LayoutObjectModel {
public:
    std::shared_ptr<kv::Object> Register(const std::string& title, std::shared_ptr<kv::Object> object) override;
    void Unregister(const std::shared_ptr<kv::Object>& object) override;

    const std::vector<ObjectRegistration>& Registrations() const { return registrations_; }
    std::shared_ptr<kv::Object> Find(const std::string& title) const;

private:
    std::vector<ObjectRegistration> registrations_;
};

class HostNavigator : public Navigator {
public:
    HostNavigator();
    std::shared_ptr<ScriptObjectModel> ScriptModel() override { return script_; }
    std::shared_ptr<LayoutObjectModel> LayoutModel() override { return layout_; }
    void Refresh() override { ++refreshes_; }
    void SetFrameStatus(int16_t status) override { frame_status_ = status; }

    std::shared_ptr<HostScriptObjectModel> HostScriptModel() const { return script_; }
    std::shared_ptr<HostLayoutObjectModel> HostLayoutModel() const { return layout_; }
    // Replaces a model (null: the host has none).
    void SetScriptModel(std::shared_ptr<HostScriptObjectModel> m) { script_ = std::move(m); }
    void SetLayoutModel(std::shared_ptr<HostLayoutObjectModel> m) { layout_ = std::move(m); }
    int Refreshes() const { return refreshes_; }
    int16_t FrameStatus() const { return frame_status_; }

    // The host asks the active component to register with its models.
    void RaiseInitializeScriptObjectModel() { InitializeScriptObjectModel.Raise(*this, ScriptModel()); }
    void RaiseInitializeLayoutObjectModel() { InitializeLayoutObjectModel.Raise(*this, LayoutModel()); }

private:
    std::shared_ptr<HostScriptObjectModel> script_;
    std::shared_ptr<HostLayoutObjectModel> layout_;
    int refreshes_ = 0;
    int16_t frame_status_ = 0;
};

}  // namespace kv::services
