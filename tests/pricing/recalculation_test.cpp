#include "pricing/recalculation.h"

#include <gtest/gtest.h>

#include <tuple>

#include "platform/ado/testing/statement_faults.h"
#include "pricing/pricing_support.h"
#include "shell/modmg_quendormixal.h"
#include "support/db_engines.h"
#include "support/demo_drivers.h"

namespace qmx {
namespace {

using kv::Variant;
using testing::AggiungiParametro;
using testing::AggiungiRiga;
using testing::Campi;
using testing::PricingBench;

class RecalculationTest : public testing::PricingDemoTest {
protected:

    // Purchase list 1; sales lists 10 and 11 both on list 1 (recharges 25 and 50), 12 without a
    // reference. Options BLU and D'O (an apostrophe), each with a purchase row on list 1.
    void Listini() {
        AggiungiParametro(bench->lis_acq->rstParMagLis, {{"MG44_NUMLIST", 1.0}});
        AggiungiParametro(bench->lis_ven->rstParMagLis,
                          {{"MG44_NUMLIST", 10.0}, {"MG44_NUMLISTACQRIC", 1.0}, {"MG44_RICDEFAULT", 25.0}});
        AggiungiParametro(bench->lis_ven->rstParMagLis,
                          {{"MG44_NUMLIST", 11.0}, {"MG44_NUMLISTACQRIC", 1.0}, {"MG44_RICDEFAULT", 50.0}});
        AggiungiParametro(
            bench->lis_ven->rstParMagLis,
            {{"MG44_NUMLIST", 12.0}, {"MG44_NUMLISTACQRIC", Variant::Null()}, {"MG44_RICDEFAULT", 50.0}});
        bench->lis_ven->rstParMagLis->MoveFirst();
        for (auto [opzione, prezzo] : {std::pair{"BLU", 80.0}, std::pair{"D'O", 40.0}})
            AggiungiRiga(bench->Acq(), Opzione(opzione, 1.0, {{"LI10_PREZZO", prezzo}}));
        for (double lista : {10.0, 11.0, 12.0})
            for (const char* opzione : {"BLU", "D'O"})
                AggiungiRiga(bench->Ven(), Opzione(opzione, lista, {}));
        bench->Acq()->MoveFirst();
        bench->Ven()->MoveFirst();
    }

    static Campi Opzione(const char* opzione, double lista, Campi altri) {
        Campi c = {{"LI10_NUMLIST", lista}, {"BLT_CODICEVAR1", "A1"}, {"BLT_OPZIONE1", opzione}};
        c.insert(c.end(), altri.begin(), altri.end());
        return c;
    }

