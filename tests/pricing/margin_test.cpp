#include "pricing/margin.h"

#include <gtest/gtest.h>

#include <string>

#include "pricing/pricing_support.h"
#include "schema/own_tables.h"
#include "support/db_engines.h"

namespace qmx {
namespace {

using kv::Decimal;
using kv::Variant;
using testing::AggiungiParametro;
using testing::AggiungiRiga;

Decimal D(const char* s) { return *Decimal::Parse(s); }
std::string Sei(const Decimal& d) { return d.Round(6).Normalized().ToString(); }

// Every expected figure worked out by hand: (sales - purchase) / sales x 100, both without VAT and in
// the sales currency; rates are units per euro (USD 1.172, GBP 0.8718).
TEST(CalcolaMargine, FiguresWorkedOutByHand) {
    struct Caso {
        const char* nome;
        CifreMargine c;
        const char* acquisto;  // the purchase price without VAT, in the sales currency
        const char* margine;
    };
    const Caso casi[] = {
        {"no VAT", {D("100"), false, D("80"), false, D("22")}, "80", "20"},
        {"sales with VAT", {D("122"), true, D("80"), false, D("22")}, "80", "20"},
        {"purchase with VAT", {D("100"), false, D("97.6"), true, D("22")}, "80", "20"},
        {"both with VAT", {D("122"), true, D("97.6"), true, D("22")}, "80", "20"},
        {"a loss", {D("70"), false, D("80"), false, D("22")}, "80", "-14.285714"},
        {"VAT 4.5 taken out whole", {D("104.5"), true, D("75"), false, D("4.5")}, "75", "25"},
        {"purchase in dollars", {D("150"), false, D("117.2"), false, D("22"), 1, D("1.172")}, "100", "33.333333"},
        {"sales in dollars with VAT", {D("143"), true, D("50"), false, D("10"), D("1.172"), 1}, "58.6", "54.923077"},
        {"pounds to dollars", {D("146.5"), false, D("87.18"), false, D("22"), D("1.172"), D("0.8718")}, "117.2", "20"},
    };
    for (const Caso& k : casi) {
        SCOPED_TRACE(k.nome);
        const auto m = CalcolaMargine(k.c);
        ASSERT_TRUE(m.has_value());
        EXPECT_EQ(Sei(m->acquisto), k.acquisto);
        EXPECT_EQ(Sei(m->percentuale), k.margine);
    }
    EXPECT_FALSE(CalcolaMargine({D("0"), false, D("80"), false, D("22")}).has_value());
}

class MarginiVenditaTest : public testing::PricingDemoTest {};

// The demo's dollar rates of company 1: 1.0389 from 01/01/2025, 1.1789 from 01/07/2025; the article's
// VAT 22 %.
TEST_P(MarginiVenditaTest, RowsFindTheirPurchaseRowAndTheRateOfTheirDay) {
    AggiungiParametro(bench->lis_acq->rstParMagLis, {{"MG44_NUMLIST", 1.0}});
    AggiungiParametro(bench->lis_acq->rstParMagLis, {{"MG44_NUMLIST", 3.0}, {"MG44_VALUTA_CG08", "USD"}});
    AggiungiParametro(bench->lis_ven->rstParMagLis,
                      {{"MG44_NUMLIST", 10.0}, {"MG44_FLGIVACOMPR", 1.0}, {"MG44_NUMLISTACQRIC", 1.0}});
    AggiungiParametro(bench->lis_ven->rstParMagLis, {{"MG44_NUMLIST", 11.0}, {"MG44_NUMLISTACQRIC", 3.0}});
    AggiungiParametro(bench->lis_ven->rstParMagLis, {{"MG44_NUMLIST", 12.0}});
    auto riga = [](double lista, const char* opzione, double netto, const char* valuta = "EURO",
                   kv::Date dal = kv::Date::FromYmd(2025, 1, 1)) {
        return testing::Campi{{"LI10_NUMLIST", lista}, {"BLT_OPZIONE1", opzione}, {"LI10_PREZZO", netto},
                              {"BLT_PREZZONETTO", netto}, {"BLT_VALUTA", valuta}, {"LI10_DATAINIZIOVAL", dal}};
    };
    AggiungiRiga(bench->Acq(), riga(1, "BLU", 80));
    AggiungiRiga(bench->Acq(), riga(3, "BLU", 117.89, "USD"));
    AggiungiRiga(bench->Acq(), riga(3, "ROS", 103.89, "USD"));
    AggiungiRiga(bench->Acq(), riga(3, "GRI", 10, "USD"));
    struct Atteso {
        testing::Campi riga;
        const char* margine;  // "" when there is none
        const char* motivo;
    };
    const Atteso attesi[] = {
        {riga(10, "BLU", 122), "20", ""},
        {riga(11, "BLU", 125, "EURO", kv::Date::FromYmd(2025, 8, 1)), "20", ""},
        {riga(11, "ROS", 90, "EURO", kv::Date::FromYmd(2025, 3, 1)), "-11.111111", ""},
        {riga(11, "GRI", 90, "EURO", kv::Date::FromYmd(2024, 6, 1)), "", "manca il cambio di USD al 01/06/2024"},
        {riga(11, "NER", 50), "", "il listino di acquisto 3 non ha questa opzione"},
        {riga(12, "BLU", 50), "", "il listino 12 non ha un listino di acquisto di riferimento"},
    };
    for (const Atteso& a : attesi) AggiungiRiga(bench->Ven(), a.riga);

    MarginiVendita margini(bench->Context(), [] { return kv::Date::FromYmd(2026, 6, 15); });
    auto ven = bench->Ven()->Clone();
    ven->MoveFirst();
    for (const Atteso& a : attesi) {
        SCOPED_TRACE(a.margine + std::string(" ") + a.motivo);
        const MargineRiga m = margini.Calcola(*ven);
        EXPECT_EQ(m.margine ? Sei(m.margine->percentuale) : std::string(), a.margine);
        EXPECT_EQ(m.motivo, a.motivo);
        EXPECT_EQ(m.Negativo(), std::string(a.margine).starts_with("-"));
        ven->MoveNext();
    }
    EXPECT_TRUE(bench->reports.empty());
}

// A company database made before the rates and the users' choices: reading them creates nothing and
// finds nothing; the first rate asked for, or the first choice kept, creates the table.
TEST_P(MarginiVenditaTest, ADatabaseWithoutTheNewTablesGetsThemOnFirstUse) {
    db().Execute("DROP TABLE QX11_CAMBI");
    db().Execute("DROP TABLE QX12_PREFERENZE");
    EXPECT_EQ(schema::LeggiPreferenza(db(), 1, "anna", "MARGINE"), std::nullopt);
    EXPECT_FALSE(schema::EsisteTabella(db(), schema::kTabellaPreferenze));
    schema::ScriviPreferenza(db(), 1, "anna", "MARGINE", "1");
    schema::ScriviPreferenza(db(), 1, "anna", "MARGINE", "0");
    schema::ScriviPreferenza(db(), 2, "anna", "MARGINE", "1");
    EXPECT_EQ(schema::LeggiPreferenza(db(), 1, "anna", "MARGINE"), "0");
    EXPECT_EQ(schema::LeggiPreferenza(db(), 1, "d'arco", "MARGINE"), std::nullopt);

    AggiungiParametro(bench->lis_acq->rstParMagLis, {{"MG44_NUMLIST", 3.0}, {"MG44_VALUTA_CG08", "USD"}});
    AggiungiParametro(bench->lis_ven->rstParMagLis, {{"MG44_NUMLIST", 11.0}, {"MG44_NUMLISTACQRIC", 3.0}});
    AggiungiRiga(bench->Acq(), {{"LI10_NUMLIST", 3.0}, {"LI10_PREZZO", 10.0}, {"BLT_VALUTA", "USD"}});
    AggiungiRiga(bench->Ven(), {{"LI10_NUMLIST", 11.0}, {"LI10_PREZZO", 20.0}});
    MarginiVendita margini(bench->Context(), [] { return kv::Date::FromYmd(2026, 6, 15); });
    auto ven = bench->Ven()->Clone();
    EXPECT_EQ(margini.Calcola(*ven).motivo, "manca il cambio di USD al 01/01/2025");
    EXPECT_TRUE(schema::EsisteTabella(db(), schema::kTabellaCambi));
}

QMX_INSTANTIATE_ENGINES(MarginiVenditaTest);

}  // namespace
}  // namespace qmx
