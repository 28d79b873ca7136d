// The window's controls: what exists by name, what the load sets up (toolbar, side lists, split
// controls, date controls, resize registrations), the layout modes, the header lookups on the demo
// database, and what the unload releases.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
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

TEST_F(WindowControls, EveryControlIsAMemberRegisteredUnderItsName) {
    auto w = FRMMG_QUENDORMIXAL::Create();
    const std::vector<std::pair<std::string, std::shared_ptr<ctl::Control>>> controls = {
        {"MDIActiveX1", w->MDIActiveX1},         {"KVR_RESIZEFORM", w->KVR_RESIZEFORM},
        {"INTERNAV", w->INTERNAV},               {"BAR_OPERATION", w->BAR_OPERATION},
        {"FME_TESTATA", w->FME_TESTATA},         {"GRB_HEAD", w->GRB_HEAD},
        {"TXT_CODART", w->TXT_CODART},           {"TXT_CODART_LBL", w->TXT_CODART_LBL},
        {"TXT_DESCART", w->TXT_DESCART},         {"TXT_OPZIONE", w->TXT_OPZIONE},
        {"TXT_OPZIONE_LBL", w->TXT_OPZIONE_LBL}, {"TXT_VARIANTE", w->TXT_VARIANTE},
        {"TXT_VARIANTE_LBL", w->TXT_VARIANTE_LBL}, {"TXT_DESCSEGMENTO", w->TXT_DESCSEGMENTO},
        {"TXT_DADATA_ACQ", w->TXT_DADATA_ACQ},   {"TXT_DADATA_ACQ_LBL", w->TXT_DADATA_ACQ_LBL},
        {"TXT_ADATA_ACQ", w->TXT_ADATA_ACQ},     {"TXT_ADATA_ACQ_LBL", w->TXT_ADATA_ACQ_LBL},
        {"CBO_DADATA_ACQ", w->CBO_DADATA_ACQ},   {"CBO_ADATA_ACQ", w->CBO_ADATA_ACQ},
        {"TXT_DADATA_VEN", w->TXT_DADATA_VEN},   {"TXT_DADATA_VEN_LBL", w->TXT_DADATA_VEN_LBL},
        {"TXT_ADATA_VEN", w->TXT_ADATA_VEN},     {"TXT_ADATA_VEN_LBL", w->TXT_ADATA_VEN_LBL},
        {"CBO_DADATA_VEN", w->CBO_DADATA_VEN},   {"CBO_ADATA_VEN", w->CBO_ADATA_VEN},
        {"PIC_LEFT", w->PIC_LEFT},               {"GRD_SIDE", w->GRD_SIDE},
        {"GRD_SIDE1", w->GRD_SIDE1},             {"CMD_COPIASURIGA", w->CMD_COPIASURIGA},
        {"CMD_COPIASUTUTTERIGHE", w->CMD_COPIASUTUTTERIGHE},
        {"GRB_LISACQ", w->GRB_LISACQ},           {"LBL_HEADLISACQ", w->LBL_HEADLISACQ},
        {"GRD_LISACQ", w->GRD_LISACQ},           {"GRB_LISVEN", w->GRB_LISVEN},
        {"LBL_HEADLISVEN", w->LBL_HEADLISVEN},   {"GRD_LISVEN", w->GRD_LISVEN},
        {"SPLITVERTICALE", w->SPLITVERTICALE},   {"SPLITORIZZONTALE", w->SPLITORIZZONTALE},
    };
    for (const auto& [name, control] : controls) {
        ASSERT_NE(control, nullptr) << name;
        EXPECT_EQ(control->Name(), name);
        EXPECT_EQ(w->Control(name), control) << name;
    }
    EXPECT_EQ(w->Control("NO_SUCH_CONTROL"), nullptr);
    EXPECT_EQ(w->LBL_HEADLISACQ->Caption(), "Listini di Acquisto");
    EXPECT_EQ(w->LBL_HEADLISVEN->Caption(), "Listini di Vendita");
    EXPECT_EQ(w->SPLITVERTICALE->Direction(), ctl::SplitDirection::LeftRight);
    EXPECT_EQ(w->SPLITORIZZONTALE->Direction(), ctl::SplitDirection::TopBottom);
}

