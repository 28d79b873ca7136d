#pragma once
// The matrix recordset: one row per price list taking part in fast creation and variant option, with
// every column of a stored price-list row plus the display columns. It is fabricated (no connection),
// client-side and batch-optimistic, so nothing reaches the database before the save writes the rows.
// The price-list driver creates it; the variant driver and the grid share the same object.

#include "platform/ado/recordset.h"

namespace qmx {

// The matrix recordset with its fields appended in their fixed order and its cursor settings; not open.
kv::ado::RecordsetPtr CreateMatrixRecordset();

}  // namespace qmx
