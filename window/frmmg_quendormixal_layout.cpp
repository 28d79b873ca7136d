// FRMMG_QUENDORMIXAL: its controls' designed properties, the events it takes from them, and the
// layout procedures (split controls, resize registrations, layout modes, date controls, side-list
// columns). Positions and sizes are twips; the views lay the controls out and report their real
// geometry back, so the sizes set here are what the window's own arithmetic reads between resizes.

#include <algorithm>

#include "shell/error_trap.h"
#include "window/frmmg_quendormixal.h"

namespace qmx {

namespace svc = kv::services;
namespace ctl = kv::controls;

namespace {

// The system colour "button face", as the platform numbers system colours.
constexpr long kButtonFace = 0x8000000FL;

// How the window's resize control moves its controls (anchor sets, see resize_control.h).
constexpr int kStretchWidth = 7;        // left, top, right
constexpr int kStretchHeight = 10;      // top, bottom
constexpr int kStretchHeightLeft = 11;  // left, top, bottom
constexpr int kBottomRight = 12;        // right, bottom
constexpr int kStretchBoth = 15;

// The article field's own decoding, as the host configures its article fields: an article of the
// current company, found by its code, with its description for the field beside it (an article
// without one is still an article).
constexpr const char* kArticleDecodeSql =
    "SELECT MG66_CODART, MG87_DESCART FROM MG66_ANAGRART LEFT JOIN MG87_DESCRART"
    " ON MG87_DITTA_CG18 = MG66_DITTA_CG18 AND MG87_CODART_MG66 = MG66_CODART"
    " WHERE MG66_DITTA_CG18 = %COMPANY% AND MG66_CODART = '%CODE%'";

// A size that the window's margins would make negative is no size at all (the controls refuse
// negative sizes).
long AtLeastZero(long twips) { return std::max(0L, twips); }

}  // namespace

// ---------------------------------------------------------------------------------------------------
// Controls

void FRMMG_QUENDORMIXAL::CreateControls() {
    TXT_CODART_LBL->SetCaption("Articolo");
    TXT_OPZIONE_LBL->SetCaption("Opzione");
    TXT_VARIANTE_LBL->SetCaption("Variante");
    TXT_DADATA_ACQ_LBL->SetCaption("Acquisto dal");
    TXT_ADATA_ACQ_LBL->SetCaption("al");
    TXT_DADATA_VEN_LBL->SetCaption("Vendita dal");
    TXT_ADATA_VEN_LBL->SetCaption("al");
    LBL_HEADLISACQ->SetCaption("Listini di Acquisto");
    LBL_HEADLISVEN->SetCaption("Listini di Vendita");
    CMD_COPIASURIGA->SetCaption("Copia su riga");
    CMD_COPIASUTUTTERIGHE->SetCaption("Copia su tutte le righe");

    // Codes as long as their columns: article 25, composite option 20, a date dd/mm/yyyy.
    TXT_CODART->SetMaxLength(25);
    TXT_CODART->SetDisplayLength(15);
    TXT_CODART->SetDecodeSql(kArticleDecodeSql);
    TXT_CODART->SetDecodeTarget(ctl::DecodeMap{TXT_DESCART, "MG87_DESCART"});
    TXT_OPZIONE->SetMaxLength(20);
    TXT_OPZIONE->SetDisplayLength(20);
    for (const auto& date : {TXT_DADATA_ACQ, TXT_ADATA_ACQ, TXT_DADATA_VEN, TXT_ADATA_VEN}) {
        date->SetMaxLength(10);
        date->SetDisplayLength(10);
    }
    // The commands work on a loaded key: the bar stays disabled until one is, also when the load
    // stops before the window resets its header.
    INTERNAV->SetEnabled(false);
    // A date combo box stands in for its date field only when the lists' configuration proposes the
    // date; until a proposal is known the fields are shown (also after a load that stopped early).
    for (const auto& combo : {CBO_DADATA_ACQ, CBO_ADATA_ACQ, CBO_DADATA_VEN, CBO_ADATA_VEN}) combo->SetVisible(false);
    // Descriptions are filled by the decodings, not typed.
    TXT_DESCART->SetLocked(true);
    TXT_DESCSEGMENTO->SetLocked(true);
}

void FRMMG_QUENDORMIXAL::ConnectControlEvents() {
    subscriptions_.clear();
    subscriptions_.push_back(MDIActiveX1->FormLoad.Connect([this] { MDIActiveX1_FormLoad(); }));
    subscriptions_.push_back(KVR_RESIZEFORM->RegisterControls.Connect([this] { KVR_RESIZEFORM_RegisterControls(); }));
    subscriptions_.push_back(KVR_RESIZEFORM->AfterResize.Connect([this] { KVR_RESIZEFORM_AfterResize(); }));
    subscriptions_.push_back(SPLITVERTICALE->PositionChanged.Connect([this] { SPLITVERTICALE_PositionChanged(); }));
    subscriptions_.push_back(
        SPLITORIZZONTALE->PositionChanged.Connect([this] { SPLITORIZZONTALE_PositionChanged(); }));
    subscriptions_.push_back(TXT_CODART->StartLookup.Connect(
        [this](std::string& sql, std::vector<std::string>& headings, std::string& title, std::string& cs) {
            TXT_CODART_StartLookup(sql, headings, title, cs);
        }));
    subscriptions_.push_back(
        TXT_OPZIONE->StartDecode.Connect([this](std::string& sql, ctl::DecodeMap& map, std::string& cs) {
            TXT_OPZIONE_StartDecode(sql, map, cs);
        }));
    ConnectKeyEvents();
    ConnectGridEvents();
    ConnectDetailEvents();
}

long FRMMG_QUENDORMIXAL::ScaleWidth() const {
    return KVR_RESIZEFORM->WindowWidth() > 0 ? KVR_RESIZEFORM->WindowWidth() : width_;
}

long FRMMG_QUENDORMIXAL::ScaleHeight() const {
    return KVR_RESIZEFORM->WindowHeight() > 0 ? KVR_RESIZEFORM->WindowHeight() : height_;
}

// ---------------------------------------------------------------------------------------------------
// Control events

void FRMMG_QUENDORMIXAL::MDIActiveX1_FormLoad() {
    auto report = [this](std::string_view p, const kv::Error& e) { return Report(p, e); };
    RunTrapped("MDIActiveX1_FormLoad", report, {
        [&] {
            auto host = RequireInterface();
            MDIActiveX1->Place(Placement(host->Left()), Placement(host->Top()), 11940, 7410);
        },
    });
}

void FRMMG_QUENDORMIXAL::KVR_RESIZEFORM_RegisterControls() {
    auto report = [this](std::string_view p, const kv::Error& e) { return Report(p, e); };
    const int16_t mode = state_.layout_mode;
    auto& r = *KVR_RESIZEFORM;
    RunTrapped("KVR_RESIZEFORM_RegisterControls", report, {
        // In mode 1 the price areas are the whole window: the left/right split does not follow it.
        [&] {
            if (mode != 1) r.RegisterControl("SPLITVERTICALE", kStretchBoth);
        },
        [&] {
            if (mode == 2 || mode == 3) r.RegisterControl("GRD_SIDE", kStretchHeightLeft);
            if (mode == 4) r.RegisterControl("GRD_SIDE1", kStretchHeightLeft);
        },
        [&] {
            r.RegisterControl("CMD_COPIASURIGA", kStretchHeight);
            r.RegisterControl("CMD_COPIASUTUTTERIGHE", kStretchHeight);
            r.RegisterControl("GRB_HEAD", kStretchWidth);
            r.RegisterControl("TXT_CODART", kStretchWidth);
            r.RegisterControl("TXT_OPZIONE", kStretchWidth);
            r.RegisterControl("TXT_VARIANTE", kStretchWidth);
            r.RegisterControl("GRB_LISACQ", kStretchWidth);
            r.RegisterControl("GRD_LISACQ", kStretchWidth);
            r.RegisterControl("GRB_LISVEN", kStretchBoth);
            r.RegisterControl("GRD_LISVEN", kStretchBoth);
            r.RegisterControl("LBL_HEADLISACQ", kStretchWidth);
            r.RegisterControl("LBL_HEADLISVEN", kStretchWidth);
            r.RegisterControl("INTERNAV", kBottomRight);
        },
    });
}

void FRMMG_QUENDORMIXAL::KVR_RESIZEFORM_AfterResize() {
    auto report = [this](std::string_view p, const kv::Error& e) { return Report(p, e); };
    const auto& r = *KVR_RESIZEFORM;
    RunTrapped("KVR_RESIZEFORM_AfterResize", report, {
        [&] { SPLITORIZZONTALE->SetWidth(AtLeastZero(ScaleWidth() - r.ScaleX(220))); },
        [&] { SPLITORIZZONTALE->SetHeight(AtLeastZero(ScaleHeight() - r.ScaleY(2280))); },
        [&] {
            SPLITVERTICALE->Refresh();
            SPLITORIZZONTALE->Refresh();
        },
        [&] { SPLITVERTICALE_PositionChanged(); },
        [&] { SPLITORIZZONTALE_PositionChanged(); },
    });
}

void FRMMG_QUENDORMIXAL::SPLITVERTICALE_PositionChanged() {
    auto report = [this](std::string_view p, const kv::Error& e) { return Report(p, e); };
    RunTrapped("SPLITVERTICALE_PositionChanged", report, {
        [&] { GRD_SIDE->SetWidth(AtLeastZero(PIC_LEFT->Width() - KVR_RESIZEFORM->ScaleX(60))); },
        [&] { GRD_SIDE1->SetWidth(GRD_SIDE->Width()); },
        [&] { SPLITORIZZONTALE_PositionChanged(); },
    });
}

void FRMMG_QUENDORMIXAL::SPLITORIZZONTALE_PositionChanged() {
    auto report = [this](std::string_view p, const kv::Error& e) { return Report(p, e); };
    const auto& r = *KVR_RESIZEFORM;
    const int16_t mode = state_.layout_mode;
    RunTrapped("SPLITORIZZONTALE_PositionChanged", report, {
        [&] { LBL_HEADLISACQ->SetWidth(AtLeastZero(GRB_LISACQ->Width() - r.ScaleX(170))); },
        [&] { LBL_HEADLISVEN->SetWidth(AtLeastZero(GRB_LISVEN->Width() - r.ScaleX(170))); },
        // The side lists follow the price areas beside them.
        [&] {
            if (mode == 2 || mode == 3) GRD_SIDE->SetHeight(PIC_LEFT->Height());
        },
        [&] {
            if (mode != 4) return;
            GRD_SIDE->SetHeight(AtLeastZero(GRB_LISACQ->Height() - r.ScaleY(35)));
            GRD_SIDE1->SetTop(GRD_SIDE->Top() + GRD_SIDE->Height() + r.ScaleY(50));
            GRD_SIDE1->SetHeight(GRB_LISVEN->Height());
        },
        [&] {
            const long h = GRB_LISACQ->Height() - r.ScaleY(877);
            if (h > 0) GRD_LISACQ->SetHeight(h);
        },
        [&] {
            const long h = GRB_LISVEN->Height() - r.ScaleY(877);
            if (h > 0) GRD_LISVEN->SetHeight(h);
        },
        [&] { SizePriceAreas(); },
    });
}

void FRMMG_QUENDORMIXAL::TXT_CODART_StartLookup(std::string& sql, std::vector<std::string>& headings,
                                                std::string& title, std::string& /*connection_string*/) {
    auto report = [this](std::string_view p, const kv::Error& e) { return Report(p, e); };
    RunTrapped("TXT_CODART_StartLookup", report, {
        [&] {
            if (!article_search_)
                throw kv::Error(kv::err::kObjectNotSet, "Object variable not set: the window has no article search",
                                kName);
            auto list = article_search_->PrepareArticleList();
            sql = std::move(list.sql);
            headings = std::move(list.headings);
            title = std::move(list.title);
        },
    });
}

void FRMMG_QUENDORMIXAL::TXT_OPZIONE_StartDecode(std::string& /*sql*/, ctl::DecodeMap& map,
                                                 std::string& connection_string) {
    auto report = [this](std::string_view p, const kv::Error& e) { return Report(p, e); };
    RunTrapped("TXT_OPZIONE_StartDecode", report, {
        [&] { map = ctl::DecodeMap{TXT_DESCART, "MG87_DESCART"}; },
        [&] { connection_string = connection_string_; },
    });
}

// ---------------------------------------------------------------------------------------------------
// Layout procedures

void FRMMG_QUENDORMIXAL::SetupSplitters() {
    auto report = [this](std::string_view p, const kv::Error& e) { return Report(p, e); };
    RunTrapped("SetupSplitters", report, {
        [&] {
            SPLITVERTICALE->SetPaneControl(1, PIC_LEFT->Name());
            SPLITVERTICALE->Pane(1).SetMinSize(1200);
            SPLITVERTICALE->SetPaneControl(2, SPLITORIZZONTALE->Name());
            SPLITVERTICALE->Pane(2).SetMinSize(7000);
            SPLITVERTICALE->SetPosition(12);
            SPLITVERTICALE->Move(PIC_LEFT->Left(), PIC_LEFT->Top(), PIC_LEFT->Width(), PIC_LEFT->Height());
        },
        [&] {
            SPLITORIZZONTALE->SetPaneControl(1, GRB_LISACQ->Name());
            SPLITORIZZONTALE->Pane(1).SetMinSize(1000);
            SPLITORIZZONTALE->SetPaneControl(2, GRB_LISVEN->Name());
            SPLITORIZZONTALE->Pane(2).SetMinSize(1000);
            SPLITORIZZONTALE->SetPosition(50);
            SPLITORIZZONTALE->SetBackColor(kButtonFace);
        },
        [&] {
            SPLITVERTICALE->SetVisible(true);
            SPLITORIZZONTALE->SetVisible(true);
        },
    });
}

void FRMMG_QUENDORMIXAL::ApplyLayoutMode(int16_t mode) {
    auto report = [this](std::string_view p, const kv::Error& e) { return Report(p, e); };
    if (mode < 1 || mode > 4) mode = 1;
    RunTrapped("ApplyLayoutMode", report, {
        // Mode 1 has no side list, but the left panel stays: the copy buttons live in it, and a grid of
        // one level copies prices as much as any other.
        [&] { PIC_LEFT->SetVisible(true); },
        [&] { GRD_SIDE->SetVisible(mode != 1); },
        [&] { GRD_SIDE1->SetVisible(mode == 4); },
        // The elements of mode 4 are one column: the option column of the other modes would stand
        // empty beside them.
        [&] {
            for (const auto& side : {GRD_SIDE, GRD_SIDE1})
                if (side->Columns().IndexOf("BLT_OPZIONE2") >= 0)
                    side->Columns().Item("BLT_OPZIONE2").SetVisible(mode != 4);
        },
        [&] { SPLITVERTICALE->Pane(1).SetMinSize(mode == 1 ? 0 : 1200); },
        // Sizes that depend on the mode (the header's height, the two side lists of mode 4) follow
        // from the price areas' layout.
    });
}

void FRMMG_QUENDORMIXAL::SizePriceAreas() {
    auto report = [this](std::string_view p, const kv::Error& e) { return Report(p, e); };
    const auto& r = *KVR_RESIZEFORM;
    RunTrapped("SizePriceAreas", report, {
        [&] {
            const long w = AtLeastZero(GRB_LISACQ->Width() - r.ScaleX(170));
            LBL_HEADLISACQ->SetWidth(w);
            GRD_LISACQ->SetWidth(w);
        },
        [&] {
            const long w = AtLeastZero(GRB_LISVEN->Width() - r.ScaleX(170));
            LBL_HEADLISVEN->SetWidth(w);
            GRD_LISVEN->SetWidth(w);
        },
        [&] {
            LBL_HEADLISACQ->Refresh();
            LBL_HEADLISVEN->Refresh();
            GRD_LISACQ->RefreshAfterResize();
            GRD_LISVEN->RefreshAfterResize();
        },
    });
}

void FRMMG_QUENDORMIXAL::SetupSideList(ctl::DataGrid& grid) {
    grid.SetInitializationClass(std::make_shared<ctl::GridInitialization>(active_interface_));
    grid.INIT_ADDColumn("BLT_OPZIONE2", "Colore", 1, 1330, kv::Variant(true));
    grid.INIT_ADDColumn("BLT_DESCR2", "Descrizione", 1, 1514, kv::Variant(true));
    grid.InitializeSTART();
    grid.InitializeEND();
}

void FRMMG_QUENDORMIXAL::SetupDateControl(ctl::DateField& field, ctl::ComboBox& combo, int16_t proposal) {
    const bool asked = proposal == kDateProposalAsked;
    field.SetEnabled(asked);
    field.SetVisible(asked);
    const bool from_configuration = proposal == kDateProposalFromConfiguration;
    combo.SetVisible(from_configuration);
    if (!from_configuration) return;
    combo.SetEnabled(false);
    combo.Move(field.Left(), field.Top(), combo.Width(), combo.Height());
    combo.ZOrder();
    combo.Clear();
    combo.AddItem("Da Configurazione");
    // The combo stands for the date the configuration gives, so it shows its one item; a bare "0"
    // in a disabled box would tell the user nothing.
    combo.SetListIndex(0);
}

// ---------------------------------------------------------------------------------------------------
// Window procedures

void FRMMG_QUENDORMIXAL::Reinizializza(bool first_time) {
    auto report = [this](std::string_view p, const kv::Error& e) { return Report(p, e); };
    // A load that stopped before the drivers were set up (its error already shown) has nothing of
    // theirs to reset; the window is still laid out.
    const bool drivers = listini_acq_ && listini_ven_ && varianti_acq_ && varianti_ven_ &&
                         varianti_acq_->ActiveInterface() && varianti_ven_->ActiveInterface();
    // The matrices are blanked for the next key: nothing of this one is left to undo.
    storico_.Ferma();
    RunTrapped("Reinizializza", report, {
        [&] {
            if (drivers) varianti_acq_->SetStatusOperationInProgress();
        },
        // A grid type the window does not know yet (0 before an article) opens the plain layout.
        [&] { state_.layout_mode = state_.grid_type >= 1 && state_.grid_type <= 4 ? state_.grid_type : int16_t{1}; },
        [&] { ApplyLayoutMode(state_.layout_mode); },
        [&] {
            const bool second_level = state_.layout_mode == 2 || state_.layout_mode == 3;
            TXT_VARIANTE->SetVisible(second_level);
            TXT_VARIANTE_LBL->SetVisible(second_level);
            TXT_DESCSEGMENTO->SetVisible(second_level);
        },
        [&] { GetSegmentoVarianteTestata(); },
        [&] {
            if (!first_time) return;
            for (const auto& date : {TXT_DADATA_ACQ, TXT_ADATA_ACQ, TXT_DADATA_VEN, TXT_ADATA_VEN}) {
                date->SetEnabled(true);
                date->SetText("");
            }
        },
        [&] {
            if (!drivers) return;
            for (const auto& d : {varianti_acq_, varianti_ven_}) {
                d->SetCodVariante1("");
                d->SetCodVariante2("");
                d->SetValVariante1("");
                d->SetValVariante2("");
            }
        },
        // The side lists start again from nothing, except the elements of grid type 4, which do not
        // depend on the article.
        [&] {
            if (!drivers || varianti_acq_->m_iTipoGriglia == 4) return;
            for (auto* rs : {&side_rs_, &side_rs1_}) {
                if (!*rs) continue;
                GRD_SIDE->SetDataSource(nullptr);
                GRD_SIDE1->SetDataSource(nullptr);
                if ((*rs)->State() == kv::ado::adStateOpen) {
                    (*rs)->SetFilter(kv::Variant(int16_t{0}));
                    while ((*rs)->RecordCount() > 0) {
                        (*rs)->MoveFirst();
                        (*rs)->Delete();
                    }
                    (*rs)->Close();
                }
                rs->reset();
            }
        },
        [&] {
            if (drivers) varianti_acq_->ClearVarianti();
        },
        // An open header shows no prices: the matrices are blanked for the next key, and the zeros
        // they now hold are prices nobody stored.
        [&] { GRD_LISACQ->SetDataSource(nullptr); },
        [&] { GRB_LISACQ->SetEnabled(false); },
        [&] {
            if (!drivers) return;
            listini_acq_->SetState(0);
            listini_ven_->SetState(0);
            varianti_acq_->SetState(0);
            varianti_ven_->SetState(0);
        },
        [&] {
            if (drivers) varianti_ven_->ClearVarianti();
        },
        [&] { GRD_LISVEN->SetDataSource(nullptr); },
        [&] { GRB_LISVEN->SetEnabled(false); },
        [&] { Focus(*TXT_CODART); },
        [&] { INTERNAV->SetEnabled(false); },
        [&] {
            if (drivers) varianti_acq_->SetStatusOperationCompleted();
        },
        [&] { SPLITORIZZONTALE_PositionChanged(); },
    });
}

void FRMMG_QUENDORMIXAL::AbilitazionePulsanti(bool enabled) {
    auto report = [this](std::string_view p, const kv::Error& e) { return Report(p, e); };
    RunTrapped("AbilitazionePulsanti", report, {
        [&] { CMD_COPIASURIGA->SetEnabled(enabled); },
        [&] { CMD_COPIASUTUTTERIGHE->SetEnabled(enabled); },
    });
}

}  // namespace qmx
