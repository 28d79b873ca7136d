#pragma once
// Decimal: the platform's exact decimal number, a signed integer coefficient of at most 96 bits and a
// scale of 0 to 28 (value = coefficient / 10^scale). Prices, percentages and amounts are computed in it,
// so sums of cents are exact. Arithmetic is exact when the result fits; otherwise the scale is reduced and
// the dropped digits are rounded half-to-even. Results beyond +-79,228,162,514,264,337,593,543,950,335
// raise error 6, division by zero error 11.

#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include <boost/multiprecision/cpp_int.hpp>

namespace kv {

enum class RoundingMode {
    HalfEven,      // banker's rounding: 2.5 -> 2, 3.5 -> 4 (the platform's CInt/CLng and Decimal rule)
    HalfAwayFromZero,  // commercial rounding: 2.5 -> 3, -2.5 -> -3 (prices at a currency's decimals)
    Up,            // away from zero
    Down,          // toward zero
    Ceiling,       // toward +infinity
    Floor,         // toward -infinity
};

class Decimal {
public:
    using Coefficient = boost::multiprecision::int128_t;
    static constexpr int kMaxScale = 28;

    Decimal() = default;  // zero
    Decimal(int v) : coef_(v) {}  // NOLINT(google-explicit-constructor): integers are exact decimals
    Decimal(int64_t v) : coef_(v) {}  // NOLINT
    Decimal(long long v) : coef_(static_cast<int64_t>(v)) {}  // NOLINT

    // coefficient / 10^scale. REQUIRES: 0 <= scale <= 28. Raises 6 when |coefficient| >= 2^96.
    static Decimal FromParts(Coefficient coefficient, int scale);
    // The double's 15 significant digits (0.1 -> 0.1). Raises 6 for infinities, NaN or out of range.
    static Decimal FromDouble(double v);
    // Plain decimal text with '.' as separator: [-+]digits[.digits][E[+-]digits]. Nothing else.
    // More than 28 decimals are rounded half-to-even. nullopt when the text is not such a number;
    // raises 6 when the value does not fit.
    static std::optional<Decimal> Parse(std::string_view text);

    double ToDouble() const;
    // Every stored digit, trailing zeros of the scale dropped, never an exponent: "1.5", "-0.25", "3".
    std::string ToString(char decimal_separator = '.') const;

    const Coefficient& coefficient() const { return coef_; }
    int scale() const { return scale_; }
    int Sign() const { return coef_ < 0 ? -1 : (coef_ > 0 ? 1 : 0); }
    bool IsZero() const { return coef_ == 0; }
    bool IsInteger() const;

    // Rounds to `decimals` places (0..28) with the given rule; decimals beyond the scale change nothing.
    Decimal Round(int decimals, RoundingMode mode = RoundingMode::HalfAwayFromZero) const;
    // Integer part with the given rule, as a 64-bit integer. Raises 6 when it does not fit.
    int64_t ToInt64(RoundingMode mode = RoundingMode::HalfEven) const;
    // The same value with trailing zeros of the scale removed (1.50 -> 1.5).
    Decimal Normalized() const;

    Decimal operator-() const;
    friend Decimal operator+(const Decimal& a, const Decimal& b);
    friend Decimal operator-(const Decimal& a, const Decimal& b);
    friend Decimal operator*(const Decimal& a, const Decimal& b);
    friend Decimal operator/(const Decimal& a, const Decimal& b);  // 28 significant digits at most
    Decimal& operator+=(const Decimal& o) { return *this = *this + o; }
    Decimal& operator-=(const Decimal& o) { return *this = *this - o; }
    Decimal& operator*=(const Decimal& o) { return *this = *this * o; }
    Decimal& operator/=(const Decimal& o) { return *this = *this / o; }

    // Compares values, not representations: 1.5 == 1.50.
    friend bool operator==(const Decimal& a, const Decimal& b);
    friend std::strong_ordering operator<=>(const Decimal& a, const Decimal& b);

private:
    Coefficient coef_ = 0;
    int scale_ = 0;
};

}  // namespace kv
