#include "platform/ado/connection.h"
#include "platform/ado/command.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "platform/variant/strings.h"
#include "support/db_engines.h"

namespace kv::ado {
namespace {

using qmx::testing::EngineTest;
using qmx::testing::ErrorNumber;

class ConnectionTest : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        const std::string c = TextCollation();
        db().Execute("CREATE TABLE T (K INTEGER NOT NULL PRIMARY KEY, CODE CHAR(5)" + c +
                     (sqlite() ? " CHECK (length(CODE) <= 5)" : "") + ", NAME VARCHAR(30)" + c +
                     (sqlite() ? " CHECK (length(NAME) <= 30)" : "") +
                     ", PRICE NUMERIC, DAY DATE, QTY DOUBLE PRECISION, BIG BIGINT)");
    }
    RecordsetPtr Query(const std::string& sql) { return db().Execute(sql); }
    Variant One(const std::string& sql) {
        auto rs = db().Execute(sql);
        EXPECT_EQ(rs->RecordCount(), 1) << sql;
        return rs->Value(0);
    }
    long Count(const std::string& where = "1=1") { return CLng(One("SELECT COUNT(*) FROM T WHERE " + where)); }
};

TEST_P(ConnectionTest, ResultFieldsCarryTheDeclaredTypes) {
    db().Execute("INSERT INTO T VALUES (1, 'AB', 'Maglia', 12.50, '20240105', 1.5, 9000000000)");
    auto rs = Query("SELECT K, CODE, NAME, PRICE, DAY, QTY, BIG FROM T");
    ASSERT_EQ(rs->State(), adStateOpen);
    ASSERT_EQ(rs->RecordCount(), 1);
    struct Expect {
        const char* name;
        DataTypeEnum type;
        long size;
        Variant value;
    };
    const Expect expected[] = {
        {"K", adInteger, 0, Variant(int32_t{1})},
        {"CODE", adWChar, 5, Variant("AB   ")},
        {"NAME", adVarWChar, 30, Variant("Maglia")},
        {"PRICE", adNumeric, 0, Variant(*Decimal::Parse("12.5"))},
        {"DAY", adDate, 0, Variant(Date::FromYmd(2024, 1, 5))},
        {"QTY", adDouble, 0, Variant(1.5)},
        {"BIG", adBigInt, 0, Variant(9000000000LL)},
    };
    auto fields = rs->GetFields();
    ASSERT_EQ(fields.Count(), 7);
    for (int i = 0; i < 7; ++i) {
        const auto& e = expected[i];
        Field f = fields[i];
        EXPECT_TRUE(EqualsNoCase(f.Name(), e.name)) << f.Name();
        EXPECT_EQ(f.Type(), e.type) << e.name;
        EXPECT_EQ(f.DefinedSize(), e.size) << e.name;
        EXPECT_EQ(f.Value(), e.value) << e.name;
    }
    // Names are found whatever case the engine reports them in.
    EXPECT_EQ(rs->Value("price"), Variant(*Decimal::Parse("12.5")));
    // Null reads as Null in every type.
    db().Execute("INSERT INTO T (K) VALUES (2)");
    rs = Query("SELECT CODE, NAME, PRICE, DAY, QTY, BIG FROM T WHERE K = 2");
    for (int i = 0; i < 6; ++i) EXPECT_TRUE(rs->Value(i).IsNull()) << rs->GetFields()[i].Name();
}

TEST_P(ConnectionTest, DecimalsRoundTripExactly) {
    const Decimal sum = *Decimal::Parse("0.1") + *Decimal::Parse("0.2");
    const char* values[] = {"0.3", "-0.000001", "12345.678901", "99999999.999999", "0.05", "1000000"};
    db().Execute("INSERT INTO T (K, PRICE) VALUES (0, " + sum.ToString() + ")");
    int k = 1;
    for (const char* v : values) db().Execute("INSERT INTO T (K, PRICE) VALUES (" + std::to_string(k++) + ", " + v + ")");
    auto rs = Query("SELECT PRICE FROM T ORDER BY K");
    EXPECT_EQ(rs->Value(0), Variant(*Decimal::Parse("0.3")));
    for (const char* v : values) {
        rs->MoveNext();
        EXPECT_EQ(rs->Value(0), Variant(*Decimal::Parse(v))) << v;
    }
    // Compared in SQL exactly too.
    EXPECT_EQ(Count("PRICE = 0.3"), 2);
    EXPECT_EQ(Count("PRICE > 0.29 AND PRICE < 0.31"), 2);
}

