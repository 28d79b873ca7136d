#include "platform/services/session_passwords.h"

namespace kv::services {

void Wipe(std::string& secret) {
    volatile char* p = secret.data();
    for (std::size_t i = 0; i < secret.size(); ++i) p[i] = '\0';
    secret.clear();
}

namespace {
void Forget(std::map<std::string, std::string>& passwords, const std::string& key) {
    auto it = passwords.find(key);
    if (it == passwords.end()) return;
    Wipe(it->second);
    passwords.erase(it);
}
}  // namespace

SessionPasswords::~SessionPasswords() {
    for (auto& [key, password] : accepted_) Wipe(password);
    for (auto& [key, password] : pending_) Wipe(password);
}

std::optional<std::string> SessionPasswords::Password(const Request& request) {
    const std::string key = Key(request);
    if (request.refused) {
        Forget(accepted_, key);
        Forget(pending_, key);
    } else if (auto it = accepted_.find(key); it != accepted_.end()) {
        return it->second;
    }
    std::optional<std::string> typed = ask_ ? ask_(request) : std::nullopt;
    if (!typed) {
        declined_ = true;
        return std::nullopt;
    }
    Forget(pending_, key);
    pending_[key] = *typed;
    return typed;
}

void SessionPasswords::Accepted(const Request& request) {
    const std::string key = Key(request);
    auto it = pending_.find(key);
    if (it == pending_.end()) return;
    Forget(accepted_, key);
    accepted_[key] = std::move(it->second);
    pending_.erase(it);
}

}  // namespace kv::services
