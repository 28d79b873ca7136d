#pragma once
// Spreadsheet blocks in and out of a price grid. A spreadsheet puts a block of cells on the clipboard
// as text: one line per row (ending in LF or CR LF, the last one too), cells separated by tabs, a cell
// holding a tab, a line break or a double quote between double quotes with its quotes doubled.
//
// Paste: the block lands on the grid from a starting cell, rightwards over the visible columns and
// downwards over the rows the grid shows. It is all or nothing: every cell is first checked as the
// grid checks what a user types (editable, readable as the column's type), and only when all of them
// read is each one typed into its cell with the grid's own edit (UserEditCell), so the window's edit
// handlers store it, recompute the net price and mark the changes pending exactly as for a typed cell.
// A block that runs past the last row or column is refused too: cutting it silently would drop prices
// the user meant to paste.
//
// Numbers: spreadsheets copy numbers as they show them, with Italian separators ("1.234,56") or with a
// decimal point ("1234.56", "1,234.56"), sometimes with a currency or percent sign. A cell whose
// separators say which way it is written is read that way; a cell that could be either ("1.234",
// "1,5" next to point decimals) follows the rest of the block, and the grid's regional settings when the
// block does not tell. The number then reaches the grid in the grid's own format.
//
// Copy: the cells of a range as the grid displays them (Italian format), in the same text layout.

#include <string>
#include <string_view>
#include <vector>

#include "platform/controls/data_grid.h"

namespace qmx {

// A rectangle of grid cells, rows and columns 0-based and inclusive.
struct CellRange {
    long first_row = 0;
    long first_column = 0;
    long last_row = 0;
    long last_column = 0;
};

// The rows of a clipboard block, each a list of cell texts. A trailing line break ends the last row
// rather than starting an empty one. Empty text gives no rows.
std::vector<std::vector<std::string>> ReadSheetBlock(std::string_view text);

// A pasted cell in the grid's own number format (see the top); `point_decimals` is the block's way
// when the cell alone does not say. Text that is no number at all is handed on as it stands, for the
// grid to refuse.
std::string GridNumberText(std::string_view cell, bool point_decimals, const kv::RegionalSettings& rs);

// Whether the numbers of a block are written with a decimal point: true when some cell can only be
// read that way and none can only be read the Italian way.
bool BlockUsesPointDecimals(const std::vector<std::vector<std::string>>& block, const kv::RegionalSettings& rs);

struct PasteOutcome {
    bool applied = false;
    long cells = 0;       // cells typed into the grid
    std::string message;  // why nothing was pasted (Italian), empty when applied
};

// Pastes `text` into `grid` from (row, column). Nothing is edited unless every cell reads.
PasteOutcome PasteBlock(kv::controls::DataGrid& grid, long row, long column, std::string_view text);

// The cells of `range` as the grid displays them, in the clipboard layout; hidden columns are left out.
std::string CopyBlock(const kv::controls::DataGrid& grid, const CellRange& range);

}  // namespace qmx
