// The window's price grids: how an edited cell reaches the matrix, how Enter moves to the next column,
// which grid the user works in, the option code of the current row in the header, the copy buttons,
// and the price procedures (derivation of the sales prices, recalculation) that the window runs on the
// matrices of its drivers.

#include <string>

#include "pricing/recalculation.h"
#include "shell/error_trap.h"
#include "shell/modmg_quendormixal.h"
#include "matrix/matrix_recordset.h"
#include "platform/variant/strings.h"
#include "window/frmmg_quendormixal.h"
#include "window/grid_edit_rule.h"

namespace qmx {

namespace ctl = kv::controls;

namespace {

constexpr const char* kAcq = "ACQ";
constexpr const char* kVen = "VEN";
constexpr int16_t kEnter = 13;

}  // namespace

// ---------------------------------------------------------------------------------------------------
// Wiring

void FRMMG_QUENDORMIXAL::ConnectGridEvents() {
    // The edit handlers decide what is stored (a blank typed over an empty cell stores nothing), so the
    // grids do not write the edited value themselves.
    GRD_LISACQ->SetWriteEdits(false);
    GRD_LISVEN->SetWriteEdits(false);
    auto& s = subscriptions_;
    s.push_back(GRD_LISACQ->Event0.Connect([this] { state_.active_price_grid = kAcq; }));
    s.push_back(GRD_LISVEN->Event0.Connect([this] { state_.active_price_grid = kVen; }));
    s.push_back(GRD_LISACQ->Event66.Connect([this](const ctl::GridEdit&, long) {
        state_.changes_pending = true;
        state_.active_price_grid = kAcq;
    }));
    s.push_back(GRD_LISVEN->Event66.Connect([this](const ctl::GridEdit&, long) {
        state_.changes_pending = true;
        state_.active_price_grid = kVen;
    }));
    s.push_back(GRD_LISACQ->KeyDown.Connect([this](int16_t& k, int16_t sh) { GRD_LISACQ_KeyDown(k, sh); }));
    s.push_back(GRD_LISVEN->KeyDown.Connect([this](int16_t& k, int16_t sh) { GRD_LISVEN_KeyDown(k, sh); }));
    s.push_back(GRD_LISACQ->OnEdited.Connect([this](const ctl::GridEdit& e) { GRD_LISACQ_OnEdited(e); }));
    s.push_back(GRD_LISVEN->OnEdited.Connect([this](const ctl::GridEdit& e) { GRD_LISVEN_OnEdited(e); }));
    s.push_back(GRD_LISACQ->RowChanged.Connect([this] { GRD_LISACQ_RowChanged(); }));
    s.push_back(GRD_LISVEN->RowChanged.Connect([this] { GRD_LISVEN_RowChanged(); }));
    s.push_back(CMD_COPIASURIGA->Click.Connect([this] { CMD_COPIASURIGA_Click(); }));
    s.push_back(CMD_COPIASUTUTTERIGHE->Click.Connect([this] { CMD_COPIASUTUTTERIGHE_Click(); }));
    // Every value a user puts into a price cell (typed, pasted, adjusted) meets the one price rule.
    for (ctl::DataGrid* grid : {GRD_LISACQ.get(), GRD_LISVEN.get()})
        grid->SetEditRule([this, grid](long row, long column, kv::Variant& value) {
            return RegolaCella(*grid, row, column, value);
        });
}

RegolaPrezzi& FRMMG_QUENDORMIXAL::Regola() {
    if (!regola_) {
        auto global = Global();
        auto calcolo = global->NewPriceCalculation();
        calcolo->SetGlobalServices(global);
        regola_ = std::make_unique<RegolaPrezzi>(calcolo, [global](const kv::Variant& valuta) -> std::optional<int> {
            auto tabella = global->Currencies();
            if (!tabella) return std::nullopt;
            try {
                if (auto v = tabella->Find(kv::RTrim(kv::CStr(NS(valuta))))) return v->unit_price_decimals;
            } catch (const kv::Error&) {
                // A currency the table cannot give is not rounded here: its prices show every digit.
            }
            return std::nullopt;
        });
    }
    return *regola_;
}

std::optional<std::string> FRMMG_QUENDORMIXAL::RegolaCella(ctl::DataGrid& grid, long row, long column,
                                                           kv::Variant& value) {
    if (!loaded_ || column < 0 || column >= grid.Columns().Count()) return std::nullopt;
    const bool vendita = &grid == GRD_LISVEN.get();
    auto driver = vendita ? varianti_ven_ : varianti_acq_;
    auto listini = vendita ? listini_ven_ : listini_acq_;
    if (!driver || !listini || !driver->Recordset()) return std::nullopt;
    // The matrix row the cell belongs to, and its field.
    auto riga = driver->Recordset()->Clone();
    std::string campo;
    if (state_.grid_type == 4) {
        // A pivot cell: its row names the list and first option, its column the second option.
        auto pivot = grid.DataSource();
        if (!pivot) return std::nullopt;
        auto p = pivot->Clone();
        p->SetBookmark(grid.RowBookmark(row));
        const auto& opzioni = listini->OpzioniColonna();
        const auto it = opzioni.find(grid.Columns()[column].DataField());
        if (it == opzioni.end()) return std::nullopt;
        riga->SetFilter(kv::Variant("BLT_OPZIONE1='" + RaddoppiaApici(kv::CStr(NS(p->Value("BLT_CODOPZIONE1")))) +
                                    "' AND BLT_OPZIONE2='" + RaddoppiaApici(kv::CStr(NS(it->second))) +
                                    "' AND LI10_NUMLIST = " + kv::CStr(NZ(p->Value("LI10_NUMLIST")))));
        if (riga->RecordCount() != 1) return std::nullopt;
        campo = GetCampoElemento(driver->Elem());
    } else {
        riga->SetBookmark(grid.RowBookmark(row));
        campo = grid.Columns()[column].DataField();
    }
    CifreRiga cifre = CifreDi(*riga);
    return Regola().Applica(campo, value, cifre);
}

// ---------------------------------------------------------------------------------------------------
// Grid events

void FRMMG_QUENDORMIXAL::GRD_LISACQ_KeyDown(int16_t& KeyCode, int16_t Shift) {
    GrigliaKeyDown(*GRD_LISACQ, "GRD_LISACQ_KeyDown", KeyCode, Shift);
}
void FRMMG_QUENDORMIXAL::GRD_LISVEN_KeyDown(int16_t& KeyCode, int16_t Shift) {
    GrigliaKeyDown(*GRD_LISVEN, "GRD_LISVEN_KeyDown", KeyCode, Shift);
}

void FRMMG_QUENDORMIXAL::GrigliaKeyDown(ctl::DataGrid& grid, std::string_view procedure, int16_t& KeyCode,
                                        int16_t Shift) {
    auto report = [this](std::string_view p, const kv::Error& e) { return Report(p, e); };
    // Enter alone moves one column to the right; with Shift, Ctrl or Alt it is the grid's.
    RunTrapped(procedure, report, {
        [&] { return Shift == 0 && KeyCode == kEnter ? Flow::Next : Flow::Exit; },
        [&] { Global()->DoEvents(); },
        [&] { KeyCode = 0; },
        // Past the last column the grid keeps its current column.
        [&] {
            const long colonna = grid.CurrentColumnIndex();
            if (!(colonna > grid.Columns().Count())) grid.SetCurrentColumnIndex(colonna + 1);
        },
    });
}

void FRMMG_QUENDORMIXAL::GRD_LISACQ_OnEdited(const ctl::GridEdit& edit) {
    GrigliaOnEdited(*GRD_LISACQ, varianti_acq_, "GRD_LISACQ_OnEdited", edit);
}
void FRMMG_QUENDORMIXAL::GRD_LISVEN_OnEdited(const ctl::GridEdit& edit) {
    GrigliaOnEdited(*GRD_LISVEN, varianti_ven_, "GRD_LISVEN_OnEdited", edit);
}

void FRMMG_QUENDORMIXAL::GrigliaOnEdited(ctl::DataGrid& grid,
                                         const std::shared_ptr<CLSMG_SETUPVARIANTI>& varianti,
                                         std::string_view procedure, const ctl::GridEdit& edit) {
    StoricoModifiche::Azione azione(storico_);  // a typed cell is one step, a pasted block's cells one together
    auto report = [this](std::string_view p, const kv::Error& e) { return Report(p, e); };
    ctl::GridColumn* colonna = nullptr;
    bool primo = false;  // the first edit after a load or a toolbar flow only marks the changes
    RunTrapped(procedure, report, {
        [&] {
            colonna = grid.CurrentColumn();
            return colonna ? Flow::Next : Flow::Exit;
        },
        [&] {
            if (state_.changes_pending) return;
            state_.changes_pending = true;
            primo = true;
        },
        [&] {
            if (primo || !grid.DataSource()) return;
            const std::string& campo = colonna->DataField();
            const kv::Variant nuovo = NZ(edit.Value(colonna->Index()));
            if (state_.grid_type == 4) {
                grid.DataSource()->SetValue(campo, nuovo);
                return;
            }
            auto matrice = Driver(varianti).Recordset();
            if (!matrice || matrice->IsBOF() || matrice->IsEOF()) return;
            // A blank or 0 typed over an empty cell leaves it empty; over a price it stores 0.
            StoreEdit(*matrice, campo, nuovo);
        },
        [&] {
            if (primo) return;
            INTERNAV->EnableButton(ctl::kToolbarConfirm, true);
            INTERNAV->EnableButton("Ricalcola", true);
            INTERNAV->EnableButton(ctl::kToolbarCancel, true);
        },
        [&] { Driver(varianti).AggiornaPrezzoNetto(); },
        [&] { grid.RefreshAfterEdit(); },
    });
}

void FRMMG_QUENDORMIXAL::GRD_LISACQ_RowChanged() { GrigliaRowChanged(kAcq, varianti_acq_); }
void FRMMG_QUENDORMIXAL::GRD_LISVEN_RowChanged() { GrigliaRowChanged(kVen, varianti_ven_); }

// The header's option field keeps the option as the user typed it, the key of what is edited: the
// option of the row the cursor is on is in the row itself (shown in the field, its fixed-width code
// read with leading blanks where the first segments are empty).
void FRMMG_QUENDORMIXAL::GrigliaRowChanged(const char* lato, const std::shared_ptr<CLSMG_SETUPVARIANTI>& varianti) {
    bool segui = true;
    RunResumeNext({
        [&] { state_.active_price_grid = lato; },
        [&] { segui = TXT_CODART->Valid() && !TXT_CODART->Text().empty() && !state_.loading; },
        [&] {
            if (!segui) return Flow::Exit;
            return Flow::Next;
        },
        [&] { Driver(varianti).AggiornaPrezzoNetto(); },
    });
}

// ---------------------------------------------------------------------------------------------------
// Copy buttons

void FRMMG_QUENDORMIXAL::CMD_COPIASURIGA_Click() { CopiaPrezzo("CMD_COPIASURIGA_Click", false); }
void FRMMG_QUENDORMIXAL::CMD_COPIASUTUTTERIGHE_Click() { CopiaPrezzo("CMD_COPIASUTUTTERIGHE_Click", true); }

void FRMMG_QUENDORMIXAL::CopiaPrezzo(std::string_view procedure, bool tutte) {
    StoricoModifiche::Azione azione(storico_);
    // The copy buttons come back, and the loading flag is cleared, also when the copy fails: a flag
    // left set would make the window ignore every later row change.
    auto report = [this](std::string_view p, const kv::Error& e) {
        AbilitazionePulsanti(true);
        state_.loading = false;
        return Report(p, e);
    };
    RunTrapped(procedure, report, {
        [&] {
            const bool senza_articolo = kv::CStr(NS(TXT_CODART->Text())).empty();
            if (senza_articolo || !GRD_LISACQ->DataSource() || !GRD_LISVEN->DataSource()) return Flow::Exit;
            return Flow::Next;
        },
        [&] { state_.loading = true; },
        [&] { AbilitazionePulsanti(false); },
        // Before either grid was ever active, the copy works in the sales matrix.
        [&] {
            auto& driver = Driver(state_.active_price_grid == kAcq ? varianti_acq_ : varianti_ven_);
            if (tutte) {
                driver.CopiaPrezzoSuTutteLeRighe();
            } else {
                driver.CopiaPrezzoSuRiga();
            }
        },
        [&] { INTERNAV->EnableButton(ctl::kToolbarCancel, true); },
        [&] { INTERNAV->EnableButton(ctl::kToolbarConfirm, true); },
        [&] { state_.loading = false; },
        [&] { AbilitazionePulsanti(true); },
    });
}

// ---------------------------------------------------------------------------------------------------
// Price procedures

Recalculation& FRMMG_QUENDORMIXAL::Pricing() {
    PricingContext ctx;
    ctx.listini_acq = listini_acq_;
    ctx.listini_ven = listini_ven_;
    ctx.varianti_acq = varianti_acq_;
    ctx.varianti_ven = varianti_ven_;
    ctx.connection = connection_;
    ctx.company = company_code_;
    ctx.price_calculation = price_calculation_;
    ctx.price_rounding = price_rounding_;
    ctx.article = [this] { return TXT_CODART->Text(); };
    ctx.report = [this](std::string_view p, const kv::Error& e) { return Report(p, e); };
    ctx.do_events = [this] { Global()->DoEvents(); };
    ctx.enable_button = [this](std::string_view key, bool enabled) { INTERNAV->EnableButton(key, enabled); };
    // Grid type 4: each side list back on its first element, with what choosing it does (the pivot of that element).
    ctx.side_lists_to_first_row = [this] {
        if (side_rs_ && !(side_rs_->IsBOF() && side_rs_->IsEOF())) side_rs_->MoveFirst();
        GRD_SIDE_RowChanged();
        if (side_rs1_ && !(side_rs1_->IsBOF() && side_rs1_->IsEOF())) side_rs1_->MoveFirst();
        GRD_SIDE1_RowChanged();
    };
    if (!pricing_) {
        pricing_ = std::make_unique<Recalculation>(std::move(ctx));
    } else {
        pricing_->SetContext(std::move(ctx));
    }
    return *pricing_;
}

void FRMMG_QUENDORMIXAL::RicalcolaListini() { Pricing().RicalcolaListini(); }
void FRMMG_QUENDORMIXAL::RicalcolaListini4() { Pricing().RicalcolaListini4(); }

}  // namespace qmx
