#include <gtest/gtest.h>

#include "platform/variant/variant.h"
#include "support/errors.h"

namespace kv {
namespace {

using testing::Dec;
using testing::ErrorNumber;

// The comparisons the component's conditions rest on (the matrix load asks Eq, Ne and IsTrue).
const Variant kNull = Variant::Null();
const Variant kEmpty;

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
