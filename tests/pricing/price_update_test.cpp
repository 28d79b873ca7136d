#include "pricing/price_update.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "pricing/price_breakdown.h"
#include "pricing/pricing_support.h"
#include "shell/modmg_quendormixal.h"
#include "support/db_engines.h"

namespace qmx {
namespace {

using kv::Variant;
using testing::AggiungiParametro;
using testing::AggiungiRiga;
using testing::Campi;
using testing::PricingBench;

class PriceUpdateTest : public testing::PricingDemoTest {};

Variant N() { return Variant::Null(); }

struct Caso {
    const char* nome;
    Campi listino_ven;  // sales list 10
    Campi listino_acq;  // purchase list 1
    Campi riga_acq;
    Campi riga_ven;
    double prezzo;                       // expected LI10_PREZZO
    std::optional<Variant> ricarico = std::nullopt;     // expected LI10_PERRICDELTA
    std::optional<Variant> arrotondato = std::nullopt;  // expected LI10_INDARROT
    std::optional<Variant> scaglione = std::nullopt;    // expected LI10_SCAGL_MG02
    const char* articolo = demo::kArticoloTipo4;  // VAT 22, rounds with bracket 2
};

bool Uguale(const Variant& a, const Variant& b) {
    if (a.IsNull() || b.IsNull()) return a.IsNull() && b.IsNull();
    return kv::CDbl(a) == kv::CDbl(b);
}

// Every pricing mode the update knows, with the sales row it must leave.
const std::vector<Caso>& Casi() {
    static const std::vector<Caso> casi = {
        {"default recharge fills a row without price and recharge",
         {{"MG44_RICDEFAULT", 25.0}},
         {},
         {{"LI10_PREZZO", 80.0}},
         {},
         100,
         Variant(25.0)},
        {"a row with a price keeps its recharge 0",
         {{"MG44_RICDEFAULT", 25.0}},
         {},
         {{"LI10_PREZZO", 80.0}},
         {{"LI10_PREZZO", 50.0}, {"LI10_PERRICDELTA", 0.0}},
         80,
         Variant(0.0)},
        {"own recharge kept",
         {{"MG44_RICDEFAULT", 25.0}},
         {},
         {{"LI10_PREZZO", 80.0}},
         {{"LI10_PERRICDELTA", 10.0}},
         88,
         Variant(10.0)},
        {"recharge in exact decimals",
         {{"MG44_RICDEFAULT", 33.33}},
         {},
         {{"LI10_PREZZO", 0.3}},
         {},
         0.39999,
         Variant(33.33)},
        {"purchase with VAT, sales without: VAT taken out",
         {{"MG44_RICDEFAULT", 25.0}, {"MG44_FLGIVACOMPR", 0.0}},
         {{"MG44_FLGIVACOMPR", 1.0}},
         {{"LI10_PREZZO", 97.6}},
         {},
         100},
        {"purchase without VAT, sales with: VAT added",
         {{"MG44_RICDEFAULT", 25.0}, {"MG44_FLGIVACOMPR", 1.0}},
         {{"MG44_FLGIVACOMPR", 0.0}},
         {{"LI10_PREZZO", 80.0}},
         {},
         122},
        {"equal VAT flags leave the price",
         {{"MG44_RICDEFAULT", 25.0}, {"MG44_FLGIVACOMPR", 1.0}},
         {{"MG44_FLGIVACOMPR", 1.0}},
         {{"LI10_PREZZO", 80.0}},
         {},
         100},
        {"a Null VAT flag converts nothing",
         {{"MG44_RICDEFAULT", 25.0}, {"MG44_FLGIVACOMPR", N()}},
         {{"MG44_FLGIVACOMPR", 0.0}},
         {{"LI10_PREZZO", 80.0}},
         {},
         100},
        {"a Null VAT flag on the sales list leaves a VAT-inclusive purchase price",
         {{"MG44_INDMODRICZERO", 2.0}, {"MG44_FLGIVACOMPR", N()}},
         {{"MG44_FLGIVACOMPR", 1.0}},
         {{"LI10_PREZZO", 75.0}},
         {},
         75},
        {"the recharge applies to the purchase net price, not the gross",
         {{"MG44_RICDEFAULT", 25.0}},
         {},
         {{"LI10_PREZZO", 80.0}, {"LI10_SC1PER", 10.0}, {"BLT_PREZZONETTO", 72.0}},
         {},
         90,
         Variant(25.0)},
        {"a discounted purchase row with its own recharge",
         {{"MG44_RICDEFAULT", 25.0}},
         {},
         {{"LI10_PREZZO", 50.0}, {"LI10_SC1PER", 20.0}, {"LI10_SC2PER", 10.0}, {"BLT_PREZZONETTO", 36.0}},
         {{"LI10_PERRICDELTA", 50.0}},
         54,
         Variant(50.0)},
        {"zero recharge ignores the row's recharge; mode 1 copies",
         {{"MG44_RICDEFAULT", 0.0}, {"MG44_INDMODRICZERO", 1.0}},
         {},
         {{"LI10_PREZZO", 80.0}, {"LI10_SC1PER", 10.0}},
         {{"LI10_PERRICDELTA", 30.0}},
         80,
         Variant(30.0)},
        {"mode 0 leaves the price, also with differing VAT flags",
         {{"MG44_INDMODRICZERO", 0.0}, {"MG44_FLGIVACOMPR", 0.0}},
         {{"MG44_FLGIVACOMPR", 1.0}},
         {{"LI10_PREZZO", 80.0}},
         {{"LI10_PREZZO", 50.0}},
         50},
        {"mode 2 takes the purchase gross price",
         {{"MG44_INDMODRICZERO", 2.0}},
         {},
         {{"LI10_PREZZO", 80.0}, {"LI10_SC1PER", 10.0}},
         {},
         80},
        {"mode 3 takes the purchase net price",
         {{"MG44_INDMODRICZERO", 3.0}},
         {},
         {{"LI10_PREZZO", 80.0}, {"LI10_SC1PER", 10.0}, {"BLT_PREZZONETTO", 72.0}},
         {},
         72},
        {"mode 2 in a 3-decimal currency",
         {{"MG44_INDMODRICZERO", 2.0}},
         {},
         {{"LI10_PREZZO", 12.34567}, {"BLT_VALUTA", "KWD"}},
         {},
         12.346},
        {"mode 2 in a 0-decimal currency",
         {{"MG44_INDMODRICZERO", 2.0}},
         {},
         {{"LI10_PREZZO", 12.34567}, {"BLT_VALUTA", "JPY"}},
         {},
         12},
        {"zero recharge converts, then rounds",
         {{"MG44_INDMODRICZERO", 2.0},
          {"MG44_FLGIVACOMPR", 0.0},
          {"MG44_INDARRPREZZO", 2.0},
          {"MG44_SCAGL_MG02", 2.0}},
         {{"MG44_FLGIVACOMPR", 1.0}},
         {{"LI10_PREZZO", 100.0}},
         {},
         82,
         std::nullopt,
         Variant(1.0),
         Variant(2.0)},
        {"rounding source 0 clears indicator and bracket",
         {{"MG44_RICDEFAULT", 25.0}, {"MG44_INDARRPREZZO", 0.0}},
         {},
         {{"LI10_PREZZO", 80.0}},
         {{"LI10_INDARROT", 1.0}, {"LI10_SCAGL_MG02", 3.0}},
         100,
         std::nullopt,
         Variant(0.0),
         N()},
        {"rounding source 1: the article's bracket",
         {{"MG44_RICDEFAULT", 23.45}, {"MG44_INDARRPREZZO", 1.0}},
         {},
         {{"LI10_PREZZO", 80.0}},
         {},
         98.8,
         std::nullopt,
         Variant(1.0),
         Variant(2.0)},
        {"rounding source 1, article not rounded: nothing changes",
         {{"MG44_RICDEFAULT", 23.45}, {"MG44_INDARRPREZZO", 1.0}},
         {},
         {{"LI10_PREZZO", 80.0}},
         {{"LI10_INDARROT", 1.0}, {"LI10_SCAGL_MG02", 3.0}},
         98.76,
         std::nullopt,
         Variant(1.0),
         Variant(3.0),
         demo::kArticoloSenzaGestione},
        {"rounding source 2 without a list bracket: nothing changes",
         {{"MG44_RICDEFAULT", 23.45}, {"MG44_INDARRPREZZO", 2.0}},
         {},
         {{"LI10_PREZZO", 80.0}},
         {},
         98.76,
         std::nullopt,
         Variant(0.0),
         N()},
        {"rounding source 2 in a 0-decimal currency",
         {{"MG44_RICDEFAULT", 23.45},
          {"MG44_INDARRPREZZO", 2.0},
          {"MG44_SCAGL_MG02", 2.0},
          {"MG44_VALUTA_CG08", "JPY"}},
         {},
         {{"LI10_PREZZO", 80.0}},
         {},
         99,
         std::nullopt,
         Variant(1.0),
         Variant(2.0)},
        {"rounding source 2 in a 3-decimal currency",
         {{"MG44_RICDEFAULT", 23.45},
          {"MG44_INDARRPREZZO", 2.0},
          {"MG44_SCAGL_MG02", 3.0},
          {"MG44_VALUTA_CG08", "KWD"}},
         {},
         {{"LI10_PREZZO", 80.0}},
         {},
         98,
         std::nullopt,
         Variant(1.0),
         Variant(3.0)},
    };
    return casi;
}

// List 10 (sales, referring to purchase list 1) and one row of each, as the case gives them.
void Prepara(PricingBench& b, const Caso& c) {
    b.article = c.articolo;
    Campi ven = {{"MG44_NUMLIST", 10.0}, {"MG44_NUMLISTACQRIC", 1.0}};
    ven.insert(ven.end(), c.listino_ven.begin(), c.listino_ven.end());
    AggiungiParametro(b.lis_ven->rstParMagLis, ven);
    Campi acq = {{"MG44_NUMLIST", 1.0}};
    acq.insert(acq.end(), c.listino_acq.begin(), c.listino_acq.end());
    AggiungiParametro(b.lis_acq->rstParMagLis, acq);
    Campi riga_acq = {{"LI10_NUMLIST", 1.0}};
    riga_acq.insert(riga_acq.end(), c.riga_acq.begin(), c.riga_acq.end());
    AggiungiRiga(b.Acq(), riga_acq);
    Campi riga_ven = {{"LI10_NUMLIST", 10.0}};
    riga_ven.insert(riga_ven.end(), c.riga_ven.begin(), c.riga_ven.end());
    AggiungiRiga(b.Ven(), riga_ven);
}

// The breakdown's numbers: a point every three digits of the whole part, a comma before the decimals,
// the sign before both; with a number of decimals, rounded half away from zero and padded.
TEST(PriceBreakdownNumbers, ThousandsAreGroupedWithAPoint) {
    using kv::Decimal;
    const std::pair<const char*, const char*> esatti[] = {
        {"0", "0"},           {"999", "999"},           {"1000", "1.000"},       {"-1000", "-1.000"},
        {"123456", "123.456"}, {"1234567.891", "1.234.567,891"}, {"-1234.5", "-1.234,5"}, {"0.125", "0,125"},
    };
    for (const auto& [numero, atteso] : esatti) EXPECT_EQ(NumeroItaliano(*Decimal::Parse(numero)), atteso) << numero;
    struct Caso {
        const char* numero;
        int decimali;
        const char* atteso;
    };
    const Caso arrotondati[] = {
        {"1234.5", 2, "1.234,50"}, {"999999.995", 2, "1.000.000,00"}, {"-0.005", 2, "-0,01"},
        {"12", 0, "12"},           {"1234.5", 0, "1.235"},             {"7", 3, "7,000"},
    };
    for (const auto& c : arrotondati) EXPECT_EQ(NumeroItaliano(*Decimal::Parse(c.numero), c.decimali), c.atteso) << c.numero;
    EXPECT_EQ(NumeroItaliano(1234.5), "1.234,5");
}

TEST_P(PriceUpdateTest, AggiornaPrezzoDerivesTheSalesRow) {
    for (const auto& c : Casi()) {
        SCOPED_TRACE(c.nome);
        PricingBench b(database().connection());
        Prepara(b, c);
        PriceUpdate p(b.Context());
        p.AggiornaPrezzo();

        EXPECT_TRUE(b.reports.empty()) << b.reports.front().first << " " << b.reports.front().second;
        EXPECT_NEAR(kv::CDbl(b.Ven()->Value("LI10_PREZZO")), c.prezzo, 1e-9);
        const Variant nessuno = Variant::Empty();
        EXPECT_TRUE(!c.ricarico || Uguale(b.Ven()->Value("LI10_PERRICDELTA"), c.ricarico.value_or(nessuno)));
        EXPECT_TRUE(!c.arrotondato ||
                    Uguale(b.Ven()->Value("LI10_INDARROT"), c.arrotondato.value_or(nessuno)))
            << kv::CStr(b.Ven()->Value("LI10_INDARROT"));
        EXPECT_TRUE(!c.scaglione || Uguale(b.Ven()->Value("LI10_SCAGL_MG02"), c.scaglione.value_or(nessuno)));
    }
}

// The breakdown of a derived sales row tells the figures the update wrote and the grid shows: the
// gross price after the VAT conversion and the bracket, the net price, and the purchase row's net price.
TEST_P(PriceUpdateTest, TheBreakdownGivesTheGridsFigures) {
    for (const auto& c : Casi()) {
        SCOPED_TRACE(c.nome);
        PricingBench b(database().connection());
        Prepara(b, c);
        PriceUpdate p(b.Context());
        p.RegistraDerivazioni(true);
        p.AggiornaPrezzo();
        auto ven = b.Ven();
        const DettaglioPrezzo d = DettaglioRiga(*b.ven, *ven, &p, true);
        ASSERT_TRUE(d.passi);
        EXPECT_NEAR(d.passi->inputs.gross.ToDouble(), kv::CDbl(NZ(ven->Value("LI10_PREZZO"))), 1e-9);
        EXPECT_EQ(d.passi->net.ToDouble(), kv::CDbl(ven->Value("BLT_PREZZONETTO")));
        ASSERT_TRUE(d.derivazione);
        const DerivazionePrezzo& der = *d.derivazione;
        if (!der.calcolato) continue;  // mode 0: nothing derived, the price stays
        const double finale = der.arrotondamento ? der.arrotondamento->rounded.ToDouble() : der.prezzo_iva;
        EXPECT_NEAR(finale, kv::CDbl(ven->Value("LI10_PREZZO")), 1e-9);
        if (der.ricarica) {
            EXPECT_EQ(der.netto_acq.ToDouble(), kv::CDbl(b.Acq()->Value("BLT_PREZZONETTO")));
            EXPECT_NEAR((der.netto_acq + der.ricarico / kv::Decimal(100) * der.netto_acq).ToDouble(), der.prezzo, 1e-9);
        }
        // A bracket rounded the price exactly when the row ends rounded without having been so before.
        bool gia_arrotondata = false;
        for (const auto& [campo, valore] : c.riga_ven) gia_arrotondata |= campo == "LI10_INDARROT";
        const bool arrotondata = c.arrotondato && kv::CDbl(*c.arrotondato) == 1 && !gia_arrotondata;
        EXPECT_EQ(der.arrotondamento.has_value(), arrotondata);
        if (der.arrotondamento) {
            EXPECT_TRUE(Uguale(Variant(der.arrotondamento->bracket), *c.scaglione));
        }
        // A row added to the sales matrix (as a reload adds them) ends what was kept: the bookmarks
        // kept may name other rows now.
        auto altra = ven->Clone();
        altra->AddNew();
        altra->Update();
        EXPECT_FALSE(p.Derivazione(*ven));
    }
}

TEST_P(PriceUpdateTest, CopyModeTakesEveryPriceFieldAndRecomputesTheNetPrice) {
    AggiungiParametro(bench->lis_ven->rstParMagLis, {{"MG44_NUMLIST", 10.0}, {"MG44_INDMODRICZERO", 1.0}});
    AggiungiParametro(bench->lis_acq->rstParMagLis, {{"MG44_NUMLIST", 1.0}});
    AggiungiRiga(bench->Acq(), {{"LI10_NUMLIST", 1.0}, {"LI10_PREZZO", 80.0}, {"LI10_SC1PER", 10.0},
                                {"LI10_MAGIMP", 2.0}, {"BLT_PREZZONETTO", 1.0}});
    AggiungiRiga(bench->Ven(), {{"LI10_NUMLIST", 10.0}, {"LI10_SC2PER", 7.0}});
    PriceUpdate(bench->Context()).AggiornaPrezzo();
    EXPECT_EQ(kv::CDbl(bench->Ven()->Value("LI10_SC1PER")), 10.0);
    EXPECT_EQ(kv::CDbl(bench->Ven()->Value("LI10_SC2PER")), 0.0);  // blank in the purchase row
    EXPECT_EQ(kv::CDbl(bench->Ven()->Value("LI10_MAGIMP")), 2.0);
    // The copied net price is the purchase row's stale one; the sales row's own is computed again.
    EXPECT_NEAR(kv::CDbl(bench->Ven()->Value("BLT_PREZZONETTO")), 74.0, 1e-9);
}

TEST_P(PriceUpdateTest, ModeZeroDoesNotConvertAgainOnEveryRun) {
    AggiungiParametro(bench->lis_ven->rstParMagLis,
                      {{"MG44_NUMLIST", 10.0}, {"MG44_INDMODRICZERO", 0.0}, {"MG44_FLGIVACOMPR", 1.0}});
    AggiungiParametro(bench->lis_acq->rstParMagLis, {{"MG44_NUMLIST", 1.0}, {"MG44_FLGIVACOMPR", 0.0}});
    AggiungiRiga(bench->Acq(), {{"LI10_NUMLIST", 1.0}, {"LI10_PREZZO", 80.0}});
    AggiungiRiga(bench->Ven(), {{"LI10_NUMLIST", 10.0}, {"LI10_PREZZO", 100.0}});
    PriceUpdate p(bench->Context());
    for (int run = 0; run < 3; ++run) p.AggiornaPrezzo();
    EXPECT_EQ(kv::CDbl(bench->Ven()->Value("LI10_PREZZO")), 100.0);
}

TEST_P(PriceUpdateTest, VatRatesWithHalvesAreKeptExact) {
    db().Execute(
        "INSERT INTO CG28_TABCODIVA (CG28_CODICE, CG28_DESCR, CG28_PERCIVA) VALUES ('55', 'x', 5.5)");
    db().Execute(
        "INSERT INTO CG28_TABCODIVA (CG28_CODICE, CG28_DESCR, CG28_PERCIVA) VALUES ('45', 'y', 4.5)");
    struct {
        const char* codice;
        int flag_acq, flag_ven;
        double acquisto, atteso;
    } casi[] = {
        {"55", 0, 1, 80.0, 105.5},  // 100 + 5.5 %, not 6 %
        {"45", 1, 0, 83.6, 100.0},  // 104.5 less 4.5 %, not 4 %
    };
    for (const auto& c : casi) {
        SCOPED_TRACE(c.codice);
        db().Execute(std::string("UPDATE MG66_ANAGRART SET MG66_ALIVA_CG28 = '") + c.codice +
                     "' WHERE MG66_DITTA_CG18 = 1 AND MG66_CODART = 'MAG001'");
        PricingBench b(database().connection());
        AggiungiParametro(
            b.lis_ven->rstParMagLis,
            {{"MG44_NUMLIST", 10.0}, {"MG44_RICDEFAULT", 25.0}, {"MG44_FLGIVACOMPR", double(c.flag_ven)}});
        AggiungiParametro(b.lis_acq->rstParMagLis,
                          {{"MG44_NUMLIST", 1.0}, {"MG44_FLGIVACOMPR", double(c.flag_acq)}});
        AggiungiRiga(b.Acq(), {{"LI10_NUMLIST", 1.0}, {"LI10_PREZZO", c.acquisto}});
        AggiungiRiga(b.Ven(), {{"LI10_NUMLIST", 10.0}});
        PriceUpdate p(b.Context());
        EXPECT_EQ(p.GetAliquotaIvaArticolo().ToString(), std::string(c.codice) == "55" ? "5.5" : "4.5");
        p.AggiornaPrezzo();
        EXPECT_NEAR(kv::CDbl(b.Ven()->Value("LI10_PREZZO")), c.atteso, 1e-9);
    }
}

TEST_P(PriceUpdateTest, VatFlagComesFromTheListOfThePurchaseRow) {
    // The purchase parameters stand on list 2 (prices with VAT); the row belongs to list 1 (without).
    AggiungiParametro(bench->lis_ven->rstParMagLis, {{"MG44_NUMLIST", 10.0}, {"MG44_RICDEFAULT", 25.0},
                                                    {"MG44_FLGIVACOMPR", 0.0}});
    AggiungiParametro(bench->lis_acq->rstParMagLis, {{"MG44_NUMLIST", 1.0}, {"MG44_FLGIVACOMPR", 0.0}});
    AggiungiParametro(bench->lis_acq->rstParMagLis, {{"MG44_NUMLIST", 2.0}, {"MG44_FLGIVACOMPR", 1.0}});
    AggiungiRiga(bench->Acq(), {{"LI10_NUMLIST", 1.0}, {"LI10_PREZZO", 80.0}});
    AggiungiRiga(bench->Ven(), {{"LI10_NUMLIST", 10.0}});
    PriceUpdate(bench->Context()).AggiornaPrezzo();
    EXPECT_NEAR(kv::CDbl(bench->Ven()->Value("LI10_PREZZO")), 100.0, 1e-9);
}

TEST_P(PriceUpdateTest, ArticleLookups) {
    PriceUpdate p(bench->Context());
    EXPECT_EQ(p.GetScaglione("MAG001"), Variant("2"));
    EXPECT_TRUE(p.GetScaglione(demo::kArticoloSenzaGestione).IsEmpty());  // MG66_FLGARRPRZ 0
    EXPECT_TRUE(p.GetScaglione("NON'ESISTE").IsEmpty());                  // compared as written
    EXPECT_EQ(p.GetAliquotaIvaArticolo().ToString(), "22");
    bench->article = "NON'ESISTE";
    EXPECT_TRUE(p.GetAliquotaIvaArticolo().IsZero());
    EXPECT_TRUE(bench->reports.empty());

    // A blank code asks the database nothing: without a connection nothing fails.
    auto ctx = bench->Context();
    ctx.connection = nullptr;
    PriceUpdate senza(ctx);
    EXPECT_EQ(senza.GetScaglione(""), Variant(""));
    EXPECT_TRUE(bench->reports.empty());
    EXPECT_TRUE(senza.GetScaglione("MAG001").IsEmpty());
    ASSERT_EQ(bench->reports.size(), 1u);
    EXPECT_EQ(bench->reports[0].first, "GetScaglione");
}

TEST_P(PriceUpdateTest, ErrorsAreReportedUnderTheProcedureAndWhatWasWrittenStays) {
    // A rounding with a bracket the company does not have fails after the price was written. The
    // rounding indicator and bracket are written with the rounded price or not at all: the row says it
    // is not rounded, as its price is not.
    AggiungiParametro(bench->lis_ven->rstParMagLis, {{"MG44_NUMLIST", 10.0}, {"MG44_RICDEFAULT", 25.0},
                                                    {"MG44_INDARRPREZZO", 2.0}, {"MG44_SCAGL_MG02", 99.0}});
    AggiungiParametro(bench->lis_acq->rstParMagLis, {{"MG44_NUMLIST", 1.0}});
    AggiungiRiga(bench->Acq(), {{"LI10_NUMLIST", 1.0}, {"LI10_PREZZO", 80.0}});
    AggiungiRiga(bench->Ven(), {{"LI10_NUMLIST", 10.0}, {"LI10_INDARROT", 0.0}});
    PriceUpdate(bench->Context()).AggiornaPrezzo();
    ASSERT_EQ(bench->reports.size(), 1u);
    EXPECT_EQ(bench->reports[0].first, "AggiornaPrezzo");
    EXPECT_EQ(kv::CDbl(bench->Ven()->Value("LI10_PREZZO")), 100.0);
    EXPECT_EQ(kv::CDbl(bench->Ven()->Value("LI10_INDARROT")), 0.0);
    EXPECT_TRUE(bench->Ven()->Value("LI10_SCAGL_MG02").IsNull());
}

// One object updates row after row (as a recalculation does): the trap still works per statement on
// every update, also on one started from the error report of another.
TEST_P(PriceUpdateTest, RepeatedUpdatesKeepTheTrapOfEveryStatement) {
    AggiungiParametro(bench->lis_ven->rstParMagLis, {{"MG44_NUMLIST", 10.0}, {"MG44_RICDEFAULT", 25.0},
                                                    {"MG44_INDARRPREZZO", 2.0}, {"MG44_SCAGL_MG02", 99.0}});
    AggiungiParametro(bench->lis_acq->rstParMagLis, {{"MG44_NUMLIST", 1.0}});
    AggiungiRiga(bench->Acq(), {{"LI10_NUMLIST", 1.0}, {"LI10_PREZZO", 80.0}});
    AggiungiRiga(bench->Ven(), {{"LI10_NUMLIST", 10.0}});
    struct CasoTrap {
        const char* nome;
        std::vector<int> risposte;  // the answers to the failing rounding, in turn
        bool annidato;              // the first report runs another update of the same object
        size_t segnalazioni;        // reports per update
        bool netto;                 // the sales net price (the step after the rounding) was computed
    };
    const CasoTrap casi[] = {
        {"ignore goes on with the next step", {2}, false, 1, true},
        {"retry runs the step again, then leave", {4, 4, 3}, false, 3, false},
        {"leave", {3}, false, 1, false},
        {"an update from the report has its own steps", {2, 2}, true, 2, true},
    };
    for (const auto& c : casi) {
        SCOPED_TRACE(c.nome);
        PricingContext ctx = bench->Context();
        std::vector<std::string> segnalate;
        size_t k = 0;
        PriceUpdate* aggiornamento = nullptr;
        bool annidato = c.annidato;
        ctx.report = [&](std::string_view procedura, const kv::Error&) {
            segnalate.emplace_back(procedura);
            const int risposta = c.risposte[std::min(k++, c.risposte.size() - 1)];
            if (annidato) {
                annidato = false;
                aggiornamento->AggiornaPrezzo();
            }
            return risposta;
        };
        PriceUpdate p(ctx);
        aggiornamento = &p;
        for (int giro = 0; giro < 2; ++giro) {
            segnalate.clear();
            k = 0;
            bench->Ven()->SetValue("LI10_PREZZO", Variant::Null());
            bench->Ven()->SetValue("BLT_PREZZONETTO", Variant::Null());
            p.AggiornaPrezzo();
            EXPECT_EQ(segnalate.size(), giro == 0 ? c.segnalazioni : c.segnalazioni - (c.annidato ? 1 : 0));
            for (const auto& s : segnalate) EXPECT_EQ(s, "AggiornaPrezzo");
            EXPECT_EQ(kv::CDbl(bench->Ven()->Value("LI10_PREZZO")), 100.0);
            EXPECT_EQ(!bench->Ven()->Value("BLT_PREZZONETTO").IsNull(), c.netto);
        }
    }
}

QMX_INSTANTIATE_ENGINES(PriceUpdateTest);

}  // namespace
}  // namespace qmx
