// The price grids' editing flow on a loaded window, driven through the grid models as a user would:
// which grid is active, when an edit is stored, Enter, the option code of the current row, the buttons
// an edit or a copy enables, and the loading flag around a copy.

#include <gtest/gtest.h>

#include <string>

#include "matrix/clsmg_setupvarianti.h"
#include "support/window_fixture.h"

namespace qmx {
namespace {

using kv::Variant;
namespace ctl = kv::controls;

class WindowGrids : public testing::WindowOnSqlite {
protected:
    void SetUp() override {
        load_key_ = false;
        WindowOnSqlite::SetUp();
        auto& w = *window;
        // A grid-type-1 article with two options; the matrices get their rows here.
        w.TXT_CODART->SetText(demo::kArticoloTipo1);
        w.TXT_CODART->Confirm();
        w.MutableState().grid_type = 1;
        for (const auto& listini : {w.ListiniAcquisto(), w.ListiniVendita()}) {
            listini->SetCodArticolo(demo::kArticoloTipo1);
            listini->SetupGrid(false);
        }
        for (const auto& varianti : {w.VariantiAcquisto(), w.VariantiVendita()})
            varianti->SetCodArticolo(demo::kArticoloTipo1);
        for (const auto& [driver, grid] : {std::pair{w.VariantiAcquisto(), w.GRD_LISACQ},
                                           std::pair{w.VariantiVendita(), w.GRD_LISVEN}}) {
            auto rs = driver->Recordset();
            // The rows the load made for each list go; the test's rows take their place.
            while (rs->RecordCount() > 0) {
                rs->MoveFirst();
                rs->Delete();
            }
            for (const char* opzione : {"BLU", "ROS"}) {
                rs->AddNew();
                rs->SetValue("LI10_NUMLIST", 1.0);
                rs->SetValue("BLT_VALUTA", "EURO");
                rs->SetValue("LI10_OPZIONE_MG5E", std::string("    ") + opzione);
                rs->Update();
            }
            rs->MoveFirst();
            grid->SetDataSource(rs);
        }
        for (const char* key : {"Conferma", "Annulla", "RICALCOLA"}) w.INTERNAV->EnableButton(key, false);
    }
    long Colonna(const ctl::DataGrid& grid, const char* campo) const { return grid.Columns().IndexOf(campo); }
    Variant Prezzo(int riga) {
        auto c = window->VariantiAcquisto()->Recordset()->Clone();
        c->Move(riga);
        return c->Value("LI10_PREZZO");
    }
};

TEST_F(WindowGrids, AnEditIsStoredWithItsNetPriceAndEnablesTheButtons) {
    auto& w = *window;

    auto& grid = *w.GRD_LISACQ;
    const long prezzo = Colonna(grid, "LI10_PREZZO");
    ASSERT_GE(prezzo, 0);
    EXPECT_FALSE(w.State().changes_pending);
    EXPECT_TRUE(grid.UserEditCell(0, prezzo, "12,5").accepted);
    EXPECT_EQ(kv::CDbl(Prezzo(0)), 12.5);
    EXPECT_EQ(kv::CDbl(w.VariantiAcquisto()->Recordset()->Value("BLT_PREZZONETTO")), 12.5);
    EXPECT_TRUE(w.State().changes_pending);
    EXPECT_EQ(w.State().active_price_grid, "ACQ");
    for (const char* key : {"Conferma", "Annulla", "RICALCOLA"})
        EXPECT_TRUE(w.INTERNAV->ButtonEnabled(key)) << key;

    // The sales grid becomes the active one as soon as the user works in it.
    w.GRD_LISVEN->UserEnter();
    EXPECT_EQ(w.State().active_price_grid, "VEN");
}

TEST_F(WindowGrids, BlankAndZeroOverEmptyStoreNothingOverAPriceTheyStoreZero) {
    auto& w = *window;
    auto& grid = *w.GRD_LISACQ;
    const long prezzo = Colonna(grid, "LI10_PREZZO");
    struct {
        const char* nome;
        int riga;
        const char* prima;  // typed first (nullptr: the cell stays empty)
        const char* testo;
        Variant atteso;
    } casi[] = {
        {"0 over an empty cell", 0, nullptr, "0", Variant::Null()},
        {"blank over 5", 1, "5", "", Variant(0.0)},
        {"0 over 5", 1, "5", "0", Variant(0.0)},
    };
    for (const auto& c : casi) {
        SCOPED_TRACE(c.nome);
        if (c.prima) {
            ASSERT_TRUE(grid.UserEditCell(c.riga, prezzo, c.prima).accepted);
        }
        EXPECT_TRUE(grid.UserEditCell(c.riga, prezzo, c.testo).accepted);
        const Variant v = Prezzo(c.riga);
        if (c.atteso.IsNull()) {
            EXPECT_TRUE(v.IsNull()) << kv::CStr(v);
        } else {
            EXPECT_EQ(kv::CDbl(v), kv::CDbl(c.atteso));
        }
    }
}

TEST_F(WindowGrids, InGridType4TheShownCellIsAlwaysWritten) {
    auto& w = *window;
    auto& grid = *w.GRD_LISACQ;
    w.MutableState().grid_type = 4;  // the grid shows a pivot: what it shows takes the edit as it is
    const long prezzo = Colonna(grid, "LI10_PREZZO");
    EXPECT_TRUE(grid.UserEditCell(0, prezzo, "0").accepted);
    EXPECT_EQ(Prezzo(0), Variant(0.0));
}

TEST_F(WindowGrids, AnEditAfterTheFlagWasClearedOnlySetsIt) {
    auto& w = *window;
    auto& grid = *w.GRD_LISACQ;
    const long prezzo = Colonna(grid, "LI10_PREZZO");
    grid.SetCurrentColumnIndex(prezzo);
    const ctl::GridEdit edit(0, prezzo, Variant(7.0), "7");
    w.GRD_LISACQ_OnEdited(edit);  // no event 66 before it
    EXPECT_TRUE(Prezzo(0).IsNull());
    EXPECT_FALSE(w.INTERNAV->ButtonEnabled("Conferma"));
    EXPECT_TRUE(w.State().changes_pending);
    w.GRD_LISACQ_OnEdited(edit);
    EXPECT_EQ(kv::CDbl(Prezzo(0)), 7.0);
    EXPECT_TRUE(w.INTERNAV->ButtonEnabled("Conferma"));
}

TEST_F(WindowGrids, EnterAloneMovesOneColumnRight) {
    auto& w = *window;
    auto& grid = *w.GRD_LISACQ;
    const long ultima = grid.Columns().Count() - 1;
    ASSERT_GE(ultima, 1);
    struct {
        int16_t key, shift;
        long da, a;
        int16_t resta;
    } casi[] = {
        {13, 0, 0, 1, 0},            // Enter: next column, the key is used up
        {13, 0, ultima, ultima, 0},  // the last column stays
        {13, 1, 0, 0, 13},           // Shift+Enter is the grid's
        {13, 2, 0, 0, 13},           // Ctrl+Enter
        {13, 4, 0, 0, 13},           // Alt+Enter
        {9, 0, 0, 0, 9},             // another key
    };
    for (const auto& c : casi) {
        SCOPED_TRACE(::testing::Message() << c.key << "/" << c.shift << " from " << c.da);
        grid.SetCurrentColumnIndex(c.da);
        int16_t key = c.key;
        w.GRD_LISACQ_KeyDown(key, c.shift);
        EXPECT_EQ(key, c.resta);
        EXPECT_EQ(grid.CurrentColumnIndex(), c.a);
    }
    // Through the grid: type, Enter, type.
    const long prezzo = Colonna(grid, "LI10_PREZZO");
    grid.UserMoveTo(0, prezzo);
    EXPECT_TRUE(grid.UserEditCell(0, prezzo, "3").accepted);
    EXPECT_EQ(grid.UserKeyDown(13, 0), 0);
    EXPECT_EQ(grid.CurrentColumnIndex(), prezzo + 1);
}

// Moving in a price grid makes it the active one; the header's option keeps what the user typed (here
// nothing), not the row's fixed-width code.
TEST_F(WindowGrids, RowChangeMakesTheGridActiveAndKeepsTheTypedOption) {
    auto& w = *window;
    auto& grid = *w.GRD_LISVEN;
    const long prezzo = Colonna(grid, "LI10_PREZZO");
    ASSERT_TRUE(w.TXT_CODART->Valid());
    const std::string typed = w.TXT_OPZIONE->Text();
    grid.UserMoveTo(1, prezzo);
    EXPECT_EQ(w.TXT_OPZIONE->Text(), typed);
    EXPECT_EQ(w.State().active_price_grid, "VEN");

    w.MutableState().loading = true;
    w.GRD_LISACQ->UserMoveTo(1, prezzo);
    w.GRD_LISACQ->UserMoveTo(0, prezzo);
    EXPECT_EQ(w.State().active_price_grid, "ACQ");  // set before the test of the flag
    EXPECT_EQ(w.TXT_OPZIONE->Text(), typed);
}

TEST_F(WindowGrids, CopyButtonsAndTheLoadingFlag) {
    auto& w = *window;
    // Nothing happens without an article.
    w.TXT_CODART->SetText("");
    w.CMD_COPIASURIGA->SetEnabled(true);
    w.CMD_COPIASURIGA_Click();
    EXPECT_FALSE(w.INTERNAV->ButtonEnabled("Annulla"));

    // A copy enables "Annulla" and "Conferma", not "Ricalcola", and gives the buttons back.
    w.TXT_CODART->SetText(demo::kArticoloTipo1);
    w.CMD_COPIASUTUTTERIGHE_Click();
    EXPECT_TRUE(w.INTERNAV->ButtonEnabled("Annulla"));
    EXPECT_TRUE(w.INTERNAV->ButtonEnabled("Conferma"));
    EXPECT_FALSE(w.INTERNAV->ButtonEnabled("RICALCOLA"));
    EXPECT_FALSE(w.State().loading);
    EXPECT_TRUE(w.CMD_COPIASURIGA->Enabled());
    EXPECT_TRUE(w.CMD_COPIASUTUTTERIGHE->Enabled());
}

TEST(WindowGridsCopy, AFailedCopyClearsTheLoadingFlag) {
    // A window that was never loaded has no drivers: the copy fails and is left.
    auto w = FRMMG_QUENDORMIXAL::Create();
    w->TXT_CODART->SetText("ABC");
    auto rs = kv::ado::Recordset::Create();
    w->GRD_LISACQ->SetDataSource(rs);
    w->GRD_LISVEN->SetDataSource(rs);
    w->CMD_COPIASURIGA_Click();
    EXPECT_FALSE(w->State().loading);
    EXPECT_TRUE(w->CMD_COPIASURIGA->Enabled());
}

}  // namespace
}  // namespace qmx
