#include "platform/services/global_services.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

#include "platform/services/cinterface.h"
#include "platform/variant/strings.h"

namespace kv::services {

std::string OperatingSystemUser() {
    // The account database first: USER may be unset (a service) or say another name (su).
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(geteuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found && found->pw_name)
        return found->pw_name;
    for (const char* name : {"LOGNAME", "USER"})
        if (const char* v = std::getenv(name); v && *v) return v;
    return {};
}

GlobalServices::~GlobalServices() = default;

HostGlobalServices::HostGlobalServices(int32_t company, std::string connection_string,
                                       const kv::RegionalSettings& regional)
    : company_(company), connection_string_(std::move(connection_string)), regional_(regional),
      ado_data_access_(std::make_shared<AdoDataAccessFactory>(regional)), data_access_(ado_data_access_) {}

void HostGlobalServices::SetActiveInterface(std::shared_ptr<Cinterface> component) { active_ = component; }

void HostGlobalServices::SetCurrencyFormat(std::string currency, std::string format) {
    currency = kv::RTrim(currency);
    std::erase_if(currency_formats_, [&](const auto& p) { return p.first == currency; });
    currency_formats_.emplace_back(std::move(currency), std::move(format));
}

std::string HostGlobalServices::CurrencyFormat(std::string_view currency) {
    const std::string code = kv::RTrim(currency);
    for (const auto& [c, f] : currency_formats_)
        if (c == code) return f;
    auto table = Currencies();
    if (!table)
        throw kv::Error(kv::err::kObjectNotSet, "The host has no database session to read the currency table",
                        "CurrencyFormat");
    return table->UnitPriceFormat(code);
}

std::shared_ptr<ErrorDisplay> HostGlobalServices::NewErrorDisplay() {
    return error_factory_ ? error_factory_() : scripted_errors_;
}

std::shared_ptr<MessageService> HostGlobalServices::NewMessageService() {
    return message_factory_ ? message_factory_() : scripted_messages_;
}

std::shared_ptr<DataAccessFactory> HostGlobalServices::NewDataAccess() { return data_access_; }

std::shared_ptr<PriceCalculation> HostGlobalServices::NewPriceCalculation() {
    return std::make_shared<HostPriceCalculation>();
}

std::shared_ptr<PriceRounding> HostGlobalServices::NewPriceRounding() { return std::make_shared<HostPriceRounding>(); }

std::shared_ptr<ValueFormatter> HostGlobalServices::NewValueFormatter() {
    return std::make_shared<HostValueFormatter>(regional_);
}

std::shared_ptr<PostSave> HostGlobalServices::NewPostSave() { return std::make_shared<HostPostSave>(post_saves_); }

std::shared_ptr<ArticleSearch> HostGlobalServices::NewArticleSearch() { return std::make_shared<HostArticleSearch>(); }

void HostGlobalServices::SetHostConnection(kv::ado::ConnectionPtr connection) {
    host_connection_ = std::move(connection);
    host_connection_tried_ = true;
    currencies_.reset();
}

kv::ado::ConnectionPtr HostGlobalServices::HostConnection() {
    if (!host_connection_ && !host_connection_tried_ && !connection_string_.empty()) {
        // Tried once: a session whose database cannot be opened does not retry on every price.
        host_connection_tried_ = true;
        auto c = data_access_->NewConnection();
        c->Open(connection_string_);
        host_connection_ = std::move(c);
    }
    return host_connection_;
}

std::shared_ptr<CurrencyTable> HostGlobalServices::Currencies() {
    if (!currencies_) {
        auto c = HostConnection();
        if (!c) return nullptr;
        currencies_ = std::make_shared<CurrencyTable>(c);
    }
    return currencies_;
}

}  // namespace kv::services
