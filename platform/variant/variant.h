#pragma once
// Variant: the platform's dynamically typed value, as database fields, grid cells and the component's
// helpers exchange it. Empty ("never assigned") and Null ("no valid data") are states of their own.
// Conversions and operators follow the platform's rules: banker's rounding to integers, the regional
// decimal separator in text, Null propagating through arithmetic and raising 94 where a value is
// required, 13 for text that is not a number, 6 for overflow.
//
// Two kinds of comparison exist: the platform's (Eq, Lt, ... returning Boolean or Null, with the
// platform's mixed-type rules) and C++ operator==, which is strict identity (same type, same value)
// and is what containers and tests use.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "platform/variant/date.h"
#include "platform/variant/decimal.h"
#include "platform/variant/error.h"
#include "platform/variant/regional.h"

namespace kv {

// The platform's VarType codes.
enum class VarType : int {
    Empty = 0,
    Null = 1,
    Integer = 2,   // 16-bit
    Long = 3,      // 32-bit
    Double = 5,
    Date = 7,
    String = 8,
    Object = 9,
    Boolean = 11,  // 16-bit, True = -1
    Decimal = 14,
    BigInt = 20,   // 64-bit
};

// Base of every object a Variant can hold by reference (connections, recordsets, controls, services).
class Object {
public:
    virtual ~Object() = default;
};

class Variant {
public:
    struct NullTag {
        bool operator==(const NullTag&) const = default;
    };
    struct EmptyTag {
        bool operator==(const EmptyTag&) const = default;
    };
    struct Boolean {
        int16_t value;  // 0 or -1
        bool operator==(const Boolean&) const = default;
    };

    Variant() = default;  // Empty
    Variant(bool b) : v_(Boolean{static_cast<int16_t>(b ? -1 : 0)}) {}  // NOLINT(google-explicit-constructor)
    Variant(int16_t i) : v_(i) {}                                      // NOLINT Integer
    Variant(int32_t i) : v_(i) {}                                      // NOLINT Long
    Variant(long i) : v_(static_cast<int64_t>(i)) {}                   // NOLINT BigInt
    Variant(long long i) : v_(static_cast<int64_t>(i)) {}              // NOLINT BigInt
    Variant(double d) : v_(d) {}                                       // NOLINT Double
    Variant(Decimal d) : v_(std::move(d)) {}                           // NOLINT
    Variant(Date d) : v_(d) {}                                         // NOLINT
    Variant(std::string s) : v_(std::move(s)) {}                       // NOLINT
    Variant(std::string_view s) : v_(std::string(s)) {}                // NOLINT
    Variant(const char* s) : v_(std::string(s)) {}                     // NOLINT
    Variant(std::shared_ptr<Object> o) : v_(std::move(o)) {}           // NOLINT Object ("Nothing" when empty)

    static Variant Null() { Variant v; v.v_ = NullTag{}; return v; }
    static Variant Empty() { return Variant(); }

    VarType Type() const;
    bool IsEmpty() const { return std::holds_alternative<EmptyTag>(v_); }
    bool IsNull() const { return std::holds_alternative<NullTag>(v_); }
    bool IsString() const { return std::holds_alternative<std::string>(v_); }
    bool IsObject() const { return std::holds_alternative<std::shared_ptr<Object>>(v_); }
    // Boolean, Integer, Long, BigInt, Double, Decimal (not Date, not text).
    bool IsNumber() const;

    // Raw access: the stored value of exactly that type, else error 13.
    const std::string& StringValue() const;
    std::shared_ptr<Object> ObjectValue() const;
    template <class T>
    std::shared_ptr<T> ObjectAs() const { return std::dynamic_pointer_cast<T>(ObjectValue()); }
    // The stored value when the Variant holds that exact type.
    template <class T>
    const T* TryGet() const { return std::get_if<T>(&v_); }

