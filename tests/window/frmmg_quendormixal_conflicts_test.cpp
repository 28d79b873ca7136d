// Two desktops on one article: two windows, each with its own connection to one company database, load
// the same article and period; A saves, then B saves rows A changed meanwhile. B is asked, and each
// answer does what it says. Both engines.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "shell/clsmg_quendormixal.h"
#include "support/db_engines.h"
#include "support/headless_host.h"
#include "support/shared_desktop.h"
#include "window/frmmg_quendormixal.h"

namespace qmx {
namespace {

namespace svc = kv::services;
using testing::Engine;

// One desktop of those sharing the company database.
using Desktop = testing::SharedDesktop;

class TwoDesktops : public testing::SharedDatabase {
protected:
    // The stored purchase price of a list and colour of SCI001, as text ("" when there is no row).
    std::string Stored(int list, const std::string& colour) {
        auto rs = session_->Execute(
            "SELECT LI10_PREZZO FROM LI10_LISTARTIC WHERE LI10_DITTA_CG18 = 1 AND LI10_CODART_MG66 = 'SCI001'"
            " AND LI10_FLGVENDACQ = 1 AND LI10_NUMLIST = " + std::to_string(list) +
            " AND LI10_OPZIONE_MG5E LIKE '%" + colour + "%'");
        if (rs->RecordCount() != 1) return rs->RecordCount() == 0 ? "" : "twice";
        return kv::CDec(rs->Value(0)).ToString(',');
    }
    long StoredRows() {
        auto rs = session_->Execute("SELECT COUNT(*) FROM LI10_LISTARTIC WHERE LI10_CODART_MG66 = 'SCI001'");
        return kv::CLng(rs->Value(0));
    }

};

// Rows (purchase grid): 0 list 1 Beige, both edit it; 1 list 1 Bianco, only B; 2 list 1 Blu navy, only
// A; 8 list 2 Beige, new at load for both, both edit it (A inserts it).
TEST_P(TwoDesktops, ASaveOverRowsAnotherDesktopChangedAsksAndEachAnswerDoesWhatItSays) {
    struct Case {
        int answer;
        const char* beige1;  // stored after B's Conferma
        const char* beige2;
        const char* bianco1;
    };
    const Case cases[] = {
        {svc::answer::kYes, "11", "12", "35"},     // reload: nothing written yet
        {svc::answer::kNo, "21", "22", "23"},      // overwrite
        {svc::answer::kCancel, "11", "12", "35"},  // back, nothing written
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.answer);
        session_->Execute("DELETE FROM LI10_LISTARTIC WHERE LI10_CODART_MG66 = 'SCI001' AND LI10_NUMLIST <> 1");
        session_->Execute("UPDATE LI10_LISTARTIC SET LI10_PREZZO = 35 WHERE LI10_CODART_MG66 = 'SCI001'");
        Desktop a(connection_string_), b(connection_string_);
        a.Load();
        b.Load();
        a.Edit(0, "11");
        a.Edit(8, "12");
        a.Edit(2, "14");
        ASSERT_TRUE(a.Confirm());
        ASSERT_FALSE(a.window->State().changes_pending);
        ASSERT_EQ(Stored(1, "BEI"), "11");

        b.Edit(0, "21");
        b.Edit(8, "22");
        b.Edit(1, "23");
        const auto before = b.Messages().Messages().size();
        b.Messages().QueueAnswer(c.answer);
        b.Confirm();
        ASSERT_EQ(b.Messages().Messages().size(), before + 1);
        const auto& asked = b.Messages().Messages().back();
        EXPECT_EQ(asked.text.rfind("2 righe sono state modificate da un altro utente dopo il caricamento.", 0), 0u)
            << asked.text;
        EXPECT_EQ(asked.style, 3 + 48 + 512);
        EXPECT_EQ(Stored(1, "BEI"), c.beige1);
        EXPECT_EQ(Stored(2, "BEI"), c.beige2);
        EXPECT_EQ(Stored(1, "BIA"), c.bianco1);
        EXPECT_EQ(Stored(1, "BLU"), "14");  // A's row that B never touched is never written over
        EXPECT_TRUE(b.global->ScriptedErrors()->Reports().empty());

        if (c.answer == svc::answer::kYes) {
            // The rows in conflict show what A stored; B's other edit is still there, still pending.
            EXPECT_EQ(b.Shown(0), "11,00");
            EXPECT_EQ(b.Shown(8), "12,00");
            EXPECT_EQ(b.Shown(1), "23,00");
            EXPECT_TRUE(b.window->State().changes_pending);
            ASSERT_TRUE(b.Confirm());
            EXPECT_EQ(Stored(1, "BIA"), "23");
            EXPECT_EQ(Stored(1, "BEI"), "11");
        } else if (c.answer == svc::answer::kCancel) {
            EXPECT_EQ(b.Shown(0), "21,00");
            EXPECT_EQ(b.Shown(1), "23,00");
            EXPECT_TRUE(b.window->State().changes_pending);
        } else {
            EXPECT_FALSE(b.window->State().changes_pending);
            // A's row, which B did not touch, is neither written nor read again by B's save.
            EXPECT_EQ(b.Shown(2), "35,00");
        }
        // Every row once, whatever was answered: list 1's eight, and list 2's Beige (A's or B's).
        EXPECT_EQ(StoredRows(), 8 + 1);
        if (c.answer == svc::answer::kCancel) continue;  // B's next save asks again, rightly
        // B saves again later without anyone else in between: nothing to ask.
        const auto asked_before = b.Messages().Messages().size();
        b.Edit(3, "30");
        ASSERT_TRUE(b.Confirm());
        EXPECT_EQ(b.Messages().Messages().size(), asked_before);
        EXPECT_EQ(Stored(1, "CAM"), "30");
    }
}

TEST_P(TwoDesktops, ARowDeletedByAnotherDesktopIsAConflictWhenEditedHere) {
    Desktop b(connection_string_);
    b.Load();
    session_->Execute("DELETE FROM LI10_LISTARTIC WHERE LI10_CODART_MG66 = 'SCI001' AND LI10_FLGVENDACQ = 1"
                      " AND LI10_NUMLIST = 1 AND LI10_OPZIONE_MG5E LIKE '%BEI%'");
    b.Edit(0, "21");
    b.Messages().QueueAnswer(svc::answer::kNo);
    ASSERT_TRUE(b.Confirm());
    ASSERT_FALSE(b.Messages().Messages().empty());
    EXPECT_EQ(b.Messages().Messages().back().text.rfind("1 riga è stata modificata", 0), 0u);
    EXPECT_EQ(Stored(1, "BEI"), "21");  // written again
}

QMX_INSTANTIATE_ENGINES(TwoDesktops);

}  // namespace
}  // namespace qmx
