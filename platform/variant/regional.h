#pragma once
// Regional settings: the separators and date order that every text <-> number/date conversion uses.
// They are a host service; conversions take them explicitly, with the Italian settings as the default,
// so that no conversion depends on hidden process state.

#include <string>

namespace kv {

enum class DateOrder { DayMonthYear, MonthDayYear, YearMonthDay };

struct RegionalSettings {
    char decimal_separator = ',';
    char thousands_separator = '.';
    char date_separator = '/';
    DateOrder date_order = DateOrder::DayMonthYear;

    // Italian settings: decimal comma, thousands point, dd/mm/yyyy.
    static const RegionalSettings& Italian();
    // English (United States) settings: decimal point, thousands comma, mm/dd/yyyy.
    static const RegionalSettings& English();
};

}  // namespace kv
