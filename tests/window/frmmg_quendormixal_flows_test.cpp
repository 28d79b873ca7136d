// The window's flows where something fails under them: a procedure left after an error, a missing
// message service, a load that fails. The flows themselves are the scenarios' (tests/scenarios).

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "support/window_fixture.h"

namespace qmx {
namespace {

namespace svc = kv::services;

class WindowFlows : public testing::WindowOnSqlite {
protected:
    WindowFlows() { load_key_ = false; }
};

// Procedures the user leaves after an error give the pointer back: the wait pointer of an operation under
// way never stays over a window that is idle. The message pump fails once, inside each procedure.
TEST_F(WindowFlows, AProcedureLeftAfterAnErrorGivesThePointerBack) {
    LoadKey(demo::kArticoloTipo4, "2026");
    ASSERT_EQ(window->State().grid_type, 4);
    auto& screen = *host->global->HostScreen();
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
        host->global->MessagePump().SetCallback([&] {
            if (failed) return;
            failed = true;
            throw kv::Error(5, "Invalid procedure call or argument", "test");
        });
        const auto shown = host->Errors().Reports().size();
        host->Errors().QueueAnswer(svc::answer::kAbort);
        c.act();
        host->global->MessagePump().SetCallback({});
        ASSERT_TRUE(failed);
        EXPECT_GT(host->Errors().Reports().size(), shown);
        EXPECT_EQ(screen.MousePointer(), svc::pointer::kDefault);
    }
}

// Without the host's message service every question fails in its procedure's trap and is reported there:
// the window does not crash and loses nothing.
TEST_F(WindowFlows, AMissingMessageServiceIsReportedNotACrash) {
    window->Unload();
    host->global->SetMessageServiceFactory([] { return std::shared_ptr<svc::MessageService>(); });
    NewWindow();
    LoadKey(demo::kArticoloTipo1);
    ASSERT_EQ(window->MessageBoxService(), nullptr);
    ASSERT_TRUE(window->GRD_LISACQ->UserEditCell(8, window->GRD_LISACQ->Columns().IndexOf("LI10_PREZZO"), "12").accepted);
    for (const char* key : {"Nuovo", "Elimina", "Dettaglio"}) {
        SCOPED_TRACE(key);
        const auto shown = host->Errors().Reports().size();
        window->INTERNAV->UserClick(key);
        ASSERT_EQ(host->Errors().Reports().size(), shown + 1);
        EXPECT_NE(host->Errors().Reports().back().report.description.find("servizio dei messaggi"), std::string::npos);
        EXPECT_TRUE(window->State().changes_pending) << "the price typed is still there";
    }
    host->global->SetMessageServiceFactory({});
}

// A load that fails inside a driver is told, with what it stopped on, instead of leaving the grids empty
// without a word; the next key loads again.
TEST_F(WindowFlows, AFailedLoadIsToldAndTheNextLoadWorks) {
    host->session->Execute("ALTER TABLE LI10_LISTARTIC RENAME TO LI10_ALTROVE");
    host->Errors().QueueAnswer(svc::answer::kAbort);
    LoadKey(demo::kArticoloTipo1);
    ASSERT_FALSE(host->Errors().Reports().empty());
    EXPECT_EQ(host->Errors().Reports().back().report.description.rfind("Il caricamento dei prezzi dei listini di ", 0), 0u)
        << host->Errors().Reports().back().report.description;
    host->session->Execute("ALTER TABLE LI10_ALTROVE RENAME TO LI10_LISTARTIC");
    host->global->ScriptedMessages()->QueueAnswer(svc::answer::kNo);
    window->INTERNAV->UserClick("Nuovo");
    const auto shown = host->Errors().Reports().size();
    LoadKey(demo::kArticoloTipo1);
    EXPECT_EQ(host->Errors().Reports().size(), shown);
    EXPECT_EQ(window->GRD_LISACQ->CellText(0, window->GRD_LISACQ->Columns().IndexOf("LI10_PREZZO")), "35,00");
}

}  // namespace
}  // namespace qmx
