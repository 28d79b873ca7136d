// Faults in the middle of the window's writes: for an article of each grid type, every statement that
// "Conferma" and both kinds of "Elimina" send is refused once, in turn. After each refusal the database
// is exactly as before, the error was shown, and the window keeps the edits to confirm again; the next
// attempt without a fault writes what a save without faults writes on a twin database.

#include <gtest/gtest.h>

#include <iostream>
#include <string>
#include <vector>

#include "support/window_desk.h"

namespace qmx {
namespace {

namespace svc = kv::services;
using testing::Case;
using testing::Desk;
using testing::Engine;

// The position of the transaction's COMMIT among what a command sent: the statements up to it are the
// command's writes, those after it read the grids again.
long CommitPosition(const std::vector<std::string>& log) {
    long at = 0;
    for (std::size_t i = 0; i < log.size(); ++i) {
        if (log[i] == "control COMMIT") {
            EXPECT_EQ(at, 0) << "two transactions";
            at = static_cast<long>(i) + 1;
        }
    }
    return at;
}

struct Operation {
    const char* key;
    std::vector<int> answers;  // to the questions, in order; the rest take the default button (No)
    bool reload_key;           // the key is typed again first (a deletion reset the header)
};

class WindowFaults : public ::testing::TestWithParam<std::tuple<Engine, Case>> {
protected:
    void SetUp() override {
        if (std::get<0>(GetParam()) == Engine::kPostgres && !testing::PgConnectionString()) {
            if (testing::PgRequired()) FAIL() << "QMX_REQUIRE_PG=1 but QMX_PG_CONNECTION is not set";
            GTEST_SKIP() << "QMX_PG_CONNECTION is not set";
        }
    }
};

TEST_P(WindowFaults, EveryStatementOfConfermaAndEliminaFailsCleanly) {
    const auto& [engine, c] = GetParam();
    const std::vector<Operation> operations = {
        {"Conferma", {}, false},
        {"Elimina", {svc::answer::kYes}, false},
        {"Elimina", {svc::answer::kNo, svc::answer::kYes}, true},
    };
    // The twin desk runs each command once without faults: how many statements it sends, and what the
    // table then holds.
    // Three colours and three sizes keep the articles of company 1 small: every attempt stays short.
    demo::DemoOptions small;
    small.colours = 3;
    small.sizes = 3;
    Desk twin(engine, c.company, {}, small);
    Desk desk(engine, c.company, {}, small);
    for (Desk* d : {&twin, &desk}) {
        d->LoadKey(c);
        d->MakeEdits(c);
    }
    ASSERT_FALSE(HasFatalFailure());
    for (const Operation& op : operations) {
        SCOPED_TRACE(std::string(op.key) + (op.reload_key ? " (vendita)" : ""));
        if (op.reload_key) {
            twin.LoadKey(c);
            desk.LoadKey(c);
        }
        for (int a : op.answers) twin.Messages().QueueAnswer(a);
        const long n = twin.Click(op.key);
        const std::vector<std::string> log = twin.faults->Log();
        const std::vector<std::string> expected = twin.Dump();
        ASSERT_TRUE(twin.Errors().Reports().empty()) << twin.Errors().Reports().front().report.description;
        const long last = CommitPosition(log);
        ASSERT_GT(last, 0);
        long begin = 1;
        while (begin <= last && log[static_cast<std::size_t>(begin - 1)] != "control BEGIN") ++begin;

        // From the commit backwards. Before the transaction come the reads that refresh the grids and the
        // header (the row-change refresh ignores their errors, as it always has): a refused read there
        // may leave the command to go on, and it then writes what it writes without faults. That attempt
        // is the one that writes.
        const std::vector<std::string> before = desk.Dump();
        const bool save = std::string(op.key) == "Conferma";
        long lowest = last + 1;
        bool went_through = false;
        for (long k = last; k >= 1 && !went_through; --k) {
            const std::string what = log[static_cast<std::size_t>(k - 1)];
            SCOPED_TRACE("statement " + std::to_string(k) + ": " + what);
            const std::size_t shown = desk.Errors().Reports().size();
            for (int a : op.answers) desk.Messages().QueueAnswer(a);
            desk.faults->FailAt(k);
            desk.Click(op.key);
            desk.faults->FailAt(0);
            EXPECT_FALSE(desk.window->ADOConnection()->InTransaction());
            if (desk.Dump() != before) {
                EXPECT_LT(k, begin);
                EXPECT_EQ(what.rfind("execute SELECT", 0), 0u);
                for (std::size_t i = shown; i < desk.Errors().Reports().size(); ++i)
                    std::cout << "[ faults   ] read " << k << " failed in " << desk.Errors().Reports()[i].report.procedure
                              << " (" << desk.Errors().Reports()[i].report.description << "), shown; the command went on\n";
                went_through = true;
                break;
            }
            EXPECT_TRUE(desk.ShowedRefusal(shown, k));
            lowest = k;
            if (save) {
                EXPECT_TRUE(desk.window->State().changes_pending);
                EXPECT_TRUE(desk.window->INTERNAV->ButtonEnabled("Conferma"));
                EXPECT_TRUE(desk.window->INTERNAV->ButtonEnabled("Annulla"));
                ASSERT_TRUE(desk.HoldsEdits(c));
            }
        }
        std::cout << "[ faults   ] " << c.name << " " << testing::EngineName(engine) << " " << op.key
                  << (op.reload_key ? " vendita" : op.answers.empty() ? "" : " acquisto") << ": " << n
                  << " statements (transaction " << begin << "-" << last << "), positions " << lowest << "-" << last
                  << " refused and survived\n";
        if (!went_through) {
            const std::size_t shown = desk.Errors().Reports().size();
            for (int a : op.answers) desk.Messages().QueueAnswer(a);
            EXPECT_EQ(desk.Click(op.key), n);
            EXPECT_EQ(desk.Errors().Reports().size(), shown);
        }
        EXPECT_EQ(desk.Dump(), expected);
        if (save) {
            EXPECT_FALSE(desk.window->State().changes_pending);
        }
        EXPECT_NE(expected, before);
    }
}

const Case kCases[] = {
    {"Tipo1", demo::kDittaAbbigliamento, demo::kArticoloTipo1, "01/01/2025", "31/12/2025", nullptr, -1,
     {{false, 0, "Prezzo lordo", "11,10"}, {false, 8, "Prezzo lordo", "12,50"}, {true, 0, "Prezzo lordo", "30,00"}}},
    {"Tipo2", demo::kDittaCalzature, demo::kArticoloTipo2, "01/01/2025", "31/12/2025", "40", -1,
     {{false, 1, "Prezzo lordo", "50,00"}, {true, 0, "Prezzo lordo", "70,00"}}},
    {"Tipo3", demo::kDittaTessuti, demo::kArticoloTipo3, "01/01/2025", "31/12/2025", nullptr, 1,
     {{false, 0, "Prezzo lordo", "7,25"}, {true, 0, "Prezzo lordo", "9,75"}}},
    {"Tipo4", demo::kDittaAbbigliamento, demo::kArticoloTipo4, "01/01/2026", "31/12/2026", nullptr, -1,
     {{false, 0, "S - Small", "40,00"}, {true, 0, "S - Small", "90,00"}}},
};

INSTANTIATE_TEST_SUITE_P(
    Engines, WindowFaults, ::testing::Combine(::testing::Values(Engine::kSqlite, Engine::kPostgres), ::testing::ValuesIn(kCases)),
    [](const ::testing::TestParamInfo<std::tuple<Engine, Case>>& param) {
        return testing::EngineName(std::get<0>(param.param)) + "_" + std::get<1>(param.param).name;
    });

}  // namespace
}  // namespace qmx
