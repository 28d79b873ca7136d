// The recalculation and the pivot look a matrix row up by key once per row: a filter of ANDed
// equalities set, the one matching row walked, on a matrix of 8 lists x 60 x 25 options.
#include <benchmark/benchmark.h>

#include <string>

#include "matrix/matrix_recordset.h"
#include "platform/variant/strings.h"

namespace {

using kv::Variant;
using namespace kv::ado;

constexpr int kLists = 8, kFirst = 60, kSecond = 25;

std::string Opt(const char* prefix, int i) { return prefix + std::to_string(i); }

RecordsetPtr BuildMatrix() {
    auto rs = qmx::CreateMatrixRecordset();
    rs->Open();
    for (int l = 1; l <= kLists; ++l)
        for (int a = 0; a < kFirst; ++a)
            for (int b = 0; b < kSecond; ++b) {
                rs->AddNew();
                rs->SetValue("ID", rs->AbsolutePosition());
                rs->SetValue("LI10_NUMLIST", l);
                rs->SetValue("BLT_CODICEVAR1", "A1");
                rs->SetValue("BLT_OPZIONE1", Opt("COL", a));
                rs->SetValue("BLT_CODICEVAR2", "A2");
                rs->SetValue("BLT_OPZIONE2", Opt("TG", b));
                rs->SetValue("LI10_PREZZO", 10.0 + a + b / 100.0);
                rs->Update();
            }
    return rs;
}

void BM_FilterAndWalkMatrixRows(benchmark::State& state) {
    auto rs = BuildMatrix();
    std::vector<std::string> filters;
    for (int l = 1; l <= kLists; ++l)
        for (int a = 0; a < kFirst; ++a)
            for (int b = 0; b < kSecond; ++b)
                filters.push_back("LI10_NUMLIST = " + std::to_string(l) + " AND BLT_CODICEVAR1 = 'A1' AND "
                                  "BLT_OPZIONE1 = '" + Opt("COL", a) + "' AND BLT_CODICEVAR2 = 'A2' AND "
                                  "BLT_OPZIONE2 = '" + Opt("TG", b) + "'");
    for (auto _ : state) {
        long found = 0;
        for (const auto& f : filters) {
            rs->SetFilter(Variant(f));
            while (!rs->IsEOF()) {
                benchmark::DoNotOptimize(rs->Value("LI10_PREZZO"));
                ++found;
                rs->MoveNext();
            }
        }
        if (found != static_cast<long>(filters.size())) state.SkipWithError("a key did not match one row");
    }
    state.counters["lookups"] = static_cast<double>(filters.size());
}
BENCHMARK(BM_FilterAndWalkMatrixRows)->Unit(benchmark::kMillisecond);

void BM_FilterBuildMatrix12000(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(BuildMatrix());
}
BENCHMARK(BM_FilterBuildMatrix12000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
