#pragma once
// Desktops sharing one company database, on either engine: the demo database the test builds, and each
// desktop's own host objects and window on it (its own connection), driven as a user drives it.

#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "schema/demo/demo.h"
#include "shell/clsmg_quendormixal.h"
#include "support/db_engines.h"
#include "support/headless_host.h"
#include "window/frmmg_quendormixal.h"

namespace qmx::testing {

struct SharedDesktop {
    // `user` and `now` ("10/03/2026 09:15"), when given, are the session's user and clock.
    explicit SharedDesktop(const std::string& connection_string, const std::string& user = {},
                           const char* now = nullptr) {
        namespace svc = kv::services;
        global = std::make_shared<svc::HostGlobalServices>(demo::kDittaAbbigliamento, connection_string);
        if (now) global->SetToday(kv::Date::ParseLocal(now, kv::RegionalSettings::Italian()));
        if (!user.empty()) global->SetUserName(user);
        FillWithHostObjects(*entry, global);
        window->SetActiveInterface(entry);
        window->SetOwner(entry);
        window->SetWindowState(0);
    }
    ~SharedDesktop() {
        if (window->IsLoaded()) {
            global->ScriptedMessages()->QueueAnswer(kv::services::answer::kNo);
            window->Unload();
        }
    }
    SharedDesktop(const SharedDesktop&) = delete;
    SharedDesktop& operator=(const SharedDesktop&) = delete;

    void Type(kv::controls::EntryField& field, const std::string& text) {
        ASSERT_TRUE(field.UserType(text)) << field.Name();
        field.UserLeave();
    }
    // Article SCI001 (grid type 1) for 2025: purchase rows 0-7 list 1 (stored, 35), 8-15 list 2 (none).
    void Load() {
        Type(*window->TXT_CODART, demo::kArticoloTipo1);
        Type(*window->TXT_DADATA_ACQ, "01/01/2025");
        Type(*window->TXT_ADATA_ACQ, "31/12/2025");
        Type(*window->TXT_DADATA_VEN, "01/01/2025");
        Type(*window->TXT_ADATA_VEN, "31/12/2025");
    }
    long Prezzo() const { return window->GRD_LISACQ->Columns().IndexOf("LI10_PREZZO"); }
    void Edit(long row, const std::string& price) {
        ASSERT_TRUE(window->GRD_LISACQ->UserEditCell(row, Prezzo(), price).accepted) << row;
    }
    std::string Shown(long row) const { return window->GRD_LISACQ->CellText(row, Prezzo()); }
    bool Confirm() { return window->INTERNAV->UserClick("Conferma"); }
    kv::services::ScriptedMessageService& Messages() const { return *global->ScriptedMessages(); }

    std::shared_ptr<kv::services::HostGlobalServices> global;
    std::shared_ptr<CLSMG_QUENDORMIXAL> entry = CLSMG_QUENDORMIXAL::Create();
    std::shared_ptr<FRMMG_QUENDORMIXAL> window = FRMMG_QUENDORMIXAL::Create();
};

// The company database the desktops share: the demo, built afresh on the test's engine.
class SharedDatabase : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        if (sqlite()) {
            connection_string_ = file_.ConnectionString();
            session_ = kv::ado::Connection::Create();
            session_->Open(connection_string_ + ";Mode=Create");
        } else {
            connection_string_ = database().connection_string();
            session_ = database().connection();
        }
        demo::CreateSchema(*session_);
        demo::BuildDemo(*session_);
    }

    TempDatabase file_;
    std::string connection_string_;
    kv::ado::ConnectionPtr session_;
};

}  // namespace qmx::testing
