#pragma once
// The host services that only the toolkit can do: showing the hourglass while a component's pointer
// says so, and letting pending window messages run.

#include <QObject>

#include "platform/services/message_pump.h"
#include "platform/services/screen_pointer.h"

namespace kv::qt {

// Follows a host screen pointer: value 11 puts the application's wait cursor up, any other value takes
// it down. Only one wait cursor is ever pushed, however often 11 is set; destroying the binding takes
// it down.
class PointerBinding : public QObject {
  public:
    explicit PointerBinding(kv::services::HostScreenPointer& pointer, QObject* parent = nullptr);
    ~PointerBinding() override;
    bool waitCursorShown() const { return shown_; }

  private:
    void Apply(int16_t value);
    kv::services::Subscription sub_;
    bool shown_ = false;
};

// Makes the pump run the Qt event loop once (QCoreApplication::processEvents) when a component lets
// pending window messages run: paint and timer events, not the user's input.
void InstallQtMessagePump(kv::services::MessagePump& pump);

}  // namespace kv::qt
