#pragma once
// A headless host for tests of the shell and the window: a company database holding the demo companies
// (a temporary SQLite file, or on PostgreSQL a schema of its own, see db_engines.h) (the window's drivers read their configuration at load), host global services
// over it with scripted dialogs and the headless window presenter, a navigator, a frame, a menu entry
// and a status bar.

#include <atomic>
#include <filesystem>
#include <memory>
#include <string>
#include <utility>

#include <unistd.h>

#include "support/oggi.h"
#include "platform/ado/connection.h"
#include "platform/services/cinterface.h"
#include "platform/services/global_services.h"
#include "platform/services/host_objects.h"
#include "platform/services/navigator.h"
#include "platform/services/status_bar.h"
#include "schema/demo/demo.h"
#include "support/db_engines.h"

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

// Gives a component the host's objects over `global`, as the host does before ShowForm: a navigator, a
// frame, a menu entry and a status bar of their own.
inline void FillWithHostObjects(kv::services::Cinterface& c, std::shared_ptr<kv::services::HostGlobalServices> global) {
    c.SetClsGlobal(std::move(global));
    c.SetActiveNavigator(std::make_shared<kv::services::HostNavigator>());
    c.SetActiveFrame(std::make_shared<kv::services::HostFrame>(kv::Variant(int16_t{3})));
    c.SetClsVoceMenu(std::make_shared<kv::services::HostMenuEntry>());
    c.SetStatusBar(std::make_shared<kv::services::HostStatusBar>());
    c.SetIsActive(true);
}

struct HeadlessHost {
    explicit HeadlessHost(int32_t company = 1, Engine engine = Engine::kSqlite) {
        std::string connection_string = db.ConnectionString();
        if (engine == Engine::kPostgres) {
            server = std::make_unique<TestDatabase>(engine);
            connection_string = server->connection_string();
            session = server->connection();
        } else {
            session = kv::ado::Connection::Create();
            session->Open(connection_string + ";Mode=Create");
        }
        qmx::demo::CreateSchema(*session);
        qmx::demo::BuildDemo(*session);
        global = std::make_shared<kv::services::HostGlobalServices>(company, connection_string);
        global->SetHostConnection(session);
        global->SetToday(qmx::testing::kOggiDiProva);
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
    std::unique_ptr<TestDatabase> server;  // PostgreSQL only
    kv::ado::ConnectionPtr session;
    std::shared_ptr<kv::services::HostGlobalServices> global;
    std::shared_ptr<kv::services::HostNavigator> navigator = std::make_shared<kv::services::HostNavigator>();
    std::shared_ptr<kv::services::HostFrame> frame = std::make_shared<kv::services::HostFrame>(kv::Variant(int16_t{3}));
    std::shared_ptr<kv::services::HostMenuEntry> menu = std::make_shared<kv::services::HostMenuEntry>();
    std::shared_ptr<kv::services::HostStatusBar> status_bar = std::make_shared<kv::services::HostStatusBar>();
};

}  // namespace qmx::testing
