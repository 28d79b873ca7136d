#pragma once
// A headless host for tests of the shell and the window: a temporary SQLite company database holding
// the demo companies (the window's drivers read their configuration at load), host global services
// over it with scripted dialogs and the headless window presenter, a navigator, a frame, a menu entry
// and a status bar.

#include <atomic>
#include <filesystem>
#include <memory>
#include <string>

#include <unistd.h>

#include "platform/ado/connection.h"
#include "platform/services/cinterface.h"
#include "platform/services/global_services.h"
#include "platform/services/host_objects.h"
#include "platform/services/navigator.h"
#include "platform/services/status_bar.h"
#include "schema/demo/demo.h"

namespace qmx::testing {

// A SQLite database file removed when the object goes.
class TempDatabase {
public:
    TempDatabase() {
        static std::atomic<int> counter{0};
        path_ = std::filesystem::temp_directory_path() /
                ("qmx_shell_" + std::to_string(::getpid()) + "_" + std::to_string(counter++) + ".sqlite");
        std::filesystem::remove(path_);
    }
    ~TempDatabase() { std::filesystem::remove(path_); }
    TempDatabase(const TempDatabase&) = delete;
    TempDatabase& operator=(const TempDatabase&) = delete;
    std::string ConnectionString() const { return "Provider=SQLite;Data Source=" + path_.string(); }

private:
    std::filesystem::path path_;
};

struct HeadlessHost {
    // With a connection string the demo goes into that (empty) database instead of a temporary SQLite
    // file: the tests that must run on both engines hand a PostgreSQL schema of their own.
    explicit HeadlessHost(int32_t company = 1, std::string connection_string = {}) {
        const bool own = connection_string.empty();
        if (own) connection_string = db.ConnectionString();
        session = kv::ado::Connection::Create();
        session->Open(own ? connection_string + ";Mode=Create" : connection_string);
        qmx::demo::CreateSchema(*session);
        qmx::demo::BuildDemo(*session);
        global = std::make_shared<kv::services::HostGlobalServices>(company, connection_string);
        global->SetHostConnection(session);
    }

    // Gives the component the host's objects, as the host does before ShowForm.
    void Fill(kv::services::Cinterface& c) const {
        c.SetClsGlobal(global);
        c.SetActiveNavigator(navigator);
        c.SetActiveFrame(frame);
        c.SetClsVoceMenu(menu);
        c.SetStatusBar(status_bar);
        c.SetIsActive(true);
    }

    kv::services::ScriptedErrorDisplay& Errors() const { return *global->ScriptedErrors(); }
    kv::services::HeadlessWindowPresenter& Presenter() const { return *global->HeadlessPresenter(); }
    kv::services::HostScriptObjectModel& ScriptModel() const { return *navigator->HostScriptModel(); }
    kv::services::HostLayoutObjectModel& LayoutModel() const { return *navigator->HostLayoutModel(); }

    TempDatabase db;
    kv::ado::ConnectionPtr session;
    std::shared_ptr<kv::services::HostGlobalServices> global;
    std::shared_ptr<kv::services::HostNavigator> navigator = std::make_shared<kv::services::HostNavigator>();
    std::shared_ptr<kv::services::HostFrame> frame = std::make_shared<kv::services::HostFrame>(kv::Variant(int16_t{3}));
    std::shared_ptr<kv::services::HostMenuEntry> menu = std::make_shared<kv::services::HostMenuEntry>();
    std::shared_ptr<kv::services::HostStatusBar> status_bar = std::make_shared<kv::services::HostStatusBar>();
};

}  // namespace qmx::testing
