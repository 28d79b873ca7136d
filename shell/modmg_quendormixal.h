#pragma once
// The component's value helpers: reading fields and grid cells that may be Null, Empty or blank, and
// turning values into the text of SQL statements. They never fail: a value that cannot be converted
// gives Empty, so a caller building SQL text sees an empty piece rather than an interrupted statement.
// "Blank" is Null, Empty or a text equal to "".

#include <string>
#include <string_view>

#include "platform/variant/regional.h"
#include "platform/variant/variant.h"

namespace qmx {

// Blank -> the Integer 0; otherwise the value as a Decimal.
kv::Variant NZ(const kv::Variant& v, const kv::RegionalSettings& rs = kv::RegionalSettings::Italian());
// Blank -> ""; otherwise the value's text without trailing blanks.
kv::Variant NS(const kv::Variant& v, const kv::RegionalSettings& rs = kv::RegionalSettings::Italian());
// Blank -> "NULL"; a numeric value -> its text with every "," made "."; anything else its text without
// trailing blanks. Text is not quoted: the caller writes the apostrophes.
kv::Variant SqlValore(const kv::Variant& v, const kv::RegionalSettings& rs = kv::RegionalSettings::Italian());
// Blank -> the Integer 0; otherwise the value as a Decimal, as text with "." for the decimal separator.
kv::Variant SqlNumero(const kv::Variant& v, const kv::RegionalSettings& rs = kv::RegionalSettings::Italian());

// text with every apostrophe doubled and nothing else changed: the form a text value must have between
// apostrophes in SQL or in a recordset filter, so that a value holding "'" is compared as written and
// can never end the literal early and change the statement.
std::string RaddoppiaApici(std::string_view text);

}  // namespace qmx
