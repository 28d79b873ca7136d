#pragma once
// The host's side of a session with its components: the global services over the company database and
// the host objects every component receives through its Cinterface (navigator, frame, menu entry,
// status bar), and the way the host hands them over before it shows a component's window. The desktop
// frame and the script runner open components alike through it.

#include <cstdint>
#include <memory>
#include <string>

#include "platform/services/cinterface.h"
#include "platform/services/global_services.h"
#include "platform/services/host_objects.h"
#include "platform/services/navigator.h"
#include "platform/services/status_bar.h"

namespace kv::services {

struct HostSession {
    // Global services of `company` over the database of `connection_string`; a three-panel status bar.
    HostSession(int32_t company, const std::string& connection_string);

    std::shared_ptr<HostGlobalServices> global;
    std::shared_ptr<HostNavigator> navigator;
    std::shared_ptr<HostFrame> frame;
    std::shared_ptr<HostMenuEntry> menu_entry;
    std::shared_ptr<HostStatusBar> status_bar;
};

// How the host opens a component's window.
struct ComponentOpening {
    bool modal = false;
    int32_t window_state = 0;  // 0 normal, 1 minimized, 2 maximized
    std::string caption;
    std::string article;  // "" or the article the window opens on, as a calling program fixes it
};

// Fills the Cinterface of `component` (the entry object `object`) as the host does before ShowForm:
// the session's objects, the rights to insert, delete and update, active, modal, window state and
// caption; with an article, the entry object's CodiceArticolo (through its Dispatch) and IsCalled.
// False, with the article not handed over, when the object takes no article; errors of the entry
// object's property reach the caller.
bool FillInterface(const std::shared_ptr<kv::Object>& object, Cinterface& component, const HostSession& session,
                   const ComponentOpening& opening);

}  // namespace kv::services
