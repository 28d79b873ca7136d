#include "platform/variant/decimal.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <charconv>
#include <cmath>
#include <iterator>
#include <limits>

#include "platform/variant/error.h"

namespace kv {
namespace {

namespace mp = boost::multiprecision;
// Intermediate results: a 96-bit coefficient scaled by up to 10^56 (division) needs ~283 bits, parsed
// text is kept to 60 significant digits times at most 10^30; 512 bits hold all of them.
using Wide = mp::int512_t;

constexpr int kMaxPow10 = 120;
// Parsed text keeps this many significant digits; the rest only matters as "something non-zero".
constexpr int kMaxParsedDigits = 60;

const Wide& Pow10(int n) {
    static const auto table = [] {
        std::array<Wide, kMaxPow10 + 1> t;
        t[0] = 1;
        for (int i = 1; i <= kMaxPow10; ++i) t[i] = t[i - 1] * 10;
        return t;
    }();
    return table[n];
}

const Decimal::Coefficient& Limit() {  // 2^96: coefficients stay strictly below it
    static const Decimal::Coefficient limit = Decimal::Coefficient(1) << 96;
    return limit;
}

const Wide& WideLimit() {
    static const Wide limit = Wide(1) << 96;
    return limit;
}

[[noreturn]] void Overflow() {
    throw Error(err::kOverflow,
                "Overflow: the Decimal result is beyond +-79228162514264337593543950335");
}

int DigitCount(const Wide& m) {  // m >= 0
    int n = 1;
    while (n < kMaxPow10 && m >= Pow10(n)) ++n;
    return n;
}

// Whether a magnitude truncated to q (remainder r of a division by d, `sticky` when a non-zero amount
// below r was already cut off) must be incremented under `mode`; `negative` is the value's sign.
// `Twice` holds twice the remainder (a wider type where the remainder's own could overflow).
template <class Int, class Twice = Int>
bool RoundsAway(const Int& q, const Int& r, const Int& d, bool negative, RoundingMode mode, bool sticky) {
    if (r == 0 && !sticky) return false;
    switch (mode) {
        case RoundingMode::Down: return false;
        case RoundingMode::Up: return true;
        case RoundingMode::Ceiling: return !negative;
        case RoundingMode::Floor: return negative;
        case RoundingMode::HalfEven:
        case RoundingMode::HalfAwayFromZero: {
            const Twice twice = Twice(r) * 2;
            if (twice != Twice(d)) return twice > Twice(d);
            if (sticky || mode == RoundingMode::HalfAwayFromZero) return true;
            return (q & 1) != 0;
        }
    }
    return false;
}

// The coefficient as the compiler's own 128-bit integer. Most figures (prices, percentages, their
// products) have coefficients below 2^64; on those the native arithmetic gives the same digits in a
// few instructions where the 512-bit intermediates go through generic multi-word routines.
__int128 Native(const Decimal::Coefficient& c) { return static_cast<__int128>(c); }
unsigned __int128 Magnitude(__int128 c) {
    return c < 0 ? -static_cast<unsigned __int128>(c) : static_cast<unsigned __int128>(c);
}
constexpr uint64_t kPow10Small[] = {1ull,
                                    10ull,
                                    100ull,
                                    1000ull,
                                    10000ull,
                                    100000ull,
                                    1000000ull,
                                    10000000ull,
                                    100000000ull,
                                    1000000000ull,
                                    10000000000ull,
                                    100000000000ull,
                                    1000000000000ull,
                                    10000000000000ull,
                                    100000000000000ull,
                                    1000000000000000ull,
                                    10000000000000000ull,
                                    100000000000000000ull,
                                    1000000000000000000ull,
                                    10000000000000000000ull};
constexpr unsigned __int128 kLimitNative = static_cast<unsigned __int128>(1) << 96;

// value = c / 10^scale (plus a non-zero remainder below the last digit of c when `sticky`), reduced to
// at most 28 decimals and 96 bits with half-to-even rounding; raises 6 when the integer part is too big.
Decimal Build(const Wide& c, int scale, bool sticky = false) {
    const bool negative = c < 0;
    Wide m = negative ? Wide(-c) : c;
    if (scale < 0) {
        if (m == 0) return Decimal();
        if (-scale > 30) Overflow();
        m *= Pow10(-scale);
        scale = 0;
    }
    if (scale <= Decimal::kMaxScale && m < WideLimit() && !sticky)
        return Decimal::FromParts(static_cast<Decimal::Coefficient>(negative ? Wide(-m) : m), scale);
    int k = std::max(0, scale - Decimal::kMaxScale);
    if (k > 100) return Decimal();  // every caller keeps m below 10^100: it rounds to zero
    while (k < scale && m >= WideLimit() * Pow10(k)) ++k;
    for (;;) {
        Wide q, r;
        mp::divide_qr(m, Pow10(k), q, r);
        if (k > 0 && RoundsAway(q, r, Pow10(k), negative, RoundingMode::HalfEven, sticky)) ++q;
        if (q < WideLimit())
            return Decimal::FromParts(static_cast<Decimal::Coefficient>(negative ? Wide(-q) : q), scale - k);
        if (k >= scale) Overflow();
        ++k;  // rounding carried into a 97th bit: drop one more digit, from the exact value again
    }
}

Wide Abs(const Decimal::Coefficient& c) { return c < 0 ? Wide(-c) : Wide(c); }

// k when |c| is 10^k, else -1.
int PowerOfTen(const Decimal::Coefficient& c) {
    unsigned __int128 m = Magnitude(Native(c));
    if (m == 0) return -1;
    int k = 0;
    while (m % 10 == 0) {
        m /= 10;
        ++k;
    }
    return m == 1 ? k : -1;
}

// The 15 significant digits of a Double of magnitude 1e-8 to 1e15, rounded half to even from its exact
// binary value as to_chars rounds them, worked out in integers: the Double is m / 2^shift exactly, so
// m * 10^s / 2^shift is the value times 10^s, and its integer part and remainder give the digits and
// the rounding. `scale` is the number of decimals of the 15 digits (what the scientific text's
// exponent gives). False outside that range, and when the digits carry into a sixteenth place
// at scale 0.
bool FifteenDigits(double v, int64_t& digits, int& scale) {
    static constexpr uint64_t kLow = 100000000000000ull, kHigh = 1000000000000000ull;  // 10^14, 10^15
    const double a = std::fabs(v);
    if (!(a >= 1e-8 && a < 1e15)) return false;
    int e2 = 0;
    const double fraction = std::frexp(a, &e2);  // a = fraction * 2^e2, fraction in [0.5, 1)
    const auto m = static_cast<uint64_t>(std::ldexp(fraction, 53));
    const int shift = 53 - e2;  // 3 to 80 in this range
    // The decimal exponent, perhaps one below: a is at least 2^(e2-1), and 78913 / 2^18 is log10(2)
    // rounded down, so this is floor(log10(2^(e2-1))) (the shift floors toward minus infinity).
    int d = ((e2 - 1) * 78913) >> 18;
    static constexpr auto kPow10 = [] {
        std::array<unsigned __int128, 23> t{};
        t[0] = 1;
        for (std::size_t i = 1; i < t.size(); ++i) t[i] = t[i - 1] * 10;
        return t;
    }();
    for (int attempt = 0; attempt < 3; ++attempt) {
        const int s = 14 - d;
        if (s < 0 || s > 22) return false;
        const unsigned __int128 p10 = kPow10[static_cast<std::size_t>(s)];
        const unsigned __int128 n = static_cast<unsigned __int128>(m) * p10;  // below 2^127
        unsigned __int128 q = n >> shift;
        if (q >= kHigh) {
            ++d;
            continue;
        }
        if (q < kLow) {
            --d;
            continue;
        }
        const unsigned __int128 r = n - (q << shift);
        const unsigned __int128 half = static_cast<unsigned __int128>(1) << (shift - 1);
        if (r > half || (r == half && (q & 1) != 0)) ++q;
        int out_scale = s;
        if (q == kHigh) {  // 9.99…95 and up: one digit more, one decimal less
            q = kLow;
            --out_scale;
        }
        if (out_scale < 0) return false;
        digits = static_cast<int64_t>(q);
        scale = out_scale;
        return true;
    }
    return false;
}

}  // namespace

Decimal Decimal::FromParts(Coefficient coefficient, int scale) {
    if (scale < 0 || scale > kMaxScale)
        throw Error(err::kInvalidCall,
                    "Invalid procedure call: Decimal scale " + std::to_string(scale) + " is outside 0..28");
    if (coefficient >= Limit() || coefficient <= -Limit()) Overflow();
    Decimal d;
    d.coef_ = std::move(coefficient);
    d.scale_ = scale;
    return d;
}

Decimal Decimal::FromDouble(double v) {
    // A price run converts the same few figures (a recharge, a rate, a price shared by many rows) over
    // and over: the last conversions are kept, by the Double's bits, in a small table per thread.
    // The conversion is a function of the bits alone, so a kept result is the result.
    struct Kept {
        uint64_t bits = 0;
        bool used = false;
        Decimal value;
    };
    if (v == 0) return Decimal();  // the commonest figure of all (an unused discount), and -0 too
    thread_local std::array<Kept, 512> kept;
    const auto bits = std::bit_cast<uint64_t>(v);
    Kept& k = kept[static_cast<std::size_t>((bits * 0x9E3779B97F4A7C15ull) >> 55)];
    if (k.used && k.bits == bits) return k.value;
    const Decimal result = [v]() -> Decimal {
        if (!std::isfinite(v))
            throw Error(err::kOverflow, "Overflow: a non-finite Double cannot become a Decimal");
        // 15 significant digits, as the platform shows a Double: 0.1 becomes 0.1, not its binary value.
        int64_t fifteen = 0;
        int fifteen_scale = 0;
        if (FifteenDigits(v, fifteen, fifteen_scale)) {
            Decimal d;
            d.coef_ = v < 0 ? -fifteen : fifteen;
            d.scale_ = fifteen_scale;
            return d;
        }
        char buf[40];
        const auto res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific, 14);
        // The text is always "[-]d.ddddddddddddddde[+-]x...": its 15 digits fit a 64-bit integer, so the
        // usual case (a result of at most 28 decimals that needs no rounding) is built directly, the same
        // coefficient and scale that reading the text gives. Loads convert every stored Double this way.
        const char* p = buf;
        const bool negative = *p == '-';
        if (negative) ++p;
        int64_t digits = *p++ - '0';
        ++p;  // the '.'
        for (int i = 0; i < 14; ++i) digits = digits * 10 + (*p++ - '0');
        ++p;  // the 'e'
        const bool exp_negative = *p++ == '-';
        int exponent = 0;
        while (p < res.ptr) exponent = exponent * 10 + (*p++ - '0');
        const int scale = 14 + (exp_negative ? exponent : -exponent);
        if (digits == 0) return Decimal();
        if (scale >= 0 && scale <= kMaxScale) {
            Decimal d;
            d.coef_ = negative ? -digits : digits;
            d.scale_ = scale;
            return d;
        }
        if (scale < 0 && scale >= -13) {  // below 10^15 * 10^13 < 2^96: fits without rounding
            Decimal d;
            d.coef_ = Coefficient(negative ? -digits : digits) * static_cast<Coefficient>(Pow10(-scale));
            d.scale_ = 0;
            return d;
        }
        const auto parsed = Parse(std::string_view(buf, static_cast<std::size_t>(res.ptr - buf)));
        return *parsed;  // to_chars' scientific form is always valid Parse input
    }();
    k.bits = bits;
    k.value = result;
    k.used = true;
    return result;
}