TEST_F(WindowControls, LoadAddsRicalcolaRightAfterConferma) {
    auto w = LoadedWindow(entry);
    const long confirm = w->INTERNAV->IndexOf("Conferma");
    ASSERT_GE(confirm, 0);
    const long ricalcola = w->INTERNAV->IndexOf("RICALCOLA");
    EXPECT_EQ(ricalcola, confirm + 1);
    EXPECT_EQ(w->INTERNAV->Button(ricalcola).caption, "Rica&lcola ");
    // Then "Dettaglio", the toggle "Anteprima" (off until the user turns it on), "Da periodo", "Storico",
    // "Annulla ultimo salvataggio" and the toggle "Margine %".
    EXPECT_EQ(w->INTERNAV->ButtonCount(), 11);
    EXPECT_EQ(w->INTERNAV->IndexOf(FRMMG_QUENDORMIXAL::kAnnullaSalvataggioKey), 9);
    EXPECT_EQ(w->INTERNAV->IndexOf(FRMMG_QUENDORMIXAL::kMargineKey), 10);
    ASSERT_GE(w->INTERNAV->IndexOf(FRMMG_QUENDORMIXAL::kDettaglioKey), 0);
    const auto& anteprima = w->INTERNAV->Button(w->INTERNAV->IndexOf(FRMMG_QUENDORMIXAL::kAnteprimaKey));
    EXPECT_EQ(anteprima.caption, "Anteprima");
    EXPECT_TRUE(anteprima.checkable);
    EXPECT_FALSE(anteprima.checked);
    // An open header has nothing to command yet.
    EXPECT_FALSE(w->INTERNAV->Enabled());
    EXPECT_TRUE(host.Errors().Reports().empty());
}

TEST_F(WindowControls, LoadDefinesTheSideListColumns) {
    auto w = LoadedWindow(entry);
    for (const auto& grid : {w->GRD_SIDE, w->GRD_SIDE1}) {
        SCOPED_TRACE(grid->Name());
        ASSERT_EQ(grid->Columns().Count(), 2);
        const ctl::GridColumn& option = grid->Columns().Item(0L);
        const ctl::GridColumn& description = grid->Columns().Item(1L);
        EXPECT_EQ(option.DataField(), "BLT_OPZIONE2");
        EXPECT_EQ(option.Caption(), "Colore");
        EXPECT_EQ(option.Width(), 1330);
        EXPECT_EQ(description.DataField(), "BLT_DESCR2");
        EXPECT_EQ(description.Caption(), "Descrizione");
        EXPECT_EQ(description.Width(), 1514);
        EXPECT_EQ(option.Type(), 1);
        EXPECT_TRUE(option.Stretch());
        EXPECT_TRUE(description.Stretch());
        EXPECT_NE(grid->InitializationClass(), nullptr);
    }
}

