// The price history and "Annulla ultimo salvataggio", with two desktops (two connections, two users)
// on one company database: what a save records and a refused one does not, a cell's history after
// saves from both, an undo that puts back exactly what the save replaced, and one that is refused
// because the other desktop changed a row since. Both engines.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "matrix/stored_price_rows.h"
#include "platform/variant/strings.h"
#include "schema/demo/demo.h"
#include "shell/clsmg_quendormixal.h"
#include "support/db_engines.h"
#include "support/headless_host.h"
#include "support/shared_desktop.h"
#include "support/oggi.h"
#include "window/frmmg_quendormixal.h"

namespace qmx {
namespace {

namespace svc = kv::services;

struct Desktop : testing::SharedDesktop {
    using SharedDesktop::SharedDesktop;
    std::vector<std::string> History(long row) {
        window->GRD_LISACQ->UserEnter();
        EXPECT_TRUE(window->GRD_LISACQ->UserMoveTo(row, Prezzo()));
        return window->StoricoCorrente("ACQ");
    }
    // Presses "Annulla ultimo salvataggio" answering `answer` to its question; the last message shown.
    std::string Undo(int answer) {
        Messages().QueueAnswer(answer);
        window->INTERNAV->UserClick(FRMMG_QUENDORMIXAL::kAnnullaSalvataggioKey);
        return Messages().Messages().empty() ? std::string() : Messages().Messages().back().text;
    }
};

class PriceHistory : public testing::SharedDatabase {
protected:
    // The history of SCI001 as rows of text, in the order written.
    std::vector<std::string> HistoryRows() {
        auto rs = session_->Execute(
            "SELECT QX10_INDOPERAZ, QX10_FLGVENDACQ, QX10_NUMLIST, QX10_OPZIONE_MG5E, QX10_INDRIGA, QX10_COLONNA,"
            " QX10_VALOREPREC, QX10_VALORENUOVO, QX10_UTENTE, QX10_DATAORA FROM QX10_STORICOPREZZI"
            " WHERE QX10_CODART_MG66 = 'SCI001' ORDER BY QX10_ID");
        std::vector<std::string> out;
        for (; !rs->IsEOF(); rs->MoveNext()) {
            std::string line;
            for (int i = 0; i < rs->GetFields().Count(); ++i) {
                const kv::Variant v = rs->Value(i);
                line += (i ? "|" : "") + (v.IsNull() ? std::string("-") : kv::RTrim(v.TryGet<kv::Date>() ? v.TryGet<kv::Date>()->ToString() : kv::CStr(v)));
            }
            out.push_back(line);
        }
        return out;
    }
    // The prices of SCI001 as the user sets them: the key and every compared column.
    std::vector<std::string> Prices() {
        std::string sql = "SELECT LI10_FLGVENDACQ, LI10_OPZIONE_MG5E, LI10_NUMLIST, LI10_DATAINIZIOVAL";
        for (const char* c : kNomiConfrontati) sql += std::string(", ") + c;
        auto rs = session_->Execute(sql + " FROM LI10_LISTARTIC WHERE LI10_CODART_MG66 = 'SCI001' ORDER BY"
                                          " LI10_FLGVENDACQ, LI10_OPZIONE_MG5E, LI10_NUMLIST, LI10_DATAINIZIOVAL");
        std::vector<std::string> out;
        for (; !rs->IsEOF(); rs->MoveNext()) {
            std::string line;
            for (int i = 0; i < rs->GetFields().Count(); ++i) line += kv::DebugString(rs->Value(i)) + "|";
            out.push_back(line);
        }
        return out;
    }

};

TEST_P(PriceHistory, ASaveRecordsEachChangedCellARefusedSaveNothingAndACellListsItsChangesNewestFirst) {
    // A company database made before the history: the first save creates the table.
    session_->Execute("DROP TABLE QX10_STORICOPREZZI");
    Desktop a(connection_string_, "anna", "10/03/2026 09:15"), b(connection_string_, "bruno", "10/03/2026 11:40");
    a.Load();
    b.Load();
    a.Edit(0, "11");     // list 1 BEI: 35 -> 11
    a.Edit(8, "12,5");   // list 2 BEI: a new row
    ASSERT_TRUE(a.Confirm());
    const auto first = HistoryRows();
    // The stored row also had a Null bracket and commission conditions, which the save writes as 0 and
    // blank: recorded too, so that an undo puts back exactly what was stored.
    EXPECT_EQ(first, (std::vector<std::string>{
                         "1|1|1|    BEI|2|LI10_PREZZO|35|11|anna|10/03/2026 09:15:00",
                         "1|1|1|    BEI|2|LI10_SCAGL_MG02|-|0|anna|10/03/2026 09:15:00",
                         "1|1|1|    BEI|2|LI10_PROVVSC_PA10|-||anna|10/03/2026 09:15:00",
                         "1|1|2|    BEI|1|LI10_PREZZO|-|12.5|anna|10/03/2026 09:15:00",
                     }));

    // B loaded before A saved: B's edit of the same row is refused (Annulla to the question), and
    // nothing of it is recorded.
    b.Edit(0, "13");
    b.Messages().QueueAnswer(svc::answer::kCancel);
    b.Confirm();
    ASSERT_TRUE(b.window->State().changes_pending);
    EXPECT_EQ(HistoryRows(), first);

    // B takes the stored values (Sì reloads the rows in conflict) and saves again.
    b.Messages().QueueAnswer(svc::answer::kYes);
    b.Confirm();
    b.Edit(0, "13");
    ASSERT_TRUE(b.Confirm());
    EXPECT_EQ(HistoryRows().size(), first.size() + 1);
    EXPECT_EQ(b.History(0), (std::vector<std::string>{
                                "acquisto, listino 1, opzione BEI, dal 01/01/2025 al 31/12/2025: Prezzo lordo",
                                "10/03/2026 11:40 bruno: 11 \u2192 13",
                                "10/03/2026 09:15 anna: 35 \u2192 11",
                            }));
    EXPECT_EQ(a.History(1).back(), "Nessuna modifica registrata");
}

TEST_P(PriceHistory, UndoingTheLastSavePutsBackExactlyWhatItReplacedOrRefusesNamingTheRowsChangedSince) {
    Desktop a(connection_string_, "anna", "10/03/2026 09:15"), b(connection_string_, "bruno", "10/03/2026 10:00");
    a.Load();
    const auto before = Prices();
    a.Edit(0, "11");
    a.Edit(2, "14");
    a.Edit(8, "12");  // a new row
    ASSERT_TRUE(a.Confirm());
    const auto saved = Prices();
    ASSERT_NE(saved, before);

    // Another desktop changes one of those rows since: the undo says which and restores nothing.
    b.Load();
    b.Edit(2, "15");
    ASSERT_TRUE(b.Confirm());
    const auto changed = Prices();
    EXPECT_EQ(a.Undo(svc::answer::kYes),
              "Il salvataggio del 10/03/2026 09:15 non si pu\u00f2 annullare: queste righe sono state modificate "
              "dopo. Nessun prezzo \u00e8 stato ripristinato.\nacquisto, listino 1, opzione BLU, dal "
              "01/01/2025 al 31/12/2025");
    EXPECT_EQ(Prices(), changed);

    // A change made outside the window is caught by the stored values.
    const char* const blu = " WHERE LI10_CODART_MG66 = 'SCI001' AND LI10_FLGVENDACQ = 1 AND LI10_NUMLIST = 1"
                            " AND LI10_OPZIONE_MG5E LIKE '%BLU%'";
    session_->Execute(std::string("UPDATE LI10_LISTARTIC SET LI10_PREZZO = 99") + blu);
    EXPECT_NE(b.Undo(svc::answer::kYes).find("non si pu\u00f2 annullare"), std::string::npos);
    session_->Execute(std::string("UPDATE LI10_LISTARTIC SET LI10_PREZZO = 15") + blu);
    ASSERT_EQ(Prices(), changed);

    // B undoes its own save; then A's can be undone: the question counts the prices, and Sì puts back
    // exactly the state before A's save (the row it added removed), recorded in the history.
    EXPECT_EQ(b.Undo(svc::answer::kYes), "Annullare il salvataggio del 10/03/2026 10:00? Sar\u00e0 ripristinato 1 "
                                         "prezzo com'era prima.");
    EXPECT_EQ(Prices(), saved);
    EXPECT_EQ(a.Undo(svc::answer::kNo),
              "Annullare il salvataggio del 10/03/2026 09:15? Saranno ripristinati 3 prezzi com'erano prima (1 riga "
              "aggiunta da quel salvataggio sar\u00e0 eliminata).");
    EXPECT_EQ(Prices(), saved);
    const std::size_t recorded = HistoryRows().size();
    a.Undo(svc::answer::kYes);
    EXPECT_EQ(Prices(), before);
    const auto history = HistoryRows();
    ASSERT_EQ(history.size(), recorded + 7);  // the three cells of each updated row, the added row's price
    EXPECT_EQ(history.back(), "2|1|2|    BEI|3|LI10_PREZZO|12|-|anna|10/03/2026 09:15:00");
    EXPECT_EQ(a.Undo(svc::answer::kYes),
              "L'ultimo salvataggio di questo articolo (10/03/2026 09:15) \u00e8 gi\u00e0 stato annullato.");
}

// A save of many prices is recorded in statements of many rows: every one of its cells is there, under
// the save's number, and undoing it puts back exactly what was stored.
TEST_P(PriceHistory, ASaveOfManyPricesIsRecordedWholeAndUndoneWhole) {
    Desktop a(connection_string_, "anna", "10/03/2026 09:15");
    a.Load();
    const auto before = Prices();
    auto& grid = *a.window->GRD_LISACQ;
    for (long row = 0; row < grid.RowCount(); ++row) {
        a.Edit(row, std::to_string(20 + row));
        for (const char* sconto : {"LI10_SC1PER", "LI10_SC2PER"})
            ASSERT_TRUE(grid.UserEditCell(row, grid.Columns().IndexOf(sconto), "5").accepted) << row;
    }
    ASSERT_TRUE(a.Confirm());
    auto rs = session_->Execute(
        "SELECT COUNT(*) AS RIGHE, COUNT(DISTINCT QX10_SALVATAGGIO) AS SALVATAGGI FROM QX10_STORICOPREZZI"
        " WHERE QX10_CODART_MG66 = 'SCI001' AND QX10_SALVATAGGIO IS NOT NULL");
    const long recorded = kv::CLng(rs->Value(0));
    EXPECT_GT(recorded, 70);  // more than one statement's rows, and a shorter last statement
    EXPECT_EQ(kv::CLng(rs->Value(1)), 1);
    EXPECT_EQ(a.Undo(svc::answer::kYes).find("non si pu"), std::string::npos);
    EXPECT_EQ(Prices(), before);
}

QMX_INSTANTIATE_ENGINES(PriceHistory);

}  // namespace
}  // namespace qmx
