// FRMMG_QUENDORMIXAL: the toolbar commands that act on the whole key — save (Conferma), discard
// (Annulla), delete (Elimina), start over on a new key (Nuovo) and recalculate the dependent sales
// lists (Ricalcola) — and the question asked when the window closes with unsaved changes.
//
// Saving both kinds is one transaction on the window's connection, together with the price history of
// what it changed: when either kind cannot be written the transaction is rolled back, the error is
// shown, and the matrices keep their edits with the changes-pending flag, so the user can correct and
// confirm again. Nothing of a failed save reaches the database.

#include <string>

#include "platform/controls/toolbar.h"
#include "platform/services/dialogs.h"
#include "platform/variant/strings.h"
#include "shell/error_trap.h"
#include "shell/modmg_quendormixal.h"
#include "window/frmmg_quendormixal.h"
#include "window/frmmg_quendormixal_sheet.h"

namespace qmx {

namespace ctl = kv::controls;
namespace svc = kv::services;

namespace {

constexpr const char* kQuestionSave = "Salvare le modifiche apportate ai listini?";
constexpr const char* kSaveFailed =
    "Il salvataggio dei listini non è riuscito: nessun prezzo è stato scritto. Le modifiche restano nelle "
    "griglie; correggerle e confermare di nuovo.";

// A save or deletion that met rows another desktop holds in a transaction of its own waited the
// connection's lock timeout and was refused, instead of waiting without end: the user is told so,
// rather than asked to correct what needs no correcting.
constexpr const char* kSaveLocked =
    "Un altro desktop sta salvando gli stessi prezzi: il salvataggio ha atteso il tempo stabilito ed è stato "
    "annullato, nessun prezzo è stato scritto. Le modifiche restano nelle griglie: confermare di nuovo tra poco.";

bool HeldByAnotherDesktop(const kv::ado::ConnectionPtr& connection) {
    if (!connection) return false;
    for (const auto& e : connection->GetErrors().All())
        if (e.sql_state == kv::ado::kSqlStateLockTimeout) return true;
    return false;
}

const char* SaveFailure(const kv::ado::ConnectionPtr& connection) {
    return HeldByAnotherDesktop(connection) ? kSaveLocked : kSaveFailed;
}

std::string Text(const kv::Variant& v) { return kv::CStr(NS(v)); }

}  // namespace

// The error shown when a kind's save or deletion did not happen: the window's own sentence, with the
// database's messages (the connection's errors) handed to the error display as its technical detail.
// The number is the window's own (past the platform's object-error base), so the display keeps the text.
kv::Error FRMMG_QUENDORMIXAL::DriverFailure(std::string_view what) const {
    constexpr long kObjectErrorBase = -2147221504;
    return kv::Error(kObjectErrorBase + 1001, std::string(what), kName);
}

void FRMMG_QUENDORMIXAL::VerificaCaricamento() {
    for (const auto& d : {varianti_acq_, varianti_ven_}) {
        auto& driver = Driver(d);
        if (driver.State() != schema::kStateTrapped) continue;
        const std::string motivo = driver.UltimoErrore() ? driver.UltimoErrore()->Description() : std::string();
        driver.SetState(0);
        throw DriverFailure(std::string("Il caricamento dei prezzi dei listini di ") +
                            (d == varianti_acq_ ? "acquisto" : "vendita") + " non \u00e8 riuscito" +
                            (motivo.empty() ? std::string(".") : ": " + motivo));
    }
}

// Writes the given kinds in one transaction on the window's connection: the drivers join it, so they
// are written together or not at all. A kind that fails undoes the whole and raises the window's
// error, the edits kept. Once committed, the written rows become what another desktop's later change is
// judged against, and only then does the host hear of them, in the order given. A post-save object that
// fails is reported; the prices are saved all the same.
void FRMMG_QUENDORMIXAL::SalvaTipi(std::initializer_list<CLSMG_SETUPVARIANTI*> tipi) {
    if (!connection_) throw kv::Error(kv::err::kObjectNotSet, "La finestra non ha una connessione al database", kName);
    connection_->GetErrors().Clear();
    connection_->BeginTrans();
    try {
        for (CLSMG_SETUPVARIANTI* d : tipi) {
            d->SetState(0);
            d->UpdateBatch();
            if (d->State() != 0) throw DriverFailure(SaveFailure(connection_));
        }
        // The cells of both kinds are one save in the price history, written with the prices: a save
        // that cannot record them writes nothing.
        std::vector<CellaStorico> celle;
        for (CLSMG_SETUPVARIANTI* d : tipi) {
            auto c = d->CelleSalvate();
            celle.insert(celle.end(), std::make_move_iterator(c.begin()), std::make_move_iterator(c.end()));
        }
        StoricoSessione().Registra(celle, Operazione::kConferma);
        connection_->CommitTrans();
    } catch (...) {
        try {
            if (connection_->InTransaction()) connection_->RollbackTrans();
        } catch (const std::exception&) {
            // A connection that was lost has no transaction left to roll back.
        }
        for (CLSMG_SETUPVARIANTI* d : tipi) d->SetState(0);
        throw;
    }
    for (CLSMG_SETUPVARIANTI* d : tipi)
        if (auto errore = d->AccettaSalvataggio()) Report("INTERNAV_ButtonClick", *errore);
}

bool FRMMG_QUENDORMIXAL::SalvaListini() {
    SalvaTipi({&Driver(varianti_acq_), &Driver(varianti_ven_)});
    return true;
}

void FRMMG_QUENDORMIXAL::INTERNAV_ButtonClick(const std::string& key) {
    const std::string k = kv::UCase(key);
    if (k == "CONFERMA") Conferma();
    else if (k == "ANNULLA") AnnullaModifiche();
    else if (k == "ELIMINA") Elimina();
    else if (k == "NUOVO") Nuovo();
    else if (k == "RICALCOLA") Ricalcola();
    else if (k == kDettaglioKey) MostraDettaglio("");
    else if (k == kDaPeriodoKey) ApriDaPeriodo(*this);
    else if (k == kStoricoKey) MostraStorico("");
    else if (k == kAnnullaSalvataggioKey) AnnullaUltimoSalvataggio();
    else if (k == kMargineKey) MostraMargine(INTERNAV->ButtonChecked(kMargineKey));
}

bool FRMMG_QUENDORMIXAL::Conferma() {
    auto report = [this](std::string_view p, const kv::Error& e) { return Report(p, e); };
    bool saved = false;
    if (!VerificheConferma()) return false;  // overlapping periods, the preview: the user went back
    RunTrapped("INTERNAV_ButtonClick", report, {
        [&] { Driver(varianti_acq_).SetStatusOperationInProgress(); },
        [&] { Global()->DoEvents(); },
        [&] { GRD_LISACQ_RowChanged(); },
        [&] { GRD_LISVEN_RowChanged(); },
        [&] { saved = SalvaSenzaSovrascrivere(); },
        // A save that did not happen keeps the edits, the flag and the buttons to try again.
        [&] {
            if (!saved) return Flow::Exit;
            INTERNAV->EnableButton(ctl::kToolbarCancel, false);
            INTERNAV->EnableButton(ctl::kToolbarConfirm, false);
            state_.changes_pending = false;
            RicominciaStorico();  // what was saved is no longer a change to undo
            return Flow::Next;
        },
        [&] { Driver(varianti_acq_).SetStatusOperationCompleted(); },
    });
    if (!saved && varianti_acq_) {
        try {
            varianti_acq_->SetStatusOperationCompleted();
        } catch (const std::exception&) {
        }
    }
    return saved;
}

void FRMMG_QUENDORMIXAL::AnnullaModifiche() {
    auto report = [this](std::string_view p, const kv::Error& e) { return Report(p, e); };
    RunTrapped("INTERNAV_ButtonClick", report, {
        [&] { Driver(varianti_acq_).SetStatusOperationInProgress(); },
        [&] { Driver(varianti_acq_).Annulla(); },
        [&] { Driver(varianti_ven_).Annulla(); },
        [&] { Driver(varianti_acq_).ReLoadVarianti(); },
        [&] { Driver(varianti_ven_).ReLoadVarianti(); },
        [&] {
            if (state_.grid_type != 4) return;
            Global()->DoEvents();
            Driver(varianti_acq_).ReFilterVarianti4();
            Global()->DoEvents();
            Driver(varianti_ven_).ReFilterVarianti4();
            if (side_rs_ && side_rs_->RecordCount() > 0) side_rs_->MoveFirst();
            GRD_SIDE_RowChanged();
            if (side_rs1_ && side_rs1_->RecordCount() > 0) side_rs1_->MoveFirst();
            GRD_SIDE1_RowChanged();
            Driver(varianti_acq_).bEnableRowColChange = true;
            Driver(varianti_ven_).bEnableRowColChange = true;
        },
        [&] { VerificaCaricamento(); },
        [&] {
            INTERNAV->EnableButton(ctl::kToolbarCancel, false);
            INTERNAV->EnableButton(ctl::kToolbarConfirm, false);
            state_.changes_pending = false;
        },
        [&] { RicominciaStorico(); },
        [&] { Driver(varianti_acq_).SetStatusOperationCompleted(); },
    });
}

// Whether the user confirms the deletion of one kind's lists.
bool FRMMG_QUENDORMIXAL::ChiediEliminazione(CLSMG_SETUPVARIANTI& matrix_driver, bool sales) {
    const long n = matrix_driver.RecordCount();
    const std::string text = sales ? (n == 1 ? "Confermi l'eliminazione del Listino di Vendita?"
                                             : "Confermi l'eliminazione dei Listini di Vendita?")
                                   : (n == 1 ? "Confermi l'eliminazione del Listino di Acquisto?"
                                             : "Confermi l'eliminazione dei Listini di Acquisto?");
    // The title is spaced out and pushed to the right with 20 blanks, as the host's warnings are.
    static const std::string kWarningTitle = std::string(20, ' ').append("A T T E N Z I O N E");
    return Chiedi(text, 308, kWarningTitle) == svc::answer::kYes;
}

// One kind's deletion, once the user confirmed it: the driver deletes in one transaction, so a failure
// deletes nothing of that kind and is shown.
void FRMMG_QUENDORMIXAL::EliminaTipo(CLSMG_SETUPLISTINI& list_driver, CLSMG_SETUPVARIANTI& matrix_driver,
                                      ctl::DataGrid& grid, bool sales) {
    matrix_driver.SetStatusOperationInProgress();
    grid.SetDataSource(nullptr);
    connection_->GetErrors().Clear();
    matrix_driver.SetState(0);
    const int16_t grid_type = sales ? matrix_driver.GetIndTipoGriglia() : state_.grid_type;
    // The grid type decides which rows go; when it could not be read (the driver's state says so),
    // nothing is deleted and the failure is shown as such.
    if (matrix_driver.State() != 0) {
    } else if (grid_type != 2) {
        matrix_driver.DeleteRecords();
    } else {
        std::string code;
        std::string options;
        if (side_rs_ && side_rs_->RecordCount() > 0) {
            side_rs_->MoveFirst();
            code = Text(side_rs_->Value("BLT_CODICEVAR2"));
            for (; !side_rs_->IsEOF(); side_rs_->MoveNext()) {
                if (!options.empty()) options += ",";
                options.append(1, '\'').append(RaddoppiaApici(Text(side_rs_->Value("BLT_OPZIONE2")))).append(1, '\'');
            }
            side_rs_->MoveFirst();
        }
        matrix_driver.DeleteRecordsTipo2(code, options);
    }
    const bool failed = matrix_driver.State() != 0;
    Global()->DoEvents();
    matrix_driver.SetState(0);
    list_driver.SetupGrid(false);
    matrix_driver.SetupGrid(false);
    matrix_driver.ReLoadVarianti();
    grid.SetDataSource(matrix_driver.Recordset());
    matrix_driver.SetStatusOperationCompleted();
    if (failed && HeldByAnotherDesktop(connection_))
        throw DriverFailure(std::string("Un altro desktop sta salvando gli stessi prezzi: l'eliminazione dei listini di ") +
                            (sales ? "vendita" : "acquisto") +
                            " ha atteso il tempo stabilito ed è stata annullata, nessun listino è stato eliminato. "
                            "Riprovare tra poco.");
    if (failed)
        throw DriverFailure(sales ? "L'eliminazione dei listini di vendita non è riuscita; nessun listino di vendita è stato eliminato"
                                  : "L'eliminazione dei listini di acquisto non è riuscita; nessun listino di acquisto è stato eliminato");
}

// The kind the user keeps while the other is deleted may hold prices not saved, and the header is
// about to go back to an open key: the user is asked, as "Nuovo" asks. Sì saves them (that kind
// alone, in one transaction), No drops them (the grid shows what is stored again), Annulla stops the
// command. False when the command stops.
bool FRMMG_QUENDORMIXAL::ModificheTenute(CLSMG_SETUPVARIANTI& kept) {
    if (!kept.HaModifiche()) return true;
    const int answer = Chiedi(kQuestionSave, 67, "Informazione");
    if (answer == svc::answer::kCancel) return false;
    if (answer == svc::answer::kYes) {
        SalvaTipi({&kept});
        return true;
    }
    kept.Annulla();
    kept.ReLoadVarianti();
    return true;
}

void FRMMG_QUENDORMIXAL::Elimina() {
    auto report = [this](std::string_view p, const kv::Error& e) { return Report(p, e); };
    bool acquisto = false, vendita = false;  // the user's answers
    bool eliminati = false;                  // a kind's lists are gone: the key opens again
    state_.loading = true;
    RunTrapped("INTERNAV_ButtonClick", report, {
        [&] { acquisto = ChiediEliminazione(Driver(varianti_acq_), false); },
        [&] {
            if (!acquisto) return;
            EliminaTipo(Driver(listini_acq_), Driver(varianti_acq_), *GRD_LISACQ, false);
            eliminati = true;
        },
        [&] { vendita = ChiediEliminazione(Driver(varianti_ven_), true); },
        // Purchase kept, sales to go: the purchase prices not saved are asked about before anything of
        // the sales lists is deleted, so Annulla leaves the window as it was.
        [&] {
            if (!acquisto && vendita && !ModificheTenute(Driver(varianti_acq_))) return Flow::Exit;
            return Flow::Next;
        },
        [&] {
            if (!vendita) return;
            EliminaTipo(Driver(listini_ven_), Driver(varianti_ven_), *GRD_LISVEN, true);
            eliminati = true;
        },
        [&] {
            if (eliminati && !vendita && !ModificheTenute(Driver(varianti_ven_))) return Flow::Exit;
            return Flow::Next;
        },
        [&] {
            if (!eliminati) return Flow::Exit;
            for (const auto& f : {TXT_CODART, TXT_OPZIONE, TXT_VARIANTE}) {
                f->SetEnabled(true);
                f->SetText("");
            }
            TXT_DESCART->SetText("");
            return Flow::Next;
        },
        [&] { Reinizializza(true); },
        [&] {
            INTERNAV->EnableButton(ctl::kToolbarCancel, false);
            INTERNAV->EnableButton(ctl::kToolbarConfirm, false);
            state_.changes_pending = false;
        },
    });
    state_.loading = false;
}

void FRMMG_QUENDORMIXAL::Nuovo() {
    auto report = [this](std::string_view p, const kv::Error& e) { return Report(p, e); };
    state_.new_in_progress = true;
    int answer = svc::answer::kNo;
    bool saved = false;
    RunTrapped("INTERNAV_ButtonClick", report, {
        [&] {
            if (!state_.changes_pending) return Flow::Next;
            answer = Chiedi(kQuestionSave, 67, "Informazione");
            if (answer == svc::answer::kCancel) return Flow::Exit;
            Driver(varianti_acq_).SetStatusOperationInProgress();
            return Flow::Next;
        },
        [&] {
            if (!state_.changes_pending) return;
            if (answer == svc::answer::kYes) {
                saved = SalvaSenzaSovrascrivere();
                if (saved) state_.changes_pending = false;
            } else {
                Driver(varianti_acq_).Annulla();
                Driver(varianti_ven_).Annulla();
                // The edits are gone: nothing is left to ask about when the window closes.
                state_.changes_pending = false;
            }
        },
        // A save that failed keeps the key and the edits: nothing is discarded, whatever was answered
        // to the error.
        [&] {
            if (state_.changes_pending && answer == svc::answer::kYes && !saved) {
                Driver(varianti_acq_).SetStatusOperationCompleted();
                return Flow::Exit;
            }
            return Flow::Next;
        },
        [&] {
            for (const auto& f : {TXT_CODART, TXT_OPZIONE, TXT_VARIANTE}) {
                f->SetEnabled(true);
                f->SetText("");
            }
            TXT_DESCART->SetText("");
        },
        [&] {
            for (const auto& d : {varianti_acq_, varianti_ven_}) {
                auto& driver = Driver(d);
                driver.SetInsert(true);
                driver.SetCodArticolo("");
                driver.SetCodVariante1("");
                driver.SetCodVariante2("");
                // The option is part of the key: kept, it would go on naming the rows of the next
                // article while the emptied field shows none.
                driver.SetOpzionePreimpostata("");
            }
        },
        [&] {
            state_.grid_type = Driver(varianti_ven_).GetIndTipoGriglia();
            state_.grid_type_at_load = state_.grid_type;
            TXT_VARIANTE->SetText("");
            TXT_OPZIONE->SetText("");
        },
        [&] { Reinizializza(true); },
        [&] {
            for (const auto& d : {listini_acq_, listini_ven_}) Driver(d).SetInverti(false);
            for (const auto& d : {varianti_acq_, varianti_ven_}) {
                Driver(d).SetInverti(false);
                if (auto rs = Driver(d).Recordset()) rs->SetFilter(kv::Variant(int16_t{0}));
            }
        },
        [&] {
            INTERNAV->EnableButton(ctl::kToolbarCancel, false);
            INTERNAV->EnableButton(ctl::kToolbarConfirm, false);
        },
        [&] { Driver(varianti_acq_).SetStatusOperationCompleted(); },
    });
    state_.new_in_progress = false;
}

void FRMMG_QUENDORMIXAL::Ricalcola() {
    StoricoModifiche::Azione azione(storico_);
    auto report = [this](std::string_view p, const kv::Error& e) { return Report(p, e); };
    RunTrapped("INTERNAV_ButtonClick", report, {
        [&] { Driver(varianti_ven_).SetStatusOperationInProgress(); },
        [&] { INTERNAV->EnableButton(kRicalcolaKey, false); },
        // Grid type 4: what was typed in the sales element on screen (a recharge, say) goes back into
        // the matrix first, as choosing another element would, so the run starts from it.
        [&] {
            if (state_.grid_type != 4) return;
            auto& ven = Driver(varianti_ven_);
            if (ven.Elem().empty()) return;
            ven.SetElemPrev(ven.Elem());
            ReFilterKeepingEdits(ven);
        },
        [&] {
            Driver(varianti_acq_).bRicalcola = true;
            AggiornaDaVariante();
            Driver(varianti_acq_).bRicalcola = false;
        },
        [&] {
            if (state_.grid_type == 4) {
                if (side_rs_ && side_rs_->RecordCount() > 0) side_rs_->MoveFirst();
                if (side_rs1_ && side_rs1_->RecordCount() > 0) side_rs1_->MoveFirst();
                RicalcolaListini4();
                Global()->DoEvents();
                Driver(varianti_ven_).SetElemPrev("Prezzo lordo");
                Driver(varianti_ven_).SetElem("Prezzo lordo");
            } else {
                RicalcolaListini();
            }
        },
        [&] { Driver(varianti_ven_).SetStatusOperationCompleted(); },
    });
    // Whether the run went through, returned at once or was left after an error, what it changed is
    // pending until "Conferma" (leaving the key or the window asks first), and a run that changed
    // nothing leaves nothing to ask about. The button works again either way.
    try {
        INTERNAV->EnableButton(kRicalcolaKey, true);
        if (varianti_ven_ && varianti_ven_->HaModifiche()) {
            INTERNAV->EnableButton(ctl::kToolbarCancel, true);
            INTERNAV->EnableButton(ctl::kToolbarConfirm, true);
            state_.changes_pending = true;
        }
    } catch (const std::exception&) {
        // A window without its toolbar has no buttons to give back.
    }
}

// Closing with unsaved changes asks as starting a new key does: Yes saves and closes (a failed save
// keeps the window open), No closes, Cancel keeps the window open.
bool FRMMG_QUENDORMIXAL::ChiusuraConsentita() {
    if (!state_.changes_pending || !messages_) return true;
    const int answer = messages_->Message(kQuestionSave, 67, "Informazione");
    if (answer == svc::answer::kCancel) return false;
    if (answer == svc::answer::kNo) return true;
    return Conferma();
}

}  // namespace qmx
