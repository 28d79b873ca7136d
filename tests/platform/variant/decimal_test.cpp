#include "platform/variant/decimal.h"

#include <gtest/gtest.h>

#include <boost/multiprecision/cpp_int.hpp>

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <vector>
#include <cstdlib>

#include "support/errors.h"

namespace kv {
namespace {

using testing::Dec;
using testing::ErrorNumber;

const char* const kMax = "79228162514264337593543950335";

TEST(Decimal, ParseAndPrint) {
    struct Case { const char* text; const char* printed; };
    const Case cases[] = {
        {"1.50", "1.5"}, {"-0.25", "-0.25"}, {"3", "3"}, {"0.000", "0"}, {"+7", "7"},
        {"1E3", "1000"}, {"1.5e-3", "0.0015"}, {"00012.3400", "12.34"}, {kMax, kMax},
        {"-7.9228162514264337593543950335", "-7.9228162514264337593543950335"},
        // More than 28 decimals round half-to-even, also when the dropped digits run past any limit.
        {"0.00000000000000000000000000005", "0"},
        {"0.00000000000000000000000000015", "0.0000000000000000000000000002"},
        {"0.000000000000000000000000000250000000000000000000000000000000000000000000000001",
         "0.0000000000000000000000000003"},
        {"1E-400", "0"},
        // 29 significant digits above 2^96 keep 28 of them.
        {"9.9999999999999999999999999999", "10"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(Dec(c.text).ToString(), c.printed);
    }
    EXPECT_EQ(Dec("-1234.5").ToString(','), "-1234,5");
}

TEST(Decimal, ParseRejectsAnythingElse) {
    for (const char* text : {"", "abc", "1,5", ".5", "1.", "1e", "--1", " 1", "1 ", "0x10", "1.2.3"}) {
        SCOPED_TRACE(text);
        EXPECT_FALSE(Decimal::Parse(text).has_value());
    }
    EXPECT_EQ(ErrorNumber([] { Decimal::Parse("79228162514264337593543950336"); }), 6);
    EXPECT_EQ(ErrorNumber([] { Decimal::Parse("1E29"); }), 6);
    EXPECT_EQ(ErrorNumber([] { Decimal::Parse("1E999999999999"); }), 6);
}

TEST(Decimal, Arithmetic) {
    struct Case { Decimal result; const char* expected; };
    const Case cases[] = {
        {Dec("0.1") + Dec("0.2"), "0.3"},
        {Dec("10.50") - Dec("0.5"), "10"},
        {Dec("1.1") * Dec("1.1"), "1.21"},
        {Dec("-19.99") * 3, "-59.97"},
        {Decimal(1) / Decimal(3), "0.3333333333333333333333333333"},
        {Decimal(2) / Decimal(3), "0.6666666666666666666666666667"},
        {Decimal(1) / Decimal(3) * 3, "0.9999999999999999999999999999"},
        {Decimal(10) / Decimal(3), "3.333333333333333333333333333"},  // 28 significant digits
        {Decimal(-1) / Decimal(4), "-0.25"},
        {Decimal(1) / Dec("0.001"), "1000"},
        {Dec(kMax) / Decimal(1), kMax},  // exact quotients keep every digit
        {Dec(kMax) / Decimal(3), "26409387504754779197847983445"},
        // Products with more than 28 decimals round half-to-even at the 28th.
        {Dec("0.00000000000001") * Dec("0.000000000000025"), "0.0000000000000000000000000002"},
        {Dec("0.00000000000001") * Dec("0.000000000000035"), "0.0000000000000000000000000004"},
        {Dec(kMax) * Dec("0.1"), "7922816251426433759354395033.5"},  // same coefficient: exact
        // Results beyond 96 bits give up decimals, rounding half-to-even: ...167.5 up, ...100.5 down.
        {Dec(kMax) * Dec("0.5"), "39614081257132168796771975168"},
        {Dec(kMax) * Dec("0.3"), "23768448754279301278063185100"},
        {Dec(kMax) - Dec("0.5"), "79228162514264337593543950334"},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(cases[i].result.ToString(), cases[i].expected);
    }
}

TEST(Decimal, DivisionByAPowerOfTenKeepsTheDigitsOfTheLongDivision) {
    // Exact quotients drop the trailing zeros of their scale; beyond 28 decimals they round half-to-even.
    struct Case { Decimal result; const char* expected; int scale; };
    const Case cases[] = {
        {Dec("12.50") / 100, "0.125", 3},
        {Dec("-7.5") / Dec("10"), "-0.75", 2},
        {Dec("-3") / Dec("-100"), "0.03", 2},
        {Decimal(200) / 100, "2", 0},
        {Dec("1.5") / Dec("0.1"), "15", 0},
        {Decimal(5) / Dec("0.01"), "500", 0},
        {Dec("0.0000000000000000000000000001") / 10, "0", 28},
        {Dec("0.0000000000000000000000000015") / 10, "0.0000000000000000000000000002", 28},
        {Dec(kMax) / Dec("1000000000000000000000000000"), "79.228162514264337593543950335", 27},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(cases[i].result.ToString(), cases[i].expected);
        EXPECT_EQ(cases[i].result.scale(), cases[i].scale);
    }
}

TEST(Decimal, OverflowAndDivisionByZero) {
    EXPECT_EQ(ErrorNumber([] { Dec(kMax) + Decimal(1); }), 6);
    EXPECT_EQ(ErrorNumber([] { Dec(kMax) * Decimal(2); }), 6);
    EXPECT_EQ(ErrorNumber([] { Dec(kMax) / Dec("0.1"); }), 6);
    EXPECT_EQ(ErrorNumber([] { -Dec(kMax) - Decimal(1); }), 6);
    EXPECT_EQ(ErrorNumber([] { Decimal(1) / Decimal(); }), 11);
    EXPECT_EQ(ErrorNumber([] { Decimal::FromParts(Decimal::Coefficient(1) << 96, 0); }), 6);
    EXPECT_EQ(ErrorNumber([] { Decimal::FromParts(1, 29); }), 5);
}

TEST(Decimal, ComparesValuesNotRepresentations) {
    EXPECT_EQ(Dec("1.5"), Dec("1.50"));
    EXPECT_EQ(Decimal::FromParts(0, 5), Decimal());
    EXPECT_LT(Dec("1.5"), Dec("1.51"));
    EXPECT_LT(Dec("-2"), Dec("0.0001"));
    EXPECT_GT(Dec(kMax), Dec("7.9228162514264337593543950335"));
    EXPECT_EQ(Dec("1.500").Normalized().scale(), 1);
    EXPECT_TRUE(Dec("3.000").IsInteger());
    EXPECT_FALSE(Dec("3.001").IsInteger());
}

TEST(Decimal, RoundingModes) {
    struct Case { const char* value; int decimals; RoundingMode mode; const char* expected; };
    using M = RoundingMode;
    const Case cases[] = {
        {"2.5", 0, M::HalfEven, "2"},          {"3.5", 0, M::HalfEven, "4"},
        {"-2.5", 0, M::HalfEven, "-2"},        {"2.5001", 0, M::HalfEven, "3"},
        {"2.5", 0, M::HalfAwayFromZero, "3"},  {"-2.5", 0, M::HalfAwayFromZero, "-3"},
        {"1.005", 2, M::HalfAwayFromZero, "1.01"}, {"1.005", 2, M::HalfEven, "1"},
        {"2.1", 0, M::Up, "3"},                {"-2.1", 0, M::Up, "-3"},
        {"2.9", 0, M::Down, "2"},              {"-2.9", 0, M::Down, "-2"},
        {"-2.1", 0, M::Ceiling, "-2"},         {"2.1", 0, M::Ceiling, "3"},
        {"-2.1", 0, M::Floor, "-3"},           {"2.9", 0, M::Floor, "2"},
        {"1.25", 5, M::Up, "1.25"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.value) + " mode " + std::to_string(static_cast<int>(c.mode)));
        EXPECT_EQ(Dec(c.value).Round(c.decimals, c.mode).ToString(), c.expected);
    }
    EXPECT_EQ(Dec("2.5").ToInt64(), 2);
    EXPECT_EQ(Dec("-3.5").ToInt64(), -4);
    EXPECT_EQ(ErrorNumber([] { Dec("9223372036854775808").ToInt64(); }), 6);
}

TEST(Decimal, Doubles) {
    EXPECT_EQ(Decimal::FromDouble(0.1).ToString(), "0.1");
    EXPECT_EQ(Decimal::FromDouble(0.1 + 0.2).ToString(), "0.3");
    EXPECT_EQ(Decimal::FromDouble(1.0 / 3.0).ToString(), "0.333333333333333");
    EXPECT_EQ(Decimal::FromDouble(-1e20).ToString(), "-100000000000000000000");
    EXPECT_EQ(Decimal::FromDouble(1e-30).ToString(), "0");
    EXPECT_EQ(ErrorNumber([] { Decimal::FromDouble(std::nan("")); }), 6);
    EXPECT_EQ(ErrorNumber([] { Decimal::FromDouble(1e30); }), 6);
    EXPECT_EQ(Dec("0.1").ToDouble(), 0.1);
    EXPECT_EQ(Dec("-1234.5678").ToDouble(), -1234.5678);
    // The nearest Double every time, whether the digits fit a Double exactly or not.
    for (const char* text : {"0.3", "2.675", "-0.07", "1E-22", "123456789012.345", "9007199254740991",
                             "9007199254740993", "1.00000000000000000001", "0.0000000000000000000000000001",
                             "79228162514264337593543950335", "12345678901234.5600000", "-0.1000000000000000000000"}) {
        EXPECT_EQ(Dec(text).ToDouble(), std::strtod(text, nullptr)) << text;
    }
}

// FromDouble reads the Double's 15 significant digits; however it gets there, the coefficient and
// scale must be those of reading that text, at the edges of the scale range, of the 96-bit range and of
// rounding alike.
TEST(Decimal, FromDoubleIsTheDecimalOfItsFifteenDigits) {
    auto reference = [](double v) {
        char buf[40];
        const auto res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific, 14);
        return *Decimal::Parse(std::string_view(buf, static_cast<std::size_t>(res.ptr - buf)));
    };
    auto same = [&](double v) {
        const Decimal got = Decimal::FromDouble(v);
        const Decimal want = reference(v);
        EXPECT_TRUE(got.coefficient() == want.coefficient() && got.scale() == want.scale())
            << v << ": " << got.ToString() << " (scale " << got.scale() << "), not " << want.ToString()
            << " (scale " << want.scale() << ")";
    };
    std::vector<double> values = {0.0, -0.0, 1.0, -1.0, 0.1, -0.1, 0.3, 1.0 / 3.0, 2.675, 19.99, 1234.5678,
                                  0.30000000000000004, 9007199254740993.0, 123456789012345.0, 999999999999999.0,
                                  1e14, 1e15, 1e16, 1e27, 1e28, 9.99999999999999e27, 7.9e28, -7.9e28,
                                  1e-13, 1e-14, 1e-15, 1.5e-14, 1.5e-15, 5e-29, 4.9e-29, 1e-28, 1e-29,
                                  std::numeric_limits<double>::min(), std::numeric_limits<double>::denorm_min(),
                                  -std::numeric_limits<double>::denorm_min()};
    // Every decade a Decimal can hold, with digits that do and do not round.
    uint64_t seed = 12345;
    for (int e = -32; e <= 27; ++e) {
        for (int k = 0; k < 20; ++k) {
            seed = seed * 6364136223846793005ull + 1442695040888963407ull;
            const double mantissa = 1.0 + static_cast<double>(seed >> 11) / 9007199254740992.0 * 8.9;
            values.push_back((k % 2 ? -mantissa : mantissa) * std::pow(10.0, e));
        }
    }
    // Every binary exponent, at its power of two and just below it, where the decimal exponent is
    // first guessed from the binary one.
    for (int e = -30; e <= 52; ++e) {
        const double p = std::ldexp(1.0, e);
        values.insert(values.end(), {p, std::nextafter(p, 0.0), 10.0 * p, std::nextafter(10.0 * p, 0.0)});
    }
    for (double v : values) same(v);
    // Beyond the range both ways raise the overflow error.
    for (double v : {7.93e28, -1e29, 1e300, std::numeric_limits<double>::max()})
        EXPECT_EQ(ErrorNumber([&] { Decimal::FromDouble(v); }), 6) << v;
}

// Comparisons, sums, products, roundings and divisions by 100 of random figures with small and wide coefficients, against
// exact integer arithmetic: figures below 2^64 take a shorter way than wide ones, and both must give
// the same digits and the same scale.
TEST(Decimal, SmallAndWideCoefficientsGiveTheSameResults) {
    using Big = boost::multiprecision::cpp_int;
    std::mt19937_64 rng(20261206);
    auto random_coefficient = [&] {
        const int bits = static_cast<int>(rng() % 95) + 1;
        Big c = ((Big(rng()) << 64) | Big(rng())) >> (128 - bits);
        return rng() % 2 ? Big(-c) : c;
    };
    auto make = [](const Big& c, int scale) { return Decimal::FromParts(Decimal::Coefficient(c.str()), scale); };
    auto pow10 = [](int n) { return Big(boost::multiprecision::pow(Big(10), static_cast<unsigned>(n))); };
    const Big limit = Big(1) << 96;
    for (int i = 0; i < 20000; ++i) {
        const Big ca = random_coefficient(), cb = random_coefficient();
        const int sa = static_cast<int>(rng() % 29), sb = static_cast<int>(rng() % 29);
        const Decimal a = make(ca, sa), b = make(cb, sb);
        SCOPED_TRACE(a.ToString() + " and " + b.ToString());

        const Big product = ca * cb;
        if (sa + sb <= 28 && abs(product) < limit) {
            const Decimal p = a * b;
            EXPECT_EQ(p, make(product, sa + sb));
            EXPECT_EQ(p.scale(), sa + sb);
        }

        const int scale = std::max(sa, sb);
        const Big xa = ca * pow10(scale - sa), xb = cb * pow10(scale - sb);
        EXPECT_EQ(a < b, xa < xb);
        EXPECT_EQ(a == b, xa == xb);
        EXPECT_EQ(a > b, xa > xb);
        if (sa < 28 && abs(ca * 10) < limit) EXPECT_TRUE(make(ca * 10, sa + 1) == a);  // the same value, another scale
        const Big sum = xa + xb;
        if (abs(sum) < limit) {
            const Decimal total = a + b;
            EXPECT_EQ(total, make(sum, scale));
            EXPECT_EQ(total.scale(), scale);
        }

        const int decimals = static_cast<int>(rng() % 29);
        for (RoundingMode mode : {RoundingMode::HalfAwayFromZero, RoundingMode::HalfEven, RoundingMode::Ceiling,
                                  RoundingMode::Floor, RoundingMode::Up, RoundingMode::Down}) {
            if (decimals >= sa) continue;
            const Big d = pow10(sa - decimals);
            const bool negative = ca < 0;
            Big q = abs(ca) / d;
            const Big r = abs(ca) % d;
            bool away = false;
            if (r != 0) {
                switch (mode) {
                    case RoundingMode::Up: away = true; break;
                    case RoundingMode::Down: away = false; break;
                    case RoundingMode::Ceiling: away = !negative; break;
                    case RoundingMode::Floor: away = negative; break;
                    default:
                        away = 2 * r > d || (2 * r == d && (mode == RoundingMode::HalfAwayFromZero || q % 2 == 1));
                }
            }
            if (away) ++q;
            const Decimal rounded = a.Round(decimals, mode);
            EXPECT_EQ(rounded, make(negative ? Big(-q) : q, decimals));
            EXPECT_EQ(rounded.scale(), decimals);
        }

        if (sa + 2 <= 28) {
            Big c = ca;
            int scale = sa + 2;
            while (scale > 0 && c % 10 == 0) {
                c /= 10;
                --scale;
            }
            const Decimal hundredth = a / Decimal(100);
            EXPECT_EQ(hundredth, make(c, scale));
            EXPECT_EQ(hundredth.scale(), scale);
        }
    }
}

// A Double's Decimal is its scientific text with 15 significant digits read back: the same digits and
// the same scale, for Doubles of every size and for the prices and percentages a price list holds.
TEST(Decimal, FromDoubleGivesTheDigitsOfItsText) {
    auto from_text = [](double v) {
        char buf[40];
        const auto res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific, 14);
        return *Decimal::Parse(std::string_view(buf, static_cast<std::size_t>(res.ptr - buf)));
    };
    auto check = [&](double v) {
        const Decimal got = Decimal::FromDouble(v), want = from_text(v);
        if (got != want || got.scale() != want.scale()) {
            ADD_FAILURE() << "FromDouble(" << std::to_string(v) << ") gives " << got.ToString() << " at scale "
                          << got.scale() << ", its text " << want.ToString() << " at scale " << want.scale();
            return false;
        }
        return true;
    };
    std::mt19937_64 rng(42);
    int failures = 0;
    for (int i = 0; i < 300000 && failures < 5; ++i) {
        // Any bits, any magnitude around the fast range; prices in cents; percentages in thousandths.
        const double any = std::bit_cast<double>(rng());
        if (std::isfinite(any) && std::fabs(any) < 1e28 && !check(any)) ++failures;
        const double scaled = std::ldexp(static_cast<double>(rng() >> 11), static_cast<int>(rng() % 120) - 90);
        if (!check(scaled) || !check(-scaled)) ++failures;
        if (!check(static_cast<double>(rng() % 100000000) / 100)) ++failures;
        if (!check(static_cast<double>(rng() % 1000000) / 1000)) ++failures;
    }
    for (double v : {1e-8, 9.999999999999999e-9, 1e15, 999999999999999.9, 999999999999999.4, 9.999999999999995,
                     9.9999999999999953, 0.1, 0.3, 2.675, 1.0000000000000002, 123456789012345.6, 5e-324, 1.5e27})
        check(v);
    for (int k = -10; k <= 16; ++k) {
        const double p = std::pow(10.0, k);
        check(p);
        check(std::nextafter(p, 0.0));
        check(std::nextafter(p, 1e300));
    }
}

}  // namespace
}  // namespace kv