    // Strict identity: same VarType and same value (Decimal by value, Object by pointer).
    friend bool operator==(const Variant& a, const Variant& b) = default;

private:
    std::variant<EmptyTag, NullTag, Boolean, int16_t, int32_t, int64_t, double, Decimal, Date, std::string,
                 std::shared_ptr<Object>>
        v_;
};

// ---- Conversions (the platform's C* functions). Null raises 94, text that is not a number 13, values
// out of the target's range 6. Text is read with the regional settings.
std::string CStr(const Variant& v, const RegionalSettings& rs = RegionalSettings::Italian());
double CDbl(const Variant& v, const RegionalSettings& rs = RegionalSettings::Italian());
Decimal CDec(const Variant& v, const RegionalSettings& rs = RegionalSettings::Italian());
int16_t CInt(const Variant& v, const RegionalSettings& rs = RegionalSettings::Italian());
int32_t CLng(const Variant& v, const RegionalSettings& rs = RegionalSettings::Italian());
int64_t CLngLng(const Variant& v, const RegionalSettings& rs = RegionalSettings::Italian());
bool CBool(const Variant& v, const RegionalSettings& rs = RegionalSettings::Italian());
Date CDate(const Variant& v, const RegionalSettings& rs = RegionalSettings::Italian());

// Non-throwing forms: nullopt wherever the throwing form would raise.
std::optional<double> TryCDbl(const Variant& v, const RegionalSettings& rs = RegionalSettings::Italian());
std::optional<Decimal> TryCDec(const Variant& v, const RegionalSettings& rs = RegionalSettings::Italian());
std::optional<std::string> TryCStr(const Variant& v, const RegionalSettings& rs = RegionalSettings::Italian());

// True when the value can be read as a number: Empty and numbers yes; Null, "", dates and text that
// is not a number no. Accepts blanks around, a sign, the regional separators, an exponent.
bool IsNumeric(const Variant& v, const RegionalSettings& rs = RegionalSettings::Italian());
// Reads a number from text with the regional settings (exactly what IsNumeric accepts); nullopt else.
std::optional<Decimal> ParseNumber(std::string_view text, const RegionalSettings& rs = RegionalSettings::Italian());

// True for Null, Empty and text equal to "" (the component's "blank").
bool IsBlank(const Variant& v);

// ---- Operators with the platform's rules.
// + : numbers add (the result type widens: Integer < Long < BigInt < Double < Decimal, integer
//     overflow promotes), text + text concatenates, numeric text + number adds, Empty + x is x,
//     Date +/- number is a Date, Null anywhere gives Null.
Variant Add(const Variant& a, const Variant& b, const RegionalSettings& rs = RegionalSettings::Italian());
Variant Subtract(const Variant& a, const Variant& b, const RegionalSettings& rs = RegionalSettings::Italian());
Variant Multiply(const Variant& a, const Variant& b, const RegionalSettings& rs = RegionalSettings::Italian());
// / : Double, or Decimal when either side is Decimal; division by zero raises 11.
Variant Divide(const Variant& a, const Variant& b, const RegionalSettings& rs = RegionalSettings::Italian());
// & : always text; Null and Empty count as "" unless both sides are Null (then Null).
Variant Concat(const Variant& a, const Variant& b, const RegionalSettings& rs = RegionalSettings::Italian());
Variant Negate(const Variant& a);

inline Variant operator+(const Variant& a, const Variant& b) { return Add(a, b); }
inline Variant operator-(const Variant& a, const Variant& b) { return Subtract(a, b); }
inline Variant operator*(const Variant& a, const Variant& b) { return Multiply(a, b); }
inline Variant operator/(const Variant& a, const Variant& b) { return Divide(a, b); }
inline Variant operator&(const Variant& a, const Variant& b) { return Concat(a, b); }

// ---- The platform's comparisons between two Variants: numbers (dates and Booleans included) compare
// numerically, text binary (case and trailing blanks count), a number is always less than text, Empty
// acts as 0 or "". nullopt (Null) when either side is Null.
std::optional<int> Compare(const Variant& a, const Variant& b);
Variant Eq(const Variant& a, const Variant& b);  // Boolean, or Null
Variant Ne(const Variant& a, const Variant& b);
Variant Lt(const Variant& a, const Variant& b);
Variant Le(const Variant& a, const Variant& b);
Variant Gt(const Variant& a, const Variant& b);
Variant Ge(const Variant& a, const Variant& b);
// The value of a condition (If/While): Null counts as False; otherwise CBool.
bool IsTrue(const Variant& v);

// Readable form for test failure messages: "Decimal(1.5)", "String(\"abc\")", "Null".
std::string DebugString(const Variant& v);
void PrintTo(const Variant& v, std::ostream* os);

}  // namespace kv
