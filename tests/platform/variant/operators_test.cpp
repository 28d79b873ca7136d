#include <gtest/gtest.h>

#include <limits>

#include "platform/variant/variant.h"
#include "support/errors.h"

namespace kv {
namespace {

using testing::Dec;
using testing::ErrorNumber;

const Variant kNull = Variant::Null();
const Variant kEmpty;
const Date kDay = Date::FromYmd(2024, 1, 5);
constexpr int32_t kLongMax = std::numeric_limits<int32_t>::max();
constexpr long kBigMax = std::numeric_limits<int64_t>::max();

// Results are compared with operator==, so the type counts as much as the value.
TEST(Operators, ResultTypes) {
    struct Case { Variant result; Variant expected; };
    const Case cases[] = {
        {Add(int16_t{1}, int16_t{2}), int16_t{3}},
        {Add(int16_t{32767}, int16_t{1}), 32768},               // Integer overflow promotes to Long
        {Multiply(int16_t{300}, int16_t{300}), 90000},
        {Add(kLongMax, 1), 2147483648.0},                        // Long overflow promotes to Double
        {Multiply(100000, 100000), 1e10},
        {Add(kBigMax, 1L), Dec("9223372036854775808")},          // BigInt overflow becomes Decimal
        {Multiply(kBigMax, 2L), Dec("18446744073709551614")},
        {Add(int16_t{1}, 2), 3},
        {Add(1, 2L), 3L},
        {Add(1, 0.5), 1.5},
        {Add(0.5, Dec("0.25")), Dec("0.75")},
        {Multiply(Dec("0.1"), 3.0), Dec("0.3")},
        {Add(true, 1), 0},                                       // True counts as -1
        {Add(true, true), int16_t{-2}},
        {Subtract(5, true), 6},
        {Add(kEmpty, kEmpty), int16_t{0}},
        {Add(kEmpty, "abc"), "abc"},                             // Empty + x is x, unchanged
        {Add(5, kEmpty), 5},
        {Subtract(kEmpty, 5), -5},
        {Multiply(kEmpty, 5L), 0L},
        {Add("34", "6"), "346"},                                 // text + text concatenates
        {Add("34", 6), 40.0},                                    // numeric text + number adds as Double
        {Add("1,5", int16_t{1}), 2.5},
        {Subtract("10", "4"), 6.0},
        {Add(Dec("0.1"), "0,2"), Dec("0.3")},
        {Add(kDay, 1), Date::FromYmd(2024, 1, 6)},
        {Add(0.5, kDay), Date(kDay.Serial() + 0.5)},
        {Subtract(kDay, 5), Date::FromYmd(2023, 12, 31)},
        {Subtract(kDay, Date::FromYmd(2023, 12, 31)), 5.0},
        {Add(kDay, Dec("1")), Date::FromYmd(2024, 1, 6)},
        {Multiply(Date(2.0), 2), 4.0},
        {Add(kNull, 1), kNull},
        {Add("a", kNull), kNull},
        {Subtract(kNull, kEmpty), kNull},
        {Multiply(kNull, "abc"), kNull},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(cases[i].result, cases[i].expected);
    }
    EXPECT_EQ(Variant(int16_t{7}) + Variant(int16_t{8}), Variant(int16_t{15}));
}

TEST(Operators, ArithmeticErrors) {
    EXPECT_EQ(ErrorNumber([] { Add("abc", 1); }), 13);
    EXPECT_EQ(ErrorNumber([] { Add("", 1); }), 13);
    EXPECT_EQ(ErrorNumber([] { Subtract("a", "b"); }), 13);
    EXPECT_EQ(ErrorNumber([] { Add(std::shared_ptr<Object>(), 1); }), 13);
    EXPECT_EQ(ErrorNumber([] { Add(kDay, 3e6); }), 6);
    EXPECT_EQ(ErrorNumber([] { Multiply(1e300, 1e300); }), 6);
    EXPECT_EQ(ErrorNumber([] { Multiply(Dec("79228162514264337593543950335"), 2); }), 6);
    EXPECT_EQ(ErrorNumber([] { Multiply(Dec("1"), 1e300); }), 6);
    EXPECT_EQ(ErrorNumber([] { Multiply(kBigMax, kBigMax); }), 6);  // beyond even a Decimal
}

TEST(Operators, Divide) {
    EXPECT_EQ(Divide(10, 4), Variant(2.5));
    EXPECT_EQ(Divide(int16_t{10}, int16_t{5}), Variant(2.0));
    EXPECT_EQ(Divide(Dec("1"), 3), Variant(Dec("0.3333333333333333333333333333")));
    EXPECT_EQ(Divide("7,5", 3), Variant(2.5));
    EXPECT_EQ(Divide(kEmpty, 5), Variant(0.0));
    EXPECT_EQ(Divide(kNull, 0), kNull);
    EXPECT_EQ(ErrorNumber([] { Divide(1, 0); }), 11);
    EXPECT_EQ(ErrorNumber([] { Divide(0, 0.0); }), 11);
    EXPECT_EQ(ErrorNumber([] { Divide(1, kEmpty); }), 11);
    EXPECT_EQ(ErrorNumber([] { Divide(Dec("1"), Dec("0.00")); }), 11);
    EXPECT_EQ(ErrorNumber([] { Divide(1e300, 1e-300); }), 6);
}

TEST(Operators, ConcatAndNegate) {
    EXPECT_EQ(Concat("5", 3), Variant("53"));
    EXPECT_EQ(Concat(5, 3), Variant("53"));
    EXPECT_EQ(Concat("p = ", 1234.5), Variant("p = 1234,5"));
    EXPECT_EQ(Concat(kNull, "a"), Variant("a"));
    EXPECT_EQ(Concat(kNull, kEmpty), Variant(""));
    EXPECT_EQ(Concat(kNull, kNull), kNull);
    EXPECT_EQ(Concat(true, ""), Variant("True"));
    EXPECT_EQ(Variant("a") & Variant(Dec("1.50")), Variant("a1,5"));

    EXPECT_EQ(Negate(int16_t{-32768}), Variant(32768));
    EXPECT_EQ(Negate(std::numeric_limits<int32_t>::min()), Variant(2147483648.0));
    EXPECT_EQ(Negate(std::numeric_limits<long>::min()), Variant(Dec("9223372036854775808")));
    EXPECT_EQ(Negate(true), Variant(int16_t{1}));
    EXPECT_EQ(Negate(kEmpty), Variant(int16_t{0}));
    EXPECT_EQ(Negate(kNull), kNull);
    EXPECT_EQ(Negate("1,5"), Variant(-1.5));
    EXPECT_EQ(ErrorNumber([] { Negate("x"); }), 13);
}

TEST(Operators, Compare) {
    struct Case { Variant a, b; int expected; };
    const Case cases[] = {
        {5, "5", -1},                   // a number is always less than text, no conversion
        {"5", 4, 1},
        {"10", 9.5, 1},
        {"a", "B", 1},                  // binary: case counts
        {"a ", "a", 1},                 // trailing blanks count
        {"abc", "abc", 0},
        {"è", "z", 1},
        {kEmpty, "", 0}, {kEmpty, "a", -1}, {"a", kEmpty, 1},
        {kEmpty, 0, 0}, {kEmpty, -1, 1}, {0.5, kEmpty, 1}, {kEmpty, kEmpty, 0},
        {1.5, Dec("1.5"), 0}, {0.1, Dec("0.1"), 0}, {Dec("2"), 2L, 0}, {Dec("-1"), 1e40, -1},
        {2, 2.5, -1}, {int16_t{3}, 3L, 0},
        {9007199254740993L, 9007199254740992.0, 1},   // no rounding of the integer through a Double
        {Date(45296.0), 45296, 0}, {Date(45296.5), Date(45296.0), 1},
        {true, -1, 0}, {false, int16_t{0}, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(DebugString(c.a) + " vs " + DebugString(c.b));
        EXPECT_EQ(Compare(c.a, c.b), c.expected);
        EXPECT_EQ(Compare(c.b, c.a), -c.expected);
    }
    EXPECT_EQ(Compare(kNull, kNull), std::nullopt);
    EXPECT_EQ(Compare(1, kNull), std::nullopt);
    EXPECT_EQ(ErrorNumber([] { Compare(std::shared_ptr<Object>(), 1); }), 13);
}

TEST(Operators, ComparisonResultsAndConditions) {
    EXPECT_EQ(Eq(1, 1.0), Variant(true));
    EXPECT_EQ(Eq(5, "5"), Variant(false));
    EXPECT_EQ(Ne("a", "b"), Variant(true));
    EXPECT_EQ(Lt(1, 2), Variant(true));
    EXPECT_EQ(Le(2, 2), Variant(true));
    EXPECT_EQ(Gt(1, 2), Variant(false));
    EXPECT_EQ(Ge(kEmpty, ""), Variant(true));
    // Null compared with anything, itself included, is Null; a Null condition counts as False.
    EXPECT_EQ(Eq(kNull, kNull), kNull);
    EXPECT_EQ(Eq(kNull, ""), kNull);
    EXPECT_EQ(Ne(kNull, ""), kNull);
    EXPECT_FALSE(IsTrue(Eq(kNull, "")));
    EXPECT_FALSE(IsTrue(Ne(kNull, "")));
    EXPECT_TRUE(IsTrue(Eq(2, 2)));
    EXPECT_TRUE(IsTrue(1));
    EXPECT_FALSE(IsTrue(kEmpty));
    EXPECT_EQ(ErrorNumber([] { IsTrue("abc"); }), 13);
}

}  // namespace
}  // namespace kv
