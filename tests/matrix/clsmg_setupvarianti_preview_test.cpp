// What "Conferma" says before it writes: the save preview must list exactly what the save then
// writes, and the overlap check must find a stored period that shares days with the one being saved
// but not one that only touches it.

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "matrix/clsmg_setupvarianti.h"
#include "matrix/matrix_recordset.h"
#include "platform/services/global_services.h"
#include "schema/demo/demo.h"
#include "shell/clsmg_quendormixal.h"
#include "shell/modmg_quendormixal.h"
#include "support/db_engines.h"
#include "support/demo_drivers.h"
#include "window/save_preview.h"

namespace qmx {
namespace {

using kv::Variant;

class SavePreviewTest : public qmx::testing::DemoEngineTest {
protected:
    void SetUp() override {
        DemoEngineTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        db().Execute("UPDATE MG44_PARMAGLIST SET MG44_INDPROPDATAINI = 0, MG44_INDPROPDATAFINE = 0");
    }

    // The purchase matrix of SCI001 (grid type 1) for a period, loaded as the window loads it.
    std::shared_ptr<CLSMG_SETUPVARIANTI> Driver(const std::string& dal, const std::string& al) {
        keep_.push_back(testing::HostInterface(demo::kDittaAbbigliamento, database().connection_string(),
                                               database().connection()));
        return testing::LoadedMatrixDriver(keep_.back(), database().connection(), demo::kArticoloTipo1, "", dal, al);
    }

    void Imposta(CLSMG_SETUPVARIANTI& d, long riga, const char* campo, double valore) {
        auto& rs = *d.Recordset();
        rs.MoveFirst();
        rs.Move(riga);
        rs.SetValue(campo, Variant(valore));
        rs.Update();
    }

    double Memorizzato(const RigaAnteprima& r, const char* campo) {
        auto rs = db().Execute(std::string("SELECT ") + campo +
                               " FROM LI10_LISTARTIC WHERE LI10_DITTA_CG18 = 1 AND LI10_FLGVENDACQ = 1"
                               " AND LI10_CODART_MG66 = 'SCI001' AND LI10_DATAINIZIOVAL = '20250101'"
                               " AND LI10_NUMLIST = " + kv::CStr(r.lista) + " AND LI10_OPZIONE_MG5E = '" +
                               r.codice + "'");
        EXPECT_EQ(rs->RecordCount(), 1) << r.codice;
        return rs->RecordCount() == 1 ? kv::CDbl(NZ(rs->Value(0))) : -1;
    }

