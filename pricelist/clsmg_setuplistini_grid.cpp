// CLSMG_SETUPLISTINI: the grid's columns, the seed rows of the matrix recordset, the date proposal.
//
// The columns follow the parameters of every list of the driver's kind at once: a column exists when
// at least one list asks for it, and the numbered discount and markup columns go up to the largest
// count any list asks for. Column properties are set for every field the layout may have, whether the
// column was added or not: the grid ignores a call for a field it has no column for.

#include <string>

#include "matrix/matrix_recordset.h"
#include "platform/services/cinterface.h"
#include "platform/services/global_services.h"
#include "platform/variant/strings.h"
#include "pricelist/clsmg_setuplistini.h"
#include "shell/modmg_quendormixal.h"

namespace qmx {

namespace ctl = kv::controls;
using kv::Variant;
using kv::ado::RecordsetPtr;

namespace {

constexpr const char* kPercentFormat = "#,##0.000";
constexpr const char* kCurrency = "EURO";

void CloseIfOpen(RecordsetPtr& rs) {
    if (rs && rs->State() == kv::ado::adStateOpen) rs->Close();
    rs.reset();
}

bool HasRows(const RecordsetPtr& rs) { return rs && !rs->IsBOF() && !rs->IsEOF(); }

// "TAGLIA" -> "Taglia": the first character in upper case, the rest in lower case.
std::string Capitalised(const std::string& text) {
    return kv::UCase(kv::Left(text, 1)) + kv::LCase(kv::Mid(text, 2));
}

// The caption of the option column: the description of the grid variant of that level when the company
// has exactly one such variant, else "Codice".
std::string CaptionOfLevel(schema::DriverCore& core, bool second_level) {
    auto rs = core.Execute("SELECT MG5F_DESCR_VAR FROM MG5F_DIMECONF WHERE MG5F_DITTA_CG18 = " +
                           std::to_string(core.CompanyCode()) +
                           (second_level ? " AND MG5F_INDGRIGLIA > 1" : " AND MG5F_INDGRIGLIA = 1"));
    std::string caption = "Codice";
    if (rs->RecordCount() == 1) caption = Capitalised(kv::CStr(NS(rs->Value("MG5F_DESCR_VAR"))));
    rs->Close();
    return caption;
}

}  // namespace

void CLSMG_SETUPLISTINI::SetupGrid(bool VisualizzaMsg) {
    schema::Trap(core_, [&] {
        VerificaProprieta();
        if (!core_.SetupPossibile(VisualizzaMsg, [this] { return ConfigurationOk(); })) return;
        CloseIfOpen(rstParMagLis);
        rstParMagLis = core_.Execute(GetSql_ParListini());
        // The lists may have changed since the check: without any, the grid keeps what it has.
        if (!HasRows(rstParMagLis)) return;

        Qgrid->ClearInit();
        if (GetIndTipoGriglia() != 4) {
            SetupGridListini(rstParMagLis);
        } else {
            auto options = core_.Execute(GetSql_ParConfVar2());
            SetupGridTipo4(options);
            options->Close();
        }
    });
}

void CLSMG_SETUPLISTINI::SetupGridListini(const RecordsetPtr& rst) {
    ctl::DataGrid& g = *Qgrid;
    g.SetInitializationClass(std::make_shared<ctl::GridInitialization>(core_.ActiveInterface));
    g.SetGridLoadMode(0);

    const bool inverti = Inverti();
    const std::string option_field = inverti ? "BLT_OPZIONE2" : "BLT_OPZIONE1";
    const std::string descr_field = inverti ? "BLT_DESCR2" : "BLT_DESCR1";
    const std::string option_caption = CaptionOfLevel(core_, inverti);
    const std::string currency_format = core_.ActiveInterface->ClsGlobal()->CurrencyFormat(kCurrency);
    const Variant omitted;

    g.INIT_ADDColumn("LI10_NUMLIST", "N.", 12, 230);
    g.INIT_ADDColumn("BLT_VALUTA", "Valuta", 1, 610);
    g.INIT_ADDColumn(option_field, option_caption, 1, 1000);
    g.INIT_ADDColumn(descr_field, "Descrizione", 1, 1800);
    if (ElemSet(rst, "MG44_FLGRICHPREZZO") == 1)
        g.INIT_ADDColumn("LI10_PREZZO", "Prezzo lordo", 1, 1800, omitted, omitted, currency_format);
    const int16_t discounts = ElemSet(rst, "MG44_NUMSCPERC");
    for (int i = 1; i <= discounts; ++i)
        g.INIT_ADDColumn("LI10_SC" + std::to_string(i) + "PER", "Sc.%" + std::to_string(i), 1, 570, omitted,
                         omitted, kPercentFormat);
    if (ElemSet(rst, "MG44_FLGRICHSCIMP") == 1)
        g.INIT_ADDColumn("LI10_SCIMP", "Sc. importo", 1, 1000, omitted, omitted, currency_format);
    const int16_t markups = ElemSet(rst, "MG44_NUMMAGPERC");
    for (int i = 1; i <= markups; ++i)
        g.INIT_ADDColumn("LI10_MAG" + std::to_string(i) + "PER", "Mg.%" + std::to_string(i), 1, 630, omitted,
                         omitted, kPercentFormat);
    if (ElemSet(rst, "MG44_FLGRICHMAGIMP") == 1)
        g.INIT_ADDColumn("LI10_MAGIMP", "Mg. importo", 1, 1000, omitted, omitted, currency_format);
    if (m_eSalPur == LisSale)
        g.INIT_ADDColumn("LI10_PERRICDELTA", "%Ricar.", 1, 900, omitted, omitted, kPercentFormat);
    g.INIT_ADDColumn("BLT_PREZZONETTO", "Prezzo netto", 1, 1800, omitted, omitted, currency_format);
    if (m_eSalPur == LisSale) g.INIT_ADDColumn(kCampoMargine, "Margine %", 1, 1000, omitted, omitted, "#,##0.00");
    // The commission column follows the list the recordset stands on after the walks above (its first).
    if (HasRows(rst) && !NS(rst->Value("MG44_PERCPROV")).StringValue().empty())
        g.INIT_ADDColumn("LI10_PROVPER", "% prov.", 1, 700, omitted, omitted, kPercentFormat);

    g.InitializeSTART();
    g.SetEnableEditing(true);
    g.MODCOL_Alignment("LI10_NUMLIST", 1);
    g.MODCOL_Editing("LI10_NUMLIST", 0);
    g.MODCOL_Editing("BLT_VALUTA", 0);
    g.MODCOL_Editing(option_field, 0);
    g.MODCOL_Editing(descr_field, 0);
    auto editable = [&](const std::string& field, int cls, int kind) {
        g.MODCOL_Alignment(field, 1);
        g.MODCOL_Editing(field, 1);
        g.MODCOL_ClassFormat(field, cls, kind, kCurrency);
    };
    editable("LI10_PREZZO", ctl::kClassAmount, ctl::kKindUnitPrice);
    for (int i = 1; i <= discounts; ++i)
        editable("LI10_SC" + std::to_string(i) + "PER", ctl::kClassPercentage, 6);
    editable("LI10_SCIMP", ctl::kClassAmount, ctl::kKindAmount);
    editable("LI10_MAG1PER", ctl::kClassAmount, 6);
    editable("LI10_MAG2PER", ctl::kClassAmount, 6);
    editable("LI10_MAGIMP", ctl::kClassAmount, ctl::kKindAmount);
    editable("LI10_PERRICDELTA", ctl::kClassAmount, 6);
    // The net price is computed, never typed: it gets no editing call and stays read-only.
    g.MODCOL_Alignment("BLT_PREZZONETTO", 1);
    g.MODCOL_ClassFormat("BLT_PREZZONETTO", ctl::kClassAmount, ctl::kKindUnitPrice, kCurrency);
    editable("LI10_PROVPER", ctl::kClassAmount, 6);
    g.MODCOL_Alignment(kCampoMargine, 1);
    if (g.Columns().IndexOf(kCampoMargine) >= 0) g.Columns().Item(kCampoMargine).SetVisible(mostra_margine_);
    g.InitializeEND();
}

void CLSMG_SETUPLISTINI::SetMostraMargine(bool value) {
    mostra_margine_ = value;
    if (Qgrid && Qgrid->Columns().IndexOf(kCampoMargine) >= 0)
        Qgrid->Columns().Item(kCampoMargine).SetVisible(value);
}

void CLSMG_SETUPLISTINI::SetupGridTipo4(const RecordsetPtr& rs_opzioni) {
    ctl::DataGrid& g = *Qgrid;
    g.SetInitializationClass(std::make_shared<ctl::GridInitialization>(core_.ActiveInterface));
    g.SetGridLoadMode(0);

    g.INIT_ADDColumn("LI10_NUMLIST", "N.", 1, 230);
    g.INIT_ADDColumn("BLT_VALUTA", "Valuta", 1, 610);
    g.INIT_ADDColumn("BLT_OPZIONE1", CaptionOfLevel(core_, false), 1, 1000);

    opzioni_colonna_.clear();
    long options = 0;
    if (HasRows(rs_opzioni)) {
        rs_opzioni->MoveFirst();
        for (; !rs_opzioni->IsEOF(); rs_opzioni->MoveNext()) {
            const std::string column = "BLT_" + std::to_string(++options);
            const std::string option = kv::CStr(NS(rs_opzioni->Value("MG5E_OPZIONE")));
            const std::string description = kv::CStr(NS(rs_opzioni->Value("MG5E_DESCR")));
            g.INIT_ADDColumn(column, option + " - " + Capitalised(description), 1, 1000, Variant(true));
            // The option code without the blanks of its fixed width, as the pivot's columns name it.
            opzioni_colonna_[column] = option;
        }
    }

    g.InitializeSTART();
    g.SetEnableEditing(true);
    g.MODCOL_Alignment("LI10_NUMLIST", 1);
    g.MODCOL_Editing("LI10_NUMLIST", 0);
    g.MODCOL_Editing("BLT_VALUTA", 0);
    g.MODCOL_Editing("BLT_OPZIONE1", 0);
    for (long p = 1; p <= options; ++p) {
        g.MODCOL_Alignment("BLT_" + std::to_string(p), 1);
        g.MODCOL_Editing("BLT_" + std::to_string(p), 1);
    }
    g.MODCOL_Alignment("BLT_PREZZONETTO", 1);
    g.InitializeEND();
}

void CLSMG_SETUPLISTINI::LoadList() {
    schema::Trap(core_, [&] {
        // Created once per window: a matrix that already holds rows is the matrix the grid shows.
        if (recordset_ && recordset_->State() == kv::ado::adStateOpen &&
            recordset_->Clone()->RecordCount() > 0)
            return;
        Qgrid->SetDataSource(nullptr);
        if (core_.State == 0) {
            CloseIfOpen(rstParMagLis);
            rstParMagLis = core_.Execute(GetSql_ParListini());
        }
        if (core_.State == 0) {
            if (!recordset_) {
                recordset_ = CreateMatrixRecordset();
                recordset_->Open();
            }
            if (HasRows(rstParMagLis)) {
                for (rstParMagLis->MoveFirst(); !rstParMagLis->IsEOF(); rstParMagLis->MoveNext()) {
                    kv::ado::Recordset& m = *recordset_;
                    m.AddNew();
                    m.SetValue("ID", Variant(m.AbsolutePosition()));
                    m.SetValue("LI10_NUMLIST", rstParMagLis->Value("MG44_NUMLIST"));
                    for (const char* f : {"BLT_CODICEVAR1", "BLT_OPZIONE1", "BLT_DESCR1", "BLT_CODICEVAR2",
                                          "BLT_OPZIONE2", "BLT_DESCR2"})
                        m.SetValue(f, Variant(""));
                    m.SetValue("BLT_VALUTA", rstParMagLis->Value("MG44_VALUTA_CG08"));
                    m.SetValue("BLT_PREZZONETTO", Variant(0.0));
                    m.Update();
                }
            }
        }
        if (recordset_ && recordset_->State() == kv::ado::adStateOpen && recordset_->RecordCount() > 0)
            recordset_->MoveFirst();
        // Grid type 2 shows one option at a time: the matrix loading binds the grid when it has chosen.
        if (GetIndTipoGriglia() != 2) Qgrid->SetDataSource(recordset_);
    });
}

void CLSMG_SETUPLISTINI::SetupDate() {
    // Each proposal is worked out on its own: a failing one leaves its property as it was and the
    // other is still worked out.
    auto proposal = [&](const char* criteria) -> int16_t {
        if (!rstParMagLis)
            throw kv::Error(kv::err::kObjectNotSet, "Object variable not set: no price-list parameters",
                            "CLSMG_SETUPLISTINI");
        rstParMagLis->SetFilter(Variant(criteria));
        const bool none_asked =
            rstParMagLis->IsBOF() || rstParMagLis->IsEOF() || rstParMagLis->RecordCount() < 1;
        return none_asked ? int16_t{1} : int16_t{0};
    };
    auto unfilter = [&] {
        try {
            if (rstParMagLis) rstParMagLis->SetFilter(Variant(int32_t{kv::ado::adFilterNone}));
        } catch (const std::exception&) {
            // As every step of the proposal: skipped.
        }
    };
    try {
        prop_start_date_ = static_cast<KvEnumDtLisStartProp>(proposal("MG44_INDPROPDATAINI = 0"));
    } catch (const std::exception&) {
    }
    unfilter();
    try {
        prop_end_date_ = static_cast<KvEnumDtLisEndProp>(proposal("MG44_INDPROPDATAFINE = 0"));
    } catch (const std::exception&) {
    }
    unfilter();
}

void CLSMG_SETUPLISTINI::ClearList() {
    schema::Trap(core_, [&] {
        Qgrid->SetDataSource(nullptr);
        if (HasRows(recordset_)) {
            // Every field after the first-level description is emptied: text fields hold "", the others
            // Null (no value), so an emptied row can never be read as a price of 0.
            const auto& fields = recordset_->FieldInfos();
            const int first = recordset_->GetFields().IndexOf("BLT_DESCR1") + 1;
            for (recordset_->MoveFirst(); !recordset_->IsEOF(); recordset_->MoveNext()) {
                for (int i = first; i < static_cast<int>(fields.size()); ++i) {
                    const auto t = fields[static_cast<std::size_t>(i)].type;
                    const bool text = t == kv::ado::adChar || t == kv::ado::adWChar ||
                                      t == kv::ado::adVarChar || t == kv::ado::adVarWChar;
                    recordset_->SetValue(i, text ? Variant("") : Variant::Null());
                }
                recordset_->Update();
            }
            recordset_->MoveFirst();
        }
        if (GetIndTipoGriglia() != 2) Qgrid->SetDataSource(recordset_);
    });
}

}  // namespace qmx
