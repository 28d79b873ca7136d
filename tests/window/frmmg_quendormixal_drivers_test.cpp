// The window's four drivers: what the load hands them and what it takes back (the shared matrix
// recordset, the grids' columns, the date controls, the close request), on the demo companies.

#include <gtest/gtest.h>

#include <string>
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

TEST_F(WindowDrivers, EachKindsDriversShareOneMatrixWithTheirGrid) {
    Open(demo::kDittaAbbigliamento);
    auto& w = *window;
    struct Kind {
        std::shared_ptr<CLSMG_SETUPLISTINI> list;
        std::shared_ptr<CLSMG_SETUPVARIANTI> matrix;
        std::shared_ptr<ctl::DataGrid> grid;
        int16_t kind;
    };
    const Kind kinds[] = {{w.ListiniAcquisto(), w.VariantiAcquisto(), w.GRD_LISACQ, 1},
                          {w.ListiniVendita(), w.VariantiVendita(), w.GRD_LISVEN, 0}};
    for (const Kind& k : kinds) {
        SCOPED_TRACE(k.grid->Name());
        ASSERT_NE(k.list, nullptr);
        ASSERT_NE(k.matrix, nullptr);
        EXPECT_EQ(k.list->State(), 0) << k.list->Message();
        EXPECT_EQ(k.matrix->State(), 0) << k.matrix->Message();
        EXPECT_EQ(k.list->ActiveInterface(), entry);
        EXPECT_EQ(k.matrix->ActiveInterface(), entry);
        EXPECT_EQ(k.list->ADOConnection(), w.ADOConnection());
        EXPECT_EQ(k.matrix->ADOConnection(), w.ADOConnection());
        EXPECT_EQ(k.list->Qgrid, k.grid);
        EXPECT_EQ(k.matrix->grid(), k.grid);
        EXPECT_EQ(static_cast<int16_t>(k.list->SalPur()), k.kind);
        EXPECT_EQ(static_cast<int16_t>(k.matrix->SalPur()), k.kind);
        EXPECT_EQ(k.matrix->BarOperation, w.BAR_OPERATION);
        EXPECT_TRUE(k.matrix->Insert());
        // One object: the list driver made it, the matrix driver and the grid work on it.
        ASSERT_NE(k.list->Recordset(), nullptr);
        EXPECT_EQ(k.matrix->Recordset(), k.list->Recordset());
        // The header reset at the end of the load empties the matrix; for grid types other than 1 the grid
        // stays unbound until a key is loaded.
        EXPECT_EQ(k.grid->DataSource(), nullptr);
        // The company's grid type (4: the second level as columns) without an article: no option yet.
        EXPECT_EQ(Captions(*k.grid), (std::vector<std::string>{"N.", "Valuta", "Colore"}));
    }
    EXPECT_EQ(w.State().grid_type, 4);
    EXPECT_EQ(w.State().grid_type_at_load, 4);
    EXPECT_EQ(w.State().layout_mode, 4);  // the reset lays the window out for the grid type
    EXPECT_FALSE(w.State().close_request);
    EXPECT_TRUE(Messages().empty());
    EXPECT_TRUE(host->Errors().Reports().empty());
    // The load ends with the operation announced by the reset completed.
    EXPECT_EQ(host->status_bar->PanelText(2), "Pronto");
    EXPECT_EQ(host->global->HostScreen()->MousePointer(), 0);
    EXPECT_FALSE(w.BAR_OPERATION->Visible());

    auto purchase = w.VariantiAcquisto();
    ASSERT_TRUE(w.Unload());
    EXPECT_EQ(w.ListiniAcquisto(), nullptr);
    EXPECT_EQ(w.VariantiVendita(), nullptr);
    EXPECT_EQ(purchase->ActiveInterface(), nullptr);
    EXPECT_EQ(purchase->BarOperation, nullptr);
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
