#pragma once
// A price-list window opened by a headless host on the demo companies, on either engine, for tests that
// drive it through its control models as a user would.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "shell/clsmg_quendormixal.h"
#include "support/db_engines.h"
#include "support/headless_host.h"
#include "window/frmmg_quendormixal.h"

namespace qmx::testing {

// The window on a headless host, opened by the test on the engine it chooses.
class WindowHost {
protected:
    bool sqlite() const { return engine_ == Engine::kSqlite; }

    // Opens the window on a fresh demo database, current company `company`.
    void Open(int company, Engine engine) {
        Close();
        engine_ = engine;
        host = std::make_unique<HeadlessHost>(company, engine);
        entry = CLSMG_QUENDORMIXAL::Create();
        host->Fill(*entry);
        NewWindow();
    }
    // A window loaded for the entry object, as ShowForm loads it (not shown).
    void NewWindow() {
        window = FRMMG_QUENDORMIXAL::Create();
        window->SetActiveInterface(entry);
        window->SetOwner(entry);
        window->SetWindowState(0);
    }
    // Unloads the window (a question about pending changes is answered No) and drops the database.
    void Close() {
        if (window && window->IsLoaded()) {
            host->global->ScriptedMessages()->QueueAnswer(kv::services::answer::kNo);
            window->Unload();
        }
        window.reset();
        entry.reset();
        host.reset();
    }

    void Type(kv::controls::EntryField& field, const std::string& text) {
        ASSERT_TRUE(field.UserType(text)) << field.Name();
        field.UserLeave();
    }
    // The article and the validity periods of 2025, as a user types them.
    void LoadKey(const std::string& article, const std::string& year = "2025") {
        Type(*window->TXT_CODART, article);
        Type(*window->TXT_DADATA_ACQ, "01/01/" + year);
        Type(*window->TXT_ADATA_ACQ, "31/12/" + year);
        Type(*window->TXT_DADATA_VEN, "01/01/" + year);
        Type(*window->TXT_ADATA_VEN, "31/12/" + year);
    }
    // The rows a grid shows, read again from its recordset as its view does.
    static long Rows(kv::controls::DataGrid& grid) {
        grid.SyncWithDataSource();
        return grid.RowCount();
    }
    // The fields DisableKey locks.
    std::vector<std::shared_ptr<kv::controls::EntryField>> KeyFields() const {
        return {window->TXT_CODART, window->TXT_DADATA_ACQ, window->TXT_ADATA_ACQ, window->TXT_DADATA_VEN,
                window->TXT_ADATA_VEN};
    }
    const std::vector<kv::services::ScriptedMessageService::Shown>& Messages() const {
        return host->global->ScriptedMessages()->Messages();
    }
    kv::services::ScriptedMessageService& Answers() const { return *host->global->ScriptedMessages(); }
    // A number read on the host's connection (the first column of the first row).
    long Count(const std::string& sql) const {
        auto rs = host->session->Execute(sql);
        return kv::CLng(rs->Value(0));
    }
    // Makes the database refuse `what` (INSERT or DELETE) on the price rows, as a rule of the company's
    // database would.
    void Refuse(const std::string& what) const {
        if (sqlite()) {
            host->session->Execute("CREATE TRIGGER RIFIUTA BEFORE " + what +
                                   " ON LI10_LISTARTIC BEGIN SELECT RAISE(ABORT, 'rifiutato'); END");
        } else {
            host->session->Execute("CREATE FUNCTION RIFIUTA() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN "
                                   "RAISE EXCEPTION 'rifiutato'; END $$");
            host->session->Execute("CREATE TRIGGER RIFIUTA BEFORE " + what +
                                   " ON LI10_LISTARTIC FOR EACH ROW EXECUTE FUNCTION RIFIUTA()");
        }
    }
    void Allow() const {
        host->session->Execute("DROP TRIGGER RIFIUTA" + std::string(sqlite() ? "" : " ON LI10_LISTARTIC"));
    }

    std::unique_ptr<HeadlessHost> host;
    std::shared_ptr<CLSMG_QUENDORMIXAL> entry;
    std::shared_ptr<FRMMG_QUENDORMIXAL> window;

private:
    Engine engine_ = Engine::kSqlite;
};

// On both engines: the test's parameter.
class WindowTest : public ::testing::TestWithParam<Engine>, public WindowHost {
protected:
    void SetUp() override {
        if (GetParam() == Engine::kPostgres && !PgConnectionString()) {
            if (PgRequired()) FAIL() << "QMX_REQUIRE_PG=1 but QMX_PG_CONNECTION is not set";
            GTEST_SKIP() << "QMX_PG_CONNECTION is not set";
        }
    }
    void TearDown() override { Close(); }
    void Open(int company) { WindowHost::Open(company, GetParam()); }
};

// On SQLite, company 1, SCI001 (grid type 1) loaded for 2025 unless the test says otherwise.
class WindowOnSqlite : public ::testing::Test, public WindowHost {
protected:
    void SetUp() override {
        Open(demo::kDittaAbbigliamento, Engine::kSqlite);
        if (load_key_) LoadKey(demo::kArticoloTipo1);
    }
    void TearDown() override { Close(); }
    bool load_key_ = true;
};

}  // namespace qmx::testing