TEST_P(ConnectionTest, DatesRoundTripAndCompareAsYmdLiterals) {
    const struct {
        int k;
        const char* literal;
        Date date;
    } days[] = {{1, "20240105", Date::FromYmd(2024, 1, 5)},
                {2, "20240229", Date::FromYmd(2024, 2, 29)},
                {3, "20991231", Date::FromYmd(2099, 12, 31)},
                {4, "19991231", Date::FromYmd(1999, 12, 31)}};
    for (const auto& d : days)
        db().Execute("INSERT INTO T (K, DAY) VALUES (" + std::to_string(d.k) + ", '" + d.literal + "')");
    auto rs = Query("SELECT DAY FROM T ORDER BY K");
    for (const auto& d : days) {
        EXPECT_EQ(rs->Value(0), Variant(d.date)) << d.literal;
        rs->MoveNext();
    }
    EXPECT_EQ(Count("DAY = '20240229'"), 1);
    EXPECT_EQ(Count("DAY >= '20240101' AND DAY <= '20241231'"), 2);
    EXPECT_EQ(Count("DAY < '20000101'"), 1);
    EXPECT_EQ(CLng(Query("SELECT K FROM T ORDER BY DAY DESC")->Value(0)), 3);  // the latest day first
}

TEST_P(ConnectionTest, QuotesAndAccentedTextRoundTrip) {
    db().Execute("INSERT INTO T (K, CODE, NAME) VALUES (1, 'D''OR', 'Perché è già 25° àèìòù L''ape')");
    db().Execute("INSERT INTO T (K, CODE) VALUES (2, 'èèèèè')");  // five characters, ten bytes
    auto rs = Query("SELECT CODE, NAME FROM T WHERE CODE = 'D''OR'");
    ASSERT_EQ(rs->RecordCount(), 1);
    EXPECT_EQ(rs->Value("CODE"), Variant("D'OR "));
    EXPECT_EQ(rs->Value("NAME"), Variant("Perché è già 25° àèìòù L'ape"));
    EXPECT_EQ(Count("NAME LIKE '%già 25°%'"), 1);
    EXPECT_EQ(One("SELECT CODE FROM T WHERE K = 2"), Variant("èèèèè"));
}

TEST_P(ConnectionTest, TextLongerThanItsColumnIsRefused) {
    EXPECT_EQ(ErrorNumber([&] { db().Execute("INSERT INTO T (K, CODE) VALUES (1, 'ABCDEF')"); }), err::kProvider);
    EXPECT_EQ(ErrorNumber([&] { db().Execute("INSERT INTO T (K, NAME) VALUES (2, '" + std::string(31, 'x') + "')"); }),
              err::kProvider);
    EXPECT_EQ(Count(), 0);
    db().Execute("INSERT INTO T (K, CODE, NAME) VALUES (3, 'ABCDE', '" + std::string(30, 'x') + "')");
    EXPECT_EQ(Count(), 1);
}

TEST_P(ConnectionTest, ComponentDialectRunsUnchanged) {
    db().Execute("INSERT INTO T (K, CODE, NAME) VALUES (1, 'XXXR ', NULL)");
    db().Execute("INSERT INTO T (K, CODE, NAME) VALUES (2, 'XXXBL', 'Blu')");
    // ISNULL of the host's dialect, also inside ORDER BY; a literal that looks like a call stays text.
    auto rs = Query("SELECT K, ISNULL(NAME, 'nessuno') AS N, 'ISNULL(x)' AS L FROM T ORDER BY ISNULL(NAME, 'A')");
    ASSERT_EQ(rs->RecordCount(), 2);
    EXPECT_EQ(rs->Value("N"), Variant("nessuno"));
    EXPECT_EQ(rs->Value("L"), Variant("ISNULL(x)"));
    EXPECT_EQ(CLng(rs->Value("K")), 1);
    // substring(s, start, len) with the segment compared without trailing blanks.
    EXPECT_EQ(Count("substring(CODE, 4, 2) IN ('R', 'GI')"), 1);
    EXPECT_EQ(Count("substring(CODE, 4, 2) IN ('R ')"), 1);
    EXPECT_EQ(Count("substring(CODE,4,2) = 'BL'"), 1);
    EXPECT_EQ(RTrim(CStr(One("SELECT substring(CODE, 1, 3) FROM T WHERE K = 2"))), "XXX");
    EXPECT_EQ(CLng(One("SELECT SUM(ISNULL(PRICE, 2)) AS S FROM T")), 4);
}

