#pragma once
// The passwords a desktop session was given by its user, kept in memory only and only for the session:
// the first connection that meets a server wanting a password nothing else gives asks the user (through
// the host's dialog), and the session's other connections to the same server and user take the answer
// without asking again. A password the server refused is forgotten and asked again. Nothing of it is
// written anywhere; the memory that held it is cleared when it is forgotten or the session ends.

#include <functional>
#include <map>
#include <optional>
#include <string>

#include "platform/ado/connection.h"

namespace kv::services {

class SessionPasswords : public kv::ado::PasswordPrompt {
public:
    // Asks the user: the password, or nullopt when the user declined.
    using Ask = std::function<std::optional<std::string>(const Request& request)>;

    explicit SessionPasswords(Ask ask) : ask_(std::move(ask)) {}
    ~SessionPasswords() override;
    SessionPasswords(const SessionPasswords&) = delete;
    SessionPasswords& operator=(const SessionPasswords&) = delete;

    std::optional<std::string> Password(const Request& request) override;
    void Accepted(const Request& request) override;

    // True once the user declined to give a password (a desktop that has no database to work on then).
    bool Declined() const { return declined_; }

private:
    static std::string Key(const Request& request) { return request.server + '\n' + request.user; }

    Ask ask_;
    std::map<std::string, std::string> accepted_;
    std::map<std::string, std::string> pending_;  // typed, not yet accepted by the server
    bool declined_ = false;
};

// Overwrites the characters of `secret` before it is let go.
void Wipe(std::string& secret);

}  // namespace kv::services
