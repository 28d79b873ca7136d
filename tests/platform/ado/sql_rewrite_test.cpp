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

TEST(RewriteSql, ServerLexiconKeepsItsLiteralsAndCommentsWhole) {
    const std::vector<SqlFunctionRule> rules = {{"ISNULL", "COALESCE", "", ""}};
    const RewriteCase cases[] = {
        // E'...' ends at an unescaped quote only.
        {"SELECT E'it\\'s ISNULL(' || ISNULL(A, '')", "SELECT E'it\\'s ISNULL(' || COALESCE(A, '')"},
        {"SELECT e'\\\\' , ISNULL(A,1)", "SELECT e'\\\\' , COALESCE(A,1)"},
        // A plain literal has no escapes: the backslash is an ordinary character.
        {"SELECT '\\', ISNULL(A,1)", "SELECT '\\', COALESCE(A,1)"},
        {"SELECT NAME'x'", "SELECT NAME'x'"},
        // Dollar quoting, with and without a tag; $1 is a parameter.
        {"SELECT $$ISNULL(A)$$, ISNULL(B,1)", "SELECT $$ISNULL(A)$$, COALESCE(B,1)"},
        {"SELECT $q$ $$ ISNULL( $q$, ISNULL(B,1)", "SELECT $q$ $$ ISNULL( $q$, COALESCE(B,1)"},
        {"SELECT ISNULL($1, 2)", "SELECT COALESCE($1, 2)"},
        // Comments nest.
        {"SELECT /* a /* ISNULL( */ ISNULL( */ ISNULL(B,1)", "SELECT /* a /* ISNULL( */ ISNULL( */ COALESCE(B,1)"},
    };
    for (const auto& c : cases) EXPECT_EQ(RewriteSql(c.in, rules, SqlDialect::kPostgres), c.out) << c.in;
    // The embedded engine knows none of these forms.
    EXPECT_EQ(RewriteSql("SELECT /* a /* b */ ISNULL(B,1)", rules), "SELECT /* a /* b */ COALESCE(B,1)");
}

TEST(RewriteSql, ServerLikeIgnoresTheValuesTrailingBlanks) {
    const RewriteCase cases[] = {
        {"WHERE C LIKE 'AB'", "WHERE C SIMILAR TO 'AB *'"},
        {"WHERE C not like 'A%_'", "WHERE C not SIMILAR TO 'A%_ *'"},
        {"WHERE C LIKE 'a(b)|c*d+e?f{1}[x]'", "WHERE C SIMILAR TO 'a\\(b\\)\\|c\\*d\\+e\\?f\\{1\\}\\[x\\] *'"},
        {"WHERE C LIKE 'O''K\\%'", "WHERE C SIMILAR TO 'O''K\\% *'"},
        // Left alone: a pattern that is not a plain literal, an ESCAPE clause, text in literals.
        {"WHERE C LIKE D", "WHERE C LIKE D"},
        {"WHERE C LIKE 'A!%' ESCAPE '!'", "WHERE C LIKE 'A!%' ESCAPE '!'"},
        {"WHERE C LIKE E'A\\\\'", "WHERE C LIKE E'A\\\\'"},
        {"SELECT 'C LIKE ''x'''", "SELECT 'C LIKE ''x'''"},
    };
    for (const auto& c : cases) EXPECT_EQ(RewriteSql(c.in, {}, SqlDialect::kPostgres), c.out) << c.in;
    EXPECT_EQ(RewriteSql("WHERE C LIKE 'AB'", {}), "WHERE C LIKE 'AB'");
}

TEST(StatementFirstWords, SplitsAtSemicolonsOutsideLiteralsAndComments) {
    const struct {
        const char* sql;
        std::vector<std::string> words;
    } cases[] = {
        {"/* note */ COMMIT", {"COMMIT"}},
        {"-- note\ncommit;", {"COMMIT"}},
        {"INSERT INTO T VALUES ('a;b'); SELECT 1", {"INSERT", "SELECT"}},
        {"SELECT 1; -- COMMIT;\n", {"SELECT"}},
        {"SELECT $$;COMMIT;$$; /* ; */ ROLLBACK", {"SELECT", "ROLLBACK"}},
        {"(SELECT 1); ;; ", {""}},
        {"", {}},
    };
    for (const auto& c : cases) EXPECT_EQ(StatementFirstWords(c.sql, SqlDialect::kPostgres), c.words) << c.sql;
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
    // The last of a repeated key wins; an empty value is there.
    auto q = ConnectionParams::Parse("Provider=SQLite;Data Source=a.db;data source=b.db;Password=");
    EXPECT_EQ(q.Get({"Data Source"}), "b.db");
    EXPECT_TRUE(q.Has("password"));
    EXPECT_EQ(q.Get({"Password"}), "");
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
