#pragma once
// The purchase matrix rows by the key a sales row finds its reference purchase rows with: the list
// number and the two variant codes and options. A recalculation looks up thousands of sales rows; filtering
// the purchase matrix for each (its text made, parsed, looked up) cost more than the price update itself,
// so a run builds this table once and finds each row's purchase rows in it.
//
// The rows found are the rows Recalculation::FiltroAcquisto's filter shows, in the same order: the list
// compared as a number, each text without regard to case or trailing blanks, a blank or Null value on
// either side as the empty text: a level a one-level grid leaves empty matches. Costruisci refuses a matrix whose
// key fields are not of the kinds it compares this way (the caller filters instead then).
//
// The table holds row bookmarks: it stays right while the run changes prices only, not keys or rows.

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/ado/recordset.h"

namespace qmx {

class RigheAcquisto {
public:
    // Reads every row of the purchase matrix (through a clone: acq keeps its position). False, and an
    // empty table, when a key field of either matrix is missing or not of the kind compared here.
    bool Costruisci(kv::ado::Recordset& acq, kv::ado::Recordset& ven);
    // The bookmarks (ascending) of the purchase rows of the sales matrix's current row on purchase list
    // `lista`. REQUIRES: Costruisci succeeded, ven stands on a row. Valid until the next call.
    const std::vector<int64_t>& Trova(kv::ado::Recordset& ven, int16_t lista);

private:
    static constexpr int kTesti = 4;  // BLT_CODICEVAR1, BLT_OPZIONE1, BLT_CODICEVAR2, BLT_OPZIONE2

    // A key: the list and each text by its number in its field's table of texts. The matrices hold
    // a few dozen different texts, so the key is a handful of integers, not text.
    struct Chiave {
        int64_t lista = 0;
        int32_t testi[kTesti] = {};
        bool operator==(const Chiave&) const = default;
    };
    struct HashChiave {
        std::size_t operator()(const Chiave& c) const;
    };
    // The different texts of one key field, as the filter compares them, and the last one asked for.
    struct HashTesto {
        using is_transparent = void;
        std::size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
    };
    struct Testi {
        std::unordered_map<std::string, int32_t> numeri;
        // The number of each text as read (its case as it stands), so that a text read again is not
        // compared anew.
        std::unordered_map<std::string, int32_t, HashTesto, std::equal_to<>> letti;
        static constexpr int32_t kNessuno = -2;
        std::string ultimo;  // as read, before it is compared
        int32_t ultimo_numero = kNessuno;
        // The text's number; -1 for a text no purchase row has, when `aggiungi` is false.
        int32_t Numero(std::string_view letto, bool aggiungi);
    };
    // The row's list (as a whole number: false when it is none) and key texts, read without copying
    // them where the fields hold Doubles and text; `valori` is where they are read otherwise.
    bool LeggiChiaveAcquisto(kv::ado::Recordset& acq, bool esatto, Chiave& chiave);
    bool lista_double_ = false;
    // The rows of a key are chained in the matrix's order: the first and last of each key (in a table
    // of open addressing, twice the rows in size; a free place has no first row), and for each row the
    // one after it.
    struct Catena {
        Chiave chiave;
        int32_t prima = -1, ultima = -1;
    };
    Catena* Cerca(const Chiave& chiave, bool aggiungi);

    int acq_lista_ = -1;
    int acq_testi_[kTesti] = {};
    int ven_testi_[kTesti] = {};
    Testi testi_[kTesti];
    std::vector<Catena> catene_;
    std::vector<int64_t> segnalibri_;
    std::vector<int32_t> seguente_;
    // Each row's key, and whether it is the first row of its key. Sales rows come in the order of
    // their purchase rows, mostly: the row after the last one found is tried before the table.
    std::vector<Chiave> chiavi_;
    std::vector<uint8_t> prima_;
    int32_t ultima_trovata_ = -1;
    std::vector<int64_t> trovate_;  // the last answer
};

}  // namespace qmx
