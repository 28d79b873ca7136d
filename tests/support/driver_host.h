#pragma once
// The host a driver test hands its drivers: the entry object as the host interface, over host global
// services whose session connection is the test's database (currencies and the rest come from it), with
// scripted dialogs, a status bar and the screen pointer. The demo data set is written into the test
// database by the fixture that uses it.

#include <memory>

#include "support/oggi.h"
#include "platform/ado/connection.h"
#include "platform/services/global_services.h"
#include "platform/services/status_bar.h"
#include "shell/clsmg_quendormixal.h"

namespace qmx::testing {

struct DriverHost {
    DriverHost(kv::ado::ConnectionPtr db, int32_t company)
        : global(std::make_shared<kv::services::HostGlobalServices>(company, std::string())) {
        global->SetHostConnection(db);
        global->SetToday(qmx::testing::kOggiDiProva);
        host->SetClsGlobal(global);
        host->SetStatusBar(status_bar);
    }
    const std::vector<kv::services::ScriptedMessageService::Shown>& Messages() const {
        return global->ScriptedMessages()->Messages();
    }

    std::shared_ptr<kv::services::HostGlobalServices> global;
    std::shared_ptr<kv::services::HostStatusBar> status_bar = std::make_shared<kv::services::HostStatusBar>();
    std::shared_ptr<CLSMG_QUENDORMIXAL> host = CLSMG_QUENDORMIXAL::Create();
};

}  // namespace qmx::testing
