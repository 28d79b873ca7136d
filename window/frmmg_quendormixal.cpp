#include "window/frmmg_quendormixal.h"

#include <vector>

#include "platform/services/host_objects.h"
#include "shell/clsmg_quendormixal.h"
#include "shell/error_trap.h"

namespace qmx {

namespace svc = kv::services;

struct FRMMG_QUENDORMIXAL::Token {};

namespace {
kv::Error NotSet(const std::string& what) {
    return kv::Error(kv::err::kObjectNotSet, "Object variable not set: " + what, FRMMG_QUENDORMIXAL::kName);
}

// A placement value from the host interface: 0 when it is 0 or Empty.
int32_t Placement(const kv::Variant& v) { return v.IsEmpty() ? 0 : kv::CLng(v); }
}  // namespace

FRMMG_QUENDORMIXAL::FRMMG_QUENDORMIXAL(const Token&)
    : application_(std::make_shared<svc::Application>(kComponent, kComponent)) {}

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
    loaded_ = false;
    if (auto p = presenter_.lock()) p->Closed(*this);
    presenter_.reset();
    return true;
}

void FRMMG_QUENDORMIXAL::AddControl(const std::string& name, std::shared_ptr<kv::Object> control) {
    controls_[name] = std::move(control);
}

std::shared_ptr<kv::Object> FRMMG_QUENDORMIXAL::Control(std::string_view name) const {
    auto it = controls_.find(name);
    return it == controls_.end() ? nullptr : it->second;
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

bool FRMMG_QUENDORMIXAL::ConfigurationUsable() const {
    // Each driver's ConfigurationOk joins this test as the drivers join the window.
    return true;
}

// ---------------------------------------------------------------------------------------------------
// Event procedures

void FRMMG_QUENDORMIXAL::Form_Load() {
    auto report = [this](std::string_view p, const kv::Error& e) { return Report(p, e); };
    bool modal = false;
    RunTrapped("Form_Load", report, {
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

        // Header fields, toolbar button, side lists, the four drivers with their grids and date
        // controls, the resize control, the splitters and the first reset join here, in that order,
        // inside the loading flag.
        [&] { state_.loading = true; },

        [&] { state_.close_request = !ConfigurationUsable(); },
        [&] { state_.loading = false; },
        [&] { state_.changes_pending = false; },
        // The operation bar and the sizing of the price grids to their group boxes follow here.
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
        // The option field is linked to the article field here.
        [&] { ExecuteFormEvent("kvOpen"); },
        [&] { Global()->SetApplication(application_); },
        // The split controls are refreshed and applied here; then the article the caller fixed
        // (IsCalled with the owner's CodiceArticolo) goes into the article field, or the field
        // takes the focus.
        [&] {
            if (state_.close_request) Unload();
        },
    });
}

void FRMMG_QUENDORMIXAL::Form_QueryUnload(int16_t& cancel, int16_t /*unload_mode*/) {
    auto report = [this](std::string_view p, const kv::Error& e) { return Report(p, e); };
    RunTrapped("Form_QueryUnload", report, {
        [&] { SyncNavigator(); },
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

        // The lookup fields, the four drivers with their recordsets, the grids and the resize
        // control are released here, in that order.
        [&] { parameter_template_.reset(); },

        // The host service objects.
        [&] {
            messages_.reset();
            article_search_.reset();
            price_calculation_.reset();
            price_rounding_.reset();
        },
        [&] { RequireInterface()->SetActiveDll(nullptr); },
        [&] {
            if (error_display_) error_display_->Finish();
        },
        [&] {
            owner_.reset();
            active_interface_.reset();
            error_display_.reset();
        },
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