    // The sales price of a list and option, read through a clone (the matrix keeps its position).
    Variant Prezzo(double lista, const char* opzione) {
        auto c = bench->Ven()->Clone();
        for (c->MoveFirst(); !c->IsEOF(); c->MoveNext())
            if (kv::CDbl(c->Value("LI10_NUMLIST")) == lista &&
                kv::CStr(NS(c->Value("BLT_OPZIONE1"))) == opzione)
                return c->Value("LI10_PREZZO");
        return Variant();
    }
};

TEST_P(RecalculationTest, EverySalesListIsDerivedFromItsReferenceList) {
    Listini();
    // The grids show a filtered purchase matrix standing on its second row; the sales matrix is
    // unfiltered.
    bench->Acq()->SetFilter("BLT_OPZIONE1 = 'BLU' OR BLT_OPZIONE1 = 'D''O'");
    bench->Acq()->MoveLast();
    Recalculation r(bench->Context());
    r.RicalcolaListini();

    for (const auto& [procedura, numero] : bench->reports)
        ADD_FAILURE() << procedura << " " << numero << " " << bench->descriptions.front();
    EXPECT_NEAR(kv::CDbl(Prezzo(10, "BLU")), 100.0, 1e-9);
    EXPECT_NEAR(kv::CDbl(Prezzo(11, "BLU")), 120.0, 1e-9);  // the same purchase row
    EXPECT_NEAR(kv::CDbl(Prezzo(10, "D'O")), 50.0, 1e-9);   // the apostrophe matches its row
    EXPECT_NEAR(kv::CDbl(Prezzo(11, "D'O")), 60.0, 1e-9);
    EXPECT_TRUE(Prezzo(12, "BLU").IsNull());  // no reference list: untouched
    // Each purchase row used carries its net price, though two sales rows asked for it.
    for (auto c = bench->Acq()->Clone(); !c->IsEOF(); c->MoveNext())
        EXPECT_EQ(c->Value("BLT_PREZZONETTO"), c->Value("LI10_PREZZO")) << kv::CStr(c->Value("BLT_OPZIONE1"));

    // Filters and positions back, grids bound again, grid events on, the button enabled.
    EXPECT_EQ(bench->Acq()->Filter(), Variant("BLT_OPZIONE1 = 'BLU' OR BLT_OPZIONE1 = 'D''O'"));
    EXPECT_EQ(bench->Acq()->AbsolutePosition(), 1);
    EXPECT_EQ(kv::CStr(bench->Ven()->Filter()), "0");
    EXPECT_EQ(bench->Ven()->AbsolutePosition(), 1);
    EXPECT_EQ(bench->grid_acq->DataSource(), bench->Acq());
    EXPECT_EQ(bench->grid_ven->DataSource(), bench->Ven());
    EXPECT_TRUE(bench->acq->bEnableRowColChange);
    EXPECT_TRUE(bench->ven->bEnableRowColChange);
    EXPECT_TRUE(bench->buttons["RICALCOLA"]);
    EXPECT_EQ(bench->events, 4);  // once per purchase row used
}

// A one-level grid leaves the other level of every row Null (the first one, with Inverti): its sales rows
// find their purchase rows all the same. A purchase row with no price derives nothing.
TEST_P(RecalculationTest, AOneLevelGridDerivesItsRows) {
    AggiungiParametro(bench->lis_acq->rstParMagLis, {{"MG44_NUMLIST", 1.0}});
    AggiungiParametro(bench->lis_ven->rstParMagLis,
                      {{"MG44_NUMLIST", 10.0}, {"MG44_NUMLISTACQRIC", 1.0}, {"MG44_RICDEFAULT", 25.0}});
    bench->lis_ven->rstParMagLis->MoveFirst();
    const Variant null = Variant::Null();
    auto riga = [&](const char* codice, const char* opzione, bool inverti, Campi altri) {
        Campi c = inverti ? Campi{{"BLT_CODICEVAR1", null}, {"BLT_OPZIONE1", null}, {"BLT_CODICEVAR2", codice},
                                  {"BLT_OPZIONE2", opzione}}
                          : Campi{{"BLT_CODICEVAR1", codice}, {"BLT_OPZIONE1", opzione}, {"BLT_CODICEVAR2", null},
                                  {"BLT_OPZIONE2", null}};
        c.insert(c.end(), altri.begin(), altri.end());
        return c;
    };
    for (bool inverti : {false, true}) {
        SCOPED_TRACE(inverti ? "Inverti" : "first level");
        for (auto* rs : {bench->Acq().get(), bench->Ven().get()})
            while (rs->Clone()->RecordCount() > 0) {
                rs->MoveFirst();
                rs->Delete();
            }
        AggiungiRiga(bench->Acq(), riga("A1", "BLU", inverti, {{"LI10_NUMLIST", 1.0}, {"LI10_PREZZO", 80.0}}));
        AggiungiRiga(bench->Acq(), riga("A1", "NER", inverti, {{"LI10_NUMLIST", 1.0}, {"LI10_PREZZO", null}}));
        AggiungiRiga(bench->Ven(), riga("A1", "BLU", inverti, {{"LI10_NUMLIST", 10.0}}));
        AggiungiRiga(bench->Ven(), riga("A1", "NER", inverti, {{"LI10_NUMLIST", 10.0}, {"LI10_PERRICDELTA", null}}));
        bench->Acq()->MoveFirst();
        Recalculation(bench->Context()).RicalcolaListini();
        EXPECT_TRUE(bench->reports.empty());
        auto c = bench->Ven()->Clone();
        EXPECT_NEAR(kv::CDbl(c->Value("LI10_PREZZO")), 100.0, 1e-9);
        c->MoveNext();
        EXPECT_TRUE(c->Value("LI10_PREZZO").IsNull()) << "no purchase price, no sales price";
        EXPECT_TRUE(c->Value("LI10_PERRICDELTA").IsNull());
    }
}

// The article's VAT rate, read once a run: a lookup that fails is reported and not kept, so the rows after
// it are converted at the article's rate, not at the 0 of the failure.
TEST_P(RecalculationTest, AFailedVatLookupIsNotKeptForTheRestOfTheRun) {
    AggiungiParametro(bench->lis_acq->rstParMagLis, {{"MG44_NUMLIST", 1.0}, {"MG44_FLGIVACOMPR", 0.0}});
    AggiungiParametro(bench->lis_ven->rstParMagLis, {{"MG44_NUMLIST", 10.0},
                                                    {"MG44_NUMLISTACQRIC", 1.0},
                                                    {"MG44_RICDEFAULT", 25.0},
                                                    {"MG44_FLGIVACOMPR", 1.0}});
    bench->lis_ven->rstParMagLis->MoveFirst();
    for (const char* opzione : {"BLU", "NER", "VER"}) {
        AggiungiRiga(bench->Acq(), Opzione(opzione, 1.0, {{"LI10_PREZZO", 80.0}}));
        AggiungiRiga(bench->Ven(), Opzione(opzione, 10.0, {}));
    }
    bench->Acq()->MoveFirst();
    // The first VAT query the run sends is refused; the user goes on.
    auto faults = kv::ado::InjectStatementFaults(*bench->connection);
    bool rifiutata = false;
    faults->SetBeforeStatement([&](long posizione) {
        if (!rifiutata && faults->Log().back().find("CG28_PERCIVA") != std::string::npos) {
            rifiutata = true;
            faults->FailAt(posizione);
        }
    });
    bench->answer = 2;
    Recalculation(bench->Context()).RicalcolaListini();
    ASSERT_TRUE(rifiutata);
    ASSERT_EQ(bench->reports.size(), 1u);
    EXPECT_EQ(bench->reports[0].first, "GetAliquotaIvaArticolo");
    EXPECT_NEAR(kv::CDbl(Prezzo(10, "BLU")), 100.0, 1e-9);  // converted at the 0 of the failure
    EXPECT_NEAR(kv::CDbl(Prezzo(10, "NER")), 122.0, 1e-9);  // the article's 22 %
    EXPECT_NEAR(kv::CDbl(Prezzo(10, "VER")), 122.0, 1e-9);
    faults->SetBeforeStatement({});
}

TEST_P(RecalculationTest, EmptyPurchaseMatrixReturnsAtOnce) {
    AggiungiParametro(bench->lis_ven->rstParMagLis, {{"MG44_NUMLIST", 10.0}, {"MG44_NUMLISTACQRIC", 1.0}});
    AggiungiRiga(bench->Ven(), Opzione("BLU", 10, {}));
    bench->acq->bEnableRowColChange = false;
    Recalculation(bench->Context()).RicalcolaListini();
    EXPECT_TRUE(bench->buttons.empty());
    EXPECT_EQ(bench->grid_ven->DataSource(), bench->Ven());
    EXPECT_FALSE(bench->acq->bEnableRowColChange);  // not touched
}

TEST_P(RecalculationTest, ALeftRunGivesBackGridsFiltersAndRowEvents) {
    Listini();
    bench->Ven()->SetFilter("LI10_NUMLIST = 10");
    auto ctx = bench->Context();
    // A window message that fails while the run lets them run; the user leaves the procedure.
    ctx.do_events = [] { throw kv::Error(5, "Invalid procedure call or argument", "test"); };
    for (bool tipo4 : {false, true}) {
        SCOPED_TRACE(tipo4 ? "RicalcolaListini4" : "RicalcolaListini");
        bench->reports.clear();
        Recalculation r(ctx);
        if (tipo4) {
            r.RicalcolaListini4();
        } else {
            r.RicalcolaListini();
        }
        ASSERT_FALSE(bench->reports.empty());
        EXPECT_EQ(bench->reports[0].first, tipo4 ? "RicalcolaListini4" : "RicalcolaListini");
        EXPECT_EQ(bench->grid_acq->DataSource(), bench->Acq());
        EXPECT_EQ(bench->grid_ven->DataSource(), bench->Ven());
        EXPECT_EQ(kv::CStr(bench->Acq()->Filter()), "0");
        if (!tipo4) {
            EXPECT_EQ(bench->Ven()->Filter(), Variant("LI10_NUMLIST = 10"));
        }
        EXPECT_TRUE(bench->acq->bEnableRowColChange);
        EXPECT_TRUE(bench->ven->bEnableRowColChange);
        EXPECT_FALSE(bench->ven->bEsciTrasf);
        EXPECT_FALSE(bench->buttons["RICALCOLA"]);
    }
}

TEST_P(RecalculationTest, GridType4SkipsRowsWithoutAPurchaseRowOrParameters) {
    Listini();
    // A sales row of a list without parameters, and one whose option has no purchase row.
    AggiungiRiga(bench->Ven(), Opzione("BLU", 13.0, {{"LI10_PREZZO", 7.0}}));
    AggiungiRiga(bench->Ven(), Opzione("NER", 10.0, {{"LI10_PREZZO", 9.0}}));
    Recalculation(bench->Context()).RicalcolaListini4();
    for (const auto& [procedura, numero] : bench->reports)
        ADD_FAILURE() << procedura << " " << numero << " " << bench->descriptions.front();
    EXPECT_NEAR(kv::CDbl(Prezzo(10, "BLU")), 100.0, 1e-9);
    EXPECT_NEAR(kv::CDbl(Prezzo(11, "D'O")), 60.0, 1e-9);
    EXPECT_EQ(kv::CDbl(Prezzo(13, "BLU")), 7.0);
    EXPECT_EQ(kv::CDbl(Prezzo(10, "NER")), 9.0);
    EXPECT_EQ(bench->ven->Elem(), "Prezzo lordo");
    EXPECT_EQ(bench->ven->ElemPrev(), "Prezzo lordo");
    EXPECT_TRUE(bench->acq->bEnableRowColChange);
    EXPECT_FALSE(bench->ven->bEsciTrasf);
    EXPECT_TRUE(bench->buttons["RICALCOLA"]);
}

QMX_INSTANTIATE_ENGINES(RecalculationTest);


// Grid type 4 on the demo article MAG001, with the drivers loading its matrices from the tables.
class Recalculation4Test : public qmx::testing::DemoEngineTest {
protected:
    void SetUp() override {
        DemoEngineTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        db().Execute("UPDATE MG44_PARMAGLIST SET MG44_INDPROPDATAINI = 0, MG44_INDPROPDATAFINE = 0");
        bench = std::make_unique<PricingBench>(database().connection());
        for (const auto& [d, l, kind] : {std::tuple{bench->acq, bench->lis_acq, LisPurchase},
                                         std::tuple{bench->ven, bench->lis_ven, LisSale}}) {
            l->SetActiveInterface(bench->host);
            l->SetADOConnection(database().connection());
            l->SetSalPur(kind);
            l->SetCodArticolo(demo::kArticoloTipo4);
            l->rstParMagLis = database().connection()->Execute(l->GetSql_ParListini());
            d->SetCodArticolo(demo::kArticoloTipo4);
            d->SetOpzionePreimpostata(demo::kPresetOption);
            d->SetDataIni("01/01/2025");
            d->SetDataFin("31/12/2025");
            d->ConfigurationOk();
            d->SetupGrid(false);
            d->ReLoadVarianti();
            d->SetElem("Prezzo lordo");
            d->ReFilterVarianti4();
        }
    }
    std::unique_ptr<PricingBench> bench;
};

TEST_P(Recalculation4Test, ThePivotIsRebuiltWithTheRecalculatedGrossPrices) {
    ASSERT_EQ(bench->ven->GetIndTipoGriglia(), 4);
    ASSERT_TRUE(bench->ven->rsPivotVen);
    bench->ven->SetElem("Sc.%1");  // what the sales grid showed before
    Recalculation(bench->Context()).RicalcolaListini4();
    for (const auto& [procedura, numero] : bench->reports) ADD_FAILURE() << procedura << " " << numero;
    EXPECT_EQ(bench->ven->Elem(), "Prezzo lordo");
    EXPECT_EQ(bench->ven->ElemPrev(), "Prezzo lordo");

    // Every sales row of a list with a reference was derived; the pivot shows what the matrix holds.
    auto matrice = bench->Ven()->Clone();
    long derivate = 0;
    double somma_matrice = 0;
    for (matrice->MoveFirst(); !matrice->IsEOF(); matrice->MoveNext()) {
        if (!matrice->Value("LI10_PREZZO").IsNull()) ++derivate;
        somma_matrice += kv::CDbl(NZ(matrice->Value("LI10_PREZZO")));
    }
    EXPECT_GT(derivate, 0);
    auto pivot = bench->ven->rsPivotVen;
    ASSERT_TRUE(pivot);
    double somma_pivot = 0;
    const int colonne = pivot->GetFields().Count() - 11;
    for (pivot->MoveFirst(); !pivot->IsEOF(); pivot->MoveNext())
        for (int k = 1; k <= colonne; ++k)
            somma_pivot += kv::CDbl(NZ(pivot->Value("BLT_" + std::to_string(k))));
    EXPECT_NEAR(somma_pivot, somma_matrice, 1e-6);  // gross prices, not the first discount
    EXPECT_EQ(bench->grid_ven->DataSource(), pivot);
    EXPECT_TRUE(bench->acq->bEnableRowColChange);
    EXPECT_TRUE(bench->buttons["RICALCOLA"]);
}

QMX_INSTANTIATE_ENGINES(Recalculation4Test);

}  // namespace
}  // namespace qmx
