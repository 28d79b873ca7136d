#pragma once
// What the user changed in the two price matrices since the key was loaded, saved or cancelled, one user
// action a step, for undo and redo. The matrices note every value stored into them
// (Recordset::SetJournal), and what they note while a user action runs (an `Azione`: a typed cell, a
// paste, a copy to row or to all rows, an adjustment, an import, "Ricalcola", "Da periodo") becomes one
// step when the action ends; an action made of others (a paste types many cells) is one step. What is
// stored outside an action (a reload, the pivot of another element written back) is no change of the
// user's and is not kept. Undo puts back the values of the last step, newest first, net prices included
// (they were noted with the prices); redo stores them again. A new step after an undo drops what could
// have been redone.

#include <cstddef>
#include <functional>
#include <memory>
#include <vector>

#include "platform/ado/recordset.h"

namespace qmx {

class StoricoModifiche {
public:
    using Voci = std::vector<kv::ado::Recordset::JournalEntry>;

    // Starts over on these matrices (either may be null): nothing to undo or to redo.
    void Ricomincia(kv::ado::RecordsetPtr acquisto, kv::ado::RecordsetPtr vendita);
    // Stops noting and forgets every step (the matrices are emptied or the window closes).
    void Ferma();

    // Called when an action ends, before what it stored becomes a step: the place to bring into the
    // matrices what the action left elsewhere (the grid-type-4 pivot).
    std::function<void()> prima_del_taglio;

    // One user action; actions inside it are part of it. Its end makes what it stored a step.
    class Azione {
    public:
        explicit Azione(StoricoModifiche& s) : s_(s) {
            if (s_.profondita_++ == 0) s_.Scarta();
        }
        ~Azione() {
            if (--s_.profondita_ == 0) s_.Taglia();
        }
        Azione(const Azione&) = delete;
        Azione& operator=(const Azione&) = delete;

    private:
        StoricoModifiche& s_;
    };

    bool PuoAnnullare() const { return !fatti_.empty(); }
    bool PuoRipetere() const { return !annullati_.empty(); }
    std::size_t Passi() const { return fatti_.size(); }

    // Puts back the values the last step replaced; false when there is nothing to undo.
    bool Annulla();
    // Stores again the values of the step undone last; false when there is nothing to redo.
    bool Ripeti();

private:
    struct Lato {
        kv::ado::RecordsetPtr matrice;
        std::shared_ptr<Voci> voci;
    };
    struct Passo {
        Voci acquisto, vendita;
    };
    static void Applica(Lato& lato, const Voci& voci, bool indietro);
    void Scarta();  // forgets what was noted outside an action
    void Taglia();

    Lato acquisto_, vendita_;
    std::vector<Passo> fatti_, annullati_;
    int profondita_ = 0;
};

}  // namespace qmx