TEST_P(ConnectionTest, StatementsReportRowsAffectedAndCloseTheirResult) {
    long n = -5;
    auto rs = db().Execute("INSERT INTO T (K) VALUES (1)", &n);
    EXPECT_EQ(rs->State(), adStateClosed);
    EXPECT_EQ(n, 1);
    db().Execute("INSERT INTO T (K) VALUES (2)");
    db().Execute("INSERT INTO T (K) VALUES (3)");
    db().Execute("UPDATE T SET NAME = 'x' WHERE K >= 2", &n);
    EXPECT_EQ(n, 2);
    db().Execute("DELETE FROM T WHERE K = 99", &n);
    EXPECT_EQ(n, 0);
    rs = db().Execute("SELECT * FROM T WHERE 0=1", &n);
    EXPECT_EQ(n, -1);
    EXPECT_EQ(rs->State(), adStateOpen);
    EXPECT_EQ(rs->RecordCount(), 0);
    EXPECT_EQ(rs->GetFields().Count(), 7);
    EXPECT_TRUE(rs->IsEOF());
}

TEST_P(ConnectionTest, RefusedStatementRaisesFillsErrorsAndKeepsTheConnection) {
    db().Execute("INSERT INTO T (K) VALUES (1)");
    EXPECT_EQ(db().GetErrors().Count(), 0);
    for (const char* bad : {"INSERT INTO T (K) VALUES (1)", "SELECT NOSUCH FROM T", "SELEC 1"}) {
        try {
            db().Execute(bad);
            ADD_FAILURE() << bad;
        } catch (const Error& e) {
            EXPECT_EQ(e.Number(), err::kProvider) << bad;
            EXPECT_FALSE(e.Description().empty());
            ASSERT_EQ(db().GetErrors().Count(), 1) << bad;
            EXPECT_EQ(db().GetErrors().Item(0).description, e.Description());
            EXPECT_EQ(db().GetErrors().Item(0).source, qmx::testing::EngineName(engine()));
        }
    }
    EXPECT_EQ(db().GetErrors().Item(0).description.find("NOSUCH"), std::string::npos);  // the last error only
    EXPECT_EQ(ErrorNumber([&] { db().GetErrors().Item(1); }), err::kItemNotFound);
    // Success leaves the collection as it was; the connection goes on working.
    EXPECT_EQ(Count(), 1);
    EXPECT_EQ(db().GetErrors().Count(), 1);
    EXPECT_EQ(db().State(), adStateOpen);
}

TEST_P(ConnectionTest, RefusedStatementInsideATransactionUndoesOnlyItself) {
    db().BeginTrans();
    db().Execute("INSERT INTO T (K) VALUES (1)");
    EXPECT_EQ(ErrorNumber([&] { db().Execute("INSERT INTO T (K) VALUES (1)"); }), err::kProvider);
    db().Execute("INSERT INTO T (K) VALUES (2)");
    EXPECT_TRUE(db().InTransaction());
    db().CommitTrans();
    EXPECT_EQ(Count(), 2);
}

TEST_P(ConnectionTest, RollbackRestoresAndCommitKeeps) {
    db().Execute("INSERT INTO T (K, NAME) VALUES (1, 'prima')");
    db().BeginTrans();
    db().Execute("UPDATE T SET NAME = 'dopo'");
    db().Execute("INSERT INTO T (K) VALUES (2)");
    EXPECT_EQ(Count(), 2);
    db().RollbackTrans();
    EXPECT_FALSE(db().InTransaction());
    EXPECT_EQ(Count(), 1);
    EXPECT_EQ(One("SELECT NAME FROM T"), Variant("prima"));

    db().BeginTrans();
    db().Execute("DELETE FROM T");
    db().CommitTrans();
    EXPECT_EQ(Count(), 0);
}

