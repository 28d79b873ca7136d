#include "platform/services/value_formatter.h"

#include <gtest/gtest.h>

namespace kv::services {
namespace {

TEST(ValueFormatter, SqlTextOfValues) {
    struct Case {
        Variant value;
        const char* sql;
    } cases[] = {
        {Variant(12.5), "12.5"},
        {Variant(*Decimal::Parse("12.50")), "12.5"},
        {Variant(*Decimal::Parse("-0.001")), "-0.001"},
        {Variant(int32_t{1000000}), "1000000"},  // never grouped
        {Variant(1e20), "100000000000000000000"},  // never an exponent
        {Variant("12,5"), "12.5"},               // regional text
        {Variant("1.234,5"), "1234.5"},
        {Variant(true), "1"},
        {Variant(false), "0"},
        {Variant::Null(), "NULL"},
        {Variant(), "NULL"},
        {Variant(Date::FromYmd(2025, 1, 31)), "'20250131'"},
    };
    HostValueFormatter f;
    for (const Case& c : cases) {
        f.DBformat(c.value);
        EXPECT_EQ(f.ValDB(), c.sql) << DebugString(c.value);
    }
}

TEST(ValueFormatter, TextThatIsNotANumberNeverReachesTheSql) {
    HostValueFormatter f;
    f.DBformat(Variant(3));
    for (const char* bad : {"abc", "1; DROP TABLE LI10_LISTARTIC", ""}) {
        try {
            f.DBformat(Variant(bad));
            ADD_FAILURE() << bad;
        } catch (const kv::Error& e) {
            EXPECT_EQ(e.Number(), 13) << bad;
        }
        EXPECT_EQ(f.ValDB(), "") << bad;
    }
}

}  // namespace
}  // namespace kv::services
