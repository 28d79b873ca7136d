#include "platform/controls/data_grid.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "platform/controls/keys.h"
#include "platform/variant/strings.h"

namespace kv::controls {
namespace {

using ado::RecordsetPtr;

Decimal Dec(const char* text) { return *Decimal::Parse(text); }
std::string Show(const Variant& v) { return v.IsNull() || v.IsEmpty() ? DebugString(v) : CStr(v); }

// A price matrix in miniature: list number, option, gross price, discount.
RecordsetPtr MakeMatrix() {
    auto rs = ado::Recordset::Create();
    rs->SetCursorLocation(ado::adUseClient);
    rs->SetLockType(ado::adLockBatchOptimistic);
    auto f = rs->GetFields();
    f.Append("LI10_NUMLIST", ado::adInteger);
    f.Append("BLT_OPZIONE1", ado::adChar, 6);
    f.Append("LI10_PREZZO", ado::adDecimal, 0, ado::adFldIsNullable);
    f.Append("LI10_SC1PER", ado::adDecimal, 0, ado::adFldIsNullable);
    rs->Open();
    struct R {
        int list;
        const char* option;
        const char* price;
    };
    for (const R& r :
         {R{1, "ROSSO", "10.5"}, R{1, "BLU", nullptr}, R{2, "ROSSO", "1234.5"}, R{2, "BLU", "7"}}) {
        rs->AddNew();
        rs->SetValue("LI10_NUMLIST", int32_t{r.list});
        rs->SetValue("BLT_OPZIONE1", r.option);
        rs->SetValue("LI10_PREZZO", r.price ? Variant(Dec(r.price)) : Variant::Null());
        rs->Update();
    }
    rs->MoveFirst();
    return rs;
}

// The column definition the price-list driver makes, in its order.
void DefineColumns(DataGrid& g) {
    g.ClearInit();
    g.SetGridLoadMode(0);
    g.INIT_ADDColumn("LI10_NUMLIST", "N.", 12, 230);
    g.INIT_ADDColumn("BLT_OPZIONE1", "Colore", 1, 1000);
    g.INIT_ADDColumn("LI10_PREZZO", "Prezzo lordo", 1, 1800, Variant(), Variant(), "#,##0.00");
    g.INIT_ADDColumn("LI10_SC1PER", "Sc.%1", 1, 570, Variant(), Variant(), "#,##0.000");
    g.InitializeSTART();
    g.SetEnableEditing(true);
    g.MODCOL_Alignment("LI10_NUMLIST", 1);
    g.MODCOL_Editing("LI10_NUMLIST", 0);
    g.MODCOL_Editing("BLT_OPZIONE1", 0);
    g.MODCOL_Editing("LI10_PREZZO", 1);
    g.MODCOL_ClassFormat("LI10_PREZZO", 5, 2, "EURO");
    g.MODCOL_Editing("LI10_SC1PER", 1);
    g.MODCOL_ClassFormat("LI10_SC1PER", 9, 6, "EURO");
    g.MODCOL_Editing("LI10_MAG2PER", 1);  // no such column: ignored
    g.MODCOL_ClassFormat("LI10_PERRICDELTA", 5, 6, "EURO");
    g.InitializeEND();
}

std::vector<std::string> ColumnText(const DataGrid& g, long column) {
    std::vector<std::string> out;
    for (long r = 0; r < g.RowCount(); ++r) out.push_back(g.CellText(r, column));
    return out;
}

struct Fixture : ::testing::Test {
    Fixture() {
        DefineColumns(grid);
        grid.SetDataSource(rs);
    }
    RecordsetPtr rs = MakeMatrix();
    DataGrid grid{"GRD_LISACQ"};
    std::vector<std::string> log;
    std::vector<Subscription> subs;

