// What the window does that a user relies on without looking at it, on both engines: another
// company's rows with the same list numbers stay as they were, the questions of a delete name one list
// or many, the copy of a window whose grids were never active, what the status bar and the pointer say
// while "Ricalcola" runs, and where the cursor waits after a purchase date.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/services/screen_pointer.h"
#include "platform/variant/strings.h"
#include "support/window_fixture.h"

namespace qmx {
namespace {

namespace svc = kv::services;
namespace ctl = kv::controls;
using testing::WindowTest;

class WindowBehaviours : public WindowTest {
protected:
    void Edit(ctl::DataGrid& grid, long row, long column, const std::string& text) {
        ASSERT_GE(column, 0) << grid.Name();
        ASSERT_TRUE(grid.UserEditCell(row, column, text).accepted) << grid.Name() << " " << row << " " << column;
    }
    void Price(ctl::DataGrid& grid, long row, const std::string& text) {
        Edit(grid, row, grid.Columns().IndexOf("LI10_PREZZO"), text);
    }
    static long Caption(const ctl::DataGrid& grid, const std::string& caption) {
        for (long c = 0; c < grid.Columns().Count(); ++c)
            if (grid.Columns()[c].Caption() == caption) return c;
        return -1;
    }
    static std::string Shown(const ctl::DataGrid& grid, long row, long column) {
        return kv::Trim(grid.CellText(row, column));
    }
    void Click(ctl::CommandButton& button) { ASSERT_TRUE(button.UserClick()) << button.Name(); }
    // Every stored row of a company, as text, in key order.
    std::string Rows(int company) const {
        auto rs = host->session->Execute(
            "SELECT * FROM LI10_LISTARTIC WHERE LI10_DITTA_CG18 = " + std::to_string(company) +
            " ORDER BY LI10_FLGVENDACQ, LI10_CODART_MG66, LI10_OPZIONE_MG5E, LI10_NUMLIST, LI10_DATAINIZIOVAL");
        std::string out;
        for (; !rs->IsEOF(); rs->MoveNext()) {
            for (int i = 0; i < rs->GetFields().Count(); ++i) out += kv::DebugString(rs->Value(i)) + "|";
            out += "\n";
        }
        return out;
    }
};

// Company 2 holds rows with the same article, options and list numbers as company 1 (copied from it);
// a save and a delete made in company 1 through the window leave them as they were.
TEST_P(WindowBehaviours, AnotherCompanysRowsWithTheSameListNumbersStayAsTheyWere) {
    Open(demo::kDittaAbbigliamento);
    host->session->Execute("CREATE TEMPORARY TABLE ALTRA AS SELECT * FROM LI10_LISTARTIC WHERE LI10_DITTA_CG18 = 1 "
                           "AND LI10_CODART_MG66 = 'SCI001'");
    host->session->Execute("UPDATE ALTRA SET LI10_DITTA_CG18 = 2");
    host->session->Execute("INSERT INTO LI10_LISTARTIC SELECT * FROM ALTRA");
    const std::string altra = Rows(2);
    ASSERT_NE(altra.find("SCI001"), std::string::npos);
    const std::string sci = "SELECT COUNT(*) FROM LI10_LISTARTIC WHERE LI10_CODART_MG66 = 'SCI001' AND ";

    LoadKey(demo::kArticoloTipo1);
    Price(*window->GRD_LISACQ, 0, "40");   // list 1, stored at 35
    Price(*window->GRD_LISACQ, 9, "12");   // list 2, nothing stored
    Price(*window->GRD_LISVEN, 0, "30");
    ASSERT_TRUE(window->INTERNAV->UserClick("Conferma"));
    EXPECT_TRUE(host->Errors().Reports().empty());
    EXPECT_EQ(Count(sci + "LI10_DITTA_CG18 = 1 AND LI10_PREZZO = 40"), 1);
    EXPECT_EQ(Count(sci + "LI10_DITTA_CG18 = 1 AND LI10_PREZZO = 12"), 1);
    EXPECT_EQ(Rows(2), altra);

    Answers().QueueAnswer(svc::answer::kYes);
    Answers().QueueAnswer(svc::answer::kYes);
    ASSERT_TRUE(window->INTERNAV->UserClick("Elimina"));
    EXPECT_TRUE(host->Errors().Reports().empty());
    EXPECT_EQ(Count(sci + "LI10_DITTA_CG18 = 1 AND LI10_DATAINIZIOVAL = '20250101'"), 0);
    EXPECT_EQ(Rows(2), altra);
}

// A kind with one list row asks about "the" list, one with several about "the" lists.
TEST_P(WindowBehaviours, TheDeleteQuestionsNameOneListOrMany) {
    struct Case {
        int company;
        const char* article;
        const char* purchase;
        const char* sales;
    };
    // GIL001 shows one size of company 6's four, once its others are gone: one purchase list and one
    // sales list make one row each.
    const Case cases[] = {
        {demo::kDittaSegmenti, "GIL001", "Confermi l'eliminazione del Listino di Acquisto?",
         "Confermi l'eliminazione del Listino di Vendita?"},
        {demo::kDittaAbbigliamento, demo::kArticoloTipo1, "Confermi l'eliminazione dei Listini di Acquisto?",
         "Confermi l'eliminazione dei Listini di Vendita?"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.article);
        Open(c.company);
        host->session->Execute("DELETE FROM MG5E_OPZIONI WHERE MG5E_DITTA_CG18 = 6 AND MG5E_CODICEVAR_MG5F = 'A3' "
                               "AND MG5E_OPZIONE <> 'S'");
        LoadKey(c.article);
        ASSERT_GT(window->GRD_LISACQ->RowCount(), 0);
        Answers().QueueAnswer(svc::answer::kNo);
        Answers().QueueAnswer(svc::answer::kNo);
        const auto before = Messages().size();
        ASSERT_TRUE(window->INTERNAV->UserClick("Elimina"));
        ASSERT_EQ(Messages().size(), before + 2);
        EXPECT_EQ(Messages()[before].text, c.purchase);
        EXPECT_EQ(Messages()[before + 1].text, c.sales);
    }
}

// A copy pressed before either grid was ever made active works in the sales grid.
TEST_P(WindowBehaviours, ACopyBeforeAnyGridWasActiveGoesToTheSalesGrid) {
    Open(demo::kDittaAbbigliamento);
    LoadKey(demo::kArticoloTipo1);
    auto& ven = *window->GRD_LISVEN;
    auto& acq = *window->GRD_LISACQ;
    Price(ven, 0, "30");
    Price(acq, 8, "12");
    ASSERT_TRUE(ven.UserMoveTo(1, 0));
    ASSERT_TRUE(acq.UserMoveTo(9, 0));
    window->MutableState().active_price_grid.clear();  // as a window whose grids never had the focus
    Click(*window->CMD_COPIASURIGA);
    const long prezzo_ven = ven.Columns().IndexOf("LI10_PREZZO");
    EXPECT_EQ(Shown(ven, 1, prezzo_ven), "30,00");
    EXPECT_EQ(Shown(acq, 9, acq.Columns().IndexOf("LI10_PREZZO")), "");
}

// "Ricalcola" shows the operation under way (the wait pointer, the status text, the operation bar)
// and ends with the pointer back and "Pronto".
TEST_P(WindowBehaviours, RicalcolaShowsItIsWorkingAndGivesThePointerBack) {
    Open(demo::kDittaAbbigliamento);
    LoadKey(demo::kArticoloTipo1);
    auto& screen = *host->global->HostScreen();
    std::vector<std::string> testi;
    std::vector<int16_t> puntatori;
    bool barra_vista = false;
    auto sub1 = host->status_bar->PanelTextChanged.Connect([&](int panel, const std::string& text) {
        if (panel == 2) testi.push_back(text);
        barra_vista |= window->BAR_OPERATION->Visible();
    });
    auto sub2 = screen.Changed.Connect([&](int16_t p) { puntatori.push_back(p); });
    const int clessidre = screen.HourglassCount();
    ASSERT_TRUE(window->INTERNAV->UserClick("Ricalcola"));
    EXPECT_TRUE(host->Errors().Reports().empty());
    ASSERT_FALSE(testi.empty());
    EXPECT_EQ(testi.front(), "Operazione in corso...");
    EXPECT_NE(std::find(testi.begin(), testi.end(), "Pronto"), testi.end());
    EXPECT_TRUE(barra_vista);
    EXPECT_FALSE(window->BAR_OPERATION->Visible());
    ASSERT_FALSE(puntatori.empty());
    EXPECT_EQ(puntatori.front(), svc::pointer::kHourglass);
    EXPECT_EQ(puntatori.back(), svc::pointer::kDefault);
    EXPECT_GT(screen.HourglassCount(), clessidre);
    EXPECT_EQ(screen.MousePointer(), svc::pointer::kDefault);
}

// Whichever purchase date the user types, and in whichever order, the purchase grid's cursor waits on
// the gross price in the grids of rows and on the first size in the pivot.
TEST_P(WindowBehaviours, AfterAPurchaseDateTheCursorIsOnTheGrossPrice) {
    struct Case {
        int company;
        const char* article;
        const char* year;
    };
    const Case cases[] = {{demo::kDittaAbbigliamento, demo::kArticoloTipo1, "2025"},
                          {demo::kDittaTessuti, demo::kArticoloTipo3, "2025"},
                          {demo::kDittaAbbigliamento, demo::kArticoloTipo4, "2026"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.article);
        Open(c.company);
        auto& w = *window;
        const std::string y = c.year;
        Type(*w.TXT_CODART, c.article);
        Type(*w.TXT_DADATA_VEN, "01/01/" + y);
        Type(*w.TXT_ADATA_VEN, "31/12/" + y);
        Type(*w.TXT_DADATA_ACQ, "01/01/" + y);
        Type(*w.TXT_ADATA_ACQ, "31/12/" + y);  // the last field of the key
        ASSERT_GT(w.GRD_LISACQ->RowCount(), 0);
        const long prezzo = w.GRD_LISACQ->Columns().IndexOf("LI10_PREZZO");
        const long atteso = prezzo >= 0 ? prezzo : Caption(*w.GRD_LISACQ, "L - Large");
        EXPECT_EQ(w.GRD_LISACQ->CurrentColumnIndex(), atteso);
        EXPECT_TRUE(w.GRD_LISACQ->CellEditable(w.GRD_LISACQ->CurrentRow(), atteso));
    }
}

INSTANTIATE_TEST_SUITE_P(Engines, WindowBehaviours,
                         ::testing::Values(testing::Engine::kSqlite, testing::Engine::kPostgres),
                         testing::EngineParamName());

}  // namespace
}  // namespace qmx
