#pragma once
// Drivers on the demo database, on both engines: each test gets the demo companies (without stored
// price rows unless it asks for them), the host's global services on the company it chooses, and
// drivers with every property set.

#include <memory>
#include <string>

#include "support/oggi.h"
#include "matrix/clsmg_setupvarianti.h"
#include "platform/controls/data_grid.h"
#include "platform/services/global_services.h"
#include "pricelist/clsmg_setuplistini.h"
#include "schema/demo/demo.h"
#include "shell/clsmg_quendormixal.h"
#include "support/db_engines.h"

namespace qmx::testing {

// A test on the demo database of the test's engine.
class DemoEngineTest : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        demo::CreateSchema(db());
        demo::BuildDemo(db());
    }
};

class DemoDriverTest : public EngineTest {
  protected:
    void SetUp() override {
        EngineTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        demo::CreateSchema(db());
        demo::DemoOptions options;
        options.stored_prices = stored_prices_;
        demo::BuildDemo(db(), options);
        global_ = std::make_shared<kv::services::HostGlobalServices>(demo::kDittaAbbigliamento,
                                                                     database().connection_string());
        global_->SetToday(qmx::testing::kOggiDiProva);
        entry_->SetClsGlobal(global_);
    }

    void UseCompany(int company) { global_->SetCompanyCode(company); }
    kv::ado::ConnectionPtr connection() { return database().connection(); }
    std::shared_ptr<CLSMG_QUENDORMIXAL> entry() const { return entry_; }

    std::shared_ptr<CLSMG_SETUPLISTINI> ListDriver(KvEnumLisSalPur kind, const std::string& article = "") {
        auto d = std::make_shared<CLSMG_SETUPLISTINI>();
        d->SetActiveInterface(entry_);
        d->SetADOConnection(connection());
        d->Qgrid =
            std::make_shared<kv::controls::DataGrid>(kind == LisPurchase ? "GRD_LISACQ" : "GRD_LISVEN");
        d->SetSalPur(kind);
        d->SetCodArticolo(article);
        return d;
    }

    std::shared_ptr<CLSMG_SETUPVARIANTI> VariantDriver(KvEnumVarSalPur kind,
                                                       const std::string& article = "") {
        auto d = std::make_shared<CLSMG_SETUPVARIANTI>();
        d->SetActiveInterface(entry_);
        d->SetADOConnection(connection());
        d->SetGrid(
            std::make_shared<kv::controls::DataGrid>(kind == VarPurchase ? "GRD_LISACQ" : "GRD_LISVEN"));
        d->SetRecordset(kv::ado::Recordset::Create());
        d->SetSalPur(kind);
        d->SetCodArticolo(article);
        return d;
    }

    bool stored_prices_ = false;

  private:
    std::shared_ptr<kv::services::HostGlobalServices> global_;
    std::shared_ptr<CLSMG_QUENDORMIXAL> entry_ = CLSMG_QUENDORMIXAL::Create();
};

}  // namespace qmx::testing
