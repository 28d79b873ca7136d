// The module's Qt entry point: the host's window presenter asks it for the form of a window this
// module made (see host/services/form_factory.h for the contract).

#include <exception>
#include <memory>

#include <QWidget>

#include "window/frmmg_quendormixal.h"
#include "window/qt/frmmg_quendormixal_form.h"

extern "C" {

__attribute__((visibility("default"))) QWidget* kv_qt_create_form(const std::shared_ptr<kv::Object>* window,
                                                                  QWidget* parent) noexcept {
    if (!window) return nullptr;
    auto form = std::dynamic_pointer_cast<qmx::FRMMG_QUENDORMIXAL>(*window);
    if (!form) return nullptr;
    try {
        return qmx::qt::CreateForm(*form, parent);
    } catch (const std::exception& e) {
        qWarning("The form of %s could not be built: %s", form->Name().c_str(), e.what());
        return nullptr;
    }
}

}  // extern "C"
