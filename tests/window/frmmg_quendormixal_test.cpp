#include "window/frmmg_quendormixal.h"

#include <gtest/gtest.h>

#include "shell/clsmg_quendormixal.h"
#include "support/headless_host.h"

namespace qmx {
namespace {

using kv::Variant;
namespace svc = kv::services;

class WindowLifecycle : public ::testing::Test {
protected:
    WindowLifecycle() { host.Fill(*entry); }

    // The window as ShowForm prepares it, loaded but not shown.
    std::shared_ptr<FRMMG_QUENDORMIXAL> LoadedWindow() {
        auto w = FRMMG_QUENDORMIXAL::Create();
        w->SetActiveInterface(entry);
        w->SetOwner(entry);
        w->SetWindowState(0);
        return w;
    }
    std::vector<std::string> ReportedProcedures() const {
        std::vector<std::string> p;
        for (const auto& r : host.Errors().Reports()) p.push_back(r.report.procedure);
        return p;
    }

    testing::HeadlessHost host{demo::kDittaAbbigliamento};
    std::shared_ptr<CLSMG_QUENDORMIXAL> entry = CLSMG_QUENDORMIXAL::Create();
};

TEST_F(WindowLifecycle, ModalWindowTakesTheHostsPlacement) {
    entry->SetLeft(Variant("120"));
    entry->SetTop(Variant(int32_t{240}));
    auto modeless = LoadedWindow();
    EXPECT_EQ(modeless->Left(), 0);
    EXPECT_EQ(modeless->Top(), 0);

    entry->SetWindowModal(true);
    auto modal = LoadedWindow();
    EXPECT_EQ(modal->Left(), 120);
    EXPECT_EQ(modal->Top(), 240);
}

TEST_F(WindowLifecycle, LoadOpensAndPublishesItsConnection) {
    auto w = LoadedWindow();
    ASSERT_NE(w->ADOConnection(), nullptr);
    EXPECT_EQ(w->ADOConnection()->State(), kv::ado::adStateOpen);
    EXPECT_EQ(entry->Connection(), w->ADOConnection());
    EXPECT_NE(w->ADOConnection(), host.session);  // its own connection
    EXPECT_EQ(w->ConnectionString(), host.db.ConnectionString());
    EXPECT_EQ(w->CompanyCode(), "1");
    EXPECT_TRUE(host.Errors().Reports().empty());
}

TEST_F(WindowLifecycle, AConnectionThatDoesNotOpenIsReportedAndTheLoadGoesOn) {
    host.global->SetConnectionString("Provider=Nowhere;Data Source=x");
    host.Errors().QueueAnswers({2, 2});
    auto w = LoadedWindow();
    // The open, then the parameter template on the closed connection.
    EXPECT_EQ(ReportedProcedures(), (std::vector<std::string>{"Form_Load", "Form_Load"}));
    const svc::ErrorReport& r = host.Errors().Reports()[0].report;
    EXPECT_EQ(r.component, "PEXA_QUENDORMIXAL");
    EXPECT_EQ(r.style, 4370);
    EXPECT_NE(r.description.find("Nowhere"), std::string::npos) << r.description;
    EXPECT_EQ(w->CompanyCode(), "1");  // the steps after the failure ran
    EXPECT_EQ(entry->Connection(), w->ADOConnection());
}

TEST_F(WindowLifecycle, ErrorReportCarriesTheConnectionErrorsAndCaption) {
    auto w = LoadedWindow();
    w->SetCaption("Listini");
    try {
        w->ADOConnection()->Execute("SELECT * FROM NO_SUCH_TABLE");
    } catch (const kv::Error& e) {
        EXPECT_EQ(w->VisualizzaErrore("GetScaglione", e), 3);
    }
    ASSERT_EQ(host.Errors().Reports().size(), 1u);
    const svc::ErrorReport& r = host.Errors().Reports()[0].report;
    EXPECT_EQ(r.procedure, "GetScaglione");
    EXPECT_EQ(r.caption, "Listini");
    ASSERT_EQ(r.connection_errors.size(), 1u);
    EXPECT_NE(r.connection_errors[0].description.find("NO_SUCH_TABLE"), std::string::npos);
}

TEST_F(WindowLifecycle, FirstActivationOpensOnceAndEveryActivationSyncsTheNavigator) {
    auto w = LoadedWindow();
    w->Show(false);
    w->Activate();  // the user comes back to the window
    EXPECT_EQ(host.ScriptModel().FiredEvents().size(), 1u);
    EXPECT_EQ(host.navigator->Refreshes(), 2);
    EXPECT_EQ(host.navigator->FrameStatus(), 3);
    EXPECT_EQ(host.global->ActiveInterface(), entry);
    ASSERT_NE(host.global->ApplicationObject(), nullptr);
    EXPECT_EQ(host.global->ApplicationObject()->Title(), "PEXA_QUENDORMIXAL");
    EXPECT_TRUE(w->State().activated);
    EXPECT_TRUE(w->Unload());
}

TEST_F(WindowLifecycle, ACloseRequestClosesTheWindowOnItsFirstActivation) {
    auto w = LoadedWindow();
    w->MutableState().close_request = true;
    w->Show(false);
    EXPECT_FALSE(w->IsLoaded());
    EXPECT_TRUE(host.Presenter().OpenWindows().empty());
    EXPECT_EQ(host.ScriptModel().FiredEvents().back().flag, 0);
    EXPECT_TRUE(host.Errors().Reports().empty());
}

TEST_F(WindowLifecycle, UnloadReleasesEverythingAndTellsTheHost) {
    entry->ShowForm();
    auto w = entry->Window();
    auto connection = w->ADOConnection();
    host.navigator->RaiseInitializeScriptObjectModel();
    ASSERT_EQ(host.ScriptModel().Find(FRMMG_QUENDORMIXAL::kName), w);
    EXPECT_TRUE(w->Unload());
    EXPECT_EQ(host.ScriptModel().Find(FRMMG_QUENDORMIXAL::kName), nullptr);
    EXPECT_TRUE(host.ScriptModel().Registrations().empty());
    EXPECT_EQ(connection->State(), kv::ado::adStateClosed);
    EXPECT_EQ(entry->Connection(), nullptr);
    EXPECT_EQ(entry->ActiveDll(), nullptr);
    EXPECT_EQ(host.menu->ClosedForms(), std::vector<std::string>{"FRMMG_QUENDORMIXAL"});
    EXPECT_EQ(host.global->ClosedWindows(), std::vector<std::string>{"FRMMG_QUENDORMIXAL"});
    EXPECT_EQ(host.Errors().FinishCount(), 1);
    EXPECT_EQ(w->ActiveInterface(), nullptr);
    EXPECT_TRUE(host.Errors().Reports().empty());
    EXPECT_TRUE(w->Unload());  // unloading an unloaded window changes nothing
}

TEST_F(WindowLifecycle, MissingOptionalHostObjectsAreNotErrors) {
    entry->SetActiveNavigator(nullptr);
    entry->SetClsVoceMenu(nullptr);
    entry->SetActiveFrame(nullptr);
    auto w = LoadedWindow();
    w->Show(false);
    EXPECT_TRUE(w->Unload());
    EXPECT_TRUE(host.Errors().Reports().empty());
}

TEST_F(WindowLifecycle, FormEventsByName) {
    auto w = LoadedWindow();
    w->ExecuteFormEvent("kvClose");
    w->ExecuteFormEvent("kvopen");  // names are exact
    w->ExecuteFormEvent("kvOpen");
    const std::vector<svc::WindowEventInfo> events = {{FRMMG_QUENDORMIXAL::kName, 0, FRMMG_QUENDORMIXAL::kName},
                                                      {FRMMG_QUENDORMIXAL::kName, 1, FRMMG_QUENDORMIXAL::kName}};
    EXPECT_EQ(host.ScriptModel().FiredEvents(), events);

    int16_t cancel = -1;  // an unload already cancelled fires no close event
    w->Form_QueryUnload(cancel, vbFormControlMenu);
    EXPECT_EQ(host.ScriptModel().FiredEvents().size(), 2u);
    EXPECT_TRUE(w->Unload());
}

}  // namespace
}  // namespace qmx
