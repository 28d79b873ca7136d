// CLSMG_SETUPVARIANTI: net prices. The driver does not compute a net price itself: it hands a matrix
// row's currency, gross price, discounts and markups to the host's price-calculation object and keeps
// what it returns.
//
// A net price belongs to the inputs of its own row or is not shown at all. When the calculation fails
// for a row (an unknown currency, an input that is not a number, no host services), the row's net price
// becomes Null: the figure left from the row's previous inputs, or from the row calculated before it,
// is never shown or derived from. Apart from that, both operations ignore errors and report nothing.

#include <array>
#include <cctype>
#include <optional>
#include <string>

#include "matrix/clsmg_setupvarianti.h"
#include "platform/services/price_calculation.h"
#include "platform/variant/strings.h"
#include "shell/modmg_quendormixal.h"

namespace qmx {

using kv::Variant;
using kv::ado::Recordset;
using kv::ado::RecordsetPtr;

namespace {

bool HasRows(const RecordsetPtr& rs) { return rs && !rs->IsBOF() && !rs->IsEOF(); }

// The fields a net price is computed from and written to, in the order they are handed over. Every
// matrix row of every list goes through here, so each field's position is found by name once and
// then only checked (an ASCII comparison of its name), not looked up by name for every row; a
// recordset whose fields are laid out otherwise is looked up again, and a missing field is read by
// name so that it fails as a read by name fails.
enum CampoNetto { kValuta, kPrezzo, kSc1, kSc2, kSc3, kSc4, kSc5, kSc6, kScImp, kMag1, kMag2, kMagImp, kNetto,
                  kCampiNetto };
constexpr const char* kNomiNetto[kCampiNetto] = {
    "BLT_VALUTA",  "LI10_PREZZO", "LI10_SC1PER",  "LI10_SC2PER",  "LI10_SC3PER", "LI10_SC4PER",    "LI10_SC5PER",
    "LI10_SC6PER", "LI10_SCIMP",  "LI10_MAG1PER", "LI10_MAG2PER", "LI10_MAGIMP", "BLT_PREZZONETTO"};

constexpr auto kLunghezzeNetto = [] {
    std::array<std::size_t, kCampiNetto> l{};
    for (int k = 0; k < kCampiNetto; ++k) l[k] = std::char_traits<char>::length(kNomiNetto[k]);
    return l;
}();

bool StessoNome(const std::string& campo, const char* nome, std::size_t lunghezza) {
    // Names are mostly written as the fields have them.
    if (campo.size() == lunghezza && campo.compare(0, lunghezza, nome, lunghezza) == 0) return true;
    size_t i = 0;
    for (; i < campo.size() && nome[i] != '\0'; ++i) {
        const auto a = static_cast<unsigned char>(campo[i]);
        const auto b = static_cast<unsigned char>(nome[i]);
        if (a != b && !(a < 0x80 && std::toupper(a) == b)) return false;
    }
    return i == campo.size() && nome[i] == '\0';
}

// The positions found last, per thread, and the rows (Recordset::Rows) they were all found in. Reached
// once per net price: a thread-local variable of a library that may be loaded as a module costs a call
// on every access. A recalculation alternates between the purchase and the sales matrix, so the
// positions of the last two sets of rows are kept.
struct IndiciTrovati {
    int indici[kCampiNetto] = {-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1};
    uint64_t righe = 0;
};
IndiciTrovati* IndiciNetto(const Recordset& row) {
    struct Ultimi {
        IndiciTrovati trovati[2];
        int prossimo = 0;
    };
    thread_local Ultimi ultimi;
    const uint64_t righe = row.Rows().rows;
    for (auto& t : ultimi.trovati)
        if (righe != 0 && t.righe == righe) return &t;
    IndiciTrovati* t = &ultimi.trovati[ultimi.prossimo];
    ultimi.prossimo ^= 1;
    return t;  // its positions are checked against these rows' fields before they are used
}

int IndiceNetto(Recordset& row, IndiciTrovati* trovati, CampoNetto campo) {
    const auto& infos = row.FieldInfos();
    int& i = trovati->indici[campo];
    if (i >= 0 && i < static_cast<int>(infos.size()) &&
        StessoNome(infos[i].name, kNomiNetto[campo], kLunghezzeNetto[campo]))
        return i;
    trovati->righe = 0;
    i = row.GetFields().IndexOf(kNomiNetto[campo]);
    return i;
}

// Every position at once: the rows of one recordset (and its clones) keep their fields where they are,
// so positions found in them are not checked again while the same rows are read. False when a field
// is missing.
bool IndiciNetto(Recordset& row, IndiciTrovati* trovati) {
    const uint64_t righe = row.Rows().rows;
    if (righe != 0 && righe == trovati->righe) return true;
    bool tutti = true;
    for (int c = 0; c < kCampiNetto; ++c) tutti = IndiceNetto(row, trovati, static_cast<CampoNetto>(c)) >= 0 && tutti;
    trovati->righe = tutti ? righe : 0;
    return tutti;
}

Variant ValoreNetto(Recordset& row, IndiciTrovati* indici, CampoNetto campo) {
    const int i = IndiceNetto(row, indici, campo);
    return i >= 0 ? row.Value(i) : row.Value(kNomiNetto[campo]);
}

// The net price of a row whose fields `valore` reads; nullopt when it cannot be computed.
template <class Valore>
std::optional<Variant> NetPriceOf(kv::services::PriceCalculation* calculation, Valore&& valore) {
    if (!calculation) return std::nullopt;
    // A Double input is handed over as it is: the calculation takes it exactly as it would take the
    // Decimal NZ makes of it, without the conversion being done twice.
    auto numero = [&](CampoNetto campo, auto&& imposta) {
        decltype(auto) v = valore(campo);
        if (v.template TryGet<double>())
            imposta(v);
        else
            imposta(NZ(v));
    };
    try {
        calculation->SetCurrency(NS(valore(kValuta)));
        numero(kPrezzo, [&](const Variant& v) { calculation->SetGrossPrice(v); });
        static_assert(kv::services::PriceCalculation::kDiscounts == kSc6 - kSc1 + 1);
        for (int i = 1; i <= kv::services::PriceCalculation::kDiscounts; ++i)
            numero(static_cast<CampoNetto>(kSc1 + i - 1), [&](const Variant& v) { calculation->SetDiscount(i, v); });
        numero(kScImp, [&](const Variant& v) { calculation->SetDiscountAmount(v); });
        numero(kMag1, [&](const Variant& v) { calculation->SetMarkup(1, v); });
        numero(kMag2, [&](const Variant& v) { calculation->SetMarkup(2, v); });
        numero(kMagImp, [&](const Variant& v) { calculation->SetMarkupAmount(v); });
        calculation->Calculate();
        Variant net = calculation->NetPrice();
        if (net.IsNull() || net.IsEmpty()) return std::nullopt;
        return net;
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

// The net price of the current row of `row`. Its inputs are read together, the row found once; a
// recordset lacking one of the fields is read field by field, so that the missing one fails as a read
// by name fails.
std::optional<Variant> NetPriceOf(kv::services::PriceCalculation* calculation, Recordset& row) {
    IndiciTrovati* const ix = IndiciNetto(row);
    if (!IndiciNetto(row, ix)) return NetPriceOf(calculation, [&](CampoNetto campo) { return ValoreNetto(row, ix, campo); });
    // The usual row holds its eleven figures as Doubles (or nothing): they are handed over in one call.
    static_assert(kMagImp - kPrezzo + 1 == kv::services::PriceCalculation::kInputs);
    if (calculation) {
        try {
            std::array<double, kv::services::PriceCalculation::kInputs> numeri;
            if (row.Numbers(ix->indici + kPrezzo, numeri.size(), numeri.data())) {
                calculation->Calculate(NS(row.Value(ix->indici[kValuta])), numeri);
                Variant net = calculation->NetPrice();
                if (net.IsNull() || net.IsEmpty()) return std::nullopt;
                return net;
            }
        } catch (const std::exception&) {
            return std::nullopt;
        }
    }
    std::array<Variant, kNetto> valori;
    try {
        row.Values(ix->indici, kNetto, valori.data());
    } catch (const std::exception&) {
        return std::nullopt;
    }
    return NetPriceOf(calculation, [&](CampoNetto campo) -> const Variant& { return valori[campo]; });
}

}  // namespace

void CLSMG_SETUPVARIANTI::AggiornaPrezzoNetto() {
    try {
        if (!recordset_ || recordset_->IsBOF() || recordset_->IsEOF()) return;
        auto net = NetPriceOf(price_calculation_.get(), *recordset_);
        IndiciTrovati* const ix = IndiciNetto(*recordset_);
        const int i = IndiciNetto(*recordset_, ix) ? ix->indici[kNetto] : IndiceNetto(*recordset_, ix, kNetto);
        if (i >= 0)
            recordset_->SetValue(i, net ? *net : Variant::Null());
        else
            recordset_->SetValue("BLT_PREZZONETTO", net ? *net : Variant::Null());
    } catch (const std::exception&) {
        // Errors are ignored here: the caller's row stays as the steps above left it.
    }
}

std::optional<kv::services::NetPriceSteps> CLSMG_SETUPVARIANTI::PassiPrezzoNetto(kv::ado::Recordset* riga) {
    try {
        kv::ado::Recordset* rs = riga ? riga : recordset_.get();
        if (!rs || rs->IsBOF() || rs->IsEOF()) return std::nullopt;
        if (!NetPriceOf(price_calculation_.get(), *rs)) return std::nullopt;
        return price_calculation_->LastSteps();
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

Variant CLSMG_SETUPVARIANTI::PrezzoNettoRiga(std::vector<Variant>& riga) {
    // The row is not in the matrix yet: its inputs are converted as the matrix will store them, so the
    // price is the one AggiornaPrezzoNetto computes once the row is there.
    try {
        if (!recordset_) return Variant::Null();
        int indici[kNetto];
        IndiciTrovati* const ix = IndiciNetto(*recordset_);
        for (int c = 0; c < kNetto; ++c) {
            const int i = IndiceNetto(*recordset_, ix, static_cast<CampoNetto>(c));
            if (i < 0 || i >= static_cast<int>(riga.size())) return Variant::Null();
            riga[i] = recordset_->ConvertValue(i, riga[i]);
            indici[c] = i;
        }
        // A loaded row holds its figures as Doubles (or nothing, read as 0): they go over in one call.
        std::array<double, kv::services::PriceCalculation::kInputs> numeri;
        bool doubles = price_calculation_ != nullptr;
        for (int c = kPrezzo; doubles && c <= kMagImp; ++c) {
            const Variant& v = riga[indici[c]];
            if (const double* d = v.TryGet<double>()) numeri[c - kPrezzo] = *d;
            else if (v.IsNull() || v.IsEmpty()) numeri[c - kPrezzo] = 0;
            else doubles = false;
        }
        if (doubles) {
            try {
                price_calculation_->Calculate(NS(riga[indici[kValuta]]), numeri);
                Variant net = price_calculation_->NetPrice();
                return net.IsEmpty() ? Variant::Null() : net;
            } catch (const std::exception&) {
                return Variant::Null();
            }
        }
        auto net = NetPriceOf(price_calculation_.get(), [&](CampoNetto campo) -> const Variant& {
            return riga[indici[campo]];
        });
        return net ? *net : Variant::Null();
    } catch (const std::exception&) {
        return Variant::Null();
    }
}

void CLSMG_SETUPVARIANTI::AggiornaPrezzoNetto4() {
    // Steps are skipped on error, as in the rest of the net-price update; the matrix's filter and the
    // grid's binding are restored whatever happened in between.
    auto ignore = [](auto&& step) {
        try {
            step();
        } catch (const std::exception&) {
        }
    };
    int16_t type = 0;
    ignore([&] { type = GetIndTipoGriglia(); });
    if (type != 4) return;
    if (!recordset_) return;
    ignore([&] { recordset_->MoveFirst(); });
    if (!HasRows(recordset_)) return;

    RecordsetPtr pivot;
    if (m_eSalPur == VarPurchase)
        pivot = rsPivotAcq;
    else if (m_eSalPur == VarSale)
        pivot = rsPivotVen;
    else
        return;
    if (!pivot || pivot->IsBOF() || pivot->IsEOF()) return;

    ignore([&] {
        if (grid_) grid_->SetDataSource(nullptr);
    });
    ignore([&] { pivot->MoveFirst(); });
    while (!pivot->IsEOF()) {
        ignore([&] {
            const std::string shown = kv::CStr(pivot->Value("BLT_OPZIONE1"));
            const long dash = kv::InStr(shown, " - ");
            const std::string option = dash > 0 ? kv::Left(shown, dash - 1) : shown;
            recordset_->SetFilter(Variant("BLT_OPZIONE1 ='" + RaddoppiaApici(option) +
                                          "' AND LI10_NUMLIST = " + kv::CStr(pivot->Value("LI10_NUMLIST"))));
            long k = 0;
            for (; !recordset_->IsEOF(); recordset_->MoveNext()) {
                const std::string column = "BLT_" + std::to_string(++k);
                ignore([&] {
                    // The column shows the net price raised by the row's recharge; no price, no figure.
                    auto net = NetPriceOf(price_calculation_.get(), *recordset_);
                    if (!net) {
                        pivot->SetValue(column, Variant::Null());
                        return;
                    }
                    const kv::Decimal v = kv::CDec(NZ(*net));
                    const kv::Decimal r = kv::CDec(NZ(recordset_->Value("LI10_PERRICDELTA")));
                    pivot->SetValue(column, Variant(v + v * r / kv::Decimal(100)));
                });
            }
            if (pivot->EditMode() != kv::ado::adEditNone) pivot->Update();
        });
        try {
            pivot->MoveNext();
        } catch (const std::exception&) {
            break;
        }
    }
    ignore([&] {
        if (grid_) grid_->SetDataSource(pivot);
    });
    ignore([&] { recordset_->SetFilter(Variant(int32_t{kv::ado::adFilterNone})); });
}

}  // namespace qmx
