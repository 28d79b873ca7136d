#include "platform/variant/date.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <ctime>

#include "platform/variant/error.h"

namespace kv {
namespace {

constexpr long kSecondsPerDay = 86400;
// Days from 1970-01-01 to the zero date 1899-12-30.
constexpr long long kZeroDateUnixDays = -25569;

struct Civil {
    long long year;
    int month;
    int day;
};

// Proleptic Gregorian calendar <-> day count from 1970-01-01 (era-based, exact for any year).
long long DaysFromCivil(long long y, int m, int d) {
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const long long yoe = y - era * 400;
    const long long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

Civil CivilFromDays(long long z) {
    z += 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const long long doe = z - era * 146097;
    const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const long long mp = (5 * doy + 2) / 153;
    const int d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    const int m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    return {yoe + era * 400 + (m <= 2), m, d};
}

bool IsLeap(long long y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysInMonth(long long y, int m) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && IsLeap(y) ? 29 : kDays[m - 1];
}

long long SerialDay(long long y, int m, int d) { return DaysFromCivil(y, m, d) - kZeroDateUnixDays; }

bool DayInRange(long long day) {
    return day >= static_cast<long long>(Date::kMinSerial) && day <= static_cast<long long>(Date::kMaxSerial);
}

// Two-digit years of a date: 0-29 are 2000-2029, 30-99 are 1930-1999.
long long WindowYear(long long y) {
    if (y >= 0 && y <= 29) return y + 2000;
    if (y >= 30 && y <= 99) return y + 1900;
    return y;
}

// The serial of a day plus a time of day: before the zero date the time is the fraction's magnitude.
double Compose(long long day, double time_fraction) {
    return day >= 0 ? static_cast<double>(day) + time_fraction : static_cast<double>(day) - time_fraction;
}

// Day and time of a serial, the time rounded to the second (23:59:59.6 is the next day's 00:00:00).
struct Parts {
    long long day;
    long seconds;
};

Parts Split(double serial) {
    const double whole = std::trunc(serial);
    auto day = static_cast<long long>(whole);
    long seconds = std::lround(std::fabs(serial - whole) * kSecondsPerDay);
    if (seconds >= kSecondsPerDay) {
        ++day;
        seconds = 0;
    }
    return {day, seconds};
}

[[noreturn]] void OutOfRange(const std::string& what) {
    throw Error(err::kInvalidCall, "Invalid procedure call: " + what + " is outside 01/01/100 .. 31/12/9999");
}

std::string SerialText(double serial) {
    char buf[32];
    const auto res = std::to_chars(buf, buf + sizeof buf, serial);
    return std::string(buf, res.ptr);
}

void AppendTwo(std::string& out, long v) {
    out += static_cast<char>('0' + v / 10 % 10);
    out += static_cast<char>('0' + v % 10);
}

// ---- Text scanning shared by the two parsers.
struct Scanner {
    std::string_view s;
    std::size_t i = 0;

    bool AtEnd() const { return i >= s.size(); }
    void SkipBlanks() {
        while (i < s.size() && s[i] == ' ') ++i;
    }
    // 1..max_digits digits; returns the count read (0 when none).
    int Number(int max_digits, long& out) {
        int count = 0;
        out = 0;
        while (i < s.size() && count < max_digits && s[i] >= '0' && s[i] <= '9') {
            out = out * 10 + (s[i++] - '0');
            ++count;
        }
        if (i < s.size() && s[i] >= '0' && s[i] <= '9') return 0;  // too many digits
        return count;
    }
    bool Accept(char c) {
        if (i < s.size() && s[i] == c) {
            ++i;
            return true;
        }
        return false;
    }
};

// "hh:mm[:ss]" as a fraction of a day; nullopt when malformed or out of range.
std::optional<double> ScanTime(Scanner& sc) {
    long h = 0, m = 0, s = 0;
    if (sc.Number(2, h) == 0 || !sc.Accept(':') || sc.Number(2, m) != 2) return std::nullopt;
    if (sc.Accept(':') && sc.Number(2, s) != 2) return std::nullopt;
    if (h > 23 || m > 59 || s > 59) return std::nullopt;
    return static_cast<double>(h * 3600 + m * 60 + s) / kSecondsPerDay;
}

std::optional<Date> MakeDate(long long y, long m, long d, double time_fraction) {
    if (m < 1 || m > 12 || d < 1 || d > DaysInMonth(y, static_cast<int>(m))) return std::nullopt;
    const long long day = SerialDay(y, static_cast<int>(m), static_cast<int>(d));
    if (!DayInRange(day)) return std::nullopt;
    return Date(Compose(day, time_fraction));
}

}  // namespace

Date::Date(double serial) : serial_(serial) {
    // Any time on the last day is valid; before the zero date the time runs toward more negative serials.
    if (!(serial > kMinSerial - 1.0 && serial < kMaxSerial + 1.0))
        throw Error(err::kOverflow, "Overflow: " + SerialText(serial) + " is not a valid date serial");
}

Date Date::FromYmd(int year, int month, int day) {
    long long y = WindowYear(year);
    // Months carry into years (13 is January of the next year, 0 December of the previous one).
    const long long m0 = static_cast<long long>(month) - 1;
    y += m0 >= 0 ? m0 / 12 : -((11 - m0) / 12);
    const int m = static_cast<int>(((m0 % 12) + 12) % 12) + 1;
    // Days carry the same way: day 0 is the last day of the previous month.
    const long long serial = y < 0 || y > 10000 ? -1000000 : SerialDay(y, m, 1) + (static_cast<long long>(day) - 1);
    if (!DayInRange(serial))
        OutOfRange("DateSerial(" + std::to_string(year) + ", " + std::to_string(month) + ", " + std::to_string(day) + ")");
    return Date(static_cast<double>(serial));
}

std::optional<Date> Date::TryFromYmd(int year, int month, int day) {
    return MakeDate(WindowYear(year), month, day, 0.0);
}

std::optional<Date> Date::ParseIso(std::string_view text) {
    Scanner sc{text};
    sc.SkipBlanks();
    long y = 0, m = 0, d = 0;
    const std::size_t start = sc.i;
    if (sc.Number(8, y) == 8) {  // YYYYMMDD
        d = y % 100;
        m = y / 100 % 100;
        y /= 10000;
        sc.SkipBlanks();
        if (!sc.AtEnd()) return std::nullopt;
        return MakeDate(y, m, d, 0.0);
    }
    sc.i = start;
    if (sc.Number(4, y) != 4 || !sc.Accept('-') || sc.Number(2, m) != 2 || !sc.Accept('-') || sc.Number(2, d) != 2)
        return std::nullopt;
    double time = 0.0;
    if (sc.Accept('T') || sc.Accept(' ')) {
        sc.SkipBlanks();
        auto t = ScanTime(sc);
        if (!t) return std::nullopt;
        time = *t;
        if (sc.Accept('.')) {  // fractions of a second, as engines print them, are dropped
            long ignored = 0;
            if (sc.Number(9, ignored) == 0) return std::nullopt;
        }
    }
    sc.SkipBlanks();
    if (!sc.AtEnd()) return std::nullopt;
    return MakeDate(y, m, d, time);
}

std::optional<Date> Date::ParseLocal(std::string_view text, const RegionalSettings& rs) {
    Scanner sc{text};
    sc.SkipBlanks();
    const std::size_t start = sc.i;
    // A time alone is a time on the zero date, as such a Date prints ("10:30:00").
    if (auto t = ScanTime(sc)) {
        sc.SkipBlanks();
        if (sc.AtEnd()) return Date(*t);
    }
    sc.i = start;
    long parts[3] = {0, 0, 0};
    int digits[3] = {0, 0, 0};
    char separator = 0;
    for (int k = 0; k < 3; ++k) {
        if (k > 0) {
            const char c = sc.AtEnd() ? '\0' : text[sc.i];
            if (separator == 0 && (c == '/' || c == '-' || c == '.')) separator = c;
            if (c != separator || c == '\0') return std::nullopt;
            ++sc.i;
        }
        digits[k] = sc.Number(4, parts[k]);
        if (digits[k] == 0) return std::nullopt;
    }
    double time = 0.0;
    if (sc.Accept(' ')) {
        sc.SkipBlanks();
        if (!sc.AtEnd()) {
            auto t = ScanTime(sc);
            if (!t) return std::nullopt;
            time = *t;
        }
    }
    sc.SkipBlanks();
    if (!sc.AtEnd()) return std::nullopt;

    int yi = 2, mi = 1, di = 0;
    if (digits[0] > 2) {  // a four-digit first part is a year in any order: 2024-01-05
        yi = 0, mi = 1, di = 2;
    } else if (rs.date_order == DateOrder::MonthDayYear) {
        yi = 2, mi = 0, di = 1;
    } else if (rs.date_order == DateOrder::YearMonthDay) {
        yi = 0, mi = 1, di = 2;
    }
    if (digits[mi] > 2 || digits[di] > 2) return std::nullopt;
    const long long year = digits[yi] <= 2 ? WindowYear(parts[yi]) : parts[yi];
    return MakeDate(year, parts[mi], parts[di], time);
}

long Date::Days() const { return static_cast<long>(Split(serial_).day); }
int Date::Year() const { return static_cast<int>(CivilFromDays(Days() + kZeroDateUnixDays).year); }
int Date::Month() const { return CivilFromDays(Days() + kZeroDateUnixDays).month; }
int Date::Day() const { return CivilFromDays(Days() + kZeroDateUnixDays).day; }
int Date::Hour() const { return static_cast<int>(Split(serial_).seconds / 3600); }
int Date::Minute() const { return static_cast<int>(Split(serial_).seconds / 60 % 60); }
int Date::Second() const { return static_cast<int>(Split(serial_).seconds % 60); }

Date Date::AddMonths(int months) const {
    const Parts p = Split(serial_);
    const Civil c = CivilFromDays(p.day + kZeroDateUnixDays);
    const long long total = c.year * 12 + (c.month - 1) + months;
    const long long y = total >= 0 ? total / 12 : -((11 - total) / 12);
    const int m = static_cast<int>(total - y * 12) + 1;
    if (y < 100 || y > 9999) OutOfRange(ToString() + " + " + std::to_string(months) + " months");
    const int d = std::min(c.day, DaysInMonth(y, m));
    return Date(Compose(SerialDay(y, m, d), static_cast<double>(p.seconds) / kSecondsPerDay));
}

Date Date::AddDays(long days) const {
    const Parts p = Split(serial_);
    const long long day = p.day + days;
    if (!DayInRange(day)) OutOfRange(ToString() + " + " + std::to_string(days) + " days");
    return Date(Compose(day, static_cast<double>(p.seconds) / kSecondsPerDay));
}

std::string Date::ToYmd() const {
    std::string out;
    AppendYmd(out);
    return out;
}

void Date::AppendYmd(std::string& out) const {
    const Civil c = CivilFromDays(Days() + kZeroDateUnixDays);
    const long y = static_cast<long>(c.year);
    const char ymd[8] = {static_cast<char>('0' + y / 1000 % 10), static_cast<char>('0' + y / 100 % 10),
                         static_cast<char>('0' + y / 10 % 10),   static_cast<char>('0' + y % 10),
                         static_cast<char>('0' + c.month / 10),  static_cast<char>('0' + c.month % 10),
                         static_cast<char>('0' + c.day / 10),    static_cast<char>('0' + c.day % 10)};
    out.append(ymd, sizeof ymd);
}

std::string Date::ToString(const RegionalSettings& rs) const {
    const Parts p = Split(serial_);
    std::string out;
    out.reserve(19);
    if (p.day != 0) {
        const Civil c = CivilFromDays(p.day + kZeroDateUnixDays);
        const char sep = rs.date_separator;
        auto year = [&] {
            AppendTwo(out, static_cast<long>(c.year / 100));
            AppendTwo(out, static_cast<long>(c.year % 100));
        };
        switch (rs.date_order) {
            case DateOrder::DayMonthYear:
                AppendTwo(out, c.day), out += sep, AppendTwo(out, c.month), out += sep, year();
                break;
            case DateOrder::MonthDayYear:
                AppendTwo(out, c.month), out += sep, AppendTwo(out, c.day), out += sep, year();
                break;
            case DateOrder::YearMonthDay:
                year(), out += sep, AppendTwo(out, c.month), out += sep, AppendTwo(out, c.day);
                break;
        }
        if (p.seconds == 0) return out;
        out += ' ';
    }
    AppendTwo(out, p.seconds / 3600);
    out += ':';
    AppendTwo(out, p.seconds / 60 % 60);
    out += ':';
    AppendTwo(out, p.seconds % 60);
    return out;
}

Date Date::SystemToday() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return FromYmd(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
}

Date Date::SystemNow() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    const double seconds = local.tm_hour * 3600.0 + local.tm_min * 60.0 + local.tm_sec;
    return Date(FromYmd(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday).Serial() + seconds / 86400.0);
}

}  // namespace kv
