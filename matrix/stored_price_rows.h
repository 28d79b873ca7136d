#pragma once
// The stored LI10_LISTARTIC rows of one article and kind as the matrix loading and the save see them:
// read with one query and matched to matrix rows in memory. Private to matrix/.

#include <algorithm>
#include <cstdint>
#include <limits>
#include <memory>
#include <memory_resource>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/ado/connection.h"
#include "platform/ado/recordset.h"
#include "platform/controls/data_grid.h"
#include "platform/variant/error.h"
#include "platform/variant/variant.h"

namespace qmx {

struct OriginaliMatrice;
struct StoredPriceRows;

// Where one key's stored rows are in a read (1-based positions, in the read's order). Nearly every key
// is stored once: its one position is held in place, and only a key stored more than once has a list,
// so a read of thousands of rows does not make a list for each of them.
class PosizioniChiave {
public:
    void push_back(long posizione) {
        if (altre_.empty() && prima_ == 0) {
            prima_ = posizione;
            return;
        }
        if (altre_.empty()) altre_.push_back(prima_);
        altre_.push_back(posizione);
    }
    bool empty() const { return prima_ == 0; }
    std::size_t size() const { return altre_.empty() ? (prima_ == 0 ? 0 : 1) : altre_.size(); }
    long front() const { return prima_; }
    const long* begin() const { return altre_.empty() ? &prima_ : altre_.data(); }
    const long* end() const { return begin() + size(); }

private:
    long prima_ = 0;           // 0: none
    std::vector<long> altre_;  // every position, when there is more than one
};

// Where each key's stored rows are in a read. The keys' texts and the table's entries are kept in room
// of the read's own, let go with it at once: a read of thousands of rows is made and dropped at every
// load, and giving back its keys one by one cost the next load more than making them.
class PosizioniPerChiave {
    using Mappa = std::pmr::unordered_map<std::string_view, PosizioniChiave>;

public:
    using const_iterator = Mappa::const_iterator;
    PosizioniPerChiave() : mappa_(&room_) {}
    PosizioniPerChiave(const PosizioniPerChiave&) = delete;
    PosizioniPerChiave& operator=(const PosizioniPerChiave&) = delete;

