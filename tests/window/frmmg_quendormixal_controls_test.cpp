// The window's controls: the layout modes, what a load sets up (also one left after an error), the date
// controls, the header lookups on the demo database, and what the unload releases. Where each view sits
// is the Qt form's test (tests/window/qt).

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/services/status_bar.h"
#include "schema/demo/demo.h"
#include "shell/clsmg_quendormixal.h"
#include "support/headless_host.h"
#include "window/frmmg_quendormixal.h"

namespace qmx {
namespace {

using kv::Variant;
namespace ctl = kv::controls;
namespace svc = kv::services;

std::shared_ptr<FRMMG_QUENDORMIXAL> LoadedWindow(const std::shared_ptr<CLSMG_QUENDORMIXAL>& entry) {
    auto w = FRMMG_QUENDORMIXAL::Create();
    w->SetActiveInterface(entry);
    w->SetOwner(entry);
    w->SetWindowState(0);
    return w;
}

class WindowControls : public ::testing::Test {
protected:
    WindowControls() {
        host.Fill(*entry);
        // An article of grid type 1: the window opens in layout mode 1.
        entry->SetIsCalled(true);
        entry->SetCodiceArticolo(Variant(demo::kArticoloTipo1));
    }

    testing::HeadlessHost host{1};
    std::shared_ptr<CLSMG_QUENDORMIXAL> entry = CLSMG_QUENDORMIXAL::Create();
};

TEST_F(WindowControls, EachLayoutModeShowsItsSideListsAndVariantField) {
    struct Case {
        int16_t grid_type;
        int16_t mode;
        bool side, side1, variant, option_column;
        long left_minimum;
    };
    const Case cases[] = {
        {0, 1, false, false, false, true, 0},  // no grid type yet: the plain layout
        {1, 1, false, false, false, true, 0},
        {2, 2, true, false, true, true, 1200},
        {3, 3, true, false, true, true, 1200},
        {4, 4, true, true, false, false, 1200},  // the elements: one column, no option column
    };
    auto w = LoadedWindow(entry);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.grid_type);
        w->MutableState().grid_type = c.grid_type;
        w->Reinizializza(false);
        EXPECT_EQ(w->State().layout_mode, c.mode);
        EXPECT_TRUE(w->PIC_LEFT->Visible());  // the copy buttons are there in every mode
        EXPECT_EQ(w->GRD_SIDE->Visible(), c.side);
        EXPECT_EQ(w->GRD_SIDE->Columns().Item("BLT_OPZIONE2").Visible(), c.option_column);
        EXPECT_EQ(w->GRD_SIDE1->Columns().Item("BLT_OPZIONE2").Visible(), c.option_column);
        EXPECT_EQ(w->GRD_SIDE1->Visible(), c.side1);
        EXPECT_EQ(w->TXT_VARIANTE->Visible(), c.variant);
        EXPECT_EQ(w->TXT_VARIANTE_LBL->Visible(), c.variant);
        EXPECT_EQ(w->TXT_DESCSEGMENTO->Visible(), c.variant);
        EXPECT_EQ(w->SPLITVERTICALE->Pane(1).MinSize(), c.left_minimum);
    }
    EXPECT_TRUE(host.Errors().Reports().empty());
}

TEST_F(WindowControls, ALoadLeftAfterAnErrorStillLaysTheWindowOut) {
    // The user answers "Termina" (3) to a connection that does not open: the load's database steps
    // stop there, but the window is laid out as a normal load lays it out, with its toolbar disabled.
    auto normal = LoadedWindow(entry);
    host.global->SetConnectionString("Provider=Nowhere;Data Source=x");
    auto w = LoadedWindow(entry);
    ASSERT_EQ(host.Errors().Reports().size(), 1u);
    EXPECT_EQ(w->CompanyCode(), "");  // the database steps were left

    EXPECT_FALSE(w->INTERNAV->Enabled());
    EXPECT_EQ(w->INTERNAV->IndexOf(FRMMG_QUENDORMIXAL::kRicalcolaKey),
              w->INTERNAV->IndexOf(ctl::kToolbarConfirm) + 1);
    EXPECT_EQ(w->State().layout_mode, 1);
    EXPECT_FALSE(w->State().loading);
    EXPECT_FALSE(w->BAR_OPERATION->Visible());
    EXPECT_TRUE(w->TXT_CODART->Enabled());
    EXPECT_TRUE(w->KVR_RESIZEFORM->Running());
    EXPECT_EQ(w->KVR_RESIZEFORM->Registrations().size(), normal->KVR_RESIZEFORM->Registrations().size());
    EXPECT_EQ(w->SPLITVERTICALE->Pane(1).ControlName(), "PIC_LEFT");
    EXPECT_EQ(w->SPLITORIZZONTALE->Pane(2).ControlName(), "GRB_LISVEN");
    EXPECT_EQ(w->SPLITORIZZONTALE->Position(), normal->SPLITORIZZONTALE->Position());
    for (const auto& name : {"PIC_LEFT", "GRD_SIDE", "GRB_LISACQ", "GRD_LISACQ", "LBL_HEADLISACQ", "GRB_LISVEN",
                             "GRD_LISVEN", "LBL_HEADLISVEN", "TXT_VARIANTE", "CBO_DADATA_ACQ"}) {
        auto failed = std::dynamic_pointer_cast<ctl::Control>(w->Control(name));
        auto good = std::dynamic_pointer_cast<ctl::Control>(normal->Control(name));
        ASSERT_TRUE(failed && good) << name;
        EXPECT_EQ(failed->Visible(), good->Visible()) << name;
        EXPECT_EQ(failed->Enabled(), good->Enabled()) << name;
        EXPECT_EQ(failed->Width(), good->Width()) << name;
        EXPECT_EQ(failed->Left(), good->Left()) << name;
        EXPECT_EQ(failed->Top(), good->Top()) << name;
    }
    EXPECT_TRUE(w->Unload());
    EXPECT_TRUE(normal->Unload());
}

