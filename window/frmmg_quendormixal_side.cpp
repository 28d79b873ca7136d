// FRMMG_QUENDORMIXAL: the variant side lists. For grid types 2 and 3 the first list holds the options
// of one variant and picking one filters both price matrices to it; for grid type 4 the two lists hold
// the price elements of the purchase and of the sales lists and picking one shows that element in the
// pivot. Each list is a grid bound to a small recordset the window builds.

#include <string>

#include "matrix/matrix_recordset.h"
#include "platform/ado/enums.h"
#include "platform/variant/strings.h"
#include "shell/error_trap.h"
#include "shell/modmg_quendormixal.h"
#include "window/frmmg_quendormixal.h"

namespace qmx {

namespace ctl = kv::controls;
namespace ado = kv::ado;

namespace {

std::string Text(const kv::Variant& v) { return kv::CStr(NS(v)); }

bool OnRow(const ado::RecordsetPtr& rs) { return rs && rs->State() == ado::adStateOpen && !rs->IsBOF() && !rs->IsEOF(); }

// A disconnected side recordset: the option layout (variant code, option, description) or the element
// layout (one description field).
ado::RecordsetPtr NewSideRecordset(bool elements) {
    auto rs = ado::Recordset::Create();
    rs->SetCursorLocation(ado::adUseClient);
    rs->SetCursorType(ado::adOpenKeyset);
    rs->SetLockType(ado::adLockBatchOptimistic);
    if (!elements) {
        rs->GetFields().Append("BLT_CODICEVAR2", ado::adChar, 20, ado::adFldUnspecified);
        rs->GetFields().Append("BLT_OPZIONE2", ado::adChar, 20, ado::adFldUnspecified);
    }
    rs->GetFields().Append("BLT_DESCR2", ado::adWChar, 160, ado::adFldUnspecified);
    rs->Open();
    return rs;
}

// Removes every row of a side recordset, first row after first row.
void EmptySide(const ado::RecordsetPtr& rs) {
    if (!rs || rs->State() != ado::adStateOpen) return;
    rs->SetFilter(kv::Variant(int16_t{0}));
    const long n = rs->RecordCount();
    for (long i = 0; i < n; ++i) {
        rs->MoveFirst();
        rs->Delete();
    }
    rs->UpdateBatch();
}

}  // namespace

std::string FRMMG_QUENDORMIXAL::GetCodiceVariante(const std::string& opzione) {
    return VariantColumn("GetCodiceVariante", "MG5E_CODICEVAR_MG5F", opzione);
}

std::string FRMMG_QUENDORMIXAL::GetDescrVariante(const std::string& opzione) {
    return VariantColumn("GetDescrVariante", "MG5E_DESCR", opzione);
}

std::string FRMMG_QUENDORMIXAL::VariantColumn(std::string_view procedure, const std::string& column,
                                              const std::string& opzione) {
    auto report = [this](std::string_view p, const kv::Error& e) { return Report(p, e); };
    std::string result;
    RunTrapped(procedure, report, {
        [&] {
            auto rs = connection_->Execute(
                "SELECT " + column + " FROM MG5E_OPZIONI INNER JOIN MG5F_DIMECONF"
                "    ON MG5E_DITTA_CG18 = MG5F_DITTA_CG18    AND MG5E_CODICEVAR_MG5F = MG5F_CODICEVAR WHERE"
                "    MG5E_DITTA_CG18 = " + company_code_ + "    AND MG5E_OPZIONE = '" + RaddoppiaApici(opzione) + "'" +
                (state_.grid_type_at_load >= 2 ? "    AND MG5F_INDGRIGLIA > 1" : "    AND MG5F_INDGRIGLIA = 1"));
            if (!rs->IsBOF() && !rs->IsEOF()) result = Text(rs->Value(column));
        },
    });
    return result;
}

void FRMMG_QUENDORMIXAL::AddSide(const std::string& value) {
    auto report = [this](std::string_view p, const kv::Error& e) { return Report(p, e); };
    const bool was_loading = state_.loading;
    state_.loading = true;
    const bool elements = state_.layout_mode == 4;
    RunTrapped("AddSide", report, {
        [&] {
            if (!side_rs_) side_rs_ = NewSideRecordset(elements);
        },
        [&] {
            if (side_rs_->RecordCount() > 0)
                side_rs_->SetFilter(kv::Variant(std::string(elements ? "BLT_DESCR2 ='" : "BLT_OPZIONE2 ='") +
                                                RaddoppiaApici(value) + "'"));
        },
        [&] {
            if (side_rs_->RecordCount() > 0 && !(side_rs_->IsBOF() && side_rs_->IsEOF())) return;
            side_rs_->SetFilter(kv::Variant(int16_t{0}));
            side_rs_->AddNew();
            if (elements) {
                side_rs_->SetValue("BLT_DESCR2", kv::Variant(value));
            } else {
                side_rs_->SetValue("BLT_CODICEVAR2", kv::Variant(GetCodiceVariante(value)));
                side_rs_->SetValue("BLT_OPZIONE2", kv::Variant(value));
                side_rs_->SetValue("BLT_DESCR2", kv::Variant(GetDescrVariante(value)));
            }
            side_rs_->Update();
        },
        [&] {
            side_rs_->SetFilter(kv::Variant(int16_t{0}));
            if (side_rs_->RecordCount() > 0) side_rs_->MoveFirst();
        },
    });
    state_.loading = was_loading;
}

void FRMMG_QUENDORMIXAL::AddSide1(const std::string& value) {
    auto report = [this](std::string_view p, const kv::Error& e) { return Report(p, e); };
    const bool was_loading = state_.loading;
    state_.loading = true;
    RunTrapped("AddSide1", report, {
        [&] {
            if (!side_rs1_) side_rs1_ = NewSideRecordset(true);
        },
        [&] {
            if (side_rs1_->RecordCount() > 0)
                side_rs1_->SetFilter(kv::Variant("BLT_DESCR2 ='" + RaddoppiaApici(value) + "'"));
        },
        [&] {
            if (side_rs1_->RecordCount() > 0 && !(side_rs1_->IsBOF() && side_rs1_->IsEOF())) return;
            side_rs1_->SetFilter(kv::Variant(int16_t{0}));
            side_rs1_->AddNew();
            side_rs1_->SetValue("BLT_DESCR2", kv::Variant(value));
            side_rs1_->Update();
        },
        [&] {
            side_rs1_->SetFilter(kv::Variant(int16_t{0}));
            if (side_rs1_->RecordCount() > 0) side_rs1_->MoveFirst();
        },
    });
    state_.loading = was_loading;
}

// The price elements of one kind's lists, in the order the lists ask for them, for grid type 4.
void FRMMG_QUENDORMIXAL::AddElements(CLSMG_SETUPLISTINI& list_driver, bool sales) {
    auto rs = connection_->Execute(list_driver.GetSql_ParListini());
    auto add = [&](const std::string& element) {
        if (sales) AddSide1(element);
        else AddSide(element);
    };
    // The numbered discounts and markups are named as the columns of the other grid types name them
    // ("Sc.%1", "Mg.%2"), so a user reads the same element under the same name in every grid.
    if (list_driver.ElemSet(rs, "MG44_FLGRICHPREZZO") != 0) add("Prezzo lordo");
    for (int i = 1, n = list_driver.ElemSet(rs, "MG44_NUMSCPERC"); i <= n; ++i) add("Sc.%" + std::to_string(i));
    if (list_driver.ElemSet(rs, "MG44_FLGRICHSCIMP") != 0) add("Sc. importo");
    for (int i = 1, n = list_driver.ElemSet(rs, "MG44_NUMMAGPERC"); i <= n; ++i) add("Mg.%" + std::to_string(i));
    if (list_driver.ElemSet(rs, "MG44_FLGRICHMAGIMP") != 0) add("Mg. importo");
    if (sales) add("%Ricar.");
    add("Importo Netto");
}

void FRMMG_QUENDORMIXAL::LoadSide() {
    auto report = [this](std::string_view p, const kv::Error& e) { return Report(p, e); };
    state_.loading = true;
    RunTrapped("LoadSide", report, {
        [&] { EmptySide(side_rs_); },
        [&] {
            if (state_.grid_type != 3) return Flow::Next;
            GRD_SIDE->SetDataSource(nullptr);
            auto& acq = Driver(varianti_acq_);
            auto rs = connection_->Execute(state_.grid_type_at_load == 1 ? acq.GetSql_ParConfVar1()
                                                                         : acq.GetSql_ParConfVar2());
            if (!rs->IsBOF() && !rs->IsEOF())
                for (rs->MoveFirst(); !rs->IsEOF(); rs->MoveNext()) AddSide(Text(rs->Value("MG5E_OPZIONE")));
            state_.loading = false;
            if (GRD_SIDE->EnableEditing()) Focus(*GRD_SIDE);
            if (OnRow(side_rs_) || (side_rs_ && side_rs_->RecordCount() > 0)) {
                side_rs_->MoveLast();
                side_rs_->MoveFirst();
                GRD_SIDE->SetDataSource(side_rs_);
                GRD_SIDE_RowChanged();
            }
            GRD_SIDE->SetDataSource(side_rs_);
            return Flow::Exit;
        },
        [&] {
            if (state_.grid_type == 4) return Flow::Next;
            state_.loading = false;
            return Flow::Exit;
        },
        [&] {
            GRD_SIDE->SetDataSource(side_rs_);
            AddElements(Driver(listini_acq_), false);
            if (side_rs_ && side_rs_->RecordCount() > 0) side_rs_->MoveFirst();
            GRD_SIDE->SetDataSource(side_rs_);
        },
        [&] {
            GRD_SIDE1->SetDataSource(nullptr);
            EmptySide(side_rs1_);
            AddElements(Driver(listini_ven_), true);
            if (GRD_SIDE->EnableEditing() && GRD_SIDE->Visible()) Focus(*GRD_SIDE);
            if (side_rs1_ && side_rs1_->RecordCount() > 0) side_rs1_->MoveFirst();
            GRD_SIDE1->SetDataSource(side_rs1_);
        },
    });
    state_.loading = false;
}

void FRMMG_QUENDORMIXAL::AggiornaDaVariante() {
    if (!side_rs_ || state_.grid_type < 2 || !OnRow(side_rs_) || state_.loading) return;
    auto report = [this](std::string_view p, const kv::Error& e) { return Report(p, e); };
    const std::string article = Text(kv::Variant(TXT_CODART->Text()));
    RunTrapped("AggiornaDaVariante", report, {
        [&] {
            if (state_.grid_type != 2 && state_.grid_type != 3) return Flow::Next;
            const std::string code = Text(side_rs_->Value("BLT_CODICEVAR2"));
            const std::string option = Text(side_rs_->Value("BLT_OPZIONE2"));
            TXT_VARIANTE->SetText(option);
            // The field's description follows the option the list chose, not the one typed last.
            TXT_VARIANTE->Decode();
            for (const auto& d : {varianti_acq_, varianti_ven_}) {
                auto& driver = Driver(d);
                driver.SetCodArticolo(article);
                if (driver.Inverti()) {
                    driver.SetCodVariante1(code);
                    driver.SetValVariante1(option);
                    driver.SetCodVariante2("");
                    driver.SetValVariante2("");
                } else {
                    driver.SetCodVariante1("");
                    driver.SetValVariante1("");
                    driver.SetCodVariante2(code);
                    driver.SetValVariante2(option);
                }
                driver.ReFilterVarianti();
            }
            // The chosen option takes its place in the preset option code of both drivers.
            auto& ven = Driver(varianti_ven_);
            std::string preset = ven.OpzionePreimpostata();
            const int start = ven.GetStart(state_.grid_type);
            const int length = ven.GetLen(state_.grid_type);
            if (start >= 1 && length > 0) {
                std::string segment = TXT_VARIANTE->Text();
                segment.resize(static_cast<std::size_t>(length), ' ');
                if (preset.size() < static_cast<std::size_t>(start - 1 + length))
                    preset.resize(static_cast<std::size_t>(start - 1 + length), ' ');
                preset.replace(static_cast<std::size_t>(start - 1), static_cast<std::size_t>(length), segment);
            }
            Driver(varianti_acq_).SetOpzionePreimpostata(preset);
            ven.SetOpzionePreimpostata(preset);
            return Flow::Exit;
        },
        [&] {
            auto& acq = Driver(varianti_acq_);
            acq.SetCodArticolo(article);
            const std::string element = kv::Trim(Text(side_rs_->Value("BLT_DESCR2")));
            if (acq.Elem().empty()) {
                acq.SetElem(element);
            } else {
                acq.SetElemPrev(acq.Elem());
                acq.SetElem(element);
            }
            // The values typed in the element on screen go back into the matrix before the next element
            // is shown: choosing another element must not drop them.
            ReFilterKeepingEdits(acq);
        },
    });
}

namespace {

// The class format the other grid types give the column of a price element's field, so a figure
// reads the same in the pivot ("35,00", "12,5") as in the rows of any other grid.
std::pair<int, int> ElementFormat(const std::string& field) {
    const std::string f = kv::UCase(field);
    if (f == "LI10_PREZZO" || f == "BLT_PREZZONETTO") return {5, 2};
    if (f == "LI10_SCIMP" || f == "LI10_MAGIMP") return {5, 1};
    if (f.rfind("LI10_SC", 0) == 0) return {9, 6};
    return {5, 6};  // markups, recharge
}

// The pivot's option columns: "BLT_" and the option's position.
bool IsOptionColumn(const std::string& field) {
    if (field.size() <= 4 || kv::UCase(field.substr(0, 4)) != "BLT_") return false;
    return field.find_first_not_of("0123456789", 4) == std::string::npos;
}

}  // namespace

// Grid type 4: the copy buttons work on the gross price only, and the pivot's columns show the element's
// number format.
void FRMMG_QUENDORMIXAL::ApplyElementToGrid(ctl::DataGrid& grid, const std::string& element) {
    const bool gross = kv::RTrim(kv::UCase(element)) == "PREZZO LORDO";
    CMD_COPIASURIGA->SetEnabled(gross);
    CMD_COPIASUTUTTERIGHE->SetEnabled(gross);
    for (const char* f : {"PREZZO_LORDO", "PREZZO_NETTO", "SCIMP", "MGIMP"}) grid.MODCOL_ClassFormat(f, 5, 2, "EURO");
    for (const char* f : {"SC1PER", "SC2PER", "SC3PER", "SC4PER", "SC5PER", "SC6PER", "MG1PER", "MG2PER"})
        grid.MODCOL_ClassFormat(f, 9, 6, "EURO");
    // The names above are the grid's own presets; the pivot's columns are named by position, so each
    // is given the element's format itself.
    const std::string field = GetCampoElemento(kv::Trim(element));
    if (field.empty()) return;
    const auto [cls, kind] = ElementFormat(field);
    for (long c = 0; c < grid.Columns().Count(); ++c) {
        const std::string& bound = grid.Columns().Item(c).DataField();
        if (IsOptionColumn(bound)) grid.MODCOL_ClassFormat(bound, cls, kind, "EURO");
    }
}

void FRMMG_QUENDORMIXAL::ReFilterKeepingEdits(CLSMG_SETUPVARIANTI& driver) {
    const bool was = driver.bRicalcola;
    driver.bRicalcola = true;
    driver.ReFilterVarianti4();
    driver.bRicalcola = was;
}

void FRMMG_QUENDORMIXAL::GRD_SIDE_RowChanged() {
    if (state_.loading || state_.new_in_progress) return;
    auto report = [this](std::string_view p, const kv::Error& e) { return Report(p, e); };
    RunTrapped("GRD_SIDE_RowChanged", report, {
        [&] { Driver(varianti_acq_).SetStatusOperationInProgress(); },
        [&] { AggiornaDaVariante(); },
        [&] {
            if (state_.grid_type != 4 || !OnRow(side_rs_)) return;
            const std::string element = Text(side_rs_->Value("BLT_DESCR2"));
            if (kv::UCase(kv::Trim(element)) == "IMPORTO NETTO") {
                Driver(varianti_acq_).AggiornaPrezzoNetto4();
                Global()->DoEvents();
            }
            ApplyElementToGrid(*GRD_LISACQ, element);
        },
        [&] { VerificaCaricamento(); },
        [&] { Driver(varianti_acq_).SetStatusOperationCompleted(); },
    });
}

void FRMMG_QUENDORMIXAL::GRD_SIDE1_RowChanged() {
    if (state_.grid_type != 4 || !OnRow(side_rs1_) || state_.loading) return;
    auto report = [this](std::string_view p, const kv::Error& e) { return Report(p, e); };
    RunTrapped("GRD_SIDE1_RowChanged", report, {
        [&] { Driver(varianti_ven_).SetStatusOperationInProgress(); },
        [&] {
            if (state_.new_in_progress) return;
            auto& ven = Driver(varianti_ven_);
            ven.SetCodArticolo(Text(kv::Variant(TXT_CODART->Text())));
            const std::string element = kv::Trim(Text(side_rs1_->Value("BLT_DESCR2")));
            if (ven.Elem().empty()) {
                ven.SetElem(element);
            } else {
                ven.SetElemPrev(ven.Elem());
                ven.SetElem(element);
            }
            ReFilterKeepingEdits(ven);
            if (kv::UCase(element) == "IMPORTO NETTO") ven.AggiornaPrezzoNetto4();
        },
        [&] { ApplyElementToGrid(*GRD_LISVEN, Text(side_rs1_->Value("BLT_DESCR2"))); },
        [&] { VerificaCaricamento(); },
        [&] { Driver(varianti_ven_).SetStatusOperationCompleted(); },
    });
}

}  // namespace qmx
