// The header's key through the window's control models, on both engines: which validity periods let the
// grids load, which date field the header opens, what the key looks like once loaded and after "Nuovo",
// and what the article, option and variant fields do with codes that lead nowhere.

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "shell/clsmg_quendormixal.h"
#include "support/headless_host.h"
#include "window/frmmg_quendormixal.h"
#include "support/window_fixture.h"

namespace qmx {
namespace {

namespace ctl = kv::controls;
using testing::WindowTest;

class WindowKey : public WindowTest {};

TEST_P(WindowKey, KeyDatesValidAsksForEveryVisibleDateAndAPeriodInOrder) {
    Open(demo::kDittaAbbigliamento);
    auto& w = *window;
    const std::array<std::shared_ptr<ctl::DateField>, 4> fields{w.TXT_DADATA_ACQ, w.TXT_ADATA_ACQ, w.TXT_DADATA_VEN,
                                                                w.TXT_ADATA_VEN};
    struct Case {
        const char* name;
        std::array<const char*, 4> dates;  // purchase from, to, sales from, to
        std::array<bool, 4> hidden;        // the field's place taken by "Da Configurazione"
        bool valid;
        std::vector<std::string> told;     // texts the message must hold; empty: no message
    };
    const std::vector<Case> cases = {
        {"all dates in order", {"01/01/2025", "31/12/2025", "01/01/2025", "31/12/2025"}, {}, true, {}},
        {"one-day periods", {"01/01/2025", "01/01/2025", "02/01/2025", "02/01/2025"}, {}, true, {}},
        {"no date", {"", "", "", ""}, {}, false, {}},
        {"sales dates missing", {"01/01/2025", "31/12/2025", "", ""}, {}, false, {}},
        {"sales end missing", {"01/01/2025", "31/12/2025", "01/01/2025", ""}, {}, false, {}},
        {"not a date", {"32/13/2025", "31/12/2025", "01/01/2025", "31/12/2025"}, {}, false, {}},
        {"purchase start from configuration", {"", "31/12/2025", "01/01/2025", "31/12/2025"},
         {true, false, false, false}, true, {}},
        {"purchase dates from configuration", {"", "", "01/01/2025", "31/12/2025"}, {true, true, false, false}, true, {}},
        {"purchase period reversed", {"01/06/2025", "31/05/2025", "01/01/2025", "31/12/2025"}, {}, false,
         {"di acquisto", "31/05/2025", "01/06/2025"}},
        {"sales period reversed", {"01/01/2025", "31/12/2025", "01/01/2026", "31/12/2025"}, {}, false,
         {"di vendita", "31/12/2025", "01/01/2026"}},
        // With one end from the configuration there is no period to compare.
        {"reversed with its start from configuration", {"", "31/05/2025", "01/01/2025", "31/12/2025"},
         {true, false, false, false}, true, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        for (std::size_t i = 0; i < fields.size(); ++i) {
            auto& f = *fields[i];
            // A disabled field takes the program's Confirm without starting a load.
            f.SetEnabled(false);
            f.SetVisible(!c.hidden[i]);
            f.SetText(c.dates[i]);
            f.Confirm();
        }
        const auto before = Messages().size();
        EXPECT_EQ(w.KeyDatesValid(), c.valid);
        if (c.told.empty()) {
            EXPECT_EQ(Messages().size(), before);
        } else {
            ASSERT_EQ(Messages().size(), before + 1);
            const auto& m = Messages().back();
            EXPECT_EQ(m.title, "Attenzione");
            EXPECT_EQ(m.style, kv::services::style::kExclamation);
            for (const auto& t : c.told) EXPECT_NE(m.text.find(t), std::string::npos) << t << " in " << m.text;
        }
    }
    EXPECT_EQ(Rows(*w.GRD_LISACQ), 0);
}

TEST_P(WindowKey, KeyDatesEnableOpensOnlyTheFirstVisibleDateField) {
    Open(demo::kDittaAbbigliamento);
    auto& w = *window;
    const std::array<std::shared_ptr<ctl::DateField>, 4> fields{w.TXT_DADATA_ACQ, w.TXT_ADATA_ACQ, w.TXT_DADATA_VEN,
                                                                w.TXT_ADATA_VEN};
    std::array<int, 4> focus{};
    std::vector<kv::services::Subscription> subscriptions;
    for (std::size_t i = 0; i < fields.size(); ++i)
        subscriptions.push_back(fields[i]->Changed.Connect([&focus, i](ctl::ControlChange what) {
            if (what == ctl::ControlChange::Focus) ++focus[i];
        }));
    struct Case {
        std::array<bool, 4> hidden;
        int opened;  // index of the field enabled and focused; -1 none
    };
    const Case cases[] = {{{false, false, false, false}, 0},
                          {{true, false, false, false}, 1},
                          {{true, true, false, false}, 2},
                          {{true, true, true, false}, 3},
                          {{true, true, true, true}, -1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.opened);
        focus = {};
        for (std::size_t i = 0; i < fields.size(); ++i) {
            fields[i]->SetEnabled(false);
            fields[i]->SetVisible(!c.hidden[i]);
        }
        w.KeyDatesEnable();
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(fields[i]->Enabled(), i == c.opened) << fields[i]->Name();
            EXPECT_EQ(focus[i], i == c.opened ? 1 : 0) << fields[i]->Name();
        }
    }
}

TEST_P(WindowKey, AnArticleTheGridCannotShowLoadsNothingAndLeavesTheHeaderOpen) {
    struct Case {
        const char* article;
        const char* told;  // the message, or nullptr
    };
    const Case cases[] = {
        {demo::kArticoloTipo0, "La gestione in griglia non è possibile per questo articolo!"},
        // A code the article field does not find is no key: the user is told, and the dates load nothing.
        {"NONCE999", "L'articolo \"NONCE999\" non esiste."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.article);
        Open(demo::kDittaAbbigliamento);
        auto& w = *window;
        LoadKey(c.article);
        if (c.told) {
            ASSERT_EQ(Messages().size(), 1u);
            EXPECT_EQ(Messages().back().text, c.told);
            EXPECT_EQ(Messages().back().title, "Attenzione");
        } else {
            EXPECT_TRUE(Messages().empty());
        }
        EXPECT_TRUE(host->Errors().Reports().empty());
        EXPECT_EQ(Rows(*w.GRD_LISACQ), 0);
        EXPECT_EQ(Rows(*w.GRD_LISVEN), 0);
        EXPECT_FALSE(w.INTERNAV->Enabled());
        // The user corrects the article and confirms the period again.
        for (const auto& f : KeyFields()) EXPECT_TRUE(f->Enabled()) << f->Name();
        Type(*w.TXT_CODART, demo::kArticoloTipo1);
        Type(*w.TXT_ADATA_VEN, "31/12/2025");
        EXPECT_EQ(Rows(*w.GRD_LISACQ), 24);
        EXPECT_FALSE(w.TXT_CODART->Enabled());
        Close();
    }
}

TEST_P(WindowKey, TheVariantFieldDecodesTheSizeAndAnUnknownOneLoadsNothing) {
    Open(demo::kDittaCalzature);
    auto& w = *window;
    LoadKey(demo::kArticoloTipo2);
    ASSERT_EQ(w.State().grid_type, 2);
    EXPECT_EQ(Rows(*w.GRD_LISACQ), 0);  // no size chosen yet
    for (const char* key : {"Conferma", "Annulla", "Elimina", "RICALCOLA"})
        EXPECT_FALSE(w.INTERNAV->ButtonEnabled(key)) << key;

    // A size the variant does not have: nothing decoded, nothing shown, nothing editable.
    Type(*w.TXT_VARIANTE, "99");
    EXPECT_FALSE(w.TXT_VARIANTE->Valid());
    EXPECT_EQ(w.TXT_DESCSEGMENTO->Text(), "");
    EXPECT_EQ(Rows(*w.GRD_LISACQ), 0);
    EXPECT_FALSE(w.GRD_LISACQ->EnableEditing());
    EXPECT_FALSE(w.SideRecordset() && w.SideRecordset()->RecordCount() > 0);

    Type(*w.TXT_VARIANTE, "40");
    EXPECT_TRUE(w.TXT_VARIANTE->Valid());
    EXPECT_NE(w.TXT_DESCSEGMENTO->Text(), "");
    EXPECT_GT(Rows(*w.GRD_LISACQ), 0);
    EXPECT_GT(Rows(*w.GRD_LISVEN), 0);
    EXPECT_TRUE(w.GRD_LISACQ->EnableEditing());
    for (const char* key : {"Conferma", "Annulla", "Elimina", "RICALCOLA"})
        EXPECT_TRUE(w.INTERNAV->ButtonEnabled(key)) << key;
    EXPECT_TRUE(host->Errors().Reports().empty());
}

INSTANTIATE_TEST_SUITE_P(Engines, WindowKey,
                         ::testing::Values(testing::Engine::kSqlite, testing::Engine::kPostgres),
                         testing::EngineParamName());

}  // namespace
}  // namespace qmx
