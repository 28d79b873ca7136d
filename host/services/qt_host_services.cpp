#include "host/services/qt_host_services.h"

#include <QCoreApplication>
#include <QCursor>
#include <QGuiApplication>

namespace kv::qt {

PointerBinding::PointerBinding(kv::services::HostScreenPointer& pointer, QObject* parent) : QObject(parent) {
    sub_ = pointer.Changed.Connect([this](int16_t value) { Apply(value); });
    Apply(pointer.MousePointer());
}

PointerBinding::~PointerBinding() { Apply(kv::services::pointer::kDefault); }

void PointerBinding::Apply(int16_t value) {
    const bool want = value == kv::services::pointer::kHourglass;
    if (want == shown_) return;
    if (want)
        QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    else
        QGuiApplication::restoreOverrideCursor();
    shown_ = want;
}

void InstallQtMessagePump(kv::services::MessagePump& pump) {
    // Paints and timers run, so the window repaints and its busy indicator moves; the user's clicks and
    // keys wait for the operation to end, so a second click cannot start a flow that is still running.
    pump.SetCallback([] { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); });
}

}  // namespace kv::qt
