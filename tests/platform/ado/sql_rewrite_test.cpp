#include "platform/ado/sql_rewrite.h"

#include <gtest/gtest.h>

#include "platform/ado/backend.h"

namespace kv::ado {
namespace {

const std::vector<SqlFunctionRule> kRules = {
    {"ISNULL", "IFNULL", "", ""},
    {"SUBSTRING", "substr", "(", " COLLATE RTRIM)"},
};

struct RewriteCase {
    const char* in;
    const char* out;
};

TEST(RewriteSql, RewritesCallsOutsideLiteralsAndComments) {
    const RewriteCase cases[] = {
        {"SELECT ISNULL(A, 1) FROM T", "SELECT IFNULL(A, 1) FROM T"},
        {"select isnull (a,1)", "select IFNULL (a,1)"},
        {"ORDER BY\r\n    ISNULL(X.SEQ, 1), Y", "ORDER BY\r\n    IFNULL(X.SEQ, 1), Y"},
        // Not calls, or not this function: left alone.
        {"SELECT A ISNULL FROM T", "SELECT A ISNULL FROM T"},
        {"SELECT MYISNULL(A) FROM T", "SELECT MYISNULL(A) FROM T"},
        {"SELECT ISNULLX(A) FROM T", "SELECT ISNULLX(A) FROM T"},
        {"SELECT S.ISNULL(A) FROM T", "SELECT S.ISNULL(A) FROM T"},
        // Literals, quoted names and comments are never rewritten.
        {"SELECT 'ISNULL(A)', 'it''s ISNULL(' FROM T", "SELECT 'ISNULL(A)', 'it''s ISNULL(' FROM T"},
        {"SELECT \"ISNULL(\" FROM T", "SELECT \"ISNULL(\" FROM T"},
        {"SELECT 1 -- ISNULL(A)\nFROM T", "SELECT 1 -- ISNULL(A)\nFROM T"},
        {"SELECT /* ISNULL( */ 1", "SELECT /* ISNULL( */ 1"},
        // A wrapped call closes at its own parenthesis, nested calls included.
        {"WHERE substring(C,4,2) in ('R')", "WHERE (substr(C,4,2) COLLATE RTRIM) in ('R')"},
        {"SELECT SUBSTRING(ISNULL(C, ')'), 1, (2)) X",
         "SELECT (substr(IFNULL(C, ')'), 1, (2)) COLLATE RTRIM) X"},
        {"SELECT substring(substring(C,2,5),1,1)",
         "SELECT (substr((substr(C,2,5) COLLATE RTRIM),1,1) COLLATE RTRIM)"},
        {"SELECT 'L''ISNULL(' || ISNULL(A,'')", "SELECT 'L''ISNULL(' || IFNULL(A,'')"},
        {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(RewriteSql(c.in, kRules), c.out) << c.in;
}

TEST(RewriteSql, UnclosedCallLeavesTheSuffixOut) {
    EXPECT_EQ(RewriteSql("SELECT substring(A, 1", kRules), "SELECT (substr(A, 1");
    EXPECT_EQ(RewriteSql("SELECT 'open", kRules), "SELECT 'open");
}

TEST(ConnectionParams, ParsesPairsWithoutCaseAndBlanks) {
    auto p = ConnectionParams::Parse(
        " Provider = PostgreSQL ; host=127.0.0.1;PORT=5432;;Database=ditta ;User ID= qmx;Password='a;b''c'; ");
    EXPECT_EQ(p.Get({"provider"}), "PostgreSQL");
    EXPECT_EQ(p.Get({"HOST"}), "127.0.0.1");
    EXPECT_EQ(p.Get({"Port"}), "5432");
    EXPECT_EQ(p.Get({"database"}), "ditta");
    EXPECT_EQ(p.Get({"user id"}), "qmx");
    EXPECT_EQ(p.Get({"userid", "User  ID"}), "qmx");  // inner blanks count once
    EXPECT_EQ(p.Get({"password"}), "a;b'c");
    EXPECT_EQ(p.Get({"Schema"}), "");
    EXPECT_FALSE(p.Has("Schema"));
}

TEST(ConnectionParams, LastRepeatedKeyWinsAndEmptyValuesStay) {
    auto p = ConnectionParams::Parse("Provider=SQLite;Data Source=a.db;data source=b.db;Password=");
    EXPECT_EQ(p.Get({"Data Source"}), "b.db");
    EXPECT_TRUE(p.Has("password"));
    EXPECT_EQ(p.Get({"Password"}), "");
}

TEST(ConnectionParams, MalformedTextRaises3001) {
    for (const char* text : {"Provider", "Provider=SQLite;Data Source", "=x", "Password='open", "Password='a' b"}) {
        try {
            ConnectionParams::Parse(text);
            ADD_FAILURE() << text;
        } catch (const Error& e) {
            EXPECT_EQ(e.Number(), err::kInvalidArgument) << text;
        }
    }
}

}  // namespace
}  // namespace kv::ado
