// The matrix driver's net prices, operation status and field locking, on both engines over the demo
// companies. What a setup opens is seen in the loaded matrix (clsmg_setupvarianti_data_test).

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "matrix/clsmg_setupvarianti.h"
#include "matrix/matrix_recordset.h"
#include "platform/variant/strings.h"
#include "schema/demo/demo.h"
#include "support/db_engines.h"
#include "support/demo_drivers.h"
#include "support/driver_host.h"

namespace qmx {
namespace {

using kv::Variant;
using testing::DriverHost;
namespace ctl = kv::controls;
namespace svc = kv::services;

class MatrixDriver : public testing::DemoEngineTest {
  protected:

    std::shared_ptr<CLSMG_SETUPVARIANTI> Driver(int company, KvEnumVarSalPur kind,
                                                const std::string& article = {}) {
        host_ = std::make_unique<DriverHost>(database().connection(), company);
        auto d = std::make_shared<CLSMG_SETUPVARIANTI>();
        d->SetActiveInterface(host_->host);
        d->SetADOConnection(database().connection());
        d->SetGrid(grid_);
        d->SetSalPur(kind);
        d->SetCodArticolo(article);
        matrix_ = CreateMatrixRecordset();
        matrix_->Open();
        d->SetRecordset(matrix_);
        d->BarOperation = bar_;
        return d;
    }

    struct Row {
        int list = 1;
        const char* option = "BLU";
        const char* currency = "EURO";
        std::optional<double> gross{};
        std::vector<std::optional<double>> discounts{};  // 1 to 6
        std::optional<double> discount_amount{};
        std::optional<double> markup1{};
        std::optional<double> markup2{};
        std::optional<double> markup_amount{};
        std::optional<double> recharge{};
    };
    void AddRow(const Row& r, double shown_net = 77.0) {
        auto opt = [](const std::optional<double>& v) { return v ? Variant(*v) : Variant::Null(); };
        matrix_->AddNew();
        matrix_->SetValue("LI10_NUMLIST", static_cast<double>(r.list));
        matrix_->SetValue("BLT_OPZIONE1", r.option);
        matrix_->SetValue("BLT_VALUTA", r.currency);
        matrix_->SetValue("LI10_PREZZO", opt(r.gross));
        for (std::size_t i = 0; i < r.discounts.size(); ++i)
            matrix_->SetValue("LI10_SC" + std::to_string(i + 1) + "PER", opt(r.discounts[i]));
        matrix_->SetValue("LI10_SCIMP", opt(r.discount_amount));
        matrix_->SetValue("LI10_MAG1PER", opt(r.markup1));
        matrix_->SetValue("LI10_MAG2PER", opt(r.markup2));
        matrix_->SetValue("LI10_MAGIMP", opt(r.markup_amount));
        matrix_->SetValue("LI10_PERRICDELTA", opt(r.recharge));
        matrix_->SetValue("BLT_PREZZONETTO", shown_net);
        matrix_->Update();
    }