std::optional<Decimal> Decimal::Parse(std::string_view text) {
    std::size_t i = 0;
    const std::size_t n = text.size();
    bool negative = false;
    if (i < n && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';

    Wide m = 0;
    int significant = 0;
    long scale = 0;  // value = m / 10^scale
    bool sticky = false;
    auto digit = [&](char ch, bool fraction) {
        if (significant < kMaxParsedDigits) {
            m = m * 10 + (ch - '0');
            if (m != 0) ++significant;
            if (fraction) ++scale;
        } else if (fraction) {
            sticky = sticky || ch != '0';
        } else {
            --scale;  // integer digit beyond what is kept: the kept digits count ten times more
            sticky = sticky || ch != '0';
        }
    };
    const std::size_t int_start = i;
    while (i < n && text[i] >= '0' && text[i] <= '9') digit(text[i++], false);
    if (i == int_start) return std::nullopt;
    if (i < n && text[i] == '.') {
        const std::size_t frac_start = ++i;
        while (i < n && text[i] >= '0' && text[i] <= '9') digit(text[i++], true);
        if (i == frac_start) return std::nullopt;
    }
    if (i < n && (text[i] == 'E' || text[i] == 'e')) {
        ++i;
        bool exp_negative = false;
        if (i < n && (text[i] == '+' || text[i] == '-')) exp_negative = text[i++] == '-';
        const std::size_t exp_start = i;
        long exponent = 0;
        while (i < n && text[i] >= '0' && text[i] <= '9') {
            exponent = std::min(exponent * 10 + (text[i++] - '0'), 1000000L);
        }
        if (i == exp_start) return std::nullopt;
        scale += exp_negative ? exponent : -exponent;
    }
    if (i != n) return std::nullopt;
    if (m == 0) return Decimal();
    // A remainder cut off at the 60th digit lies far below any digit that can be kept.
    return Build(negative ? Wide(-m) : m, static_cast<int>(std::clamp(scale, -2000000L, 2000000L)), sticky);
}

double Decimal::ToDouble() const {
    // When the coefficient and 10^scale are both exact Doubles, one division rounds the exact quotient
    // correctly: the same Double as reading the text, without writing it (filters key Decimal fields
    // through this for every row).
    static constexpr double kExactPow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                             1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                             1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    static const Coefficient kExactLimit = Coefficient(1) << 53;
    if (scale_ < static_cast<int>(std::size(kExactPow10)) && coef_ < kExactLimit && coef_ > -kExactLimit)
        return static_cast<double>(static_cast<int64_t>(coef_)) / kExactPow10[scale_];
    // A product of figures carries decimals that are zeros: without them the value is the same, and
    // its coefficient mostly fits.
    Coefficient c = coef_;
    int scale = scale_;
    while (scale > 0 && c % 10 == 0) {
        c /= 10;
        --scale;
    }
    if (scale < static_cast<int>(std::size(kExactPow10)) && c < kExactLimit && c > -kExactLimit)
        return static_cast<double>(static_cast<int64_t>(c)) / kExactPow10[scale];
    const std::string text = ToString('.');
    double v = 0.0;
    std::from_chars(text.data(), text.data() + text.size(), v);  // always in a Double's range
    return v;
}

std::string Decimal::ToString(char decimal_separator) const {
    if (coef_ == 0) return "0";
    auto magnitude = static_cast<unsigned __int128>(static_cast<__int128>(coef_ < 0 ? Coefficient(-coef_) : coef_));
    char buf[64];
    char* end = buf + sizeof buf;
    char* p = end;
    while (magnitude != 0) {
        *--p = static_cast<char>('0' + static_cast<int>(magnitude % 10));
        magnitude /= 10;
    }
    int scale = scale_;
    while (scale > 0 && end[-1] == '0') {
        --end;
        --scale;
    }
    while (end - p <= scale) *--p = '0';  // at least one digit before the separator
    std::string out;
    out.reserve(static_cast<std::size_t>(end - p) + 2);
    if (coef_ < 0) out += '-';
    out.append(p, end - scale);
    if (scale > 0) {
        out += decimal_separator;
        out.append(end - scale, end);
    }
    return out;
}

bool Decimal::IsInteger() const {
    if (scale_ == 0) return true;
    return Wide(coef_) % Pow10(scale_) == 0;
}

Decimal Decimal::Round(int decimals, RoundingMode mode) const {
    if (decimals < 0)
        throw Error(err::kInvalidCall,
                    "Invalid procedure call: cannot round to " + std::to_string(decimals) + " decimals");
    if (decimals >= scale_) return *this;
    if (const int k = scale_ - decimals; k < static_cast<int>(std::size(kPow10Small))) {
        const __int128 c = Native(coef_);
        const unsigned __int128 magnitude = Magnitude(c);
        if (magnitude >> 64 == 0) {
            const auto m = static_cast<uint64_t>(magnitude);
            const uint64_t d = kPow10Small[k];
            uint64_t q = m / d;
            if (RoundsAway<uint64_t, unsigned __int128>(q, m % d, d, c < 0, mode, false)) ++q;  // q < 2^64 / 10
            const auto signed_q = static_cast<__int128>(q);
            return FromParts(Coefficient(c < 0 ? -signed_q : signed_q), decimals);
        }
    }
    const Wide& divisor = Pow10(scale_ - decimals);
    Wide q, r;
    mp::divide_qr(Abs(coef_), divisor, q, r);
    if (RoundsAway(q, r, divisor, coef_ < 0, mode, false)) ++q;
    return FromParts(static_cast<Coefficient>(coef_ < 0 ? Wide(-q) : q), decimals);
}

int64_t Decimal::ToInt64(RoundingMode mode) const {
    const Decimal whole = Round(0, mode);
    if (whole.coef_ > std::numeric_limits<int64_t>::max() || whole.coef_ < std::numeric_limits<int64_t>::min())
        throw Error(err::kOverflow, "Overflow: " + ToString() + " does not fit in a 64-bit integer");
    return static_cast<int64_t>(whole.coef_);
}

Decimal Decimal::Normalized() const {
    Decimal d = *this;
    if (d.coef_ == 0) {
        d.scale_ = 0;
        return d;
    }
    while (d.scale_ > 0 && d.coef_ % 10 == 0) {
        d.coef_ /= 10;
        --d.scale_;
    }
    return d;
}

Decimal Decimal::operator-() const {
    Decimal d = *this;
    d.coef_ = -d.coef_;
    return d;
}

Decimal operator+(const Decimal& a, const Decimal& b) {
    if (a.scale_ == b.scale_) {  // the common case (amounts of one currency): no rescaling
        Decimal::Coefficient sum = a.coef_ + b.coef_;  // below 2^97: no wrap in 128 bits
        if (sum < Limit() && sum > -Limit()) {
            Decimal d;
            d.coef_ = std::move(sum);
            d.scale_ = a.scale_;
            return d;
        }
    }
    const int scale = std::max(a.scale_, b.scale_);
    // Figures of different scales (a price and a percentage of it): each brought to the larger scale
    // natively when both stay below 2^125, so that their sum cannot wrap.
    const int da = scale - a.scale_, db = scale - b.scale_;
    const __int128 x = Native(a.coef_), y = Native(b.coef_);
    const unsigned __int128 mx = Magnitude(x), my = Magnitude(y);
    constexpr unsigned __int128 kHalfRange = static_cast<unsigned __int128>(1) << 125;
    if (mx >> 63 == 0 && my >> 63 == 0 && da < static_cast<int>(std::size(kPow10Small)) &&
        db < static_cast<int>(std::size(kPow10Small))) {
        const unsigned __int128 sx = mx * kPow10Small[da], sy = my * kPow10Small[db];  // below 2^127
        if (sx < kHalfRange && sy < kHalfRange) {
            const __int128 sum = (x < 0 ? -static_cast<__int128>(sx) : static_cast<__int128>(sx)) +
                                 (y < 0 ? -static_cast<__int128>(sy) : static_cast<__int128>(sy));
            if (Magnitude(sum) < kLimitNative) return Decimal::FromParts(Decimal::Coefficient(sum), scale);
        }
    }
    return Build(Wide(a.coef_) * Pow10(da) + Wide(b.coef_) * Pow10(db), scale);
}

Decimal operator-(const Decimal& a, const Decimal& b) { return a + (-b); }

Decimal operator*(const Decimal& a, const Decimal& b) {
    const int scale = a.scale_ + b.scale_;
    const __int128 x = Native(a.coef_);
    const __int128 y = Native(b.coef_);
    const unsigned __int128 mx = Magnitude(x);
    const unsigned __int128 my = Magnitude(y);
    if (mx >> 63 == 0 && my >> 63 == 0 && scale <= Decimal::kMaxScale) {
        const unsigned __int128 product = mx * my;  // below 2^126: exact
        if (product < kLimitNative) {  // what Build keeps as it is
            const auto p = static_cast<__int128>(product);
            return Decimal::FromParts(Decimal::Coefficient((x < 0) != (y < 0) ? -p : p), scale);
        }
    }
    return Build(Wide(a.coef_) * Wide(b.coef_), scale);
}

Decimal operator/(const Decimal& a, const Decimal& b) {
    if (b.IsZero()) throw Error(err::kDivisionByZero, "Division by zero: " + a.ToString() + " / 0");
    if (a.IsZero()) return Decimal();
    const bool negative = (a.coef_ < 0) != (b.coef_ < 0);
    // A divisor that is a power of ten (a percentage divided by 100) only moves the decimal point: the
    // quotient is exact, and the long division below would give the same digits, trailing zeros of
    // the scale dropped.
    if (const int k = PowerOfTen(b.coef_); k >= 0) {
        int scale = a.scale_ + k - b.scale_;
        if (scale >= 0 && scale <= Decimal::kMaxScale) {
            unsigned __int128 c = Magnitude(Native(a.coef_));
            if (c >> 64 == 0) {
                auto small = static_cast<uint64_t>(c);
                while (scale > 0 && small % 10 == 0) {
                    small /= 10;
                    --scale;
                }
                c = small;
            } else {
                while (scale > 0 && c % 10 == 0) {
                    c /= 10;
                    --scale;
                }
            }
            const auto signed_c = static_cast<__int128>(c);
            return Decimal::FromParts(Decimal::Coefficient(negative ? -signed_c : signed_c), scale);
        }
    }
    const Wide divisor = Abs(b.coef_);
    // The quotient at scale 28; a.scale - b.scale lies in -28..28, so the multiplier is 10^0..10^56.
    const Wide numerator = Abs(a.coef_) * Pow10(Decimal::kMaxScale - (a.scale_ - b.scale_));
    Wide q, r;
    mp::divide_qr(numerator, divisor, q, r);
    if (r == 0) {  // exact: keep every digit when it fits
        Wide exact = q;
        int scale = Decimal::kMaxScale;
        while (scale > 0 && exact % 10 == 0) {
            exact /= 10;
            --scale;
        }
        if (exact < WideLimit()) return Build(negative ? Wide(-exact) : exact, scale);
    }
    // Not exact (or too long to be): 28 significant digits, as many decimals as that leaves (0..28).
    const int dropped = std::clamp(DigitCount(q) - Decimal::kMaxScale, 0, Decimal::kMaxScale);
    const Wide scaled_divisor = divisor * Pow10(dropped);
    mp::divide_qr(numerator, scaled_divisor, q, r);
    if (RoundsAway(q, r, scaled_divisor, negative, RoundingMode::HalfEven, false)) ++q;
    return Build(negative ? Wide(-q) : q, Decimal::kMaxScale - dropped);
}

bool operator==(const Decimal& a, const Decimal& b) { return (a <=> b) == std::strong_ordering::equal; }

std::strong_ordering operator<=>(const Decimal& a, const Decimal& b) {
    const int sa = a.Sign();
    const int sb = b.Sign();
    if (sa != sb) return sa <=> sb;
    if (a.scale_ == b.scale_) {
        if (a.coef_ == b.coef_) return std::strong_ordering::equal;
        return a.coef_ < b.coef_ ? std::strong_ordering::less : std::strong_ordering::greater;
    }
    // Coefficients below 2^63 brought to the larger scale natively when that takes at most 10^19: the
    // products stay below 2^127.
    {
        const int da = std::max(a.scale_, b.scale_) - a.scale_, db = std::max(a.scale_, b.scale_) - b.scale_;
        const __int128 x = Native(a.coef_), y = Native(b.coef_);
        if (Magnitude(x) >> 63 == 0 && Magnitude(y) >> 63 == 0 && da < static_cast<int>(std::size(kPow10Small)) &&
            db < static_cast<int>(std::size(kPow10Small))) {
            const __int128 sx = x * static_cast<__int128>(kPow10Small[da]);
            const __int128 sy = y * static_cast<__int128>(kPow10Small[db]);
            return sx <=> sy;
        }
    }
    using Mid = mp::int256_t;  // 2^96 * 10^28 < 2^190
    static const auto pow = [] {
        std::array<Mid, Decimal::kMaxScale + 1> t;
        t[0] = 1;
        for (int i = 1; i <= Decimal::kMaxScale; ++i) t[i] = t[i - 1] * 10;
        return t;
    }();
    const int scale = std::max(a.scale_, b.scale_);
    const Mid x = Mid(a.coef_) * pow[scale - a.scale_];
    const Mid y = Mid(b.coef_) * pow[scale - b.scale_];
    if (x == y) return std::strong_ordering::equal;
    return x < y ? std::strong_ordering::less : std::strong_ordering::greater;
}

}  // namespace kv
