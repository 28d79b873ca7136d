#include "platform/services/dispatch.h"

#include <string>

namespace kv::services {

Dispatch::~Dispatch() = default;

kv::Error MemberNotSupported(std::string_view name, std::string_view source) {
    return kv::Error(kMemberNotSupported,
                     "Object doesn't support this property or method: " + std::string(name), std::string(source));
}

}  // namespace kv::services
