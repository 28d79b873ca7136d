#pragma once
// CLSMG_QUENDORMIXAL: the component's entry object, the only object the host creates. It implements the
// host's plug-in interface (mostly storage the host writes and reads back), opens and closes the
// window, relays TransferData to its DataTransfer event, and sinks the events of the navigator the
// host gives it, registering the window with the navigator's layout and script object models.
//
// Ownership:
//  - Create() makes the object inside a shared_ptr and sets ActiveDll to the object itself. That self
//    reference is kept weak (a strong one would keep the object alive for ever); any other ActiveDll
//    the host sets is kept strong.
//  - The entry object owns its window. While the window is loaded it holds the entry object as owner
//    and host interface; its unload drops both, so the cycle lasts exactly as long as the window is
//    open (an open window keeps its entry object alive, as it must: it works through it).
//  - Navigator events are sunk through subscriptions owned by the object: replacing or releasing the
//    navigator ends them, and so does the object's end.
//  - At its end the object releases, in this order: the menu entry, the global services, the window
//    object reference, the navigator (ending the event sink), ActiveDll; then the rest.
//
// Every procedure runs with errors ignored (a failing step is skipped, the next one runs); nothing is
// shown from here. Values that cannot be kept are not kept: a WindowState or ProgramMode outside the
// 16-bit range, a Top or Left that does not read as a 32-bit integer, a CodiceArticolo that has no text
// (Null) each leave the previous value in place.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/services/cinterface.h"
#include "platform/services/dispatch.h"
#include "platform/services/event.h"
#include "platform/services/navigator.h"
#include "platform/variant/variant.h"

