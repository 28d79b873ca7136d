#include "platform/services/scripted_dialogs.h"

namespace kv::services {

int ScriptedErrorDisplay::ShowError(const ErrorReport& report) {
    int a = default_answer_;
    if (!queue_.empty()) {
        a = queue_.front();
        queue_.pop_front();
    }
    if (a == answer::kIgnore) a = answer::kCancel;  // Ignore is reported as 2
    shown_.push_back({report, a});
    return a;
}

int ScriptedMessageService::DefaultButtonAnswer(int style) {
    static const std::vector<std::vector<int>> kButtons = {
        {answer::kOk},                                     // OK only
        {answer::kOk, answer::kCancel},                    // OK, Cancel
        {answer::kAbort, answer::kRetry, answer::kIgnore}, // Abort, Retry, Ignore
        {answer::kYes, answer::kNo, answer::kCancel},      // Yes, No, Cancel
        {answer::kYes, answer::kNo},                       // Yes, No
        {answer::kRetry, answer::kCancel},                 // Retry, Cancel
    };
    const std::size_t set = static_cast<std::size_t>(style & 7);
    if (set >= kButtons.size()) return answer::kOk;
    const auto& buttons = kButtons[set];
    const std::size_t def = static_cast<std::size_t>((style >> 8) & 3);
    return def < buttons.size() ? buttons[def] : buttons.front();
}

int ScriptedMessageService::Message(const std::string& text, int style, const std::string& title) {
    int a;
    if (!queue_.empty()) {
        a = queue_.front();
        queue_.pop_front();
    } else {
        a = default_answer_ ? *default_answer_ : DefaultButtonAnswer(style);
    }
    shown_.push_back({text, style, title, a});
    return a;
}

}  // namespace kv::services
