#pragma once
// What "Conferma" is about to write, worked out before it writes: the save preview (rows to insert,
// rows to update, and for each changed price cell its stored and its new value, with totals per list)
// and the warning about validity periods that overlap stored ones. Both come from the matrix drivers
// (one query each per kind, matched in memory by the key the save uses) and are worded here.

#include <string>
#include <vector>

#include "matrix/clsmg_setupvarianti.h"

namespace qmx {

struct CellaAnteprima {
    std::string colonna;  // the grid's caption
    kv::Variant vecchio;  // Null for a row to insert
    kv::Variant nuovo;    // as the save writes it
};

struct RigaAnteprima {
    bool insert = false;
    kv::Variant lista;
    std::string opzione;  // as the grid shows it (first / second level)
    std::string codice;   // the composite option code the row is stored under
    std::vector<CellaAnteprima> celle;
};

struct TotaleListino {
    kv::Variant lista;
    kv::Variant inizio, fine;  // the validity period the list's rows are saved with
    long inserite = 0;
    long aggiornate = 0;
    long celle = 0;
};

struct AnteprimaSalvataggio {
    std::vector<RigaAnteprima> righe;   // rows to insert, and rows to update that change
    std::vector<TotaleListino> totali;  // per list the save writes, in list order
    long inserite = 0;
    long aggiornate = 0;  // stored rows the save writes again (edited here)
    long celle = 0;
};

// The preview of one kind's save.
AnteprimaSalvataggio AnteprimaDi(CLSMG_SETUPVARIANTI& driver);

// The texts shown to the user; `max_righe` limits the detail lines of each kind (totals stay whole).
std::string TestoAnteprima(const AnteprimaSalvataggio& acquisto, const AnteprimaSalvataggio& vendita,
                           std::size_t max_righe = 40);
// Empty when neither kind overlaps. Each list is named with the number of its options that overlap and
// the validity period it is saved with.
std::string TestoSovrapposizioni(const std::vector<CLSMG_SETUPVARIANTI::PeriodoSovrapposto>& acquisto,
                                 const std::vector<CLSMG_SETUPVARIANTI::PeriodoSovrapposto>& vendita);

}  // namespace qmx
