// The database paths the window leans on, on both engines: fetching every stored price row of one
// article into a recordset (24,000 rows: 20 lists x 40 colours x 30 sizes), and writing as many rows
// with one INSERT statement each inside one transaction.
// SQLite runs on a file in the temporary folder; PostgreSQL in a schema of its own on the server that
// QMX_PG_CONNECTION names (its cases are left out when it is not set).
// Both measure wall time (UseRealTime): most of a database call is spent waiting for the engine or the
// server, which the process's CPU time does not count, and rows per second follow the wall time too.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/ado/connection.h"
#include "schema/demo/demo.h"

namespace {

using kv::ado::Connection;

constexpr int kLists = 20, kColours = 40, kSizes = 30;
constexpr long kRows = long{kLists} * kColours * kSizes;

struct Database {
    std::string connection_string;
    std::string schema;  // PostgreSQL only
    std::string file;    // SQLite only
    std::shared_ptr<Connection> connection;
};

std::unique_ptr<Database> OpenDatabase(bool postgres) {
    auto db = std::make_unique<Database>();
    if (postgres) {
        const char* base = std::getenv("QMX_PG_CONNECTION");
        db->schema = "kvb_" + std::to_string(::getpid());
        Connection admin;
        admin.Open(base);
        admin.Execute("DROP SCHEMA IF EXISTS " + db->schema + " CASCADE");
        admin.Execute("CREATE SCHEMA " + db->schema);
        db->connection_string = std::string(base) + ";Schema=" + db->schema;
    } else {
        db->file = (std::filesystem::temp_directory_path() / ("qmx_bench_" + std::to_string(::getpid()) + ".sqlite"))
                       .string();
        std::filesystem::remove(db->file);
        db->connection_string = "Provider=SQLite;Data Source=" + db->file + ";Mode=Create";
    }
    db->connection = Connection::Create();
    db->connection->Open(db->connection_string);
    qmx::demo::CreateSchema(*db->connection);
    return db;
}

void CloseDatabase(std::unique_ptr<Database> db) {
    db->connection.reset();
    if (!db->schema.empty()) {
        Connection admin;
        admin.Open(std::getenv("QMX_PG_CONNECTION"));
        admin.Execute("DROP SCHEMA IF EXISTS " + db->schema + " CASCADE");
    }
    if (!db->file.empty()) std::filesystem::remove(db->file);
}

std::string Code(char prefix, int i) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%c%02d", prefix, i);
    return buf;
}

// The INSERT statements the window's save writes: every column, text quoted, numbers with '.'.
std::vector<std::string> InsertStatements(const std::string& article) {
    std::vector<std::string> out;
    out.reserve(kRows);
    for (int l = 1; l <= kLists; ++l)
        for (int c = 0; c < kColours; ++c)
            for (int s = 0; s < kSizes; ++s) {
                const std::string option =
                    qmx::demo::ComposeOption("GIRO", {{5, Code('C', c)}, {8, Code('T', s)}});
                out.push_back(
                    " INSERT INTO LI10_LISTARTIC (LI10_DITTA_CG18, LI10_FLGUSODECOR, LI10_FLGVENDACQ, "
                    "LI10_INDTIPOLIS, LI10_CODART_MG66, LI10_OPZIONE_MG5E, LI10_DEPOS_MG58, LI10_NUMLIST, "
                    "LI10_DATAINIZIOVAL, LI10_DATAFINEVAL, LI10_FLGLIST, LI10_PREZZO, LI10_SC1PER, LI10_SC2PER, "
                    "LI10_SC3PER, LI10_SC4PER, LI10_SC5PER, LI10_SC6PER, LI10_SCIMP, LI10_MAG1PER, LI10_MAG2PER, "
                    "LI10_MAGIMP, LI10_PERRICDELTA, LI10_INDRICALPR, LI10_INDARROT, LI10_SCAGL_MG02, "
                    "LI10_FLGPROVV, LI10_PROVPER, LI10_PROVIMP, LI10_PROVVSC_PA10, LI10_DATACREAZ, "
                    "LI10_DATAULTAGG, LI10_FLGVARIATO, LI10_INDTIPOVAR, LI10_DATASTLIS, LI10_NUMPAGST, "
                    "LI10_BVMBASE, LI10_BVMVAR, LI10_BVMMOLT, LI10_FLGPERSON, LI10_LIBEROVAL, "
                    "LI10_IDMEDIA_CG99, LI10_INDUM, LI10_NOTE ) VALUES ( 1, 0, 1, 0, '" + article + "', '" +
                    option + "', '', " + std::to_string(l) +
                    ", '20250101', '20251231', 1, " + std::to_string(18 + s) + "." + std::to_string(10 + c) +
                    ", 10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 150, 0, 1, 2, 0, 0, 0, '', '20241215', '20250110', 1, 0, "
                    "NULL, 0, 0, 0, 0, 0, 0, 0, 1, 'Nota della riga' )");
            }
    return out;
}

void InsertAll(Connection& c, const std::vector<std::string>& statements) {
    c.BeginTrans();
    for (const auto& sql : statements) c.Execute(sql);
    c.CommitTrans();
}

void BM_Insert24000RowsInOneTransaction(benchmark::State& state, bool postgres) {
    auto db = OpenDatabase(postgres);
    const auto statements = InsertStatements("MAG001");
    for (auto _ : state) {
        state.PauseTiming();
        db->connection->Execute("DELETE FROM LI10_LISTARTIC");
        state.ResumeTiming();
        InsertAll(*db->connection, statements);
    }
    state.counters["rows/s"] = benchmark::Counter(static_cast<double>(kRows), benchmark::Counter::kIsIterationInvariantRate);
    CloseDatabase(std::move(db));
}

void BM_Fetch24000RowsOfOneArticle(benchmark::State& state, bool postgres) {
    auto db = OpenDatabase(postgres);
    InsertAll(*db->connection, InsertStatements("MAG001"));
    InsertAll(*db->connection, InsertStatements("GIA001"));  // another article's rows beside them
    if (postgres) db->connection->Execute("ANALYZE LI10_LISTARTIC");
    for (auto _ : state) {
        auto rs = db->connection->Execute(
            "SELECT * FROM LI10_LISTARTIC WHERE LI10_DITTA_CG18 = 1 AND LI10_CODART_MG66 = 'MAG001'");
        if (rs->RecordCount() != kRows) state.SkipWithError("wrong row count");
        benchmark::DoNotOptimize(rs);
    }
    state.counters["rows/s"] = benchmark::Counter(static_cast<double>(kRows), benchmark::Counter::kIsIterationInvariantRate);
    CloseDatabase(std::move(db));
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    std::vector<bool> engines = {false};
    if (const char* pg = std::getenv("QMX_PG_CONNECTION"); pg && *pg) {
        engines.push_back(true);
    } else {
        std::fprintf(stderr, "QMX_PG_CONNECTION is not set: the PostgreSQL cases are left out\n");
    }
    for (bool pg : engines) {
        const std::string engine = pg ? "PostgreSQL" : "SQLite";
        benchmark::RegisterBenchmark(("BM_Fetch24000RowsOfOneArticle/" + engine).c_str(), BM_Fetch24000RowsOfOneArticle, pg)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
        benchmark::RegisterBenchmark(("BM_Insert24000RowsInOneTransaction/" + engine).c_str(),
                                     BM_Insert24000RowsInOneTransaction, pg)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