    void Record() {
        subs.push_back(grid.Event0.Connect([this] { log.push_back("event0"); }));
        subs.push_back(grid.RowChanged.Connect([this] { log.push_back("RowChanged"); }));
        subs.push_back(grid.RowColChange.Connect([this](long lr, long lc, long r, long c) {
            log.push_back("RowColChange " + std::to_string(lr) + "," + std::to_string(lc) + "->" +
                          std::to_string(r) + "," + std::to_string(c));
        }));
        subs.push_back(grid.Event66.Connect([this](const GridEdit& e, long col) {
            log.push_back("66 col " + std::to_string(col) + " field " + Show(rs->Value("LI10_PREZZO")) +
                          " new " + Show(e.Value(col)));
        }));
        subs.push_back(grid.OnEdited.Connect([this](const GridEdit& e) {
            log.push_back("OnEdited field " + Show(rs->Value("LI10_PREZZO")) + " new " +
                          Show(e.Value(e.Column())) + " other " + DebugString(e.Value(e.Column() + 1)));
        }));
    }
};

TEST_F(Fixture, ShowsTheRecordsetsFilteredRowsWithoutCopyingThem) {
    EXPECT_EQ(grid.RowCount(), 4);
    EXPECT_EQ(ColumnText(grid, 1), (std::vector<std::string>{"ROSSO", "BLU", "ROSSO", "BLU"}));

    // A value changed by the program shows at once: the grid reads the recordset.
    rs->SetAbsolutePosition(2);
    rs->SetValue("LI10_PREZZO", Dec("3"));
    EXPECT_EQ(grid.CellText(1, 2), "3,00");

    rs->SetFilter("BLT_OPZIONE1='BLU'");
    EXPECT_TRUE(grid.SyncWithDataSource());
    EXPECT_EQ(grid.RowCount(), 2);
    EXPECT_EQ(ColumnText(grid, 0), (std::vector<std::string>{"1", "2"}));
    EXPECT_EQ(ColumnText(grid, 2), (std::vector<std::string>{"3,00", "7,00"}));
    EXPECT_FALSE(grid.SyncWithDataSource());  // nothing changed since

    // The same filter set again (same count, same text) on a rebound grid shows the same rows.
    rs->SetFilter(Variant(int16_t{0}));
    grid.RefreshAfterEdit();
    EXPECT_EQ(grid.RowCount(), 4);

    grid.SetDataSource(nullptr);
    EXPECT_EQ(grid.RowCount(), 0);
    EXPECT_EQ(grid.CellText(0, 0), "");
    EXPECT_EQ(grid.CurrentRow(), -1);
}

TEST_F(Fixture, SelectionAndRecordsetCurrentRowFollowEachOther) {
    rs->SetFilter("LI10_NUMLIST=2");
    grid.SetDataSource(rs);  // bound again after filtering, as the window does
    ASSERT_EQ(grid.RowCount(), 2);
    EXPECT_EQ(grid.CurrentRow(), 0);

    // The user selects the second row: the recordset moves there.
    EXPECT_TRUE(grid.UserMoveTo(1, 2));
    EXPECT_EQ(rs->AbsolutePosition(), 2);
    EXPECT_EQ(CStr(rs->Value("BLT_OPZIONE1")), "BLU   ");

    // The program moves the recordset: the grid's selection follows, and tells its views.
    std::vector<ControlChange> seen;
    auto sub = grid.Changed.Connect([&](ControlChange c) { seen.push_back(c); });
    rs->MoveFirst();
    EXPECT_EQ(grid.CurrentRow(), 0);
    grid.SyncWithDataSource();
    EXPECT_EQ(seen, std::vector<ControlChange>{ControlChange::Current});

    rs->MoveLast();
    rs->MoveNext();  // EOF: no selected row
    EXPECT_EQ(grid.CurrentRow(), -1);
    // Taking the rows again puts the recordset back where it was.
    rs->SetFilter(Variant(int16_t{0}));
    rs->MoveLast();
    rs->MoveNext();
    EXPECT_TRUE(grid.SyncWithDataSource());
    EXPECT_EQ(grid.RowCount(), 4);
    EXPECT_TRUE(rs->IsEOF());
}

TEST_F(Fixture, UserMovesRaiseRowChangedAndTheFourArgumentEvent) {
    Record();
    grid.UserEnter();
    EXPECT_TRUE(grid.UserMoveTo(0, 2));  // same row, other column
    EXPECT_TRUE(grid.UserMoveTo(2, 2));  // other row
    EXPECT_TRUE(grid.UserMoveTo(2, 2));  // nowhere new: nothing
    EXPECT_FALSE(grid.UserMoveTo(9, 0));
    EXPECT_FALSE(grid.UserMoveTo(0, 9));
    EXPECT_EQ(log, (std::vector<std::string>{"event0", "RowColChange 0,0->0,2", "RowChanged",
                                             "RowColChange 0,2->2,2"}));

    // The program's moves raise nothing.
    log.clear();
    grid.SetCurrentColumnIndex(1);
    rs->MoveFirst();
    grid.SyncWithDataSource();
    EXPECT_TRUE(log.empty());

    grid.SetEnabled(false);
    EXPECT_FALSE(grid.UserMoveTo(1, 1));
    grid.UserEnter();
    EXPECT_TRUE(log.empty());
}

TEST_F(Fixture, EditRaises66ThenOnEditedThenWritesTheRecordset) {
    Record();
    EditOutcome out = grid.UserEditCell(0, 2, "12,5");
    EXPECT_TRUE(out.accepted) << out.message;
    // Both events see the old value in the field and the new one in the edit object; the edit object
    // answers only for the edited column.
    EXPECT_EQ(log, (std::vector<std::string>{"RowColChange 0,0->0,2", "66 col 2 field 10,5 new 12,5",
                                             "OnEdited field 10,5 new 12,5 other Empty"}));
    EXPECT_EQ(rs->Value("LI10_PREZZO"), Variant(Dec("12.5")));
    EXPECT_EQ(grid.CellText(0, 2), "12,50");

    // Confirming the cell as it stands is no edit.
    log.clear();
    EXPECT_TRUE(grid.UserEditCell(0, 2, "12,5").accepted);
    EXPECT_TRUE(log.empty());

    // Thousands separators typed as shown are read; a blank cell becomes Null.
    EXPECT_TRUE(grid.UserEditCell(0, 2, "1.234,5").accepted);
    EXPECT_EQ(rs->Value("LI10_PREZZO"), Variant(Dec("1234.5")));
    EXPECT_TRUE(grid.UserEditCell(0, 2, " ").accepted);
    EXPECT_TRUE(rs->Value("LI10_PREZZO").IsNull());
}

TEST_F(Fixture, EditOnAnotherRowMovesThereFirst) {
    Record();
    ASSERT_TRUE(grid.UserEditCell(3, 3, "5").accepted);
    EXPECT_EQ(rs->AbsolutePosition(), 4);
    EXPECT_EQ(rs->Value("LI10_SC1PER"), Variant(Dec("5")));
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[0], "RowChanged");
    EXPECT_EQ(log[1], "RowColChange 0,0->3,3");
}

TEST_F(Fixture, RefusedEditsKeepTheOldValueAndRaiseNothing) {
    Record();
    grid.UserMoveTo(0, 2);
    log.clear();
    struct Case {
        long row, col;
        const char* text;
        long error;
    };
    for (const Case& c :
         {Case{0, 2, "abc", err::kTypeMismatch},  // letters in a price
          Case{0, 2, "12,5x", err::kTypeMismatch}, Case{0, 0, "3", err::kIllegalOperation},  // locked column
          Case{0, 1, "VERDE", err::kIllegalOperation},  // locked text column
          Case{7, 2, "1", err::kIllegalOperation}}) {   // no such row
        EditOutcome out = grid.UserEditCell(c.row, c.col, c.text);
        EXPECT_FALSE(out.accepted) << c.text;
        EXPECT_EQ(out.error_number, c.error) << c.text;
        EXPECT_FALSE(out.message.empty());
    }
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(rs->Value("LI10_PREZZO"), Variant(Dec("10.5")));

    // Editing switched off as a whole, or the grid disabled: no cell takes an edit.
    grid.SetEnableEditing(false);
    EXPECT_FALSE(grid.CellEditable(0, 2));
    EXPECT_FALSE(grid.UserEditCell(0, 2, "1").accepted);
    grid.SetEnableEditing(true);
    grid.SetEnabled(false);
    EXPECT_FALSE(grid.UserEditCell(0, 2, "1").accepted);
}

TEST_F(Fixture, ADotIsAThousandsMarkOnlyWhereItGroupsThreeDigits) {
    // A dot typed as a decimal point must never turn 12.5 into 125: it is read only where it groups
    // thousands as the grid shows them, and refused elsewhere with a message naming the text.
    struct Case {
        const char* text;
        const char* stored;  // nullptr: refused
    };
    for (const Case& c : {Case{"1.234,5", "1234.5"}, Case{"1.234.567", "1234567"}, Case{"12,5", "12.5"},
                          Case{"-1.000", "-1000"}, Case{"12.5", nullptr}, Case{"7.5", nullptr},
                          Case{"1.23", nullptr}, Case{"1.2345", nullptr}, Case{"1234.567", nullptr},
                          Case{"12,500.5", nullptr}, Case{".5", nullptr}, Case{"1.", nullptr},
                          Case{"1..234", nullptr}}) {
        ASSERT_TRUE(grid.UserEditCell(0, 2, "99").accepted);
        EditOutcome out = grid.UserEditCell(0, 2, c.text);
        if (c.stored) {
            EXPECT_TRUE(out.accepted) << c.text << ": " << out.message;
            EXPECT_EQ(rs->Value("LI10_PREZZO"), Variant(Dec(c.stored))) << c.text;
        } else {
            EXPECT_FALSE(out.accepted) << c.text;
            EXPECT_EQ(out.error_number, err::kTypeMismatch) << c.text;
            EXPECT_NE(out.message.find(std::string("\"") + c.text + "\""), std::string::npos) << out.message;
            EXPECT_EQ(rs->Value("LI10_PREZZO"), Variant(Dec("99"))) << c.text;
        }
    }
    // With English settings the roles swap: the comma groups thousands, the point is the decimal mark.
    grid.SetRegionalSettings(RegionalSettings::English());
    EXPECT_TRUE(grid.UserEditCell(0, 2, "12.5").accepted);
    EXPECT_EQ(rs->Value("LI10_PREZZO"), Variant(Dec("12.5")));
    EXPECT_FALSE(grid.UserEditCell(0, 2, "12,5").accepted);
}

TEST_F(Fixture, AHandlerLockingTheCellOnTheMoveStopsTheEdit) {
    // The window locks cells from its row/column-change handler (a list not yet dated, an operation in
    // progress): an edit that moved there first must not be written.
    Record();
    auto lock = grid.RowColChange.Connect([&](long, long, long, long) {
        grid.Columns().Item("LI10_PREZZO").SetLocked(true);
    });
    EditOutcome out = grid.UserEditCell(2, 2, "5");
    EXPECT_FALSE(out.accepted);
    EXPECT_EQ(out.error_number, err::kIllegalOperation);
    EXPECT_EQ(rs->Value("LI10_PREZZO"), Variant(Dec("1234.5")));
    for (const std::string& line : log) EXPECT_EQ(line.find("66"), std::string::npos) << line;
    for (const std::string& line : log) EXPECT_EQ(line.find("OnEdited"), std::string::npos) << line;
}

TEST_F(Fixture, AWriteTheRecordsetRefusesRedrawsTheCellWithItsOldValue) {
    // A value beyond what the field holds (here an Integer list number) is refused by the recordset after
    // the events ran: the views are told to show the cell again, which still holds the old value.
    grid.MODCOL_Editing("LI10_NUMLIST", 1);
    std::vector<ControlChange> changes;
    auto sub = grid.Changed.Connect([&](ControlChange c) { changes.push_back(c); });
    EditOutcome out = grid.UserEditCell(0, 0, "99999999999");
    EXPECT_FALSE(out.accepted);
    EXPECT_EQ(out.error_number, err::kOverflow);
    EXPECT_EQ(out.message, "Il valore \"99999999999\" è fuori dall'intervallo che la colonna ammette.");
    EXPECT_EQ(rs->Value("LI10_NUMLIST"), Variant(int32_t{1}));
    EXPECT_EQ(grid.CellText(0, 0), "1");
    EXPECT_NE(std::find(changes.begin(), changes.end(), ControlChange::Content), changes.end());
}

TEST(DataGrid, TextLongerThanItsFieldIsRefused) {
    auto rs = ado::Recordset::Create();
    rs->GetFields().Append("CODE", ado::adChar, 3);
    rs->Open();
    rs->AddNew();
    rs->SetValue("CODE", "AB");
    rs->Update();
    DataGrid g("GRD_SIDE");
    g.INIT_ADDColumn("CODE", "Codice", 1, 500);
    g.MODCOL_Editing("CODE", 1);
    g.SetDataSource(rs);
    EditOutcome out = g.UserEditCell(0, 0, "ABCD");
    EXPECT_FALSE(out.accepted);
    EXPECT_EQ(out.error_number, err::kMultipleStep);
    EXPECT_EQ(g.CellText(0, 0), "AB");
    EXPECT_TRUE(g.UserEditCell(0, 0, "XYZ").accepted);
    EXPECT_EQ(g.CellText(0, 0), "XYZ");
}

TEST_F(Fixture, WithoutWriteEditsTheHandlerDecidesWhatIsStored) {
    // A window storing edits itself: a blank typed over an empty price stores nothing, and the grid
    // must not write Null or 0 after it.
    grid.SetWriteEdits(false);
    rs->SetAbsolutePosition(2);  // the row with no price
    grid.SyncWithDataSource();
    auto sub = grid.OnEdited.Connect([&](const GridEdit& e) {
        Variant v = e.Value(grid.CurrentColumnIndex());
        if (!IsBlank(rs->Value("LI10_PREZZO")) || !IsBlank(v))
            rs->SetValue("LI10_PREZZO", v.IsNull() ? Variant(0) : v);
    });
    ASSERT_TRUE(grid.UserEditCell(1, 2, "").accepted);
    EXPECT_TRUE(rs->Value("LI10_PREZZO").IsNull());
    ASSERT_TRUE(grid.UserEditCell(1, 2, "8").accepted);
    EXPECT_EQ(rs->Value("LI10_PREZZO"), Variant(Dec("8")));
}

TEST_F(Fixture, KeyDownHandlerDiscardsKeysByClearingTheCode) {
    std::vector<int> seen;
    auto sub = grid.KeyDown.Connect([&](int16_t& code, int16_t shift) {
        seen.push_back(code);
        if (code == keys::kReturn && shift == 0) {
            code = 0;
            grid.SetCurrentColumnIndex(grid.CurrentColumnIndex() + 1);
        }
    });
    grid.UserMoveTo(0, 1);
    EXPECT_EQ(grid.UserKeyDown(keys::kReturn, 0), 0);
    EXPECT_EQ(grid.CurrentColumnIndex(), 2);  // the handler's move only
    EXPECT_EQ(grid.CurrentRow(), 0);

    // Not discarded: the grid handles its navigation keys and hands back the others.
    EXPECT_EQ(grid.UserKeyDown(keys::kDown, 0), 0);
    EXPECT_EQ(grid.CurrentRow(), 1);
    EXPECT_EQ(rs->AbsolutePosition(), 2);
    EXPECT_EQ(grid.UserKeyDown('A', 0), 'A');
    EXPECT_EQ(seen, (std::vector<int>{keys::kReturn, keys::kDown, 'A'}));
}

TEST_F(Fixture, GridNavigationKeys) {
    struct Case {
        int16_t key, shift;
        long row, col;  // where the current cell ends
        int16_t left = 0;  // the key left to the view
    };
    grid.UserMoveTo(1, 1);
    for (const Case& c : {Case{keys::kRight, 0, 1, 2}, Case{keys::kLeft, 0, 1, 1}, Case{keys::kUp, 0, 0, 1},
                          Case{keys::kUp, 0, 0, 1},                                 // stays on the first row
                          Case{keys::kEnd, 0, 0, 3}, Case{keys::kReturn, 0, 1, 0},  // wraps to the next row
                          // Tab goes to the next column; from the last (Shift+Tab: the first) it is left
                          // to the view, which moves to the next (previous) control.
                          Case{keys::kTab, keys::kShiftMask, 1, 0, keys::kTab}, Case{keys::kTab, 0, 1, 1},
                          Case{keys::kEnd, 0, 1, 3}, Case{keys::kTab, 0, 1, 3, keys::kTab},
                          Case{keys::kTab, keys::kShiftMask, 1, 2}, Case{keys::kHome, keys::kCtrlMask, 0, 0},
                          Case{keys::kEnd, keys::kCtrlMask, 3, 3}, Case{keys::kPageUp, 0, 0, 3}}) {
        EXPECT_EQ(grid.UserKeyDown(c.key, c.shift), c.left) << "key " << c.key;
        EXPECT_EQ(grid.CurrentRow(), c.row) << "key " << c.key;
        EXPECT_EQ(grid.CurrentColumnIndex(), c.col) << "key " << c.key;
    }
    // Hidden columns are stepped over.
    grid.Columns().Item(1).SetVisible(false);
    grid.UserMoveTo(0, 0);
    grid.UserKeyDown(keys::kRight, 0);
    EXPECT_EQ(grid.CurrentColumnIndex(), 2);
}

TEST_F(Fixture, CurrentColumnIndexOutsideTheColumnsIsLeftAlone) {
    grid.SetCurrentColumnIndex(3);
    grid.SetCurrentColumnIndex(4);  // one past the last, as an Enter handler asks on the last column
    EXPECT_EQ(grid.CurrentColumnIndex(), 3);
    grid.SetCurrentColumnIndex(-1);
    EXPECT_EQ(grid.CurrentColumnIndex(), 3);
}

TEST_F(Fixture, DisplayFollowsTheColumnFormat) {
    // Class formats (price 5/2 EURO, discount 9/6) win over the column's pattern.
    rs->SetAbsolutePosition(3);
    rs->SetValue("LI10_SC1PER", Dec("12.5"));
    EXPECT_EQ(grid.CellText(2, 2), "1.234,50");
    EXPECT_EQ(grid.CellText(2, 3), "12,5");
    EXPECT_EQ(grid.CellEditText(2, 2), "1234,5");
    EXPECT_EQ(grid.CellText(1, 2), "");       // Null
    EXPECT_EQ(grid.CellText(0, 1), "ROSSO");  // fixed-width text without its padding

    // A currency whose unit prices have 4 decimals.
    grid.SetCurrencyDecimalsProvider([](const std::string& code) -> std::optional<CurrencyDecimals> {
        if (code == "EURO") return CurrencyDecimals{2, 4};
        return std::nullopt;
    });
    EXPECT_EQ(grid.CellText(2, 2), "1.234,5000");

    // The pattern alone, once the class format is gone.
    grid.ClearInit();
    grid.INIT_ADDColumn("LI10_PREZZO", "Prezzo", 1, 1000, Variant(), Variant(), "#,##0.000");
    grid.INIT_ADDColumn("LI10_NUMLIST", "N.", 12, 230);
    EXPECT_EQ(grid.CellText(2, 0), "1.234,500");
    EXPECT_EQ(grid.CellText(2, 1), "2");
    EXPECT_TRUE(grid.ColumnIsNumeric(0));
}

TEST_F(Fixture, ColumnFormatsAreWorkedOutWhenTheyChangeNotForEveryCellShown) {
    rs->SetAbsolutePosition(3);
    rs->SetValue("LI10_SC1PER", Dec("12.5"));
    auto asked = std::make_shared<int>(0);
    grid.SetCurrencyDecimalsProvider([asked](const std::string&) -> std::optional<CurrencyDecimals> {
        ++*asked;
        return CurrencyDecimals{3, 4};
    });
    const int asked_by_the_setter = *asked;
    for (int pass = 0; pass < 3; ++pass)
        for (long c = 0; c < grid.Columns().Count(); ++c) ColumnText(grid, c);
    EXPECT_EQ(*asked, asked_by_the_setter);
    EXPECT_EQ(grid.CellText(2, 2), "1.234,5000");

    // Each way of changing a column's format shows at once.
    grid.MODCOL_ClassFormat("LI10_PREZZO", 5, 1, "EURO");
    EXPECT_EQ(grid.CellText(2, 2), "1.234,500");
    grid.INIT_ADDColumn("LI10_SC1PER", "Sconto", 1, 500, Variant(), Variant(), "0.00");
    const long added = grid.Columns().Count() - 1;
    EXPECT_EQ(grid.CellText(2, added), "12,50");
    grid.Columns().Item(added).SetFormat("0.000");
    EXPECT_EQ(grid.CellText(2, added), "12,500");
}

TEST_F(Fixture, RowsDeletedThroughTheRecordsetDisappearAfterSync) {
    rs->SetAbsolutePosition(2);
    rs->Delete();
    rs->MoveNext();
    EXPECT_TRUE(grid.SyncWithDataSource());
    EXPECT_EQ(grid.RowCount(), 3);
    EXPECT_EQ(ColumnText(grid, 1), (std::vector<std::string>{"ROSSO", "ROSSO", "BLU"}));
    EXPECT_EQ(grid.CurrentRow(), 1);

    // A row added by the program appears, also in the middle of its edit, which goes on unharmed.
    rs->AddNew();
    rs->SetValue("LI10_NUMLIST", int32_t{3});
    EXPECT_TRUE(grid.SyncWithDataSource());
    EXPECT_EQ(grid.RowCount(), 4);
    EXPECT_EQ(grid.CurrentRow(), 3);
    rs->SetValue("BLT_OPZIONE1", "NERO");
    rs->Update();
    EXPECT_EQ(grid.CellText(3, 1), "NERO");
    EXPECT_EQ(grid.CellText(3, 0), "3");
}

// A column worked out from its row (here the gross price doubled, marked when above 20): read-only,
// its mark shared by the cells of the fields named with it, shown with a sign the copied text lacks.
TEST_F(Fixture, AComputedColumnIsReadOnlyAndItsMarkReachesTheFieldsNamedWithIt) {
    grid.ClearInit();
    grid.INIT_ADDColumn("LI10_PREZZO", "Prezzo lordo", 1, 1800, Variant(), Variant(), "#,##0.00");
    grid.INIT_ADDColumn("DOPPIO", "Doppio", 1, 900, Variant(), Variant(), "#,##0.00");
    grid.InitializeSTART();
    grid.MODCOL_Editing("LI10_PREZZO", 1);
    grid.MODCOL_Editing("DOPPIO", 1);
    grid.InitializeEND();
    grid.SetComputedField(
        "doppio",
        [](ado::Recordset& row) -> DataGrid::ComputedCell {
            if (row.Value("LI10_PREZZO").IsNull()) throw Error(94, "Invalid use of Null", "test");
            const Decimal d = CDec(row.Value("LI10_PREZZO")) * Decimal(2);
            return {Variant(d), d > Decimal(20)};
        },
        {"LI10_PREZZO"});
    grid.SetDataSource(rs);
    EXPECT_EQ(ColumnText(grid, 1), (std::vector<std::string>{"21,00", "", "2.469,00", "14,00"}));
    EXPECT_EQ(grid.CellDisplayText(0, 1), "21,00 \u25BC");
    EXPECT_EQ(grid.CellDisplayText(0, 0), "10,50 \u25BC");
    EXPECT_EQ(grid.CellDisplayText(3, 0), "7,00");
    EXPECT_FALSE(grid.CellMarked(1, 1));  // a computer that fails gives an empty, unmarked cell
    EXPECT_FALSE(grid.CellEditable(0, 1));
    EXPECT_TRUE(grid.CellEditable(0, 0));
    EXPECT_FALSE(grid.UserEditCell(0, 1, "5").accepted);
}

}  // namespace
}  // namespace kv::controls
