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
#include "window/save_preview.h"

namespace qmx {
namespace {

using kv::Variant;

class SavePreviewTest : public qmx::testing::EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        demo::CreateSchema(db());
        demo::BuildDemo(db());
        db().Execute("UPDATE MG44_PARMAGLIST SET MG44_INDPROPDATAINI = 0, MG44_INDPROPDATAFINE = 0");
    }

    // The purchase matrix of SCI001 (grid type 1) for a period, loaded as the window loads it.
    std::shared_ptr<CLSMG_SETUPVARIANTI> Driver(const std::string& dal, const std::string& al) {
        auto global = std::make_shared<kv::services::HostGlobalServices>(demo::kDittaAbbigliamento,
                                                                         database().connection_string());
        global->SetHostConnection(database().connection());
        auto iface = CLSMG_QUENDORMIXAL::Create();
        iface->SetClsGlobal(global);
        keep_.push_back(iface);
        auto d = std::make_shared<CLSMG_SETUPVARIANTI>();
        d->SetActiveInterface(iface);
        d->SetADOConnection(database().connection());
        d->SetSalPur(VarPurchase);
        d->SetGrid(std::make_shared<kv::controls::DataGrid>("GRD_LISACQ"));
        auto matrix = CreateMatrixRecordset();
        matrix->Open();
        d->SetRecordset(matrix);
        d->SetCodArticolo(demo::kArticoloTipo1);
        d->SetDataIni(dal);
        d->SetDataFin(al);
        d->ConfigurationOk();
        d->SetupGrid(false);
        d->ReLoadVarianti();
        return d;
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
    const long n = d->RecordCount();
    Imposta(*d, 0, "LI10_PREZZO", 36.5);   // list 1: a stored row changes
    Imposta(*d, 1, "LI10_SC1PER", 5);
    Imposta(*d, 8, "LI10_PREZZO", 12.5);   // list 2: no stored row, inserted with its price
    const AnteprimaSalvataggio a = AnteprimaDi(*d);
    EXPECT_EQ(a.inserite + a.aggiornate, n);
    EXPECT_EQ(a.celle, 3);

    d->UpdateBatch();
    ASSERT_EQ(d->State(), 0);
    // Every row the preview counted for a list is in the table, and every cell it listed holds the
    // new value.
    for (const auto& t : a.totali) {
        auto rs = db().Execute("SELECT COUNT(*) FROM LI10_LISTARTIC WHERE LI10_DITTA_CG18 = 1 AND LI10_FLGVENDACQ = 1"
                               " AND LI10_CODART_MG66 = 'SCI001' AND LI10_DATAINIZIOVAL = '20250101'"
                               " AND LI10_NUMLIST = " + kv::CStr(t.lista));
        EXPECT_EQ(kv::CLng(rs->Value(0)), t.inserite + t.aggiornate) << kv::CStr(t.lista);
    }
    const std::map<std::string, const char*> campi = {{"Prezzo lordo", "LI10_PREZZO"}, {"Sc.%1", "LI10_SC1PER"}};
    long celle = 0;
    for (const auto& r : a.righe)
        for (const auto& c : r.celle) {
            ++celle;
            EXPECT_EQ(Memorizzato(r, campi.at(c.colonna)), kv::CDbl(c.nuovo)) << r.opzione << " " << c.colonna;
        }
    EXPECT_EQ(celle, 3);

    // Saved: the same matrix now only updates, and changes nothing.
    const AnteprimaSalvataggio dopo = AnteprimaDi(*d);
    EXPECT_EQ(dopo.inserite, 0);
    EXPECT_EQ(dopo.aggiornate, n);
    EXPECT_EQ(dopo.celle, 0);
    EXPECT_NE(TestoAnteprima(a, dopo).find("Listino 2: 8 da inserire, 0 da aggiornare, 1 cella cambiata"),
              std::string::npos)
        << TestoAnteprima(a, dopo);
}

TEST_P(SavePreviewTest, OnlyPeriodsThatShareDaysOverlap) {
    // Stored: 2025 itself (the rows a save updates), 2024 and 2026 (each touches 2025).
    for (const auto& [dal, al] : {std::pair{"01/01/2024", "31/12/2024"}, std::pair{"01/01/2026", "31/12/2026"}}) {
        auto d = Driver(dal, al);
        d->UpdateBatch();
        ASSERT_EQ(d->State(), 0);
    }
    auto d = Driver("01/01/2025", "31/12/2025");
    EXPECT_TRUE(d->PeriodiSovrapposti().empty());

    // A stored period from December 2025 to January 2026 shares days with every option of 2025.
    auto s = Driver("01/12/2025", "31/01/2026");
    s->UpdateBatch();
    ASSERT_EQ(s->State(), 0);
    const auto trovati = d->PeriodiSovrapposti();
    EXPECT_EQ(static_cast<long>(trovati.size()), d->RecordCount());
    ASSERT_FALSE(trovati.empty());
    EXPECT_EQ(trovati.front().inizio_memorizzato, kv::Date::FromYmd(2025, 12, 1));
    const std::string t = TestoSovrapposizioni(trovati, {});
    EXPECT_NE(t.find("Listini di Acquisto: listino 1 (8 opzioni), listino 2 (8 opzioni)"), std::string::npos) << t;
    EXPECT_TRUE(TestoSovrapposizioni({}, {}).empty());
}

QMX_INSTANTIATE_ENGINES(SavePreviewTest);

}  // namespace
}  // namespace qmx
