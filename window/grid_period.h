#pragma once
// "Da periodo…": a new validity period's prices started from a stored one, as a new season is made
// from the last. The stored rows of the article and kind are grouped by their validity period, so the
// user can pick one; the prices of the picked period (gross price, discounts, markups, recharge) go
// into the matrix rows of the same list and option, the gross price changed by a percentage or an
// amount (as "Rettifica prezzi" reads it) and rounded with a rounding bracket when one is given.
//
// Each value is stored as a typed cell would be (the grids' edit rule and the price rule, the net
// price recomputed), so the changes are pending until "Conferma" and one undo takes them all back.
// All or nothing: every value is worked out and checked before any is stored, and one the price
// rule refuses refuses the copy. A stored row whose list and option the matrix has no row for, and a
// matrix row the period has no price for, are reported, not guessed. A matrix row whose own validity
// period is the source period (a list that keeps its own dates) is left alone and reported: copying a
// period onto itself would change the stored prices it was asked to start from.

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/ado/recordset.h"
#include "platform/variant/date.h"
#include "platform/variant/decimal.h"
#include "window/grid_adjust.h"
#include "window/price_rule.h"

namespace qmx {

struct PeriodoMemorizzato {
    kv::Date inizio, fine;
    std::set<long> listini;
    long righe = 0;
};

// The validity periods of `memorizzati` (stored rows: LI10_NUMLIST, LI10_DATAINIZIOVAL,
// LI10_DATAFINEVAL and the prices) among the lists `listini`, the latest start first.
std::vector<PeriodoMemorizzato> PeriodiMemorizzati(kv::ado::Recordset& memorizzati, const std::set<long>& listini);

// "01/07/2025 - 30/06/2026 (listini 2, 3: 48 righe)"
std::string DescriviPeriodo(const PeriodoMemorizzato& periodo);

// What the user chose in "Da periodo": a stored period per kind (none: that kind is not touched), the
// change of the gross price ("+5%", "-0,50"; empty: none) and a rounding bracket (0: none).
struct SceltaPeriodo {
    std::optional<PeriodoMemorizzato> acquisto, vendita;
    std::string variazione;
    int16_t scaglione = 0;
};

struct CopiaPeriodo {
    kv::Date inizio, fine;
    std::optional<Adjustment> variazione;  // none: the gross price as stored
    // The rounding of a changed gross price in the row's currency; empty: the price rule's decimals.
    std::function<kv::Decimal(const kv::Decimal& valore, const std::string& valuta)> arrotonda;
};

struct EsitoPeriodo {
    long righe = 0;  // matrix rows changed
    long celle = 0;  // values stored
    long senza_origine = 0;                  // matrix rows the period has no price for
    long stesso_periodo = 0;                 // matrix rows whose own period is the source itself
    std::vector<std::string> solo_origine;   // "listino 2, opzione VER XL": stored rows with no matrix row
    std::string errore;                      // why nothing was stored (Italian)
    // The gross price each changed row received, by matrix bookmark, for the breakdown.
    std::vector<std::pair<kv::Variant, kv::Variant>> lordi;
};

// The period's values for the matrix, worked out and checked, nothing stored yet; `esito` says what
// will change and why nothing may (errore).
struct PeriodoPreparato {
    EsitoPeriodo esito;
    struct Riga {
        kv::Variant bookmark;
        std::array<kv::Variant, 12> valori;  // gross price, discounts, markups, recharge
        kv::Variant netto;                   // the net price they give, when the check worked it out
    };
    std::vector<Riga> righe;
};
PeriodoPreparato PreparaPeriodo(kv::ado::Recordset& matrice, kv::ado::Recordset& memorizzati,
                                const CopiaPeriodo& copia, const RegolaPrezzi* regola);
// Stores what was prepared (the matrix's filter is lifted and put back with the current row). A changed
// row takes the net price the check worked out for its values; `net_price` is called, with the matrix on
// the row, for one it has none for. Fills in the rows and cells changed.
void ScriviPeriodo(kv::ado::Recordset& matrice, PeriodoPreparato& preparato, const std::function<void()>& net_price);

// The Italian report of a copy: rows changed, rows without a source, options only in the source.
std::string RapportoPeriodo(const EsitoPeriodo& esito);

}  // namespace qmx