    // The key's positions, the key added (its text copied) when it is new.
    PosizioniChiave& operator[](std::string_view chiave) {
        if (auto it = mappa_.find(chiave); it != mappa_.end()) return it->second;
        char* testo = static_cast<char*>(room_.allocate(chiave.size() == 0 ? 1 : chiave.size(), 1));
        std::copy(chiave.begin(), chiave.end(), testo);
        return mappa_.try_emplace(std::string_view(testo, chiave.size())).first->second;
    }
    const_iterator find(std::string_view chiave) const { return mappa_.find(chiave); }
    const PosizioniChiave& at(std::string_view chiave) const { return mappa_.at(chiave); }
    const_iterator begin() const { return mappa_.begin(); }
    const_iterator end() const { return mappa_.end(); }
    std::size_t size() const { return mappa_.size(); }
    void reserve(std::size_t n) { mappa_.reserve(n); }

private:
    std::pmr::monotonic_buffer_resource room_;
    Mappa mappa_;
};

// The stored rows of one key: at these positions of a read of stored rows; none when nothing is stored.
struct RigheDiChiave {
    std::shared_ptr<const StoredPriceRows> letti;
    PosizioniChiave posizioni;
};

struct StoredPriceRows {
    // The stored rows as read: the columns a matrix row may take over, then the key columns (option,
    // list, validity start and end). A read of the compared columns only holds those, then the key.
    kv::ado::RecordsetPtr rows;
    bool solo_confrontati = false;
    // Where the key's columns start in `rows`.
    int PrimaColonnaChiave() const;
    // Where the columns a matrix row may take over are in the matrix, in the order they were read.
    std::vector<int> matrix_fields;
    // Where the compared columns (kNomiConfrontati) are in the matrix, found at the first row kept.
    std::vector<int> campi_confrontati;
    std::vector<kv::ado::DataTypeEnum> tipi_confrontati;  // and their types there
    std::vector<int> campi_diretti;  // where the columns copied as they are stored go in the matrix
    PosizioniPerChiave by_key;  // key -> its positions in rows
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
    // The new row being filled, one value per matrix field: what it takes from its stored row (the
    // copied columns, the net price) is Null between rows, the rest keeps the row before's values until
    // the loader writes the next row's. Its key, as ChiaveListino gives it.
    std::vector<kv::Variant> riga;
    std::string chiave;
    // How many rows the loader is going to add, when it knows (0 otherwise).
    long righe_attese = 0;
    // The originals of the matrix rows added so far, kept as each row is added (RegistraOriginali takes
    // them at the loader's end).
    std::shared_ptr<OriginaliMatrice> originali;
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

// Reads the stored rows of one article and kind (company, use, kind, list type, article) with one
// query: their copied columns and where each key is. With `opzioni`, only the rows of those option
// codes (compared without trailing blanks). The indexes for the loaders are left unset. With
// `solo_confrontati`, only the compared columns are read: enough to judge and record the rows, not to
// copy them into a matrix.
std::shared_ptr<StoredPriceRows> LeggiListiniArticolo(const kv::ado::ConnectionPtr& connection,
                                                      const std::vector<kv::Variant>& gruppo,
                                                      const std::vector<std::string>* opzioni = nullptr,
                                                      bool solo_confrontati = false);

// The columns a save writes that the user or the window can change: the gross price, the six
// discounts, the discount amount, the two markups, the markup amount and the recharge (the price
// columns, first), then the rounding indicator and bracket, the commission and its amount and
// conditions, and the rest of the row's own data (statistics date and page, the bonus figures, the
// free value, the media link, the note). A save writes a row only when one of them differs from what
// the row held when it was loaded or last saved, and a change another desktop made to any of them
// since is a conflict. The other columns a save writes are its own bookkeeping - flags it sets, the
// creation and update dates - and say nothing about what the user meant.
inline constexpr int kColonneConfrontate = 26;
inline constexpr int kColonnePrezzo = 12;
extern const char* const kNomiConfrontati[kColonneConfrontate];
enum class TipoConfrontato { kNumero, kTesto, kData };
TipoConfrontato TipoDi(int colonna);

struct OriginaliMatrice {
    using Valori = std::vector<kv::Variant>;  // kColonneConfrontate values
    // The article and kind the matrix was loaded for, as the save groups its rows.
    std::vector<std::string> gruppo;
    // The stored rows as they were at load (or at the last save). A key's Firma - the sorted Impronta of
    // each of its stored rows (none, one, or - for a key stored more than once - all of them) - is worked
    // out from them only when a save compares the key, so a load pays nothing for it.
    using Firma = std::vector<std::string>;
    std::shared_ptr<const StoredPriceRows> letti;
    // Keys whose stored rows were taken over since (a row reloaded, written over or saved): their Firma,
    // empty when nothing is stored. They hold over `letti`. The reads they came from are not kept: a
    // user who saves ten prices at a time all day would keep every read.
    std::unordered_map<std::string, Firma> per_chiave;
    // The matrix's change clock (Recordset::ChangeClock) when these values were last brought up to date:
    // a row whose values were not stored since still holds them.
    uint64_t orologio = 0;

