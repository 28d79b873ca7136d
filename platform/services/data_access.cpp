#include "platform/services/data_access.h"

namespace kv::services {

DataAccessFactory::~DataAccessFactory() = default;

kv::ado::ConnectionPtr AdoDataAccessFactory::NewConnection() {
    auto c = kv::ado::Connection::Create();
    c->SetRegional(regional_);
    c->SetPasswordPrompt(password_prompt_);
    return c;
}

}  // namespace kv::services
