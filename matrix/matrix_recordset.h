#pragma once
// The matrix recordset: one row per price list taking part in fast creation and variant option, with
// every column of a stored price-list row plus the display columns. It is fabricated (no connection),
// client-side and batch-optimistic, so nothing reaches the database before the save writes the rows.
// The price-list driver creates it; the variant driver and the grid share the same object.

//
// Grid type 4 shows the matrix pivoted: one row per list and first-level option, one column per
// second-level option ("BLT_1" ... "BLT_n"), each cell holding the value of one element (a price
// field of the matrix) of the matrix row behind it. The pivot recordset has the same cursor settings.

#include <string>
#include <string_view>

#include "platform/ado/recordset.h"

namespace qmx {

// The matrix recordset with its fields appended in their fixed order and its cursor settings; not open.
kv::ado::RecordsetPtr CreateMatrixRecordset();

// The pivot recordset, not open: the fixed fields, then "BLT_1" to "BLT_<option_columns>" (Doubles).
// For grid type 4 the option fields are 60 characters wide, room for "code - description", and
// BLT_CODOPZIONE1 holds the bare code; for any other grid type the option fields are 20 wide and
// there is no BLT_CODOPZIONE1. A negative option_columns counts as 0.
kv::ado::RecordsetPtr CreatePivotRecordset(int grid_type, long option_columns);

// Whether a matrix field of this type holds text: blanking a matrix turns it into " ", and a save
// writes it as text. (Long ANSI text is not among them: the matrix has none.)
inline bool IsText(kv::ado::DataTypeEnum t) {
    switch (t) {
        case kv::ado::adBSTR:
        case kv::ado::adChar:
        case kv::ado::adWChar:
        case kv::ado::adVarChar:
        case kv::ado::adVarWChar:
        case kv::ado::adLongVarWChar:
            return true;
        default:
            return false;
    }
}

// The matrix field behind an element caption of grid type 4 ("Prezzo lordo" -> LI10_PREZZO,
// "Importo Netto" -> BLT_PREZZONETTO...); "" for a caption that names no element. Captions are
// compared exactly, as the side list offers them.
std::string GetCampoElemento(std::string_view element);

}  // namespace qmx
