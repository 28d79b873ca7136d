// The side lists through the window's control models, on both engines: which rows a side-list choice
// leaves in both matrices, and the grid-type-4 element lists and the copy buttons. The answers to
// "Elimina", "Nuovo" and closing are the scenarios' (tests/scenarios).

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "platform/variant/strings.h"
#include "support/window_fixture.h"

namespace qmx {
namespace {

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

class WindowCommands : public WindowTest {};

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

INSTANTIATE_TEST_SUITE_P(Engines, WindowCommands,
                         ::testing::Values(testing::Engine::kSqlite, testing::Engine::kPostgres),
                         testing::EngineParamName());

}  // namespace
}  // namespace qmx
