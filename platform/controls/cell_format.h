#pragma once
// How the grid shows numbers. A column's display comes from, in order of precedence:
//  1. its class format (class, kind, currency unit), set with MODCOL_ClassFormat:
//       class 5  an amount: thousands separated;
//       class 9  a percentage, shown as the number it is (12,5 for 12.5 %): no thousands separator;
//       kind 1   the currency's amount decimals, all shown ("1.234,50" for EURO);
//       kind 2   the currency's unit-price decimals, all shown;
//       kind n (3..28) up to n decimals, trailing zeros dropped ("12,5", "10");
//       kind 0 or another class: the number as stored.
//     The currency's decimals come from a provider the host sets (its currency table); without one, or
//     for a currency it does not know, amounts and unit prices have 2 decimals.
//  2. its format pattern, given when the column was added: '0' a digit always shown, '#' a digit shown
//     when needed, ',' in the integer part thousands separators, '.' the decimal point, '%' multiplies
//     by 100 and shows the sign; other characters (or text in double quotes) are shown as they stand.
//     "#,##0.000" shows 1234.5 as "1.234,500". The named patterns "Standard", "Fixed", "Percent" and
//     "General Number" are understood too.
//  3. the number as stored.
// Separators are the regional ones (Italian: thousands '.', decimals ','). Rounding for display is
// half away from zero, as prices are rounded.

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/variant/decimal.h"
#include "platform/variant/regional.h"

namespace kv::controls {

struct NumberFormat {
    int min_decimals = 0;
    int max_decimals = -1;  // -1: every stored decimal
    bool grouping = false;
    bool percent = false;
    std::string prefix;
    std::string suffix;

    bool operator==(const NumberFormat&) const = default;
};

struct CurrencyDecimals {
    int amount = 2;
    int unit_price = 2;
};
// The decimals of a currency by its code ("EURO"); nullopt when the currency is unknown.
using CurrencyDecimalsProvider = std::function<std::optional<CurrencyDecimals>(const std::string& currency)>;

inline constexpr int kClassAmount = 5;
inline constexpr int kClassPercentage = 9;
inline constexpr int kKindAmount = 1;
inline constexpr int kKindUnitPrice = 2;

NumberFormat ClassNumberFormat(int cls, int kind, const std::string& unit,
                               const CurrencyDecimalsProvider& currencies);
// nullopt when the pattern is not a numeric pattern (no digit placeholder).
std::optional<NumberFormat> ParseNumberPattern(std::string_view pattern);
std::string FormatNumber(const Decimal& value, const NumberFormat& format, const RegionalSettings& rs);

// A number the user typed into a cell or an entry field. Stricter than the platform's conversion, which
// drops every thousands separator: a dot typed as a decimal point ("12.5" with Italian settings) would
// silently become 125. Here the thousands separator is read only where it groups exactly three digits
// of the integer part, as FormatNumber shows numbers ("1.234,5"); any other use is refused.
struct EnteredNumber {
    std::optional<Decimal> value;  // nullopt when refused
    std::string message;           // why it was refused, naming the text typed
};
EnteredNumber ParseEnteredNumber(std::string_view text, const RegionalSettings& rs);

}  // namespace kv::controls
