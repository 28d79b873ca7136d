// The demo's large article (company 8, CAM900: 60 colours, 25 sizes, 8 purchase and 8 sales lists,
// every row stored) in the window, on SQLite: the key typed as a user types it loads every row, the
// grids show the chosen size's rows with the stored prices, and the side list gathers the sizes typed.

#include <gtest/gtest.h>

#include <string>

#include "support/window_desk.h"

namespace qmx {
namespace {

using testing::Desk;
using testing::Engine;

// The text a grid shows for `field` in the row of list `list` and colour `colour`; "" when no row is.
std::string Shown(kv::controls::DataGrid& grid, int list, const std::string& colour, const char* field) {
    const long c_list = grid.Columns().IndexOf("LI10_NUMLIST");
    const long c_colour = grid.Columns().IndexOf("BLT_OPZIONE1");
    const long c_field = grid.Columns().IndexOf(field);
    for (long r = 0; r < grid.RowCount(); ++r)
        if (kv::Trim(grid.CellText(r, c_list)) == std::to_string(list) && kv::Trim(grid.CellText(r, c_colour)) == colour)
            return kv::Trim(grid.CellText(r, c_field));
    return {};
}

TEST(LargeArticle, LoadsEveryRowAndShowsTheChosenSizeWithItsStoredPrices) {
    Desk desk(Engine::kSqlite, demo::kDittaGrande, {}, {.large_article = true});
    auto& w = *desk.window;
    desk.LoadKey({"large", demo::kDittaGrande, demo::kArticoloGrande, "01/01/2025", "31/12/2025", "34", -1, {}});
    ASSERT_EQ(w.State().grid_type, 2);
    EXPECT_EQ(w.VariantiAcquisto()->RecordCount(), 12000);
    EXPECT_EQ(w.VariantiVendita()->RecordCount(), 12000);
    // One size: 8 lists x 60 colours in each grid.
    EXPECT_EQ(w.GRD_LISACQ->RowCount(), 480);
    EXPECT_EQ(w.GRD_LISVEN->RowCount(), 480);
    // Size 34: supplier 1's base cost, supplier 2's with its two discounts, the derived retail price.
    EXPECT_EQ(Shown(*w.GRD_LISACQ, 1, "BI0", "LI10_PREZZO"), "14,00");
    EXPECT_EQ(Shown(*w.GRD_LISACQ, 2, "BI0", "LI10_PREZZO"), "14,95");
    EXPECT_EQ(Shown(*w.GRD_LISACQ, 2, "BI0", "BLT_PREZZONETTO"), "13,05");
    EXPECT_EQ(Shown(*w.GRD_LISACQ, 1, "AR0", "LI10_PREZZO"), "14,80");
    EXPECT_EQ(Shown(*w.GRD_LISVEN, 10, "BI0", "LI10_PREZZO"), "43,00");
    EXPECT_FALSE(w.State().changes_pending);

    // Every size typed joins the side list once; the last typed is shown.
    for (int n = 0; n < demo::kTaglieGrande; ++n) {
        ASSERT_TRUE(w.TXT_VARIANTE->UserType(std::to_string(34 + 2 * n)));
        w.TXT_VARIANTE->UserLeave();
    }
    ASSERT_EQ(w.GRD_SIDE->RowCount(), demo::kTaglieGrande);
    EXPECT_EQ(Shown(*w.GRD_LISACQ, 1, "MA4", "LI10_PREZZO"), "19,10");
    // Picking size 50 in the side list shows its rows: from the ninth size on a size costs more.
    long row50 = -1;
    for (long r = 0; r < w.GRD_SIDE->RowCount(); ++r)
        if (kv::Trim(w.GRD_SIDE->CellText(r, w.GRD_SIDE->Columns().IndexOf("BLT_OPZIONE2"))) == "50") row50 = r;
    ASSERT_GE(row50, 0);
    w.GRD_SIDE->UserEnter();
    ASSERT_TRUE(w.GRD_SIDE->UserMoveTo(row50, 0));
    EXPECT_EQ(w.GRD_LISACQ->RowCount(), 480);
    EXPECT_EQ(Shown(*w.GRD_LISACQ, 1, "BI0", "LI10_PREZZO"), "14,25");
    // The variant field decodes on the window's session, as the other header fields do: a window is one
    // connection to the company's server, not two.
    EXPECT_EQ(w.TXT_VARIANTE->Connection(), w.ADOConnection());
    EXPECT_TRUE(desk.Errors().Reports().empty());
    EXPECT_TRUE(desk.Messages().Messages().empty());
}

}  // namespace
}  // namespace qmx
