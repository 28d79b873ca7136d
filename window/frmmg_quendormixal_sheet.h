#pragma once
// The window's spreadsheet commands on its price grids: paste and copy of cell blocks, CSV export and
// import of a matrix, and the adjustment of a selection by a percentage or an amount. They work
// through the window's grids and drivers as a user's typing does (grid_clipboard.h, grid_csv.h,
// grid_adjust.h say how), so every change is pending until "Conferma". A refusal or a report is shown
// through the window's message service ("Attenzione"); errors go to VisualizzaErrore with the
// command's procedure name. Each returns true when it changed (or, for export and copy, wrote) what it
// was asked to.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "window/frmmg_quendormixal.h"
#include "window/grid_clipboard.h"

namespace qmx {

// Pastes a clipboard block into `grid` from its current cell.
bool IncollaBlocco(FRMMG_QUENDORMIXAL& w, kv::controls::DataGrid& grid, std::string_view text);

// The cells of `range` as the grid shows them, in the clipboard's layout.
std::string CopiaBlocco(const kv::controls::DataGrid& grid, const CellRange& range);

// The whole purchase (`acquisto`) or sales matrix to the CSV file `path`.
bool EsportaCsv(FRMMG_QUENDORMIXAL& w, bool acquisto, const std::string& path);

// Reads the CSV file `path` into the purchase or sales matrix; the result (rows changed, lines
// unmatched) is shown to the user.
bool ImportaCsv(FRMMG_QUENDORMIXAL& w, bool acquisto, const std::string& path);

// Raises or lowers the cells of `column` in the grid rows `rows` by `variazione` ("+3%", "-0,50"),
// rounded with the rounding bracket `scaglione` (0: the column's decimals).
bool RettificaPrezzi(FRMMG_QUENDORMIXAL& w, kv::controls::DataGrid& grid, const std::vector<long>& rows,
                     long column, std::string_view variazione, int16_t scaglione);

// The stored validity periods of the purchase (`acquisto`) or sales rows of the key on screen, among
// the lists the grid shows, the latest first.
std::vector<PeriodoMemorizzato> PeriodiDaCopiare(FRMMG_QUENDORMIXAL& w, bool acquisto);

// "Da periodo": the chosen stored periods' prices into the grids, the gross price changed and rounded
// as chosen; the result (rows changed, rows without a price, options only in the source) is shown.
bool DaPeriodo(FRMMG_QUENDORMIXAL& w, const SceltaPeriodo& scelta);

// The toolbar's "Da periodo": lists the periods, asks the user (the window's scegli_periodo), copies.
bool ApriDaPeriodo(FRMMG_QUENDORMIXAL& w);

// The breakdown's line for the matrix row `riga` stands on, when its gross price is still the one
// "Da periodo" wrote.
std::optional<std::string> OrigineDaPeriodo(FRMMG_QUENDORMIXAL& w, bool vendita, kv::ado::Recordset& riga);

// The grid rows of price list `listino` (the "N." column), for adjusting a whole list.
std::vector<long> RigheListino(const kv::controls::DataGrid& grid, long listino);

}  // namespace qmx
