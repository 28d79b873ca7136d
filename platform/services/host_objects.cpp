#include "platform/services/host_objects.h"

namespace kv::services {

Frame::~Frame() = default;
MenuEntry::~MenuEntry() = default;

}  // namespace kv::services
