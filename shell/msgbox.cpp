#include "shell/msgbox.h"

#include "platform/services/cinterface.h"
#include "platform/services/global_services.h"

namespace qmx {

int MsgBox(const std::shared_ptr<kv::services::Cinterface>& host, const std::string& text, int style,
           const std::string& title) {
    if (!host) return 0;
    auto global = host->ClsGlobal();
    if (!global) return 0;
    auto messages = global->NewMessageService();
    if (!messages) return 0;
    return messages->Message(text, style, title);
}

}  // namespace qmx
