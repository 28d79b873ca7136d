// The window's key and toolbar flows through its control models, as a user drives them: the key typed
// in the header loads the grids, and the questions asked before unsaved prices could be lost. The
// whole-window scenarios (tests/scenarios) cover the flows end to end on both engines; these are the
// cases a scenario cannot reach (closing the window) or that need the window's own state.

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "shell/clsmg_quendormixal.h"
#include "support/headless_host.h"
#include "window/frmmg_quendormixal.h"

namespace qmx {
namespace {

namespace svc = kv::services;

class WindowFlows : public ::testing::Test {
protected:
    WindowFlows() {
        host.Fill(*entry);
        window = FRMMG_QUENDORMIXAL::Create();
        window->SetActiveInterface(entry);
        window->SetOwner(entry);
        window->SetWindowState(0);
    }
    ~WindowFlows() override {
        if (window && window->IsLoaded()) {
            host.global->ScriptedMessages()->QueueAnswer(svc::answer::kNo);
            window->Unload();
        }
    }

    void Type(kv::controls::EntryField& field, const std::string& text) {
        ASSERT_TRUE(field.UserType(text)) << field.Name();
        field.UserLeave();
    }
    // Article SCI001 (grid type 1) for 2025, as a user types it.
    void LoadKey() {
        Type(*window->TXT_CODART, demo::kArticoloTipo1);
        Type(*window->TXT_DADATA_ACQ, "01/01/2025");
        Type(*window->TXT_ADATA_ACQ, "31/12/2025");
        Type(*window->TXT_DADATA_VEN, "01/01/2025");
        Type(*window->TXT_ADATA_VEN, "31/12/2025");
    }
    const std::vector<svc::ScriptedMessageService::Shown>& Messages() const {
        return host.global->ScriptedMessages()->Messages();
    }

