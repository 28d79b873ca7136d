// FRMMG_QUENDORMIXAL: the margin of each sales price over its purchase price (margin.h says how it is
// worked out).
//  - The sales grid's column "Margine %" (grid types 1 to 3), read-only, worked out as each row is drawn.
//    A margin below zero is drawn as a warning, and so is the row's net price, whether the column is
//    shown or not: a price sold at a loss is seen where the price is.
//  - The toolbar toggle "Margine %" shows or hides the column. The choice is the user's: it is kept in
//    the company database per company and user name, and the window opens with it.
//  - Grid type 4 shows one element of many options per row: a margin column has no place there. The
//    toggle is disabled; the breakdown (F2) of a sales cell gives the margin of its option in every type.

#include <string>

#include "platform/controls/toolbar.h"
#include "platform/services/global_services.h"
#include "schema/own_tables.h"
#include "shell/error_trap.h"
#include "window/frmmg_quendormixal.h"

namespace qmx {

namespace ctl = kv::controls;

namespace {

constexpr const char* kPreferenzaMargine = "MARGINE";

}  // namespace

std::string FRMMG_QUENDORMIXAL::Utente() const {
    auto global = Global();
    std::string utente = global->UserName();
    if (utente.empty()) utente = kv::services::OperatingSystemUser();
    return utente;
}

MarginiVendita& FRMMG_QUENDORMIXAL::Margini() {
    if (!margini_) margini_ = std::make_unique<MarginiVendita>(Pricing().Prezzi().Context(), [this] { return Global()->Today(); });
    return *margini_;
}

void FRMMG_QUENDORMIXAL::ConnectMarginEvents() {
    if (INTERNAV->IndexOf(kMargineKey) < 0) INTERNAV->AddCheckButton(kMargineKey, "Margine %");
    GRD_LISVEN->SetComputedField(
        CLSMG_SETUPLISTINI::kCampoMargine,
        [this](kv::ado::Recordset& riga) -> ctl::DataGrid::ComputedCell {
            // The pivot's rows are no matrix rows.
            if (state_.grid_type == 4 || !varianti_acq_) return {};
            const MargineRiga m = Margini().Calcola(riga);
            if (!m.margine) return {};
            return {kv::Variant(m.margine->percentuale), m.Negativo()};
        },
        {"BLT_PREZZONETTO"});
}

void FRMMG_QUENDORMIXAL::LeggiPreferenzaMargine() {
    bool mostra = false;
    // A choice that cannot be read (a database the window cannot reach says so at its next access)
    // is the column hidden, as for a user who never chose.
    try {
        if (!connection_) return;
        if (auto v = schema::LeggiPreferenza(*connection_, Global()->CompanyCode(), Utente(), kPreferenzaMargine))
            mostra = *v == "1";
    } catch (const kv::Error&) {
    }
    INTERNAV->SetButtonChecked(kMargineKey, mostra);
    Driver(listini_ven_).SetMostraMargine(mostra);
}

void FRMMG_QUENDORMIXAL::MostraMargine(bool mostra) {
    auto report = [this](std::string_view p, const kv::Error& e) { return Report(p, e); };
    RunTrapped("MostraMargine", report, {
        [&] {
            INTERNAV->SetButtonChecked(kMargineKey, mostra);
            Driver(listini_ven_).SetMostraMargine(mostra);
        },
        // Kept for the next time; a database that refuses it leaves the column as chosen for now.
        [&] {
            if (!connection_) return;
            schema::ScriviPreferenza(*connection_, Global()->CompanyCode(), Utente(), kPreferenzaMargine,
                                     mostra ? "1" : "0");
        },
    });
}

}  // namespace qmx
