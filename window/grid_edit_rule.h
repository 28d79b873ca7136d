#pragma once
// The price grids' edit rule, shared by a typed cell and by the commands that change many cells at
// once (CSV import): a blank or 0 over an empty cell leaves it empty, so an untouched price is not
// turned into a stored 0; anything else is stored, a blank as 0.

#include <string>

#include "platform/ado/recordset.h"
#include "platform/variant/variant.h"
#include "shell/modmg_quendormixal.h"

namespace qmx {

// Stores `typed` into field `field` (a name, or a position for many rows) of the matrix's current row,
// which holds `stored` there, by the rule; true when something was stored.
template <typename Field>
inline bool StoreEditOver(kv::ado::Recordset& matrix, const Field& field, const kv::Variant& typed,
                          const kv::Variant& stored) {
    const kv::Variant nuovo = NZ(typed);
    // An empty cell: nothing, or text of blanks only (a number or a date always has a text).
    const bool vuota = kv::IsBlank(stored) || (stored.IsString() && kv::RTrim(stored.StringValue()).empty());
    if (vuota && kv::CDec(nuovo).IsZero()) return false;
    matrix.SetValue(field, nuovo);
    return true;
}

template <typename Field>
inline bool StoreEdit(kv::ado::Recordset& matrix, const Field& field, const kv::Variant& typed) {
    return StoreEditOver(matrix, field, typed, matrix.Value(field));
}

}  // namespace qmx
