// Hostile texts typed into every field and every editable grid cell of the window, on both engines: each
// is refused with a clear message or kept exactly as typed; none breaks a statement, escapes as an
// exception or changes a stored price row.

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "platform/variant/strings.h"
#include "support/window_fixture.h"

namespace qmx {
namespace {

using testing::Engine;

struct Hostile {
    const char* name;
    std::string text;
};

const std::vector<Hostile>& HostileTexts() {
    static const std::vector<Hostile> texts = {
        {"apostrophe", "D'O"},
        {"tautology", "x' OR '1'='1"},
        {"drop", "'; DROP TABLE LI10_LISTARTIC; --"},
        {"backslashes", "a\\b\\'c\\\\"},
        {"comment", "/* x */ --"},
        {"macros", "%CODE%%COMPANY%_"},
        {"long", std::string(200, 'Z')},
        {"long_multibyte", [] {
             std::string s;
             for (int i = 0; i < 200; ++i) s += "è";
             return s;
         }()},
        {"tab", "A\tB"},
        {"newline", "A\nB"},
        {"nul", std::string("A\0B", 3)},
        {"control", "A\x01" "B"},
        {"greek", "Ωμέγα"},
        {"cyrillic", "Привет"},
        {"cjk", "価格表"},
        {"emoji", "💶🙂"},
        {"not_utf8", "A\xff\xfe"},
        {"huge_number", "99999999999999999999999999999999"},
    };
    return texts;
}

// A message that shows the database's own words instead of the window's.
bool RawDatabaseText(const std::string& text) {
    for (const char* marker : {"syntax", "near \"", "ERROR:", "unterminated", "unrecognized token", "SQLITE",
                               "sqlite", "invalid byte sequence", "incomplete input", "no such", "does not exist"})
        if (text.find(marker) != std::string::npos) return true;
    return false;
}

class HostileInput : public testing::WindowTest {
protected:
    void Open(int company) {
        WindowTest::Open(company);
        stored_ = Dump();
    }

    // Every row of LI10_LISTARTIC as text, sorted: the table as a whole, to compare before and after.
    std::vector<std::string> Dump() {
        auto rows = testing::DumpPrices(*host->session);
        std::sort(rows.begin(), rows.end());
        return rows;
    }

    // The table as it was when the window opened; a difference lists the rows gone and the rows new.
    void ExpectStoredRowsUnchanged() {
        const auto now = Dump();
        std::vector<std::string> gone, added;
        std::set_difference(stored_.begin(), stored_.end(), now.begin(), now.end(), std::back_inserter(gone));
        std::set_difference(now.begin(), now.end(), stored_.begin(), stored_.end(), std::back_inserter(added));
        for (const auto& row : gone) ADD_FAILURE() << "row gone: " << row;
        for (const auto& row : added) ADD_FAILURE() << "row new: " << row;
    }

    // Runs one user action with a hostile text: nothing escapes, no error display comes up (a refusal
    // is a message, not a program failure) and no message quotes the database.
    void Attempt(const std::string& what, const std::function<void()>& action) {
        const auto& messages = host->global->ScriptedMessages()->Messages();
        const auto messages_before = messages.size();
        const auto errors_before = host->Errors().Reports().size();
        try {
            action();
        } catch (const std::exception& e) {
            ADD_FAILURE() << what << ": an exception escaped: " << e.what();
        } catch (...) {
            ADD_FAILURE() << what << ": an exception escaped";
        }
        for (auto i = errors_before; i < host->Errors().Reports().size(); ++i)
            ADD_FAILURE() << what << ": error shown: " << host->Errors().Reports()[i].report.description;
        for (auto i = messages_before; i < messages.size(); ++i)
            EXPECT_FALSE(RawDatabaseText(messages[i].text)) << what << ": " << messages[i].text;
    }