TEST_P(ConnectionTest, NestedTransactionsUndoTheInnerLevelOnly) {
    db().BeginTrans();
    db().Execute("INSERT INTO T (K) VALUES (1)");
    db().BeginTrans();
    db().Execute("INSERT INTO T (K) VALUES (2)");
    db().RollbackTrans();
    EXPECT_TRUE(db().InTransaction());
    db().BeginTrans();
    db().Execute("INSERT INTO T (K) VALUES (3)");
    db().CommitTrans();
    db().CommitTrans();
    EXPECT_EQ(Count(), 2);
    EXPECT_EQ(Count("K = 2"), 0);
}

TEST_P(ConnectionTest, TransactionStatementTextRunsAsItIs) {
    db().BeginTrans();
    db().Execute("INSERT INTO T (K) VALUES (1)");
    db().Execute("COMMIT");
    EXPECT_FALSE(db().InTransaction());
    EXPECT_EQ(ErrorNumber([&] { db().RollbackTrans(); }), err::kIllegalOperation);
    EXPECT_EQ(Count(), 1);
}

TEST_P(ConnectionTest, StateRules) {
    EXPECT_EQ(ErrorNumber([&] { db().CommitTrans(); }), err::kIllegalOperation);
    EXPECT_EQ(ErrorNumber([&] { db().Open(database().connection_string()); }), err::kObjectOpen);
    db().BeginTrans();
    EXPECT_EQ(ErrorNumber([&] { db().Close(); }), err::kInTransaction);
    db().RollbackTrans();
    EXPECT_EQ(db().Provider(), qmx::testing::EngineName(engine()));
    db().Close();
    EXPECT_EQ(db().State(), adStateClosed);
    EXPECT_EQ(db().Provider(), "");
    EXPECT_EQ(ErrorNumber([&] { db().Close(); }), err::kObjectClosed);
    EXPECT_EQ(ErrorNumber([&] { db().Execute("SELECT 1"); }), err::kObjectClosed);
    EXPECT_EQ(ErrorNumber([&] { db().BeginTrans(); }), err::kObjectClosed);
}

TEST_P(ConnectionTest, StatementThatDoesNotParseLosesNothingElseOfTheTransaction) {
    const char* bad[] = {
        "INSRT INTO T (K) VALUES (9)",
        "UPDATE T SET NAME = ,",
        "INSERT INTO T (K, NAME) VALUES (9, 'unterminated)",
        "INSERT INTO T (K) VALUES (9); SELEC 1",  // the first statement of a failing text is undone too
        "INSERT INTO T (K) VALUES (9); INSERT INTO T (K) VALUES (1)",
        "SELECT 1 -- a comment at the end",
    };
    int k = 100;
    for (const char* sql : bad) {
        db().Execute("DELETE FROM T");
        db().BeginTrans();
        db().Execute("INSERT INTO T (K) VALUES (1)");
        const long error = ErrorNumber([&] { db().Execute(sql); });
        db().Execute("INSERT INTO T (K) VALUES (" + std::to_string(++k) + ")");
        EXPECT_TRUE(db().InTransaction()) << sql;
        db().CommitTrans();
        EXPECT_EQ(Count(), 2) << sql << " (error " << error << ")";
        EXPECT_EQ(Count("K = 9"), 0) << sql;
    }
}

TEST_P(ConnectionTest, TextOfSeveralStatementsIsAllOrNothing) {
    for (bool in_transaction : {false, true}) {
        if (in_transaction) db().BeginTrans();
        EXPECT_EQ(ErrorNumber([&] {
                      db().Execute("INSERT INTO T (K) VALUES (1);\r\nINSERT INTO T (K) VALUES (2); "
                                   "INSERT INTO T (K) VALUES (1)");
                  }),
                  err::kProvider);
        if (in_transaction) db().CommitTrans();
        EXPECT_EQ(Count(), 0) << in_transaction;
    }
    db().Execute("INSERT INTO T (K) VALUES (1); INSERT INTO T (K) VALUES (2)");
    EXPECT_EQ(Count(), 2);
}