TEST_F(WindowControls, LoadLeavesAnOpenHeader) {
    auto w = LoadedWindow(entry);
    EXPECT_TRUE(w->TXT_CODART->Enabled());
    EXPECT_EQ(w->TXT_CODART->Text(), "");
    for (const auto& date : {w->TXT_DADATA_ACQ, w->TXT_ADATA_ACQ, w->TXT_DADATA_VEN, w->TXT_ADATA_VEN}) {
        EXPECT_TRUE(date->Visible()) << date->Name();
        EXPECT_TRUE(date->Enabled()) << date->Name();
    }
    for (const auto& combo : {w->CBO_DADATA_ACQ, w->CBO_ADATA_ACQ, w->CBO_DADATA_VEN, w->CBO_ADATA_VEN})
        EXPECT_FALSE(combo->Visible()) << combo->Name();
    EXPECT_FALSE(w->GRB_LISACQ->Enabled());
    EXPECT_FALSE(w->GRB_LISVEN->Enabled());
    EXPECT_FALSE(w->BAR_OPERATION->Visible());
    // The lookup fields work on the window's connection for its company.
    EXPECT_EQ(w->TXT_CODART->Connection(), w->ADOConnection());
    EXPECT_EQ(w->TXT_CODART->CompanyCode(), "1");
    EXPECT_EQ(w->TXT_OPZIONE->Connection(), w->ADOConnection());
    EXPECT_TRUE(w->KVR_RESIZEFORM->Running());
    EXPECT_FALSE(w->State().loading);
    EXPECT_TRUE(host.Errors().Reports().empty());
}

TEST_F(WindowControls, ADateFromTheConfigurationShowsTheDisabledComboInItsPlace) {
    auto w = LoadedWindow(entry);
    w->TXT_DADATA_VEN->Move(3000, 450, 1200, 300);
    w->SetupDateControl(*w->TXT_DADATA_VEN, *w->CBO_DADATA_VEN, kDateProposalFromConfiguration);
    EXPECT_FALSE(w->TXT_DADATA_VEN->Visible());
    EXPECT_FALSE(w->TXT_DADATA_VEN->Enabled());
    const ctl::ComboBox& combo = *w->CBO_DADATA_VEN;
    EXPECT_TRUE(combo.Visible());
    EXPECT_FALSE(combo.Enabled());
    ASSERT_EQ(combo.ListCount(), 1);
    EXPECT_EQ(combo.List(0), "Da Configurazione");
    EXPECT_EQ(combo.Text(), "Da Configurazione");
    EXPECT_EQ(combo.Left(), 3000);
    EXPECT_EQ(combo.Top(), 450);

    // Asked again (a reload): only the field shows. Not computed: neither.
    w->SetupDateControl(*w->TXT_DADATA_VEN, *w->CBO_DADATA_VEN, kDateProposalAsked);
    EXPECT_TRUE(w->TXT_DADATA_VEN->Visible());
    EXPECT_FALSE(combo.Visible());
    w->SetupDateControl(*w->TXT_DADATA_VEN, *w->CBO_DADATA_VEN, kDateProposalVoid);
    EXPECT_FALSE(w->TXT_DADATA_VEN->Visible());
    EXPECT_FALSE(combo.Visible());
}

TEST_F(WindowControls, TheContainerAndTheSplitFollowTheHostAndTheWindowSize) {
    entry->SetLeft(Variant("120"));
    auto w = LoadedWindow(entry);
    w->MDIActiveX1->LoadForm();
    EXPECT_EQ(w->MDIActiveX1->Left(), 120);
    w->KVR_RESIZEFORM->UserResize(18000, 9000);
    EXPECT_EQ(w->SPLITORIZZONTALE->Width(), 17780);
    EXPECT_EQ(w->SPLITORIZZONTALE->Height(), 6720);
    // A window smaller than its margins leaves the areas without size, not with an error.
    w->KVR_RESIZEFORM->UserResize(150, 150);
    EXPECT_EQ(w->SPLITORIZZONTALE->Width(), 0);
    EXPECT_EQ(w->SPLITORIZZONTALE->Height(), 0);
    EXPECT_TRUE(host.Errors().Reports().empty());
}

