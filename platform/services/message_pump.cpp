#include "platform/services/message_pump.h"

namespace kv::services {

void MessagePump::DoEvents() {
    ++calls_;
    if (!callback_ || running_) return;
    running_ = true;
    struct Reset {
        bool& flag;
        ~Reset() { flag = false; }
    } reset{running_};
    callback_();
}

}  // namespace kv::services
