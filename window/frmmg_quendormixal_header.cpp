// FRMMG_QUENDORMIXAL: the header fields. The header holds the key of what is edited — the article, its
// option, the second-level variant (grid types 2 and 3) and the validity dates of the purchase and sales
// lists. When the key is complete and valid the header locks itself and the window loads the side
// lists and both price matrices (the loading sequence below).

#include <algorithm>
#include <string>

#include "platform/controls/keys.h"
#include "platform/services/dialogs.h"
#include "platform/variant/strings.h"
#include "shell/error_trap.h"
#include "shell/modmg_quendormixal.h"
#include "window/frmmg_quendormixal.h"

namespace qmx {

namespace ctl = kv::controls;
namespace svc = kv::services;

namespace {

std::string Text(const kv::Variant& v) { return kv::CStr(NS(v)); }

// A description as a caption: its first letter in upper case, the rest in lower case.
std::string Capitalised(const std::string& s) {
    if (s.empty()) return s;
    return kv::UCase(kv::Left(s, 1)) + kv::LCase(kv::Mid(s, 2));
}

}  // namespace

bool FRMMG_QUENDORMIXAL::KeyDatesValid() {
    // A visible date field passes when it holds a valid date; a hidden one (its combo box "Da
    // Configurazione" stands in its place) always passes.
    for (const auto& field : {TXT_DADATA_ACQ, TXT_ADATA_ACQ, TXT_DADATA_VEN, TXT_ADATA_VEN}) {
        if (field->Visible() && (!field->Valid() || field->Text().empty())) return false;
    }
    // A period that ends before it starts would be saved as a list nobody can ever use: it is refused
    // and nothing is loaded.
    struct Period {
        const ctl::DateField& from;
        const ctl::DateField& to;
        const char* kind;
    };
    const Period periods[] = {{*TXT_DADATA_ACQ, *TXT_ADATA_ACQ, "di acquisto"},
                              {*TXT_DADATA_VEN, *TXT_ADATA_VEN, "di vendita"}};
    for (const auto& p : periods) {
        if (!p.from.Visible() || !p.to.Visible()) continue;
        const auto from = p.from.Value();
        const auto to = p.to.Value();
        if (!from || !to || !(*to < *from)) continue;
        Chiedi("La data di fine validità dei listini " + std::string(p.kind) + " (" + p.to.Text() +
                                   ") precede la data di inizio (" + p.from.Text() + ").\r\nCorreggere il periodo.",
                               svc::style::kExclamation, "Attenzione");
        return false;
    }
    return true;
}

// Why a date field did not take its text: a day that does not exist (29/02/2025) is said as such, not
// blamed on the form it was written in.
static std::string MotivoDataRifiutata(const std::string& testo) {
    static const char* const kMesi[12] = {"gennaio", "febbraio", "marzo",     "aprile",  "maggio",   "giugno",
                                          "luglio",  "agosto",   "settembre", "ottobre", "novembre", "dicembre"};
    const std::string t = kv::Trim(testo);
    int parti[3] = {0, 0, 0};
    int k = 0;
    std::size_t cifre = 0;
    bool forma = !t.empty();
    for (char c : t) {
        if (c >= '0' && c <= '9') {
            // A part of more than four digits is no date's: it is not added up (a long run of digits
            // would overflow).
            if (++cifre > 4)
                forma = false;
            else
                parti[k] = parti[k] * 10 + (c - '0');
        } else if ((c == '/' || c == '-' || c == '.') && cifre > 0 && k < 2) {
            ++k;
            cifre = 0;
        } else {
            forma = false;
        }
    }
    if (forma && k == 2 && cifre > 0 && parti[1] >= 1 && parti[1] <= 12)
        return "La data \"" + t + "\" non esiste: " + kMesi[parti[1] - 1] + " " + std::to_string(parti[2]) +
               " non ha il giorno " + std::to_string(parti[0]) + ".";
    return "La data \"" + t + "\" non è valida: scriverla nella forma gg/mm/aaaa.";
}

void FRMMG_QUENDORMIXAL::AvvisaTestoRifiutato(const ctl::EntryField& field, const std::string& not_taken) {
    if (field.Valid() || kv::Trim(field.Text()).empty()) return;
    Chiedi(kv::IsSingleLineText(field.Text())
                           ? not_taken
                           : "Il testo scritto contiene caratteri non ammessi (tabulazioni, ritorni a capo o "
                             "altri caratteri di controllo).\r\nCorreggere il campo " + field.Name() + ".",
                       svc::style::kExclamation, "Attenzione");
}

void FRMMG_QUENDORMIXAL::KeyDatesEnable() {
    for (const auto& field : {TXT_DADATA_ACQ, TXT_ADATA_ACQ, TXT_DADATA_VEN, TXT_ADATA_VEN}) {
        if (!field->Visible()) continue;
        field->SetEnabled(true);
        Focus(*field);
        return;
    }
}

void FRMMG_QUENDORMIXAL::DisableKey() {
    for (const auto& field : {std::static_pointer_cast<ctl::EntryField>(TXT_CODART),
                              std::static_pointer_cast<ctl::EntryField>(TXT_ADATA_ACQ),
                              std::static_pointer_cast<ctl::EntryField>(TXT_DADATA_ACQ),
                              std::static_pointer_cast<ctl::EntryField>(TXT_ADATA_VEN),
                              std::static_pointer_cast<ctl::EntryField>(TXT_DADATA_VEN)})
        field->SetEnabled(false);
}

void FRMMG_QUENDORMIXAL::VerifyTipoGrid() {
    auto report = [this](std::string_view p, const kv::Error& e) { return Report(p, e); };
    RunTrapped("VerifyTipoGrid", report, {
        [&] { state_.grid_type = Driver(listini_acq_).GetIndTipoGriglia(); },
        [&] { INTERNAV->EnableButton(kMargineKey, state_.grid_type != 4); },
        // Rates or a VAT rate entered since the last key are read afresh.
        [&] { Margini().Dimentica(); },
        [&] {
            if (state_.grid_type != 0) return Flow::Next;
            Chiedi("La gestione in griglia non è possibile per questo articolo!",
                                   svc::style::kExclamation, "Attenzione");
            return Flow::Exit;
        },
        [&] { Reinizializza(false); },
        [&] {
            GRB_LISACQ->SetEnabled(true);
            GRB_LISVEN->SetEnabled(true);
        },
        [&] { Driver(listini_acq_).SetupGrid(false); },
        [&] { Driver(listini_ven_).SetupGrid(false); },
        [&] { Driver(varianti_acq_).ReLoadVarianti(); },
        [&] { Driver(varianti_ven_).ReLoadVarianti(); },
    });
}

void FRMMG_QUENDORMIXAL::CaricaChiave(std::string_view procedure, const std::function<void()>& hand_key,
                                      bool loading_flag, bool focus_only_when_visible) {
    auto report = [this](std::string_view p, const kv::Error& e) { return Report(p, e); };
    RunTrapped(procedure, report, {
        // Without an article the field has found there is no key: the drivers would load (and later
        // save) the lists of whatever article they were last given, or of none.
        [&] {
            if (TXT_CODART->Valid() && !Text(kv::Variant(TXT_CODART->Text())).empty()) return Flow::Next;
            Focus(*TXT_CODART);
            return Flow::Exit;
        },
        [&] { Driver(varianti_acq_).SetStatusOperationInProgress(); },
        [&] { DisableKey(); },
        [&] {
            INTERNAV->SetEnabled(true);
            SPLITORIZZONTALE->SetEnabled(true);
            GRB_LISACQ->SetEnabled(true);
            GRB_LISVEN->SetEnabled(true);
            GRD_LISACQ->SetEnableEditing(true);
            GRD_LISVEN->SetEnableEditing(true);
        },
        [&] { hand_key(); },
        [&] {
            if (loading_flag) state_.loading = true;
        },
        [&] { VerifyTipoGrid(); },
        // An article the grid cannot show has been told about and loads nothing: the key opens again
        // (its dates kept), so the user can correct the article instead of starting over.
        [&] {
            if (state_.grid_type != 0) return Flow::Next;
            TXT_CODART->SetEnabled(true);
            for (const auto& field : {TXT_DADATA_ACQ, TXT_ADATA_ACQ, TXT_DADATA_VEN, TXT_ADATA_VEN})
                if (field->Visible()) field->SetEnabled(true);
            INTERNAV->SetEnabled(false);
            GRB_LISACQ->SetEnabled(false);
            GRB_LISVEN->SetEnabled(false);
            Focus(*TXT_CODART);
            Driver(varianti_acq_).SetStatusOperationCompleted();
            return Flow::Exit;
        },
        [&] {
            if (state_.grid_type != 2) return;
            // Grid type 2 shows no row until an option is chosen in the side list.
            Driver(varianti_acq_).Recordset()->SetFilter(kv::Variant(std::string("BLT_VALUTA='EMPTY'")));
            Driver(varianti_ven_).Recordset()->SetFilter(kv::Variant(std::string("BLT_VALUTA='EMPTY'")));
            for (const char* key : {ctl::kToolbarConfirm, ctl::kToolbarCancel, ctl::kToolbarDelete, kRicalcolaKey})
                INTERNAV->EnableButton(key, false);
        },
        [&] { LoadSide(); },
        [&] {
            GRD_LISVEN->SetEnableEditing(true);
            INTERNAV->SetEnabled(true);
            SPLITORIZZONTALE->SetEnabled(true);
        },
        [&] {
            if (state_.grid_type != 2) {
                if (GRD_LISACQ->EnableEditing() && (!focus_only_when_visible || GRD_LISACQ->Visible()))
                    Focus(*GRD_LISACQ);
            } else if (TXT_VARIANTE->Enabled()) {
                Focus(*TXT_VARIANTE);
            }
        },
        [&] {
            if (state_.grid_type != 4) return;
            if (side_rs_ && !side_rs_->IsBOF() && !side_rs_->IsEOF())
                Driver(varianti_acq_).SetElem(kv::Trim(Text(side_rs_->Value("BLT_DESCR2"))));
            Driver(varianti_acq_).ReFilterVarianti4();
            if (side_rs1_ && !side_rs1_->IsBOF() && !side_rs1_->IsEOF())
                Driver(varianti_ven_).SetElem(kv::Trim(Text(side_rs1_->Value("BLT_DESCR2"))));
            Driver(varianti_ven_).ReFilterVarianti4();
        },
        // The first elements shown read as they will once chosen in the lists: their number format,
        // and the copy buttons only for the gross price.
        [&] {
            if (state_.grid_type != 4) return;
            ApplyElementToGrid(*GRD_LISVEN, Driver(varianti_ven_).Elem());
            ApplyElementToGrid(*GRD_LISACQ, Driver(varianti_acq_).Elem());
        },
        [&] { VerificaCaricamento(); },
        [&] { RicominciaStorico(); },
        [&] {
            if (loading_flag) state_.loading = false;
        },
        [&] { Driver(varianti_acq_).SetStatusOperationCompleted(); },
    });
    if (loading_flag) state_.loading = false;
}

void FRMMG_QUENDORMIXAL::TXT_CODART_AfterItem() {
    auto report = [this](std::string_view p, const kv::Error& e) { return Report(p, e); };
    std::string article;
    RunTrapped("TXT_CODART_AfterItem", report, {
        [&] {
            article = Text(kv::Variant(TXT_CODART->Text()));
            AvvisaTestoRifiutato(*TXT_CODART, "L'articolo \"" + article + "\" non esiste.");
            if (!TXT_CODART->Valid() || article.empty()) return;
            Driver(listini_acq_).SetCodArticolo(article);
            Driver(listini_ven_).SetCodArticolo(article);
            Driver(varianti_acq_).SetCodArticolo(article);
            Driver(varianti_ven_).SetCodArticolo(article);
        },
        [&] {
            if (!TXT_OPZIONE->Enabled()) {
                GRB_LISACQ->SetEnabled(true);
                GRB_LISVEN->SetEnabled(true);
                KeyDatesEnable();
                if (KeyDatesValid()) CaricaChiave("TXT_CODART_AfterItem", [] {}, false, false);
            } else if ((state_.grid_type == 2 || state_.grid_type == 3) && TXT_OPZIONE->Enabled()) {
                Focus(*TXT_OPZIONE);
            }
        },
    });
}

void FRMMG_QUENDORMIXAL::TXT_OPZIONE_AfterItem() {
    auto report = [this](std::string_view p, const kv::Error& e) { return Report(p, e); };
    const std::string article = Text(kv::Variant(TXT_CODART->Text()));
    RunTrapped("TXT_OPZIONE_AfterItem", report, {
        [&] {
            AvvisaTestoRifiutato(*TXT_OPZIONE, "L'opzione \"" + TXT_OPZIONE->Text() + "\" non è valida.");
            if (!TXT_OPZIONE->Valid()) return Flow::Exit;
            // An option the article does not have, or longer than the option code, would be stored as
            // typed, spilling into the other segments: it is refused by name, the field emptied, and
            // nothing is loaded or saved under it.
            if (!TXT_CODART->Valid() || article.empty() || kv::Trim(TXT_OPZIONE->Text()).empty()) return Flow::Next;
            const std::string motivo = Driver(varianti_acq_).VerificaOpzione(article, TXT_OPZIONE->Text());
            Driver(varianti_acq_).SetState(0);
            if (motivo.empty()) return Flow::Next;
            TXT_OPZIONE->SetText("");
            Chiedi(motivo, svc::style::kExclamation, "Attenzione");
            Focus(*TXT_OPZIONE);
            return Flow::Exit;
        },
        [&] {
            if (!TXT_CODART->Valid() || article.empty()) return;
            const std::string option = TXT_OPZIONE->Text();
            for (const auto& d : {varianti_acq_, varianti_ven_}) {
                auto& driver = Driver(d);
                driver.SetOpzionePreimpostata(!option.empty() ? option
                                                              : std::string(std::max<int>(0, driver.GetLen(0)), ' '));
            }
        },
        [&] {
            GRB_LISACQ->SetEnabled(true);
            GRB_LISVEN->SetEnabled(true);
            GRD_LISACQ->SetEnableEditing(false);
            GRD_LISVEN->SetEnableEditing(false);
            Driver(listini_acq_).SetCodArticolo(article);
            Driver(listini_ven_).SetCodArticolo(article);
            Driver(varianti_acq_).SetCodArticolo(article);
            Driver(varianti_ven_).SetCodArticolo(article);
        },
        [&] {
            KeyDatesEnable();
            if (KeyDatesValid()) CaricaChiave("TXT_OPZIONE_AfterItem", [] {}, true, true);
        },
        [&] { TXT_OPZIONE->SetEnabled(false); },
    });
}

void FRMMG_QUENDORMIXAL::TXT_VARIANTE_AfterItem() {
    auto report = [this](std::string_view p, const kv::Error& e) { return Report(p, e); };
    const std::string variant = TXT_VARIANTE->Text();
    bool rows_shown = false;
    RunTrapped("TXT_VARIANTE_AfterItem", report, {
        [&] {
            if (TXT_VARIANTE->Valid() && !variant.empty()) return Flow::Next;
            AvvisaTestoRifiutato(*TXT_VARIANTE, "L'opzione \"" + variant + "\" non esiste per la variante " +
                                                    TXT_VARIANTE_LBL->Caption() + ".");
            GRD_LISACQ->SetEnableEditing(false);
            GRD_LISVEN->SetEnableEditing(false);
            if (TXT_OPZIONE->Visible()) Focus(*TXT_OPZIONE);
            return Flow::Exit;
        },
        [&] {
            GRB_LISACQ->SetEnabled(true);
            GRB_LISVEN->SetEnabled(true);
            GRD_LISACQ->SetEnableEditing(false);
            GRD_LISVEN->SetEnableEditing(false);
            KeyDatesEnable();
        },
        [&] {
            if (!KeyDatesValid()) return Flow::Exit;
            return Flow::Next;
        },
        [&] { Driver(varianti_acq_).SetStatusOperationInProgress(); },
        [&] { DisableKey(); },
        [&] {
            INTERNAV->SetEnabled(true);
            SPLITORIZZONTALE->SetEnabled(true);
            GRB_LISACQ->SetEnabled(true);
            GRB_LISVEN->SetEnabled(true);
        },
        [&] {
            GRD_SIDE->SetDataSource(nullptr);
            AddSide(variant);
            // The list shows the typed option as its chosen row, as the matrices will: a list pointing
            // at another option would make "Ricalcola" and the next row change work on that one.
            if (side_rs_ && side_rs_->RecordCount() > 0) {
                const bool was_loading = state_.loading;
                state_.loading = true;
                for (side_rs_->MoveFirst(); !side_rs_->IsEOF(); side_rs_->MoveNext())
                    if (kv::Trim(Text(side_rs_->Value("BLT_OPZIONE2"))) == kv::Trim(variant)) break;
                if (side_rs_->IsEOF()) side_rs_->MoveFirst();
                state_.loading = was_loading;
            }
            GRD_SIDE->SetDataSource(side_rs_);
        },
        [&] {
            const std::string article = Text(kv::Variant(TXT_CODART->Text()));
            const std::string code =
                side_rs_ && !side_rs_->IsBOF() && !side_rs_->IsEOF() ? Text(side_rs_->Value("BLT_CODICEVAR2")) : "";
            for (const auto& d : {varianti_acq_, varianti_ven_}) {
                auto& driver = Driver(d);
                driver.SetCodArticolo(article);
                driver.SetCodVariante2(code);
                driver.SetValVariante2(variant);
                driver.ReFilterVarianti();
                driver.SetOpzionePreimpostata(variant);
            }
        },
        // The rows of the chosen option are on screen: they can be edited, saved, recalculated and
        // deleted (the grids and commands held back while the matrices showed no row).
        [&] {
            GRD_LISACQ->SetEnableEditing(true);
            GRD_LISVEN->SetEnableEditing(true);
            for (const char* key : {ctl::kToolbarConfirm, ctl::kToolbarCancel, ctl::kToolbarDelete, kRicalcolaKey})
                INTERNAV->EnableButton(key, true);
        },
        [&] {
            INTERNAV->SetEnabled(true);
            SPLITORIZZONTALE->SetEnabled(true);
            if (GRD_LISACQ->EnableEditing()) {
                MoveToFirstEditableCell(*GRD_LISACQ);
                Focus(*GRD_LISACQ);
                rows_shown = true;
            }
        },
        [&] { Driver(varianti_acq_).SetStatusOperationCompleted(); },
    });
    // Once the option's rows are on screen the user types prices: the focus stays on the grid. Sent
    // to the option field it would take the first price typed as an option and load the key again,
    // dropping the rows with their edits. Without rows the option field is where to go on.
    if (!rows_shown && TXT_OPZIONE->Visible() && TXT_OPZIONE->Enabled()) Focus(*TXT_OPZIONE);
}

void FRMMG_QUENDORMIXAL::TXT_VARIANTE_StartLookup(std::string& sql, std::vector<std::string>& headings,
                                                  std::string& title, std::string& connection_string) {
    auto report = [this](std::string_view p, const kv::Error& e) { return Report(p, e); };
    RunTrapped("TXT_VARIANTE_StartLookup", report, {
        [&] { headings = {"Codice", "Descrizione"}; },
        [&] { title = "Varianti di 2° livello"; },
        [&] { sql = Driver(varianti_acq_).GetSqlLkpSegmenti(state_.grid_type); },
        [&] { connection_string = connection_string_; },
    });
}

void FRMMG_QUENDORMIXAL::TXT_VARIANTE_StartDecode(std::string& sql, ctl::DecodeMap& map,
                                                  std::string& connection_string) {
    auto report = [this](std::string_view p, const kv::Error& e) { return Report(p, e); };
    RunTrapped("TXT_VARIANTE_StartDecode", report, {
        [&] { sql = Driver(varianti_acq_).GetSqlDecSegmenti(Text(kv::Variant(TXT_VARIANTE->Text())), state_.grid_type); },
        [&] {
            map.target = TXT_DESCSEGMENTO;
            map.column = "MG5E_DESCR";
        },
        [&] { connection_string = connection_string_; },
    });
}

void FRMMG_QUENDORMIXAL::DateAfterItem(std::string_view procedure, ctl::DateField& field, bool purchase_date) {
    auto report = [this](std::string_view p, const kv::Error& e) { return Report(p, e); };
    RunTrapped(procedure, report, {
        [&] {
            AvvisaTestoRifiutato(field, MotivoDataRifiutata(field.Text()));
            // A field the program confirms while it is locked starts nothing and asks nothing (the
            // check of the dates may tell the user about a reversed period).
            if (!field.Enabled() || !KeyDatesValid()) return Flow::Exit;
            return Flow::Next;
        },
        [&] {
            CaricaChiave(procedure, [this] {
                const std::string article = Text(kv::Variant(TXT_CODART->Text()));
                auto& acq = Driver(varianti_acq_);
                acq.SetCodArticolo(article);
                acq.SetDataIni(Text(kv::Variant(TXT_DADATA_ACQ->Text())));
                acq.SetDataFin(Text(kv::Variant(TXT_ADATA_ACQ->Text())));
                auto& ven = Driver(varianti_ven_);
                ven.SetCodArticolo(article);
                ven.SetDataIni(Text(kv::Variant(TXT_DADATA_VEN->Text())));
                ven.SetDataFin(Text(kv::Variant(TXT_ADATA_VEN->Text())));
            }, false, false);
        },
        // A purchase date puts the purchase grid's cursor on the gross price, the first thing typed
        // (the column before it is the read-only description in the grids of rows); the pivot has no
        // gross price column and its cursor goes to its first price.
        [&] {
            if (!purchase_date) return;
            const long prezzo = GRD_LISACQ->Columns().IndexOf("LI10_PREZZO");
            if (prezzo >= 0) {
                GRD_LISACQ->SetCurrentColumnIndex(prezzo);
            } else {
                MoveToFirstEditableCell(*GRD_LISACQ);
            }
        },
        // Whichever date completed the key, the cursor waits where the user types first: a cursor on
        // "N." makes the user walk to the price before typing it.
        [&] {
            if (!field.Enabled()) MoveToFirstEditableCell(*GRD_LISACQ);
        },
        [&] {
            if (purchase_date) GRD_LISACQ_RowChanged();
        },
    });
}

void FRMMG_QUENDORMIXAL::MoveToFirstEditableCell(ctl::DataGrid& grid) {
    if (grid.RowCount() == 0) return;
    const long row = std::max(0L, grid.CurrentRow());
    for (long c = 0; c < grid.Columns().Count(); ++c) {
        if (!grid.Columns().Item(c).Visible() || !grid.CellEditable(row, c)) continue;
        grid.SetCurrentColumnIndex(c);
        return;
    }
}

void FRMMG_QUENDORMIXAL::GetSegmentoVarianteTestata() {
    auto report = [this](std::string_view p, const kv::Error& e) { return Report(p, e); };
    kv::ado::RecordsetPtr rs;
    RunTrapped("GetSegmentoVarianteTestata", report, {
        [&] {
            if (state_.layout_mode != 2 && state_.layout_mode != 3) return Flow::Next;
            rs = connection_->Execute("SELECT MG5F_CODICEVAR, MG5F_DESCR_VAR, MG5F_SIZE FROM MG5F_DIMECONF WHERE "
                                      "MG5F_DITTA_CG18 = " + company_code_ +
                                      " AND MG5F_INDGRIGLIA = " + std::to_string(state_.grid_type));
            if (rs->RecordCount() != 1) return Flow::Exit;
            TXT_VARIANTE->SetText("");
            const std::string caption = Capitalised(Text(rs->Value("MG5F_DESCR_VAR")));
            TXT_VARIANTE_LBL->SetCaption(caption);
            TXT_VARIANTE_LBL->SetTag(Text(rs->Value("MG5F_CODICEVAR")));
            const long size = kv::CLng(NZ(rs->Value("MG5F_SIZE")));
            TXT_VARIANTE->SetMaxLength(size);
            TXT_VARIANTE->SetDisplayLength(size);
            GRD_SIDE->SetColumnCaption("BLT_OPZIONE2", caption);
            GRD_SIDE->SetColumnCaption("BLT_DESCR2", "Descrizione");
            return Flow::Exit;
        },
        [&] {
            if (state_.layout_mode != 4) return;
            TXT_VARIANTE->SetEnabled(false);
            GRD_SIDE->SetRedraw(false);
            GRD_SIDE->SetColumnCaption("BLT_DESCR2", "  Listini di Acquisto");
            GRD_SIDE->SetRedraw(true);
            GRD_SIDE1->SetRedraw(false);
            GRD_SIDE1->SetColumnCaption("BLT_DESCR2", "  Listini di Vendita");
            GRD_SIDE1->SetRedraw(true);
        },
    });
}

}  // namespace qmx

