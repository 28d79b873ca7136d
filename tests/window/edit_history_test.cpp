// Undo and redo of the grids' changes over a real matrix recordset, and "Da periodo": the stored
// periods listed, the values prepared and refused all or nothing, and what is stored.

#include <gtest/gtest.h>

#include "matrix/matrix_recordset.h"
#include "platform/variant/strings.h"
#include "window/edit_history.h"
#include "platform/services/price_calculation.h"
#include "support/headless_host.h"
#include "window/grid_period.h"

namespace qmx {
namespace {

using kv::Variant;

// A matrix of `n` rows of list `listino`, options O1..On, gross price blank.
kv::ado::RecordsetPtr Matrice(int n, long listino = 1) {
    auto rs = CreateMatrixRecordset();
    rs->Open();
    for (int r = 1; r <= n; ++r) {
        rs->AddNew();
        rs->SetValue("LI10_NUMLIST", Variant(double(listino)));
        rs->SetValue("LI10_OPZIONE_MG5E", Variant("O" + std::to_string(r)));
        rs->SetValue("BLT_VALUTA", Variant(std::string("EURO")));
        rs->Update();
    }
    rs->MoveFirst();
    return rs;
}

std::vector<std::string> Lordi(kv::ado::Recordset& rs) {
    std::vector<std::string> out;
    auto c = rs.Clone();
    for (c->MoveFirst(); !c->IsEOF(); c->MoveNext()) {
        const Variant v = c->Value("LI10_PREZZO");
        out.push_back(kv::IsBlank(v) ? "-" : kv::CStr(v));
    }
    return out;
}

void Scrivi(kv::ado::Recordset& rs, int riga, double prezzo) {
    rs.SetAbsolutePosition(riga);
    rs.SetValue("LI10_PREZZO", Variant(prezzo));
}

TEST(StoricoModifiche, UndoesAndRedoesOneUserActionAtATime) {
    auto acq = Matrice(3);
    StoricoModifiche s;
    s.Ricomincia(acq, nullptr);
    Scrivi(*acq, 1, 5);  // a reload's value, outside any action: nothing to undo
    {
        StoricoModifiche::Azione incolla(s);
        Scrivi(*acq, 1, 10);
        {
            StoricoModifiche::Azione cella(s);  // a cell typed by the paste is part of it
            Scrivi(*acq, 2, 20);
        }
        Scrivi(*acq, 2, 21);
    }
    {
        StoricoModifiche::Azione nulla(s);  // an action that changed nothing is no step
    }
    {
        StoricoModifiche::Azione rettifica(s);
        Scrivi(*acq, 3, 30);
    }
    EXPECT_EQ(s.Passi(), 2u);
    EXPECT_EQ(Lordi(*acq), (std::vector<std::string>{"10", "21", "30"}));
    ASSERT_TRUE(s.Annulla());
    EXPECT_EQ(Lordi(*acq), (std::vector<std::string>{"10", "21", "-"}));
    ASSERT_TRUE(s.Annulla());
    EXPECT_EQ(Lordi(*acq), (std::vector<std::string>{"5", "-", "-"}));
    EXPECT_FALSE(s.Annulla());
    ASSERT_TRUE(s.Ripeti());
    EXPECT_EQ(Lordi(*acq), (std::vector<std::string>{"10", "21", "-"}));
    // A new change after an undo drops what could have been redone.
    {
        StoricoModifiche::Azione cella(s);
        Scrivi(*acq, 3, 33);
    }
    EXPECT_FALSE(s.PuoRipetere());
    ASSERT_TRUE(s.Annulla());
    ASSERT_TRUE(s.Annulla());
    EXPECT_EQ(Lordi(*acq), (std::vector<std::string>{"5", "-", "-"}));
    // Undoing does not move the row the grid stands on.
    acq->SetAbsolutePosition(2);
    ASSERT_TRUE(s.Ripeti());
    EXPECT_EQ(acq->AbsolutePosition(), 2);
    // A matrix emptied and loaded again (a new key) numbers its rows on: the steps still name them.
    acq->UpdateBatch();
    acq->Delete(kv::ado::adAffectGroup);
    acq->UpdateBatch();
    for (int r = 1; r <= 2; ++r) {
        acq->AddNew();
        acq->SetValue("LI10_NUMLIST", Variant(1.0));
        acq->Update();
    }
    s.Ricomincia(acq, nullptr);
    {
        StoricoModifiche::Azione cella(s);
        Scrivi(*acq, 2, 7);
    }
    ASSERT_TRUE(s.Annulla());
    EXPECT_EQ(Lordi(*acq), (std::vector<std::string>{"-", "-"}));
    ASSERT_TRUE(s.Ripeti());
    EXPECT_EQ(Lordi(*acq), (std::vector<std::string>{"-", "7"}));
    // After a save or a cancel the history starts over.
    s.Ricomincia(acq, nullptr);
    EXPECT_FALSE(s.Annulla());
    EXPECT_EQ(Lordi(*acq), (std::vector<std::string>{"-", "7"}));
}

// The stored rows of two periods: 2025 (lists 1 and 2), 2026 (list 1), and a list the window lacks.
kv::ado::RecordsetPtr Memorizzati() {
    auto rs = CreateMatrixRecordset();
    rs->Open();
    auto riga = [&](long listino, const std::string& opzione, int anno, double prezzo, double sconto) {
        rs->AddNew();
        rs->SetValue("LI10_NUMLIST", Variant(double(listino)));
        rs->SetValue("LI10_OPZIONE_MG5E", Variant(opzione));
        rs->SetValue("LI10_DATAINIZIOVAL", Variant(kv::Date::FromYmd(anno, 1, 1)));
        rs->SetValue("LI10_DATAFINEVAL", Variant(kv::Date::FromYmd(anno, 12, 31)));
        rs->SetValue("LI10_PREZZO", Variant(prezzo));
        rs->SetValue("LI10_SC1PER", Variant(sconto));
        rs->SetValue("LI10_PERRICDELTA", Variant(40.0));
        rs->Update();
    };
    riga(1, "O1", 2025, 10, 0);
    riga(2, "O1", 2025, 11, 0);
    riga(1, "O1", 2026, 12.34, 5);
    riga(1, "O2", 2026, 20, 0);
    riga(1, "GONE", 2026, 7, 0);  // an option the article no longer has
    riga(9, "O1", 2026, 1, 0);    // a list the window does not show
    return rs;
}

TEST(DaPeriodo, ListsPeriodsAndCopiesChangedPricesAsTypedCells) {
    auto memorizzati = Memorizzati();
    const auto periodi = PeriodiMemorizzati(*memorizzati, {1, 2});
    ASSERT_EQ(periodi.size(), 2u);
    EXPECT_EQ(DescriviPeriodo(periodi[0]), "01/01/2026 - 31/12/2026 (listino 1: 3 righe)");
    EXPECT_EQ(DescriviPeriodo(periodi[1]), "01/01/2025 - 31/12/2025 (listini 1, 2: 2 righe)");

    auto matrice = Matrice(3);
    matrice->SetFilter("LI10_OPZIONE_MG5E = 'O3'");  // rows the grid does not show are reached too
    CopiaPeriodo copia{periodi[0].inizio, periodi[0].fine, Adjustment{true, kv::Decimal(5)},
                       [](const kv::Decimal& v, const std::string&) { return v.Round(0); }};
    auto preparato = PreparaPeriodo(*matrice, *memorizzati, copia, nullptr);
    EXPECT_EQ(preparato.esito.senza_origine, 1);
    EXPECT_EQ(preparato.esito.solo_origine, std::vector<std::string>{"listino 1, opzione GONE"});
    long nette = 0;
    ScriviPeriodo(*matrice, preparato, [&] { ++nette; });
    EXPECT_EQ(preparato.esito.righe, 2);
    EXPECT_EQ(preparato.esito.celle, 5);  // 13 and 21, a discount of 5, two recharges
    EXPECT_EQ(nette, 2);
    EXPECT_EQ(kv::CStr(matrice->Filter()), "LI10_OPZIONE_MG5E = 'O3'");
    matrice->SetFilter(Variant(int16_t{0}));
    EXPECT_EQ(Lordi(*matrice), (std::vector<std::string>{"13", "21", "-"}));
    matrice->MoveFirst();
    EXPECT_EQ(kv::CDbl(matrice->Value("LI10_SC1PER")), 5);
    EXPECT_EQ(kv::CDbl(matrice->Value("LI10_PERRICDELTA")), 40);
    EXPECT_NE(RapportoPeriodo(preparato.esito).find("Opzioni presenti solo nel periodo di origine"),
              std::string::npos);
}

TEST(DaPeriodo, APriceTheRuleRefusesRefusesTheWholeCopy) {
    auto memorizzati = Memorizzati();
    auto matrice = Matrice(2);
    RegolaPrezzi regola(nullptr, [](const Variant&) { return std::optional<int>(2); });
    // 12,34 - 15 is below zero.
    CopiaPeriodo copia{kv::Date::FromYmd(2026, 1, 1), kv::Date::FromYmd(2026, 12, 31),
                       Adjustment{false, kv::Decimal(-15)}, {}};
    auto preparato = PreparaPeriodo(*matrice, *memorizzati, copia, &regola);
    EXPECT_NE(preparato.esito.errore.find("negativo"), std::string::npos) << preparato.esito.errore;
    ScriviPeriodo(*matrice, preparato, {});
    EXPECT_EQ(Lordi(*matrice), (std::vector<std::string>{"-", "-"}));

    // The net price is judged on what the row will hold: a discount of the grid's row that the copy
    // replaces with the period's blank (stored as 0) does not count. 10 - 9 is 1, not 10 * 50 % - 9.
    auto rs = Memorizzati();
    rs->MoveFirst();
    rs->SetValue("LI10_PREZZO", Variant(10.0));
    rs->SetValue("LI10_SC1PER", Variant::Null());
    rs->SetValue("LI10_SCIMP", Variant(9.0));
    rs->Update();
    matrice->MoveFirst();
    matrice->SetValue("LI10_SC1PER", Variant(50.0));
    testing::HeadlessHost host;  // the currencies' decimals the calculation reads
    auto calcolo = std::make_shared<kv::services::HostPriceCalculation>();
    calcolo->SetGlobalServices(host.global);
    RegolaPrezzi con_netto(calcolo, [](const Variant&) { return std::optional<int>(2); });
    auto accettato = PreparaPeriodo(*matrice, *rs, CopiaPeriodo{kv::Date::FromYmd(2025, 1, 1),
                                                                kv::Date::FromYmd(2025, 12, 31), {}, {}},
                                    &con_netto);
    EXPECT_EQ(accettato.esito.errore, "");
    EXPECT_EQ(accettato.righe.size(), 1u);
}

}  // namespace
}  // namespace qmx
