#include "platform/controls/cell_format.h"

#include <algorithm>

#include "platform/variant/error.h"
#include "platform/variant/strings.h"
#include "platform/variant/variant.h"

namespace kv::controls {

NumberFormat ClassNumberFormat(int cls, int kind, const std::string& unit,
                               const CurrencyDecimalsProvider& currencies) {
    NumberFormat f;
    f.grouping = cls != kClassPercentage;
    CurrencyDecimals decimals;
    if (currencies && !unit.empty()) {
        if (auto d = currencies(unit)) decimals = *d;
    }
    if (cls != kClassAmount && cls != kClassPercentage) kind = 0;
    if (kind == kKindAmount) {
        f.min_decimals = f.max_decimals = std::clamp(decimals.amount, 0, Decimal::kMaxScale);
    } else if (kind == kKindUnitPrice) {
        f.min_decimals = f.max_decimals = std::clamp(decimals.unit_price, 0, Decimal::kMaxScale);
    } else if (kind >= 3 && kind <= Decimal::kMaxScale) {
        f.min_decimals = 0;
        f.max_decimals = kind;
    } else {
        f.min_decimals = 0;
        f.max_decimals = -1;
    }
    return f;
}

std::optional<NumberFormat> ParseNumberPattern(std::string_view pattern) {
    if (EqualsNoCase(pattern, "Standard"))
        pattern = "#,##0.00";
    else if (EqualsNoCase(pattern, "Fixed"))
        pattern = "0.00";
    else if (EqualsNoCase(pattern, "Percent"))
        pattern = "0.00%";
    else if (EqualsNoCase(pattern, "General Number"))
        return NumberFormat{};
    // Only the first section (positive numbers) is used; negative numbers take a leading '-'.
    if (auto semi = pattern.find(';'); semi != std::string_view::npos) pattern = pattern.substr(0, semi);

    NumberFormat f;
    bool seen_digit = false;
    bool in_decimals = false;
    bool digits_done = false;  // a literal came after the digits: the rest is the suffix
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        char c = pattern[i];
        std::string literal;
        if (c == '"') {
            auto end = pattern.find('"', i + 1);
            if (end == std::string_view::npos) end = pattern.size();
            literal = std::string(pattern.substr(i + 1, end - i - 1));
            i = end;
        } else if (c == '\\' && i + 1 < pattern.size()) {
            literal = std::string(1, pattern[++i]);
        } else if ((c == '0' || c == '#') && !digits_done) {
            seen_digit = true;
            if (in_decimals) {
                if (c == '0') ++f.min_decimals;
                f.max_decimals = std::max(f.max_decimals, 0) + 1;
            }
            continue;
        } else if (c == ',' && seen_digit && !in_decimals && !digits_done) {
            // A comma between integer placeholders groups thousands; one after them (scaling) is not
            // followed by a placeholder and is ignored.
            if (i + 1 < pattern.size() && (pattern[i + 1] == '#' || pattern[i + 1] == '0')) f.grouping = true;
            continue;
        } else if (c == '.' && !in_decimals && !digits_done) {
            in_decimals = true;
            seen_digit = true;
            if (f.max_decimals < 0) f.max_decimals = 0;
            continue;
        } else {
            if (c == '%') f.percent = true;
            literal = std::string(1, c);
        }
        if (seen_digit) {
            digits_done = true;
            f.suffix += literal;
        } else {
            f.prefix += literal;
        }
    }
    if (!seen_digit) return std::nullopt;
    if (!in_decimals) f.max_decimals = 0;
    return f;
}

std::string FormatNumber(const Decimal& value, const NumberFormat& format, const RegionalSettings& rs) {
    Decimal v = format.percent ? value * Decimal(100) : value;
    if (format.max_decimals >= 0) v = v.Round(format.max_decimals, RoundingMode::HalfAwayFromZero);
    std::string text = v.Normalized().ToString('.');
    bool negative = !text.empty() && text[0] == '-';
    if (negative) text.erase(0, 1);
    std::string int_part = text;
    std::string frac;
    if (auto dot = text.find('.'); dot != std::string::npos) {
        int_part = text.substr(0, dot);
        frac = text.substr(dot + 1);
    }
    if (static_cast<int>(frac.size()) < format.min_decimals)
        frac.append(format.min_decimals - frac.size(), '0');
    if (format.grouping && int_part.size() > 3) {
        std::string grouped;
        int count = 0;
        for (auto it = int_part.rbegin(); it != int_part.rend(); ++it) {
            if (count > 0 && count % 3 == 0) grouped.push_back(rs.thousands_separator);
            grouped.push_back(*it);
            ++count;
        }
        int_part.assign(grouped.rbegin(), grouped.rend());
    }
    std::string out;
    if (negative && !v.IsZero()) out.push_back('-');
    out += format.prefix;
    out += int_part;
    if (!frac.empty()) {
        out.push_back(rs.decimal_separator);
        out += frac;
    }
    out += format.suffix;
    return out;
}

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// True when every thousands separator in `text` sits in the integer part with one to three digits
// before the first and exactly three digits between and after each.
bool ThousandsMarksGroupThreeDigits(std::string_view text, const RegionalSettings& rs) {
    const char mark = rs.thousands_separator;
    if (text.find(mark) == std::string_view::npos) return true;
    // The integer part: the digits and marks after blanks and a sign, up to the first other character.
    std::size_t begin = 0;
    while (begin < text.size() && (text[begin] == ' ' || text[begin] == '+' || text[begin] == '-')) ++begin;
    std::size_t end = begin;
    while (end < text.size() && (IsDigit(text[end]) || text[end] == mark)) ++end;
    if (text.find(mark, end) != std::string_view::npos) return false;  // a mark among the decimals
    long group = 0;
    bool first = true;
    for (std::size_t i = begin; i < end; ++i) {
        if (text[i] == mark) {
            if (first ? (group < 1 || group > 3) : group != 3) return false;
            first = false;
            group = 0;
        } else {
            ++group;
        }
    }
    return group == 3;
}

}  // namespace

EnteredNumber ParseEnteredNumber(std::string_view text, const RegionalSettings& rs) {
    EnteredNumber out;
    std::string quoted = "\"";
    quoted.append(text);
    quoted += '"';
    if (!ThousandsMarksGroupThreeDigits(text, rs)) {
        out.message = "Il valore " + quoted + " non è un numero valido: i decimali si separano con \"" +
                      std::string(1, rs.decimal_separator) + "\", e \"" +
                      std::string(1, rs.thousands_separator) +
                      "\" separa soltanto le migliaia, a gruppi di tre cifre.";
        return out;
    }
    // A number too large for the platform's decimals is the user's mistake like any other: refused with a
    // message, never an error thrown out of the cell being edited.
    try {
        out.value = ParseNumber(text, rs);
    } catch (const Error& e) {
        if (e.Number() != err::kOverflow) throw;
        out.message = "Il valore " + quoted + " è troppo grande per essere un numero ammesso.";
        return out;
    }
    if (!out.value) out.message = "Il valore " + quoted + " non è un numero.";
    return out;
}

}  // namespace kv::controls