TEST_F(WindowControls, TheCallersArticleIsFixedAtTheFirstActivation) {
    entry->SetIsCalled(true);
    entry->SetCodiceArticolo(Variant("ABC"));
    entry->ShowForm();
    auto w = entry->Window();
    EXPECT_EQ(w->TXT_CODART->Text(), "ABC");
    EXPECT_FALSE(w->TXT_CODART->Enabled());
    EXPECT_EQ(w->TXT_CODART->OptionField(), w->TXT_OPZIONE);
    EXPECT_TRUE(host.Errors().Reports().empty());
    EXPECT_TRUE(w->Unload());
}

TEST_F(WindowControls, UnloadReleasesTheFieldsGridsAndResizeControl) {
    entry->ShowForm();
    auto w = entry->Window();
    auto rs = w->ADOConnection()->Execute("SELECT * FROM MG44_PARMAGLIST WHERE 0=1");
    w->GRD_LISACQ->SetDataSource(rs);
    ASSERT_EQ(w->TXT_CODART->OptionField(), w->TXT_OPZIONE);

    ASSERT_TRUE(w->Unload());
    EXPECT_EQ(w->TXT_CODART->Connection(), nullptr);
    EXPECT_EQ(w->TXT_CODART->Interface(), nullptr);
    EXPECT_EQ(w->TXT_CODART->OptionField(), nullptr);
    EXPECT_EQ(w->TXT_OPZIONE->Connection(), nullptr);
    EXPECT_EQ(w->TXT_OPZIONE->Interface(), nullptr);
    EXPECT_EQ(w->GRD_LISACQ->DataSource(), nullptr);
    for (const auto& grid : {w->GRD_LISACQ, w->GRD_LISVEN, w->GRD_SIDE, w->GRD_SIDE1}) {
        EXPECT_EQ(grid->Columns().Count(), 0) << grid->Name();
        EXPECT_EQ(grid->InitializationClass(), nullptr) << grid->Name();
    }
    EXPECT_FALSE(w->KVR_RESIZEFORM->Running());
    EXPECT_EQ(w->KVR_RESIZEFORM->Interface(), nullptr);

    // An unloaded window no longer answers its controls.
    std::string sql, cs;
    ctl::DecodeMap map;
    w->TXT_OPZIONE->StartDecode.Raise(sql, map, cs);
    EXPECT_EQ(map.target, nullptr);
    EXPECT_TRUE(host.Errors().Reports().empty());
}

// The header lookups on the demo company database (company 1).
class WindowOnDemo : public ::testing::Test {
protected:
    WindowOnDemo() {
        auto build = kv::ado::Connection::Create();
        build->Open(db.ConnectionString() + ";Mode=Create");
        demo::CreateSchema(*build);
        demo::BuildDemo(*build);
        global = std::make_shared<svc::HostGlobalServices>(demo::kDittaAbbigliamento, db.ConnectionString());
        global->SetHostConnection(build);
        entry->SetClsGlobal(global);
        entry->SetStatusBar(std::make_shared<svc::HostStatusBar>());
        window = LoadedWindow(entry);
    }
    ~WindowOnDemo() override { window->Unload(); }

    testing::TempDatabase db;
    std::shared_ptr<svc::HostGlobalServices> global;
    std::shared_ptr<CLSMG_QUENDORMIXAL> entry = CLSMG_QUENDORMIXAL::Create();
    std::shared_ptr<FRMMG_QUENDORMIXAL> window;
};

TEST_F(WindowOnDemo, TheArticleFieldDecodesArticlesOfTheCompany) {
    ctl::LookupField& article = *window->TXT_CODART;
    struct Case {
        const char* code;
        bool valid;
    };
    const Case cases[] = {
        {demo::kArticoloTipo4, true},
        {demo::kArticoloTipo1, true},
        {"NOSUCH", false},
        {demo::kArticoloTipo2, false},  // an article of company 2
        {"MAG001' OR '1'='1", false},   // the code is a value, never SQL
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        ASSERT_TRUE(article.UserType(c.code));
        ASSERT_TRUE(article.UserConfirm());
        EXPECT_EQ(article.Valid(), c.valid);
    }
    EXPECT_TRUE(global->ScriptedErrors()->Reports().empty());
}

TEST_F(WindowOnDemo, TheArticleListComesFromTheArticleSearch) {
    auto list = window->TXT_CODART->UserOpenLookup();
    ASSERT_TRUE(list.has_value());
    EXPECT_EQ(list->title, "Ricerca articoli");
    EXPECT_EQ(list->headings, (std::vector<std::string>{"Codice", "Descrizione"}));
    std::vector<std::string> codes;
    for (long r = 0; r < list->RowCount(); ++r) codes.push_back(list->CodeAt(r));
    EXPECT_NE(std::find(codes.begin(), codes.end(), "MAG001"), codes.end());
    EXPECT_EQ(std::find(codes.begin(), codes.end(), "SCA100"), codes.end());  // company 2's
    EXPECT_TRUE(std::is_sorted(codes.begin(), codes.end()));
    EXPECT_TRUE(window->TXT_CODART->UserPick("MAG001"));
    EXPECT_TRUE(window->TXT_CODART->Valid());
}

}  // namespace
}  // namespace qmx
