#pragma once
// The price history. Every "Conferma" records, in the transaction that writes the prices, one row per
// cell of LI10_LISTARTIC it changed (QX10_STORICOPREZZI): which price row, which column, the value
// before and after, when and for which user. "Annulla ultimo salvataggio" puts back what a user's last
// save replaced - the values it overwrote, the rows it inserted removed - and is recorded the same way.
//
// A price row is named by its key: company, kind, article, option code, list and validity period (the
// use, the list type and the warehouse are always the window's: 0, 0 and blank). The cells are the
// columns a save compares (stored_price_rows.h): prices, discounts, markups, recharge, commission and
// the rest of the row's own data. The save's bookkeeping - its flags, the creation and update dates -
// is not history: it says when a row was written, not what the user changed.
//
// Values are kept as text (ValoreStorico), so that a number is recorded exactly as it was stored.

#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/ado/connection.h"
#include "platform/variant/date.h"
#include "platform/variant/variant.h"

namespace qmx {

// The key of a stored price row.
struct RigaListino {
    int32_t ditta = 0;
    int16_t tipo = 0;      // LI10_FLGVENDACQ: 0 sales, 1 purchase
    std::string articolo;  // without trailing blanks
    std::string opzione;   // the option code, without trailing blanks
    int32_t lista = 0;
    kv::Date inizio, fine;  // days
    bool operator==(const RigaListino&) const = default;
    std::strong_ordering operator<=>(const RigaListino& o) const;
};

// What a save did to a row (QX10_INDRIGA), and what kind of save it was (QX10_INDOPERAZ).
enum class EsitoRiga : int16_t { kInserita = 1, kAggiornata = 2, kEliminata = 3 };
enum class Operazione : int16_t { kConferma = 1, kAnnullamento = 2 };

// One cell a save changed: the value before and after, as ValoreStorico writes them (nullopt for Null).
struct CellaStorico {
    RigaListino riga;
    EsitoRiga esito = EsitoRiga::kAggiornata;
    std::string colonna;  // the LI10_LISTARTIC column
    std::optional<std::string> prima, dopo;
};

// A stored value as the history keeps it: a number exactly, with a decimal point and no trailing zeros
// ("12.5"), a date as YYYYMMDD, a text without its trailing blanks (blank text as ""); nullopt for Null
// and Empty.
std::optional<std::string> ValoreStorico(const kv::Variant& v);

// The cells of one price row a save changed, from the compared values (kColonneConfrontate of them,
// in their order) the row held before and holds after. Without `prima` the row was inserted: its price
// is recorded, and every other cell that holds more than blank or 0. Without `dopo` it was deleted.
std::vector<CellaStorico> CelleCambiate(const RigaListino& riga, const std::vector<kv::Variant>* prima,
                                        const std::vector<kv::Variant>* dopo);

// The history of one company database, read and written on the window's connection.
class StoricoPrezzi {
public:
    // What Registra writes is stamped with `utente` and `ora`.
    StoricoPrezzi(kv::ado::ConnectionPtr connection, std::string utente, kv::Date ora);

    // Writes the cells as one save, creating the table first when the database lacks it (so a save
    // that cannot record its history writes nothing either). Runs in the caller's transaction. Returns
    // the save's number (the QX10_ID of its first row), 0 when there was no cell.
    long Registra(const std::vector<CellaStorico>& celle, Operazione operazione, long annullato = 0);

    // The changes of one cell (a column of a price row), newest first; none when the database has no
    // history yet.
    struct Voce {
        long salvataggio = 0;
        Operazione operazione = Operazione::kConferma;
        EsitoRiga esito = EsitoRiga::kAggiornata;
        kv::Date quando;
        std::string utente;
        std::optional<std::string> prima, dopo;
    };
    std::vector<Voce> DiCella(const RigaListino& riga, const std::string& colonna);

    // What undoing the user's last "Conferma" of `articolo` (both kinds) would do. Every row it wrote is
    // put back. A row that a later save changed (whoever made it), or whose stored values are no longer
    // those the save wrote (changed or deleted elsewhere), is listed in `cambiate`: then nothing may be
    // undone.
    struct Annullamento {
        long salvataggio = 0;        // 0: the user has no save of the article
        bool gia_annullato = false;  // that save was undone already
        kv::Date quando;
        std::vector<CellaStorico> celle;  // what the save changed, in its order
        long ripristinate = 0;            // stored rows it updated, to put back
        long tolte = 0;                   // rows it inserted, to remove
        std::vector<RigaListino> cambiate;
    };
    Annullamento PreparaAnnullamento(int32_t ditta, const std::string& articolo);
    // Undoes the save `a` prepared (with nothing in `cambiate`), in the caller's transaction: each row
    // it updated gets back the values the save replaced and is marked as changed `oggi`, each row it
    // inserted is deleted, and the undo is recorded. A row that no longer holds what the save wrote
    // (changed in between) stops it with kErroreAnnullamento: the caller rolls back.
    void Annulla(const Annullamento& a, kv::Date oggi);

private:
    kv::ado::ConnectionPtr connection_;
    std::string utente_;
    kv::Date ora_;
};

// The error an undo stops with when a row changed between the check and the write.
inline constexpr long kErroreAnnullamento = -2147221504 + 1102;

}  // namespace qmx