    // The compared values each matrix row had then, by bookmark: a row that differs was edited here.
    // Bookmarks of one load are consecutive, so the values lie in one flat array, kColonneConfrontate a
    // row, from the row of bookmark `primo` on. A number or a date is kept as a double (a date by its
    // serial), a blank as NaN, so that an empty cell and a 0 typed into it differ; a text is kept aside,
    // by its place, without its trailing blanks.
    template <class Valore>  // Valore(i) gives the i-th compared value
    void Registra(long long bookmark, Valore&& valore) {
        const std::size_t i = Riga(bookmark);
        for (int c = 0; c < kColonneConfrontate; ++c) Metti(i * kColonneConfrontate + static_cast<std::size_t>(c), valore(c));
    }
    // The same from the row's values read as plain data (Recordset::Scalars): kColonneConfrontate of them.
    void RegistraScalari(long long bookmark, const kv::ado::Recordset::Scalar* valori) {
        const std::size_t i = Riga(bookmark);
        for (std::size_t c = 0; c < static_cast<std::size_t>(kColonneConfrontate); ++c) {
            const std::size_t posto = i * kColonneConfrontate + c;
            if (!testi.empty()) testi.erase(posto);
            const auto& v = valori[c];
            const bool numero = v.kind == kv::ado::Recordset::Scalar::kNumber || v.kind == kv::ado::Recordset::Scalar::kDate;
            righe[posto] = numero ? v.number : std::numeric_limits<double>::quiet_NaN();
            if (v.kind == kv::ado::Recordset::Scalar::kText && !v.text.empty()) testi.emplace(posto, v.text);
        }
    }
    // Room for the values of `righe_da_tenere` rows, made at once rather than as they come.
    void Riserva(long righe_da_tenere) {
        if (righe_da_tenere <= 0) return;
        const auto n = static_cast<std::size_t>(righe_da_tenere);
        presenti.reserve(n);
        righe.reserve(n * kColonneConfrontate);
    }
    // Whether the row's values were kept.
    bool Nota(long long bookmark) const;
    // Whether `attuali` differ from the values the row had: a blank and a 0 differ, trailing blanks of a
    // text do not. True for a row whose values were not kept.
    bool Modificata(long long bookmark, const Valori& attuali) const;
    // Whether `v` is the value column c of the row had (false for a row whose values were not kept).
    bool Uguale(long long bookmark, int colonna, const kv::Variant& v) const;
    long long primo = 0;
    std::vector<bool> presenti;
    std::vector<double> righe;
    std::unordered_map<std::size_t, std::string> testi;  // non-blank texts, by place

private:
    // The row of the bookmark in the arrays, made room for and marked kept.
    std::size_t Riga(long long bookmark) {
        if (presenti.empty()) primo = bookmark;
        if (bookmark < primo) {
            const auto n = static_cast<std::size_t>(primo - bookmark);
            presenti.insert(presenti.begin(), n, false);
            righe.insert(righe.begin(), n * kColonneConfrontate, 0.0);
            std::unordered_map<std::size_t, std::string> spostati;
            for (auto& [posto, v] : testi) spostati.emplace(posto + n * kColonneConfrontate, std::move(v));
            testi = std::move(spostati);
            primo = bookmark;
        }
        const auto i = static_cast<std::size_t>(bookmark - primo);
        if (i >= presenti.size()) {
            presenti.resize(i + 1, false);
            righe.resize((i + 1) * kColonneConfrontate);
        }
        presenti[i] = true;
        return i;
    }
    void Metti(std::size_t posto, const kv::Variant& v);
    bool UgualePosto(std::size_t posto, const kv::Variant& v) const;
};

// Sets, in `riga` (one value per matrix field), what a matrix row of the key takes over from its stored
// rows; the other values are left as they are.
void CopiaListinoMemorizzato(const StoredPriceRows& esistenti, const std::string& chiave,
                             std::vector<kv::Variant>& riga);
// The same, less the columns taken over as they are stored when the key is stored once: true then,
// and `esistenti.rows` stands on that stored row.
bool CopiaDerivati(const StoredPriceRows& esistenti, const std::string& chiave, std::vector<kv::Variant>& riga);
// The compared values of the stored row at a position (1-based) of the rows read.
OriginaliMatrice::Valori ValoriConfrontatiMemorizzati(const StoredPriceRows& letti, long posizione);
// The same into `out`, whose room is used again: a save of thousands of rows reads them by the row.
void ValoriConfrontatiMemorizzati(const StoredPriceRows& letti, long posizione, OriginaliMatrice::Valori& out);
// The Firma of the stored rows at the positions.
OriginaliMatrice::Firma FirmaDi(const StoredPriceRows& letti, const PosizioniChiave& posizioni);
// A canonical text of stored compared values, equal exactly when the values the save would write are
// (a blank number counts as 0, a text without its trailing blanks).
std::string Impronta(const OriginaliMatrice::Valori& valori);
// Whether the stored rows of a key are now as they were (the same rows, whatever their order).
bool StessiListini(const OriginaliMatrice::Firma& prima, const OriginaliMatrice::Firma& ora);
bool StessiListini(const RigheDiChiave& prima, const RigheDiChiave& ora);
// Whether two values are plainly the same datum (both nothing, or equal values of one type); false
// says nothing either way.
bool StessoDato(const kv::Variant& a, const kv::Variant& b);
// Keeps the compared values of the matrix row just added from `esistenti.riga` (AggiungiRiga).
// `copiata`: the row took over its stored row cell by cell (CopiaDerivati said true).
void RegistraRigaCaricata(StoredPriceRows& esistenti, kv::ado::Recordset& matrice, bool copiata);
// The positions of the compared columns in a matrix (3265 when one is missing).
std::vector<int> CampiConfrontati(kv::ado::Recordset& matrice);
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
