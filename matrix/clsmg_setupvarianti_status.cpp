// CLSMG_SETUPVARIANTI: what the user sees of a long operation (the hourglass, the text in panel 2 of
// the host's status bar, the animated operation bar) and the lock of the grid-type-4 pivot while it
// shows computed values.
//
// The three status operations have no trap of their own: a driver without an operation bar, or a host
// without a status bar or screen pointer, is the caller's mistake and reaches the caller's error trap.

#include <string>

#include "matrix/clsmg_setupvarianti.h"
#include "platform/services/cinterface.h"
#include "platform/services/global_services.h"
#include "platform/services/screen_pointer.h"
#include "platform/services/status_bar.h"
#include "platform/variant/strings.h"

namespace qmx {

namespace svc = kv::services;

namespace {

constexpr int kStatusPanel = 2;

kv::Error NotSet(const std::string& what) {
    return kv::Error(kv::err::kObjectNotSet, "Object variable not set: " + what, "CLSMG_SETUPVARIANTI");
}

// One status change: the pointer, the text of the status panel and the operation bar, in that order.
void ShowStatus(const std::shared_ptr<svc::Cinterface>& host,
                const std::shared_ptr<kv::controls::OperationBar>& bar, int16_t pointer,
                const std::string& text, bool busy) {
    if (!host) throw NotSet("the driver has no host interface (ActiveInterface)");
    auto global = host->ClsGlobal();
    auto screen = global ? global->Screen() : nullptr;
    if (!screen) throw NotSet("the host has no screen pointer");
    screen->SetMousePointer(pointer);
    auto status_bar = host->StatusBar();
    if (!status_bar) throw NotSet("the host has no status bar");
    status_bar->SetPanelText(kStatusPanel, text);
    if (!bar) throw NotSet("the driver has no operation bar (BarOperation)");
    if (busy) {
        bar->SetLoadingAnimation(true);
        bar->StartLoadingAnimation();
        bar->SetVisible(true);
    } else {
        bar->EndLoadingAnimation();
        bar->SetLoadingAnimation(false);
        bar->SetVisible(false);
    }
}

}  // namespace

void CLSMG_SETUPVARIANTI::SetStatusOperationInProgress() {
    ShowStatus(core_.ActiveInterface, BarOperation, svc::pointer::kHourglass, "Operazione in corso...", true);
}

void CLSMG_SETUPVARIANTI::SetStatusOperationCompleted() {
    ShowStatus(core_.ActiveInterface, BarOperation, svc::pointer::kDefault, "Pronto", false);
}

void CLSMG_SETUPVARIANTI::SetStatusOperationError() {
    ShowStatus(core_.ActiveInterface, BarOperation, svc::pointer::kDefault, "Errore!", false);
}

void CLSMG_SETUPVARIANTI::LockFields() {
    schema::Trap(core_, [&] {
        if (!grid_) throw NotSet("the driver has no grid");
        // The net amounts of the pivot are computed: they are shown, never typed.
        grid_->SetEnableEditing(kv::UCase(elem_) != "IMPORTO NETTO");
    });
}

}  // namespace qmx