TEST_P(ConnectionTest, CommitTextAfterACommentCommitsOnce) {
    for (const char* commit : {"/* note */ COMMIT", "-- note\nCOMMIT", " /* a /* b */ */ COMMIT"}) {
        if (sqlite() && std::string(commit).find("/* b") != std::string::npos) continue;  // no nested comments
        db().Execute("DELETE FROM T");
        db().BeginTrans();
        db().Execute("INSERT INTO T (K) VALUES (1)");
        EXPECT_EQ(ErrorNumber([&] { db().Execute(commit); }), 0) << commit;
        EXPECT_FALSE(db().InTransaction()) << commit;
        EXPECT_EQ(Count(), 1) << commit;
    }
}

TEST_P(ConnectionTest, CommitOfATransactionTheServerRolledBackRaises) {
    if (sqlite()) GTEST_SKIP() << "the embedded engine keeps a transaction going after a failed statement";
    db().BeginTrans();
    db().Execute("INSERT INTO T (K) VALUES (1)");
    // A text that shapes the transaction itself runs unprotected: its failure dooms the transaction.
    EXPECT_EQ(ErrorNumber([&] { db().Execute("SAVEPOINT mine; INSERT INTO T (K) VALUES (1)"); }), err::kProvider);
    EXPECT_EQ(ErrorNumber([&] { db().CommitTrans(); }), err::kProvider);
    EXPECT_FALSE(db().InTransaction());
    EXPECT_EQ(Count(), 0);
}

TEST_P(ConnectionTest, YearsBeforeOneHundredAreNotReadAsThisCentury) {
    db().Execute("INSERT INTO T (K, DAY) VALUES (1, '01000101')");
    EXPECT_EQ(One("SELECT DAY FROM T WHERE K = 1"), Variant(*Date::TryFromYmd(100, 1, 1)));
    for (const char* day : {"00010101", "00991231", "00290615"}) {
        db().Execute("DELETE FROM T WHERE K = 2");
        db().Execute(std::string("INSERT INTO T (K, DAY) VALUES (2, '") + day + "')");
        std::string text;
        try {
            auto rs = db().Execute("SELECT DAY FROM T WHERE K = 2");
            text = "read as " + CStr(rs->Value(0));
        } catch (const Error& e) {
            EXPECT_EQ(e.Number(), err::kDataConversion) << day;
            text = e.Description();
        }
        EXPECT_NE(UCase(text).find("DAY"), std::string::npos) << day << ": " << text;  // names the column
        EXPECT_EQ(text.find("read as"), std::string::npos) << day << ": " << text;
    }
}

TEST_P(ConnectionTest, EnginesAgreeOnFixedWidthTextForms) {
    db().Execute("INSERT INTO T (K, CODE, NAME) VALUES (1, 'AB', 'x')");
    db().Execute("INSERT INTO T (K, CODE, NAME) VALUES (2, 'AB   ', 'x')");
    db().Execute("INSERT INTO T (K, CODE, NAME) VALUES (3, NULL, 'Ab')");
    db().Execute("INSERT INTO T (K, CODE, NAME) VALUES (4, 'ABC', 'ab cd')");
    const struct {
        const char* where;
        long count;
    } cases[] = {
        {"CODE = 'AB'", 2},  // fixed-width text compares without trailing blanks
        {"CODE = 'AB  '", 2},
        {"CODE IN ('AB ', 'ABC')", 3},
        {"CODE <> 'AB'", 1},
        {"ISNULL(CODE, '') = 'AB'", 2},
        {"ISNULL(CODE, '') = ''", 1},
        {"ISNULL(CODE, 'AB ') = 'AB'", 3},
        {"CODE LIKE 'AB'", 2},       // the value's trailing blanks do not count
        {"CODE LIKE 'AB%'", 3},
        {"CODE LIKE 'ab%'", 0},      // case counts
        {"CODE LIKE 'A_'", 2},
        {"CODE NOT LIKE 'AB'", 1},
        {"CODE LIKE 'A(B'", 0},      // no character is special but % and _
        {"NAME LIKE 'ab%'", 1},
        {"NAME LIKE '%b c%'", 1},
        {"RTRIM(CODE) || 'X' = 'ABX'", 2},
        {"ISNULL(CODE, '') || '.' = '.'", 1},
    };
    for (const auto& c : cases) EXPECT_EQ(Count(c.where), c.count) << c.where;
    // Both read back padded to the width.
    EXPECT_EQ(One("SELECT CODE FROM T WHERE K = 1"), Variant("AB   "));
    EXPECT_EQ(One("SELECT CODE FROM T WHERE K = 2"), Variant("AB   "));
}

