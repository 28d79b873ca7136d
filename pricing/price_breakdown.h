#pragma once
// The price breakdown of one matrix row ("Dettaglio"): how the row's net price comes about from its
// gross price, discounts and markups, and, for a sales row derived by the last recalculation, how its
// gross price came from the purchase row (recharge or zero-recharge mode, VAT conversion, rounding
// bracket). The figures are not computed here: the net price steps are the price-calculation object's
// own (through the matrix driver, with the row's inputs handed over as for its net price), the
// derivation is what PriceUpdate recorded while it wrote the row. This file only words them, in exact
// decimals with the Italian separators.

#include <optional>
#include <string>
#include <vector>

#include "matrix/clsmg_setupvarianti.h"
#include "platform/ado/recordset.h"
#include "platform/services/price_calculation.h"
#include "pricing/margin.h"
#include "pricing/price_update.h"

namespace qmx {

struct DettaglioPrezzo {
    std::vector<std::string> righe;                    // the lines the user reads
    std::optional<kv::services::NetPriceSteps> passi;  // the net price's steps (nullopt: not computable)
    std::optional<DerivazionePrezzo> derivazione;      // the recalculation that wrote the gross price
};

// The breakdown of `riga`'s current row (the driver's matrix, or a clone of it standing on the row).
// `prezzi` is the window's price update (for a sales row; null for a purchase row).
DettaglioPrezzo DettaglioRiga(CLSMG_SETUPVARIANTI& driver, kv::ado::Recordset& riga, const PriceUpdate* prezzi,
                              bool vendita);

// The lines of a sales row's margin: the margin and the purchase price it is taken over (converted,
// with the rates used), the prices without VAT when a list includes it; or why there is none.
void RigheMargine(const MargineRiga& m, std::vector<std::string>& righe);

// A number in Italian form with every digit it has: thousands point, decimal comma ("1.234,5").
std::string NumeroItaliano(const kv::Decimal& value);
// The same padded to `decimals` places ("93,40").
std::string NumeroItaliano(const kv::Decimal& value, int decimals);
// A double as the platform shows it: its 15 significant digits.
std::string NumeroItaliano(double value);

}  // namespace qmx
