// CLSMG_SETUPVARIANTI: net prices. The driver does not compute a net price itself: it hands a matrix
// row's currency, gross price, discounts and markups to the host's price-calculation object and keeps
// what it returns.
//
// A net price belongs to the inputs of its own row or is not shown at all. When the calculation fails
// for a row (an unknown currency, an input that is not a number, no host services), the row's net price
// becomes Null: the figure left from the row's previous inputs, or from the row calculated before it,
// is never shown or derived from. Apart from that, both operations ignore errors and report nothing.

#include <array>
#include <optional>
#include <string>
#include <tuple>

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
// matrix row of every list goes through here, so the driver finds their positions by name once for
// the rows they stand in and then reads them by position; a recordset lacking one of them is read by
// name, so that the missing one fails as a read by name fails.
enum CampoNetto { kValuta, kPrezzo, kSc1, kSc2, kSc3, kSc4, kSc5, kSc6, kScImp, kMag1, kMag2, kMagImp, kNetto,
                  kCampiNetto };
constexpr const char* kNomiNetto[kCampiNetto] = {
    "BLT_VALUTA",  "LI10_PREZZO", "LI10_SC1PER",  "LI10_SC2PER",  "LI10_SC3PER", "LI10_SC4PER",    "LI10_SC5PER",
    "LI10_SC6PER", "LI10_SCIMP",  "LI10_MAG1PER", "LI10_MAG2PER", "LI10_MAGIMP", "BLT_PREZZONETTO"};

using Posizioni = PosizioniPrezzoNetto;
static_assert(std::tuple_size_v<decltype(Posizioni::indici)> == kCampiNetto);

// The positions in `row`, found again only when its rows are not those they were found in. False when
// a field is missing (the positions then say -1 for it).
bool Trova(Recordset& row, Posizioni& p) {
    const uint64_t righe = row.Rows().rows;
    if (righe != 0 && righe == p.righe) return true;
    auto fields = row.GetFields();
    bool tutti = true;
    for (int c = 0; c < kCampiNetto; ++c) {
        p.indici[static_cast<std::size_t>(c)] = fields.IndexOf(kNomiNetto[c]);
        tutti = tutti && p.indici[static_cast<std::size_t>(c)] >= 0;
    }
    p.righe = tutti ? righe : 0;
    return tutti;
}

