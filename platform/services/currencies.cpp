#include "platform/services/currencies.h"

#include <cctype>

#include "platform/variant/strings.h"

namespace kv::services {

namespace {
// Decimal places read from the table; a blank or out-of-range value is a broken row, not a default.
int Decimals(const kv::Variant& v, std::string_view column, std::string_view code) {
    if (v.IsNull() || v.IsEmpty())
        throw kv::Error(kv::err::kInvalidCall,
                        "The currency '" + std::string(code) + "' has no " + std::string(column), "CG08_VALUTE");
    const int d = kv::CInt(v);
    if (d < 0 || d > 10)
        throw kv::Error(kv::err::kInvalidCall,
                        "The currency '" + std::string(code) + "' has " + std::to_string(d) + " " +
                            std::string(column) + ", outside 0 to 10",
                        "CG08_VALUTE");
    return d;
}

// Only letters, digits, blanks and a few marks can be part of a currency code; anything else could not
// be a code and must not reach the SQL text.
bool PlausibleCode(std::string_view code) {
    for (unsigned char c : code)
        if (!(std::isalnum(c) || c == ' ' || c == '_' || c == '-' || c == '$')) return false;
    return true;
}
}  // namespace

std::optional<Currency> CurrencyTable::Find(std::string_view raw_code) {
    const std::string code = kv::RTrim(raw_code);
    if (code.empty() || !PlausibleCode(code)) return std::nullopt;
    if (auto it = cache_.find(code); it != cache_.end()) return it->second;
    if (!connection_)
        throw kv::Error(kv::err::kObjectNotSet, "The currency table has no database connection", "CG08_VALUTE");
    auto rs = connection_->Execute(
        "SELECT CG08_CODICE, CG08_DESCR, CG08_DECPRZUNIT, CG08_DECIMPORTI FROM CG08_VALUTE WHERE CG08_CODICE = '" +
        code + "'");
    std::optional<Currency> found;
    if (!rs->IsEOF()) {
        Currency c;
        c.code = code;
        c.description = kv::RTrim(kv::IsBlank(rs->Value("CG08_DESCR")) ? std::string() : kv::CStr(rs->Value("CG08_DESCR")));
        c.unit_price_decimals = Decimals(rs->Value("CG08_DECPRZUNIT"), "CG08_DECPRZUNIT", code);
        c.amount_decimals = Decimals(rs->Value("CG08_DECIMPORTI"), "CG08_DECIMPORTI", code);
        found = c;
    }
    cache_.emplace(code, found);
    return found;
}

Currency CurrencyTable::Require(std::string_view code, std::string_view source) {
    if (kv::RTrim(code).empty())
        throw kv::Error(kv::err::kInvalidCall, "No currency was given", std::string(source));
    auto c = Find(code);
    if (!c)
        throw kv::Error(kv::err::kInvalidCall,
                        "The currency '" + kv::RTrim(code) + "' is not in the currency table (CG08_VALUTE)",
                        std::string(source));
    return *c;
}

std::string CurrencyTable::UnitPriceFormat(std::string_view code) {
    return NumberFormatWithDecimals(Require(code, "CurrencyFormat").unit_price_decimals);
}

std::string NumberFormatWithDecimals(int decimals) {
    std::string f = "#,##0";
    if (decimals > 0) {
        f.push_back('.');
        f.append(static_cast<std::size_t>(decimals), '0');
    }
    return f;
}

}  // namespace kv::services