    std::shared_ptr<ctl::DataGrid> grid_ = std::make_shared<ctl::DataGrid>("GRD_LISACQ");
    std::shared_ptr<ctl::OperationBar> bar_ = std::make_shared<ctl::OperationBar>("BAR_OPERATION");
    std::unique_ptr<DriverHost> host_;
    kv::ado::RecordsetPtr matrix_;
};

TEST_P(MatrixDriver, NetPriceFollowsTheRowsInputs) {
    struct Case {
        const char* what;
        Row row;
        Variant net;  // Null: no net price
    };
    const Case cases[] = {
        {"every input Null: the price of 0", Row{}, Variant(0.0)},
        {"gross only", Row{.gross = 100}, Variant(100.0)},
        {"discounts in cascade", Row{.gross = 100, .discounts = {10, 5}}, Variant(85.5)},
        {"discount amount", Row{.gross = 100, .discount_amount = 5}, Variant(95.0)},
        {"markup 1", Row{.gross = 100, .markup1 = 10}, Variant(110.0)},
        {"markup 2", Row{.gross = 100, .markup2 = 10}, Variant(110.0)},
        {"markups in cascade", Row{.gross = 100, .markup1 = 10, .markup2 = 10}, Variant(121.0)},
        {"markup amount", Row{.gross = 100, .markup_amount = 3}, Variant(103.0)},
        {"everything",
         Row{.gross = 100, .discounts = {10}, .discount_amount = 5, .markup1 = 10, .markup_amount = 2},
         Variant(95.5)},
        {"rounded to the currency", Row{.gross = 10.005}, Variant(10.01)},
        {"another known currency", Row{.currency = "USD", .gross = 20}, Variant(20.0)},
        // A failed calculation shows no price: never the one the row showed before.
        {"unknown currency", Row{.currency = "XXX", .gross = 100}, Variant::Null()},
        {"no currency", Row{.currency = "", .gross = 100}, Variant::Null()},
    };
    std::vector<Case> all(std::begin(cases), std::end(cases));
    for (std::size_t i = 0; i < 6; ++i) {  // each discount reaches the calculation as its own input
        Row r{.gross = 100, .discounts = std::vector<std::optional<double>>(6)};
        r.discounts[i] = 10;
        all.push_back({"one discount", r, Variant(90.0)});
    }
    auto d = Driver(demo::kDittaAbbigliamento, VarPurchase);
    for (const Case& c : all) {
        SCOPED_TRACE(c.what);
        AddRow(c.row);
        d->AggiornaPrezzoNetto();
        matrix_->Update();
        const Variant net = matrix_->Value("BLT_PREZZONETTO");
        if (c.net.IsNull()) {
            EXPECT_TRUE(net.IsNull()) << kv::DebugString(net);
        } else {
            EXPECT_NEAR(kv::CDbl(net), kv::CDbl(c.net), 1e-9);
        }
    }
}

TEST_P(MatrixDriver, ARowThatFailsAfterOneThatWorkedShowsNoPrice) {
    auto d = Driver(demo::kDittaAbbigliamento, VarPurchase);
    AddRow(Row{.gross = 50});
    d->AggiornaPrezzoNetto();
    EXPECT_EQ(kv::CDbl(matrix_->Value("BLT_PREZZONETTO")), 50.0);
    // The same row, now in a currency the host does not know: its 50 no longer belongs to it.
    matrix_->SetValue("BLT_VALUTA", "XXX");
    d->AggiornaPrezzoNetto();
    EXPECT_TRUE(matrix_->Value("BLT_PREZZONETTO").IsNull());
    // And the next row is computed from its own inputs only.
    AddRow(Row{.gross = 30});
    d->AggiornaPrezzoNetto();
    EXPECT_EQ(kv::CDbl(matrix_->Value("BLT_PREZZONETTO")), 30.0);
}

// A recalculation computes the net price of thousands of rows whose inputs did not change: the row is
// left as it was, and changes again once an input does.
TEST_P(MatrixDriver, ANetPriceTheRowHoldsAlreadyIsNotStoredAgain) {
    auto d = Driver(demo::kDittaAbbigliamento, VarPurchase);
    AddRow(Row{.gross = 50, .discounts = {10}});
    d->AggiornaPrezzoNetto();
    matrix_->Update();
    const uint64_t clock = matrix_->ChangeClock();
    d->AggiornaPrezzoNetto();
    EXPECT_EQ(matrix_->ChangeClock(), clock);
    EXPECT_EQ(kv::CDbl(matrix_->Value("BLT_PREZZONETTO")), 45.0);
    matrix_->SetValue("LI10_SC1PER", 20.0);
    d->AggiornaPrezzoNetto();
    EXPECT_EQ(kv::CDbl(matrix_->Value("BLT_PREZZONETTO")), 40.0);
}

TEST_P(MatrixDriver, PivotColumnsShowNetPricesRaisedByTheRecharge) {
    auto d = Driver(demo::kDittaAbbigliamento, VarPurchase, demo::kArticoloTipo4);
    d->SetupGrid(false);
    ASSERT_EQ(d->m_iTipoGriglia, 4);
    // Matrix rows in matrix order: per list and first-level option, one per second-level option.
    AddRow(Row{.list = 1, .option = "BLU", .gross = 50, .recharge = 10});
    AddRow(Row{.list = 1, .option = "BLU", .gross = 50});
    AddRow(Row{.list = 1, .option = "BLU", .currency = "XXX", .gross = 40, .recharge = 10});
    AddRow(Row{.list = 1, .option = "ROS", .gross = 20, .discounts = {50}});
    AddRow(Row{.list = 2, .option = "BLU", .gross = 100, .markup1 = 10, .recharge = -50});
    auto pivot = CreatePivotRecordset(4, 3);
    pivot->Open();
    const std::pair<int, const char*> keys[] = {
        {1, "BLU - Blu navy"}, {1, "ROS - Rosso"}, {2, "BLU - Blu navy"}};
    for (const auto& [list, option] : keys) {
        pivot->AddNew();
        pivot->SetValue("LI10_NUMLIST", static_cast<double>(list));
        pivot->SetValue("BLT_OPZIONE1", option);
        for (const char* f : {"BLT_1", "BLT_2", "BLT_3"}) pivot->SetValue(f, 999.0);
        pivot->Update();
    }
    d->rsPivotAcq = pivot;
    d->rsPivotVen = CreatePivotRecordset(4, 3);  // the other kind's pivot is not touched
    matrix_->SetFilter(Variant("LI10_NUMLIST = 2"));

    d->AggiornaPrezzoNetto4();

    EXPECT_EQ(grid_->DataSource(), pivot);
    EXPECT_EQ(kv::CStr(matrix_->Filter()), "0");
    auto cell = [&](int row, const char* field) {
        pivot->SetAbsolutePosition(row);
        return pivot->Value(field);
    };
    EXPECT_NEAR(kv::CDbl(cell(1, "BLT_1")), 55.0, 1e-9);  // 50 + 10 %
    EXPECT_NEAR(kv::CDbl(cell(1, "BLT_2")), 50.0, 1e-9);  // no recharge
    EXPECT_TRUE(cell(1, "BLT_3").IsNull());               // no price: not the 999 shown before
    EXPECT_NEAR(kv::CDbl(cell(2, "BLT_1")), 10.0, 1e-9);
    EXPECT_NEAR(kv::CDbl(cell(2, "BLT_2")), 999.0, 1e-9);  // no matrix row behind it
    EXPECT_NEAR(kv::CDbl(cell(3, "BLT_1")), 55.0, 1e-9);   // 110 - 50 %
    // The matrix's own net prices are not changed.
    matrix_->MoveFirst();
    for (; !matrix_->IsEOF(); matrix_->MoveNext())
        EXPECT_EQ(kv::CDbl(matrix_->Value("BLT_PREZZONETTO")), 77.0);
}

TEST_P(MatrixDriver, StatusOperationsShowTheStateOfALongOperation) {
    auto d = Driver(demo::kDittaAbbigliamento, VarPurchase);
    auto screen = host_->global->HostScreen();
    struct Step {
        void (CLSMG_SETUPVARIANTI::*call)();
        const char* what;
        int16_t pointer;
        const char* text;
        bool shown;
    };
    const Step steps[] = {
        {&CLSMG_SETUPVARIANTI::SetStatusOperationInProgress, "in progress", 11, "Operazione in corso...",
         true},
        {&CLSMG_SETUPVARIANTI::SetStatusOperationCompleted, "completed", 0, "Pronto", false},
        {&CLSMG_SETUPVARIANTI::SetStatusOperationInProgress, "again", 11, "Operazione in corso...", true},
        {&CLSMG_SETUPVARIANTI::SetStatusOperationError, "error", 0, "Errore!", false},
        {&CLSMG_SETUPVARIANTI::SetStatusOperationCompleted, "completed", 0, "Pronto", false},
        {&CLSMG_SETUPVARIANTI::SetStatusOperationCompleted, "completed twice", 0, "Pronto", false},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.what);
        ((*d).*(s.call))();
        EXPECT_EQ(screen->MousePointer(), s.pointer);
        EXPECT_EQ(host_->status_bar->PanelText(2), s.text);
        EXPECT_EQ(bar_->Visible(), s.shown);
        EXPECT_EQ(bar_->LoadingAnimation(), s.shown);
        EXPECT_EQ(bar_->Animating(), s.shown);
    }
    EXPECT_EQ(screen->HourglassCount(), 2);
}

TEST_P(MatrixDriver, OnlyTheNetAmountLocksThePivot) {
    auto d = Driver(demo::kDittaAbbigliamento, VarPurchase);
    const std::pair<const char*, bool> cases[] = {
        {"Importo Netto", false},
        {"importo netto", false},
        {"IMPORTO NETTO", false},
        {"Prezzo lordo", true},
        {"", true},
        {"Sc.%1", true},
    };
    for (const auto& [elem, editable] : cases) {
        SCOPED_TRACE(elem);
        grid_->SetEnableEditing(!editable);
        d->SetElem(elem);
        d->LockFields();
        EXPECT_EQ(grid_->EnableEditing(), editable);
    }
    EXPECT_EQ(d->State(), 0);
    d->SetGrid(nullptr);
    d->LockFields();
    EXPECT_EQ(d->State(), 99);
}

QMX_INSTANTIATE_ENGINES(MatrixDriver);

}  // namespace
}  // namespace qmx