    std::vector<std::string> stored_;
};

TEST_P(HostileInput, HeaderFieldsRefuseOrKeepWhatIsTyped) {
    Open(demo::kDittaAbbigliamento);
    auto& w = *window;
    auto dates = {w.TXT_DADATA_ACQ, w.TXT_ADATA_ACQ, w.TXT_DADATA_VEN, w.TXT_ADATA_VEN};
    for (const auto& h : HostileTexts()) {
        // No article holds such a code: the field stays open and not valid, holding what was typed.
        const auto shown = Messages().size();
        Attempt(std::string("TXT_CODART ") + h.name, [&] { Type(*w.TXT_CODART, h.text); });
        EXPECT_FALSE(w.TXT_CODART->Valid()) << h.name;
        EXPECT_EQ(Messages().size(), shown + 1) << h.name;
        EXPECT_TRUE(w.TXT_CODART->Enabled()) << h.name;
        const long max = w.TXT_CODART->MaxLength();
        EXPECT_EQ(w.TXT_CODART->Text(), max > 0 ? kv::Left(h.text, max) : h.text) << h.name;
    }
    // With a real article, each date field in turn gets the hostile text: refused with a message, nothing loaded.
    Type(*w.TXT_CODART, demo::kArticoloTipo1);
    ASSERT_TRUE(w.TXT_CODART->Valid());
    for (const auto& field : dates) {
        for (const auto& h : HostileTexts()) {
            for (const auto& other : dates)
                if (other != field && other->Enabled()) other->SetText("01/01/2025");
            const auto shown = Messages().size();
            Attempt(field->Name() + " " + h.name, [&] { Type(*field, h.text); });
            EXPECT_FALSE(field->Valid()) << field->Name() << " " << h.name;
            ASSERT_EQ(Messages().size(), shown + 1) << field->Name() << " " << h.name;
            EXPECT_EQ(Messages().back().title, "Attenzione");
            EXPECT_EQ(w.GRD_LISACQ->RowCount(), 0) << field->Name() << " " << h.name;
        }
    }
    ExpectStoredRowsUnchanged();
}

// The option typed in the header is the preset part of the option code of every row saved: a text the
// field takes must reach the database exactly, in the positions no grid level fills.
TEST_P(HostileInput, AnOptionTheArticleDoesNotHaveIsRefused) {
    Open(demo::kDittaAbbigliamento);
    auto& w = *window;
    for (const auto& h : HostileTexts()) {
        Attempt(std::string("Nuovo ") + h.name, [&] { w.INTERNAV->UserClick("Nuovo"); });
        Type(*w.TXT_CODART, demo::kArticoloTipo1);
        ASSERT_TRUE(w.TXT_CODART->Valid());
        const auto shown = Messages().size();
        Attempt(std::string("TXT_OPZIONE ") + h.name, [&] { Type(*w.TXT_OPZIONE, h.text); });
        // Text with control characters is refused as such; none of the others is an option of the
        // article: refused by name, the field emptied, nothing loaded under it.
        ASSERT_EQ(Messages().size(), shown + 1) << h.name;
        if (!kv::IsSingleLineText(h.text)) {
            EXPECT_FALSE(w.TXT_OPZIONE->Valid()) << h.name;
            continue;
        }
        EXPECT_EQ(Messages().back().text.rfind("L'opzione \"", 0), 0u) << Messages().back().text;
        EXPECT_EQ(w.TXT_OPZIONE->Text(), "") << h.name;
        Attempt(std::string("dates ") + h.name, [&] {
            for (const auto& field : {w.TXT_DADATA_ACQ, w.TXT_DADATA_VEN}) Type(*field, "01/01/2025");
            for (const auto& field : {w.TXT_ADATA_ACQ, w.TXT_ADATA_VEN}) Type(*field, "31/12/2025");
        });
        ASSERT_GT(w.GRD_LISACQ->RowCount(), 0) << h.name;
        const auto edit = w.GRD_LISACQ->UserEditCell(0, w.GRD_LISACQ->Columns().IndexOf("LI10_PREZZO"), "12,5");
        ASSERT_TRUE(edit.accepted) << h.name << ": " << edit.message;
        Attempt(std::string("Conferma ") + h.name, [&] { w.INTERNAV->UserClick("Conferma"); });
        EXPECT_FALSE(w.State().changes_pending) << h.name;
        // The code holds the row's colour alone (5-7): nothing of what was typed.
        auto rs = host->session->Execute(
            "SELECT LI10_OPZIONE_MG5E FROM LI10_LISTARTIC WHERE LI10_DITTA_CG18 = 1 AND LI10_CODART_MG66 = 'SCI001'"
            " AND LI10_FLGVENDACQ = 1 AND LI10_PREZZO = 12.5");
        ASSERT_EQ(rs->RecordCount(), 1) << h.name;
        EXPECT_EQ(kv::RTrim(kv::CStr(rs->Value(0))), "    BEI") << h.name;
        host->session->Execute("DELETE FROM LI10_LISTARTIC WHERE LI10_PREZZO = 12.5");
    }
    // Only the article whose prices were saved has rows that were not there before.
    for (const auto& row : Dump())
        if (row.find("SCI001") == std::string::npos) {
            EXPECT_TRUE(std::binary_search(stored_.begin(), stored_.end(), row)) << row;
        }
}

TEST_P(HostileInput, AVariantIsRefusedWithAMessage) {
    Open(demo::kDittaCalzature);
    auto& w = *window;
    Type(*w.TXT_CODART, demo::kArticoloTipo2);
    for (const auto& field : {w.TXT_DADATA_ACQ, w.TXT_DADATA_VEN}) Type(*field, "01/01/2025");
    for (const auto& field : {w.TXT_ADATA_ACQ, w.TXT_ADATA_VEN}) Type(*field, "31/12/2025");
    ASSERT_TRUE(w.TXT_VARIANTE->Visible());
    for (const auto& h : HostileTexts()) {
        if (!w.TXT_VARIANTE->Enabled()) w.TXT_VARIANTE->SetEnabled(true);
        const auto shown = Messages().size();
        Attempt(std::string("TXT_VARIANTE ") + h.name, [&] { Type(*w.TXT_VARIANTE, h.text); });
        EXPECT_FALSE(w.TXT_VARIANTE->Valid()) << h.name;
        EXPECT_EQ(Messages().size(), shown + 1) << h.name;
    }
    ExpectStoredRowsUnchanged();
}

TEST_P(HostileInput, GridCellsRefuseOrSaveExactlyWhatIsTyped) {
    Open(demo::kDittaAbbigliamento);
    auto& w = *window;
    Type(*w.TXT_CODART, demo::kArticoloTipo1);
    for (const auto& field : {w.TXT_DADATA_ACQ, w.TXT_DADATA_VEN}) Type(*field, "01/01/2025");
    for (const auto& field : {w.TXT_ADATA_ACQ, w.TXT_ADATA_VEN}) Type(*field, "31/12/2025");
    ASSERT_GT(w.GRD_LISACQ->RowCount(), 0);
    ASSERT_GT(w.GRD_LISVEN->RowCount(), 0);

    struct Accepted {
        std::string where;
        std::string text;
    };
    std::vector<Accepted> accepted;
    for (const auto& grid : {w.GRD_LISACQ, w.GRD_LISVEN}) {
        for (long c = 0; c < grid->Columns().Count(); ++c) {
            if (!grid->CellEditable(0, c)) continue;
            const std::string column = grid->Columns().Item(c).DataField();
            for (const auto& h : HostileTexts()) {
                const std::string where = grid->Name() + "." + column + " " + h.name;
                const std::string before = grid->CellEditText(0, c);
                kv::controls::EditOutcome outcome;
                Attempt(where, [&] { outcome = grid->UserEditCell(0, c, h.text); });
                if (outcome.accepted) {
                    EXPECT_EQ(grid->CellEditText(0, c), h.text) << where;
                    accepted.push_back({where, h.text});
                } else {
                    EXPECT_FALSE(outcome.message.empty()) << where;
                    EXPECT_FALSE(RawDatabaseText(outcome.message)) << where << ": " << outcome.message;
                    EXPECT_EQ(grid->CellEditText(0, c), before) << where;
                }
            }
        }
    }
    // No hostile text is a price: every editable cell refused them all, and nothing is pending.
    EXPECT_TRUE(accepted.empty()) << (accepted.empty() ? "" : accepted.front().where);
    EXPECT_FALSE(w.State().changes_pending);
    ExpectStoredRowsUnchanged();
}

INSTANTIATE_TEST_SUITE_P(Engines, HostileInput,
                         ::testing::Values(Engine::kSqlite, Engine::kPostgres), testing::EngineParamName());

}  // namespace
}  // namespace qmx
