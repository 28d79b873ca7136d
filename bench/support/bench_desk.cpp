#include "bench/support/bench_desk.h"

#include <stdexcept>

#include "platform/controls/keys.h"
#include "platform/services/host_objects.h"
#include "platform/services/navigator.h"
#include "platform/services/status_bar.h"

namespace qmx::bench {

namespace svc = kv::services;

BenchDesk::BenchDesk(int company, const std::string& connection_string, kv::Date today,
                     std::shared_ptr<svc::MessageService> messages)
    : global_(std::make_shared<svc::HostGlobalServices>(company, connection_string)),
      entry_(CLSMG_QUENDORMIXAL::Create()),
      window_(FRMMG_QUENDORMIXAL::Create()) {
    global_->SetToday(today);
    if (messages) global_->SetMessageServiceFactory([messages] { return messages; });
    entry_->SetClsGlobal(global_);
    entry_->SetActiveNavigator(std::make_shared<svc::HostNavigator>());
    entry_->SetActiveFrame(std::make_shared<svc::HostFrame>(kv::Variant(int16_t{3})));
    entry_->SetClsVoceMenu(std::make_shared<svc::HostMenuEntry>());
    entry_->SetStatusBar(std::make_shared<svc::HostStatusBar>());
    entry_->SetIsActive(true);
    window_->SetActiveInterface(entry_);
    window_->SetOwner(entry_);
    window_->SetWindowState(0);  // the window loads
    if (!window_->IsLoaded()) throw std::runtime_error("la finestra non si è aperta");
    // One session a desktop: the host's services (currencies, rounding brackets) read through the
    // window's connection instead of opening one of their own.
    global_->SetHostConnection(window_->ADOConnection());
}

BenchDesk::~BenchDesk() {
    if (!window_->IsLoaded()) return;
    global_->ScriptedMessages()->QueueAnswer(svc::answer::kNo);
    try {
        window_->Unload();
    } catch (const std::exception&) {
        // A desktop that cannot close cleanly at the end has nothing left to save.
    }
}

void BenchDesk::Type(kv::controls::EntryField& field, const std::string& text) {
    if (!field.UserType(text)) throw std::runtime_error(field.Name() + " non accetta " + text);
    field.UserLeave();
}

void BenchDesk::Edit(kv::controls::DataGrid& grid, long row, const std::string& field, const std::string& text) {
    const long column = grid.Columns().IndexOf(field);
    grid.UserEnter();
    if (column < 0 || !grid.UserMoveTo(row, column))
        throw std::runtime_error(grid.Name() + ": la cella " + std::to_string(row) + ", " + field + " non c'è");
    const auto outcome = grid.UserEditCell(row, column, text);
    if (!outcome.accepted) throw std::runtime_error(grid.Name() + ": " + outcome.message);
    grid.UserKeyDown(kv::controls::keys::kReturn, 0);
}

void BenchDesk::Pick(long row) {
    auto& side = *window_->GRD_SIDE;
    side.UserEnter();
    if (!side.UserMoveTo(row, std::max(0L, side.CurrentColumnIndex())))
        throw std::runtime_error("la riga " + std::to_string(row) + " della lista laterale non c'è");
}

void BenchDesk::Click(const std::string& key) { window_->INTERNAV->UserClick(key); }

std::size_t BenchDesk::Errors() const { return global_->ScriptedErrors()->Reports().size(); }

std::string BenchDesk::LastError() const {
    const auto& reports = global_->ScriptedErrors()->Reports();
    return reports.empty() ? std::string() : reports.back().report.description;
}

}  // namespace qmx::bench
