#pragma once
// The stored LI10_LISTARTIC rows of one article and kind as the matrix loading and the save see them:
// read with one query and matched to matrix rows in memory. Private to matrix/.

#include <string>
#include <unordered_map>
#include <vector>

#include "platform/ado/recordset.h"
#include "platform/controls/data_grid.h"
#include "platform/variant/error.h"
#include "platform/variant/variant.h"

namespace qmx {

struct StoredPriceRows {
    // The stored rows as read: the columns a matrix row may take over, then the key columns.
    kv::ado::RecordsetPtr rows;
    // Where the columns a matrix row may take over are in the matrix, in the order they were read.
    std::vector<int> matrix_fields;
    std::unordered_map<std::string, std::vector<long>> by_key;  // key -> positions (1-based) in rows
    // Positions of the fields a loader writes into each new matrix row (m_...) and reads from the
    // list (l_...) and option (o_...) recordsets, found once per load; -1 when absent.
    struct Indici {
        int m_id, m_numlist, m_codvar1, m_opz1, m_descr1, m_codvar2, m_opz2, m_descr2, m_valuta, m_provper, m_ditta,
            m_decor, m_vendacq, m_tipolis, m_codart, m_opzione, m_dataini, m_datafine, m_netto;
        int l_numlist, l_valuta, l_percprov;
        int o_codvar, o_opz, o_descr;
    } indici{};
    // The values every row of the load is written with.
    kv::Variant ditta, vendacq, articolo;
    kv::Date oggi;
    // The new row being filled, one value per matrix field; Null between rows. Its key, as ChiaveListino
    // gives it.
    std::vector<kv::Variant> riga;
    std::string chiave;
};

// What every new matrix row of one list takes from it, worked out at the list's first row.
struct DatiListino {
    kv::Variant numlist, valuta;
    kv::Variant provper = kv::Variant::Null();  // Null when the list has no commission percentage
    kv::Variant data_ini, data_fine;  // numlist and the dates as the matrix stores them
    std::string chiave;  // the part of a row's key after its option code
};

// What every new matrix row of one option takes from it.
struct DatiOpzione {
    kv::Variant codvar, opzione, descr;  // code and option without trailing blanks
};

// The part of a stored row's key that differs between the rows of one article and kind, compared as
// the database compares it: the option code equal up to trailing blanks (it is fixed-width text), the
// list number as a number, both validity dates by day. Raises 13 when a date is not a date (the
// statement that would have looked the row up could not have been written either).
std::string ChiaveListino(const kv::Variant& opzione, const kv::Variant& num_list, const kv::Variant& data_ini,
                          const kv::Variant& data_fine);

// The driver's grid and matrix, or error 91 when the window has not set them: a driver operation then
// fails (State 99) instead of touching nothing.
inline kv::controls::DataGrid& Griglia(const std::shared_ptr<kv::controls::DataGrid>& grid) {
    if (!grid) throw kv::Error(kv::err::kObjectNotSet, "Propriet\u00e0 Grid non impostata!", "CLSMG_SETUPVARIANTI");
    return *grid;
}
inline kv::ado::Recordset& Matrice(const kv::ado::RecordsetPtr& rs) {
    if (!rs) throw kv::Error(kv::err::kObjectNotSet, "Propriet\u00e0 Recordset non impostata!", "CLSMG_SETUPVARIANTI");
    return *rs;
}

}  // namespace qmx
