#pragma once
// The loaded price matrix as a CSV file, for the price sheets users keep in spreadsheets: one line per
// list and option, after a header line:
//   Listino;Opzione 1;Descrizione 1;Opzione 2;Descrizione 2;Prezzo lordo;Sc.%1;...;Sc.%6;Sc. importo;
//   Mg.%1;Mg.%2;Mg. importo;Prezzo netto
// The separator is ';' (Italian spreadsheets use it, since the comma is the decimal mark); numbers
// carry a decimal comma and no thousands mark, every stored digit (15 significant at most, what a
// stored price holds), so a file read back gives the very values written; a blank cell is an empty
// price. A text holding ';', a double quote or a line break is written between double quotes with its
// quotes doubled. The file is UTF-8 with a byte-order mark and CR LF line ends, as Italian spreadsheets
// open it without asking; the import reads it with or without either.
//
// Import: the columns are found by their header caption, so a sheet may keep only some of them (list
// and the two options are required, unknown captions are ignored, "Prezzo netto" and the descriptions
// are only read for the eye: the net price follows from the others). Each line names its matrix row by
// list and options; a line that names none is reported by its number and skipped. The file is read
// whole before anything changes: a number that does not read, or a list and option named by two lines,
// refuses the whole file. The values of a
// matched line are stored with the grids' edit rule (StoreEdit below) and the row's net price is
// recomputed, as a typed cell would; values equal to the stored ones are no edit.
// (StoreEdit: grid_edit_rule.h.)

#include <functional>
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ado/recordset.h"
#include "platform/variant/variant.h"
#include "window/price_rule.h"

namespace qmx {

// Writes every row of the matrix (whatever its filter shows), in the matrix's order.
void WriteMatrixCsv(kv::ado::Recordset& matrix, std::ostream& out);

struct CsvLine {
    long number = 0;  // line of the file, from 1 (the header is line 1)
    long list = 0;
    std::string option1;
    std::string option2;
    std::vector<std::pair<std::string, kv::Variant>> values;  // matrix field, value (Null for blank)
};

struct CsvRead {
    std::vector<CsvLine> lines;
    std::string error;  // why the file was refused (Italian); empty when read
};

CsvRead ReadMatrixCsv(std::string_view text);

struct CsvApplied {
    long rows = 0;                    // matrix rows changed
    long cells = 0;                   // values stored
    std::vector<long> unmatched;      // line numbers naming no matrix row
    std::string error;                // why nothing was applied (Italian, naming line and column)
};

// Applies the lines to the matrix. The matrix's filter is lifted while the lines are applied and put
// back afterwards, with the current row, so rows the grid does not show now are reached too.
// `net_price` is called with the matrix on each changed row (the matrix driver's AggiornaPrezzoNetto).
// With `regola`, every value first meets the price rule, as a typed cell does (and is kept as the rule
// keeps it): one it refuses refuses the whole file, nothing applied.
CsvApplied ApplyMatrixCsv(kv::ado::Recordset& matrix, const CsvRead& read, const std::function<void()>& net_price,
                          const RegolaPrezzi* regola = nullptr);

// The Italian report of an import: how many rows changed and which lines matched no row.
std::string CsvReport(const CsvApplied& applied);

}  // namespace qmx
