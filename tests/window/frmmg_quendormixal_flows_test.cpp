// The window's key and toolbar flows through its control models, as a user drives them: the key typed
// in the header loads the grids, and the questions asked before unsaved prices could be lost. The
// whole-window scenarios (tests/scenarios) cover the flows end to end on both engines; these are the
// cases a scenario cannot reach (closing the window) or that need the window's own state.

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace qmx
