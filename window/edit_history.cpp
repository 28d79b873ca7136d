#include "window/edit_history.h"

#include <utility>

#include "platform/variant/error.h"

namespace qmx {

namespace {

void Nota(kv::ado::RecordsetPtr& matrice, std::shared_ptr<StoricoModifiche::Voci>& voci) {
    if (!matrice || matrice->State() != kv::ado::adStateOpen) {
        matrice.reset();
        voci.reset();
        return;
    }
    voci = std::make_shared<StoricoModifiche::Voci>();
    matrice->SetJournal(voci);
}

void Smetti(const kv::ado::RecordsetPtr& matrice) {
    if (matrice && matrice->State() == kv::ado::adStateOpen) matrice->SetJournal(nullptr);
}

}  // namespace

void StoricoModifiche::Ricomincia(kv::ado::RecordsetPtr acquisto, kv::ado::RecordsetPtr vendita) {
    Ferma();
    acquisto_.matrice = std::move(acquisto);
    vendita_.matrice = std::move(vendita);
    Nota(acquisto_.matrice, acquisto_.voci);
    Nota(vendita_.matrice, vendita_.voci);
}

void StoricoModifiche::Ferma() {
    Smetti(acquisto_.matrice);
    Smetti(vendita_.matrice);
    acquisto_ = {};
    vendita_ = {};
    fatti_.clear();
    annullati_.clear();
}

void StoricoModifiche::Scarta() {
    if (acquisto_.voci) acquisto_.voci->clear();
    if (vendita_.voci) vendita_.voci->clear();
}

void StoricoModifiche::Taglia() {
    if (prima_del_taglio) {
        try {
            prima_del_taglio();
        } catch (const std::exception&) {
            // What could not be brought in is not part of the step; the rest of it is.
        }
    }
    Passo passo;
    if (acquisto_.voci) passo.acquisto.swap(*acquisto_.voci);
    if (vendita_.voci) passo.vendita.swap(*vendita_.voci);
    if (passo.acquisto.empty() && passo.vendita.empty()) return;
    fatti_.push_back(std::move(passo));
    annullati_.clear();
}

// The values go back (or again) through a clone, so the matrix the grid shows keeps its filter and its
// row; the journal is set aside meanwhile, so undoing is not noted as a change. A row that is no longer
// in the matrix is passed over.
void StoricoModifiche::Applica(Lato& lato, const Voci& voci, bool indietro) {
    if (voci.empty() || !lato.matrice || lato.matrice->State() != kv::ado::adStateOpen) return;
    lato.matrice->SetJournal(nullptr);
    struct Riprendi {
        Lato& l;
        ~Riprendi() {
            if (l.matrice && l.matrice->State() == kv::ado::adStateOpen) l.matrice->SetJournal(l.voci);
        }
    } riprendi{lato};
    auto righe = lato.matrice->Clone();
    long long corrente = -1;
    auto scrivi = [&](const kv::ado::Recordset::JournalEntry& v, const kv::Variant& valore) {
        try {
            if (v.bookmark != corrente) {
                righe->SetBookmark(kv::Variant(v.bookmark));
                corrente = v.bookmark;
            }
            righe->SetValue(v.field, valore);
        } catch (const kv::Error&) {
            corrente = -1;
        }
    };
    if (indietro) {
        for (auto it = voci.rbegin(); it != voci.rend(); ++it) scrivi(*it, it->before);
    } else {
        for (const auto& v : voci) scrivi(v, v.after);
    }
    if (corrente >= 0) righe->Update();
}

bool StoricoModifiche::Annulla() {
    if (fatti_.empty() || profondita_ > 0) return false;
    Scarta();
    Passo passo = std::move(fatti_.back());
    fatti_.pop_back();
    Applica(acquisto_, passo.acquisto, true);
    Applica(vendita_, passo.vendita, true);
    annullati_.push_back(std::move(passo));
    return true;
}

bool StoricoModifiche::Ripeti() {
    if (annullati_.empty() || profondita_ > 0) return false;
    Scarta();
    Passo passo = std::move(annullati_.back());
    annullati_.pop_back();
    Applica(acquisto_, passo.acquisto, false);
    Applica(vendita_, passo.vendita, false);
    fatti_.push_back(std::move(passo));
    return true;
}

}  // namespace qmx
