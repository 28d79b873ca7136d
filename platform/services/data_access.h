#pragma once
// The host's data-access factory: the one place a component gets a new database connection from.
// The connection comes back closed; the component sets its connection string and opens it.

#include "platform/ado/connection.h"

namespace kv::services {

class DataAccessFactory : public kv::Object {
public:
    ~DataAccessFactory() override;
    // A new, closed connection. Never null.
    virtual kv::ado::ConnectionPtr NewConnection() = 0;
};

// Connections of the platform's ADO layer, using the host's regional settings for text conversions and
// the host's password prompt (none: a server that wants a password nothing gives refuses the connection).
class AdoDataAccessFactory : public DataAccessFactory {
public:
    explicit AdoDataAccessFactory(const kv::RegionalSettings& regional = kv::RegionalSettings::Italian())
        : regional_(regional) {}
    kv::ado::ConnectionPtr NewConnection() override;
    void SetPasswordPrompt(std::shared_ptr<kv::ado::PasswordPrompt> prompt) { password_prompt_ = std::move(prompt); }

private:
    kv::RegionalSettings regional_;
    std::shared_ptr<kv::ado::PasswordPrompt> password_prompt_;
};

}  // namespace kv::services
