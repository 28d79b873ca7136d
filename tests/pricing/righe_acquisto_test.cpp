#include "pricing/righe_acquisto.h"

#include <gtest/gtest.h>

#include "matrix/matrix_recordset.h"
#include "pricing/pricing_support.h"
#include "pricing/recalculation.h"

namespace qmx {
namespace {

using kv::Variant;
using testing::AggiungiRiga;
using testing::Campi;

Campi Chiave(Variant lista, Variant opzione1, Variant opzione2 = Variant(std::string("S"))) {
    return {{"LI10_NUMLIST", lista},
            {"BLT_CODICEVAR1", "A1"},
            {"BLT_OPZIONE1", opzione1},
            {"BLT_CODICEVAR2", "A2"},
            {"BLT_OPZIONE2", opzione2}};
}

std::vector<int64_t> Segnalibri(const kv::ado::RecordsetPtr& rs) {
    std::vector<int64_t> out;
    for (const auto& b : rs->VisibleBookmarks()) out.push_back(kv::CLngLng(b));
    return out;
}

// The table finds, for every sales row and reference list, exactly the purchase rows the filter of
// FiltroAcquisto shows, in the same order.
TEST(RigheAcquisto, FindsTheRowsTheFilterFinds) {
    auto acq = CreateMatrixRecordset();
    auto ven = CreateMatrixRecordset();
    acq->Open();
    ven->Open();
    for (const Campi& riga : {
             Chiave(1.0, "BLU"), Chiave(1.0, "D'O"), Chiave(1.0, "più"),
             Chiave(1.0, "ROSSO"), Chiave(1.0, "ROSSO"),  // two rows on one key: both, in order
             Chiave(1.0, Variant::Null()),                // no option on that level: a blank or Null sales value
             Chiave(1.0, "GIALLO", ""),                   // blank equals a blank or Null sales value
             Chiave(2.0, "BLU"), Chiave(0.0, "BLU"), Chiave(1.5, "BLU"), Chiave(Variant::Null(), "BLU"),
         })
        AggiungiRiga(acq, riga);
    for (const Campi& riga : {
             Chiave(10.0, "blu"), Chiave(10.0, "D'O"), Chiave(10.0, "d'o"), Chiave(10.0, "PIÙ"),
             Chiave(10.0, "ROSSO"), Chiave(10.0, "VERDE"), Chiave(10.0, Variant::Null()),
             Chiave(10.0, ""), Chiave(10.0, "GIALLO", Variant::Null()), Chiave(10.0, "GIALLO", "S"),
             Chiave(10.0, "BLU", "M"), Chiave(10.0, "B"), Chiave(10.0, "BLUE"),
         })
        AggiungiRiga(ven, riga);

    RigheAcquisto tabella;
    ASSERT_TRUE(tabella.Costruisci(*acq, *ven));
    Recalculation filtro{PricingContext{}};
    int trovate = 0;
    for (ven->MoveFirst(); !ven->IsEOF(); ven->MoveNext()) {
        for (int16_t lista : {0, 1, 2, 3}) {
            SCOPED_TRACE(kv::DebugString(ven->Value("BLT_OPZIONE1")) + " / " + kv::DebugString(ven->Value("BLT_OPZIONE2")) +
                         " on list " + std::to_string(lista));
            acq->SetFilter(filtro.FiltroAcquisto(ven, lista));
            const auto attese = Segnalibri(acq);
            EXPECT_EQ(tabella.Trova(*ven, lista), attese);
            trovate += static_cast<int>(attese.size());
        }
    }
    EXPECT_EQ(trovate, 11);  // the table is not agreeing with a filter that finds nothing
}

TEST(RigheAcquisto, RefusesKeyFieldsItDoesNotCompareAsTheFilterDoes) {
    auto ven = CreateMatrixRecordset();
    ven->Open();
    auto acq = kv::ado::Recordset::Create();
    auto f = acq->GetFields();
    f.Append("LI10_NUMLIST", kv::ado::adVarChar, 10);  // a list number kept as text
    for (const char* nome : {"BLT_CODICEVAR1", "BLT_OPZIONE1", "BLT_CODICEVAR2", "BLT_OPZIONE2"})
        f.Append(nome, kv::ado::adVarChar, 20);
    acq->Open();
    RigheAcquisto tabella;
    EXPECT_FALSE(tabella.Costruisci(*acq, *ven));
}

}  // namespace
}  // namespace qmx
