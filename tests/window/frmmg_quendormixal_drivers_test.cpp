// The window's four drivers: what the load hands them and what it takes back (the shared matrix
// recordset, the grids' columns, the date controls, the close request), on the demo companies.

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "shell/clsmg_quendormixal.h"
#include "support/headless_host.h"
#include "window/frmmg_quendormixal.h"

namespace qmx {
namespace {

using kv::Variant;
namespace ctl = kv::controls;

std::vector<std::string> Captions(const ctl::DataGrid& grid) {
    std::vector<std::string> v;
    for (long i = 0; i < grid.Columns().Count(); ++i) v.push_back(grid.Columns()[i].Caption());
    return v;
}

class WindowDrivers : public ::testing::Test {
  protected:
    void Open(int company, const std::string& article = {}) {
        host = std::make_unique<testing::HeadlessHost>(company);
        for (const auto& sql : before_load) host->session->Execute(sql);
        entry = CLSMG_QUENDORMIXAL::Create();
        host->Fill(*entry);
        if (!article.empty()) {
            entry->SetIsCalled(true);
            entry->SetCodiceArticolo(Variant(article));
        }
        window = FRMMG_QUENDORMIXAL::Create();
        window->SetActiveInterface(entry);
        window->SetOwner(entry);
        window->SetWindowState(0);
    }
    void TearDown() override {
        if (window) window->Unload();
    }
    const std::vector<kv::services::ScriptedMessageService::Shown>& Messages() const {
        return host->global->ScriptedMessages()->Messages();
    }

    std::vector<std::string> before_load;
    std::unique_ptr<testing::HeadlessHost> host;
    std::shared_ptr<CLSMG_QUENDORMIXAL> entry;
    std::shared_ptr<FRMMG_QUENDORMIXAL> window;
};

// Each kind's list driver makes the matrix that its matrix driver and grid work on: one object.
TEST_F(WindowDrivers, EachKindsDriversShareOneMatrixWithTheirGrid) {
    Open(demo::kDittaAbbigliamento);
    auto& w = *window;
    for (const auto& [list, matrix, grid] : {std::tuple{w.ListiniAcquisto(), w.VariantiAcquisto(), w.GRD_LISACQ},
                                             std::tuple{w.ListiniVendita(), w.VariantiVendita(), w.GRD_LISVEN}}) {
        SCOPED_TRACE(grid->Name());
        EXPECT_EQ(list->State(), 0) << list->Message();
        EXPECT_EQ(matrix->State(), 0) << matrix->Message();
        EXPECT_EQ(matrix->grid(), grid);
        ASSERT_NE(list->Recordset(), nullptr);
        EXPECT_EQ(matrix->Recordset(), list->Recordset());
        // The company's grid type (4) without an article: unbound, no option column yet.
        EXPECT_EQ(grid->DataSource(), nullptr);
        EXPECT_EQ(Captions(*grid), (std::vector<std::string>{"N.", "Valuta", "Colore"}));
    }
    EXPECT_EQ(w.State().layout_mode, 4);
    EXPECT_TRUE(Messages().empty());
    EXPECT_TRUE(host->Errors().Reports().empty());
    // The load ends with the operation announced by the reset completed.
    EXPECT_EQ(host->status_bar->PanelText(2), "Pronto");
    EXPECT_EQ(host->global->HostScreen()->MousePointer(), 0);

    auto purchase = w.VariantiAcquisto();
    ASSERT_TRUE(w.Unload());
    EXPECT_EQ(w.ListiniAcquisto(), nullptr);
    EXPECT_EQ(purchase->ActiveInterface(), nullptr);
}

TEST_F(WindowDrivers, DateControlsFollowEachListDriversProposal) {
    // Company 3: purchase list 1 and sales list 10, both asking their dates in the demo.
    before_load = {
        "UPDATE MG44_PARMAGLIST SET MG44_INDPROPDATAINI = 2 WHERE MG44_DITTA_CG18 = 3 AND MG44_NUMLIST = 1",
        "UPDATE MG44_PARMAGLIST SET MG44_INDPROPDATAFINE = 4 WHERE MG44_DITTA_CG18 = 3 AND MG44_NUMLIST = "
        "10"};
    Open(demo::kDittaTessuti);
    auto& w = *window;
    struct Pair {
        std::shared_ptr<ctl::DateField> field;
        std::shared_ptr<ctl::ComboBox> combo;
        bool from_configuration;
    };
    const Pair pairs[] = {{w.TXT_DADATA_ACQ, w.CBO_DADATA_ACQ, true},
                          {w.TXT_ADATA_ACQ, w.CBO_ADATA_ACQ, false},
                          {w.TXT_DADATA_VEN, w.CBO_DADATA_VEN, false},
                          {w.TXT_ADATA_VEN, w.CBO_ADATA_VEN, true}};
    for (const Pair& p : pairs) {
        SCOPED_TRACE(p.field->Name());
        EXPECT_EQ(p.field->Visible(), !p.from_configuration);
        EXPECT_EQ(p.combo->Visible(), p.from_configuration);
        if (p.from_configuration) {
            EXPECT_FALSE(p.combo->Enabled());
            EXPECT_EQ(p.combo->Text(), "Da Configurazione");
        }
    }
    EXPECT_EQ(w.ListiniAcquisto()->PropStartDate(), KvEnumDtLisStartProp::LisDtAutomatica);
    EXPECT_EQ(w.ListiniVendita()->PropEndDate(), KvEnumDtLisEndProp::LisDtAutomatica);
}

TEST_F(WindowDrivers, AnUnusableConfigurationIsToldOnceAndClosesTheWindowWhenItIsActivated) {
    struct Case {
        int company;
        std::vector<std::string> messages;
    };
    const std::string variants =
        "Per poter gestire le varianti in griglia occorre definirne la gestione nei \r\n"
        "\"Parametri di Magazzino\", Configuratore Varianti.";
    const Case cases[] = {
        // Purchase list 1 is in fast creation; the company has no grid variant: the purchase matrix
        // driver says so, and the sales drivers keep quiet.
        {demo::kDittaFerramenta, {variants}},
        // No lists and no variants: both purchase drivers say why.
        {demo::kDittaSenzaVarianti,
         {"Per poter gestire la Creazione Veloce Listini di Acquisto occorre definirne la gestione nei \r\n"
          "\"Parametri di Magazzino\", scheda Listini.",
          variants}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.company);
        Open(c.company);
        EXPECT_TRUE(window->State().close_request);
        std::vector<std::string> shown;
        for (const auto& m : Messages()) {
            shown.push_back(m.text);
            EXPECT_EQ(m.title, "Attenzione");
        }
        EXPECT_EQ(shown, c.messages);
        EXPECT_TRUE(window->IsLoaded());
        window->Show(false);
        EXPECT_FALSE(window->IsLoaded());
        EXPECT_TRUE(host->Presenter().OpenWindows().empty());
        EXPECT_EQ(Messages().size(), c.messages.size());  // nothing more is said
        EXPECT_TRUE(host->Errors().Reports().empty());
    }
}

}  // namespace
}  // namespace qmx
