#pragma once
// A recalculation bench for tests: the demo company database on the test's engine, host global
// services over it (currencies, rounding brackets), the four drivers the window would hand the price
// procedures, with matrices and list parameters the test fabricates row by row, and a recording error
// reporter.

#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "matrix/clsmg_setupvarianti.h"
#include "matrix/matrix_recordset.h"
#include "platform/ado/connection.h"
#include "platform/ado/recordset.h"
#include "platform/controls/data_grid.h"
#include "platform/services/global_services.h"
#include "platform/services/status_bar.h"
#include "pricelist/clsmg_setuplistini.h"
#include "pricing/recalculation.h"
#include "schema/demo/demo.h"
#include "shell/clsmg_quendormixal.h"
#include "support/db_engines.h"
#include "support/demo_drivers.h"

namespace qmx::testing {

using Campi = std::vector<std::pair<std::string, kv::Variant>>;

// A matrix row: the fixed columns a stored row carries, then the test's values.
inline void AggiungiRiga(const kv::ado::RecordsetPtr& rs, const Campi& campi) {
    rs->AddNew();
    for (const auto& info : rs->FieldInfos()) {
        if (info.attributes != kv::ado::adFldUnspecified && (info.attributes & kv::ado::adFldIsNullable))
            continue;
        switch (info.type) {
            case kv::ado::adChar:
            case kv::ado::adWChar:
            case kv::ado::adVarChar:
                rs->SetValue(info.name, std::string());
                break;
            case kv::ado::adDate:
                rs->SetValue(info.name, kv::Date::FromYmd(2025, 1, 1));
                break;
            default:
                rs->SetValue(info.name, 0.0);
        }
    }
    rs->SetValue("BLT_VALUTA", "EURO");
    for (const auto& [nome, valore] : campi) rs->SetValue(nome, valore);
    rs->Update();
}

// The parameter rows of the lists of one kind, as the list driver's rstParMagLis holds them.
inline kv::ado::RecordsetPtr Parametri() {
    using namespace kv::ado;
    auto rs = Recordset::Create();
    rs->SetCursorLocation(adUseClient);
    rs->SetCursorType(adOpenKeyset);
    rs->SetLockType(adLockBatchOptimistic);
    auto f = rs->GetFields();
    f.Append("MG44_NUMLIST", adDouble, 0, adFldIsNullable);
    f.Append("MG44_VALUTA_CG08", adChar, 4, adFldIsNullable);
    f.Append("MG44_RICDEFAULT", adDouble, 0, adFldIsNullable);
    f.Append("MG44_INDMODRICZERO", adDouble, 0, adFldIsNullable);
    f.Append("MG44_FLGIVACOMPR", adDouble, 0, adFldIsNullable);
    f.Append("MG44_INDARRPREZZO", adDouble, 0, adFldIsNullable);
    f.Append("MG44_SCAGL_MG02", adDouble, 0, adFldIsNullable);
    f.Append("MG44_NUMLISTACQRIC", adDouble, 0, adFldIsNullable);
    rs->Open();
    return rs;
}

inline void AggiungiParametro(const kv::ado::RecordsetPtr& rs, const Campi& campi) {
    rs->AddNew();
    rs->SetValue("MG44_VALUTA_CG08", "EURO");
    for (const auto& [nome, valore] : campi) rs->SetValue(nome, valore);
    rs->Update();
}

struct PricingBench {
    PricingBench(kv::ado::ConnectionPtr db, int32_t company = demo::kDittaAbbigliamento)
        : connection(std::move(db)),
          global(std::make_shared<kv::services::HostGlobalServices>(company, std::string())) {
        global->SetHostConnection(connection);
        host->SetClsGlobal(global);
        host->SetStatusBar(status_bar);
        for (auto* v : {&acq, &ven}) {
            *v = std::make_shared<CLSMG_SETUPVARIANTI>();
            (*v)->SetActiveInterface(host);
            (*v)->SetADOConnection(connection);
            auto rs = CreateMatrixRecordset();
            rs->Open();
            (*v)->SetRecordset(rs);
        }
        acq->BarOperation = bar;
        ven->BarOperation = bar;
        acq->SetSalPur(VarPurchase);
        ven->SetSalPur(VarSale);
        acq->SetGrid(grid_acq);
        ven->SetGrid(grid_ven);
        grid_acq->SetDataSource(acq->Recordset());
        grid_ven->SetDataSource(ven->Recordset());
        for (auto* l : {&lis_acq, &lis_ven}) {
            *l = std::make_shared<CLSMG_SETUPLISTINI>();
            (*l)->rstParMagLis = Parametri();
        }
        lis_acq->SetRecordset(acq->Recordset());
        lis_ven->SetRecordset(ven->Recordset());
        price_calculation = global->NewPriceCalculation();
        price_calculation->SetGlobalServices(global);
        price_rounding = global->NewPriceRounding();
        price_rounding->SetGlobalServices(global);
    }

    PricingContext Context() {
        PricingContext c;
        c.listini_acq = lis_acq;
        c.listini_ven = lis_ven;
        c.varianti_acq = acq;
        c.varianti_ven = ven;
        c.connection = connection;
        c.company = std::to_string(global->CompanyCode());
        c.price_calculation = price_calculation;
        c.price_rounding = price_rounding;
        c.article = [this] { return article; };
        c.report = [this](std::string_view procedure, const kv::Error& e) {
            reports.emplace_back(std::string(procedure), e.Number());
            descriptions.push_back(e.Description());
            return answer;
        };
        c.do_events = [this] { ++events; };
        c.enable_button = [this](std::string_view key, bool enabled) { buttons[std::string(key)] = enabled; };
        return c;
    }

    kv::ado::RecordsetPtr Acq() const { return acq->Recordset(); }
    kv::ado::RecordsetPtr Ven() const { return ven->Recordset(); }

    kv::ado::ConnectionPtr connection;
    std::shared_ptr<kv::services::HostGlobalServices> global;
    std::shared_ptr<kv::services::HostStatusBar> status_bar = std::make_shared<kv::services::HostStatusBar>();
    std::shared_ptr<CLSMG_QUENDORMIXAL> host = CLSMG_QUENDORMIXAL::Create();
    std::shared_ptr<CLSMG_SETUPVARIANTI> acq, ven;
    std::shared_ptr<CLSMG_SETUPLISTINI> lis_acq, lis_ven;
    std::shared_ptr<kv::controls::OperationBar> bar =
        std::make_shared<kv::controls::OperationBar>("BAR_OPERATION");
    std::shared_ptr<kv::controls::DataGrid> grid_acq = std::make_shared<kv::controls::DataGrid>("GRD_LISACQ");
    std::shared_ptr<kv::controls::DataGrid> grid_ven = std::make_shared<kv::controls::DataGrid>("GRD_LISVEN");
    std::shared_ptr<kv::services::PriceCalculation> price_calculation;
    std::shared_ptr<kv::services::PriceRounding> price_rounding;
    std::string article = demo::kArticoloTipo4;
    std::vector<std::pair<std::string, long>> reports;
    std::vector<std::string> descriptions;
    int answer = 3;
    int events = 0;
    std::map<std::string, bool> buttons;
};

// A test on the demo company database of the test's engine, with a bench over it.
class PricingDemoTest : public DemoEngineTest {
protected:
    void SetUp() override {
        DemoEngineTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        bench = std::make_unique<PricingBench>(database().connection());
    }
    std::unique_ptr<PricingBench> bench;
};

}  // namespace qmx::testing
