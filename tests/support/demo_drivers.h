#pragma once
// Drivers on the demo database, on both engines: each test gets the demo companies (without stored
// price rows unless it asks for them), the host's global services on the company it chooses, and
// drivers with every property set.

#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "support/oggi.h"
#include "matrix/clsmg_setupvarianti.h"
#include "matrix/matrix_recordset.h"
#include "platform/controls/data_grid.h"
#include "platform/services/global_services.h"
#include "pricelist/clsmg_setuplistini.h"
#include "schema/demo/demo.h"
#include "shell/clsmg_quendormixal.h"
#include "support/db_engines.h"

namespace qmx::testing {

// The entry object of a host whose session is `connection` (to `connection_string`), on `company`.
inline std::shared_ptr<CLSMG_QUENDORMIXAL> HostInterface(int company, const std::string& connection_string,
                                                         kv::ado::ConnectionPtr connection) {
    auto global = std::make_shared<kv::services::HostGlobalServices>(company, connection_string);
    global->SetHostConnection(std::move(connection));
    auto iface = CLSMG_QUENDORMIXAL::Create();
    iface->SetClsGlobal(global);
    return iface;
}

// A matrix driver loaded as the window loads it: `article` (over the preset option `preset`) for the
// period from `from` to `to`, on the drivers' `connection`; `today`, when given, is the driver's today.
inline std::shared_ptr<CLSMG_SETUPVARIANTI> LoadedMatrixDriver(
    std::shared_ptr<CLSMG_QUENDORMIXAL> iface, kv::ado::ConnectionPtr connection, const std::string& article,
    const std::string& preset, const std::string& from, const std::string& to,
    KvEnumVarSalPur kind = VarPurchase, std::optional<kv::Date> today = std::nullopt) {
    auto d = std::make_shared<CLSMG_SETUPVARIANTI>();
    if (today) d->SetOggi([day = *today] { return day; });
    d->SetActiveInterface(std::move(iface));
    d->SetADOConnection(std::move(connection));
    d->SetSalPur(kind);
    d->SetGrid(std::make_shared<kv::controls::DataGrid>("GRD_LISACQ"));
    auto matrix = CreateMatrixRecordset();
    matrix->Open();
    d->SetRecordset(matrix);
    d->SetCodArticolo(article);
    d->SetOpzionePreimpostata(preset);
    d->SetDataIni(from);
    d->SetDataFin(to);
    d->ConfigurationOk();
    d->SetupGrid(false);
    d->ReLoadVarianti();
    return d;
}

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