    std::vector<std::shared_ptr<CLSMG_QUENDORMIXAL>> keep_;
};

TEST_P(SavePreviewTest, ThePreviewListsWhatTheSaveWrites) {
    auto d = Driver("01/01/2025", "31/12/2025");
    Imposta(*d, 0, "LI10_PREZZO", 36.5);   // list 1: a stored row changes
    Imposta(*d, 1, "LI10_SC1PER", 5);
    Imposta(*d, 8, "LI10_PREZZO", 12.5);   // list 2: no stored row, inserted with its price
    const AnteprimaSalvataggio a = AnteprimaDi(*d);
    EXPECT_EQ(a.inserite, 1);
    EXPECT_EQ(a.aggiornate, 2);
    EXPECT_EQ(a.celle, 3);
    ASSERT_EQ(a.totali.size(), 2u) << "list 3 has nothing to write";
    const std::string testo = TestoAnteprima(a, {});
    EXPECT_NE(testo.find("Listino 2 (dal 01/01/2025 al 31/12/2025): 1 da inserire, 0 da aggiornare, 1 cella cambiata"),
              std::string::npos)
        << testo;
    EXPECT_NE(testo.find("riga nuova, listino 2 opzione BEI, Prezzo lordo: 12,5"), std::string::npos) << testo;
    EXPECT_NE(testo.find("Listini di Vendita: nessuna riga da scrivere"), std::string::npos) << testo;

    auto conta = [&](const std::string& lista) {
        return kv::CLng(db().Execute("SELECT COUNT(*) FROM LI10_LISTARTIC WHERE LI10_DITTA_CG18 = 1 AND "
                                     "LI10_FLGVENDACQ = 1 AND LI10_CODART_MG66 = 'SCI001' AND "
                                     "LI10_DATAINIZIOVAL = '20250101' AND LI10_NUMLIST = " + lista)
                            ->Value(0));
    };
    const long lista1 = conta("1");
    d->UpdateBatch();
    ASSERT_EQ(d->State(), 0);
    // The rows the preview counted are the rows written, and every cell it listed holds the new value.
    EXPECT_EQ(conta("1"), lista1);
    EXPECT_EQ(conta("2"), 1);
    EXPECT_EQ(conta("3"), 0);
    const std::map<std::string, const char*> campi = {{"Prezzo lordo", "LI10_PREZZO"}, {"Sc.%1", "LI10_SC1PER"}};
    long celle = 0;
    for (const auto& r : a.righe)
        for (const auto& c : r.celle) {
            ++celle;
            EXPECT_EQ(Memorizzato(r, campi.at(c.colonna)), kv::CDbl(c.nuovo)) << r.opzione << " " << c.colonna;
        }
    EXPECT_EQ(celle, 3);

    // Saved: nothing is left to write.
    const AnteprimaSalvataggio dopo = AnteprimaDi(*d);
    EXPECT_EQ(dopo.inserite + dopo.aggiornate + dopo.celle, 0);
    EXPECT_TRUE(dopo.totali.empty());
}

// The overlap warning speaks only of rows the save writes, naming each list with the period it is saved
// with; a stored period that shares a single day overlaps, one that ends the day before does not.
TEST_P(SavePreviewTest, OnlyPeriodsThatShareDaysOverlap) {
    auto prezza = [&](CLSMG_SETUPVARIANTI& d, long da, long a) {
        for (long i = da; i < a; ++i) Imposta(d, i, "LI10_PREZZO", 20 + i);
    };
    // Stored: 2024 and 2026 (each only touches 2025) for every option of list 1.
    for (const auto& [dal, al] : {std::pair{"01/01/2024", "31/12/2024"}, std::pair{"01/01/2026", "31/12/2026"}}) {
        auto d = Driver(dal, al);
        prezza(*d, 0, 8);
        d->UpdateBatch();
        ASSERT_EQ(d->State(), 0);
    }
    auto d = Driver("01/01/2025", "31/12/2025");
    EXPECT_TRUE(d->PeriodiSovrapposti().empty()) << "nothing to write";
    prezza(*d, 0, 16);
    EXPECT_TRUE(d->PeriodiSovrapposti().empty());

    // From 31/12/2025 to 31/01/2026, list 2 only: it shares the last day of 2025.
    auto s = Driver("31/12/2025", "31/01/2026");
    prezza(*s, 8, 16);
    s->UpdateBatch();
    ASSERT_EQ(s->State(), 0);
    auto trovati = d->PeriodiSovrapposti();
    ASSERT_EQ(trovati.size(), 8u);
    EXPECT_EQ(trovati.front().inizio_memorizzato, kv::Date::FromYmd(2025, 12, 31));
    std::string t = TestoSovrapposizioni(trovati, {});
    EXPECT_NE(t.find("Listini di Acquisto: listino 2 (8 opzioni, dal 01/01/2025 al 31/12/2025)\n"), std::string::npos)
        << t;

    // A matrix that writes only list 1 overlaps nothing: list 2's rows are not saved.
    auto solo1 = Driver("01/01/2025", "31/12/2025");
    prezza(*solo1, 0, 8);
    EXPECT_TRUE(solo1->PeriodiSovrapposti().empty());
    // And one whose rows start the day the stored one ends overlaps it too.
    auto e = Driver("31/01/2026", "28/02/2026");
    prezza(*e, 8, 9);
    trovati = e->PeriodiSovrapposti();
    ASSERT_EQ(trovati.size(), 1u);
    t = TestoSovrapposizioni({}, trovati);
    EXPECT_NE(t.find("Listini di Vendita: listino 2 (1 opzione, dal 31/01/2026 al 28/02/2026)"), std::string::npos) << t;
    EXPECT_TRUE(TestoSovrapposizioni({}, {}).empty());
}

// A list whose period starts today (to 31/12/2099): a price saved yesterday is not on today's grid, and
// typing it again would store a second price for the same days; the warning says so before writing.
TEST_P(SavePreviewTest, APriceSavedWithYesterdaysProposedPeriodOverlapsTodays) {
    db().Execute("UPDATE MG44_PARMAGLIST SET MG44_INDPROPDATAINI = 3, MG44_INDPROPDATAFINE = 3 WHERE "
                 "MG44_DITTA_CG18 = 1 AND MG44_FLGVENACQ = 1 AND MG44_NUMLIST = 3");
    auto ieri = Driver("01/01/2025", "31/12/2025");
    ieri->SetOggi([] { return kv::Date::FromYmd(2026, 6, 14); });
    ieri->ReLoadVarianti();
    Imposta(*ieri, 16, "LI10_PREZZO", 9.5);  // list 3, Beige
    ieri->UpdateBatch();
    ASSERT_EQ(ieri->State(), 0);
    auto oggi = Driver("01/01/2025", "31/12/2025");
    oggi->SetOggi([] { return kv::Date::FromYmd(2026, 6, 15); });
    oggi->ReLoadVarianti();
    auto riga = oggi->Recordset()->Clone();
    riga->Move(16);
    EXPECT_TRUE(riga->Value("LI10_PREZZO").IsNull()) << "yesterday's row has another period";
    Imposta(*oggi, 16, "LI10_PREZZO", 9.5);
    const auto trovati = oggi->PeriodiSovrapposti();
    ASSERT_EQ(trovati.size(), 1u);
    EXPECT_EQ(trovati.front().inizio_memorizzato, kv::Date::FromYmd(2026, 6, 14));
    const std::string t = TestoSovrapposizioni(trovati, {});
    EXPECT_NE(t.find("listino 3 (1 opzione, dal 15/06/2026 al 31/12/2099)"), std::string::npos) << t;
}

// The detail lines stop at the limit in each kind on its own, and say how many cells they left out;
// the totals are whole whatever the limit.
TEST(SavePreviewText, TheDetailStopsAtTheLimitOfEachKind) {
    auto anteprima = [](int righe) {
        AnteprimaSalvataggio a;
        for (int i = 0; i < righe; ++i) {
            RigaAnteprima r;
            r.insert = i % 2 == 0;
            r.lista = kv::Variant(int16_t{1});
            r.opzione = "C" + std::to_string(i);
            r.celle = {{"Prezzo lordo", kv::Variant(1234.5), kv::Variant(1250.0)},
                       {"Sc.%1", kv::Variant::Null(), kv::Variant(10.0)}};
            (r.insert ? a.inserite : a.aggiornate) += 1;
            a.celle += 2;
            a.righe.push_back(std::move(r));
        }
        a.totali.push_back({kv::Variant(int16_t{1}), kv::Variant(kv::Date::FromYmd(2025, 1, 1)),
                            kv::Variant(kv::Date::FromYmd(2025, 12, 31)), a.inserite, a.aggiornate, a.celle});
        return a;
    };
    auto righe_dettaglio = [](const std::string& t) {
        long n = 0;
        for (std::size_t p = t.find("    riga "); p != std::string::npos; p = t.find("    riga ", p + 1)) ++n;
        return n;
    };
    const std::string t = TestoAnteprima(anteprima(5), anteprima(2), 3);
    EXPECT_EQ(righe_dettaglio(t), 3 + 3);
    EXPECT_NE(t.find("    \u2026 e altre 7 celle\n"), std::string::npos) << t;
    EXPECT_NE(t.find("    \u2026 e altre 1 celle\n"), std::string::npos) << t;
    EXPECT_NE(t.find("Listini di Acquisto: 3 righe da inserire, 2 da aggiornare, 10 celle cambiate\n"), std::string::npos)
        << t;
    EXPECT_NE(t.find("riga modificata, listino 1 opzione C1, Prezzo lordo: 1.234,5 \u2192 1.250\n"), std::string::npos)
        << t;
    const std::string tutto = TestoAnteprima(anteprima(5), anteprima(2), 14);
    EXPECT_EQ(righe_dettaglio(tutto), 10 + 4);
    EXPECT_EQ(tutto.find("e altre"), std::string::npos) << tutto;
}

QMX_INSTANTIATE_ENGINES(SavePreviewTest);

}  // namespace
}  // namespace qmx