TEST_P(ConnectionTest, BackslashesInLiteralsAreOrdinaryCharacters) {
    // What a typed code becomes once its apostrophes are doubled: never a way out of the literal.
    const std::string typed = "\\'; DELETE FROM T; --";
    db().Execute("INSERT INTO T (K, NAME) VALUES (1, 'keep')");
    std::string doubled;
    for (char c : typed) doubled += c == '\'' ? std::string("''") : std::string(1, c);
    db().Execute("INSERT INTO T (K, NAME) VALUES (2, '" + doubled + "')");
    EXPECT_EQ(Count(), 2);
    EXPECT_EQ(One("SELECT NAME FROM T WHERE K = 2"), Variant(typed));
    EXPECT_EQ(Count("NAME = '" + doubled + "'"), 1);
}

QMX_INSTANTIATE_ENGINES(ConnectionTest);

// ---- PostgreSQL only: what depends on a server.

class PostgresConnection : public ::testing::Test {
protected:
    void SetUp() override {
        if (!qmx::testing::PgConnectionString()) {
            if (qmx::testing::PgRequired()) FAIL() << "QMX_PG_CONNECTION is not set";
            GTEST_SKIP() << "QMX_PG_CONNECTION is not set";
        }
        database_ = std::make_unique<qmx::testing::TestDatabase>(qmx::testing::Engine::kPostgres);
    }
    std::unique_ptr<qmx::testing::TestDatabase> database_;
};

TEST_F(PostgresConnection, BackslashesStayOrdinaryWhereTheDatabaseSaysOtherwise) {
    const std::string name = "kvt_scs_" + std::to_string(::getpid());
    Connection admin;
    admin.Open(qmx::testing::PgConnectionString());
    admin.Execute("DROP DATABASE IF EXISTS " + name);
    admin.Execute("CREATE DATABASE " + name);
    admin.Execute("ALTER DATABASE " + name + " SET standard_conforming_strings = off");
    std::string base = qmx::testing::PgConnectionString();
    {
        Connection c;
        c.Open(base + ";Database=" + name);
        EXPECT_EQ(c.Execute("SHOW standard_conforming_strings")->Value(0), Variant("on"));
        c.Execute("CREATE TABLE A (CODE VARCHAR(40))");
        c.Execute("INSERT INTO A VALUES ('keep')");
        // The lookup field's query with a typed code \'; DELETE FROM A; -- once apostrophes are doubled.
        EXPECT_EQ(c.Execute("SELECT COUNT(*) FROM A WHERE CODE = '\\''; DELETE FROM A; --'")->Value(0),
                  Variant(0LL));
        EXPECT_EQ(c.Execute("SELECT COUNT(*) FROM A")->Value(0), Variant(1LL));
    }
    admin.Execute("DROP DATABASE " + name);
}

// Ends the server session of `c` from another one, and waits until it is gone.
void TerminateSession(Connection& c, const std::string& connection_string) {
    const long pid = CLng(c.Execute("SELECT pg_backend_pid()")->Value(0));
    Connection admin;
    admin.Open(connection_string);
    admin.Execute("SELECT pg_terminate_backend(" + std::to_string(pid) + ")");
    for (int i = 0; i < 500 && CLng(admin.Execute("SELECT COUNT(*) FROM pg_stat_activity WHERE pid = " +
                                                  std::to_string(pid))->Value(0)) > 0;
         ++i)
        ::usleep(10000);
}