    testing::HeadlessHost host{demo::kDittaAbbigliamento};
    std::shared_ptr<CLSMG_QUENDORMIXAL> entry = CLSMG_QUENDORMIXAL::Create();
    std::shared_ptr<FRMMG_QUENDORMIXAL> window;
};

TEST_F(WindowFlows, TheKeyLoadsTheGridsAndLocksTheHeader) {
    LoadKey();
    EXPECT_TRUE(host.Errors().Reports().empty());
    EXPECT_EQ(window->State().grid_type, 1);
    EXPECT_EQ(window->GRD_LISACQ->RowCount(), 24);  // 3 purchase lists x 8 colours
    EXPECT_EQ(window->GRD_LISVEN->RowCount(), 32);  // 4 sales lists x 8 colours
    EXPECT_FALSE(window->TXT_CODART->Enabled());
    EXPECT_FALSE(window->TXT_ADATA_VEN->Enabled());
    EXPECT_TRUE(window->INTERNAV->Enabled());
}

TEST_F(WindowFlows, APeriodThatEndsBeforeItStartsLoadsNothing) {
    Type(*window->TXT_CODART, demo::kArticoloTipo1);
    Type(*window->TXT_DADATA_ACQ, "01/06/2025");
    Type(*window->TXT_ADATA_ACQ, "31/05/2025");
    Type(*window->TXT_DADATA_VEN, "01/01/2025");
    Type(*window->TXT_ADATA_VEN, "31/12/2025");
    ASSERT_FALSE(Messages().empty());
    const auto& m = Messages().back();
    EXPECT_EQ(m.title, "Attenzione");
    EXPECT_NE(m.text.find("31/05/2025"), std::string::npos) << m.text;
    EXPECT_NE(m.text.find("01/06/2025"), std::string::npos) << m.text;
    EXPECT_EQ(window->GRD_LISACQ->RowCount(), 0);
    EXPECT_TRUE(window->TXT_ADATA_VEN->Enabled());  // the header stays open for the correction
}

TEST_F(WindowFlows, RecalculatedPricesArePendingChanges) {
    LoadKey();
    ASSERT_FALSE(window->State().changes_pending);
    ASSERT_TRUE(window->INTERNAV->UserClick(FRMMG_QUENDORMIXAL::kRicalcolaKey));
    EXPECT_TRUE(host.Errors().Reports().empty());
    // Not saved yet: leaving the key or the window must ask first.
    EXPECT_TRUE(window->State().changes_pending);
    EXPECT_TRUE(window->INTERNAV->ButtonEnabled("Conferma"));
    EXPECT_TRUE(window->INTERNAV->ButtonEnabled("Annulla"));
}

TEST_F(WindowFlows, ClosingWithoutPendingChangesAsksNothing) {
    LoadKey();
    const auto before = Messages().size();
    EXPECT_TRUE(window->RequestClose());
    EXPECT_EQ(Messages().size(), before);
}

// Procedures the user leaves after an error give the pointer back: the wait pointer of an operation under
// way never stays over a window that is idle. The message pump fails once, inside each procedure.
TEST_F(WindowFlows, AProcedureLeftAfterAnErrorGivesThePointerBack) {
    Type(*window->TXT_CODART, demo::kArticoloTipo4);
    Type(*window->TXT_DADATA_ACQ, "01/01/2026");
    Type(*window->TXT_ADATA_ACQ, "31/12/2026");
    Type(*window->TXT_DADATA_VEN, "01/01/2026");
    Type(*window->TXT_ADATA_VEN, "31/12/2026");
    ASSERT_EQ(window->State().grid_type, 4);
    auto& screen = *host.global->HostScreen();
    struct Case {
        const char* name;
        std::function<void()> act;
    };
    const Case cases[] = {
        {"Annulla", [&] { window->INTERNAV->UserClick("Annulla"); }},
        {"Ricalcola", [&] { window->INTERNAV->UserClick("Ricalcola"); }},
        // "Importo Netto", the last element, lets messages run.
        {"side list", [&] { window->GRD_SIDE->UserMoveTo(window->SideRecordset()->RecordCount() - 1, 0); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        window->INTERNAV->EnableButton("Annulla", true);
        bool failed = false;
        host.global->MessagePump().SetCallback([&] {
            if (failed) return;
            failed = true;
            throw kv::Error(5, "Invalid procedure call or argument", "test");
        });
        const auto shown = host.Errors().Reports().size();
        host.Errors().QueueAnswer(svc::answer::kAbort);
        c.act();
        host.global->MessagePump().SetCallback({});
        ASSERT_TRUE(failed);
        EXPECT_GT(host.Errors().Reports().size(), shown);
        EXPECT_EQ(screen.MousePointer(), svc::pointer::kDefault);
    }
}

// Without the host's message service every question fails in its procedure's trap and is reported there:
// the window does not crash and loses nothing.
TEST_F(WindowFlows, AMissingMessageServiceIsReportedNotACrash) {
    window->Unload();
    host.global->SetMessageServiceFactory([] { return std::shared_ptr<svc::MessageService>(); });
    window = FRMMG_QUENDORMIXAL::Create();
    window->SetActiveInterface(entry);
    window->SetOwner(entry);
    window->SetWindowState(0);
    LoadKey();
    ASSERT_EQ(window->MessageBoxService(), nullptr);
    ASSERT_TRUE(window->GRD_LISACQ->UserEditCell(8, window->GRD_LISACQ->Columns().IndexOf("LI10_PREZZO"), "12").accepted);
    for (const char* key : {"Nuovo", "Elimina", "Dettaglio"}) {
        SCOPED_TRACE(key);
        const auto shown = host.Errors().Reports().size();
        window->INTERNAV->UserClick(key);
        ASSERT_EQ(host.Errors().Reports().size(), shown + 1);
        EXPECT_NE(host.Errors().Reports().back().report.description.find("servizio dei messaggi"), std::string::npos);
        EXPECT_TRUE(window->State().changes_pending) << "the price typed is still there";
    }
    host.global->SetMessageServiceFactory({});
}

// A load that fails inside a driver is told, with what it stopped on, instead of leaving the grids empty
// without a word; the next key loads again.
TEST_F(WindowFlows, AFailedLoadIsToldAndTheNextLoadWorks) {
    host.session->Execute("ALTER TABLE LI10_LISTARTIC RENAME TO LI10_ALTROVE");
    host.Errors().QueueAnswer(svc::answer::kAbort);
    LoadKey();
    ASSERT_FALSE(host.Errors().Reports().empty());
    EXPECT_EQ(host.Errors().Reports().back().report.description.rfind("Il caricamento dei prezzi dei listini di ", 0), 0u)
        << host.Errors().Reports().back().report.description;
    host.session->Execute("ALTER TABLE LI10_ALTROVE RENAME TO LI10_LISTARTIC");
    host.global->ScriptedMessages()->QueueAnswer(svc::answer::kNo);
    window->INTERNAV->UserClick("Nuovo");
    const auto shown = host.Errors().Reports().size();
    LoadKey();
    EXPECT_EQ(host.Errors().Reports().size(), shown);
    EXPECT_EQ(window->GRD_LISACQ->CellText(0, window->GRD_LISACQ->Columns().IndexOf("LI10_PREZZO")), "35,00");
}

}  // namespace
}  // namespace qmx
