#pragma once
// Helpers shared by the Variant's implementation files (conversions, operators, strings). Not part of
// the platform's interface: nothing outside platform/variant includes this header.

#include <optional>
#include <string>
#include <string_view>

#include "platform/variant/variant.h"

namespace kv::detail {

// Reads a number written with the regional settings: blanks around, a sign (blanks may follow it),
// digits with grouping marks anywhere after the first digit, the decimal separator, an exponent
// introduced by E or D. On success `canonical` holds the same value as "[-]digits" or
// "[-]digitsE[-]exponent", readable by Decimal::Parse and std::from_chars alike.
bool ScanNumber(std::string_view text, const RegionalSettings& rs, std::string& canonical);

// The Double nearest to a canonical number; nullopt when it is beyond a Double's range.
std::optional<double> CanonicalToDouble(const std::string& canonical);

// At most 15 significant digits, the shortest form, exponent form where C's %.15G uses it ("1,5E-05").
std::string FormatDouble(double d, char decimal_separator);

// The value as an error description names it: 'abc' for text, numbers and dates as CStr shows them.
std::string Describe(const Variant& v, const RegionalSettings& rs = RegionalSettings::Italian());

[[noreturn]] void ThrowNull();
[[noreturn]] void ThrowNotANumber(const Variant& v, const RegionalSettings& rs);

}  // namespace kv::detail
