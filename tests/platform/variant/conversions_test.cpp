#include <gtest/gtest.h>

#include <cmath>

#include "platform/variant/variant.h"
#include "support/errors.h"

namespace kv {
namespace {

using testing::Dec;
using testing::ErrorNumber;
using testing::ErrorText;

const RegionalSettings& kEn = RegionalSettings::English();

TEST(Variant, TypesAndIdentity) {
    EXPECT_EQ(Variant(int16_t{1}).Type(), VarType::Integer);
    EXPECT_EQ(Variant(1).Type(), VarType::Long);
    EXPECT_EQ(Variant(1L).Type(), VarType::BigInt);
    EXPECT_EQ(Variant(std::shared_ptr<Object>()).Type(), VarType::Object);
    EXPECT_EQ(Variant(Dec("1.5")), Variant(Dec("1.50")));
    EXPECT_NE(Variant(1), Variant(1L));
    EXPECT_EQ(ErrorNumber([] { Variant(1).StringValue(); }), 13);
    EXPECT_EQ(DebugString(Variant("a\"b")), "String(\"a\\\"b\")");
    EXPECT_EQ(DebugString(Variant(Dec("-1.50"))), "Decimal(-1.5)");
}

TEST(Conversions, CStr) {
    struct Case { Variant value; const RegionalSettings* rs; const char* expected; };
    const auto* it = &RegionalSettings::Italian();
    const Case cases[] = {
        {1.5, it, "1,5"},
        {1.5e-5, it, "1,5E-05"},
        {14111111113353355.345455, it, "1,41111111133534E+16"},
        {0.1 + 0.2, it, "0,3"},
        {1234.5, it, "1234,5"},
        {1e15, it, "1E+15"},
        {123456789012345.0, it, "123456789012345"},
        {0.0001, it, "0,0001"},
        {-0.0, it, "0"},
        {-2.0 / 3.0, it, "-0,666666666666667"},
        {1.5, &kEn, "1.5"},
        {Dec("1.50"), it, "1,5"},
        {Dec("-12345678901234567890.123456789"), it, "-12345678901234567890,123456789"},
        {true, it, "True"},
        {false, &kEn, "False"},
        {Variant(), it, ""},
        {int16_t{-5}, it, "-5"},
        {9000000000000000000L, it, "9000000000000000000"},
        {Date::FromYmd(2024, 1, 5), it, "05/01/2024"},
        {Date(), it, "00:00:00"},
        {"abc", it, "abc"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(DebugString(c.value));
        EXPECT_EQ(CStr(c.value, *c.rs), c.expected);
    }
    EXPECT_EQ(ErrorNumber([] { CStr(Variant::Null()); }), 94);
    EXPECT_FALSE(TryCStr(Variant::Null()).has_value());
}

TEST(Conversions, IntegersUseBankersRounding) {
    struct Case { Variant value; long expected; };
    const Case cases[] = {
        {0.5, 0}, {1.5, 2}, {2.5, 2}, {3.5, 4}, {4.5, 4}, {-2.5, -2}, {-3.5, -4}, {2.5001, 3}, {-0.4, 0},
        {"12345,67", 12346}, {"2,5", 2}, {" -1.000 ", -1000}, {Dec("2.5"), 2}, {Dec("-7.5"), -8},
        {true, -1}, {Variant(), 0}, {Date(1.5), 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(DebugString(c.value));
        EXPECT_EQ(CInt(c.value), c.expected);
        EXPECT_EQ(CLng(c.value), c.expected);
        EXPECT_EQ(CLngLng(c.value), c.expected);
    }
    EXPECT_EQ(CInt(-32768.5), -32768);  // rounds first, then checks the range
    EXPECT_EQ(CLngLng("9223372036854775807"), INT64_MAX);  // text is not squeezed through a Double
}

TEST(Conversions, IntegerRangeErrors) {
    struct Case { Variant value; long cint, clng, clnglng; };
    const Case cases[] = {
        {32767.5, 6, 0, 0}, {40000, 6, 0, 0}, {-32769, 6, 0, 0}, {2147483647.5, 6, 6, 0},
        {Dec("2147483648"), 6, 6, 0}, {9.3e18, 6, 6, 6}, {"1E40", 6, 6, 6}, {std::nan(""), 6, 6, 6},
        {"abc", 13, 13, 13}, {"", 13, 13, 13}, {Variant::Null(), 94, 94, 94},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(DebugString(c.value));
        EXPECT_EQ(ErrorNumber([&] { CInt(c.value); }), c.cint);
        EXPECT_EQ(ErrorNumber([&] { CLng(c.value); }), c.clng);
        EXPECT_EQ(ErrorNumber([&] { CLngLng(c.value); }), c.clnglng);
    }
    EXPECT_EQ(ErrorText([] { CInt(40000); }), "Overflow: 40000 does not fit in an Integer");
}

// What CDbl, CDec and IsNumeric make of text; error 0 means it is a number.
TEST(Conversions, NumbersFromText) {
    struct Case { const char* text; const RegionalSettings* rs; double value; long error; };
    const auto* it = &RegionalSettings::Italian();
    const Case cases[] = {
        {"1.234,5", it, 1234.5, 0}, {"1234.5", it, 12345, 0}, {"1.2.3.4", it, 1234, 0},
        {" -1,5 ", it, -1.5, 0},    {"- 3", it, -3, 0},       {"+2", it, 2, 0},
        {"1,5E3", it, 1500, 0},     {"1e-2", it, 0.01, 0},    {"1d3", it, 1000, 0},
        {",5", it, 0.5, 0},         {"5,", it, 5, 0},         {"\t7\t", it, 7, 0},
        {"0000", it, 0, 0},         {"-0,0", it, 0, 0},
        {"1,234.5", &kEn, 1234.5, 0}, {"1.5", &kEn, 1.5, 0},
        {"", it, 0, 13},    {"   ", it, 0, 13}, {"abc", it, 0, 13}, {"1,5,5", it, 0, 13},
        {"1 2", it, 0, 13}, {"&H10", it, 0, 13}, {"€5", it, 0, 13},  {"1e", it, 0, 13},
        {"-", it, 0, 13},   {".5", it, 0, 13},  {"5abc", it, 0, 13}, {"1,2.3", it, 0, 13},
        {"1,5", &kEn, 15, 0}, {"(5)", it, 0, 13}, {"5-", it, 0, 13},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.text) + (c.rs == it ? " (it)" : " (en)"));
        const Variant v(c.text);
        EXPECT_EQ(ErrorNumber([&] { CDbl(v, *c.rs); }), c.error);
        EXPECT_EQ(ErrorNumber([&] { CDec(v, *c.rs); }), c.error);
        EXPECT_EQ(IsNumeric(v, *c.rs), c.error == 0);
        EXPECT_EQ(TryCDbl(v, *c.rs).has_value(), c.error == 0);
        if (c.error == 0) {
            EXPECT_EQ(CDbl(v, *c.rs), c.value);
            EXPECT_EQ(CDec(v, *c.rs).ToDouble(), c.value);
        }
    }
    EXPECT_EQ(ErrorText([] { CDbl("abc"); }), "Type mismatch: 'abc' is not a number");
}

TEST(Conversions, NumberEdges) {
    EXPECT_EQ(ErrorNumber([] { CDbl("1E400"); }), 6);
    EXPECT_EQ(CDbl("1E-400"), 0.0);
    EXPECT_EQ(CDec("1.234,5678").ToString(), "1234.5678");
    EXPECT_EQ(CDec(0.1), Dec("0.1"));
    EXPECT_EQ(CDec(Variant()), Decimal());
    EXPECT_EQ(ErrorNumber([] { CDec(1e30); }), 6);
    EXPECT_EQ(ErrorNumber([] { CDec("1E30"); }), 6);
    EXPECT_FALSE(TryCDec("1E30").has_value());
    EXPECT_EQ(ParseNumber("1.234,5")->ToString(), "1234.5");
    EXPECT_EQ(ParseNumber("0,1000000000000000000000000001")->ToString(), "0.1000000000000000000000000001");
    EXPECT_FALSE(ParseNumber("1,5 kg").has_value());
    EXPECT_EQ(CDbl(Date(2.5)), 2.5);
    EXPECT_EQ(CDbl(true), -1.0);
    EXPECT_EQ(ErrorNumber([] { CDbl(Variant::Null()); }), 94);
    EXPECT_FALSE(TryCDbl(Variant::Null()).has_value());
}

TEST(Conversions, IsNumericOfNonText) {
    EXPECT_TRUE(IsNumeric(Variant()));
    EXPECT_TRUE(IsNumeric(true));
    EXPECT_TRUE(IsNumeric(Dec("1")));
    EXPECT_FALSE(IsNumeric(Variant::Null()));
    EXPECT_FALSE(IsNumeric(Date::FromYmd(2024, 1, 1)));
    EXPECT_FALSE(IsNumeric(std::shared_ptr<Object>()));
}

TEST(Conversions, CBool) {
    struct Case { Variant value; long error; bool expected; };
    const Case cases[] = {
        {0, 0, false}, {0.1, 0, true}, {-1, 0, true}, {Dec("0.000"), 0, false}, {"true", 0, true},
        {"FALSE", 0, false}, {"0", 0, false}, {"0,0", 0, false}, {"2,5", 0, true}, {Variant(), 0, false},
        {"", 13, false}, {"abc", 13, false}, {"Vero", 13, false}, {" True", 13, false},
        {Variant::Null(), 94, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(DebugString(c.value));
        EXPECT_EQ(ErrorNumber([&] { CBool(c.value); }), c.error);
        if (c.error == 0) {
            EXPECT_EQ(CBool(c.value), c.expected);
        }
    }
}

TEST(Conversions, CDate) {
    EXPECT_EQ(CDate(45296), Date::FromYmd(2024, 1, 5));
    EXPECT_EQ(CDate(45296.5).ToString(), "05/01/2024 12:00:00");
    EXPECT_EQ(CDate("31/12/2024"), Date::FromYmd(2024, 12, 31));
    EXPECT_EQ(CDate("12/31/2024", kEn), Date::FromYmd(2024, 12, 31));
    EXPECT_EQ(CDate(Variant()), Date());
    EXPECT_EQ(CDate(Date(7.25)), Date(7.25));
    EXPECT_EQ(ErrorNumber([] { CDate(3e6); }), 6);
    EXPECT_EQ(ErrorNumber([] { CDate("abc"); }), 13);
    EXPECT_EQ(ErrorNumber([] { CDate(""); }), 13);
    EXPECT_EQ(ErrorNumber([] { CDate(Variant::Null()); }), 94);
}

}  // namespace
}  // namespace kv
