// The platform's arithmetic, concatenation and comparison of Variants.

#include <cmath>
#include <limits>

#include "platform/variant/variant.h"
#include "platform/variant/variant_internal.h"

namespace kv {
namespace {

// Result types of arithmetic, in widening order.
enum Rank { kInteger = 0, kLong = 1, kBigInt = 2, kDouble = 3, kDecimal = 4 };

// One operand made ready for arithmetic.
struct Operand {
    Rank rank = kInteger;
    bool is_date = false;
    int64_t i = 0;      // kInteger, kLong, kBigInt
    double d = 0.0;     // kDouble (dates too)
    Decimal dec;        // kDecimal
};

double AsDouble(const Operand& o) {
    switch (o.rank) {
        case kDouble: return o.d;
        case kDecimal: return o.dec.ToDouble();
        default: return static_cast<double>(o.i);
    }
}

Decimal AsDecimal(const Operand& o) {
    switch (o.rank) {
        case kDouble: return Decimal::FromDouble(o.d);
        case kDecimal: return o.dec;
        default: return Decimal(o.i);
    }
}

// `v` as an operand; `other_is_decimal` reads text as a Decimal (every digit kept) instead of a Double.
Operand MakeOperand(const Variant& v, bool other_is_decimal, const RegionalSettings& rs) {
    Operand o;
    switch (v.Type()) {
        case VarType::Empty: break;  // Integer 0
        case VarType::Boolean: o.i = v.TryGet<Variant::Boolean>()->value; break;  // True counts as -1
        case VarType::Integer: o.i = *v.TryGet<int16_t>(); break;
        case VarType::Long: o.rank = kLong, o.i = *v.TryGet<int32_t>(); break;
        case VarType::BigInt: o.rank = kBigInt, o.i = *v.TryGet<int64_t>(); break;
        case VarType::Double: o.rank = kDouble, o.d = *v.TryGet<double>(); break;
        case VarType::Decimal: o.rank = kDecimal, o.dec = *v.TryGet<Decimal>(); break;
        case VarType::Date: o.rank = kDouble, o.is_date = true, o.d = v.TryGet<Date>()->Serial(); break;
        case VarType::String:  // CDec and CDbl raise 13 for text that is not a number
            if (other_is_decimal) {
                o.rank = kDecimal, o.dec = CDec(v, rs);
            } else {
                o.rank = kDouble, o.d = CDbl(v, rs);
            }
            break;
        case VarType::Null:  // handled by the callers
        case VarType::Object: detail::ThrowNotANumber(v, rs);
    }
    return o;
}

enum class Op { Add, Subtract, Multiply };

Variant CheckedDouble(double r) {
    if (!std::isfinite(r)) throw Error(err::kOverflow, "Overflow: the result is beyond the Double range");
    return Variant(r);
}

// Integer results take the narrowest of the operands' types that holds them, promoting
// Integer -> Long -> Double as the platform does; BigInt results that overflow become Decimal.
Variant IntegerResult(int64_t r, Rank rank) {
    if (rank == kInteger && r >= std::numeric_limits<int16_t>::min() && r <= std::numeric_limits<int16_t>::max())
        return Variant(static_cast<int16_t>(r));
    if (rank <= kLong) {
        if (r >= std::numeric_limits<int32_t>::min() && r <= std::numeric_limits<int32_t>::max())
            return Variant(static_cast<int32_t>(r));
        return Variant(static_cast<double>(r));
    }
    return Variant(static_cast<long long>(r));
}

Variant Arithmetic(Op op, const Variant& a, const Variant& b, const RegionalSettings& rs) {
    const Operand x = MakeOperand(a, b.Type() == VarType::Decimal, rs);
    const Operand y = MakeOperand(b, a.Type() == VarType::Decimal, rs);

    if (op != Op::Multiply && (x.is_date || y.is_date)) {
        // Date +/- number moves the date; Date - Date is the Double count of days between them.
        const double r = op == Op::Add ? AsDouble(x) + AsDouble(y) : AsDouble(x) - AsDouble(y);
        if (op == Op::Subtract && x.is_date && y.is_date) return CheckedDouble(r);
        if (!(r > Date::kMinSerial - 1.0 && r < Date::kMaxSerial + 1.0))
            throw Error(err::kOverflow, "Overflow: " + detail::Describe(a, rs) + (op == Op::Add ? " + " : " - ") +
                                            detail::Describe(b, rs) + " is not a valid date");
        return Variant(Date(r));
    }

    const Rank rank = std::max(x.rank, y.rank);
    if (rank <= kBigInt) {
        int64_t r = 0;
        bool overflow = false;
        switch (op) {
            case Op::Add: overflow = __builtin_add_overflow(x.i, y.i, &r); break;
            case Op::Subtract: overflow = __builtin_sub_overflow(x.i, y.i, &r); break;
            case Op::Multiply: overflow = __builtin_mul_overflow(x.i, y.i, &r); break;
        }
        if (!overflow) return IntegerResult(r, rank);
        // Only 64-bit operands get here: the exact result as a Decimal (error 6 beyond its range).
    }
    if (rank == kDouble) {
        const double p = AsDouble(x);
        const double q = AsDouble(y);
        switch (op) {
            case Op::Add: return CheckedDouble(p + q);
            case Op::Subtract: return CheckedDouble(p - q);
            case Op::Multiply: return CheckedDouble(p * q);
        }
    }
    const Decimal p = AsDecimal(x);
    const Decimal q = AsDecimal(y);
    switch (op) {
        case Op::Add: return Variant(p + q);
        case Op::Subtract: return Variant(p - q);
        case Op::Multiply: break;
    }
    return Variant(p * q);
}

int Sign(int64_t v) { return v < 0 ? -1 : (v > 0 ? 1 : 0); }

template <class T>
int Cmp(const T& p, const T& q) {
    return p < q ? -1 : (q < p ? 1 : 0);
}

// An integer against a Double without losing the integer's low digits.
int CompareIntDouble(int64_t i, double d) {
    constexpr double kTwo63 = 9223372036854775808.0;
    if (d >= kTwo63) return -1;
    if (d < -kTwo63) return 1;
    const double whole = std::trunc(d);
    const auto w = static_cast<int64_t>(whole);
    if (i != w) return i < w ? -1 : 1;
    const double fraction = d - whole;
    return fraction > 0 ? -1 : (fraction < 0 ? 1 : 0);
}

int CompareDecimalDouble(const Decimal& m, double d) {
    try {
        return Cmp(m, Decimal::FromDouble(d));
    } catch (const Error&) {  // a Double beyond the Decimal range: its sign decides
        return d > 0 ? -1 : 1;
    }
}

enum class Kind { Empty, Integer, Double, Decimal, Text };

Kind KindOf(const Variant& v) {
    switch (v.Type()) {
        case VarType::Empty: return Kind::Empty;
        case VarType::Boolean:
        case VarType::Integer:
        case VarType::Long:
        case VarType::BigInt: return Kind::Integer;
        case VarType::Double:
        case VarType::Date: return Kind::Double;
        case VarType::Decimal: return Kind::Decimal;
        case VarType::String: return Kind::Text;
        default: break;
    }
    throw Error(err::kTypeMismatch, "Type mismatch: an Object cannot be compared");
}

int64_t IntegerOf(const Variant& v) {
    if (const auto* p = v.TryGet<int32_t>()) return *p;
    if (const auto* p = v.TryGet<int64_t>()) return *p;
    if (const auto* p = v.TryGet<int16_t>()) return *p;
    if (const auto* p = v.TryGet<Variant::Boolean>()) return p->value;
    return 0;  // Empty
}

double DoubleOf(const Variant& v) {
    if (const auto* p = v.TryGet<double>()) return *p;
    return v.TryGet<Date>()->Serial();
}

int CompareNumbers(const Variant& a, Kind ka, const Variant& b, Kind kb) {
    if (ka == Kind::Decimal || kb == Kind::Decimal) {
        if (ka != Kind::Decimal) return -CompareNumbers(b, kb, a, ka);
        const Decimal& m = *a.TryGet<Decimal>();
        if (kb == Kind::Decimal) return Cmp(m, *b.TryGet<Decimal>());
        if (kb == Kind::Double) return CompareDecimalDouble(m, DoubleOf(b));
        return Cmp(m, Decimal(IntegerOf(b)));
    }
    if (ka == Kind::Double && kb == Kind::Double) return Cmp(DoubleOf(a), DoubleOf(b));
    if (ka == Kind::Double) return -CompareIntDouble(IntegerOf(b), DoubleOf(a));
    if (kb == Kind::Double) return CompareIntDouble(IntegerOf(a), DoubleOf(b));
    return Cmp(IntegerOf(a), IntegerOf(b));
}

Variant FromCompare(const Variant& a, const Variant& b, bool (*test)(int)) {
    const auto c = Compare(a, b);
    if (!c) return Variant::Null();
    return Variant(test(*c));
}

}  // namespace

Variant Add(const Variant& a, const Variant& b, const RegionalSettings& rs) {
    if (a.IsNull() || b.IsNull()) return Variant::Null();
    if (a.IsEmpty()) return b.IsEmpty() ? Variant(int16_t{0}) : b;
    if (b.IsEmpty()) return a;
    if (a.IsString() && b.IsString()) return Variant(a.StringValue() + b.StringValue());
    return Arithmetic(Op::Add, a, b, rs);
}

Variant Subtract(const Variant& a, const Variant& b, const RegionalSettings& rs) {
    if (a.IsNull() || b.IsNull()) return Variant::Null();
    return Arithmetic(Op::Subtract, a, b, rs);
}

Variant Multiply(const Variant& a, const Variant& b, const RegionalSettings& rs) {
    if (a.IsNull() || b.IsNull()) return Variant::Null();
    // A date in a product is its serial number.
    const Variant x = a.Type() == VarType::Date ? Variant(a.TryGet<Date>()->Serial()) : a;
    const Variant y = b.Type() == VarType::Date ? Variant(b.TryGet<Date>()->Serial()) : b;
    return Arithmetic(Op::Multiply, x, y, rs);
}

Variant Divide(const Variant& a, const Variant& b, const RegionalSettings& rs) {
    if (a.IsNull() || b.IsNull()) return Variant::Null();
    const bool decimal = a.Type() == VarType::Decimal || b.Type() == VarType::Decimal;
    const Operand x = MakeOperand(a, decimal, rs);
    const Operand y = MakeOperand(b, decimal, rs);
    if (decimal) {
        if (AsDecimal(y).IsZero())
            throw Error(err::kDivisionByZero, "Division by zero: " + detail::Describe(a, rs) + " / " +
                                                  detail::Describe(b, rs));
        return Variant(AsDecimal(x) / AsDecimal(y));
    }
    const double q = AsDouble(y);
    if (q == 0.0)
        throw Error(err::kDivisionByZero,
                    "Division by zero: " + detail::Describe(a, rs) + " / " + detail::Describe(b, rs));
    return CheckedDouble(AsDouble(x) / q);
}

Variant Concat(const Variant& a, const Variant& b, const RegionalSettings& rs) {
    if (a.IsNull() && b.IsNull()) return Variant::Null();
    std::string out = a.IsNull() ? std::string() : CStr(a, rs);
    if (!b.IsNull()) out += CStr(b, rs);
    return Variant(std::move(out));
}

Variant Negate(const Variant& a) {
    switch (a.Type()) {
        case VarType::Null: return Variant::Null();
        case VarType::Empty: return Variant(int16_t{0});
        case VarType::Boolean: return Variant(static_cast<int16_t>(-a.TryGet<Variant::Boolean>()->value));
        case VarType::Integer: return IntegerResult(-static_cast<int64_t>(*a.TryGet<int16_t>()), kInteger);
        case VarType::Long: return IntegerResult(-static_cast<int64_t>(*a.TryGet<int32_t>()), kLong);
        case VarType::BigInt: {
            const int64_t v = *a.TryGet<int64_t>();
            if (v == std::numeric_limits<int64_t>::min()) return Variant(-Decimal(v));
            return Variant(static_cast<long long>(-v));
        }
        case VarType::Double: return Variant(-*a.TryGet<double>());
        case VarType::Decimal: return Variant(-*a.TryGet<Decimal>());
        case VarType::Date: {
            const double r = -a.TryGet<Date>()->Serial();
            if (!(r > Date::kMinSerial - 1.0 && r < Date::kMaxSerial + 1.0))
                throw Error(err::kOverflow, "Overflow: -" + detail::Describe(a) + " is not a valid date");
            return Variant(Date(r));
        }
        case VarType::String: return Variant(-CDbl(a));
        case VarType::Object: break;
    }
    detail::ThrowNotANumber(a, RegionalSettings::Italian());
}

std::optional<int> Compare(const Variant& a, const Variant& b) {
    // The recordset filter's hot path: same-typed text and integers first.
    if (const auto* s = a.TryGet<std::string>()) {
        if (const auto* t = b.TryGet<std::string>()) return Sign(s->compare(*t));
    }
    if (const auto* p = a.TryGet<int32_t>()) {
        if (const auto* q = b.TryGet<int32_t>()) return Cmp(*p, *q);
    }
    if (a.IsNull() || b.IsNull()) return std::nullopt;
    const Kind ka = KindOf(a);
    const Kind kb = KindOf(b);
    if (ka == Kind::Text || kb == Kind::Text) {
        if (ka == Kind::Empty) return b.StringValue().empty() ? 0 : -1;  // Empty acts as ""
        if (kb == Kind::Empty) return a.StringValue().empty() ? 0 : 1;
        if (ka == Kind::Text && kb == Kind::Text) return Sign(a.StringValue().compare(b.StringValue()));
        return ka == Kind::Text ? 1 : -1;  // a number is always less than text, with no conversion
    }
    // Empty acts as 0, which IntegerOf gives it.
    return CompareNumbers(a, ka == Kind::Empty ? Kind::Integer : ka, b, kb == Kind::Empty ? Kind::Integer : kb);
}

Variant Eq(const Variant& a, const Variant& b) { return FromCompare(a, b, [](int c) { return c == 0; }); }
Variant Ne(const Variant& a, const Variant& b) { return FromCompare(a, b, [](int c) { return c != 0; }); }
Variant Lt(const Variant& a, const Variant& b) { return FromCompare(a, b, [](int c) { return c < 0; }); }
Variant Le(const Variant& a, const Variant& b) { return FromCompare(a, b, [](int c) { return c <= 0; }); }
Variant Gt(const Variant& a, const Variant& b) { return FromCompare(a, b, [](int c) { return c > 0; }); }
Variant Ge(const Variant& a, const Variant& b) { return FromCompare(a, b, [](int c) { return c >= 0; }); }

bool IsTrue(const Variant& v) { return !v.IsNull() && CBool(v); }

}  // namespace kv
