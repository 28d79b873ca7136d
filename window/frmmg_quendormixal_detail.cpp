// FRMMG_QUENDORMIXAL: the commands beside the described toolbar that explain prices and saves.
//  - "Dettaglio" (and F2 in either price grid): the breakdown of the current cell's row, shown as an
//    information message the user closes with Enter or Esc.
//  - "Anteprima" (a toggle, off at first): with it on, "Conferma" first shows what the save will write
//    and asks whether to go on; going back changes nothing.
//  - Before every "Conferma": stored validity periods that share days with the period being saved
//    are named, and the user chooses whether to save anyway.

#include <string>

#include "matrix/matrix_recordset.h"
#include "platform/controls/keys.h"
#include "platform/controls/toolbar.h"
#include "platform/services/dialogs.h"
#include "platform/variant/strings.h"
#include "pricing/price_breakdown.h"
#include "shell/error_trap.h"
#include "shell/modmg_quendormixal.h"
#include "window/frmmg_quendormixal.h"
#include "window/frmmg_quendormixal_sheet.h"
#include "window/save_preview.h"

namespace qmx {

namespace ctl = kv::controls;
namespace svc = kv::services;

namespace {

constexpr const char* kTitoloDettaglio = "Dettaglio prezzo";
constexpr const char* kTitoloAnteprima = "Anteprima del salvataggio";
constexpr int kInformazione = 64;              // OK, information icon
constexpr int kDomanda = 4 + 32;               // Yes/No, question icon
constexpr int kAvviso = 4 + 48 + 256;          // Yes/No, exclamation icon, No as default

}  // namespace

void FRMMG_QUENDORMIXAL::ConnectDetailEvents() {
    if (INTERNAV->IndexOf(kDettaglioKey) < 0) INTERNAV->AddButton(kDettaglioKey, "Dettaglio");
    if (INTERNAV->IndexOf(kAnteprimaKey) < 0) INTERNAV->AddCheckButton(kAnteprimaKey, "Anteprima");
    if (INTERNAV->IndexOf(kDaPeriodoKey) < 0) INTERNAV->AddButton(kDaPeriodoKey, "Da periodo");
    // F2 alone opens the breakdown instead of the cell's editor.
    auto f2 = [this](const char* lato) {
        return [this, lato](int16_t& key, int16_t shift) {
            if (key != ctl::keys::kF2 || shift != 0) return;
            key = 0;
            MostraDettaglio(lato);
        };
    };
    subscriptions_.push_back(GRD_LISACQ->KeyDown.Connect(f2("ACQ")));
    subscriptions_.push_back(GRD_LISVEN->KeyDown.Connect(f2("VEN")));
    ConnectHistoryEvents();
    ConnectMarginEvents();
}

DettaglioPrezzo FRMMG_QUENDORMIXAL::DettaglioCorrente(std::string_view lato) {
    const bool vendita = lato == "VEN" || (lato.empty() && state_.active_price_grid == "VEN");
    auto& grid = vendita ? *GRD_LISVEN : *GRD_LISACQ;
    auto& varianti = Driver(vendita ? varianti_ven_ : varianti_acq_);
    auto& listini = Driver(vendita ? listini_ven_ : listini_acq_);
    auto matrice = varianti.Recordset();
    if (!matrice) return DettaglioPrezzo{{"Nessuna riga selezionata"}, std::nullopt, std::nullopt};
    // The row is read through a clone, so the grid and the matrix keep their position.
    auto riga = matrice->Clone();
    if (state_.grid_type == 4) {
        // The grid shows the pivot: the cell's row is the matrix row of its list, its first-level
        // option and the second-level option of its column.
        auto pivot = grid.DataSource();
        auto* colonna = grid.CurrentColumn();
        const auto& opzioni = listini.OpzioniColonna();
        auto it = colonna ? opzioni.find(colonna->DataField()) : opzioni.end();
        if (!pivot || pivot->IsBOF() || pivot->IsEOF() || it == opzioni.end())
            return DettaglioPrezzo{{"Scegliere la cella di un'opzione"}, std::nullopt, std::nullopt};
        riga->SetFilter("LI10_NUMLIST = " + kv::CStr(NZ(pivot->Value("LI10_NUMLIST"))) + " AND BLT_OPZIONE1='" +
                        RaddoppiaApici(kv::CStr(NS(pivot->Value("BLT_CODOPZIONE1")))) + "' AND BLT_OPZIONE2='" +
                        RaddoppiaApici(it->second) + "'");
        // A price typed in the pivot reaches the matrix only when another element is chosen or the
        // prices are saved: the row takes the figure the cell shows now, as it will then, so the
        // breakdown explains what the user sees. Only the inputs of the net price are taken over.
        const std::string campo = GetCampoElemento(varianti.Elem());
        static constexpr std::string_view kIngressi[] = {"LI10_PREZZO",  "LI10_SC1PER",  "LI10_SC2PER",
                                                         "LI10_SC3PER",  "LI10_SC4PER",  "LI10_SC5PER",
                                                         "LI10_SC6PER",  "LI10_SCIMP",   "LI10_MAG1PER",
                                                         "LI10_MAG2PER", "LI10_MAGIMP"};
        bool ingresso = false;
        for (auto nome : kIngressi) ingresso |= campo == nome;
        if (ingresso && !riga->IsBOF() && !riga->IsEOF()) {
            const kv::Variant mostrato = pivot->Value(colonna->DataField());
            const kv::Variant memorizzato = riga->Value(campo);
            const bool uguali = kv::IsBlank(mostrato) ? kv::IsBlank(memorizzato)
                                                      : !kv::IsBlank(memorizzato) && kv::CDbl(mostrato) == kv::CDbl(memorizzato);
            if (!uguali) {
                riga->SetValue(campo, mostrato);
                riga->Update();
            }
        }
    } else if (!matrice->IsBOF() && !matrice->IsEOF()) {
        riga->SetBookmark(matrice->Bookmark());
    } else {
        return DettaglioPrezzo{{"Nessuna riga selezionata"}, std::nullopt, std::nullopt};
    }
    DettaglioPrezzo dettaglio = DettaglioRiga(varianti, *riga, vendita ? &Pricing().Prezzi() : nullptr, vendita);
    if (auto origine = OrigineDaPeriodo(*this, vendita, *riga)) dettaglio.righe.push_back(*origine);
    if (vendita && !riga->IsBOF() && !riga->IsEOF()) RigheMargine(Margini().Calcola(*riga), dettaglio.righe);
    return dettaglio;
}

void FRMMG_QUENDORMIXAL::MostraDettaglio(std::string_view lato) {
    auto report = [this](std::string_view p, const kv::Error& e) { return Report(p, e); };
    std::string testo;
    RunTrapped("MostraDettaglio", report, {
        [&] {
            for (const auto& r : DettaglioCorrente(lato).righe) testo += (testo.empty() ? "" : "\n") + r;
        },
        [&] { Chiedi(testo, kInformazione, kTitoloDettaglio); },
    });
}

bool FRMMG_QUENDORMIXAL::VerificheConferma() {
    auto report = [this](std::string_view p, const kv::Error& e) { return Report(p, e); };
    bool avanti = false;
    RunTrapped("INTERNAV_ButtonClick", report, {
        [&] {
            const std::string t = TestoSovrapposizioni(Driver(varianti_acq_).PeriodiSovrapposti(),
                                                       Driver(varianti_ven_).PeriodiSovrapposti());
            if (t.empty()) return Flow::Next;
            static const std::string kTitolo = std::string(20, ' ').append("A T T E N Z I O N E");
            return Chiedi(t, kAvviso, kTitolo) == svc::answer::kYes ? Flow::Next : Flow::Exit;
        },
        [&] {
            if (INTERNAV->IndexOf(kAnteprimaKey) < 0 || !INTERNAV->ButtonChecked(kAnteprimaKey)) return Flow::Next;
            // Grid type 4 keeps the prices typed in the element on screen in the pivot until the save
            // takes them; the preview reads the matrix, so they are written there first, as choosing
            // another element would.
            if (state_.grid_type == 4) {
                for (CLSMG_SETUPVARIANTI* d : {&Driver(varianti_acq_), &Driver(varianti_ven_)}) {
                    if (d->Elem().empty()) continue;
                    d->SetElemPrev(d->Elem());
                    ReFilterKeepingEdits(*d);
                }
            }
            const std::string t =
                TestoAnteprima(AnteprimaDi(Driver(varianti_acq_)), AnteprimaDi(Driver(varianti_ven_)));
            return Chiedi(t, kDomanda, kTitoloAnteprima) == svc::answer::kYes ? Flow::Next : Flow::Exit;
        },
        [&] { avanti = true; },
    });
    return avanti;
}

}  // namespace qmx
