#pragma once
// The price grids' edit rule, shared by a typed cell and by the commands that change many cells at
// once (CSV import): a blank or 0 over an empty cell leaves it empty, so an untouched price is not
// turned into a stored 0; anything else is stored, a blank as 0.

#include <string>

#include "platform/ado/recordset.h"
#include "platform/variant/variant.h"
#include "shell/modmg_quendormixal.h"

namespace qmx {

// Stores `typed` into field `field` (a name, or a position for many rows) of the matrix's current row by
// the rule; true when something was stored.
template <typename Field>
inline bool StoreEdit(kv::ado::Recordset& matrix, const Field& field, const kv::Variant& typed) {
    const kv::Variant nuovo = NZ(typed);
    const std::string vecchio = kv::CStr(NS(matrix.Value(field)));
    if (vecchio.empty() && kv::CDec(nuovo).IsZero()) return false;
    matrix.SetValue(field, nuovo);
    return true;
}

}  // namespace qmx
