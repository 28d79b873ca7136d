// FRMMG_QUENDORMIXAL: a save that meets rows another desktop changed since they were loaded.
//
// The matrix drivers find such rows before writing anything (and their UPDATEs match the values they
// read, for a change that comes in between); the window's save is then undone as a whole, both kinds,
// and the user is asked what to do with the rows: take the stored values (the edits of every other row
// stay, and so does the changes-pending flag), write the values on screen over them, or go back with
// nothing written.

#include <string>

#include "platform/services/dialogs.h"
#include "window/frmmg_quendormixal.h"

namespace qmx {

namespace svc = kv::services;

namespace {

std::string DomandaConflitti(long n) {
    if (n == 1)
        return "1 riga è stata modificata da un altro utente dopo il caricamento. Ricaricarla con i valori "
               "salvati (Sì) o sovrascriverla con i valori inseriti (No)? Con Annulla non viene salvato nulla.";
    return std::to_string(n) +
           " righe sono state modificate da un altro utente dopo il caricamento. Ricaricare queste righe con i "
           "valori salvati (Sì) o sovrascriverle con i valori inseriti (No)? Con Annulla non viene salvato nulla.";
}

}  // namespace

long FRMMG_QUENDORMIXAL::RigheModificateAltrove() {
    auto& acq = Driver(varianti_acq_);
    auto& ven = Driver(varianti_ven_);
    if (acq.RigheInConflitto() == 0 && ven.RigheInConflitto() == 0 && !acq.ConflittoSospetto() &&
        !ven.ConflittoSospetto())
        return 0;
    // The save stopped at the first kind it found them in: both kinds are counted against the stored
    // rows as they are now.
    long n = 0;
    for (CLSMG_SETUPVARIANTI* d : {&acq, &ven}) {
        n += d->VerificaConflitti();
        d->SetState(0);
    }
    return n;
}

bool FRMMG_QUENDORMIXAL::SalvaSenzaSovrascrivere() {
    for (;;) {
        try {
            return SalvaListini();
        } catch (const kv::Error&) {
            long n = 0;
            try {
                n = RigheModificateAltrove();
            } catch (const kv::Error&) {
                // The stored rows cannot be read again: the save's own error is the one to show.
            }
            if (n == 0) throw;
            const int answer = Chiedi(
                DomandaConflitti(n), svc::style::kYesNoCancel + svc::style::kExclamation + svc::style::kDefaultButton3,
                "Attenzione");
            if (answer == svc::answer::kYes) {
                Driver(varianti_acq_).RicaricaConflitti();
                Driver(varianti_ven_).RicaricaConflitti();
                // The rows read again replaced some edits: the steps before no longer undo to them.
                RicominciaStorico();
                return false;
            }
            if (answer != svc::answer::kNo) return false;
            Driver(varianti_acq_).SovrascriviConflitti();
            Driver(varianti_ven_).SovrascriviConflitti();
            // Saved again: rows changed once more in the meantime are asked about again.
        }
    }
}

}  // namespace qmx
