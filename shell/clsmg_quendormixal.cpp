#include "shell/clsmg_quendormixal.h"

#include <limits>

#include "platform/variant/strings.h"
#include "shell/error_trap.h"
#include "window/frmmg_quendormixal.h"

namespace qmx {

namespace svc = kv::services;

struct CLSMG_QUENDORMIXAL::Token {};

namespace {
int16_t To16(int32_t v) {
    if (v < std::numeric_limits<int16_t>::min() || v > std::numeric_limits<int16_t>::max())
        throw kv::Error(kv::err::kOverflow, "Overflow: " + std::to_string(v) + " does not fit in an Integer");
    return static_cast<int16_t>(v);
}

kv::Error NotSet(const char* what) {
    return kv::Error(kv::err::kObjectNotSet, std::string("Object variable not set: ") + what,
                     CLSMG_QUENDORMIXAL::kProgId);
}
}  // namespace

CLSMG_QUENDORMIXAL::CLSMG_QUENDORMIXAL(const Token&) {}

std::shared_ptr<CLSMG_QUENDORMIXAL> CLSMG_QUENDORMIXAL::Create() {
    auto self = std::make_shared<CLSMG_QUENDORMIXAL>(Token{});
    // A host that never sets ActiveDll still gets a window whose host interface is this object.
    self->SetActiveDll(self);
    return self;
}

CLSMG_QUENDORMIXAL::~CLSMG_QUENDORMIXAL() {
    RunResumeNext({
        [&] { cls_voce_menu_.reset(); },
        [&] { cls_global_.reset(); },
        [&] { cwindow_.reset(); },
        [&] {
            sink_ = NavigatorSink{};
            navigator_.reset();
        },
        [&] {
            active_dll_.reset();
            active_dll_is_self_ = false;
        },
    });
}

// ---------------------------------------------------------------------------------------------------
// Stored properties that convert

std::shared_ptr<svc::Cinterface> CLSMG_QUENDORMIXAL::ActiveDll() const {
    if (active_dll_is_self_) return std::const_pointer_cast<CLSMG_QUENDORMIXAL>(weak_from_this().lock());
    return active_dll_;
}

void CLSMG_QUENDORMIXAL::SetActiveDll(std::shared_ptr<svc::Cinterface> value) {
    active_dll_is_self_ = value.get() == this;
    active_dll_ = active_dll_is_self_ ? nullptr : std::move(value);
}

void CLSMG_QUENDORMIXAL::SetWindowState(int32_t value) {
    RunResumeNext({[&] { window_state_ = To16(value); }});
}

void CLSMG_QUENDORMIXAL::SetProgramMode(int32_t value) {
    RunResumeNext({[&] { program_mode_ = To16(value); }});
}

void CLSMG_QUENDORMIXAL::SetTop(const kv::Variant& value) {
    RunResumeNext({[&] { top_ = kv::CLng(value); }});
}

void CLSMG_QUENDORMIXAL::SetLeft(const kv::Variant& value) {
    RunResumeNext({[&] { left_ = kv::CLng(value); }});
}

void CLSMG_QUENDORMIXAL::SetCodiceArticolo(const kv::Variant& value) {
    RunResumeNext({[&] { codice_articolo_ = kv::CStr(value); }});
}

// The late-bound members are the only ones that raise: an unknown name is the caller's mistake, and
// the caller is a host, not the component's own procedures.
void CLSMG_QUENDORMIXAL::PropertyLet(std::string_view name, const kv::Variant& value) {
    if (!kv::EqualsNoCase(name, "CodiceArticolo")) throw kv::services::MemberNotSupported(name, kProgId);
    SetCodiceArticolo(value);
}

kv::Variant CLSMG_QUENDORMIXAL::PropertyGet(std::string_view name) const {
    if (!kv::EqualsNoCase(name, "CodiceArticolo")) throw kv::services::MemberNotSupported(name, kProgId);
    return CodiceArticolo();
}

// ---------------------------------------------------------------------------------------------------
// Window

kv::Variant CLSMG_QUENDORMIXAL::ShowForm() {
    bool shown = false;
    RunResumeNext({
        [&] { window_ = FRMMG_QUENDORMIXAL::Create(); },
        [&] { window_->SetActiveInterface(ActiveDll()); },
        [&] {
            // The owner is ActiveDll taken as this class; an ActiveDll of another kind gives no owner.
            auto owner = std::dynamic_pointer_cast<CLSMG_QUENDORMIXAL>(ActiveDll());
            if (!owner) throw kv::Error(kv::err::kTypeMismatch, "Type mismatch: ActiveDll is not a CLSMG_QUENDORMIXAL");
            window_->SetOwner(owner);
        },
        // The first window property set: the window loads here.
        [&] { window_->SetWindowState(window_state_); },
        [&] { window_->SetCaption(kv::CStr(caption_)); },
        [&] {
            window_->Show(window_modal_ != 0);
            shown = true;
        },
        // A window that could not be shown is unloaded at once: it would otherwise hold this object as
        // its owner while this object holds it, and neither would ever be released.
        [&] {
            if (!shown && window_) window_->Unload();
        },
    });
    return kv::Variant();
}

kv::Variant CLSMG_QUENDORMIXAL::CloseForm() {
    kv::Variant result(false);
    RunResumeNext({
        [&] {
            if (window_) window_->Unload();
        },
        // No window at all is a window that is gone.
        [&] {
            if (!window_ || !window_->ActiveInterface()) result = kv::Variant(true);
        },
    });
    return result;
}

kv::Variant CLSMG_QUENDORMIXAL::TransferData(const kv::Variant& data) {
    RunResumeNext({[&] { DataTransfer.Raise(data); }});
    return kv::Variant();
}

// ---------------------------------------------------------------------------------------------------
// Navigator events

void CLSMG_QUENDORMIXAL::SetActiveNavigator(std::shared_ptr<svc::Navigator> value) {
    sink_ = NavigatorSink{};
    navigator_ = std::move(value);
    ConnectSink();
}

void CLSMG_QUENDORMIXAL::ConnectSink() {
    if (!navigator_) return;
    std::weak_ptr<CLSMG_QUENDORMIXAL> weak = weak_from_this();
    auto& n = *navigator_;
    sink_.before_export = n.BeforeExportToOffice.Connect([weak](bool& cancel) {
        if (auto s = weak.lock()) s->OnBeforeExportToOffice(cancel);
    });
    sink_.before_change = n.BeforeChangeDitta.Connect([weak](bool& cancel) {
        if (auto s = weak.lock()) s->OnBeforeChangeDitta(cancel);
    });
    sink_.change = n.ChangeDitta.Connect([weak] {
        if (auto s = weak.lock()) s->OnChangeDitta();
    });
    sink_.layout = n.InitializeLayoutObjectModel.Connect(
        [weak](svc::Navigator& nav, const std::shared_ptr<svc::LayoutObjectModel>& model) {
            if (auto s = weak.lock()) s->OnInitializeLayoutObjectModel(nav, model);
        });
    sink_.script = n.InitializeScriptObjectModel.Connect(
        [weak](svc::Navigator& nav, const std::shared_ptr<svc::ScriptObjectModel>& model) {
            if (auto s = weak.lock()) s->OnInitializeScriptObjectModel(nav, model);
        });
    sink_.button = n.ButtonPressed.Connect([weak](const std::string& key) {
        if (auto s = weak.lock()) s->OnButtonPressed(key);
    });
}

void CLSMG_QUENDORMIXAL::OnBeforeExportToOffice(bool& /*cancel*/) {
    RunResumeNext({[&] {
        auto dll = ActiveDll();
        if (!dll) throw NotSet("ActiveDll");
        (void)dll->IsActive();
    }});
}

void CLSMG_QUENDORMIXAL::OnButtonPressed(const std::string& /*key*/) {
    RunResumeNext({[&] {
        auto dll = ActiveDll();
        if (!dll) throw NotSet("ActiveDll");
        (void)dll->IsActive();
    }});
}

// The component does not react to a change of company while it is open.
void CLSMG_QUENDORMIXAL::OnBeforeChangeDitta(bool& /*cancel*/) {}
void CLSMG_QUENDORMIXAL::OnChangeDitta() {}

void CLSMG_QUENDORMIXAL::OnInitializeLayoutObjectModel(svc::Navigator& /*navigator*/,
                                                       const std::shared_ptr<svc::LayoutObjectModel>& model) {
    bool active = false;
    // Each step that calls the model checks it: a step that fails is skipped, the next one still runs.
    auto register_grid = [&](const char* title, std::string_view grid) {
        if (!model) throw NotSet("the layout object model");
        if (!window_) throw NotSet("the window");
        model->Register(title, window_->Control(grid));
    };
    RunResumeNext({
        [&] {
            auto dll = ActiveDll();
            if (!dll) throw NotSet("ActiveDll");
            active = dll->IsActive();
        },
        [&] {
            if (!active) return Flow::Exit;
            if (!model) throw NotSet("the layout object model");
            auto handed_back = model->Register(kWindowTitle, window_);
            // The model may hand back the window reference; only a window replaces the one held, so a
            // model that hands back nothing cannot drop the open window.
            if (auto w = std::dynamic_pointer_cast<FRMMG_QUENDORMIXAL>(handed_back)) window_ = w;
            return Flow::Next;
        },
        [&] { register_grid(kPurchaseGridTitle, "GRD_LISACQ"); },
        [&] { register_grid(kSalesGridTitle, "GRD_LISVEN"); },
    });
}

void CLSMG_QUENDORMIXAL::OnInitializeScriptObjectModel(svc::Navigator& /*navigator*/,
                                                       const std::shared_ptr<svc::ScriptObjectModel>& model) {
    RunResumeNext({
        [&] {
            // Only an ActiveDll that says it is not active keeps the window out of the model.
            auto dll = ActiveDll();
            if (dll && !dll->IsActive()) return Flow::Exit;
            return Flow::Next;
        },
        [&] {
            if (!model) throw NotSet("the script object model");
            auto handed_back = model->RegisterWindow(FRMMG_QUENDORMIXAL::kName, kWindowTitle, window_);
            if (auto w = std::dynamic_pointer_cast<FRMMG_QUENDORMIXAL>(handed_back)) window_ = w;
        },
    });
}

}  // namespace qmx
