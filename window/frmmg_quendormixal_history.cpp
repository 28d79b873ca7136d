// FRMMG_QUENDORMIXAL: the price history beside the described toolbar.
//  - Every "Conferma" records the cells it changed, in its own transaction (SalvaTipi).
//  - "Storico" (and F4 in either price grid): the changes of the current cell, newest first, shown as
//    an information message.
//  - "Annulla ultimo salvataggio": puts back what the user's last "Conferma" of the article on screen
//    replaced, after saying how many prices that restores; refused, naming the rows, when a row was
//    changed since. The undo is one transaction and is recorded in the history as well.

#include <cstdio>
#include <set>
#include <string>

#include "matrix/matrix_recordset.h"
#include "matrix/price_history.h"
#include "matrix/stored_price_rows.h"
#include "platform/controls/keys.h"
#include "platform/controls/toolbar.h"
#include "platform/services/dialogs.h"
#include "platform/services/global_services.h"
#include "platform/services/post_save.h"
#include "platform/variant/strings.h"
#include "shell/error_trap.h"
#include "shell/modmg_quendormixal.h"
#include "window/frmmg_quendormixal.h"

namespace qmx {

namespace ctl = kv::controls;
namespace svc = kv::services;

namespace {

constexpr const char* kTitoloStorico = "Storico prezzo";
constexpr const char* kTitoloAnnulla = "Annulla ultimo salvataggio";
constexpr int kInformazione = 64;         // OK, information icon
constexpr int kAvviso = 48;               // OK, exclamation icon
constexpr int kDomanda = 4 + 32 + 256;    // Yes/No, question icon, No as default

// A recorded value as the user reads it: numbers with a decimal comma, dates as dd/mm/yyyy.
std::string Leggibile(const std::optional<std::string>& v) {
    if (!v || v->empty()) return "(vuoto)";
    if (v->size() == 8 && v->find_first_not_of("0123456789") == std::string::npos)
        if (auto d = kv::Date::ParseIso(*v)) return d->ToString();
    if (auto d = kv::Decimal::Parse(*v)) return d->ToString(',');
    return *v;
}

std::string Quando(kv::Date d) {
    char t[8];
    std::snprintf(t, sizeof t, "%02d:%02d", d.Hour(), d.Minute());
    return kv::Date::FromYmd(d.Year(), d.Month(), d.Day()).ToString() + " " + t;
}

std::string DescriviRiga(const RigaListino& r) {
    return std::string(r.tipo == 1 ? "acquisto" : "vendita") + ", listino " + std::to_string(r.lista) +
           (kv::Trim(r.opzione).empty() ? std::string() : ", opzione " + kv::Trim(r.opzione)) + ", dal " + r.inizio.ToString() + " al " +
           r.fine.ToString();
}

}  // namespace

StoricoPrezzi FRMMG_QUENDORMIXAL::StoricoSessione() const {
    return StoricoPrezzi(connection_, Utente(), Global()->Now());
}

void FRMMG_QUENDORMIXAL::ConnectHistoryEvents() {
    if (INTERNAV->IndexOf(kStoricoKey) < 0) INTERNAV->AddButton(kStoricoKey, "Storico");
    if (INTERNAV->IndexOf(kAnnullaSalvataggioKey) < 0) INTERNAV->AddButton(kAnnullaSalvataggioKey, kTitoloAnnulla);
    auto f4 = [this](const char* lato) {
        return [this, lato](int16_t& key, int16_t shift) {
            if (key != ctl::keys::kF4 || shift != 0) return;
            key = 0;
            MostraStorico(lato);
        };
    };
    subscriptions_.push_back(GRD_LISACQ->KeyDown.Connect(f4("ACQ")));
    subscriptions_.push_back(GRD_LISVEN->KeyDown.Connect(f4("VEN")));
}

std::vector<std::string> FRMMG_QUENDORMIXAL::StoricoCorrente(std::string_view lato) {
    const bool vendita = lato == "VEN" || (lato.empty() && state_.active_price_grid == "VEN");
    auto& grid = vendita ? *GRD_LISVEN : *GRD_LISACQ;
    auto& varianti = Driver(vendita ? varianti_ven_ : varianti_acq_);
    auto& listini = Driver(vendita ? listini_ven_ : listini_acq_);
    auto matrice = varianti.Recordset();
    auto* colonna = grid.CurrentColumn();
    if (!matrice || !colonna) return {"Nessuna cella selezionata"};
    auto riga = matrice->Clone();
    std::string campo = kv::UCase(colonna->DataField());
    std::string didascalia = kv::RTrim(colonna->Caption());
    if (state_.grid_type == 4) {
        // The grid shows the pivot: the cell is the element's column of the matrix row of its list,
        // its first-level option and the second-level option of its column.
        auto pivot = grid.DataSource();
        const auto& opzioni = listini.OpzioniColonna();
        auto it = opzioni.find(colonna->DataField());
        if (!pivot || pivot->IsBOF() || pivot->IsEOF() || it == opzioni.end())
            return {"Scegliere la cella di un'opzione"};
        riga->SetFilter("LI10_NUMLIST = " + kv::CStr(NZ(pivot->Value("LI10_NUMLIST"))) + " AND BLT_OPZIONE1='" +
                        RaddoppiaApici(kv::CStr(NS(pivot->Value("BLT_CODOPZIONE1")))) + "' AND BLT_OPZIONE2='" +
                        RaddoppiaApici(it->second) + "'");
        campo = kv::UCase(GetCampoElemento(varianti.Elem()));
        didascalia = kv::RTrim(varianti.Elem()) + ", " + kv::RTrim(colonna->Caption());
    } else if (!matrice->IsBOF() && !matrice->IsEOF()) {
        riga->SetBookmark(matrice->Bookmark());
    } else {
        return {"Nessuna cella selezionata"};
    }
    if (riga->IsBOF() || riga->IsEOF()) return {"Nessuna cella selezionata"};
    bool tenuta = false;
    for (const char* nome : kNomiConfrontati) tenuta |= campo == nome;
    if (!tenuta) return {"Di questa colonna non si tiene lo storico"};
    const kv::Variant inizio = riga->Value("LI10_DATAINIZIOVAL"), fine = riga->Value("LI10_DATAFINEVAL");
    if (kv::IsBlank(inizio) || kv::IsBlank(fine)) return {"Nessuna modifica registrata"};
    RigaListino chiave;
    chiave.ditta = Global()->CompanyCode();
    chiave.tipo = static_cast<int16_t>(kv::CLng(NZ(riga->Value("LI10_FLGVENDACQ"))));
    chiave.articolo = kv::RTrim(kv::CStr(NS(riga->Value("LI10_CODART_MG66"))));
    chiave.opzione = kv::RTrim(kv::CStr(NS(riga->Value("LI10_OPZIONE_MG5E"))));
    chiave.lista = kv::CLng(riga->Value("LI10_NUMLIST"));
    chiave.inizio = kv::CDate(inizio);
    chiave.fine = kv::CDate(fine);
    chiave.inizio = kv::Date::FromYmd(chiave.inizio.Year(), chiave.inizio.Month(), chiave.inizio.Day());
    chiave.fine = kv::Date::FromYmd(chiave.fine.Year(), chiave.fine.Month(), chiave.fine.Day());

    std::vector<std::string> out{DescriviRiga(chiave) + ": " + didascalia};
    const auto voci = StoricoSessione().DiCella(chiave, campo);
    if (voci.empty()) out.emplace_back("Nessuna modifica registrata");
    for (const auto& v : voci) {
        std::string t = Quando(v.quando) + " " + v.utente + ": " + Leggibile(v.prima) + " \u2192 " + Leggibile(v.dopo);
        if (v.operazione == Operazione::kAnnullamento) t += " (annullamento)";
        else if (v.esito == EsitoRiga::kInserita) t += " (nuova riga)";
        out.push_back(std::move(t));
    }
    return out;
}

void FRMMG_QUENDORMIXAL::MostraStorico(std::string_view lato) {
    auto report = [this](std::string_view p, const kv::Error& e) { return Report(p, e); };
    std::string testo;
    RunTrapped("MostraStorico", report, {
        [&] {
            for (const auto& r : StoricoCorrente(lato)) testo += (testo.empty() ? "" : "\n") + r;
        },
        [&] { Chiedi(testo, kInformazione, kTitoloStorico); },
    });
}

void FRMMG_QUENDORMIXAL::AnnullaUltimoSalvataggio() {
    auto report = [this](std::string_view p, const kv::Error& e) { return Report(p, e); };
    std::string articolo;
    StoricoPrezzi::Annullamento prova, fatto;
    bool annullato = false;
    // The rows a check found changed since the save, as the user is told them.
    auto rifiuto = [&](const StoricoPrezzi::Annullamento& a) {
        std::string t = "Il salvataggio del " + Quando(a.quando) +
                        " non si pu\u00f2 annullare: queste righe sono state modificate dopo. Nessun prezzo \u00e8 "
                        "stato ripristinato.";
        for (const auto& r : a.cambiate) t += "\n" + DescriviRiga(r);
        Chiedi(t, kAvviso, kTitoloAnnulla);
    };
    RunTrapped("INTERNAV_ButtonClick", report, {
        [&] {
            if (!state_.changes_pending) return Flow::Next;
            Chiedi("Ci sono modifiche non confermate: confermarle o annullarle prima di annullare l'ultimo "
                   "salvataggio.",
                   kAvviso, kTitoloAnnulla);
            return Flow::Exit;
        },
        [&] {
            articolo = kv::RTrim(Driver(varianti_acq_).CodArticolo());
            if (articolo.empty() || !connection_) return Flow::Exit;
            prova = StoricoSessione().PreparaAnnullamento(Global()->CompanyCode(), articolo);
            if (prova.salvataggio == 0) {
                Chiedi("Nessun salvataggio di questo articolo da annullare.", kInformazione, kTitoloAnnulla);
                return Flow::Exit;
            }
            if (prova.gia_annullato) {
                Chiedi("L'ultimo salvataggio di questo articolo (" + Quando(prova.quando) + ") \u00e8 gi\u00e0 stato annullato.",
                       kInformazione, kTitoloAnnulla);
                return Flow::Exit;
            }
            if (!prova.cambiate.empty()) {
                rifiuto(prova);
                return Flow::Exit;
            }
            return Flow::Next;
        },
        [&] {
            const long prezzi = prova.ripristinate + prova.tolte;
            std::string t = "Annullare il salvataggio del " + Quando(prova.quando) + "? " +
                            (prezzi == 1 ? std::string("Sar\u00e0 ripristinato 1 prezzo com'era prima")
                                         : "Saranno ripristinati " + std::to_string(prezzi) + " prezzi com'erano prima");
            if (prova.tolte > 0)
                t += (prova.tolte == 1 ? std::string(" (1 riga aggiunta da quel salvataggio sar\u00e0 eliminata)")
                                       : " (" + std::to_string(prova.tolte) +
                                             " righe aggiunte da quel salvataggio saranno eliminate)");
            t += ".";
            return Chiedi(t, kDomanda, kTitoloAnnulla) == svc::answer::kYes ? Flow::Next : Flow::Exit;
        },
        [&] {
            // Checked again inside the transaction: another desktop may have saved while the user read.
            connection_->GetErrors().Clear();
            connection_->BeginTrans();
            try {
                auto storico = StoricoSessione();
                const auto a = storico.PreparaAnnullamento(Global()->CompanyCode(), articolo);
                if (a.salvataggio != prova.salvataggio || a.gia_annullato || !a.cambiate.empty()) {
                    connection_->RollbackTrans();
                    rifiuto(a);
                    return Flow::Exit;
                }
                storico.Annulla(a, Global()->Today());
                connection_->CommitTrans();
                fatto = a;
            } catch (...) {
                try {
                    if (connection_->InTransaction()) connection_->RollbackTrans();
                } catch (const std::exception&) {
                    // A connection that was lost has no transaction left to roll back.
                }
                throw;
            }
            annullato = true;
            return Flow::Next;
        },
        // The host hears of the rows given their prices back, as of the rows a save writes, once they
        // are committed (a row the undo removed is gone, as after "Elimina").
        [&] {
            auto global = Global();
            auto post = global->NewPostSave();
            if (!post) return;
            post->SetContext(RequireInterface(), connection_, global, kv::Variant(global->CompanyCode()),
                             kv::Variant(articolo), true);
            std::set<RigaListino> detti;
            for (const auto& c : fatto.celle) {
                if (c.esito != EsitoRiga::kAggiornata || !detti.insert(c.riga).second) continue;
                post->SetOptionCode(kv::Variant(c.riga.opzione));
                post->ApplyRow();
                post->EndRow();
            }
            post->Release();
        },
    });
    // The grids show what is stored now.
    if (annullato) AnnullaModifiche();
}

}  // namespace qmx