namespace qmx {

class FRMMG_QUENDORMIXAL;

class CLSMG_QUENDORMIXAL final : public kv::services::Cinterface,
                                 public kv::services::Dispatch,
                                 public std::enable_shared_from_this<CLSMG_QUENDORMIXAL> {
public:
    static constexpr const char* kProgId = "PEXA_QUENDORMIXAL.CLSMG_QUENDORMIXAL";
    static constexpr const char* kWindowTitle = "Creazione veloce listini in griglia";
    static constexpr const char* kPurchaseGridTitle = "Griglia Listini di Acquisto";
    static constexpr const char* kSalesGridTitle = "Griglia Listini di Vendita";

    struct Token;  // construction goes through Create
    explicit CLSMG_QUENDORMIXAL(const Token&);
    static std::shared_ptr<CLSMG_QUENDORMIXAL> Create();
    ~CLSMG_QUENDORMIXAL() override;

    // ---- Cinterface
    std::shared_ptr<kv::services::GlobalServices> ClsGlobal() const override { return cls_global_; }
    void SetClsGlobal(std::shared_ptr<kv::services::GlobalServices> value) override { cls_global_ = std::move(value); }
    std::shared_ptr<kv::services::Frame> ActiveFrame() const override { return active_frame_; }
    void SetActiveFrame(std::shared_ptr<kv::services::Frame> value) override { active_frame_ = std::move(value); }
    std::shared_ptr<kv::services::Navigator> ActiveNavigator() const override { return navigator_; }
    void SetActiveNavigator(std::shared_ptr<kv::services::Navigator> value) override;
    std::shared_ptr<kv::services::Cinterface> ActiveDll() const override;
    void SetActiveDll(std::shared_ptr<kv::services::Cinterface> value) override;
    std::shared_ptr<kv::services::StatusBarService> StatusBar() const override { return status_bar_; }
    void SetStatusBar(std::shared_ptr<kv::services::StatusBarService> value) override { status_bar_ = std::move(value); }

    bool CanInsert() const override { return can_insert_ != 0; }
    void SetCanInsert(bool value) override { can_insert_ = Bool16(value); }
    bool CanDelete() const override { return can_delete_ != 0; }
    void SetCanDelete(bool value) override { can_delete_ = Bool16(value); }
    bool CanUpdate() const override { return can_update_ != 0; }
    void SetCanUpdate(bool value) override { can_update_ = Bool16(value); }
    bool CanQbe() const override { return can_qbe_ != 0; }
    void SetCanQbe(bool value) override { can_qbe_ = Bool16(value); }

    int32_t WindowState() const override { return window_state_; }
    void SetWindowState(int32_t value) override;
    bool WindowModal() const override { return window_modal_ != 0; }
    void SetWindowModal(bool value) override { window_modal_ = Bool16(value); }
    int32_t ProgramMode() const override { return program_mode_; }
    void SetProgramMode(int32_t value) override;

    kv::Variant MenuModulo() const override { return menu_modulo_; }
    void SetMenuModulo(const kv::Variant& value) override { menu_modulo_ = value; }
    kv::Variant MenuPadre() const override { return menu_padre_; }
    void SetMenuPadre(const kv::Variant& value) override { menu_padre_ = value; }
    kv::Variant MenuProg() const override { return menu_prog_; }
    void SetMenuProg(const kv::Variant& value) override { menu_prog_ = value; }
    kv::Variant Caption() const override { return caption_; }
    void SetCaption(const kv::Variant& value) override { caption_ = value; }
    int32_t hwndParent() const override { return hwnd_parent_; }
    void SethwndParent(int32_t value) override { hwnd_parent_ = value; }

    kv::Variant ShowForm() override;
    kv::Variant CloseForm() override;

    kv::ado::ConnectionPtr Connection() const override { return connection_; }
    void SetConnection(kv::ado::ConnectionPtr value) override { connection_ = std::move(value); }
    // Always null: the component has no host window object.
    std::shared_ptr<kv::Object> Cwindow() const override { return cwindow_; }
    kv::Variant TransferData(const kv::Variant& data) override;

    kv::Variant Top() const override { return kv::Variant(top_); }
    void SetTop(const kv::Variant& value) override;
    kv::Variant Left() const override { return kv::Variant(left_); }
    void SetLeft(const kv::Variant& value) override;
    std::shared_ptr<kv::services::MenuEntry> ClsVoceMenu() const override { return cls_voce_menu_; }
    void SetClsVoceMenu(std::shared_ptr<kv::services::MenuEntry> value) override { cls_voce_menu_ = std::move(value); }
    bool IsActive() const override { return is_active_ != 0; }
    void SetIsActive(bool value) override { is_active_ = Bool16(value); }
    bool IsCalled() const override { return is_called_ != 0; }
    void SetIsCalled(bool value) override { is_called_ = Bool16(value); }
    kv::Variant Filtro() const override { return filtro_; }
    void SetFiltro(const kv::Variant& value) override { filtro_ = value; }

    // ---- The object's own interface.
    // The article to open the window on: stored as text, read back as a String Variant ("" by default).
    kv::Variant CodiceArticolo() const { return kv::Variant(codice_articolo_); }
    void SetCodiceArticolo(const kv::Variant& value);
    // The same, late-bound ("CodiceArticolo"), for a host that has no declaration of this class.
    void PropertyLet(std::string_view name, const kv::Variant& value) override;
    kv::Variant PropertyGet(std::string_view name) const override;
    // Raised by TransferData for the object's client.
    kv::services::Event<kv::Variant> DataTransfer;

    // The window ShowForm created (null before); it stays after it unloads, until the next ShowForm.
    std::shared_ptr<FRMMG_QUENDORMIXAL> Window() const { return window_; }

    // ---- Navigator event handlers (connected to the navigator set through ActiveNavigator).
    void OnBeforeExportToOffice(bool& cancel);
    void OnBeforeChangeDitta(bool& cancel);
    void OnChangeDitta();
    void OnInitializeLayoutObjectModel(kv::services::Navigator& navigator,
                                       const std::shared_ptr<kv::services::LayoutObjectModel>& model);
    void OnInitializeScriptObjectModel(kv::services::Navigator& navigator,
                                       const std::shared_ptr<kv::services::ScriptObjectModel>& model);
    void OnButtonPressed(const std::string& key);

private:
    static int16_t Bool16(bool b) { return b ? int16_t{-1} : int16_t{0}; }
    // The navigator's events, connected; empty subscriptions disconnect.
    struct NavigatorSink {
        kv::services::Subscription before_export, before_change, change, layout, script, button;
    };
    void ConnectSink();

    std::shared_ptr<kv::services::GlobalServices> cls_global_;
    std::shared_ptr<kv::services::Frame> active_frame_;
    std::shared_ptr<kv::services::Navigator> navigator_;
    NavigatorSink sink_;
    // ActiveDll: the object itself (kept weak), another interface (kept strong), or nothing.
    bool active_dll_is_self_ = false;
    std::shared_ptr<kv::services::Cinterface> active_dll_;
    std::shared_ptr<kv::services::StatusBarService> status_bar_;
    int16_t can_insert_ = 0, can_delete_ = 0, can_update_ = 0, can_qbe_ = 0;
    int16_t window_state_ = 0;
    int16_t window_modal_ = 0;
    int16_t program_mode_ = 0;
    kv::Variant menu_modulo_, menu_padre_, menu_prog_;
    kv::Variant caption_;
    int32_t hwnd_parent_ = 0;
    kv::ado::ConnectionPtr connection_;
    std::shared_ptr<kv::Object> cwindow_;  // never set
    int32_t top_ = 0;
    int32_t left_ = 0;
    std::shared_ptr<kv::services::MenuEntry> cls_voce_menu_;
    int16_t is_active_ = 0;
    int16_t is_called_ = 0;
    kv::Variant filtro_;
    std::string codice_articolo_;
    std::shared_ptr<FRMMG_QUENDORMIXAL> window_;
};

}  // namespace qmx
