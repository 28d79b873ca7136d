#pragma once
// The window's recalculation of the sales lists: every row of the sales matrix is derived again, by
// PriceUpdate, from the purchase matrix row of its list's reference purchase list
// (MG44_NUMLISTACQRIC) with the same variant options. It works on the two matrix recordsets only;
// nothing reaches the database before the user confirms.
//
// RicalcolaListini serves grid types 1 to 3: the grids are unbound and the matrices unfiltered while it
// walks, and both are given back their filter (standing on their first row) and their grid at the end.
// It finds each sales row's purchase rows in a table of the purchase matrix made once per run
// (RigheAcquisto), which gives the rows FiltroAcquisto's filter would show.
// RicalcolaListini4 serves grid type 4: it walks the matrices behind the pivots and rebuilds the sales
// pivot at the end.
//
// Both are window procedures under the window's error trap, reported as "RicalcolaListini" /
// "RicalcolaListini4" after the purchase matrix driver's SetStatusOperationError. When the user leaves
// a run after an error, the run still gives the grids their binding, the matrices their filters and
// the drivers their bEnableRowColChange back, so the window stays usable. A sales row whose reference
// list or options have no purchase row is left as it is.

#include <map>
#include <optional>
#include <utility>
#include <string>

#include "pricing/price_update.h"

namespace qmx {

// The toolbar button the runs enable again when they finish, and the grid-type-4 element they leave the
// sales pivot on.
inline constexpr const char* kRicalcola = "RICALCOLA";
inline constexpr const char* kPrezzoLordo = "Prezzo lordo";

class Recalculation {
public:
    explicit Recalculation(PricingContext context) : prezzi_(std::move(context)) {}
    void SetContext(PricingContext context) { prezzi_.SetContext(std::move(context)); }
    PriceUpdate& Prezzi() { return prezzi_; }

    // The reference purchase list of sales list numList; 0 when the list has no single parameter row or
    // no reference. Leaves the sales parameters unfiltered.
    int16_t GetNumListAcqRif(const kv::Variant& numList);
    void RicalcolaListini();
    void RicalcolaListini4();

    // The purchase matrix filter that finds the purchase rows of a sales row: its reference list and
    // its variant codes and options, each text between apostrophes with its apostrophes doubled.
    std::string FiltroAcquisto(const kv::ado::RecordsetPtr& ven, int16_t lista_acquisto) const;

private:
    const PricingContext& Ctx() const { return prezzi_.Context(); }
    void DoEvents() const;
    // The reference purchase list of the sales row's list.
    int16_t Riferimento(const kv::ado::RecordsetPtr& ven);
    // A run walks thousands of rows over a handful of lists. It reads each list's reference once, and
    // filters the sales parameters only when the list changes; at its end the parameters are left as
    // the row-by-row walk would leave them.
    void InizioGiro();
    void FineGiro();
    void FiltraParametri(const kv::ado::RecordsetPtr& par, const kv::Variant& lista);

    PriceUpdate prezzi_;
    bool in_giro_ = false;
    std::map<std::string, int16_t> riferimenti_;  // sales list -> reference purchase list, in a run
    kv::Variant filtro_par_voluto_;               // the parameters' filter as the walk leaves it
    kv::Variant filtro_par_messo_;                // the filter they have
    std::optional<std::pair<kv::Variant, int16_t>> ultimo_riferimento_;  // the last list asked for, in a run
    std::optional<kv::Variant> ultima_lista_;     // the list of the parameters' last filter text
    kv::Variant ultimo_filtro_;                   // and that text
};

}  // namespace qmx
