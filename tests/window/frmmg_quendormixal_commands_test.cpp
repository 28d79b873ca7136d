// The side lists and the toolbar commands through the window's control models, on both engines: which
// rows a side-list choice leaves in both matrices, the grid-type-4 element lists and the copy buttons,
// and every answer to the questions of "Elimina", "Nuovo" and closing the window, with the database
// refusing the write in some of them.

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "platform/variant/strings.h"
#include "support/window_fixture.h"

namespace qmx {
namespace {

namespace svc = kv::services;
using testing::WindowTest;

std::string Trimmed(const kv::Variant& v) { return v.IsNull() ? std::string() : kv::Trim(kv::CStr(v)); }

// The values of one field over the rows a recordset shows (its filter applied).
std::vector<std::string> Column(const kv::ado::RecordsetPtr& rs, const char* field) {
    std::vector<std::string> out;
    if (!rs || rs->RecordCount() == 0) return out;
    auto view = rs;  // the grid's rows are the filtered rows; walk them and come back
    const auto position = view->AbsolutePosition();
    for (view->MoveFirst(); !view->IsEOF(); view->MoveNext()) out.push_back(Trimmed(view->Value(field)));
    if (position > 0) view->SetAbsolutePosition(position);
    return out;
}

class WindowCommands : public WindowTest {
protected:
    static constexpr const char* kPrices =
        "SELECT COUNT(*) FROM LI10_LISTARTIC WHERE LI10_DITTA_CG18 = 1 AND LI10_CODART_MG66 = 'SCI001'";
    long Stored(int kind) const { return Count(std::string(kPrices) + " AND LI10_FLGVENDACQ = " + std::to_string(kind)); }
    // Types a gross price into a row of a price grid.
    void Price(kv::controls::DataGrid& grid, long row, const std::string& text) {
        ASSERT_TRUE(grid.UserEditCell(row, grid.Columns().IndexOf("LI10_PREZZO"), text).accepted) << grid.Name();
    }
    std::string PriceShown(const kv::controls::DataGrid& grid, long row) const {
        return kv::Trim(grid.CellText(row, grid.Columns().IndexOf("LI10_PREZZO")));
    }
    // SCI001 loaded with a purchase and a sales price saved; stored_acq_ and stored_ven_ count the rows
    // of each kind then (a save stores every row of the matrix).
    void LoadSavedPrices() {
        Open(demo::kDittaAbbigliamento);
        LoadKey(demo::kArticoloTipo1);
        const long acq = Stored(1), ven = Stored(0);
        Price(*window->GRD_LISACQ, 8, "12,5");
        Price(*window->GRD_LISVEN, 0, "30");
        ASSERT_TRUE(window->INTERNAV->UserClick("Conferma"));
        stored_acq_ = Stored(1);
        stored_ven_ = Stored(0);
        ASSERT_GT(stored_acq_, acq);
        ASSERT_GT(stored_ven_, ven);
    }
    long stored_acq_ = 0, stored_ven_ = 0;
    // SCI001 with a purchase price of 14 typed and not saved; `answer` waits for the next question, and
    // with `refuse` the database refuses the save (the row has nothing stored: a save inserts it).
    void PendingPrice(bool refuse, int answer) {
        LoadSavedPrices();
        Price(*window->GRD_LISACQ, 9, "14");
        if (refuse) Refuse("INSERT");
        Answers().QueueAnswer(answer);
    }
    bool HeaderOpen() const { return window->TXT_CODART->Enabled() && window->TXT_DADATA_ACQ->Enabled(); }
};

TEST_P(WindowCommands, ASideListRowFiltersBothMatricesToItsOption) {
    struct Case {
        int company;
        const char* article;
        std::vector<std::string> variants;  // typed in the variant field (grid type 2)
    };
    const Case cases[] = {{demo::kDittaTessuti, demo::kArticoloTipo3, {}},
                          {demo::kDittaCalzature, demo::kArticoloTipo2, {"41", "40", "40"}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.article);
        Open(c.company);
        auto& w = *window;
        LoadKey(c.article);
        for (const auto& v : c.variants) Type(*w.TXT_VARIANTE, v);
        const auto options = Column(w.SideRecordset(), "BLT_OPZIONE2");
        ASSERT_GE(options.size(), 2u);
        if (!c.variants.empty()) {
            EXPECT_EQ(options, (std::vector<std::string>{"41", "40"}));  // each size once
            // The list's chosen row is the size typed last, the one the matrices show.
            EXPECT_EQ(Trimmed(w.SideRecordset()->Value("BLT_OPZIONE2")), c.variants.back());
            for (const auto& o : Column(w.VariantiAcquisto()->Recordset(), "BLT_OPZIONE2")) EXPECT_EQ(o, c.variants.back());
        }
        for (long row = static_cast<long>(options.size()) - 1; row >= 0; --row) {
            SCOPED_TRACE(options[row]);
            ASSERT_TRUE(w.GRD_SIDE->UserMoveTo(row, 0));
            EXPECT_EQ(w.TXT_VARIANTE->Text(), options[row]);
            // The description beside the field is the chosen option's, not the one typed last.
            EXPECT_EQ(Trimmed(kv::Variant(w.TXT_DESCSEGMENTO->Text())),
                      Trimmed(w.SideRecordset()->Value("BLT_DESCR2")));
            for (const auto& driver : {w.VariantiAcquisto(), w.VariantiVendita()}) {
                const auto shown = Column(driver->Recordset(), "BLT_OPZIONE2");
                EXPECT_FALSE(shown.empty());
                for (const auto& o : shown) EXPECT_EQ(o, options[row]);
            }
        }
        // A row change while "Nuovo" runs changes nothing.
        const auto before = w.VariantiAcquisto()->Recordset()->RecordCount();
        w.MutableState().new_in_progress = true;
        ASSERT_TRUE(w.GRD_SIDE->UserMoveTo(1, 0));
        w.MutableState().new_in_progress = false;
        EXPECT_EQ(w.TXT_VARIANTE->Text(), options[0]);
        EXPECT_EQ(w.VariantiAcquisto()->Recordset()->RecordCount(), before);
        EXPECT_TRUE(host->Errors().Reports().empty());
        Close();
    }
}

TEST_P(WindowCommands, GridType4ListsThePriceElementsOfEachKind) {
    Open(demo::kDittaAbbigliamento);
    auto& w = *window;
    LoadKey(demo::kArticoloTipo4, "2026");
    ASSERT_EQ(w.State().grid_type, 4);
    const auto acq = Column(w.SideRecordset(), "BLT_DESCR2");
    const auto ven = Column(w.SideRecordset1(), "BLT_DESCR2");
    ASSERT_GE(acq.size(), 2u);
    ASSERT_GE(ven.size(), 3u);
    EXPECT_EQ(acq.front(), "Prezzo lordo");
    EXPECT_EQ(acq.back(), "Importo Netto");
    EXPECT_EQ(ven.back(), "Importo Netto");
    EXPECT_EQ(ven[ven.size() - 2], "%Ricar.");
    EXPECT_EQ(std::count(acq.begin(), acq.end(), "%Ricar."), 0);
    // Discounts are named as the other grids' columns name them.
    EXPECT_EQ(std::count(acq.begin(), acq.end(), "Sc.%1"), 1);
    EXPECT_EQ(std::count(acq.begin(), acq.end(), "1Sc.%"), 0);

    // Only the gross price can be copied.
    struct Side {
        std::shared_ptr<kv::controls::DataGrid> grid;
        const std::vector<std::string>& elements;
    };
    for (const auto& side : {Side{w.GRD_SIDE, acq}, Side{w.GRD_SIDE1, ven}}) {
        for (long row = static_cast<long>(side.elements.size()) - 1; row >= 0; --row) {
            SCOPED_TRACE(side.elements[row]);
            ASSERT_TRUE(side.grid->UserMoveTo(row, 0));
            const bool gross = side.elements[row] == "Prezzo lordo";
            EXPECT_EQ(w.CMD_COPIASURIGA->Enabled(), gross);
            EXPECT_EQ(w.CMD_COPIASUTUTTERIGHE->Enabled(), gross);
        }
    }
    EXPECT_TRUE(host->Errors().Reports().empty());
}

TEST_P(WindowCommands, EliminaAsksForEachKindAndDeletesWhatWasConfirmed) {
    struct Case {
        const char* name;
        std::vector<int> answers;  // the two questions, then the error displays
        bool refuse;               // the database refuses deletions
        bool purchase_kept, sales_kept;
        bool header_open;
    };
    const Case cases[] = {
        {"no, no", {7, 7}, false, true, true, false},
        {"yes, no", {6, 7}, false, false, true, true},
        {"no, yes", {7, 6}, false, true, false, true},
        {"yes, yes", {6, 6}, false, false, false, true},
        // Each refused deletion is shown and deletes nothing of its kind; "Ignora" goes on to the next.
        {"yes, yes refused", {6, 5, 6, 5}, true, true, true, false},
    };
    const std::string title = std::string(20, ' ') + "A T T E N Z I O N E";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LoadSavedPrices();
        if (c.refuse) Refuse("DELETE");
        for (int a : c.answers) {
            if (a == 5) host->Errors().QueueAnswer(a);
            else Answers().QueueAnswer(a);
        }
        const auto before = Messages().size();
        ASSERT_TRUE(window->INTERNAV->UserClick("Elimina"));
        ASSERT_EQ(Messages().size(), before + 2);
        EXPECT_EQ(Messages()[before].text, "Confermi l'eliminazione dei Listini di Acquisto?");
        EXPECT_EQ(Messages()[before + 1].text, "Confermi l'eliminazione dei Listini di Vendita?");
        for (std::size_t i = before; i < Messages().size(); ++i) {
            EXPECT_EQ(Messages()[i].title, title);
            EXPECT_EQ(Messages()[i].style, 308);
        }
        EXPECT_EQ(host->Errors().Reports().size(), c.refuse ? 2u : 0u);
        for (const auto& e : host->Errors().Reports()) EXPECT_EQ(e.report.procedure, "INTERNAV_ButtonClick");
        if (c.refuse) Allow();
        EXPECT_EQ(Stored(1), c.purchase_kept ? stored_acq_ : 0);
        EXPECT_EQ(Stored(0), c.sales_kept ? stored_ven_ : 0);
        EXPECT_EQ(HeaderOpen(), c.header_open);
        EXPECT_FALSE(window->State().loading);
        Close();
    }
}

TEST_P(WindowCommands, NuovoWithPendingPricesDoesWhatTheAnswerSays) {
    struct Case {
        const char* name;
        int answer;
        bool refuse;  // the database refuses the save
        bool saved;  // the new price reached the database
        bool header_open, pending;
    };
    const Case cases[] = {
        {"cancel", svc::answer::kCancel, false, false, false, true},
        {"no", svc::answer::kNo, false, false, true, false},
        {"yes", svc::answer::kYes, false, true, true, false},
        // A refused save keeps the key and the edits: nothing is lost.
        {"yes refused", svc::answer::kYes, true, false, false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        PendingPrice(c.refuse, c.answer);
        const auto before = Messages().size();
        ASSERT_TRUE(window->INTERNAV->UserClick("Nuovo"));
        ASSERT_EQ(Messages().size(), before + 1);
        EXPECT_EQ(Messages().back().text, "Salvare le modifiche apportate ai listini?");
        EXPECT_EQ(Messages().back().title, "Informazione");
        EXPECT_EQ(Messages().back().style, 67);
        EXPECT_EQ(host->Errors().Reports().size(), c.refuse ? 1u : 0u);
        if (c.refuse) Allow();
        EXPECT_EQ(Count(std::string(kPrices) + " AND LI10_PREZZO = 14"), c.saved ? 1 : 0);
        EXPECT_EQ(HeaderOpen(), c.header_open);
        EXPECT_EQ(window->State().changes_pending, c.pending);
        EXPECT_FALSE(window->State().new_in_progress);
        if (!c.header_open) {
            EXPECT_EQ(PriceShown(*window->GRD_LISACQ, 9), "14,00");
            EXPECT_EQ(window->TXT_CODART->Text(), demo::kArticoloTipo1);
        }
        Close();
    }
}

TEST_P(WindowCommands, ClosingWithPendingPricesDoesWhatTheAnswerSays) {
    struct Case {
        const char* name;
        int answer;
        bool refuse;
        bool closed;
        bool saved;
    };
    const Case cases[] = {
        {"cancel", svc::answer::kCancel, false, false, false},
        {"no", svc::answer::kNo, false, true, false},
        {"yes", svc::answer::kYes, false, true, true},
        {"yes refused", svc::answer::kYes, true, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        PendingPrice(c.refuse, c.answer);
        EXPECT_EQ(window->RequestClose(), c.closed);
        EXPECT_EQ(window->IsLoaded(), !c.closed);
        EXPECT_EQ(Messages().back().text, "Salvare le modifiche apportate ai listini?");
        EXPECT_EQ(Messages().back().style, 67);
        EXPECT_EQ(host->Errors().Reports().size(), c.refuse ? 1u : 0u);
        if (c.refuse) Allow();
        EXPECT_EQ(Count(std::string(kPrices) + " AND LI10_PREZZO = 14"), c.saved ? 1 : 0);
        if (!c.closed) {
            EXPECT_TRUE(window->State().changes_pending);
            EXPECT_EQ(PriceShown(*window->GRD_LISACQ, 9), "14,00");
        }
        Close();
    }
}

TEST_P(WindowCommands, AnnullaBringsBackWhatIsStored) {
    LoadSavedPrices();
    auto& w = *window;
    const std::string saved_acq = PriceShown(*w.GRD_LISACQ, 8);
    const std::string saved_ven = PriceShown(*w.GRD_LISVEN, 0);
    Price(*w.GRD_LISACQ, 8, "99");
    Price(*w.GRD_LISACQ, 10, "7");
    Price(*w.GRD_LISVEN, 0, "45");
    ASSERT_TRUE(w.State().changes_pending);
    ASSERT_TRUE(w.INTERNAV->UserClick("Annulla"));
    EXPECT_TRUE(host->Errors().Reports().empty());
    EXPECT_EQ(PriceShown(*w.GRD_LISACQ, 8), saved_acq);
    EXPECT_NE(PriceShown(*w.GRD_LISACQ, 10), "7,00");
    EXPECT_EQ(PriceShown(*w.GRD_LISVEN, 0), saved_ven);
    EXPECT_FALSE(w.State().changes_pending);
    EXPECT_FALSE(w.INTERNAV->ButtonEnabled("Conferma"));
    EXPECT_FALSE(w.INTERNAV->ButtonEnabled("Annulla"));
    EXPECT_FALSE(HeaderOpen());  // the key stays loaded
    EXPECT_EQ(Stored(1), stored_acq_);
    EXPECT_EQ(Count(std::string(kPrices) + " AND LI10_PREZZO = 99"), 0);
}

INSTANTIATE_TEST_SUITE_P(Engines, WindowCommands,
                         ::testing::Values(testing::Engine::kSqlite, testing::Engine::kPostgres),
                         testing::EngineParamName());

}  // namespace
}  // namespace qmx
