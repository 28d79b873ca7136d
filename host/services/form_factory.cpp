#include "host/services/form_factory.h"

#include <dlfcn.h>

namespace kv::qt {

FormFactory FindFormFactory(const std::string& module_path) {
    // RTLD_NOLOAD: only a module already loaded (by the component loader) is looked at; the handle
    // taken here is given back at once, the loader keeps the module mapped.
    void* handle = ::dlopen(module_path.c_str(), RTLD_LAZY | RTLD_NOLOAD);
    if (!handle) return {};
    auto create = reinterpret_cast<CreateFormFunction>(::dlsym(handle, kCreateFormSymbol));
    ::dlclose(handle);
    if (!create) return {};
    return [create](const std::shared_ptr<kv::Object>& window, QWidget* parent) -> QWidget* {
        return create(&window, parent);
    };
}

}  // namespace kv::qt
