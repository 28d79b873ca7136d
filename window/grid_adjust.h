#pragma once
// Raising or lowering a selection of prices at once: "all the prices of this supplier +3 %". The
// change is a percentage ("+3%", "-2,5 %") or an amount ("+0,50", "-1"), applied to every cell of the
// selection that holds a value; empty cells stay empty. The new value is rounded with a rounding
// bracket when one is given (the host's bracket service, which also rounds to the currency's
// unit-price decimals), otherwise to the decimals the column shows, half away from zero, so what is
// stored is what the user sees.
//
// All or nothing, as a paste: every new value is worked out and checked as the grid checks a typed
// cell before any is typed; a value that would go below zero refuses the whole change. Each cell is
// then typed into the grid with its own edit, so the window's edit handlers store it, recompute the
// net price and leave it pending until "Conferma".

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/controls/data_grid.h"
#include "platform/variant/decimal.h"

namespace qmx {

struct Adjustment {
    bool percent = false;
    kv::Decimal amount;  // signed: the percentage or the amount
};

// "+3%", "-3 %", "3%", "+0,50", "-0.50", "2"; nullopt (and `error`, Italian) when it does not read.
std::optional<Adjustment> ReadAdjustment(std::string_view text, std::string& error);

// The value changed, not yet rounded.
kv::Decimal Adjusted(const kv::Decimal& value, const Adjustment& adjustment);

struct AdjustOutcome {
    bool applied = false;
    long cells = 0;       // cells changed
    std::string message;  // why nothing changed (Italian), empty when applied
};

// The rounding of a new value of grid row `row`; empty for the column's decimals.
using AdjustRounding = std::function<kv::Decimal(long row, const kv::Decimal& value)>;

// Adjusts the cells of `column` in the grid rows `rows` (0-based).
AdjustOutcome AdjustCells(kv::controls::DataGrid& grid, const std::vector<long>& rows, long column,
                          const Adjustment& adjustment, const AdjustRounding& rounding);

}  // namespace qmx
