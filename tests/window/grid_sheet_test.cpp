// Spreadsheet paste and copy, CSV export and import, and the adjustment of a selection: the block
// reading and number conventions, all-or-nothing on a grid model, and what the window keeps of them on
// SCI001 (grid type 1). The flows themselves are the scenarios' (tests/scenarios).

#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <sstream>

#include "matrix/matrix_recordset.h"
#include "platform/variant/strings.h"
#include "support/window_fixture.h"
#include "window/frmmg_quendormixal_sheet.h"
#include "window/grid_adjust.h"
#include "window/grid_clipboard.h"
#include "window/grid_csv.h"

namespace qmx {
namespace {

using kv::Variant;
using kv::controls::DataGrid;
namespace svc = kv::services;

TEST(SheetBlock, ReadsWhatSpreadsheetsPutOnTheClipboard) {
    using Rows = std::vector<std::vector<std::string>>;
    struct Case {
        const char* text;
        Rows rows;
    } cases[] = {
        {"1\t2\n3\t4\n", {{"1", "2"}, {"3", "4"}}},
        {"1\t2\r\n3\t4\r\n", {{"1", "2"}, {"3", "4"}}},
        {"1\t2\n3\t4", {{"1", "2"}, {"3", "4"}}},
        {"\t5\n", {{"", "5"}}},
        {"\"a\tb\"\t\"c\"\"d\"\n\"e\nf\"\tg\n", {{"a\tb", "c\"d"}, {"e\nf", "g"}}},
        {"", {}},
    };
    for (const auto& c : cases) EXPECT_EQ(ReadSheetBlock(c.text), c.rows) << c.text;
}

TEST(SheetBlock, NumbersInEitherWayReachTheGridInItsOwn) {
    const auto& it = kv::RegionalSettings::Italian();
    struct Case {
        const char* cell;
        bool block_point;
        const char* grid;
    } cases[] = {
        {"1.234,56", false, "1234,56"}, {"1.234,56", true, "1234,56"},  // the marks say which way
        {"1234.56", false, "1234,56"},  {"1,234.56", false, "1234,56"},
        {"12,5", true, "12,5"},         {"1.234.567", true, "1234567"},
        {"1.234", false, "1234"},       {"1.234", true, "1,234"},       // either way: the block's
        {"€ 12,50", false, "12,50"},    {"3%", false, "3"},
        {"-0.5", false, "-0,5"},        {"abc", false, "abc"},          {"", false, ""},
    };
    for (const auto& c : cases) EXPECT_EQ(GridNumberText(c.cell, c.block_point, it), c.grid) << c.cell;
    EXPECT_TRUE(BlockUsesPointDecimals({{"1.234", "12.5"}}, it));
    EXPECT_FALSE(BlockUsesPointDecimals({{"1.234", "12,5"}}, it));
    EXPECT_FALSE(BlockUsesPointDecimals({{"1.234", "7"}}, it));  // nothing tells: the grid's way
    EXPECT_FALSE(BlockUsesPointDecimals({{"1,5", "2.5"}}, it));  // both seen: the grid's way
}

std::string Numbered(const char* prefix, long n) {
    std::string s(prefix);
    s += std::to_string(n);
    return s;
}

// A grid of 70 rows: a key column, ten price columns and a hidden one between them.
class PasteOnGrid : public ::testing::Test {
protected:
    PasteOnGrid() {
        rs = kv::ado::Recordset::Create();
        rs->SetCursorLocation(kv::ado::adUseClient);
        rs->SetLockType(kv::ado::adLockBatchOptimistic);
        auto f = rs->GetFields();
        f.Append("K", kv::ado::adChar, 6);
        for (int c = 1; c <= 11; ++c) f.Append(Numbered("P", c), kv::ado::adDouble, 0, kv::ado::adFldIsNullable);
        rs->Open();
        for (int r = 0; r < 70; ++r) {
            rs->AddNew();
            rs->SetValue("K", Numbered("R", r));
            rs->Update();
        }
        rs->MoveFirst();
        grid.INIT_ADDColumn("K", "Riga", 1, 500);
        for (int c = 1; c <= 11; ++c) grid.INIT_ADDColumn(Numbered("P", c), Numbered("Colonna ", c), 1, 900);
        grid.InitializeSTART();
        grid.SetEnableEditing(true);
        for (int c = 1; c <= 11; ++c) grid.MODCOL_Editing(Numbered("P", c), 1);
        grid.InitializeEND();
        grid.Columns()[3].SetVisible(false);  // P3: the block skips it
        grid.SetDataSource(rs);
        subscription = grid.OnEdited.Connect([this](const kv::controls::GridEdit&) { ++edits; });
    }
    std::string Block(long rows, long columns, const std::string& bad = {}) const {
        std::string text;
        for (long r = 0; r < rows; ++r) {
            for (long c = 0; c < columns; ++c) {
                if (c) text += '\t';
                if (r == 1 && c == 2 && !bad.empty()) {
                    text += bad;
                    continue;
                }
                text += std::to_string(r);
                text += '.';
                text += std::to_string(c + 10);
            }
            text += "\r\n";
        }
        return text;
    }
    double Value(long row, const char* field) const {
        auto c = rs->Clone();
        c->Move(row);
        return kv::CDbl(c->Value(field));
    }
    bool AllEmpty() const {
        auto c = rs->Clone();
        for (c->MoveFirst(); !c->IsEOF(); c->MoveNext())
            for (int k = 1; k <= 11; ++k)
                if (!c->Value(Numbered("P", k)).IsNull()) return false;
        return true;
    }

