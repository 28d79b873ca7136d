#pragma once
// Test databases on both engines. A test suite derives from EngineTest and is instantiated with
// QMX_INSTANTIATE_ENGINES(Suite); each test then gets `db()`, an open connection to an empty database
// of its own:
//  - SQLite: a private in-memory database;
//  - PostgreSQL: a schema of its own, created in the server that QMX_PG_CONNECTION names and dropped
//    afterwards (tests running in parallel never see each other's tables).
// Without QMX_PG_CONNECTION the PostgreSQL cases are skipped, or fail when QMX_REQUIRE_PG=1 says the
// run must cover both engines.

#include <gtest/gtest.h>

#include "support/errors.h"
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "platform/ado/connection.h"

namespace qmx::testing {

enum class Engine { kSqlite, kPostgres };

inline std::string EngineName(Engine e) { return e == Engine::kSqlite ? "SQLite" : "PostgreSQL"; }
inline void PrintTo(Engine e, std::ostream* os) { *os << EngineName(e); }

inline const char* PgConnectionString() {
    const char* s = std::getenv("QMX_PG_CONNECTION");
    return s && *s ? s : nullptr;
}

inline bool PgRequired() {
    const char* s = std::getenv("QMX_REQUIRE_PG");
    return s && std::string(s) == "1";
}

using kv::testing::ErrorNumber;

// Every row of the price table, every column, in key order.
inline std::vector<std::string> DumpPrices(kv::ado::Connection& c) {
    auto rs = c.Execute(
        "SELECT * FROM LI10_LISTARTIC ORDER BY LI10_DITTA_CG18, LI10_FLGUSODECOR, LI10_FLGVENDACQ, LI10_INDTIPOLIS,"
        " LI10_CODART_MG66, LI10_OPZIONE_MG5E, LI10_DEPOS_MG58, LI10_NUMLIST, LI10_DATAINIZIOVAL, LI10_DATAFINEVAL");
    std::vector<std::string> rows;
    const int n = rs->GetFields().Count();
    for (; !rs->IsEOF(); rs->MoveNext()) {
        std::string line;
        for (int i = 0; i < n; ++i) line += kv::DebugString(rs->Value(i)) + "|";
        rows.push_back(std::move(line));
    }
    return rows;
}

// A database of its own on one engine, dropped when the object goes.
class TestDatabase {
public:
    // Empty `skip_reason` and a null connection mean the engine is not available.
    explicit TestDatabase(Engine engine) : engine_(engine) {
        if (engine == Engine::kSqlite) {
            connection_string_ = "Provider=SQLite;Data Source=:memory:";
        } else {
            const char* base = PgConnectionString();
            if (!base) return;
            static std::atomic<int> counter{0};
            schema_ = "kvt_" + std::to_string(::getpid()) + "_" + std::to_string(++counter);
            admin_ = kv::ado::Connection::Create();
            admin_->Open(base);
            admin_->Execute("DROP SCHEMA IF EXISTS " + schema_ + " CASCADE");
            admin_->Execute("CREATE SCHEMA " + schema_);
            connection_string_ = std::string(base) + ";Schema=" + schema_;
        }
        connection_ = kv::ado::Connection::Create();
        connection_->Open(connection_string_);
    }
    ~TestDatabase() {
        connection_.reset();
        if (admin_) {
            try {
                admin_->Execute("DROP SCHEMA IF EXISTS " + schema_ + " CASCADE");
            } catch (const kv::Error&) {
                // Nothing to do in a destructor; the server is private to the test run.
            }
        }
    }
    TestDatabase(const TestDatabase&) = delete;
    TestDatabase& operator=(const TestDatabase&) = delete;

    Engine engine() const { return engine_; }
    bool available() const { return connection_ != nullptr; }
    kv::ado::Connection& db() { return *connection_; }
    kv::ado::ConnectionPtr connection() { return connection_; }
    // Opens another connection to the same database (PostgreSQL only: an in-memory SQLite database
    // belongs to one connection).
    const std::string& connection_string() const { return connection_string_; }

private:
    Engine engine_;
    std::string schema_;
    std::string connection_string_;
    kv::ado::ConnectionPtr admin_;
    kv::ado::ConnectionPtr connection_;
};

class EngineTest : public ::testing::TestWithParam<Engine> {
protected:
    void SetUp() override {
        if (GetParam() == Engine::kPostgres && !PgConnectionString()) {
            if (PgRequired()) FAIL() << "QMX_REQUIRE_PG=1 but QMX_PG_CONNECTION is not set";
            GTEST_SKIP() << "QMX_PG_CONNECTION is not set";
        }
        database_ = std::make_unique<TestDatabase>(GetParam());
    }
    void TearDown() override { database_.reset(); }

    Engine engine() const { return GetParam(); }
    bool sqlite() const { return GetParam() == Engine::kSqlite; }
    kv::ado::Connection& db() { return database_->db(); }
    TestDatabase& database() { return *database_; }
    // The collation a text column needs on this engine to compare without trailing blanks.
    std::string TextCollation() const { return sqlite() ? " COLLATE RTRIM" : ""; }

private:
    std::unique_ptr<TestDatabase> database_;
};

struct EngineParamName {
    std::string operator()(const ::testing::TestParamInfo<Engine>& info) const { return EngineName(info.param); }
};

}  // namespace qmx::testing

#define QMX_INSTANTIATE_ENGINES(Suite)                                                                      \
    INSTANTIATE_TEST_SUITE_P(Engines, Suite,                                                               \
                             ::testing::Values(::qmx::testing::Engine::kSqlite,                           \
                                               ::qmx::testing::Engine::kPostgres),                        \
                             ::qmx::testing::EngineParamName())
