// FRMMG_QUENDORMIXAL: undo and redo of what the user changed in the price grids (edit_history.h says
// how the steps are made).

#include <utility>

#include "platform/controls/toolbar.h"
#include "platform/variant/strings.h"
#include "shell/error_trap.h"
#include "window/frmmg_quendormixal.h"

namespace qmx {

namespace ctl = kv::controls;

void FRMMG_QUENDORMIXAL::RicominciaStorico() {
    // The rows "Da periodo" filled are the rows of the key loaded before.
    origini_periodo_.clear();
    // Grid type 4 edits a pivot of the matrix: at the end of each action the element on screen is
    // written into its matrix, so the step holds what was typed there.
    storico_.prima_del_taglio = [this] {
        if (state_.grid_type != 4) return;
        for (CLSMG_SETUPVARIANTI* d : {varianti_acq_.get(), varianti_ven_.get()}) {
            // The net amounts are worked out to be shown, never typed: nothing of them goes back.
            if (d && kv::UCase(kv::Trim(d->Elem())) != "IMPORTO NETTO") d->ScriviPivot();
        }
    };
    storico_.Ricomincia(varianti_acq_ ? varianti_acq_->Recordset() : nullptr,
                        varianti_ven_ ? varianti_ven_->Recordset() : nullptr);
}

bool FRMMG_QUENDORMIXAL::AnnullaUltimaModifica() {
    bool fatto = false;
    auto report = [this](std::string_view p, const kv::Error& e) { return Report(p, e); };
    RunTrapped("AnnullaUltimaModifica", report, {
        [&] { fatto = storico_.Annulla(); },
        [&] {
            if (fatto) DopoStorico();
        },
    });
    return fatto;
}

bool FRMMG_QUENDORMIXAL::RipetiModifica() {
    bool fatto = false;
    auto report = [this](std::string_view p, const kv::Error& e) { return Report(p, e); };
    RunTrapped("RipetiModifica", report, {
        [&] { fatto = storico_.Ripeti(); },
        [&] {
            if (fatto) DopoStorico();
        },
    });
    return fatto;
}

void FRMMG_QUENDORMIXAL::DopoStorico() {
    for (auto [grid, driver] : {std::pair{GRD_LISACQ.get(), varianti_acq_.get()}, std::pair{GRD_LISVEN.get(), varianti_ven_.get()}}) {
        if (!driver) continue;
        if (state_.grid_type == 4) {
            // The pivot is drawn again from the matrix; the user's cell stays where it was.
            const long riga = grid->CurrentRow(), colonna = grid->CurrentColumnIndex();
            driver->RidisegnaPivot();
            auto pivot = grid->DataSource();
            if (pivot && riga >= 0 && riga < pivot->RecordCount()) pivot->SetAbsolutePosition(riga + 1);
            if (colonna >= 0) grid->SetCurrentColumnIndex(colonna);
            grid->SyncWithDataSource();
        } else {
            grid->RefreshAfterEdit();
        }
    }
    // Undoing every change leaves nothing to save; a change redone is pending again.
    const bool pendenti = (varianti_acq_ && varianti_acq_->HaModifiche()) || (varianti_ven_ && varianti_ven_->HaModifiche());
    state_.changes_pending = pendenti;
    INTERNAV->EnableButton(ctl::kToolbarConfirm, pendenti);
    INTERNAV->EnableButton(ctl::kToolbarCancel, pendenti);
}

}  // namespace qmx
