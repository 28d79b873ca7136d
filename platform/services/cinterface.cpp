#include "platform/services/cinterface.h"

namespace kv::services {

// Out of line, so the interface's type information lives once, in the platform library, and a
// component module and its host agree on it.
Cinterface::~Cinterface() = default;

}  // namespace kv::services
