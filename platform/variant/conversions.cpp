// The platform's conversion functions. Text is read and written with explicit regional settings and
// without C locales or streams: a host that sets the process locale must not change a price's text.

#include <charconv>
#include <cmath>
#include <limits>

#include "platform/variant/strings.h"
#include "platform/variant/variant.h"
#include "platform/variant/variant_internal.h"

namespace kv {
namespace detail {
namespace {

bool IsBlankChar(char c) { return c == ' ' || c == '\t'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

bool ScanNumber(std::string_view text, const RegionalSettings& rs, std::string& canonical) {
    const std::size_t n = text.size();
    std::size_t i = 0;
    while (i < n && IsBlankChar(text[i])) ++i;
    bool negative = false;
    if (i < n && (text[i] == '+' || text[i] == '-')) {
        negative = text[i++] == '-';
        while (i < n && IsBlankChar(text[i])) ++i;
    }
    canonical.clear();
    if (negative) canonical += '-';
    const std::size_t first_digit = canonical.size();
    int digits = 0;
    long fraction_digits = 0;
    auto take = [&](char c) {
        ++digits;
        // Leading zeros are dropped so the canonical text stays short; one zero remains for "0".
        if (c == '0' && canonical.size() == first_digit) return;
        canonical += c;
    };
    // Integer part: the grouping mark is accepted anywhere after the first digit, unchecked, so that
    // with Italian settings "1234.5" reads as 12345.
    while (i < n && (IsDigit(text[i]) || (digits > 0 && text[i] == rs.thousands_separator))) {
        if (IsDigit(text[i])) take(text[i]);
        ++i;
    }
    if (i < n && text[i] == rs.decimal_separator) {
        ++i;
        while (i < n && IsDigit(text[i])) {
            take(text[i++]);
            ++fraction_digits;
        }
    }
    if (digits == 0) return false;
    long exponent = 0;
    if (i < n && (text[i] == 'E' || text[i] == 'e' || text[i] == 'D' || text[i] == 'd')) {
        ++i;
        bool exp_negative = false;
        if (i < n && (text[i] == '+' || text[i] == '-')) exp_negative = text[i++] == '-';
        if (i == n || !IsDigit(text[i])) return false;
        while (i < n && IsDigit(text[i])) exponent = std::min(exponent * 10 + (text[i++] - '0'), 1000000L);
        if (exp_negative) exponent = -exponent;
    }
    while (i < n && IsBlankChar(text[i])) ++i;
    if (i != n) return false;
    if (canonical.size() == first_digit) {  // all zeros
        canonical.assign(1, '0');
        return true;
    }
    exponent -= fraction_digits;
    if (exponent != 0) {
        canonical += 'E';
        char buf[24];
        const auto res = std::to_chars(buf, buf + sizeof buf, exponent);
        canonical.append(buf, res.ptr);
    }
    return true;
}

std::optional<double> CanonicalToDouble(const std::string& canonical) {
    double v = 0.0;
    const auto res = std::from_chars(canonical.data(), canonical.data() + canonical.size(), v);
    if (res.ec == std::errc()) return v;
    // Out of range: tiny values are zero, large ones do not fit. The magnitude's decimal exponent is the
    // digit count plus the written exponent.
    const std::size_t e = canonical.find('E');
    const bool negative = canonical[0] == '-';
    const long digit_count = static_cast<long>((e == std::string::npos ? canonical.size() : e) - (negative ? 1 : 0));
    long exponent = 0;
    if (e != std::string::npos) std::from_chars(canonical.data() + e + 1, canonical.data() + canonical.size(), exponent);
    if (digit_count + exponent > 0) return std::nullopt;
    return negative ? -0.0 : 0.0;
}

std::string FormatDouble(double d, char decimal_separator) {
    if (d == 0.0) return "0";  // no "-0"
    char buf[40];
    const auto res = std::to_chars(buf, buf + sizeof buf, d, std::chars_format::general, 15);
    std::string out(buf, res.ptr);
    for (char& c : out) {
        if (c == '.') c = decimal_separator;
        else if (c == 'e') c = 'E';
    }
    return out;
}

std::string Describe(const Variant& v, const RegionalSettings& rs) {
    if (const auto* s = v.TryGet<std::string>()) {
        constexpr std::size_t kMax = 60;
        std::string out(1, '\'');
        if (s->size() <= kMax) {
            out += *s;
        } else {
            out += Left(*s, kMax);
            out += "...";
        }
        out += '\'';
        return out;
    }
    if (v.IsNull()) return "Null";
    if (v.IsEmpty()) return "Empty";
    if (v.IsObject()) return "an Object";
    return CStr(v, rs);
}

void ThrowNull() { throw Error(err::kInvalidUseOfNull, "Invalid use of Null"); }

void ThrowNotANumber(const Variant& v, const RegionalSettings& rs) {
    if (v.IsObject()) throw Error(err::kTypeMismatch, "Type mismatch: an Object is not a number");
    throw Error(err::kTypeMismatch, "Type mismatch: " + Describe(v, rs) + " is not a number");
}

}  // namespace detail

namespace {

using detail::Describe;

[[noreturn]] void ThrowOverflow(const std::string& what, const char* type) {
    throw Error(err::kOverflow, std::string("Overflow: ") + what + " does not fit in " + type);
}

double RoundHalfEven(double x) {
    const double f = std::floor(x);
    const double diff = x - f;  // exact
    if (diff > 0.5) return f + 1.0;
    if (diff < 0.5) return f;
    return std::fmod(f, 2.0) == 0.0 ? f : f + 1.0;
}

std::string IntText(int64_t v) {
    char buf[24];
    const auto res = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, res.ptr);
}

// Text read as a number, or error 13 naming it.
std::string CanonicalOrThrow(const Variant& v, const RegionalSettings& rs) {
    std::string canonical;
    if (!detail::ScanNumber(v.StringValue(), rs, canonical)) detail::ThrowNotANumber(v, rs);
    return canonical;
}

template <class T>
T ToIntegral(const Variant& v, const RegionalSettings& rs, const char* type_name) {
    constexpr auto kMin = std::numeric_limits<T>::min();
    constexpr auto kMax = std::numeric_limits<T>::max();
    auto check = [&](int64_t x) {
        if (x < kMin || x > kMax) ThrowOverflow(Describe(v, rs), type_name);
        return static_cast<T>(x);
    };
    auto from_double = [&](double d) {
        const double r = RoundHalfEven(d);
        // kMax + 1 is a power of two, exact in a Double, so the comparison is exact too.
        if (!(r >= static_cast<double>(kMin) && r < static_cast<double>(kMax) + 1.0))
            ThrowOverflow(Describe(v, rs), type_name);
        return static_cast<T>(r);
    };
    auto from_decimal = [&](const Decimal& d) {
        const Decimal r = d.Round(0, RoundingMode::HalfEven);
        if (r < Decimal(static_cast<int64_t>(kMin)) || r > Decimal(static_cast<int64_t>(kMax)))
            ThrowOverflow(Describe(v, rs), type_name);
        return static_cast<T>(r.ToInt64());
    };
    switch (v.Type()) {
        case VarType::Empty: return 0;
        case VarType::Null: detail::ThrowNull();
        case VarType::Boolean: return static_cast<T>(v.TryGet<Variant::Boolean>()->value);
        case VarType::Integer: return check(*v.TryGet<int16_t>());
        case VarType::Long: return check(*v.TryGet<int32_t>());
        case VarType::BigInt: return check(*v.TryGet<int64_t>());
        case VarType::Double: return from_double(*v.TryGet<double>());
        case VarType::Date: return from_double(v.TryGet<Date>()->Serial());
        case VarType::Decimal: return from_decimal(*v.TryGet<Decimal>());
        case VarType::String: {
            const std::string canonical = CanonicalOrThrow(v, rs);
            std::optional<Decimal> d;
            try {
                d = Decimal::Parse(canonical);
            } catch (const Error&) {
                ThrowOverflow(Describe(v, rs), type_name);
            }
            return from_decimal(*d);
        }
        case VarType::Object: break;
    }
    throw Error(err::kTypeMismatch, std::string("Type mismatch: an Object cannot be converted to ") + type_name);
}

}  // namespace

std::string CStr(const Variant& v, const RegionalSettings& rs) {
    switch (v.Type()) {
        case VarType::Empty: return {};
        case VarType::Null: detail::ThrowNull();
        case VarType::Boolean: return v.TryGet<Variant::Boolean>()->value != 0 ? "True" : "False";
        case VarType::Integer: return IntText(*v.TryGet<int16_t>());
        case VarType::Long: return IntText(*v.TryGet<int32_t>());
        case VarType::BigInt: return IntText(*v.TryGet<int64_t>());
        case VarType::Double: return detail::FormatDouble(*v.TryGet<double>(), rs.decimal_separator);
        case VarType::Decimal: return v.TryGet<Decimal>()->ToString(rs.decimal_separator);
        case VarType::Date: return v.TryGet<Date>()->ToString(rs);
        case VarType::String: return *v.TryGet<std::string>();
        case VarType::Object: break;
    }
    throw Error(err::kTypeMismatch, "Type mismatch: an Object cannot be converted to text");
}

double CDbl(const Variant& v, const RegionalSettings& rs) {
    switch (v.Type()) {
        case VarType::Empty: return 0.0;
        case VarType::Null: detail::ThrowNull();
        case VarType::Boolean: return v.TryGet<Variant::Boolean>()->value;
        case VarType::Integer: return *v.TryGet<int16_t>();
        case VarType::Long: return *v.TryGet<int32_t>();
        case VarType::BigInt: return static_cast<double>(*v.TryGet<int64_t>());
        case VarType::Double: return *v.TryGet<double>();
        case VarType::Decimal: return v.TryGet<Decimal>()->ToDouble();
        case VarType::Date: return v.TryGet<Date>()->Serial();
        case VarType::String: {
            const auto d = detail::CanonicalToDouble(CanonicalOrThrow(v, rs));
            if (!d) ThrowOverflow(Describe(v, rs), "a Double");
            return *d;
        }
        case VarType::Object: break;
    }
    detail::ThrowNotANumber(v, rs);
}

Decimal CDec(const Variant& v, const RegionalSettings& rs) {
    switch (v.Type()) {
        case VarType::Empty: return Decimal();
        case VarType::Null: detail::ThrowNull();
        case VarType::Boolean: return Decimal(static_cast<int>(v.TryGet<Variant::Boolean>()->value));
        case VarType::Integer: return Decimal(static_cast<int>(*v.TryGet<int16_t>()));
        case VarType::Long: return Decimal(static_cast<int>(*v.TryGet<int32_t>()));
        case VarType::BigInt: return Decimal(*v.TryGet<int64_t>());
        case VarType::Decimal: return *v.TryGet<Decimal>();
        case VarType::Double:
        case VarType::Date: {
            const double d = v.Type() == VarType::Double ? *v.TryGet<double>() : v.TryGet<Date>()->Serial();
            try {
                return Decimal::FromDouble(d);
            } catch (const Error&) {
                ThrowOverflow(Describe(v, rs), "a Decimal");
            }
        }
        case VarType::String: {
            try {
                return *Decimal::Parse(CanonicalOrThrow(v, rs));
            } catch (const Error& e) {
                if (e.Number() != err::kOverflow) throw;
                ThrowOverflow(Describe(v, rs), "a Decimal");
            }
        }
        case VarType::Object: break;
    }
    detail::ThrowNotANumber(v, rs);
}

int16_t CInt(const Variant& v, const RegionalSettings& rs) { return ToIntegral<int16_t>(v, rs, "an Integer"); }
int32_t CLng(const Variant& v, const RegionalSettings& rs) { return ToIntegral<int32_t>(v, rs, "a Long"); }
int64_t CLngLng(const Variant& v, const RegionalSettings& rs) { return ToIntegral<int64_t>(v, rs, "a BigInt"); }

bool CBool(const Variant& v, const RegionalSettings& rs) {
    switch (v.Type()) {
        case VarType::Empty: return false;
        case VarType::Null: detail::ThrowNull();
        case VarType::Boolean: return v.TryGet<Variant::Boolean>()->value != 0;
        case VarType::Integer: return *v.TryGet<int16_t>() != 0;
        case VarType::Long: return *v.TryGet<int32_t>() != 0;
        case VarType::BigInt: return *v.TryGet<int64_t>() != 0;
        case VarType::Double: return *v.TryGet<double>() != 0.0;
        case VarType::Decimal: return !v.TryGet<Decimal>()->IsZero();
        case VarType::Date: return v.TryGet<Date>()->Serial() != 0.0;
        case VarType::String: {
            const std::string& s = *v.TryGet<std::string>();
            if (EqualsNoCase(s, "True")) return true;
            if (EqualsNoCase(s, "False")) return false;
            std::string canonical;
            if (!detail::ScanNumber(s, rs, canonical))
                throw Error(err::kTypeMismatch, "Type mismatch: " + Describe(v, rs) + " is not a Boolean");
            return canonical != "0";  // ScanNumber writes every zero, signed or not, as "0"
        }
        case VarType::Object: break;
    }
    throw Error(err::kTypeMismatch, "Type mismatch: an Object cannot be converted to a Boolean");
}

Date CDate(const Variant& v, const RegionalSettings& rs) {
    auto from_serial = [&](double serial) {
        if (!(serial > Date::kMinSerial - 1.0 && serial < Date::kMaxSerial + 1.0))
            ThrowOverflow(Describe(v, rs), "a Date");
        return Date(serial);
    };
    switch (v.Type()) {
        case VarType::Empty: return Date();
        case VarType::Null: detail::ThrowNull();
        case VarType::Date: return *v.TryGet<Date>();
        case VarType::Boolean:
        case VarType::Integer:
        case VarType::Long:
        case VarType::BigInt:
        case VarType::Double:
        case VarType::Decimal: return from_serial(CDbl(v, rs));
        case VarType::String: {
            if (auto d = Date::ParseLocal(*v.TryGet<std::string>(), rs)) return *d;
            throw Error(err::kTypeMismatch, "Type mismatch: " + Describe(v, rs) + " is not a date");
        }
        case VarType::Object: break;
    }
    throw Error(err::kTypeMismatch, "Type mismatch: an Object cannot be converted to a Date");
}

std::optional<double> TryCDbl(const Variant& v, const RegionalSettings& rs) {
    if (v.IsNull() || v.IsObject()) return std::nullopt;
    if (const auto* s = v.TryGet<std::string>()) {  // no exception on the common failure
        std::string canonical;
        if (!detail::ScanNumber(*s, rs, canonical)) return std::nullopt;
        return detail::CanonicalToDouble(canonical);
    }
    return CDbl(v, rs);
}

std::optional<Decimal> TryCDec(const Variant& v, const RegionalSettings& rs) {
    if (v.IsNull() || v.IsObject()) return std::nullopt;
    try {
        // Text is read once, with no exception for the common failure (text that is not a number).
        if (const auto* s = v.TryGet<std::string>()) return ParseNumber(*s, rs);
        return CDec(v, rs);
    } catch (const Error&) {  // beyond the Decimal range
        return std::nullopt;
    }
}

std::optional<std::string> TryCStr(const Variant& v, const RegionalSettings& rs) {
    if (v.IsNull() || v.IsObject()) return std::nullopt;
    return CStr(v, rs);
}

bool IsNumeric(const Variant& v, const RegionalSettings& rs) {
    switch (v.Type()) {
        case VarType::Empty:
        case VarType::Boolean:
        case VarType::Integer:
        case VarType::Long:
        case VarType::BigInt:
        case VarType::Double:
        case VarType::Decimal: return true;
        case VarType::String: {
            std::string canonical;
            return detail::ScanNumber(*v.TryGet<std::string>(), rs, canonical);
        }
        default: return false;
    }
}

std::optional<Decimal> ParseNumber(std::string_view text, const RegionalSettings& rs) {
    std::string canonical;
    if (!detail::ScanNumber(text, rs, canonical)) return std::nullopt;
    return Decimal::Parse(canonical);
}

}  // namespace kv
