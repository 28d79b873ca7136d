#pragma once
// One desktop on a demo database of its own, on either engine: the host's objects and the price-list
// window, driven through its control models as a user drives it, with the tests' statement counter
// between the window's connection and its engine.

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/oggi.h"
#include "platform/ado/testing/statement_faults.h"
#include "platform/controls/keys.h"
#include "platform/variant/strings.h"
#include "schema/demo/demo.h"
#include "shell/clsmg_quendormixal.h"
#include "support/db_engines.h"
#include "support/headless_host.h"
#include "window/frmmg_quendormixal.h"

namespace qmx::testing {

namespace ctl = kv::controls;
namespace svc = kv::services;

struct Edit {
    bool sales;
    long row;  // visible row, from 0
    const char* column;
    const char* text;
};

struct Case {
    const char* name;
    int company;
    const char* article;
    const char* from;
    const char* to;
    const char* variant;  // typed after the dates (grid type 2), or null
    long side_row;        // chosen in side list 1 (grid type 3), or -1
    std::vector<Edit> edits;
};

// One desktop on a demo database of its own: the host's objects and the window, driven as a user does.
class Desk {
public:
    // `server`: a PostgreSQL database used as it is (a private server's); otherwise a database of the
    // desk's own on `engine`.
    Desk(Engine engine, int company, const std::string& server = {}, const demo::DemoOptions& options = {}) {
        if (!server.empty()) {
            connection_string_ = server;
            session_ = kv::ado::Connection::Create();
            session_->Open(connection_string_);
        } else if (engine == Engine::kSqlite) {
            file_ = std::make_unique<TempDatabase>();
            connection_string_ = file_->ConnectionString();
            session_ = kv::ado::Connection::Create();
            session_->Open(connection_string_ + ";Mode=Create");
        } else {
            server_ = std::make_unique<TestDatabase>(Engine::kPostgres);
            connection_string_ = server_->connection_string();
            session_ = server_->connection();
        }
        demo::CreateSchema(*session_);
        demo::BuildDemo(*session_, options);
        global_ = std::make_shared<svc::HostGlobalServices>(company, connection_string_);
        global_->SetHostConnection(session_);
        global_->SetToday(qmx::testing::kOggiDiProva);
        FillWithHostObjects(*entry_, global_);
        window = FRMMG_QUENDORMIXAL::Create();
        window->SetActiveInterface(entry_);
        window->SetOwner(entry_);
        window->SetWindowState(0);
        faults = kv::ado::InjectStatementFaults(*window->ADOConnection());
        // A test database needs no flush to disk at every commit: it saves most of a test's time.
        if (engine == Engine::kSqlite && server.empty()) window->ADOConnection()->Execute("PRAGMA synchronous = OFF");
    }
    ~Desk() {
        if (window && window->IsLoaded()) {
            Messages().QueueAnswer(svc::answer::kNo);
            window->Unload();
        }
    }

    svc::ScriptedMessageService& Messages() const { return *global_->ScriptedMessages(); }
    svc::ScriptedErrorDisplay& Errors() const { return *global_->ScriptedErrors(); }
    std::vector<std::string> Dump() { return DumpPrices(*session_); }
    // The host's own connection to the desk's database.
    kv::ado::Connection& Session() { return *session_; }

    void LoadKey(const Case& c) {
        const std::size_t shown = Errors().Reports().size();
        Type(*window->TXT_CODART, c.article);
        Type(*window->TXT_DADATA_ACQ, c.from);
        Type(*window->TXT_ADATA_ACQ, c.to);
        Type(*window->TXT_DADATA_VEN, c.from);
        Type(*window->TXT_ADATA_VEN, c.to);
        if (c.variant) Type(*window->TXT_VARIANTE, c.variant);
        if (c.side_row >= 0) {
            window->GRD_SIDE->UserEnter();
            ASSERT_TRUE(window->GRD_SIDE->UserMoveTo(c.side_row, 0));
        }
        ASSERT_EQ(Errors().Reports().size(), shown) << Errors().Reports().back().report.description;
    }
    void MakeEdits(const Case& c) {
        for (const Edit& e : c.edits) {
            ctl::DataGrid& grid = Grid(e);
            const long column = Column(grid, e.column);
            ASSERT_GE(column, 0) << e.column;
            grid.UserEnter();
            ASSERT_TRUE(grid.UserMoveTo(e.row, column));
            ASSERT_TRUE(grid.UserEditCell(e.row, column, e.text).accepted) << grid.Name() << " " << e.row;
            grid.UserKeyDown(ctl::keys::kReturn, 0);
        }
        ASSERT_TRUE(window->State().changes_pending);
        edited_ = Cells(c);
    }
    // True when every edited cell still shows what it showed after the edits.
    bool HoldsEdits(const Case& c) { return Cells(c) == edited_; }
    // Runs a toolbar command with the counter reset; returns how many statements it sent.
    long Click(const char* key) {
        faults->ResetCount();
        window->INTERNAV->UserClick(key);
        return faults->Count();
    }
    // The error display showed the refusal of statement k since `shown` reports.
    bool ShowedRefusal(std::size_t shown, long k) const {
        const std::string mark = "(statement " + std::to_string(k) + ")";
        for (std::size_t i = shown; i < Errors().Reports().size(); ++i) {
            const svc::ErrorReport& r = Errors().Reports()[i].report;
            if (r.description.find(mark) != std::string::npos) return true;
            for (const auto& e : r.connection_errors)
                if (e.description.find(mark) != std::string::npos) return true;
        }
        return false;
    }

    std::shared_ptr<FRMMG_QUENDORMIXAL> window;
    std::shared_ptr<kv::ado::StatementFaults> faults;

private:
    static void Type(kv::controls::EntryField& field, const std::string& text) {
        ASSERT_TRUE(field.UserType(text)) << field.Name();
        field.UserLeave();
    }
    std::vector<std::string> Cells(const Case& c) {
        std::vector<std::string> texts;
        for (const Edit& e : c.edits) {
            ctl::DataGrid& grid = Grid(e);
            texts.push_back(grid.CellText(e.row, Column(grid, e.column)));
        }
        return texts;
    }
    ctl::DataGrid& Grid(const Edit& e) { return e.sales ? *window->GRD_LISVEN : *window->GRD_LISACQ; }
    static long Column(const ctl::DataGrid& grid, const std::string& caption) {
        for (long c = 0; c < grid.Columns().Count(); ++c) {
            const auto& col = grid.Columns().Item(c);
            if (col.Visible() && kv::RTrim(col.Caption()) == caption) return c;
        }
        return -1;
    }

    std::unique_ptr<TempDatabase> file_;
    std::unique_ptr<TestDatabase> server_;
    std::string connection_string_;
    kv::ado::ConnectionPtr session_;
    std::shared_ptr<svc::HostGlobalServices> global_;
    std::shared_ptr<CLSMG_QUENDORMIXAL> entry_ = CLSMG_QUENDORMIXAL::Create();
    std::vector<std::string> edited_;
};

}  // namespace qmx::testing