TEST_F(PostgresConnection, LostServerIsReportedOnceAndTheConnectionCanBeOpenedAgain) {
    Connection& c = database_->db();
    c.Execute("CREATE TABLE L (K INTEGER)");
    c.BeginTrans();
    c.Execute("INSERT INTO L VALUES (1)");
    TerminateSession(c, database_->connection_string());

    std::string message = kv::testing::ErrorText([&] { c.Execute("INSERT INTO L VALUES (2)"); });
    EXPECT_NE(message.find("interrotta"), std::string::npos) << message;
    EXPECT_EQ(message.find("interrotta"), message.rfind("interrotta")) << message;  // said once
    EXPECT_FALSE(c.InTransaction());
    EXPECT_EQ(ErrorNumber([&] { c.RollbackTrans(); }), 0);  // the server has dropped the transaction already
    EXPECT_EQ(ErrorNumber([&] { c.Close(); }), 0);
    EXPECT_EQ(c.State(), adStateClosed);
    c.Open(database_->connection_string());
    EXPECT_EQ(c.Execute("SELECT COUNT(*) FROM L")->Value(0), Variant(0LL));
    c.BeginTrans();
    c.Execute("INSERT INTO L VALUES (3)");
    c.CommitTrans();
    EXPECT_EQ(c.Execute("SELECT COUNT(*) FROM L")->Value(0), Variant(1LL));
}

// A session lost between two operations is opened again by the next one, with the same parameters
// (the schema too); a statement prepared before is prepared again. A transaction that was open is never
// carried over: its loss is reported once, and the statements after it run on the new session.
TEST_F(PostgresConnection, TheNextOperationOpensALostSessionAgain) {
    Connection& c = database_->db();
    c.Execute("CREATE TABLE L (K INTEGER)");
    auto insert = Command::Create();
    insert->SetActiveConnection(database_->connection());
    insert->SetCommandText("INSERT INTO L VALUES (?)");
    insert->GetParameters().Append(insert->CreateParameter("K", adInteger));
    insert->GetParameters()[0].SetValue(Variant(1));
    insert->Execute();

    TerminateSession(c, database_->connection_string());
    EXPECT_EQ(c.Execute("SELECT COUNT(*) FROM L")->Value(0), Variant(1LL));  // idle: no error at all
    TerminateSession(c, database_->connection_string());
    insert->GetParameters()[0].SetValue(Variant(2));
    EXPECT_EQ(ErrorNumber([&] { insert->Execute(); }), 0);

    c.BeginTrans();
    insert->GetParameters()[0].SetValue(Variant(3));
    insert->Execute();
    TerminateSession(c, database_->connection_string());
    insert->GetParameters()[0].SetValue(Variant(4));
    const std::string message = kv::testing::ErrorText([&] { insert->Execute(); });
    EXPECT_NE(message.find("interrotta"), std::string::npos) << message;
    EXPECT_FALSE(c.InTransaction());
    EXPECT_EQ(ErrorNumber([&] { c.RollbackTrans(); }), 0);
    EXPECT_EQ(c.Execute("SELECT COUNT(*) FROM L")->Value(0), Variant(2LL));  // neither 3 nor 4

    // Lost inside a transaction and met by the transaction's end: the commit is refused.
    c.BeginTrans();
    c.Execute("INSERT INTO L VALUES (5)");
    TerminateSession(c, database_->connection_string());
    EXPECT_NE(kv::testing::ErrorText([&] { c.CommitTrans(); }).find("interrotta"), std::string::npos);
    EXPECT_FALSE(c.InTransaction());
    EXPECT_EQ(c.Execute("SELECT COUNT(*) FROM L")->Value(0), Variant(2LL));
}

// ---- Opening

long OpenError(Connection& c, const std::string& text, std::string* description = nullptr) {
    try {
        c.Open(text);
    } catch (const Error& e) {
        if (description) *description = e.Description();
        return e.Number();
    }
    return 0;
}

