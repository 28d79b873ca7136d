#include "window/frmmg_quendormixal.h"

#include <vector>

#include "platform/services/host_objects.h"
#include "shell/clsmg_quendormixal.h"
#include "shell/error_trap.h"
#include "shell/modmg_quendormixal.h"

namespace qmx {

namespace svc = kv::services;
namespace ctl = kv::controls;

struct FRMMG_QUENDORMIXAL::Token {};

namespace {
// A list driver's date proposals, as the date controls take them.
int16_t StartProposal(const CLSMG_SETUPLISTINI& d) { return static_cast<int16_t>(d.PropStartDate()); }
int16_t EndProposal(const CLSMG_SETUPLISTINI& d) { return static_cast<int16_t>(d.PropEndDate()); }

kv::Error NotSet(const std::string& what) {
    return kv::Error(kv::err::kObjectNotSet, "Object variable not set: " + what, FRMMG_QUENDORMIXAL::kName);
}
}  // namespace

FRMMG_QUENDORMIXAL::FRMMG_QUENDORMIXAL(const Token&)
    : MDIActiveX1(std::make_shared<ctl::HostContainer>("MDIActiveX1")),
      KVR_RESIZEFORM(std::make_shared<ctl::ResizeControl>("KVR_RESIZEFORM")),
      INTERNAV(std::make_shared<ctl::Toolbar>("INTERNAV")),
      BAR_OPERATION(std::make_shared<ctl::OperationBar>("BAR_OPERATION")),
      FME_TESTATA(std::make_shared<ctl::Panel>("FME_TESTATA")),
      GRB_HEAD(std::make_shared<ctl::GroupBox>("GRB_HEAD")),
      TXT_CODART(std::make_shared<ctl::LookupField>("TXT_CODART")),
      TXT_CODART_LBL(std::make_shared<ctl::Label>("TXT_CODART_LBL")),
      TXT_DESCART(std::make_shared<ctl::TextField>("TXT_DESCART")),
      TXT_OPZIONE(std::make_shared<ctl::LookupField>("TXT_OPZIONE")),
      TXT_OPZIONE_LBL(std::make_shared<ctl::Label>("TXT_OPZIONE_LBL")),
      TXT_VARIANTE(std::make_shared<ctl::LookupField>("TXT_VARIANTE")),
      TXT_VARIANTE_LBL(std::make_shared<ctl::Label>("TXT_VARIANTE_LBL")),
      TXT_DESCSEGMENTO(std::make_shared<ctl::TextField>("TXT_DESCSEGMENTO")),
      TXT_DADATA_ACQ(std::make_shared<ctl::DateField>("TXT_DADATA_ACQ")),
      TXT_DADATA_ACQ_LBL(std::make_shared<ctl::Label>("TXT_DADATA_ACQ_LBL")),
      TXT_ADATA_ACQ(std::make_shared<ctl::DateField>("TXT_ADATA_ACQ")),
      TXT_ADATA_ACQ_LBL(std::make_shared<ctl::Label>("TXT_ADATA_ACQ_LBL")),
      CBO_DADATA_ACQ(std::make_shared<ctl::ComboBox>("CBO_DADATA_ACQ")),
      CBO_ADATA_ACQ(std::make_shared<ctl::ComboBox>("CBO_ADATA_ACQ")),
      TXT_DADATA_VEN(std::make_shared<ctl::DateField>("TXT_DADATA_VEN")),
      TXT_DADATA_VEN_LBL(std::make_shared<ctl::Label>("TXT_DADATA_VEN_LBL")),
      TXT_ADATA_VEN(std::make_shared<ctl::DateField>("TXT_ADATA_VEN")),
      TXT_ADATA_VEN_LBL(std::make_shared<ctl::Label>("TXT_ADATA_VEN_LBL")),
      CBO_DADATA_VEN(std::make_shared<ctl::ComboBox>("CBO_DADATA_VEN")),
      CBO_ADATA_VEN(std::make_shared<ctl::ComboBox>("CBO_ADATA_VEN")),
      PIC_LEFT(std::make_shared<ctl::Panel>("PIC_LEFT")),
      GRD_SIDE(std::make_shared<ctl::DataGrid>("GRD_SIDE")),
      GRD_SIDE1(std::make_shared<ctl::DataGrid>("GRD_SIDE1")),
      CMD_COPIASURIGA(std::make_shared<ctl::CommandButton>("CMD_COPIASURIGA")),
      CMD_COPIASUTUTTERIGHE(std::make_shared<ctl::CommandButton>("CMD_COPIASUTUTTERIGHE")),
      GRB_LISACQ(std::make_shared<ctl::GroupBox>("GRB_LISACQ")),
      LBL_HEADLISACQ(std::make_shared<ctl::Label>("LBL_HEADLISACQ")),
      GRD_LISACQ(std::make_shared<ctl::DataGrid>("GRD_LISACQ")),
      GRB_LISVEN(std::make_shared<ctl::GroupBox>("GRB_LISVEN")),
      LBL_HEADLISVEN(std::make_shared<ctl::Label>("LBL_HEADLISVEN")),
      GRD_LISVEN(std::make_shared<ctl::DataGrid>("GRD_LISVEN")),
      SPLITVERTICALE(std::make_shared<ctl::Splitter>("SPLITVERTICALE", ctl::SplitDirection::LeftRight)),
      SPLITORIZZONTALE(std::make_shared<ctl::Splitter>("SPLITORIZZONTALE", ctl::SplitDirection::TopBottom)),
      application_(std::make_shared<svc::Application>(kComponent, kComponent)) {
    CreateControls();
    RegisterControls();
}

FRMMG_QUENDORMIXAL::~FRMMG_QUENDORMIXAL() = default;

std::shared_ptr<FRMMG_QUENDORMIXAL> FRMMG_QUENDORMIXAL::Create() {
    return std::make_shared<FRMMG_QUENDORMIXAL>(Token{});
}

// ---------------------------------------------------------------------------------------------------
// Properties and the window's own lifecycle

void FRMMG_QUENDORMIXAL::SetWindowState(int16_t value) {
    Load();
    window_state_ = value;
}

void FRMMG_QUENDORMIXAL::SetCaption(std::string value) {
    Load();
    caption_ = std::move(value);
}

void FRMMG_QUENDORMIXAL::Load() {
    if (loaded_) return;
    loaded_ = true;
    auto keep = shared_from_this();
    Form_Load();
}

void FRMMG_QUENDORMIXAL::Show(bool modal) {
    Load();
    auto presenter = Global()->Presenter();
    if (!presenter) throw NotSet("the host has no window presenter");
    presenter_ = presenter;
    presenter->Show(shared_from_this(), modal);
}

bool FRMMG_QUENDORMIXAL::Unload(int16_t unload_mode) {
    if (!loaded_) return true;
    if (unloading_) return false;  // an unload already running finishes the job
    auto keep = shared_from_this();
    unloading_ = true;
    struct Reset {
        bool& flag;
        ~Reset() { flag = false; }
    } reset{unloading_};

    int16_t cancel = 0;
    Form_QueryUnload(cancel, unload_mode);
    if (cancel != 0) return false;
    Form_Unload(cancel);
    if (cancel != 0) return false;
    // Form_Unload drops the owner and the host interface last; a step the user left after an error
    // must not keep them, or the window and its entry object would keep each other alive.
    owner_.reset();
    active_interface_.reset();
    subscriptions_.clear();
    loaded_ = false;
    if (auto p = presenter_.lock()) p->Closed(*this);
    presenter_.reset();
    return true;
}

void FRMMG_QUENDORMIXAL::AddControl(const std::string& name, std::shared_ptr<kv::Object> control) {
    controls_[name] = std::move(control);
}

void FRMMG_QUENDORMIXAL::RegisterControls() {
    const std::shared_ptr<ctl::Control> all[] = {
        MDIActiveX1, KVR_RESIZEFORM, INTERNAV, BAR_OPERATION, FME_TESTATA, GRB_HEAD, TXT_CODART,
        TXT_CODART_LBL, TXT_DESCART, TXT_OPZIONE, TXT_OPZIONE_LBL, TXT_VARIANTE, TXT_VARIANTE_LBL,
        TXT_DESCSEGMENTO, TXT_DADATA_ACQ, TXT_DADATA_ACQ_LBL, TXT_ADATA_ACQ, TXT_ADATA_ACQ_LBL, CBO_DADATA_ACQ,
        CBO_ADATA_ACQ, TXT_DADATA_VEN, TXT_DADATA_VEN_LBL, TXT_ADATA_VEN, TXT_ADATA_VEN_LBL, CBO_DADATA_VEN,
        CBO_ADATA_VEN, PIC_LEFT, GRD_SIDE, GRD_SIDE1, CMD_COPIASURIGA, CMD_COPIASUTUTTERIGHE, GRB_LISACQ,
        LBL_HEADLISACQ, GRD_LISACQ, GRB_LISVEN, LBL_HEADLISVEN, GRD_LISVEN, SPLITVERTICALE, SPLITORIZZONTALE
    };
    for (const auto& c : all) AddControl(c->Name(), c);
}

std::shared_ptr<kv::Object> FRMMG_QUENDORMIXAL::Control(std::string_view name) const {
    auto it = controls_.find(name);
    return it == controls_.end() ? nullptr : it->second;
}

int32_t FRMMG_QUENDORMIXAL::Placement(const kv::Variant& value) {
    return value.IsEmpty() ? 0 : kv::CLng(value);
}

std::shared_ptr<svc::Cinterface> FRMMG_QUENDORMIXAL::RequireInterface() const {
    if (!active_interface_) throw NotSet("the window has no host interface");
    return active_interface_;
}

std::shared_ptr<svc::GlobalServices> FRMMG_QUENDORMIXAL::Global() const {
    auto g = RequireInterface()->ClsGlobal();
    if (!g) throw NotSet("the host interface has no global services (ClsGlobal)");
    return g;
}

std::shared_ptr<svc::Navigator> FRMMG_QUENDORMIXAL::NavigatorOrNull() const {
    return active_interface_ ? active_interface_->ActiveNavigator() : nullptr;
}

void FRMMG_QUENDORMIXAL::AddRicalcolaButton() {
    if (INTERNAV->IndexOf(kRicalcolaKey) < 0)
        INTERNAV->AddButton(kRicalcolaKey, kRicalcolaCaption, ctl::kToolbarConfirm);
}

bool FRMMG_QUENDORMIXAL::ConfigurationUsable() const {
    // Every driver is asked, as each check also resets the driver's State for what follows.
    bool usable = true;
    for (const auto& d : {listini_acq_, listini_ven_})
        if (!d || !d->ConfigurationOk()) usable = false;
    for (const auto& d : {varianti_acq_, varianti_ven_})
        if (!d || !d->ConfigurationOk()) usable = false;
    return usable;
}

std::string FRMMG_QUENDORMIXAL::CalledArticle() const {
    if (!active_interface_ || !active_interface_->IsCalled() || !owner_) return {};
    return kv::CStr(NS(owner_->CodiceArticolo()));
}

void FRMMG_QUENDORMIXAL::SetupListDriver(CLSMG_SETUPLISTINI& driver,
                                         const std::shared_ptr<ctl::DataGrid>& grid, KvEnumLisSalPur kind,
                                         const std::string& article, bool show_messages) {
    driver.SetActiveInterface(active_interface_);
    driver.SetADOConnection(connection_);
    driver.Qgrid = grid;
    driver.SetSalPur(kind);
    if (!article.empty()) driver.SetCodArticolo(article);
    driver.SetupGrid(show_messages);
    driver.LoadList();
    driver.SetupDate();
}

void FRMMG_QUENDORMIXAL::SetupMatrixDriver(CLSMG_SETUPVARIANTI& driver,
                                           const std::shared_ptr<ctl::DataGrid>& grid, KvEnumVarSalPur kind,
                                           const CLSMG_SETUPLISTINI& list_driver, const std::string& article,
                                           bool show_messages) {
    driver.SetActiveInterface(active_interface_);
    driver.SetADOConnection(connection_);
    driver.SetGrid(grid);
    driver.SetSalPur(kind);
    // One recordset for both drivers of a kind and their grid.
    driver.SetRecordset(list_driver.Recordset());
    driver.BarOperation = BAR_OPERATION;
    driver.SetInsert(true);
    if (!article.empty()) driver.SetCodArticolo(article);
    driver.SetupGrid(show_messages);
}

// ---------------------------------------------------------------------------------------------------
// Event procedures

void FRMMG_QUENDORMIXAL::Form_Load() {
    auto report = [this](std::string_view p, const kv::Error& e) { return Report(p, e); };
    bool modal = false;
    bool show_messages = true;
    std::string called_article;
    // The drivers exist from the start of the load, so every later step can address them.
    listini_acq_ = std::make_shared<CLSMG_SETUPLISTINI>();
    varianti_acq_ = std::make_shared<CLSMG_SETUPVARIANTI>();
    listini_ven_ = std::make_shared<CLSMG_SETUPLISTINI>();
    varianti_ven_ = std::make_shared<CLSMG_SETUPVARIANTI>();
    RunTrapped("Form_Load", report, {
        [&] { ConnectControlEvents(); },
        // A modal window is placed where the host asks and gets the modal size.
        [&] { modal = RequireInterface()->WindowModal(); },
        [&] { if (modal) left_ = Placement(RequireInterface()->Left()); },
        [&] { if (modal) top_ = Placement(RequireInterface()->Top()); },
        [&] {
            if (!modal) return;
            width_ = kModalWidth;
            height_ = kModalHeight;
        },
        [&] { connection_string_ = Global()->ConnectionString(); },

        // Error display first, so the failures below are shown through it.
        [&] { error_display_ = Global()->NewErrorDisplay(); },
        [&] {
            auto factory = Global()->NewDataAccess();
            if (!factory) throw NotSet("the host has no data-access factory");
            connection_ = factory->NewConnection();
        },
        [&] {
            if (!connection_) throw NotSet("the window has no connection");
            connection_->SetConnectionString(connection_string_);
        },
        // A connection that does not open is reported; the load goes on and each later database
        // access reports its own failure.
        [&] {
            if (!connection_) throw NotSet("the window has no connection");
            connection_->Open();
        },
        [&] { RequireInterface()->SetConnection(connection_); },

        // The host service objects the window works with.
        [&] { messages_ = Global()->NewMessageService(); },
        [&] {
            article_search_ = Global()->NewArticleSearch();
            if (article_search_) article_search_->SetActiveInterface(RequireInterface());
        },
        [&] {
            price_calculation_ = Global()->NewPriceCalculation();
            if (price_calculation_) price_calculation_->SetGlobalServices(Global());
        },
        [&] {
            price_rounding_ = Global()->NewPriceRounding();
            if (price_rounding_) price_rounding_->SetGlobalServices(Global());
        },
        [&] { company_code_ = std::to_string(Global()->CompanyCode()); },

        // The columns of the price-list parameters, as a template for the drivers.
        [&] {
            if (!connection_) throw NotSet("the window has no connection");
            parameter_template_ = connection_->Execute("SELECT * FROM MG44_PARMAGLIST WHERE 0=1");
        },

        // The header's lookup fields work on the window's connection, for its company.
        [&] {
            TXT_CODART->SetInterface(RequireInterface());
            TXT_CODART->SetConnection(connection_);
            TXT_CODART->SetCompanyCode(company_code_);
        },
        [&] {
            TXT_OPZIONE->SetInterface(RequireInterface());
            TXT_OPZIONE->SetCompanyCode(company_code_);
            TXT_OPZIONE->SetConnection(connection_);
            TXT_OPZIONE->SetConnectionString(connection_string_);
        },
        // The variant field too: left to open a connection of its own, every window of grid type 2 or
        // 3 held a second session on the company's server for as long as the window object lived.
        [&] {
            TXT_VARIANTE->SetInterface(RequireInterface());
            TXT_VARIANTE->SetCompanyCode(company_code_);
            TXT_VARIANTE->SetConnection(connection_);
        },
        [&] { AddRicalcolaButton(); },
        // The sales grid is defined with the margin column as the user left it.
        [&] { LeggiPreferenzaMargine(); },

        // A caller that opens the window on an article fixes it (Form_Activate puts it into the article
        // field): the drivers define their grids for that article from the start.
        [&] { called_article = CalledArticle(); },
        [&] { state_.loading = true; },
        [&] { SetupSideList(*GRD_SIDE); },
        [&] { SetupSideList(*GRD_SIDE1); },
        // The purchase drivers: the price-list driver defines GRD_LISACQ's columns, creates the matrix
        // recordset and says how the purchase dates are proposed; the matrix driver works on that very
        // recordset.
        [&] { SetupListDriver(*listini_acq_, GRD_LISACQ, LisPurchase, called_article, true); },
        [&] { SetupDateControl(*TXT_DADATA_ACQ, *CBO_DADATA_ACQ, StartProposal(*listini_acq_)); },
        [&] { SetupDateControl(*TXT_ADATA_ACQ, *CBO_ADATA_ACQ, EndProposal(*listini_acq_)); },
        [&] {
            SetupMatrixDriver(*varianti_acq_, GRD_LISACQ, VarPurchase, *listini_acq_, called_article, true);
        },
        [&] { varianti_acq_->ReLoadVarianti(); },

        // The sales drivers, the same way; a configuration message the purchase matrix driver has
        // already shown is not shown again.
        [&] { show_messages = varianti_acq_->ConfigurationOk(); },
        [&] { SetupListDriver(*listini_ven_, GRD_LISVEN, LisSale, called_article, show_messages); },
        [&] { SetupDateControl(*TXT_DADATA_VEN, *CBO_DADATA_VEN, StartProposal(*listini_ven_)); },
        [&] { SetupDateControl(*TXT_ADATA_VEN, *CBO_ADATA_VEN, EndProposal(*listini_ven_)); },
        [&] { show_messages = varianti_acq_->ConfigurationOk(); },
        [&] {
            SetupMatrixDriver(*varianti_ven_, GRD_LISVEN, VarSale, *listini_ven_, called_article,
                              show_messages);
        },
        [&] { varianti_ven_->ReLoadVarianti(); },
        [&] {
            state_.grid_type = varianti_ven_->GetIndTipoGriglia();
            state_.grid_type_at_load = state_.grid_type;
        },
        [&] { INTERNAV->EnableButton(kMargineKey, state_.grid_type != 4); },
        // The layout starts in mode 1 whatever the grid type is; the reset below lays it out for it.
        [&] { state_.layout_mode = 1; },
    });

    // The window is laid out whatever the steps above did: a load the user left after an error
    // (a connection that did not open) still shows a whole window, with its header open, its price
    // areas in place and its toolbar disabled, rather than controls stacked where they were created.
    RunTrapped("Form_Load", report, {
        [&] { AddRicalcolaButton(); },
        // The sales grid is defined with the margin column as the user left it.
        [&] { LeggiPreferenzaMargine(); },
        [&] { state_.layout_mode = 1; },
        [&] { TXT_CODART->SetEnabled(true); },
        [&] {
            TXT_CODART->SetText("");
            TXT_OPZIONE->SetText("");
            TXT_VARIANTE->SetText("");
            TXT_DESCART->SetText("");
        },
        [&] { KVR_RESIZEFORM->SetInterface(RequireInterface()); },
        [&] { KVR_RESIZEFORM->Start(); },
        [&] { SetupSplitters(); },
        [&] { Reinizializza(true); },

        [&] { state_.close_request = !ConfigurationUsable(); },
        [&] { state_.loading = false; },
        [&] { BAR_OPERATION->SetVisible(false); },
        [&] { BAR_OPERATION->SetStyle(ctl::OperationBar::kBusyIndicator); },
        [&] { state_.changes_pending = false; },
        [&] { SizePriceAreas(); },
    });
}

void FRMMG_QUENDORMIXAL::Form_Activate() {
    auto report = [this](std::string_view p, const kv::Error& e) { return Report(p, e); };
    RunTrapped("Form_Activate", report, {
        [&] { SyncNavigator(); },
        [&] {
            if (state_.activated) return Flow::Exit;  // the rest runs on the first activation only
            state_.activated = true;
            return Flow::Next;
        },
        [&] { TXT_CODART->SetOptionField(TXT_OPZIONE); },
        [&] { ExecuteFormEvent("kvOpen"); },
        [&] { Global()->SetApplication(application_); },
        [&] {
            SPLITVERTICALE->Refresh();
            SPLITORIZZONTALE->Refresh();
        },
        [&] { SPLITVERTICALE_PositionChanged(); },
        [&] { SPLITORIZZONTALE_PositionChanged(); },
        [&] {
            SPLITVERTICALE->Refresh();
            SPLITORIZZONTALE->Refresh();
        },
        // A caller that opens the window on an article fixes it: the field shows it and is locked.
        [&] {
            const std::string article = owner_ ? kv::CStr(owner_->CodiceArticolo()) : std::string();
            if (RequireInterface()->IsCalled() && !article.empty()) {
                TXT_CODART->SetText(article);
                TXT_CODART->SetEnabled(false);
                // The fixed article is taken as confirmed: it is decoded and handed to the drivers, so
                // the user goes straight on to the dates (the focus waits on the first one, not on the
                // option field, where a date typed would be taken as an option).
                TXT_CODART->Confirm();
                if (TXT_CODART->Valid())
                    for (const auto& date : {TXT_DADATA_ACQ, TXT_ADATA_ACQ, TXT_DADATA_VEN, TXT_ADATA_VEN})
                        if (date->Visible() && date->Enabled()) {
                            Focus(*date);
                            break;
                        }
            } else if (TXT_CODART->Enabled()) {
                Focus(*TXT_CODART);
            }
        },
        [&] {
            if (state_.close_request) Unload();
        },
    });
}

void FRMMG_QUENDORMIXAL::Form_QueryUnload(int16_t& cancel, int16_t /*unload_mode*/) {
    auto report = [this](std::string_view p, const kv::Error& e) { return Report(p, e); };
    RunTrapped("Form_QueryUnload", report, {
        [&] { SyncNavigator(); },
        // Unsaved prices are not dropped without a question: the user may save them, close without
        // them, or stay.
        [&] {
            if (cancel == 0 && !ChiusuraConsentita()) cancel = 1;
        },
        [&] {
            if (cancel == 0) ExecuteFormEvent("kvClose");
        },
    });
}

void FRMMG_QUENDORMIXAL::Form_Unload(int16_t& /*cancel*/) {
    auto report = [this](std::string_view p, const kv::Error& e) { return Report(p, e); };
    std::shared_ptr<svc::Navigator> navigator;
    RunTrapped("Form_Unload", report, {
        // The field manager's registrations are released here.
        [&] {
            if (connection_ && connection_->State() == kv::ado::adStateOpen) connection_->Close();
        },
        [&] { RequireInterface()->SetConnection(nullptr); },
        [&] { connection_.reset(); },

        // The host objects are told that the window is gone.
        [&] {
            if (auto menu = RequireInterface()->ClsVoceMenu()) menu->FormClosed(kName);
        },
        [&] { navigator = NavigatorOrNull(); },
        [&] {
            if (auto script = navigator ? navigator->ScriptModel() : nullptr) script->UnregisterWindow(kName);
        },
        [&] {
            auto layout = navigator ? navigator->LayoutModel() : nullptr;
            if (!layout) return;
            layout->Unregister(shared_from_this());
            for (const auto& [name, control] : controls_) layout->Unregister(control);
        },
        [&] { Global()->WindowClosed(kName); },
    });

    // What the window holds is released whatever the steps above did: a host object that is gone
    // must not leave the window holding its connection, its controls' references to the host
    // interface, or its owner (the window and its entry object would keep each other alive).
    RunTrapped("Form_Unload", report, {
        [&] { storico_.Ferma(); },
        [&] { connection_.reset(); },
        [&] { TXT_CODART->Release(); },
        [&] { TXT_OPZIONE->Release(); },
        [&] { TXT_VARIANTE->Release(); },
        // The drivers let go of the host and are dropped, with the recordsets the window holds.
        [&] {
            for (const auto& d : {listini_acq_, listini_ven_})
                if (d) d->SetActiveInterface(nullptr);
            for (const auto& d : {varianti_acq_, varianti_ven_})
                if (d) {
                    d->SetActiveInterface(nullptr);
                    d->BarOperation.reset();
                }
        },
        [&] {
            listini_acq_.reset();
            listini_ven_.reset();
            varianti_acq_.reset();
            varianti_ven_.reset();
        },
        [&] { parameter_template_.reset(); },
        [&] { margini_.reset(); },
        [&] { GRD_LISACQ->Release(); },
        [&] { GRD_LISVEN->Release(); },
        [&] { GRD_SIDE->Release(); },
        [&] { GRD_SIDE1->Release(); },
        [&] { KVR_RESIZEFORM->SetInterface(nullptr); },
        [&] { KVR_RESIZEFORM->Stop(); },

        // The host service objects.
        [&] {
            messages_.reset();
            article_search_.reset();
            price_calculation_.reset();
            price_rounding_.reset();
        },
        [&] {
            if (active_interface_) active_interface_->SetActiveDll(nullptr);
        },
        [&] {
            if (error_display_) error_display_->Finish();
        },
        [&] {
            owner_.reset();
            active_interface_.reset();
            error_display_.reset();
        },
        // An unloaded window no longer answers its controls.
        [&] { subscriptions_.clear(); },
    });
}

void FRMMG_QUENDORMIXAL::SyncNavigator() {
    std::shared_ptr<svc::Frame> frame;
    RunResumeNext({
        [&] { Global()->SetActiveInterface(RequireInterface()); },
        [&] { frame = RequireInterface()->ActiveFrame(); },
        [&] {
            if (!frame) return;
            auto navigator = NavigatorOrNull();
            if (!navigator) throw NotSet("the host interface has no navigator");
            navigator->SetFrameStatus(kv::CInt(frame->Status()));
        },
        [&] {
            auto navigator = NavigatorOrNull();
            if (!navigator) throw NotSet("the host interface has no navigator");
            navigator->Refresh();
        },
    });
}

void FRMMG_QUENDORMIXAL::ExecuteFormEvent(std::string_view event_name) {
    auto report = [this](std::string_view p, const kv::Error& e) { return Report(p, e); };
    int16_t flag = 0;
    if (event_name == "kvOpen") flag = 1;
    else if (event_name != "kvClose") return;
    std::shared_ptr<svc::ScriptObjectModel> model;
    RunTrapped("ExecuteFormEvent", report, {
        [&] {
            auto navigator = NavigatorOrNull();
            model = navigator ? navigator->ScriptModel() : nullptr;
        },
        [&] {
            if (model) model->FireWindowEvent(kName, flag, kName);
        },
    });
}

int32_t FRMMG_QUENDORMIXAL::Report(std::string_view procedure, const kv::Error& error) {
    const int32_t answer = VisualizzaErrore(procedure, error);
    if (answer != svc::answer::kRetry && answer != svc::answer::kIgnore && answer != svc::answer::kCancel) {
        for (const auto& d : {varianti_acq_, varianti_ven_}) {
            if (!d) continue;
            try {
                d->SetStatusOperationError();
                break;
            } catch (const std::exception&) {
                // A host without a pointer or status bar has nothing to give back.
            }
        }
    }
    return answer;
}

int FRMMG_QUENDORMIXAL::Chiedi(const std::string& text, int style, const std::string& title) {
    if (!messages_)
        throw kv::Error(kv::err::kObjectNotSet, "La finestra non ha il servizio dei messaggi dell'host", kName);
    return messages_->Message(text, style, title);
}

int32_t FRMMG_QUENDORMIXAL::VisualizzaErrore(std::string_view procedure, const kv::Error& error) {
    svc::ErrorReport report;
    report.number = error.Number();
    report.description = error.Description();
    report.source = error.Source();
    if (connection_) report.connection_errors = connection_->GetErrors().All();
    report.component = application_ ? application_->Title() : std::string(kComponent);
    report.caption = caption_;
    report.procedure = std::string(procedure);
    report.style = svc::style::kErrorStyle;

    auto display = error_display_;
    if (!display) {
        // An error before the display exists (or after it was released) is still shown when the host
        // can give a display; otherwise the procedure is left.
        try {
            display = Global()->NewErrorDisplay();
        } catch (const std::exception&) {
            display = nullptr;
        }
    }
    if (!display) return svc::answer::kAbort;
    try {
        return display->ShowError(report);
    } catch (const std::exception&) {
        return svc::answer::kAbort;
    }
}

}  // namespace qmx