TEST_F(WindowControls, LoadSetsUpTheSplitControlsAndOpensInModeOne) {
    auto w = LoadedWindow(entry);
    const ctl::Splitter& v = *w->SPLITVERTICALE;
    EXPECT_EQ(v.Pane(1).ControlName(), "PIC_LEFT");
    EXPECT_EQ(v.Pane(2).ControlName(), "SPLITORIZZONTALE");
    EXPECT_EQ(v.Pane(1).MinSize(), 0);  // mode 1 lets the left panel go
    EXPECT_EQ(v.Pane(2).MinSize(), 7000);
    EXPECT_EQ(v.Position(), 12);
    const ctl::Splitter& h = *w->SPLITORIZZONTALE;
    EXPECT_EQ(h.Pane(1).ControlName(), "GRB_LISACQ");
    EXPECT_EQ(h.Pane(2).ControlName(), "GRB_LISVEN");
    EXPECT_EQ(h.Pane(1).MinSize(), 1000);
    EXPECT_EQ(h.Pane(2).MinSize(), 1000);
    EXPECT_EQ(h.Position(), 50);
    EXPECT_EQ(h.BackColor(), 0x8000000FL);
    EXPECT_TRUE(v.Visible());
    EXPECT_TRUE(h.Visible());

    EXPECT_EQ(w->State().layout_mode, 1);
    // The left panel stays for the copy buttons; only the side lists go.
    EXPECT_TRUE(w->PIC_LEFT->Visible());
    EXPECT_TRUE(w->CMD_COPIASURIGA->Visible());
    EXPECT_TRUE(w->CMD_COPIASUTUTTERIGHE->Visible());
    EXPECT_FALSE(w->GRD_SIDE->Visible());
    EXPECT_FALSE(w->GRD_SIDE1->Visible());
    EXPECT_FALSE(w->TXT_VARIANTE->Visible());
    EXPECT_FALSE(w->TXT_DESCSEGMENTO->Visible());
    EXPECT_TRUE(w->GRD_LISACQ->Visible());
    EXPECT_TRUE(w->GRD_LISVEN->Visible());
    EXPECT_TRUE(host.Errors().Reports().empty());
}

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
    EXPECT_EQ(w->BAR_OPERATION->Style(), ctl::OperationBar::kBusyIndicator);

    // The lookup fields work on the window's connection for its company.
    EXPECT_EQ(w->TXT_CODART->Connection(), w->ADOConnection());
    EXPECT_EQ(w->TXT_CODART->CompanyCode(), "1");
    EXPECT_EQ(w->TXT_CODART->Interface(), entry);
    EXPECT_EQ(w->TXT_OPZIONE->Connection(), w->ADOConnection());
    EXPECT_EQ(w->TXT_OPZIONE->ConnectionString(), host.db.ConnectionString());

    // The resize control follows the window with mode 1's registrations.
    EXPECT_TRUE(w->KVR_RESIZEFORM->Running());
    EXPECT_EQ(w->KVR_RESIZEFORM->Interface(), entry);
    EXPECT_EQ(w->KVR_RESIZEFORM->RegisteredCode("SPLITVERTICALE"), std::nullopt);
    EXPECT_EQ(w->KVR_RESIZEFORM->RegisteredCode("GRD_SIDE"), std::nullopt);
    EXPECT_EQ(w->KVR_RESIZEFORM->RegisteredCode("GRB_LISVEN"), 15);
    EXPECT_EQ(w->KVR_RESIZEFORM->RegisteredCode("CMD_COPIASURIGA"), 10);
    EXPECT_EQ(w->KVR_RESIZEFORM->RegisteredCode("INTERNAV"), 12);
    EXPECT_EQ(w->KVR_RESIZEFORM->Registrations().size(), 13u);
    EXPECT_FALSE(w->State().loading);
    EXPECT_TRUE(host.Errors().Reports().empty());
}

TEST_F(WindowControls, ModeFourRegistersTheSecondSideListAndTheVerticalSplit) {
    auto w = LoadedWindow(entry);
    w->MutableState().grid_type = 4;
    w->Reinizializza(false);
    w->KVR_RESIZEFORM->Start();
    EXPECT_EQ(w->KVR_RESIZEFORM->RegisteredCode("SPLITVERTICALE"), 15);
    EXPECT_EQ(w->KVR_RESIZEFORM->RegisteredCode("GRD_SIDE1"), 11);
    EXPECT_EQ(w->KVR_RESIZEFORM->RegisteredCode("GRD_SIDE"), std::nullopt);
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
    EXPECT_EQ(w->MDIActiveX1->Top(), 0);
    EXPECT_EQ(w->MDIActiveX1->Width(), 11940);
    EXPECT_EQ(w->MDIActiveX1->Height(), 7410);

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

TEST_F(WindowOnDemo, TheOptionDecodingFillsTheArticleDescription) {
    ctl::LookupField& option = *window->TXT_OPZIONE;
    option.SetDecodeSql("SELECT MG87_DESCART FROM MG87_DESCRART WHERE MG87_DITTA_CG18 = %COMPANY%"
                        " AND MG87_CODART_MG66 = 'MAG001'");
    option.SetText("GIRO");
    option.Confirm();
    EXPECT_TRUE(option.Valid());
    EXPECT_EQ(window->TXT_DESCART->Text(), "Maglia girocollo in lana merino");
}

}  // namespace
}  // namespace qmx
