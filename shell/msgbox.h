#pragma once
// The message box of the component's classes: a text, an icon and buttons (the platform's style
// codes, platform/services/dialogs.h) and a title, shown through the host's message service.

#include <memory>
#include <string>

namespace kv::services {
class Cinterface;
}

namespace qmx {

// Shows text through a new message service of the host interface's global services and returns the
// user's answer. Returns 0 and shows nothing when there is no host interface, no global services or no
// message service: a driver that cannot reach the host still reports through its State and Message.
// Errors of the message service itself reach the caller.
int MsgBox(const std::shared_ptr<kv::services::Cinterface>& host, const std::string& text, int style,
           const std::string& title);

}  // namespace qmx