// A connection that does not open stays closed and its error names what it could not open.
TEST(ConnectionOpen, WhatDoesNotOpenIsNamedAndTheConnectionStaysClosed) {
    const std::string temp = std::filesystem::temp_directory_path().string() + "/qmx_" + std::to_string(::getpid());
    const std::string missing = temp + "_open.sqlite", not_a_database = temp + "_notdb.sqlite";
    std::filesystem::remove(missing);
    if (FILE* f = std::fopen(not_a_database.c_str(), "wb")) {
        std::fputs("this is not a database file, only text that is long enough to be read as a header", f);
        std::fclose(f);
    }
    const struct {
        std::string text;
        long error;
        std::string named;
    } cases[] = {
        {"Provider=Access;Data Source=x.mdb", 3706, "Access"},
        {"Data Source=x.db", 3706, ""},
        {"Provider", err::kInvalidArgument, ""},
        {"Provider=SQLite;Data Source=" + missing, err::kProvider, missing},
        {"Provider=SQLite;Data Source=" + not_a_database, err::kProvider, not_a_database},
        // Port 1 on the loopback: nothing listens there, the connection is refused at once.
        {"Provider=PostgreSQL;Host=127.0.0.1;Port=1;Database=ditta;User ID=qmx", err::kProvider, "127.0.0.1:1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        Connection conn;
        std::string d;
        EXPECT_EQ(OpenError(conn, c.text, &d), c.error);
        EXPECT_NE(d.find(c.named), std::string::npos) << d;
        EXPECT_EQ(conn.State(), adStateClosed);
        if (c.error == err::kProvider) {
            EXPECT_EQ(conn.GetErrors().Count(), 1);
        }
    }
    EXPECT_FALSE(std::filesystem::exists(missing));
    std::filesystem::remove(not_a_database);

    // Asked to, the missing file is made; then it opens as it is.
    Connection c;
    c.Open("Provider=SQLite;Data Source=" + missing + ";Mode=Create");
    EXPECT_EQ(c.State(), adStateOpen);
    c.Execute("CREATE TABLE X (A INTEGER)");
    c.Close();
    c.Open("provider=sqlite; data source = " + missing);
    EXPECT_EQ(c.Execute("SELECT COUNT(*) FROM X")->Value(0), Variant(int32_t{0}));
    c.Close();
    std::filesystem::remove(missing);
}

// A save checks the stored rows, then writes them, in one transaction; where the engine keeps what the
// transaction read as read until it ends, the writes need not check the values again. On SQLite another
// connection's change waits for the transaction and is then refused; the transaction still reads what
// it read. PostgreSQL lets the change in, and says so.
TEST(ConnectionReads, RowsReadInATransactionStayAsReadWhereTheEngineSaysSo) {
    const std::string file =
        std::filesystem::temp_directory_path().string() + "/qmx_" + std::to_string(::getpid()) + "_reads.sqlite";
    std::filesystem::remove(file);
    Connection saver, other;
    saver.Open("Provider=SQLite;Data Source=" + file + ";Mode=Create");
    saver.Execute("CREATE TABLE P (K INTEGER PRIMARY KEY, V INTEGER)");
    saver.Execute("INSERT INTO P VALUES (1, 10)");
    other.Open("Provider=SQLite;Data Source=" + file + ";Lock Timeout=0,2");
    EXPECT_TRUE(saver.ReadsStableInTransaction());
    saver.BeginTrans();
    EXPECT_EQ(saver.Execute("SELECT V FROM P WHERE K = 1")->Value(0), Variant(int32_t{10}));
    EXPECT_EQ(ErrorNumber([&] { other.Execute("UPDATE P SET V = 99 WHERE K = 1"); }), err::kProvider);
    EXPECT_EQ(saver.Execute("SELECT V FROM P WHERE K = 1")->Value(0), Variant(int32_t{10}));
    saver.Execute("UPDATE P SET V = 11 WHERE K = 1");
    saver.CommitTrans();
    EXPECT_EQ(other.Execute("SELECT V FROM P")->Value(0), Variant(int32_t{11}));
    saver.Close();
    other.Close();
    std::filesystem::remove(file);

    const char* pg = qmx::testing::PgConnectionString();
    if (!pg) return;
    Connection server;
    server.Open(pg);
    EXPECT_FALSE(server.ReadsStableInTransaction());
}

TEST(ConnectionOpen, UserAndPasswordArgumentsOverrideTheString) {
    if (!qmx::testing::PgConnectionString()) {
        if (qmx::testing::PgRequired()) FAIL() << "QMX_PG_CONNECTION is not set";
        GTEST_SKIP();
    }
    Connection c;
    std::string d;
    EXPECT_EQ(OpenError(c, std::string(qmx::testing::PgConnectionString()) + ";User ID=nessuno", &d), err::kProvider);
    c.Open(std::string(qmx::testing::PgConnectionString()) + ";User ID=nessuno", "qmx");
    EXPECT_EQ(c.State(), adStateOpen);
    EXPECT_EQ(c.Provider(), "PostgreSQL");
}

}  // namespace
}  // namespace kv::ado
