#include "schema/demo/desktop_role.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <set>
#include <string>

#include "platform/variant/strings.h"
#include "schema/demo/demo.h"
#include "support/db_engines.h"

namespace qmx::demo {
namespace {

using kv::ado::Connection;
using qmx::testing::ErrorNumber;

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// What each table allows is the server's test below; here, what is never in a statement.
TEST(DesktopRole, StatementsHoldNoPasswordAndOnlyPlainNames) {
    const auto statements = DesktopRoleStatements("qmx_desktop", "ditta");
    ASSERT_GE(statements.size(), 3u);
    for (const auto& s : statements) EXPECT_FALSE(Has(s, "PASSWORD")) << s;  // set apart, never shown or kept
    EXPECT_EQ(DesktopRoleStatements("qmx_desktop", "ditta", false).size(), statements.size() - 1);
    // Names that are not plain lower-case identifiers would be read otherwise by the server, or worse.
    for (const char* bad : {"", "Desktop", "1desk", "desk;DROP TABLE X", "desk top", "d\"x"})
        EXPECT_EQ(ErrorNumber([&] { DesktopRoleStatements(bad, "ditta"); }), kv::err::kInvalidArgument) << bad;
    // A schema name is quoted whatever it holds.
    EXPECT_EQ(DesktopRoleStatements("d", "a\"b", false)[0], "GRANT USAGE ON SCHEMA \"a\"\"b\" TO d");
}

class DesktopRoleOnServer : public ::testing::Test {
protected:
    void SetUp() override {
        if (!testing::PgConnectionString()) {
            if (testing::PgRequired()) FAIL() << "QMX_PG_CONNECTION is not set";
            GTEST_SKIP() << "QMX_PG_CONNECTION is not set";
        }
        database_ = std::make_unique<testing::TestDatabase>(testing::Engine::kPostgres);
        role_ = "qmx_desk_" + std::to_string(::getpid());
    }
    void TearDown() override {
        if (!database_) return;
        try {
            database_->db().Execute("DROP OWNED BY " + role_);
            database_->db().Execute("DROP ROLE " + role_);
        } catch (const kv::Error&) {
            // The role was never made.
        }
        database_.reset();
    }
    std::unique_ptr<testing::TestDatabase> database_;
    std::string role_;
};

// A table added to the schema must be given its rights (or none) deliberately.
TEST_F(DesktopRoleOnServer, EveryTableOfTheSchemaHasItsRightsSaid) {
    Connection& db = database_->db();
    CreateSchema(db);
    std::set<std::string> tables;
    auto rs = db.Execute("SELECT table_name FROM information_schema.tables WHERE table_schema = current_schema()");
    for (; !rs->IsEOF(); rs->MoveNext()) tables.insert(kv::UCase(kv::CStr(rs->Value(0))));
    std::set<std::string> listed;
    for (const auto& r : DesktopRights()) listed.insert(r.table);
    EXPECT_EQ(tables, listed);
}

TEST_F(DesktopRoleOnServer, TheRoleReadsTheConfigurationWritesThePricesAndTheServerRefusesTheRest) {
    Connection& db = database_->db();
    CreateSchema(db);
    BuildDemo(db);
    CreateDesktopRole(db, role_);
    CreateDesktopRole(db, role_);  // again: the role is there, the grants are given again

    Connection desk;
    desk.Open(database_->connection_string() + ";User ID=" + role_);
    EXPECT_EQ(desk.Execute("SELECT current_user")->Value(0), kv::Variant(role_));
    for (const auto& r : DesktopRights())
        EXPECT_EQ(ErrorNumber([&] { desk.Execute(std::string("SELECT COUNT(*) FROM ") + r.table); }), 0) << r.table;
    desk.BeginTrans();
    desk.Execute("UPDATE LI10_LISTARTIC SET LI10_PREZZO = LI10_PREZZO + 1 WHERE LI10_CODART_MG66 = 'SCI001'");
    desk.Execute("INSERT INTO LI10_LISTARTIC SELECT * FROM LI10_LISTARTIC WHERE 1 = 0");
    desk.Execute("DELETE FROM LI10_LISTARTIC WHERE LI10_CODART_MG66 = 'SCI001'");
    desk.Execute("INSERT INTO QX10_STORICOPREZZI SELECT * FROM QX10_STORICOPREZZI WHERE 1 = 0");
    desk.RollbackTrans();

    // Refused by the server itself: its SQLSTATE for a missing privilege, its own message.
    for (const char* statement :
         {"UPDATE MG44_PARMAGLIST SET MG44_DESCLIST = 'x'", "INSERT INTO CG18_DITTE (CG18_CODICE) VALUES (99)",
          "DELETE FROM MG66_ANAGRART", "CREATE TABLE ALTRO (A INTEGER)", "DROP TABLE LI10_LISTARTIC",
          "TRUNCATE LI10_LISTARTIC", "ALTER TABLE LI10_LISTARTIC ADD COLUMN X INTEGER", "CREATE ROLE altro",
          // The price history is added to, never rewritten.
          "UPDATE QX10_STORICOPREZZI SET QX10_UTENTE = 'x'", "DELETE FROM QX10_STORICOPREZZI"}) {
        SCOPED_TRACE(statement);
        EXPECT_EQ(ErrorNumber([&] { desk.Execute(statement); }), kv::err::kProvider);
        ASSERT_EQ(desk.GetErrors().Count(), 1);
        const auto& refusal = desk.GetErrors().Item(0);
        EXPECT_EQ(refusal.source, "PostgreSQL");
        EXPECT_EQ(refusal.sql_state, "42501") << refusal.description;
    }
    EXPECT_GT(kv::CLng(db.Execute("SELECT COUNT(*) FROM LI10_LISTARTIC WHERE LI10_CODART_MG66 = 'SCI001'")->Value(0)), 0);
}

}  // namespace
}  // namespace qmx::demo
