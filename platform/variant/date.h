#pragma once
// Date: the platform's date, a day serial counted from 30 December 1899 (serial 0, "the zero date"),
// with the time of day as the fraction. Valid range: 1 January 100 to 31 December 9999.
// Day-level helpers work on the integer part; comparisons are on the serial, so the time counts.

#include <compare>
#include <optional>
#include <string>
#include <string_view>

#include "platform/variant/regional.h"

namespace kv {

class Date {
public:
    static constexpr double kMinSerial = -657434.0;   // 1 January 100
    static constexpr double kMaxSerial = 2958465.0;   // 31 December 9999

    Date() = default;  // the zero date, 30/12/1899
    explicit Date(double serial);  // raises 6 outside the valid range

    // DateSerial: months and days out of range carry into the next unit or borrow from the previous
    // one (month 13 is January of the next year, day 0 the last day of the previous month); two-digit
    // years 0-29 mean 2000-2029, 30-99 mean 1930-1999. Raises 5 when the result is out of range.
    static Date FromYmd(int year, int month, int day);
    // A real calendar day (no carrying); nullopt for 31/02/2025 and the like.
    static std::optional<Date> TryFromYmd(int year, int month, int day);
    // "YYYYMMDD" (the SQL literal form), or ISO "YYYY-MM-DD" with an optional time part.
    static std::optional<Date> ParseIso(std::string_view text);
    // Text in the regional short-date order ("31/12/2024" in Italian settings); the separator may be
    // '/', '-' or '.'; two-digit years as in FromYmd. An optional " hh:mm[:ss]" follows.
    // nullopt when it is not a real date.
    static std::optional<Date> ParseLocal(std::string_view text, const RegionalSettings& rs);
    // Today's date by the machine's clock and time zone, without a time. Code that proposes or stamps
    // dates asks the host's global services instead (GlobalServices::Today), which a test can fix.
    static Date SystemToday();
    // The machine's date and time of day, to the second (GlobalServices::Now asks it).
    static Date SystemNow();

    double Serial() const { return serial_; }
    long Days() const;  // the day's serial without the time
    int Year() const;
    int Month() const;
    int Day() const;
    int Hour() const;
    int Minute() const;
    int Second() const;
    bool IsZero() const { return serial_ == 0.0; }

    // DateAdd("m", n): the day number is kept and clamped to the target month's length
    // (31/01/1995 + 1 month = 28/02/1995). Raises 5 when the result is out of range.
    Date AddMonths(int months) const;
    Date AddDays(long days) const;

    // "YYYYMMDD", the form dates take in SQL text.
    std::string ToYmd() const;
    // The same, appended to `out`: keys made of dates thousands of times make no text of their own.
    void AppendYmd(std::string& out) const;
    // Short date in the regional order with a four-digit year ("05/01/2024"), followed by " hh:mm:ss"
    // when there is a time; a date with no day part prints the time only ("00:00:00" for the zero date).
    std::string ToString(const RegionalSettings& rs = RegionalSettings::Italian()) const;

    friend bool operator==(const Date& a, const Date& b) { return a.serial_ == b.serial_; }
    friend std::partial_ordering operator<=>(const Date& a, const Date& b) { return a.serial_ <=> b.serial_; }

private:
    double serial_ = 0.0;
};

}  // namespace kv
