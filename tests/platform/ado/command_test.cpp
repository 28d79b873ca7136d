#include "platform/ado/command.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/ado/prepared_statement.h"
#include "support/db_engines.h"

namespace kv::ado {
namespace {

using kv::testing::Dec;
using qmx::testing::EngineTest;
using qmx::testing::ErrorNumber;

class CommandTest : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        const std::string c = TextCollation();
        db().Execute("CREATE TABLE T (K INTEGER NOT NULL PRIMARY KEY, CODE CHAR(5)" + c +
                     (sqlite() ? " CHECK (length(CODE) <= 5)" : "") + ", PRICE NUMERIC, DAY DATE)");
        db().Execute("INSERT INTO T VALUES (1, 'A', 1, '20240101')");
    }
    CommandPtr Insert() {
        auto cmd = Command::Create();
        cmd->SetActiveConnection(database().connection());
        cmd->SetCommandText("INSERT INTO T (K, CODE, PRICE, DAY) VALUES (?, ?, ?, ?)");
        auto& p = cmd->GetParameters();
        p.Append(cmd->CreateParameter("K", adInteger));
        p.Append(cmd->CreateParameter("CODE", adChar, adParamInput, 5));
        p.Append(cmd->CreateParameter("PRICE", adNumeric));
        p.Append(cmd->CreateParameter("DAY", adDate));
        return cmd;
    }
    static void Row(Command& cmd, int k, const Variant& code, const Variant& price = Variant::Null(),
                    const Variant& day = Variant::Null()) {
        cmd.GetParameters()["K"].SetValue(int32_t{k});
        cmd.GetParameters()["CODE"].SetValue(code);
        cmd.GetParameters()["PRICE"].SetValue(price);
        cmd.GetParameters()["DAY"].SetValue(day);
    }
    long Count() { return CLng(db().Execute("SELECT COUNT(*) FROM T")->Value(0)); }
    std::string Dump() {
        std::string out;
        auto rs = db().Execute("SELECT K, CODE, PRICE, DAY FROM T ORDER BY K");
        for (; !rs->IsEOF(); rs->MoveNext())
            for (int i = 0; i < 4; ++i) out += DebugString(rs->Value(i)) + (i == 3 ? "\n" : "|");
        return out;
    }
    static constexpr long kQueued = adExecuteNoRecords | adAsyncExecute;
};

TEST_P(CommandTest, BindsEachValueAsItIs) {
    auto cmd = Insert();
    Row(*cmd, 2, "O'K", Variant(Dec("12.3456789012345678")), Variant(Date::FromYmd(2024, 2, 29)));
    long n = 0;
    cmd->Execute(&n);
    EXPECT_EQ(n, 1);
    Row(*cmd, 3, "x", Variant::Null(), Variant::Null());
    cmd->Execute();

    auto q = Command::Create();
    q->SetActiveConnection(database().connection());
    q->SetCommandText("SELECT K, PRICE, DAY FROM T WHERE CODE = ? AND K > ? ORDER BY K");
    q->GetParameters().Append(q->CreateParameter("CODE", adChar));
    q->GetParameters().Append(q->CreateParameter("K", adInteger));
    q->GetParameters()[0].SetValue("O'K  ");  // trailing blanks do not matter for fixed-width text
    q->GetParameters()[1].SetValue(int32_t{0});
    auto rs = q->Execute();
    ASSERT_EQ(rs->RecordCount(), 1);
    EXPECT_EQ(CLng(rs->Value("K")), 2);
    // The engine keeps what it keeps of a literal of the same value.
    EXPECT_EQ(CDec(rs->Value("PRICE")), sqlite() ? Dec("12.3456789012346") : Dec("12.3456789012345678"));
    EXPECT_EQ(rs->Value("DAY"), Variant(Date::FromYmd(2024, 2, 29)));
    EXPECT_TRUE(db().Execute("SELECT PRICE FROM T WHERE K = 3")->Value(0).IsNull());
}

