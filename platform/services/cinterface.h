#pragma once
// Cinterface: the host's plug-in interface. The host creates a component's entry object, fills these
// members, and drives it through ShowForm/CloseForm; the component reaches every host service through
// it (its ClsGlobal, ActiveNavigator, StatusBar...). Members are declared in the order of the
// interface's slots.
//
// Value conventions, as the host exchanges them:
//  - objects are shared references; an empty pointer is "Nothing";
//  - Booleans travel as bool and are kept by implementations as 16-bit (-1 / 0);
//  - WindowState and ProgramMode travel as 32-bit integers and are kept as 16-bit;
//  - Top and Left travel as Variants (the host may pass text such as "120") and are kept as 32-bit
//    integers;
//  - Variant members are copies.
// An implementation decides what a value it cannot keep does (see the implementing class).

#include <cstdint>
#include <memory>

#include "platform/ado/connection.h"
#include "platform/variant/variant.h"

namespace kv::services {

class GlobalServices;
class Navigator;
class StatusBarService;
class MenuEntry;
class Frame;

class Cinterface : public kv::Object {
public:
    ~Cinterface() override;

    virtual std::shared_ptr<GlobalServices> ClsGlobal() const = 0;
    virtual void SetClsGlobal(std::shared_ptr<GlobalServices> value) = 0;
    virtual std::shared_ptr<Frame> ActiveFrame() const = 0;
    virtual void SetActiveFrame(std::shared_ptr<Frame> value) = 0;
    virtual std::shared_ptr<Navigator> ActiveNavigator() const = 0;
    virtual void SetActiveNavigator(std::shared_ptr<Navigator> value) = 0;
    virtual std::shared_ptr<Cinterface> ActiveDll() const = 0;
    virtual void SetActiveDll(std::shared_ptr<Cinterface> value) = 0;
    virtual std::shared_ptr<StatusBarService> StatusBar() const = 0;
    virtual void SetStatusBar(std::shared_ptr<StatusBarService> value) = 0;

    virtual bool CanInsert() const = 0;
    virtual void SetCanInsert(bool value) = 0;
    virtual bool CanDelete() const = 0;
    virtual void SetCanDelete(bool value) = 0;
    virtual bool CanUpdate() const = 0;
    virtual void SetCanUpdate(bool value) = 0;
    virtual bool CanQbe() const = 0;
    virtual void SetCanQbe(bool value) = 0;

    virtual int32_t WindowState() const = 0;
    virtual void SetWindowState(int32_t value) = 0;
    virtual bool WindowModal() const = 0;
    virtual void SetWindowModal(bool value) = 0;
    virtual int32_t ProgramMode() const = 0;
    virtual void SetProgramMode(int32_t value) = 0;

    virtual kv::Variant MenuModulo() const = 0;
    virtual void SetMenuModulo(const kv::Variant& value) = 0;
    virtual kv::Variant MenuPadre() const = 0;
    virtual void SetMenuPadre(const kv::Variant& value) = 0;
    virtual kv::Variant MenuProg() const = 0;
    virtual void SetMenuProg(const kv::Variant& value) = 0;
    virtual kv::Variant Caption() const = 0;
    virtual void SetCaption(const kv::Variant& value) = 0;
    virtual int32_t hwndParent() const = 0;
    virtual void SethwndParent(int32_t value) = 0;

    // Opens the component's window; returns Empty.
    virtual kv::Variant ShowForm() = 0;
    // Closes the component's window; returns Boolean True when the window is gone, else False.
    virtual kv::Variant CloseForm() = 0;

    virtual kv::ado::ConnectionPtr Connection() const = 0;
    virtual void SetConnection(kv::ado::ConnectionPtr value) = 0;
    // The host's window object for this component; null when the component has none.
    virtual std::shared_ptr<kv::Object> Cwindow() const = 0;
    // Hands data to the component's client (the component raises it as an event); returns Empty.
    virtual kv::Variant TransferData(const kv::Variant& data) = 0;

    virtual kv::Variant Top() const = 0;
    virtual void SetTop(const kv::Variant& value) = 0;
    virtual kv::Variant Left() const = 0;
    virtual void SetLeft(const kv::Variant& value) = 0;
    virtual std::shared_ptr<MenuEntry> ClsVoceMenu() const = 0;
    virtual void SetClsVoceMenu(std::shared_ptr<MenuEntry> value) = 0;
    virtual bool IsActive() const = 0;
    virtual void SetIsActive(bool value) = 0;
    virtual bool IsCalled() const = 0;
    virtual void SetIsCalled(bool value) = 0;
    virtual kv::Variant Filtro() const = 0;
    virtual void SetFiltro(const kv::Variant& value) = 0;
};

}  // namespace kv::services
