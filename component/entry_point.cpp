// The component module's entry points: the host loads this module and creates the entry object by its
// programmatic name (see platform/services/component_loader.h for the contract).

#include <memory>
#include <string_view>

#include "platform/services/component_loader.h"
#include "platform/variant/strings.h"
#include "shell/clsmg_quendormixal.h"

extern "C" {

__attribute__((visibility("default"))) int kv_component_abi() { return kv::services::kComponentAbi; }

// Programmatic names compare without regard to case, as the host registers them.
__attribute__((visibility("default"))) int kv_create_object(const char* progid,
                                                            std::shared_ptr<kv::Object>* out) noexcept {
    constexpr int kFailed = 2;
    if (!out) return kFailed;
    try {
        out->reset();
        if (progid && kv::EqualsNoCase(progid, qmx::CLSMG_QUENDORMIXAL::kProgId)) {
            *out = qmx::CLSMG_QUENDORMIXAL::Create();
            return 0;
        }
        return kv::services::kUnknownProgId;
    } catch (...) {
        return kFailed;
    }
}

}  // extern "C"
