#include "platform/variant/date.h"

#include <gtest/gtest.h>

#include "support/errors.h"

namespace kv {
namespace {

using testing::ErrorNumber;

TEST(Date, FromYmdCarriesLikeDateSerial) {
    struct Case { int y, m, d; const char* expected; };
    const Case cases[] = {
        {1990 - 10, 8 - 2, 1 - 1, "31/05/1980"},
        {2024, 13, 1, "01/01/2025"},
        {2024, 3, 0, "29/02/2024"},   // the last day of the previous month
        {2023, 3, 0, "28/02/2023"},
        {2023, 0, 15, "15/12/2022"},
        {2023, -13, 1, "01/11/2021"},
        {2024, 1, 32, "01/02/2024"},
        {2024, 1, -1, "30/12/2023"},
        {24, 1, 5, "05/01/2024"},      // two-digit years: 0-29 are 2000s, 30-99 1900s
        {29, 12, 31, "31/12/2029"},
        {30, 1, 1, "01/01/1930"},
        {99, 13, 1, "01/01/2000"},
        {100, 1, 1, "01/01/0100"},
        {9999, 12, 31, "31/12/9999"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.y) + "-" + std::to_string(c.m) + "-" + std::to_string(c.d));
        EXPECT_EQ(Date::FromYmd(c.y, c.m, c.d).ToString(), c.expected);
    }
    EXPECT_EQ(Date::FromYmd(1899, 12, 30).Serial(), 0.0);
    EXPECT_EQ(Date::FromYmd(1900, 1, 1).Serial(), 2.0);
    EXPECT_EQ(Date::FromYmd(100, 1, 1).Serial(), Date::kMinSerial);
    EXPECT_EQ(Date::FromYmd(9999, 12, 31).Serial(), Date::kMaxSerial);
    EXPECT_EQ(ErrorNumber([] { Date::FromYmd(10000, 1, 1); }), 5);
    EXPECT_EQ(ErrorNumber([] { Date::FromYmd(100, 1, 0); }), 5);
    EXPECT_EQ(ErrorNumber([] { Date::FromYmd(2024, 1, 2000000000); }), 5);
}

TEST(Date, TryFromYmdWantsARealDay) {
    EXPECT_FALSE(Date::TryFromYmd(2025, 2, 29).has_value());
    EXPECT_FALSE(Date::TryFromYmd(2025, 13, 1).has_value());
    ASSERT_TRUE(Date::TryFromYmd(2024, 2, 29).has_value());
    EXPECT_EQ(Date::TryFromYmd(2024, 2, 29)->ToYmd(), "20240229");
}

TEST(Date, PartsAndNegativeSerials) {
    const Date d = Date::FromYmd(2024, 1, 5).AddDays(0);
    EXPECT_EQ(d.Year(), 2024);
    EXPECT_EQ(d.Month(), 1);
    EXPECT_EQ(d.Day(), 5);
    // Before the zero date the integer part is the day and the fraction's magnitude the time.
    const Date old(-12.25);
    EXPECT_EQ(old.Days(), -12);
    EXPECT_EQ(old.ToString(), "18/12/1899 06:00:00");
    EXPECT_EQ(old.Hour(), 6);
    EXPECT_EQ(Date(-12.75).ToString(), "18/12/1899 18:00:00");
    EXPECT_EQ(Date(-12.25).AddDays(20).ToString(), "07/01/1900 06:00:00");
    // A time that rounds to 24:00:00 is the next day's midnight.
    EXPECT_EQ(Date(45296.999999999).ToString(), "06/01/2024");
    EXPECT_EQ(ErrorNumber([] { Date(Date::kMaxSerial + 1.0); }), 6);
    EXPECT_EQ(ErrorNumber([] { Date(Date::kMinSerial - 1.0); }), 6);
    EXPECT_EQ(Date(Date::kMinSerial - 0.5).ToString(), "01/01/0100 12:00:00");
}

TEST(Date, ToString) {
    EXPECT_EQ(Date().ToString(), "00:00:00");
    EXPECT_EQ(Date(0.5).ToString(), "12:00:00");
    EXPECT_EQ(Date::FromYmd(2024, 1, 5).ToString(), "05/01/2024");
    EXPECT_EQ(Date(Date::FromYmd(2024, 1, 5).Serial() + 0.75).ToString(), "05/01/2024 18:00:00");
    EXPECT_EQ(Date::FromYmd(2024, 1, 5).ToString(RegionalSettings::English()), "01/05/2024");
    EXPECT_EQ(Date::FromYmd(987, 6, 5).ToYmd(), "09870605");
}

TEST(Date, AddMonthsClampsTheDay) {
    struct Case { int y, m, d, months; const char* expected; };
    const Case cases[] = {
        {1995, 1, 31, 1, "28/02/1995"}, {1996, 1, 31, 1, "29/02/1996"}, {1995, 2, 28, 1, "28/03/1995"},
        {2024, 3, 31, -1, "29/02/2024"}, {2024, 11, 15, 3, "15/02/2025"}, {2024, 1, 31, -13, "31/12/2022"},
        {2024, 5, 31, 0, "31/05/2024"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.expected);
        EXPECT_EQ(Date::FromYmd(c.y, c.m, c.d).AddMonths(c.months).ToString(), c.expected);
    }
    const Date with_time(Date::FromYmd(2024, 1, 31).Serial() + 0.5);
    EXPECT_EQ(with_time.AddMonths(1).ToString(), "29/02/2024 12:00:00");
    EXPECT_EQ(ErrorNumber([] { Date::FromYmd(9999, 12, 1).AddMonths(1); }), 5);
    EXPECT_EQ(ErrorNumber([] { Date::FromYmd(100, 1, 1).AddDays(-1); }), 5);
}

TEST(Date, ParseLocal) {
    const auto& it = RegionalSettings::Italian();
    const auto& en = RegionalSettings::English();
    struct Case { const char* text; const RegionalSettings* rs; const char* expected; };  // "" = not a date
    const Case cases[] = {
        {"31/12/2024", &it, "31/12/2024"},    {"2/3/95", &it, "02/03/1995"},
        {"2/3/95", &en, "03/02/1995"},        {"31-12-2024", &it, "31/12/2024"},
        {"31.12.2024", &it, "31/12/2024"},    {" 5/1/24 ", &it, "05/01/2024"},
        {"31/12/2024 10:30", &it, "31/12/2024 10:30:00"},
        {"31/12/2024 10:30:15", &it, "31/12/2024 10:30:15"},
        {"2024-01-05", &it, "05/01/2024"},    {"10:30:00", &it, "10:30:00"},
        {"31/02/2024", &it, ""},              {"12/31/2024", &it, ""},
        {"abc", &it, ""},                     {"", &it, ""},
        {"31/12-2024", &it, ""},              {"31/12/2024 25:00", &it, ""},
        {"31/12", &it, ""},                   {"31/12/2024x", &it, ""},
        {"5/1/0024", &it, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const auto d = Date::ParseLocal(c.text, *c.rs);
        EXPECT_EQ(d ? d->ToString() : "", c.expected);
    }
}

TEST(Date, ParseIso) {
    struct Case { const char* text; const char* expected; };
    const Case cases[] = {
        {"20240105", "05/01/2024"}, {"2024-01-05", "05/01/2024"},
        {"2024-01-05 10:30:15", "05/01/2024 10:30:15"}, {"2024-01-05T10:30:15.250", "05/01/2024 10:30:15"},
        {"20240230", ""}, {"2024-13-01", ""}, {"2024015", ""}, {"05/01/2024", ""}, {"2024-01-05x", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const auto d = Date::ParseIso(c.text);
        EXPECT_EQ(d ? d->ToString() : "", c.expected);
    }
}

}  // namespace
}  // namespace kv
