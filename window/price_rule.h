#pragma once
// What a price row may hold: the one rule a typed or pasted cell, a "Rettifica prezzi" and a CSV import
// go through alike, so each accepts and refuses the same values with the same words.
//
// - A value is kept to the decimals the window shows for it: the unit-price decimals of the row's
//   currency for the gross price and the amounts, three for percentages. What is shown is what is
//   stored, and what Ctrl+C copies.
// - A gross price, a discount amount or a markup amount below zero is refused; so is a discount above
//   100 %.
// - A value that makes the row's net price negative is refused.
// The messages are Italian and name the value; the caller says where (row, cell, line).

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/ado/recordset.h"
#include "platform/services/price_calculation.h"
#include "platform/variant/variant.h"

namespace qmx {

// The net price's inputs of one row, in the order the price calculation takes them: gross price,
// discounts 1 to 6, discount amount, markups 1 and 2, markup amount.
struct CifreRiga {
    static constexpr int kCifre = 11;
    kv::Variant valuta;
    std::array<kv::Variant, kCifre> valori;
};

// Where `campo` is among the inputs; -1 for any other field (recharge, commission, …).
int IndiceCifra(std::string_view campo);
// The inputs of the matrix row the recordset stands on.
CifreRiga CifreDi(kv::ado::Recordset& riga);

class RegolaPrezzi {
public:
    // `decimali`: the unit-price decimals of a currency (nullopt when it is unknown: nothing is rounded).
    using Decimali = std::function<std::optional<int>(const kv::Variant& valuta)>;
    RegolaPrezzi(std::shared_ptr<kv::services::PriceCalculation> calcolo, Decimali decimali);

    // A field as the rule judges it, worked out once for many values.
    struct Campo {
        int cifra = -1;  // IndiceCifra
        bool percentuale = false;
    };
    static Campo CampoDi(std::string_view campo);
    std::optional<std::string> Applica(const Campo& campo, kv::Variant& valore, CifreRiga& riga,
                                       bool verifica_netto = true) const;

    // Brings `valore`, about to be stored into field `campo` of the row whose inputs are `riga`, to what
    // the field stores, and puts it into `riga`. Returns why the row may not hold it (Italian), or
    // nothing. A blank value is always accepted. Without `verifica_netto` the row's net price is left
    // for the caller to check (VerificaNetto) once all of the row's values are in.
    std::optional<std::string> Applica(std::string_view campo, kv::Variant& valore, CifreRiga& riga,
                                       bool verifica_netto = true) const;
    // Why the row's inputs, as they stand, give a negative net price; nothing when they do not. The net
    // price worked out goes to `netto` when asked for (left alone when none was worked out).
    std::optional<std::string> VerificaNetto(const CifreRiga& riga, kv::Variant* netto = nullptr) const;

private:
    std::shared_ptr<kv::services::PriceCalculation> calcolo_;
    Decimali decimali_;
};

}  // namespace qmx
