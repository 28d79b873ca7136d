// The "large article" of the demo (company 8, CAM900: 8 purchase and 8 sales lists in fast creation, 60
// colours on the first grid level and 25 sizes on the second, grid type 2 - 12,000 matrix rows per
// kind, 24,000 in all), on SQLite and (when QMX_PG_CONNECTION names a server) PostgreSQL.
//
// The drivers, on both matrices together; load, saves and recalculation are the median of five runs,
// with the fastest and slowest beside it:
//   load           ReLoadVarianti with every row stored, against the raw fetch of the same rows (its
//                  median of five, each taken just before a load);
//   save new       UpdateBatch with no row stored, against one INSERT statement per row in one
//                  transaction (what database_bench measures; median of five), and multi-row INSERTs;
//   save existing  UpdateBatch again, every row priced anew and now an UPDATE, against the same raw
//                  insert (a save writes only the rows edited, so every row is given a price first);
//                  the two are timed in turn, each save after a raw insert of the rows and a load;
//   save 10 edits  "Conferma" after 10 prices typed, every row stored: both kinds in one transaction,
//                  the conflict check included, in ms;
//   described      the one-query-per-row design on the same data: a SELECT per row to load, and an
//                  existence SELECT plus an UPDATE per row to save;
//   memory         heap memory the two loaded matrices hold, per matrix row;
//   recalc         RicalcolaListini over every sales row, in ms;
//   switch         choosing another second-level option: both matrices filtered, both grids bound, in ms;
//   paste          a 12,000-cell price column pasted into a grid over the whole purchase matrix, each
//                  cell typed with the grid's edit and stored by the window's edit rule with its net
//                  price, in s;
//   csv            both matrices (24,000 rows) exported to CSV, and imported back with every row
//                  changed (each stored by the edit rule with its net price), in s.
//
// The window, on a database as qmx-demo --large makes it (every row stored with its demo price), driven
// through its control models as a user drives it (bench/support/bench_desk.h); median of five unless
// said:
//   window open    from the last header date typed to both grids filled: the last date, then the size
//                  (grid type 2 shows no row before one is chosen), against the drivers' load of the
//                  same rows, measured in the same run, in turn with it;
//   window switch  another size picked in the side list (median of 21), in ms;
//   window save    "Conferma" after 10 prices typed in the grids (5 purchase, 5 sales), in ms;
//   window recalc  "Ricalcola", against the drivers' recalculation of the same matrices;
//   copy period    "Da periodo" on 2026 (nothing stored): the stored 2025 prices of every row of both
//                  kinds raised by 5 %, as typed cells with their net prices, in s; then undone;
//   undo paste     one undo (Ctrl+Z) of 12,000 purchase gross prices changed as one user action, as a
//                  paste of that many cells leaves them, net prices included, in ms.
//
// Last, on PostgreSQL, 50 desktops on one server (bench/support/many_desktops.h): each opens a demo
// article, types 10 prices and saves, for 60 seconds. --no-desktops leaves it out, --desktops-only runs
// it alone; --desktops N,
// --seconds S (at most 60) and --think MS (the pause after each typed price) change it.
//
// It prints the figures, then, last, one line per target and engine: `target NAME ENGINE VALUE LIMIT`.
// QMX_BENCH_ENGINE=sqlite or postgresql runs that engine only.
// QMX_BENCH_SEASON_ONLY runs "Da periodo" and the undo alone, QMX_BENCH_WINDOW_ONLY the window's flows,
// QMX_BENCH_DRIVERS_ONLY the drivers' part without the window, QMX_BENCH_RECALC_ONLY the recalculation
// alone on freshly priced rows, QMX_BENCH_LOAD_PROFILE three loads alone, each followed by a raw fetch.

#include <malloc.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "bench/support/bench_desk.h"
#include "bench/support/many_desktops.h"
#include "matrix/clsmg_setupvarianti.h"
#include "matrix/matrix_recordset.h"
#include "platform/ado/connection.h"
#include "platform/controls/data_grid.h"
#include "platform/services/global_services.h"
#include "platform/services/status_bar.h"
#include "platform/variant/strings.h"
#include "pricelist/clsmg_setuplistini.h"
#include "pricing/recalculation.h"
#include "schema/demo/demo.h"
#include "window/grid_clipboard.h"
#include "window/grid_csv.h"
#include "window/grid_edit_rule.h"
#include "window/frmmg_quendormixal_sheet.h"
#include "shell/clsmg_quendormixal.h"
#include "shell/modmg_quendormixal.h"

