#include "platform/services/price_rounding.h"

#include <gtest/gtest.h>

#include "platform/services/pricing_support.h"

namespace kv::services {
namespace {

using testing::Dec;
using testing::PricingHost;

class PriceRoundingTest : public ::testing::Test {
protected:
    PriceRoundingTest() {
        // Bracket 1 of company 1: up to 10 nearest 0.05, up to 100 up to 0.5, up to 1000 down to 5.
        host.Bracket(1, 1, "1000", "5", 2);  // stored out of order on purpose
        host.Bracket(1, 1, "10", "0.05", 0);
        host.Bracket(1, 1, "100", "0.5", 1);
        // Bracket 2: no step, one open-ended range.
        host.Bracket(1, 2, "NULL", "0", 0);
        // Bracket 3 exists only for company 2.
        host.Bracket(2, 3, "100", "1", 0);
        // Broken brackets.
        host.Bracket(1, 4, "100", "-1", 0);
        host.Bracket(1, 5, "100", "1", 3);
        // Bracket 6: two limited ranges and an open-ended one whose rounding differs on each limit.
        host.Bracket(1, 6, "NULL", "7", 0);  // stored first on purpose: it still comes last
        host.Bracket(1, 6, "20", "6", 1);
        host.Bracket(1, 6, "10", "3", 2);
        rounding = host.global->NewPriceRounding();
        rounding->SetGlobalServices(host.global);
    }
    Decimal Round(const char* price, int16_t bracket, const char* currency = "EURO") {
        return rounding->Round(Dec(price), bracket, currency);
    }
    PricingHost host;
    std::shared_ptr<PriceRounding> rounding;
};

TEST_F(PriceRoundingTest, EachRangeAndBoundary) {
    struct Case {
        const char* price;
        const char* expected;
    } cases[] = {
        {"0", "0"},
        {"1.024", "1"},       // nearest 0.05, below half
        {"1.025", "1.05"},    // half way goes away from zero
        {"9.99", "10"},
        {"10", "10"},         // the limit belongs to its range
        {"10.01", "10.5"},    // next range: up to 0.5
        {"99.51", "100"},
        {"100", "100"},
        {"100.01", "100"},    // next range: down to 5
        {"104.99", "100"},
        {"999.99", "995"},
        {"1000", "1000"},
        {"-1.03", "-1.05"},   // nearest, away from zero
    };
    for (const Case& c : cases) EXPECT_EQ(Round(c.price, 1), Dec(c.expected)) << c.price;
}

TEST_F(PriceRoundingTest, LimitedRangesThenAnOpenEndedOne) {
    struct Case {
        const char* price;
        const char* expected;
    } cases[] = {
        {"0", "0"},
        {"9.99", "9"},        // down to 3
        {"10", "9"},          // on the first limit: still the first range (the next would give 12)
        {"10.01", "12"},      // up to 6
        {"19.99", "24"},
        {"20", "24"},         // on the last limit: still its range (the open-ended one would give 21)
        {"20.01", "21"},      // nearest 7, without a limit
        {"1000", "1001"},
        {"123456.5", "123459"},
    };
    for (const Case& c : cases) EXPECT_EQ(Round(c.price, 6), Dec(c.expected)) << c.price;
}

TEST_F(PriceRoundingTest, DirectionsOnTheirOwn) {
    EXPECT_EQ(RoundToStep(Dec("1.21"), Dec("0.3"), RoundingDirection::Up), Dec("1.5"));
    EXPECT_EQ(RoundToStep(Dec("1.2"), Dec("0.3"), RoundingDirection::Up), Dec("1.2"));
    EXPECT_EQ(RoundToStep(Dec("1.49"), Dec("0.3"), RoundingDirection::Down), Dec("1.2"));
    EXPECT_EQ(RoundToStep(Dec("-1.21"), Dec("0.3"), RoundingDirection::Up), Dec("-1.2"));
    EXPECT_EQ(RoundToStep(Dec("-1.21"), Dec("0.3"), RoundingDirection::Down), Dec("-1.5"));
    EXPECT_EQ(RoundToStep(Dec("1.35"), Dec("0.3"), RoundingDirection::Nearest), Dec("1.5"));
    EXPECT_EQ(RoundToStep(Dec("7.77"), Dec("0"), RoundingDirection::Up), Dec("7.77"));
}

// Steps that end (0.05, 0.5, 5) are counted with integers; the count must be the decimal division's, in
// value and in form, halves, exact multiples and negative prices included.
TEST_F(PriceRoundingTest, WholeStepsAreCountedAsTheDecimalDivisionCountsThem) {
    const char* steps[] = {"0.05", "0.10", "0.5", "0.50", "1", "5", "0.25", "0.005", "0.3", "0.07", "12.5"};
    const RoundingDirection directions[] = {RoundingDirection::Nearest, RoundingDirection::Up, RoundingDirection::Down};
    for (const char* step : steps) {
        for (const auto direction : directions) {
            for (long cents = -2600; cents <= 2600; cents += 7) {
                for (const char* tail : {"", "5", "49999999999"}) {
                    const std::string text = (cents < 0 ? "-" : "") + std::to_string(std::labs(cents) / 100) + "." +
                                             std::to_string(std::labs(cents) % 100 / 10) +
                                             std::to_string(std::labs(cents) % 10) + tail;
                    const kv::Decimal price = Dec(text.c_str());
                    kv::RoundingMode mode = kv::RoundingMode::HalfAwayFromZero;
                    if (direction == RoundingDirection::Up) mode = kv::RoundingMode::Ceiling;
                    if (direction == RoundingDirection::Down) mode = kv::RoundingMode::Floor;
                    const kv::Decimal expected = (price / Dec(step)).Round(0, mode) * Dec(step);
                    const kv::Decimal got = RoundToStep(price, Dec(step), direction);
                    ASSERT_EQ(got.ToString(), expected.ToString()) << text << " step " << step << " direction "
                                                                   << static_cast<int>(direction);
                }
            }
        }
    }
    // More steps than fit a 64-bit count: the decimal division counts them.
    EXPECT_EQ(RoundToStep(Dec("1000000000000000000"), Dec("0.001"), RoundingDirection::Nearest).ToString(),
              ((Dec("1000000000000000000") / Dec("0.001")).Round(0, kv::RoundingMode::HalfAwayFromZero) * Dec("0.001"))
                  .ToString());
}

TEST_F(PriceRoundingTest, CurrencyDecimalsApplyLast) {
    EXPECT_EQ(Round("3.37", 1, "LIT"), Dec("3"));       // 3.35 at 0 decimals
    EXPECT_EQ(Round("3.5", 2, "LIT"), Dec("4"));
    EXPECT_EQ(Round("1.23456", 2, "KWD"), Dec("1.235"));  // no step, open-ended range
    EXPECT_EQ(Round("1.23456", 2, "EURO"), Dec("1.23"));
    EXPECT_EQ(Round("123456789", 2, "EURO"), Dec("123456789"));
    EXPECT_EQ(Round("3.5", 2, "LIT"), Dec("4"));  // the object's last currency does not stay
    EXPECT_DOUBLE_EQ(rounding->Round(10.01, 1, "EURO"), 10.5);
}

TEST_F(PriceRoundingTest, BadInputsRaiseClearErrors) {
    struct Bad {
        const char* name;
        const char* price;
        int16_t bracket;
        const char* currency;
        long number;
        const char* mentions;
    } bads[] = {
        {"unknown bracket", "5", 9, "EURO", 5, "rounding bracket 9 does not exist for company 1"},
        {"other company's bracket", "5", 3, "EURO", 5, "bracket 3 does not exist"},
        {"above every range", "1000.01", 1, "EURO", 5, "above every range"},
        {"negative step", "5", 4, "EURO", 5, "negative step"},
        {"unknown direction", "5", 5, "EURO", 5, "unknown direction"},
        {"unknown currency", "5", 1, "XYZ", 5, "'XYZ'"},
        {"blank currency", "5", 1, "", 5, "No currency"},
    };
    for (const Bad& b : bads) {
        try {
            Round(b.price, b.bracket, b.currency);
            ADD_FAILURE() << b.name << ": no error";
        } catch (const kv::Error& e) {
            EXPECT_EQ(e.Number(), b.number) << b.name;
            EXPECT_NE(e.Description().find(b.mentions), std::string::npos) << b.name << ": " << e.Description();
        }
    }
    auto orphan = host.global->NewPriceRounding();
    try {
        orphan->Round(Dec("1"), 1, "EURO");
        ADD_FAILURE() << "no global services: no error";
    } catch (const kv::Error& e) {
        EXPECT_EQ(e.Number(), 91);
    }
}

}  // namespace
}  // namespace kv::services