Variant ValoreNetto(Recordset& row, const Posizioni& p, CampoNetto campo) {
    const int i = p.indici[campo];
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

// NS of the row's currency. Row after row holds the same few codes: the code read last is not made
// again.
const Variant& Valuta(Recordset& row, int campo) {
    thread_local std::string letta;
    thread_local Variant fatta;
    thread_local bool tenuta = false;
    std::string_view testo;
    if (row.Texts(&campo, 1, &testo)) {
        if (tenuta && testo == letta) return fatta;
        tenuta = false;
        fatta = NS(Variant(std::string(testo)));
        letta.assign(testo);
        tenuta = true;
        return fatta;
    }
    tenuta = false;
    fatta = NS(row.Value(campo));
    return fatta;
}

// The net price of the current row of `row`. Its inputs are read together, the row found once; a
// recordset lacking one of the fields is read field by field, so that the missing one fails as a read
// by name fails.
std::optional<Variant> NetPriceOf(kv::services::PriceCalculation* calculation, Recordset& row, Posizioni& ix) {
    if (!Trova(row, ix)) return NetPriceOf(calculation, [&](CampoNetto campo) { return ValoreNetto(row, ix, campo); });
    // The usual row holds its eleven figures as Doubles (or nothing): they are handed over in one call.
    static_assert(kMagImp - kPrezzo + 1 == kv::services::PriceCalculation::kInputs);
    if (calculation) {
        try {
            std::array<double, kv::services::PriceCalculation::kInputs> numeri;
            if (row.Numbers(ix.indici.data() + kPrezzo, numeri.size(), numeri.data())) {
                calculation->Calculate(Valuta(row, ix.indici[kValuta]), numeri);
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
        row.Values(ix.indici.data(), kNetto, valori.data());
    } catch (const std::exception&) {
        return std::nullopt;
    }
    return NetPriceOf(calculation, [&](CampoNetto campo) -> const Variant& { return valori[campo]; });
}

}  // namespace

void CLSMG_SETUPVARIANTI::AggiornaPrezzoNetto() {
    try {
        if (!recordset_ || recordset_->IsBOF() || recordset_->IsEOF()) return;
        auto net = NetPriceOf(price_calculation_.get(), *recordset_, posizioni_netto_);
        const Variant valore = net ? *net : Variant::Null();
        const int i = posizioni_netto_.indici[kNetto];
        if (i < 0) {
            recordset_->SetValue("BLT_PREZZONETTO", valore);
        } else {
            // A net price the row holds already is not written again: a recalculation computes the net
            // price of thousands of rows whose inputs did not change, and a row nobody changed stays as
            // it was. The price is converted to what the field stores once, for the comparison and the
            // write (a Double into the Double field is stored as it is).
            const Variant come_campo = recordset_->ConvertValue(i, valore);
            if (!(come_campo == recordset_->Value(i))) recordset_->SetValue(i, come_campo);
        }
        RicordaNetto();
    } catch (const std::exception&) {
        // Errors are ignored here: the caller's row stays as the steps above left it.
    }
}

void CLSMG_SETUPVARIANTI::NettiCalcolati() {
    NettiIgnoti();
    try {
        if (!recordset_ || !price_calculation_) return;
        auto tutte = recordset_->Clone();
        tutte->SetFilter(Variant(int32_t{kv::ado::adFilterNone}));
        netti_base_ = tutte->IsEOF() ? 0 : tutte->BookmarkNumber();
        netti_clock_ = recordset_->ChangeClock();
        netti_righe_ = recordset_->Rows().rows;
    } catch (const std::exception&) {
        NettiIgnoti();
    }
}

void CLSMG_SETUPVARIANTI::RicordaNetto() {
    if (netti_righe_ == 0) return;
    if (recordset_->Rows().rows != netti_righe_) return NettiIgnoti();
    long long segnalibro = 0;
    const uint64_t clock = recordset_->RowClock(&segnalibro);
    const long long i = segnalibro - netti_base_;
    if (i < 0) return;
    const auto k = static_cast<std::size_t>(i);
    if (k >= netti_riga_.size()) netti_riga_.resize(k + 1, 0);
    netti_riga_[k] = clock;
}

bool CLSMG_SETUPVARIANTI::NettoGiusto() const {
    try {
        if (netti_righe_ == 0 || !recordset_ || !price_calculation_ || recordset_->Rows().rows != netti_righe_)
            return false;
        long long segnalibro = 0;
        const uint64_t clock = recordset_->RowClock(&segnalibro);
        if (clock <= netti_clock_) return true;
        const long long i = segnalibro - netti_base_;
        return i >= 0 && static_cast<std::size_t>(i) < netti_riga_.size() &&
               netti_riga_[static_cast<std::size_t>(i)] == clock;
    } catch (const std::exception&) {
        return false;
    }
}

std::optional<kv::services::NetPriceSteps> CLSMG_SETUPVARIANTI::PassiPrezzoNetto(kv::ado::Recordset* riga) {
    try {
        kv::ado::Recordset* rs = riga ? riga : recordset_.get();
        if (!rs || rs->IsBOF() || rs->IsEOF()) return std::nullopt;
        // Another recordset than the matrix's rows has positions of its own, found for this call.
        Posizioni proprie;
        Posizioni& ix = rs->Rows().rows == posizioni_netto_.righe ? posizioni_netto_ : proprie;
        if (!NetPriceOf(price_calculation_.get(), *rs, ix)) return std::nullopt;
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
        Trova(*recordset_, posizioni_netto_);
        const auto& indici = posizioni_netto_.indici;
        for (int c = 0; c < kNetto; ++c) {
            const int i = indici[static_cast<std::size_t>(c)];
            if (i < 0 || i >= static_cast<int>(riga.size())) return Variant::Null();
            riga[i] = recordset_->ConvertValue(i, riga[i]);
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
                    auto net = NetPriceOf(price_calculation_.get(), *recordset_, posizioni_netto_);
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