namespace {

using kv::Variant;
using kv::ado::Connection;
using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

// The processor time of this thread, in seconds: on a machine shared with other work the elapsed time
// of a step is mostly waiting, and this says what the step itself costs.
double CpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

// Heap memory in use, in KB: what the matrices hold, unlike the resident size, which reuses what an
// earlier engine's run freed. Blocks the allocator maps apart from its heap (the table of a store's
// thousands of rows, say) are counted too.
double HeapKb() {
    const auto m = mallinfo2();
    return static_cast<double>(m.uordblks + m.hblkhd) / 1024.0;
}

std::string Literal(const Variant& v) {
    if (v.IsNull() || v.IsEmpty()) return "NULL";
    if (const auto* d = v.TryGet<kv::Date>()) return std::string(1, '\'').append(d->ToYmd()).append(1, '\'');
    if (v.IsString())
        return std::string(1, '\'').append(qmx::RaddoppiaApici(kv::RTrim(v.StringValue()))).append(1, '\'');
    return kv::CStr(qmx::SqlNumero(v));
}

// The times of the runs of one step: on a machine shared with other work a single run moves by a third
// from one try to the next, so the median is reported, with the fastest and slowest beside it.
class Runs {
public:
    void Add(double seconds) { runs_.push_back(seconds); }
    double Median() const { return Sorted()[runs_.size() / 2]; }
    double Fastest() const { return Sorted().front(); }
    double Slowest() const { return Sorted().back(); }
    std::size_t Count() const { return runs_.size(); }
    // "1.234 s (median of 5; fastest 1.100, slowest 1.500)", in seconds or, with `ms`, milliseconds.
    std::string Text(bool ms = false) const {
        const double k = ms ? 1000 : 1;
        char buf[160];
        std::snprintf(buf, sizeof buf, ms ? "%8.2f ms (median of %zu; fastest %.2f, slowest %.2f)"
                                          : "%8.3f s (median of %zu; fastest %.3f, slowest %.3f)",
                      Median() * k, runs_.size(), Fastest() * k, Slowest() * k);
        return buf;
    }

private:
    std::vector<double> Sorted() const {
        auto v = runs_;
        std::sort(v.begin(), v.end());
        return v;
    }
    std::vector<double> runs_;
};

template <class F>
double Timed(F&& f) {
    const Clock::time_point t = Clock::now();
    f();
    return Seconds(t);
}

struct Target {
    std::string name, engine;
    double value, limit;
};

struct Engine {
    std::string name;
    std::string connection_string;
    std::string schema;  // PostgreSQL
    std::string file;    // SQLite
};

// The day the benchmark's sessions take as today.
const kv::Date kOggi = kv::Date::FromYmd(2026, 6, 15);

// A database of its own for one part of the run: a SQLite file or a PostgreSQL schema, dropped at the end.
class Database {
public:
    Database(const Engine& e, const std::string& suffix) : engine_(e) {
        if (e.name == "sqlite") {
            file_ = e.file + suffix;
            std::filesystem::remove(file_);
            connection_string_ = "Provider=SQLite;Data Source=" + file_;
            connection = Connection::Create();
            connection->Open(connection_string_ + ";Mode=Create");
        } else {
            schema_ = e.schema + suffix;
            admin_.Open(e.connection_string);
            admin_.Execute("DROP SCHEMA IF EXISTS " + schema_ + " CASCADE");
            admin_.Execute("CREATE SCHEMA " + schema_);
            connection_string_ = e.connection_string + ";Schema=" + schema_;
            connection = Connection::Create();
            connection->Open(connection_string_);
        }
    }
    ~Database() {
        try {
            connection->Close();
            if (!file_.empty()) std::filesystem::remove(file_);
            if (!schema_.empty()) admin_.Execute("DROP SCHEMA IF EXISTS " + schema_ + " CASCADE");
        } catch (const std::exception&) {
            // A database left behind is removed by hand; the figures are printed all the same.
        }
    }
    const std::string& ConnectionString() const { return connection_string_; }
    kv::ado::ConnectionPtr connection;

private:
    Engine engine_;
    std::string file_, schema_, connection_string_;
    Connection admin_;
};

// The demo with the large article, its rows stored or not, and the statistics a company database in
// use has of its price rows (without them, a table analyzed while empty, the server estimates the
// article index as good as the key and, for every key looked up, scans all of the article's rows).
void BuildLarge(Connection& conn, bool stored_prices) {
    qmx::demo::CreateSchema(conn);
    qmx::demo::DemoOptions options;
    options.large_article = true;
    options.stored_prices = stored_prices;
    qmx::demo::BuildDemo(conn, options);
    conn.Execute("ANALYZE");
}

class Host {
public:
    Host(const std::string& connection_string, const kv::ado::ConnectionPtr& conn) {
        global_ = std::make_shared<kv::services::HostGlobalServices>(qmx::demo::kDittaGrande, connection_string);
        global_->SetHostConnection(conn);
        global_->SetToday(kOggi);
        iface_ = qmx::CLSMG_QUENDORMIXAL::Create();
        iface_->SetClsGlobal(global_);
    }
    std::shared_ptr<kv::services::HostGlobalServices> Global() const { return global_; }
    std::shared_ptr<qmx::CLSMG_QUENDORMIXAL> Interface() const { return iface_; }
    // A list driver's parameter rows, as the window's list drivers hold them.
    std::shared_ptr<qmx::CLSMG_SETUPLISTINI> Listini(const kv::ado::ConnectionPtr& conn,
                                                     qmx::KvEnumLisSalPur kind) {
        auto d = std::make_shared<qmx::CLSMG_SETUPLISTINI>();
        d->SetActiveInterface(iface_);
        d->SetADOConnection(conn);
        d->SetSalPur(kind);
        d->SetCodArticolo(qmx::demo::kArticoloGrande);
        d->rstParMagLis = conn->Execute(d->GetSql_ParListini());
        return d;
    }
    std::shared_ptr<qmx::CLSMG_SETUPVARIANTI> Driver(const kv::ado::ConnectionPtr& conn, qmx::KvEnumVarSalPur kind) {
        auto d = std::make_shared<qmx::CLSMG_SETUPVARIANTI>();
        d->SetActiveInterface(iface_);
        d->SetADOConnection(conn);
        d->SetSalPur(kind);
        d->SetGrid(std::make_shared<kv::controls::DataGrid>(kind == qmx::VarPurchase ? "GRD_LISACQ" : "GRD_LISVEN"));
        auto matrix = qmx::CreateMatrixRecordset();
        matrix->Open();
        d->SetRecordset(matrix);
        d->SetCodArticolo(qmx::demo::kArticoloGrande);
        d->SetDataIni("01/01/2025");
        d->SetDataFin("31/12/2025");
        d->ConfigurationOk();
        d->SetupGrid(false);
        return d;
    }

private:
    std::shared_ptr<kv::services::HostGlobalServices> global_;
    std::shared_ptr<qmx::CLSMG_QUENDORMIXAL> iface_;
};

void Check(const qmx::CLSMG_SETUPVARIANTI& d, const char* what) {
    if (d.State() != 0) {
        std::fprintf(stderr, "%s failed: State %d%s%s\n", what, d.State(), d.UltimoErrore() ? ": " : "",
                     d.UltimoErrore() ? d.UltimoErrore()->Description().c_str() : "");
        std::exit(1);
    }
}

void Fail(const std::string& what) {
    std::fprintf(stderr, "%s\n", what.c_str());
    std::exit(1);
}

void LoadBoth(qmx::CLSMG_SETUPVARIANTI& acq, qmx::CLSMG_SETUPVARIANTI& ven) {
    acq.ReLoadVarianti();
    ven.ReLoadVarianti();
    Check(acq, "load");
    Check(ven, "load");
}

// The raw fetch the load is held against: every stored row of the article, purchase then sales, read
// with a plain query. The results are kept in `acq` and `ven` (what they held before is let go here).
[[gnu::noinline]] void RawFetchBoth(const kv::ado::ConnectionPtr& conn, const std::string& select,
                                    kv::ado::RecordsetPtr& acq, kv::ado::RecordsetPtr& ven) {
    acq = conn->Execute(select + "1");
    ven = conn->Execute(select + "0");
}

// The window's option switch of grid type 2: both matrices filtered to one second-level option and both
// grids bound again (ReFilterVarianti, with the message pump it runs).
void Switch(qmx::CLSMG_SETUPVARIANTI& acq, qmx::CLSMG_SETUPVARIANTI& ven, const std::string& option) {
    for (auto* d : {&acq, &ven}) {
        d->SetCodVariante2("A1");
        d->SetValVariante2(option);
        d->ReFilterVarianti();
    }
}

// Gives every row of the matrix a new gross price, as a user pasting a whole column would: a save
// writes only the rows edited.
void PriceEveryRow(qmx::CLSMG_SETUPVARIANTI& d, double base) {
    auto rs = d.Recordset()->Clone();
    long n = 0;
    for (; !rs->IsEOF(); rs->MoveNext()) {
        rs->SetValue("LI10_PREZZO", Variant(base + static_cast<double>(++n % 997) / 10.0));
        rs->Update();
    }
}

// "Conferma" after ten prices typed on the loaded matrices, every row stored: both kinds written in one
// transaction, as the window does, the conflict check included. Five runs, each with ten new prices
// spread over both matrices.
void SaveTenEdits(const Engine& e, const kv::ado::ConnectionPtr& conn, qmx::CLSMG_SETUPVARIANTI& acq,
                  qmx::CLSMG_SETUPVARIANTI& ven, std::vector<Target>& targets) {
    Runs runs;
    for (int run = 0; run < 5; ++run) {
        for (int k = 0; k < 10; ++k) {
            auto& d = k % 2 == 0 ? acq : ven;
            auto rs = d.Recordset()->Clone();
            rs->Move(static_cast<long>(k) * 1187 + run * 31);
            rs->SetValue("LI10_PREZZO", Variant(50.0 + run + k / 10.0));
            rs->Update();
        }
        runs.Add(Timed([&] {
            conn->BeginTrans();
            acq.UpdateBatch();
            ven.UpdateBatch();
            Check(acq, "save of 10 edits");
            Check(ven, "save of 10 edits");
            conn->CommitTrans();
            acq.AccettaSalvataggio();
            ven.AccettaSalvataggio();
        }));
    }
    std::printf("%s: save of 10 edits, every row stored %s\n", e.name.c_str(), runs.Text(true).c_str());
    targets.push_back({"save_10_edits", e.name, runs.Median() * 1000, 30});
}

// The drivers' recalculation as the window runs it for grid types 1 to 3 (RicalcolaListini, with its
// message pump and the grids' unbinding and binding), on matrices loaded by the drivers.
class DriverRecalculation {
public:
    DriverRecalculation(Host& host, const kv::ado::ConnectionPtr& conn,
                        const std::shared_ptr<qmx::CLSMG_SETUPVARIANTI>& acq,
                        const std::shared_ptr<qmx::CLSMG_SETUPVARIANTI>& ven) {
        auto global = host.Global();
        // The window's status bar and operation bar, which the status operations of the run animate.
        host.Interface()->SetStatusBar(std::make_shared<kv::services::HostStatusBar>());
        auto bar = std::make_shared<kv::controls::OperationBar>("BAR_OPERATION");
        acq->BarOperation = bar;
        ven->BarOperation = bar;
        qmx::PricingContext ctx;
        ctx.listini_acq = host.Listini(conn, qmx::LisPurchase);
        ctx.listini_ven = host.Listini(conn, qmx::LisSale);
        ctx.varianti_acq = acq;
        ctx.varianti_ven = ven;
        ctx.connection = conn;
        ctx.company = std::to_string(qmx::demo::kDittaGrande);
        ctx.price_calculation = global->NewPriceCalculation();
        ctx.price_calculation->SetGlobalServices(global);
        ctx.price_rounding = global->NewPriceRounding();
        ctx.price_rounding->SetGlobalServices(global);
        ctx.article = [] { return std::string(qmx::demo::kArticoloGrande); };
        ctx.report = [this](std::string_view procedure, const kv::Error& err) {
            if (++errors <= 3)
                std::fprintf(stderr, "%s: %s\n", std::string(procedure).c_str(), err.Description().c_str());
            return 2;
        };
        ctx.do_events = [global] { global->DoEvents(); };
        ctx.enable_button = [](std::string_view, bool) {};
        recalculation_ = std::make_unique<qmx::Recalculation>(ctx);
    }
    void Run() { recalculation_->RicalcolaListini(); }
    int errors = 0;

private:
    std::unique_ptr<qmx::Recalculation> recalculation_;
};

// Recalculation of every sales row from its reference purchase list, and the option switch, on the
// loaded matrices, after purchase prices were typed in.
void Recalculate(const Engine& e, Host& host, const kv::ado::ConnectionPtr& conn,
                 const std::shared_ptr<qmx::CLSMG_SETUPVARIANTI>& acq_driver,
                 const std::shared_ptr<qmx::CLSMG_SETUPVARIANTI>& ven_driver, std::vector<Target>& targets) {
    auto& acq = *acq_driver;
    auto& ven = *ven_driver;
    auto matrix = acq.Recordset();
    matrix->SetFilter(Variant(int32_t{0}));
    long n = 0;
    for (matrix->MoveFirst(); !matrix->IsEOF(); matrix->MoveNext())
        matrix->SetValue("LI10_PREZZO", Variant(10.0 + static_cast<double>(++n % 997) / 10.0));
    // The net price of every purchase row, for comparison: the run works out one for each sales row.
    const double net = Timed([&] {
        for (matrix->MoveFirst(); !matrix->IsEOF(); matrix->MoveNext()) acq.AggiornaPrezzoNetto();
    });
    DriverRecalculation recalculation(host, conn, acq_driver, ven_driver);
    Switch(acq, ven, "34");
    // Every run does the whole work again (the lookup table, every sales row); the purchase rows' net
    // prices, worked out just above from the prices stored, are known right and left as they are.
    Runs runs, runs_cpu;
    int count = 5;
    if (const char* repeat = std::getenv("QMX_BENCH_RECALC_REPEAT")) count = std::max(1, std::atoi(repeat));
    for (int i = 0; i < count; ++i) {
        const double cpu0 = CpuSeconds();
        runs.Add(Timed([&] { recalculation.Run(); }));
        runs_cpu.Add(CpuSeconds() - cpu0);
    }
    long priced = 0;
    auto sales = ven.Recordset()->Clone();
    for (sales->MoveFirst(); !sales->IsEOF(); sales->MoveNext())
        if (!sales->Value("LI10_PREZZO").IsNull()) ++priced;
    if (recalculation.errors > 0 || priced == 0)
        Fail(e.name + ": recalculation reported " + std::to_string(recalculation.errors) + " errors, priced " +
             std::to_string(priced) + " rows");

    const char* sizes[] = {"36", "38", "40", "42"};
    const int switches = 40;
    const double option_switch = Timed([&] {
        for (int i = 0; i < switches; ++i) Switch(acq, ven, sizes[i % 4]);
    }) / switches;
    std::printf("%s: recalculation of %ld sales rows %s, %.1f ms processor time (%ld priced); option switch "
                "%6.2f ms (%ld rows shown)\n",
                e.name.c_str(), ven.RecordCount(), runs.Text(true).c_str(), runs_cpu.Median() * 1000, priced,
                option_switch * 1000, ven.Recordset()->RecordCount());
    std::printf("%s: net price of %ld purchase rows (AggiornaPrezzoNetto) %8.1f ms\n", e.name.c_str(), n, net * 1000);
    std::fflush(stdout);
    targets.push_back({"recalc", e.name, runs.Median() * 1000, 25});
    targets.push_back({"switch", e.name, option_switch * 1000, 5});
}

// Spreadsheet paste into a grid bound to the whole purchase matrix, the window's way: the grid raises
// its edit events and the handler stores the value by the edit rule and updates the row's net price.
// Then both matrices through CSV and back, every row changed in between so that the import stores.
void Sheet(const Engine& e, qmx::CLSMG_SETUPVARIANTI& acq, qmx::CLSMG_SETUPVARIANTI& ven,
           std::vector<Target>& targets) {
    auto matrix = acq.Recordset();
    matrix->SetFilter(Variant(int32_t{0}));
    kv::controls::DataGrid grid("GRD_LISACQ");
    grid.INIT_ADDColumn("LI10_NUMLIST", "N.", 12, 230);
    grid.INIT_ADDColumn("BLT_OPZIONE1", "Colore", 1, 1000);
    grid.INIT_ADDColumn("LI10_PREZZO", "Prezzo lordo", 1, 1800);
    grid.InitializeSTART();
    grid.SetEnableEditing(true);
    grid.MODCOL_Editing("LI10_PREZZO", 1);
    grid.InitializeEND();
    grid.SetWriteEdits(false);
    grid.SetDataSource(matrix);
    auto edited = grid.OnEdited.Connect([&](const kv::controls::GridEdit& edit) {
        qmx::StoreEdit(*matrix, "LI10_PREZZO", edit.Value(edit.Column()));
        acq.AggiornaPrezzoNetto();
    });
    std::string block;
    const long cells = grid.RowCount();
    for (long r = 0; r < cells; ++r) block += std::to_string(20 + r % 500) + "," + std::to_string(r % 100) + "\n";
    Clock::time_point t = Clock::now();
    const qmx::PasteOutcome pasted = qmx::PasteBlock(grid, 0, 2, block);
    const double paste = Seconds(t);
    if (!pasted.applied || pasted.cells != cells) Fail(e.name + ": paste failed: " + pasted.message);
    grid.SetDataSource(nullptr);

    t = Clock::now();
    std::ostringstream acq_csv, ven_csv;
    qmx::WriteMatrixCsv(*acq.Recordset(), acq_csv);
    qmx::WriteMatrixCsv(*ven.Recordset(), ven_csv);
    const double exported = Seconds(t);
    for (auto* d : {&acq, &ven}) {
        auto m = d->Recordset();
        m->SetFilter(Variant(int32_t{0}));
        for (m->MoveFirst(); !m->IsEOF(); m->MoveNext()) m->SetValue("LI10_PREZZO", Variant(1.0));
    }
    t = Clock::now();
    long rows = 0;
    for (auto [d, text] : {std::pair{&acq, acq_csv.str()}, std::pair{&ven, ven_csv.str()}}) {
        const qmx::CsvRead read = qmx::ReadMatrixCsv(text);
        const qmx::CsvApplied applied = qmx::ApplyMatrixCsv(*d->Recordset(), read, [d] { d->AggiornaPrezzoNetto(); });
        if (!read.error.empty() || !applied.unmatched.empty()) Fail(e.name + ": import failed: " + read.error);
        rows += applied.rows;
    }
    const double imported = Seconds(t);
    std::printf("%s: paste of %ld cells %8.3f s; CSV export of %ld rows %8.3f s (%.1f MB), import %8.3f s "
                "(%ld rows changed)\n",
                e.name.c_str(), cells, paste, acq.RecordCount() + ven.RecordCount(), exported,
                static_cast<double>(acq_csv.str().size() + ven_csv.str().size()) / 1e6, imported, rows);
    std::fflush(stdout);
    targets.push_back({"paste", e.name, paste, 5});
    targets.push_back({"csv_export", e.name, exported, 2});
    targets.push_back({"csv_import", e.name, imported, 5});
}

// The drivers on both matrices: load, saves, the one-query-per-row design, recalculation, switch,
// paste and CSV.
void Run(const Engine& e, std::vector<Target>& targets) {
    Database db(e, "");
    auto conn = db.connection;
    BuildLarge(*conn, true);
    const std::string article_rows = std::string(" FROM LI10_LISTARTIC WHERE LI10_DITTA_CG18 = ") +
                                     std::to_string(qmx::demo::kDittaGrande) + " AND LI10_CODART_MG66 = '" +
                                     qmx::demo::kArticoloGrande + "'";
    if (std::getenv("QMX_BENCH_LOAD_PROFILE")) {
        // For profiling the load alone (under an instruction counter, say): three loads of every row
        // stored.
        Host host(db.ConnectionString(), conn);
        auto acq = host.Driver(conn, qmx::VarPurchase);
        auto ven = host.Driver(conn, qmx::VarSale);
        const std::string select = "SELECT *" + article_rows + " AND LI10_FLGVENDACQ = ";
        kv::ado::RecordsetPtr fetched_acq, fetched_ven;
        for (int run = 0; run < 3; ++run) {
            std::printf("%s: load %.3f s\n", e.name.c_str(), Timed([&] { LoadBoth(*acq, *ven); }));
            std::printf("%s: raw fetch %.3f s\n", e.name.c_str(),
                        Timed([&] { RawFetchBoth(conn, select, fetched_acq, fetched_ven); }));
        }
        return;
    }
    conn->Execute("DELETE" + article_rows);

    Host host(db.ConnectionString(), conn);
    const double heap0 = HeapKb();
    auto acq = host.Driver(conn, qmx::VarPurchase);
    auto ven = host.Driver(conn, qmx::VarSale);
    const double load_empty = Timed([&] { LoadBoth(*acq, *ven); });
    const long rows = acq->RecordCount() + ven->RecordCount();
    const double kb_per_row = (HeapKb() - heap0) / static_cast<double>(rows);
    if (acq->GetIndTipoGriglia() != 2) Fail("grid type " + std::to_string(acq->GetIndTipoGriglia()) + ", not 2");
    if (std::getenv("QMX_BENCH_RECALC_ONLY")) {
        // For profiling the recalculation alone (under an instruction counter, say): the purchase rows
        // priced, nothing saved.
        PriceEveryRow(*acq, 10.0);
        Recalculate(e, host, conn, acq, ven, targets);
        return;
    }

    // Five saves of every row new: before each but the first, the rows go and the matrices load empty.
    Runs save_new;
    for (int run = 0; run < 5; ++run) {
        if (run > 0) {
            conn->Execute("DELETE" + article_rows);
            LoadBoth(*acq, *ven);
        }
        PriceEveryRow(*acq, 10.0 + run);
        PriceEveryRow(*ven, 20.0 + run);
        save_new.Add(Timed([&] {
            acq->UpdateBatch();
            ven->UpdateBatch();
        }));
        Check(*acq, "save");
        Check(*ven, "save");
    }
    // The rows just inserted wrote their blank columns as 0, which a save of an existing row writes as
    // Null (and a few columns the other way once loaded): a first save of every row existing, after a
    // load, changes and records a dozen cells a row. It runs once, untimed, so that the timed saves are
    // of what a user changes - a price a row.
    const auto save_existing_once = [&](double base) {
        PriceEveryRow(*acq, 10.5 + base);
        PriceEveryRow(*ven, 20.5 + base);
        return Timed([&] {
            acq->UpdateBatch();
            ven->UpdateBatch();
            Check(*acq, "save");
            Check(*ven, "save");
        });
    };
    LoadBoth(*acq, *ven);
    save_existing_once(0);

    // The same rows as literal statements, built before anything is timed: one INSERT a row for the raw
    // insert, multi-row VALUES, and the described design's statements.
    const std::string select = "SELECT *" + article_rows + " AND LI10_FLGVENDACQ = ";
    std::vector<std::string> inserts, values, updates, selects;
    std::string columns;
    for (const char* kind : {"1", "0"}) {
        auto rs = conn->Execute(select + kind);
        const int n = rs->GetFields().Count();
        if (columns.empty()) {
            for (int i = 0; i < n; ++i) columns += (i ? ", " : "") + rs->GetFields()[i].Name();
        }
        for (rs->MoveFirst(); !rs->IsEOF(); rs->MoveNext()) {
            std::string v, set, key;
            for (int i = 0; i < n; ++i) {
                const std::string name = rs->GetFields()[i].Name();
                const std::string lit = Literal(rs->Value(i));
                v += (i ? ", " : "") + lit;
                if (i < 10) {
                    key += (i ? " AND " : "") + name + " = " + lit;
                } else {
                    set += (set.empty() ? "" : ", ") + name + " = " + lit;
                }
            }
            inserts.push_back("INSERT INTO LI10_LISTARTIC (" + columns + ") VALUES (" + v + ")");
            values.push_back("(" + v + ")");
            updates.push_back("UPDATE LI10_LISTARTIC SET " + set + " WHERE " + key);
            selects.push_back("SELECT * FROM LI10_LISTARTIC WHERE " + key);
        }
    }

    // The load and the raw fetch it is held against are timed under the same conditions, in turn. The
    // saves just rewrote every row: on PostgreSQL the first read after that also pays for tidying the
    // new row versions (hint bits, dead versions), on either engine the statistics are those of before.
    // The table is brought to rest and read once untimed, so that neither timed read pays for the saves.
    conn->Execute(e.name == "postgresql" ? "VACUUM ANALYZE LI10_LISTARTIC" : "ANALYZE");
    conn->Execute(select + "1");
    conn->Execute(select + "0");
    Runs raw_fetch, load;
    kv::ado::RecordsetPtr fetched_acq, fetched_ven;
    for (int run = 0; run < 5; ++run) {
        raw_fetch.Add(Timed([&] { RawFetchBoth(conn, select, fetched_acq, fetched_ven); }));
        load.Add(Timed([&] { LoadBoth(*acq, *ven); }));
    }
    // The save of every row existing and the raw insert it is held against are timed in turn, under
    // the same conditions: the raw insert puts the rows back as they are now, the matrices load them
    // (untimed), every row is priced anew and saved.
    Runs save_existing, raw_insert;
    const int save_runs = std::getenv("QMX_BENCH_SAVE_PROFILE") ? 12 : 5;
    for (int run = 0; run < save_runs; ++run) {
        conn->Execute("DELETE" + article_rows);
        raw_insert.Add(Timed([&] {
            conn->BeginTrans();
            for (const auto& st : inserts) conn->Execute(st);
            conn->CommitTrans();
        }));
        LoadBoth(*acq, *ven);
        save_existing.Add(save_existing_once(1.0 + run));
    }
    if (std::getenv("QMX_BENCH_SAVE_PROFILE")) { std::printf("%s\n", save_existing.Text().c_str()); return; }
    SaveTenEdits(e, conn, *acq, *ven, targets);
    Recalculate(e, host, conn, acq, ven, targets);
    Sheet(e, *acq, *ven, targets);
    if (std::getenv("QMX_BENCH_LOAD_ONLY")) {
        // For profiling the load and the recalculation: they are the last things run.
        std::printf("%s: load, all stored %s\n", e.name.c_str(), load.Text().c_str());
        std::printf("%s: raw fetch        %s\n", e.name.c_str(), raw_fetch.Text().c_str());
        std::printf("%s: load against raw fetch %.2f\n", e.name.c_str(), load.Median() / raw_fetch.Median());
        return;
    }

    // The described design: one query per matrix row to load, an existence query and a statement per
    // row to save (every row exists; no transaction, as it was described).
    const double described_load = Timed([&] {
        for (const auto& s : selects) conn->Execute(s);
    });
    const double described_save = Timed([&] {
        for (std::size_t i = 0; i < updates.size(); ++i) {
            conn->Execute(selects[i]);
            conn->Execute(updates[i]);
        }
    });

    conn->Execute("DELETE" + article_rows);
    const double raw_multirow = Timed([&] {
        conn->BeginTrans();
        for (std::size_t i = 0; i < values.size(); i += 500) {
            std::string s = "INSERT INTO LI10_LISTARTIC (" + columns + ") VALUES ";
            for (std::size_t k = i; k < values.size() && k < i + 500; ++k) s += (k > i ? ", " : "") + values[k];
            conn->Execute(s);
        }
        conn->CommitTrans();
    });

    const char* en = e.name.c_str();
    std::printf("%s: %ld matrix rows (%ld stored rows fetched)\n", en, rows,
                fetched_acq->RecordCount() + fetched_ven->RecordCount());
    std::printf("%s: load, nothing stored   %8.3f s\n", en, load_empty);
    std::printf("%s: load, all stored       %s\n", en, load.Text().c_str());
    std::printf("%s: raw fetch              %s\n", en, raw_fetch.Text().c_str());
    std::printf("%s: save, all new          %s\n", en, save_new.Text().c_str());
    std::printf("%s: save, all existing     %s\n", en, save_existing.Text().c_str());
    std::printf("%s: raw insert             %s   multi-row insert %8.3f s\n", en, raw_insert.Text().c_str(),
                raw_multirow);
    std::printf("%s: described design: load %8.3f s (%.1fx ours), save %8.3f s (%.1fx ours)\n", en, described_load,
                described_load / load.Median(), described_save, described_save / save_existing.Median());
    std::printf("%s: save against multi-row insert: new %.2fx, existing %.2fx\n", en, save_new.Median() / raw_multirow,
                save_existing.Median() / raw_multirow);
    std::printf("%s: heap memory %.2f KB per matrix row\n", en, kb_per_row);
    std::fflush(stdout);
    targets.push_back({"load", e.name, load.Median() / raw_fetch.Median(), 2});
    targets.push_back({"save_new", e.name, save_new.Median() / raw_insert.Median(), 2});
    targets.push_back({"save_existing", e.name, save_existing.Median() / raw_insert.Median(), 1});
    targets.push_back({"memory", e.name, kb_per_row, 2});
}

// The window on the large article as qmx-demo --large makes it, driven as a user drives it.
void SeasonAndUndo(const Engine& e, const std::string& connection_string, std::vector<Target>& targets);

void WindowFlows(const Engine& e, std::vector<Target>& targets) {
    Database db(e, "_w");
    BuildLarge(*db.connection, true);
    if (std::getenv("QMX_BENCH_SEASON_ONLY")) {
        // For profiling "Da periodo" and undo alone.
        SeasonAndUndo(e, db.ConnectionString(), targets);
        return;
    }
    const char* en = e.name.c_str();
    qmx::bench::BenchDesk desk(qmx::demo::kDittaGrande, db.ConnectionString(), kOggi);
    auto& w = desk.Window();
    // The drivers the window's figures are held against, on a connection of their own as the window has.
    auto conn = Connection::Create();
    conn->Open(db.ConnectionString());
    Host host(db.ConnectionString(), conn);
    auto acq = host.Driver(conn, qmx::VarPurchase);
    auto ven = host.Driver(conn, qmx::VarSale);
    auto expect_rows = [&](const char* what) {
        if (desk.Errors() > 0) Fail(e.name + ": " + what + ": " + desk.LastError());
        if (w.GRD_LISACQ->RowCount() != 480 || w.GRD_LISVEN->RowCount() != 480)
            Fail(e.name + ": " + what + ": the grids show " + std::to_string(w.GRD_LISACQ->RowCount()) + " and " +
                 std::to_string(w.GRD_LISVEN->RowCount()) + " rows, not 480");
    };

    // Open: the header typed up to its last date untimed, then the last date and the size; in turn
    // with the drivers' load of the same rows.
    Runs open, load;
    for (int run = 0; run < 5; ++run) {
        if (run > 0) desk.Click("Nuovo");
        desk.Type(*w.TXT_CODART, qmx::demo::kArticoloGrande);
        desk.Type(*w.TXT_DADATA_ACQ, "01/01/2025");
        desk.Type(*w.TXT_ADATA_ACQ, "31/12/2025");
        desk.Type(*w.TXT_DADATA_VEN, "01/01/2025");
        open.Add(Timed([&] {
            desk.Type(*w.TXT_ADATA_VEN, "31/12/2025");
            desk.Type(*w.TXT_VARIANTE, "34");
        }));
        expect_rows("open");
        if (w.VariantiAcquisto()->RecordCount() != 12000 || w.VariantiVendita()->RecordCount() != 12000)
            Fail(e.name + ": the window did not load 12,000 rows of each kind");
        load.Add(Timed([&] { LoadBoth(*acq, *ven); }));
    }

    // Another size picked in the side list, two sizes in turn.
    desk.Type(*w.TXT_VARIANTE, "36");
    if (w.GRD_SIDE->RowCount() != 2) Fail(e.name + ": the side list does not hold the two sizes typed");
    Runs switches;
    for (int run = 0; run < 21; ++run) switches.Add(Timed([&] { desk.Pick(run % 2); }));
    expect_rows("switch");

    // "Conferma" after 10 prices typed: 5 purchase and 5 sales rows of the size shown.
    Runs save;
    for (int run = 0; run < 5; ++run) {
        for (int k = 0; k < 10; ++k) {
            auto& grid = k % 2 == 0 ? *w.GRD_LISACQ : *w.GRD_LISVEN;
            desk.Edit(grid, (k / 2) * 97 + run * 7, "LI10_PREZZO", std::to_string(60 + run) + "," + std::to_string(10 + k));
        }
        if (!w.State().changes_pending) Fail(e.name + ": the typed prices are not pending");
        save.Add(Timed([&] { desk.Click("Conferma"); }));
        if (w.State().changes_pending || desk.Errors() > 0) Fail(e.name + ": the window's save failed: " + desk.LastError());
    }

    // "Ricalcola", in turn with the drivers' recalculation of the same matrices.
    DriverRecalculation recalculation(host, conn, acq, ven);
    Switch(*acq, *ven, "36");
    Runs recalc, driver_recalc;
    for (int run = 0; run < 5; ++run) {
        recalc.Add(Timed([&] { desk.Click("Ricalcola"); }));
        driver_recalc.Add(Timed([&] { recalculation.Run(); }));
    }
    expect_rows("Ricalcola");
    if (recalculation.errors > 0) Fail(e.name + ": the drivers' recalculation reported errors");

    std::printf("%s: window open (last date and size) %s\n", en, open.Text(true).c_str());
    std::printf("%s: drivers' load of the same rows  %s\n", en, load.Text(true).c_str());
    std::printf("%s: window switch of size           %s\n", en, switches.Text(true).c_str());
    std::printf("%s: window Conferma after 10 prices %s\n", en, save.Text(true).c_str());
    std::printf("%s: window Ricalcola                %s\n", en, recalc.Text(true).c_str());
    std::printf("%s: drivers' recalculation          %s\n", en, driver_recalc.Text(true).c_str());
    std::fflush(stdout);
    targets.push_back({"window_open", e.name, open.Median() / load.Median(), 1.3});
    targets.push_back({"window_switch", e.name, switches.Median() * 1000, 10});
    targets.push_back({"window_recalc", e.name, recalc.Median() / driver_recalc.Median(), 1.3});
    targets.push_back({"window_save_10_edits", e.name, save.Median() * 1000, 50});
    SeasonAndUndo(e, db.ConnectionString(), targets);
}

// A new season from the stored one, and undo: the window on 2026 (nothing stored), "Da periodo" of
// the stored 2025 prices of every row of both kinds raised by 5 %, then undone; and one undo of a
// change of 12,000 purchase gross prices made as one user action, as a paste of that many cells
// leaves it (each cell and its net price noted). Each timed step is undone or done again between
// runs, so every run does the same work.
void SeasonAndUndo(const Engine& e, const std::string& connection_string, std::vector<Target>& targets) {
    const char* en = e.name.c_str();
    qmx::bench::BenchDesk desk(qmx::demo::kDittaGrande, connection_string, kOggi);
    auto& w = desk.Window();
    desk.Type(*w.TXT_CODART, qmx::demo::kArticoloGrande);
    desk.Type(*w.TXT_DADATA_ACQ, "01/01/2026");
    desk.Type(*w.TXT_ADATA_ACQ, "31/12/2026");
    desk.Type(*w.TXT_DADATA_VEN, "01/01/2026");
    desk.Type(*w.TXT_ADATA_VEN, "31/12/2026");
    desk.Type(*w.TXT_VARIANTE, "34");
    const auto acquisto = qmx::PeriodiDaCopiare(w, true);
    const auto vendita = qmx::PeriodiDaCopiare(w, false);
    if (acquisto.empty() || vendita.empty()) Fail(e.name + ": Da periodo lists no stored period");
    qmx::SceltaPeriodo scelta{acquisto.front(), vendita.front(), "+5%", 0};
    Runs copy, undo_copy;
    for (int run = 0; run < 5; ++run) {
        copy.Add(Timed([&] {
            if (!qmx::DaPeriodo(w, scelta)) Fail(e.name + ": Da periodo changed nothing");
        }));
        if (!w.State().changes_pending) Fail(e.name + ": the copied prices are not pending");
        undo_copy.Add(Timed([&] { w.AnnullaUltimaModifica(); }));
        if (w.State().changes_pending) Fail(e.name + ": undoing the copy left prices pending");
    }

    // 12,000 purchase gross prices changed as one action (the grid lets go of the matrix meanwhile).
    auto driver = w.VariantiAcquisto();
    auto matrice = driver->Recordset();
    auto cambia = [&] {
        qmx::StoricoModifiche::Azione azione(w.Storico());
        w.GRD_LISACQ->SetDataSource(nullptr);
        const kv::Variant filtro = matrice->Filter();
        matrice->SetFilter(kv::Variant(int16_t{0}));
        const int prezzo = matrice->GetFields().IndexOf("LI10_PREZZO");
        long i = 0;
        for (matrice->MoveFirst(); !matrice->IsEOF(); matrice->MoveNext(), ++i) {
            matrice->SetValue(prezzo, kv::Variant(50.0 + static_cast<double>(i % 100) / 100));
            driver->AggiornaPrezzoNetto();
        }
        matrice->SetFilter(filtro);
        w.GRD_LISACQ->SetDataSource(matrice);
        if (i != 12000) Fail(e.name + ": the purchase matrix holds " + std::to_string(i) + " rows, not 12,000");
    };
    cambia();
    Runs undo_paste;
    for (int run = 0; run < 5; ++run) {
        undo_paste.Add(Timed([&] {
            if (!w.AnnullaUltimaModifica()) Fail(e.name + ": nothing to undo");
        }));
        if (!w.RipetiModifica()) Fail(e.name + ": nothing to redo");
    }
    if (desk.Errors() > 0) Fail(e.name + ": " + desk.LastError());
    std::printf("%s: Da periodo, 24,000 rows, +5%%     %s\n", en, copy.Text(true).c_str());
    std::printf("%s: undo of that Da periodo          %s\n", en, undo_copy.Text(true).c_str());
    std::printf("%s: undo of 12,000 cells in one step %s\n", en, undo_paste.Text(true).c_str());
    std::fflush(stdout);
    targets.push_back({"copy_period", e.name, copy.Median(), 0.2});
    targets.push_back({"undo_paste", e.name, undo_paste.Median() * 1000, 50});
}

void Desktops(const qmx::bench::DesktopsOptions& o, std::vector<Target>& targets) {
    std::printf("postgresql: %d desktops for %d s, %d ms after each typed price...\n", o.desktops, o.seconds,
                o.think_ms);
    std::fflush(stdout);
    const qmx::bench::DesktopsResult r = qmx::bench::RunDesktops(o);
    if (!r.ran) Fail("postgresql: desktops: " + r.problem);
    std::printf("postgresql: %d desktops: %ld saves in %.1f s (%.1f saves/s), %ld presses of Conferma: median "
                "%.1f ms, p95 %.1f ms, slowest %.1f ms; %ld conflicts met, %ld unexpected\n",
                o.desktops, r.saves, r.seconds, static_cast<double>(r.saves) / r.seconds, r.presses, r.median_ms,
                r.p95_ms, r.slowest_ms, r.conflicts, r.unexpected);
    std::printf("postgresql: final check: %ld prices saved into %ld rows; %ld stored more than once, %ld lost%s%s\n",
                r.prices, r.keys, r.duplicates, r.lost, r.problem.empty() ? "" : "; ", r.problem.c_str());
    std::fflush(stdout);
    if (r.duplicates > 0 || r.lost > 0 || !r.problem.empty()) Fail("postgresql: the desktops' final check failed");
    targets.push_back({"desktops50_p95", "postgresql", r.p95_ms, 200});
}

int Usage() {
    std::fputs("uso: large_article_bench [--no-desktops | --desktops-only] [--desktops N] [--seconds S] [--think MS]\n",
               stderr);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    bool desktops = true, desktops_only = false;
    qmx::bench::DesktopsOptions desk_options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto number = [&](int& out) {
            if (i + 1 >= argc) return false;
            out = std::atoi(argv[++i]);
            return out >= 0;
        };
        if (arg == "--no-desktops") {
            desktops = false;
        } else if (arg == "--desktops-only") {
            desktops_only = true;
        } else if (arg == "--desktops") {
            if (!number(desk_options.desktops) || desk_options.desktops == 0) return Usage();
        } else if (arg == "--seconds") {
            if (!number(desk_options.seconds) || desk_options.seconds == 0 ||
                desk_options.seconds > qmx::bench::kMaxSeconds)
                return Usage();
        } else if (arg == "--think") {
            if (!number(desk_options.think_ms)) return Usage();
        } else {
            return Usage();
        }
    }
    std::vector<Engine> engines;
    Engine sqlite{"sqlite", "", "", ""};
    sqlite.file = (std::filesystem::temp_directory_path() / ("qmx_large_" + std::to_string(::getpid()) + ".sqlite")).string();
    engines.push_back(sqlite);
    const char* pg = std::getenv("QMX_PG_CONNECTION");
    if (pg && *pg) {
        engines.push_back({"postgresql", pg, "kvl_" + std::to_string(::getpid()), ""});
    } else {
        std::printf("postgresql: QMX_PG_CONNECTION is not set, left out\n");
    }
    std::vector<Target> targets;
    int rc = 0;
    // QMX_BENCH_ENGINE=sqlite|postgresql runs that engine only.
    const char* only = std::getenv("QMX_BENCH_ENGINE");
    bool pg_ran = false;
    for (const auto& e : engines) {
        if ((only && *only && e.name != only) || desktops_only) {
            pg_ran = pg_ran || (desktops_only && e.name == "postgresql");
            continue;
        }
        try {
            if (!std::getenv("QMX_BENCH_SEASON_ONLY") && !std::getenv("QMX_BENCH_WINDOW_ONLY")) Run(e, targets);
            if (!std::getenv("QMX_BENCH_LOAD_ONLY") && !std::getenv("QMX_BENCH_DRIVERS_ONLY")) WindowFlows(e, targets);
            pg_ran = pg_ran || e.name == "postgresql";
        } catch (const std::exception& err) {
            std::fprintf(stderr, "%s: %s\n", e.name.c_str(), err.what());
            rc = 1;
        }
    }
    if (desktops && pg_ran) {
        desk_options.connection = pg;
        try {
            Desktops(desk_options, targets);
        } catch (const std::exception& err) {
            std::fprintf(stderr, "postgresql: desktops: %s\n", err.what());
            rc = 1;
        }
    }
    for (const auto& t : targets)
        std::printf("target %s %s %.2f %g\n", t.name.c_str(), t.engine.c_str(), t.value, t.limit);
    return rc;
}
