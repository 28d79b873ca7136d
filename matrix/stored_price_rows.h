#pragma once
// The stored LI10_LISTARTIC rows of one article and kind as the matrix loading and the save see them:
// read with one query and matched to matrix rows in memory. Private to matrix/.

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/ado/connection.h"
#include "platform/ado/recordset.h"
#include "platform/controls/data_grid.h"
#include "platform/variant/error.h"
#include "platform/variant/variant.h"

namespace qmx {

struct StoredPriceRows {
    // The values of the columns a matrix row takes over, per stored row.
    std::vector<std::vector<kv::Variant>> rows;
    // Where those columns are in the matrix, in the same order.
    std::vector<int> matrix_fields;
    std::unordered_map<std::string, std::vector<std::size_t>> by_key;  // key -> indexes in rows
    // Positions of the fields a loader writes into each new matrix row (m_...) and reads from the
    // list (l_...) and option (o_...) recordsets, found once per load; -1 when absent.
    struct Indici {
        int m_id, m_numlist, m_codvar1, m_opz1, m_descr1, m_codvar2, m_opz2, m_descr2, m_valuta, m_provper, m_ditta,
            m_decor, m_vendacq, m_tipolis, m_codart, m_opzione, m_dataini, m_datafine;
        int l_numlist, l_valuta, l_percprov;
        int o_codvar, o_opz, o_descr;
    } indici{};
};

// Reads the stored rows of one article and kind (company, use, kind, list type, article) with one
// query: their copied columns and where each key is. The indexes for the loaders are left unset.
std::shared_ptr<StoredPriceRows> LeggiListiniArticolo(const kv::ado::ConnectionPtr& connection,
                                                      const std::vector<kv::Variant>& gruppo);

// What a save compares to find the rows another desktop changed since this one loaded them: the
// values this window edits (gross price, the six discounts, the discount amount, the two markups, the
// markup amount and the recharge), as the save writes them - blank as 0, numbers exactly. The other
// columns a save writes are its own bookkeeping (flags it sets, creation dates it fills in), which
// any desktop's save rewrites; comparing them would report rows nobody edited.
inline constexpr int kColonneConfrontate = 12;
extern const char* const kNomiConfrontati[kColonneConfrontate];

struct OriginaliMatrice {
    using Valori = std::vector<kv::Variant>;  // kColonneConfrontate Decimals
    // The article and kind the matrix was loaded for, as the save groups its rows.
    std::vector<std::string> gruppo;
    // The stored rows as they were at load (or at the last save), by ChiaveListino: the sorted
    // Impronta of each (none, one, or - for a key stored more than once - all of them).
    using Firma = std::vector<std::string>;
    std::unordered_map<std::string, Firma> per_chiave;
    // The compared values each matrix row had then, by bookmark: a row that differs was edited here.
    std::unordered_map<long long, std::string> righe;
};

// The compared values of a stored row (its copied columns, StoredPriceRows order).
OriginaliMatrice::Valori ValoriConfrontatiMemorizzati(const std::vector<kv::Variant>& copiati);
// A canonical text of compared values, equal exactly when the values are.
std::string Impronta(const OriginaliMatrice::Valori& valori);
// Whether the stored rows of a key are now as they were (the same rows, whatever their order).
bool StessiListini(const OriginaliMatrice::Firma& prima, const OriginaliMatrice::Firma& ora);
// The Firma of the stored rows of every key.
std::unordered_map<std::string, OriginaliMatrice::Firma> FirmePerChiave(const StoredPriceRows& letti);
// The key of the article and kind a matrix row belongs to, as the save groups rows.
std::vector<std::string> GruppoDi(kv::ado::Recordset& riga);

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
