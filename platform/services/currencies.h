#pragma once
// The host's currency table (CG08_VALUTE) as the pricing services read it: per currency code, the
// decimals of unit prices (CG08_DECPRZUNIT) and of amounts (CG08_DECIMPORTI). Rows are read on first
// use of a code and kept for the life of the table object; the host's global services hold one table
// per host session, so a currency edited elsewhere is seen by the next session.
//
// Codes are compared without trailing blanks (CG08_CODICE is fixed-width text) and as given otherwise.

#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "platform/ado/connection.h"

namespace kv::services {

struct Currency {
    std::string code;
    std::string description;
    int unit_price_decimals = 0;
    int amount_decimals = 0;
};

class CurrencyTable {
public:
    explicit CurrencyTable(kv::ado::ConnectionPtr connection) : connection_(std::move(connection)) {}

    // The currency's row; nullopt when the table has none for the code (a blank code, or one with
    // characters no code has, has none). A failing query raises its kv::Error; a row whose decimals
    // are blank or outside 0 to 10 raises kv::Error 5: a broken row is not given a default.
    std::optional<Currency> Find(std::string_view code);
    // The currency's row; kv::Error 5 naming the code when the table has none.
    Currency Require(std::string_view code, std::string_view source);
    // Display format of unit prices in the currency: "#,##0" followed by "." and one 0 per decimal
    // ("#,##0.00" for two decimals). kv::Error 5 when the currency has no row.
    std::string UnitPriceFormat(std::string_view code);

private:
    kv::ado::ConnectionPtr connection_;
    std::map<std::string, std::optional<Currency>, std::less<>> cache_;
};

// "#,##0" with the given decimals.
std::string NumberFormatWithDecimals(int decimals);

}  // namespace kv::services
