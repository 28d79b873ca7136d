#include "platform/services/screen_pointer.h"

namespace kv::services {

ScreenPointer::~ScreenPointer() = default;

void HostScreenPointer::SetMousePointer(int16_t value) {
    if (value == value_) return;
    if (value == pointer::kHourglass) ++hourglass_count_;
    value_ = value;
    Changed.Raise(value);
}

}  // namespace kv::services