    kv::ado::RecordsetPtr rs;
    DataGrid grid{"GRD_PROVA"};
    svc::Subscription subscription;
    long edits = 0;
};

TEST_F(PasteOnGrid, ABlockOfSixtyByTenIsTypedCellByCell) {
    const PasteOutcome out = PasteBlock(grid, 5, 1, Block(60, 10));
    ASSERT_TRUE(out.applied) << out.message;
    EXPECT_EQ(out.cells, 600);
    EXPECT_EQ(edits, 600);  // each cell raised the grid's edit events, as typed
    EXPECT_EQ(Value(5, "P1"), 0.10);
    EXPECT_EQ(Value(6, "P2"), 1.11);
    EXPECT_TRUE(rs->Clone()->Value("P3").IsNull());
    EXPECT_EQ(Value(5, "P4"), 0.12);  // the third block column lands after the hidden one
    EXPECT_EQ(Value(64, "P11"), 59.19);
    EXPECT_EQ(grid.CurrentRow(), 5);
}

TEST_F(PasteOnGrid, NothingIsPastedWhenACellDoesNotReadOrTheBlockDoesNotFit) {
    struct Case {
        long row, column;
        std::string text;
        const char* says;
    } cases[] = {
        {0, 1, Block(3, 3, "12,x"), "riga 2, colonna \"Colonna 4\" (riga 2, colonna 3 del blocco)"},
        {65, 1, Block(6, 2), "il blocco ha 6 righe, ma dalla riga 66 la griglia ne mostra solo 5."},
        {0, 10, Block(2, 3), "il blocco ha 3 colonne, ma dalla colonna \"Colonna 10\" la griglia ne ha solo 2."},
        {0, 0, Block(2, 2), "riga 1, colonna \"Riga\""},  // the key column is read-only
        {0, 1, "1\t2\n3\n", "il blocco non è rettangolare"},
    };
    for (const auto& c : cases) {
        const PasteOutcome out = PasteBlock(grid, c.row, c.column, c.text);
        EXPECT_FALSE(out.applied) << c.says;
        EXPECT_NE(out.message.find(c.says), std::string::npos) << out.message;
        EXPECT_EQ(out.message.rfind("Nessuna cella è stata incollata", 0), 0u) << out.message;
    }
    EXPECT_EQ(edits, 0);
    EXPECT_TRUE(AllEmpty());
}

TEST_F(PasteOnGrid, CopiedCellsPasteBackToTheSameValues) {
    ASSERT_TRUE(PasteBlock(grid, 0, 1, "1.234,5\t0,125\n\t7\n").applied);
    const std::string copied = CopyBlock(grid, {0, 1, 1, 2});
    EXPECT_EQ(copied, "1234,5\t0,125\n\t7\n");
    ASSERT_TRUE(PasteBlock(grid, 10, 1, copied).applied);
    EXPECT_EQ(CopyBlock(grid, {10, 1, 11, 2}), copied);
    EXPECT_EQ(Value(10, "P1"), 1234.5);
}

TEST(SheetAdjust, ReadsPercentagesAndAmounts) {
    struct Case {
        const char* text;
        bool ok, percent;
        const char* amount;
    } cases[] = {{"+3%", true, true, "3"},      {"-2,5 %", true, true, "-2.5"}, {"3%", true, true, "3"},
                 {"+0,50", true, false, "0.5"}, {"-0.50", true, false, "-0.5"}, {"1.250,5", true, false, "1250.5"},
                 {"tre", false, false, ""},     {"%", false, false, ""}};
    for (const auto& c : cases) {
        std::string error;
        auto a = ReadAdjustment(c.text, error);
        ASSERT_EQ(a.has_value(), c.ok) << c.text;
        if (!a) {
            EXPECT_FALSE(error.empty());
            continue;
        }
        EXPECT_EQ(a->percent, c.percent) << c.text;
        EXPECT_EQ(a->amount, *kv::Decimal::Parse(c.amount)) << c.text;
    }
}

// A fabricated matrix of `rows` rows: 8 lists, options by row, prices with up to 5 decimals, some empty.
kv::ado::RecordsetPtr LargeMatrix(long rows, bool with_prices) {
    auto m = CreateMatrixRecordset();
    m->Open();
    std::mt19937 random(42);
    const char* fields[] = {"LI10_PREZZO", "LI10_SC1PER", "LI10_SC2PER", "LI10_SCIMP", "LI10_MAG1PER",
                            "LI10_MAGIMP"};
    for (long r = 0; r < rows; ++r) {
        m->AddNew();
        m->SetValue("ID", static_cast<int64_t>(r + 1));
        m->SetValue("LI10_NUMLIST", static_cast<double>(r % 8 + 1));
        m->SetValue("BLT_OPZIONE1", Numbered("C", r / 8 % 60));
        m->SetValue("BLT_DESCR1", Numbered("Colore \"", r / 8 % 60) + "\"; chiaro");
        m->SetValue("BLT_OPZIONE2", Numbered("T", r / 480));
        m->SetValue("BLT_PREZZONETTO", static_cast<double>(r) / 100);
        for (const char* f : fields) {
            const auto v = random();
            if (!with_prices || v % 7 == 0) continue;  // an empty price stays empty
            const int scale = static_cast<int>(v % 6);
            m->SetValue(f, kv::Decimal::FromParts(static_cast<int64_t>(v % 10000000), scale).ToDouble());
        }
        m->Update();
    }
    return m;
}

TEST(SheetCsv, ALargeMatrixComesBackWithTheSameValues) {
    auto source = LargeMatrix(12000, true);
    std::ostringstream exported;
    WriteMatrixCsv(*source, exported);
    auto target = LargeMatrix(12000, false);
    target->SetFilter(Variant("BLT_OPZIONE2 = 'T3'"));  // what a grid shows now does not limit the import
    const CsvRead read = ReadMatrixCsv(exported.str());
    ASSERT_EQ(read.error, "");
    ASSERT_EQ(read.lines.size(), 12000u);
    long nets = 0;
    const CsvApplied applied = ApplyMatrixCsv(*target, read, [&] { ++nets; });
    EXPECT_TRUE(applied.unmatched.empty());
    EXPECT_EQ(applied.rows, nets);
    EXPECT_EQ(kv::CStr(target->Filter()), "BLT_OPZIONE2 = 'T3'");
    std::ostringstream again;
    WriteMatrixCsv(*target, again);
    EXPECT_EQ(again.str(), exported.str());
    // Exactly the stored doubles, not merely the same text.
    auto a = source->Clone();
    auto b = target->Clone();
    for (; !a->IsEOF(); a->MoveNext(), b->MoveNext())
        for (const char* f : {"LI10_PREZZO", "LI10_SC1PER", "LI10_SCIMP", "LI10_MAGIMP"})
            ASSERT_EQ(a->Value(f), b->Value(f)) << f << " " << kv::CStr(a->Value("ID"));
}

TEST(SheetCsv, TheFileOpensInASpreadsheetAsUtf8WithCrLfAndReadsBack) {
    auto source = LargeMatrix(3, true);
    std::ostringstream exported;
    WriteMatrixCsv(*source, exported);
    const std::string text = exported.str();
    ASSERT_EQ(text.substr(0, 3), "\xEF\xBB\xBF");
    EXPECT_EQ(text.substr(3, 8), "Listino;");
    // Every line ends with CR LF, and no line feed stands alone.
    std::size_t lines = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\n') continue;
        ++lines;
        ASSERT_TRUE(i > 0 && text[i - 1] == '\r') << "line " << lines;
    }
    EXPECT_EQ(lines, 4u);
    const CsvRead read = ReadMatrixCsv(text);
    EXPECT_EQ(read.error, "");
    EXPECT_EQ(read.lines.size(), 3u);
}

TEST(SheetCsv, RefusesWhatDoesNotReadAndReportsUnmatchedLines) {
    struct Case {
        const char* text;
        const char* error;
    } cases[] = {
        {"", "Il file è vuoto"},
        {"Listino;Opzione 1;Prezzo lordo\n", "manca la colonna \"Opzione 2\""},
        {"Listino;Opzione 1;Opzione 2;Prezzo lordo\n1;C0;T0;12,5\n2;C0;T0;dodici\n",
         "Riga 3, colonna \"Prezzo lordo\": Il valore \"dodici\" non è un numero."},
        {"Listino;Opzione 1;Opzione 2\nuno;C0;T0\n", "Riga 2, colonna \"Listino\""},
        // The same list and options twice would be applied twice, the last winning unseen.
        {"Listino;Opzione 1;Opzione 2;Prezzo lordo\n1;C0;T0;12\n2;C0;T0;3\n1;C0;T0 ;13\n",
         "Le righe 2 e 4 nominano lo stesso listino e la stessa opzione (listino 1, C0 / T0)."},
    };
    for (const auto& c : cases) {
        const CsvRead read = ReadMatrixCsv(c.text);
        EXPECT_NE(read.error.find(c.error), std::string::npos) << read.error;
    }
    auto m = LargeMatrix(16, true);
    const CsvRead read = ReadMatrixCsv(
        "\xEF\xBB\xBFListino;Opzione 1;Opzione 2;Prezzo lordo;Colonna mia\r\n1;C0;T0;1.234,5;x\r\n9;C0;T0;1\r\n\r\n"
        "2;\"C9\";T0;2\r\n");
    ASSERT_EQ(read.error, "");
    const CsvApplied applied = ApplyMatrixCsv(*m, read, nullptr);
    EXPECT_EQ(applied.rows, 1);
    EXPECT_EQ(applied.unmatched, (std::vector<long>{3, 5}));
    EXPECT_EQ(CsvReport(applied),
              "Importazione parziale: 1 riga modificata (1 valore), da confermare con \"Conferma\".\n2 righe del "
              "file non corrispondono a nessun listino e opzione e non sono state importate: 3, 5.");
    m->MoveFirst();
    EXPECT_EQ(kv::CDbl(m->Value("LI10_PREZZO")), 1234.5);
}

// The window's commands on SCI001: purchase lists 1 to 3 by 8 colours.
class SheetWindow : public testing::WindowOnSqlite {
protected:
    DataGrid& Acq() { return *window->GRD_LISACQ; }
    long Column(const char* field) { return Acq().Columns().IndexOf(field); }
    std::string Text(long row, const char* field) { return kv::Trim(Acq().CellText(row, Column(field))); }
};

// Pending changes are judged by the rows' values, not by which rows were touched: a row typed back to
// its price is no change, wherever the changed row stands.
TEST_F(SheetWindow, ARowTypedBackToItsPriceIsNoChangeWhereverTheChangedRowStands) {
    const std::string prima = Text(2, "LI10_PREZZO");
    ASSERT_TRUE(Acq().UserMoveTo(2, Column("LI10_PREZZO")));
    ASSERT_TRUE(IncollaBlocco(*window, Acq(), "77\n"));
    ASSERT_TRUE(IncollaBlocco(*window, Acq(), prima.empty() ? "\n" : prima + "\n"));
    ASSERT_TRUE(Acq().UserMoveTo(20, Column("LI10_PREZZO")));
    ASSERT_TRUE(IncollaBlocco(*window, Acq(), "88\n"));
    ASSERT_TRUE(Acq().UserMoveTo(21, Column("LI10_PREZZO")));
    ASSERT_TRUE(IncollaBlocco(*window, Acq(), "99\n"));
    ASSERT_TRUE(window->AnnullaUltimaModifica());  // row 21 back: row 20 is still changed
    EXPECT_TRUE(window->State().changes_pending);
    ASSERT_TRUE(window->AnnullaUltimaModifica());  // row 20 back: row 2 holds its price again
    EXPECT_FALSE(window->State().changes_pending);
}

// The stored value is the one shown: 35,00 raised by 3,333 % is 36,16655, kept at the column's two
// decimals, and the row read back from the database holds 36,17.
TEST_F(SheetWindow, AnAdjustmentStoresTheValueItShows) {
    const long prezzo = Column("LI10_PREZZO");
    ASSERT_EQ(Text(0, "LI10_PREZZO"), "35,00");
    ASSERT_TRUE(RettificaPrezzi(*window, Acq(), {0}, prezzo, "+3,333%", 0));
    EXPECT_EQ(Text(0, "LI10_PREZZO"), "36,17");
    ASSERT_TRUE(window->INTERNAV->UserClick("Conferma"));
    auto rs = host->session->Execute(
        "SELECT LI10_PREZZO FROM LI10_LISTARTIC WHERE LI10_DITTA_CG18 = 1 AND LI10_CODART_MG66 = 'SCI001' AND "
        "LI10_FLGVENDACQ = 1 AND LI10_NUMLIST = 1 AND LI10_OPZIONE_MG5E LIKE '%BEI%' AND "
        "LI10_DATAINIZIOVAL = '20250101'");
    ASSERT_FALSE(rs->IsEOF());
    EXPECT_EQ(kv::CDbl(rs->Value(0)), 36.17);
}

// A description holding the separator or a quote is quoted in the file, and the file imports back onto
// the rows it came from.
TEST_F(SheetWindow, ADescriptionWithASemicolonIsQuotedAndImportsBack) {
    window->Unload();
    host->session->Execute("UPDATE MG5E_OPZIONI SET MG5E_DESCR = 'Beige; sabbia' WHERE "
                           "MG5E_DITTA_CG18 = 1 AND MG5E_CODICEVAR_MG5F = 'A1' AND MG5E_OPZIONE = 'BEI'");
    host->session->Execute("UPDATE MG5E_OPZIONI SET MG5E_DESCR = 'Bianco \"ottico\"' WHERE "
                           "MG5E_DITTA_CG18 = 1 AND MG5E_CODICEVAR_MG5F = 'A1' AND MG5E_OPZIONE = 'BIA'");
    NewWindow();
    LoadKey(demo::kArticoloTipo1);
    const long prezzo = Column("LI10_PREZZO");
    ASSERT_TRUE(Acq().UserMoveTo(8, prezzo));
    ASSERT_TRUE(IncollaBlocco(*window, Acq(), "7,5\n"));  // list 2, Beige
    const std::string path = ::testing::TempDir() + "sheet_semicolon.csv";
    ASSERT_TRUE(EsportaCsv(*window, true, path));
    std::ifstream in(path, std::ios::binary);
    const std::string file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(file.find(";\"Beige; sabbia\";"), std::string::npos) << file;
    EXPECT_NE(file.find(";\"Bianco \"\"ottico\"\"\";"), std::string::npos) << file;

    ASSERT_TRUE(Acq().UserMoveTo(8, prezzo));
    ASSERT_TRUE(IncollaBlocco(*window, Acq(), "1\n"));
    ASSERT_TRUE(ImportaCsv(*window, true, path));
    EXPECT_EQ(Text(8, "LI10_PREZZO"), "7,50");
    ASSERT_FALSE(Messages().empty());
    EXPECT_EQ(Messages().back().text,
              "Importazione completata: 1 riga modificata (1 valore), da confermare con \"Conferma\".");
    std::remove(path.c_str());
}

}  // namespace
}  // namespace qmx
