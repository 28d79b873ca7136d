#pragma once
// The host's database-value formatter: DBformat(value) prepares a value, ValDB then gives its text for
// an SQL statement. Numbers come out in plain SQL form: '.' as decimal separator, no grouping, no
// exponent, trailing zeros of the scale dropped (12.50 -> "12.5", one million -> "1000000").
//
//  - Null or Empty: "NULL";
//  - Boolean: "1" for True, "0" for False (the database keeps flags as 1/0);
//  - a number (any numeric subtype): its decimal text;
//  - text that reads as a number with the regional settings ("12,5" with a decimal comma): that number;
//  - a date: 'YYYYMMDD' with its apostrophes;
//  - anything else (text that is not a number, an object): kv::Error 13 naming the value, and ValDB
//    becomes "" — text is never put into SQL unquoted, and an empty piece makes the statement fail
//    visibly instead of writing a wrong value.

#include <string>

#include "platform/variant/regional.h"
#include "platform/variant/variant.h"

namespace kv::services {

class ValueFormatter : public kv::Object {
public:
    ~ValueFormatter() override;
    virtual void DBformat(const kv::Variant& value) = 0;
    virtual std::string ValDB() const = 0;
};

class HostValueFormatter : public ValueFormatter {
public:
    explicit HostValueFormatter(const kv::RegionalSettings& regional = kv::RegionalSettings::Italian())
        : regional_(regional) {}
    void DBformat(const kv::Variant& value) override;
    std::string ValDB() const override { return text_; }

private:
    kv::RegionalSettings regional_;
    std::string text_;
};

}  // namespace kv::services