TEST_P(CommandTest, PlaceholdersAreCountedOutsideLiteralsAndComments) {
    auto cmd = Command::Create();
    cmd->SetActiveConnection(database().connection());
    cmd->SetCommandText("UPDATE T SET CODE = '?' WHERE K = ? -- why?");
    EXPECT_EQ(ErrorNumber([&] { cmd->Execute(); }), 3708);
    cmd->GetParameters().Append(cmd->CreateParameter("K", adInteger, adParamInput, 0, Variant(int32_t{1})));
    long n = 0;
    cmd->Execute(&n);
    EXPECT_EQ(n, 1);
    EXPECT_EQ(db().Execute("SELECT CODE FROM T WHERE K = 1")->Value(0), Variant("?    "));
    EXPECT_EQ(ErrorNumber([&] { Command::Create()->Execute(); }), 3709);
}

// A queued unit takes effect whole or not at all, alone or inside the caller's transaction.
TEST_P(CommandTest, QueuedRowsAreOneUnit) {
    struct Case {
        const char* name;
        bool caller_transaction;
        int bad_row;  // 0: none
    };
    const Case cases[] = {{"alone, all good", false, 0},
                          {"alone, row 700 refused", false, 700},
                          {"in a transaction, all good", true, 0},
                          {"in a transaction, row 3 refused", true, 3},
                          {"in a transaction, last row refused", true, 1000}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        db().Execute("DELETE FROM T WHERE K > 1");
        const std::string before = Dump();
        if (c.caller_transaction) {
            db().BeginTrans();
            db().Execute("UPDATE T SET PRICE = 5 WHERE K = 1");
        }
        auto cmd = Insert();
        long raised = 0;
        try {
            for (int k = 1; k <= 1000; ++k) {
                // The bad row repeats the key of the stored row.
                Row(*cmd, k == c.bad_row ? 1 : k + 1, "r", Variant(Dec("0.1")), Variant(Date::FromYmd(2024, 1, 1)));
                cmd->Execute(nullptr, kQueued);
            }
            EXPECT_EQ(cmd->State(), adStateExecuting);
            EXPECT_EQ(cmd->Complete(), 1000);
        } catch (const Error& e) {
            raised = e.Number();
        }
        EXPECT_EQ(cmd->State(), adStateOpen);
        EXPECT_EQ(raised != 0, c.bad_row != 0);
        if (c.caller_transaction) {
            // The caller's own work survives a refused unit and can still be committed.
            EXPECT_TRUE(db().InTransaction());
            db().CommitTrans();
            EXPECT_EQ(CDec(db().Execute("SELECT PRICE FROM T WHERE K = 1")->Value(0)), Dec("5"));
            db().Execute("UPDATE T SET PRICE = 1 WHERE K = 1");
        }
        EXPECT_FALSE(db().InTransaction());
        if (c.bad_row) {
            EXPECT_EQ(Dump(), before);
        } else {
            EXPECT_EQ(Count(), 1001);
        }
    }
}

TEST_P(CommandTest, RefusedImmediateRowUndoesOnlyItself) {
    auto cmd = Insert();
    db().BeginTrans();
    Row(*cmd, 2, "a");
    cmd->Execute();
    Row(*cmd, 3, "too long");
    EXPECT_NE(ErrorNumber([&] { cmd->Execute(); }), 0);
    EXPECT_GT(db().GetErrors().Count(), 0);
    Row(*cmd, 4, "b");
    cmd->Execute();
    db().CommitTrans();
    EXPECT_EQ(Count(), 3);
}

TEST_P(CommandTest, QueuedRowsOfADiscardedCommandAreUndone) {
    {
        auto cmd = Insert();
        Row(*cmd, 2, "a");
        cmd->Execute(nullptr, kQueued);
    }
    EXPECT_FALSE(db().InTransaction());
    EXPECT_EQ(Count(), 1);
    // The connection carries on as usual.
    auto cmd = Insert();
    Row(*cmd, 2, "a");
    cmd->Execute();
    EXPECT_EQ(Count(), 2);
}

QMX_INSTANTIATE_ENGINES(CommandTest);

TEST(CommandPlaceholders, SplitsOnlyRealPlaceholders) {
    EXPECT_EQ(SplitAtPlaceholders("a = ? AND b = '?''?' AND \"c?\" = ? /* ? */").size(), 3u);
    EXPECT_EQ(SplitAtPlaceholders("").size(), 1u);
}

}  // namespace
}  // namespace kv::ado
