#include "shell/error_trap.h"

#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace qmx {
namespace {

// A procedure of four steps whose second fails the first `failures` times it runs.
struct Procedure {
    explicit Procedure(int failures) : failures_left(failures) {}
    std::vector<std::string> ran;
    int failures_left;

    std::vector<Step> Steps() {
        return {
            [this] { ran.push_back("a"); },
            [this] {
                ran.push_back("b");
                if (failures_left-- > 0) throw kv::Error(13, "Type mismatch", "test");
                ran.push_back("b done");
            },
            [this] { ran.push_back("c"); },
            [this] { ran.push_back("d"); },
        };
    }
};

TEST(ErrorTrap, AnswerSteersTheProcedure) {
    struct Case {
        std::vector<int> answers;  // one per report
        int failures;
        Outcome outcome;
        std::vector<std::string> ran;
    } cases[] = {
        {{4}, 1, Outcome::Completed, {"a", "b", "b", "b done", "c", "d"}},          // retry, then it works
        {{4, 4}, 2, Outcome::Completed, {"a", "b", "b", "b", "b done", "c", "d"}},  // reported again
        {{2}, 1, Outcome::Completed, {"a", "b", "c", "d"}},                         // next step
        {{5}, 1, Outcome::Completed, {"a", "b", "c", "d"}},                         // Ignore as such
        {{3}, 1, Outcome::Left, {"a", "b"}},                                        // leave
        {{1}, 1, Outcome::Left, {"a", "b"}},                                        // any other code
        {{4, 3}, 2, Outcome::Left, {"a", "b", "b"}},
        {{}, 0, Outcome::Completed, {"a", "b", "b done", "c", "d"}},
    };
    for (const Case& c : cases) {
        Procedure p(c.failures);
        std::vector<std::string> reported;
        std::size_t next_answer = 0;
        auto reporter = [&](std::string_view proc, const kv::Error& e) {
            reported.push_back(std::string(proc) + ":" + std::to_string(e.Number()));
            return c.answers.at(next_answer++);
        };
        const auto steps = p.Steps();
        EXPECT_EQ(RunTrapped("Form_Load", reporter, steps), c.outcome);
        EXPECT_EQ(p.ran, c.ran);
        EXPECT_EQ(reported, std::vector<std::string>(c.answers.size(), "Form_Load:13"));
    }
}

TEST(ErrorTrap, StandardExceptionsAreReportedAsPlatformErrors) {
    kv::Error seen(0, "");
    RunTrapped(
        "AggiornaPrezzo",
        [&](std::string_view, const kv::Error& e) {
            seen = e;
            return 2;
        },
        {[] { throw std::out_of_range("vector index"); }});
    EXPECT_EQ(seen.Number(), 51);
    EXPECT_EQ(seen.Description(), "Internal error: vector index");
    EXPECT_EQ(seen.Source(), "AggiornaPrezzo");
}

TEST(ErrorTrap, ExitEndsNormallyAndAFailingReporterLeaves) {
    std::vector<int> ran;
    EXPECT_EQ(RunTrapped("P", nullptr, {[&] { ran.push_back(1); }, [&] { return Flow::Exit; }, [&] { ran.push_back(3); }}),
              Outcome::Completed);
    EXPECT_EQ(ran, std::vector<int>{1});

    auto failing_reporter = [](std::string_view, const kv::Error&) -> int { throw kv::Error(91, "no display"); };
    EXPECT_EQ(RunTrapped("P", failing_reporter, {[] { throw kv::Error(5, "x"); }, [&] { ran.push_back(2); }}),
              Outcome::Left);
    EXPECT_EQ(ran, std::vector<int>{1});
}

TEST(ErrorTrap, ResumeNextSkipsFailingSteps) {
    std::vector<int> ran;
    RunResumeNext({
        [&] { ran.push_back(1); },
        [&] { throw kv::Error(91, "Object variable not set"); },
        [&] { throw std::runtime_error("anything"); },
        [&] { ran.push_back(4); },
        [&] { return Flow::Exit; },
        [&] { ran.push_back(6); },
    });
    EXPECT_EQ(ran, (std::vector<int>{1, 4}));
}

}  // namespace
}  // namespace qmx