namespace qmx {

void FRMMG_QUENDORMIXAL::ConnectKeyEvents() {
    subscriptions_.push_back(TXT_CODART->AfterItem.Connect([this] { TXT_CODART_AfterItem(); }));
    subscriptions_.push_back(TXT_OPZIONE->AfterItem.Connect([this] { TXT_OPZIONE_AfterItem(); }));
    subscriptions_.push_back(TXT_VARIANTE->AfterItem.Connect([this] { TXT_VARIANTE_AfterItem(); }));
    subscriptions_.push_back(TXT_VARIANTE->StartLookup.Connect(
        [this](std::string& sql, std::vector<std::string>& headings, std::string& title, std::string& cs) {
            TXT_VARIANTE_StartLookup(sql, headings, title, cs);
        }));
    subscriptions_.push_back(TXT_VARIANTE->StartDecode.Connect(
        [this](std::string& sql, kv::controls::DecodeMap& map, std::string& cs) { TXT_VARIANTE_StartDecode(sql, map, cs); }));
    subscriptions_.push_back(TXT_DADATA_ACQ->AfterItem.Connect([this] { TXT_DADATA_ACQ_AfterItem(); }));
    subscriptions_.push_back(TXT_ADATA_ACQ->AfterItem.Connect([this] { TXT_ADATA_ACQ_AfterItem(); }));
    subscriptions_.push_back(TXT_DADATA_VEN->AfterItem.Connect([this] { TXT_DADATA_VEN_AfterItem(); }));
    subscriptions_.push_back(TXT_ADATA_VEN->AfterItem.Connect([this] { TXT_ADATA_VEN_AfterItem(); }));
    subscriptions_.push_back(GRD_SIDE->RowChanged.Connect([this] { GRD_SIDE_RowChanged(); }));
    subscriptions_.push_back(GRD_SIDE1->RowChanged.Connect([this] { GRD_SIDE1_RowChanged(); }));
    subscriptions_.push_back(INTERNAV->ButtonClick.Connect([this](const std::string& key) { INTERNAV_ButtonClick(key); }));
}

}  // namespace qmx
