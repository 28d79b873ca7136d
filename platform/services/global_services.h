#pragma once
// The host's global services: what a component asks of the host session it runs in — the current
// company, the connection string of the company database, display formats of currencies, the regional
// settings — and where it gets the host's service objects from (dialogs, data access, price
// calculation and rounding, value formatter, post-save, article search) and the host's shared
// objects (screen pointer, "let pending window messages run", the window presenter). A component
// reaches it only through Cinterface::ClsGlobal; nothing is global in the process.
//
// HostGlobalServices is the real implementation. The host fills it; a headless run uses it as it comes:
// dialogs are scripted (ScriptedErrorDisplay answering 3, ScriptedMessageService answering each
// style's default button; both shared by every New... call and readable through Scripted...()), windows
// are shown by a HeadlessWindowPresenter, and "let pending window messages run" only counts. The Qt
// host installs its own dialog factories, presenter and message callback.
//
// The host session's own database connection (HostConnection) serves the pricing services (currency
// table, rounding brackets). The host may hand one in; otherwise it is opened on first use from the
// connection string.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ado/connection.h"
#include "platform/services/application.h"
#include "platform/services/article_search.h"
#include "platform/services/currencies.h"
#include "platform/services/data_access.h"
#include "platform/services/dialogs.h"
#include "platform/services/message_pump.h"
#include "platform/services/post_save.h"
#include "platform/services/price_calculation.h"
#include "platform/services/price_rounding.h"
#include "platform/services/screen_pointer.h"
#include "platform/services/scripted_dialogs.h"
#include "platform/services/value_formatter.h"
#include "platform/services/window_presenter.h"
#include "platform/variant/date.h"
#include "platform/variant/regional.h"

namespace kv::services {

class Cinterface;

// The login name of the operating system's user the process runs as; "" when it cannot be told.
std::string OperatingSystemUser();

class GlobalServices : public kv::Object {
public:
    ~GlobalServices() override;

    // ---- The session.
    // The current company's code: a number, written unquoted into SQL.
    virtual int32_t CompanyCode() const = 0;
    virtual std::string ConnectionString() const = 0;
    // Display format of prices in the currency ("#,##0.00" for two decimals). kv::Error 5 when the
    // currency is unknown.
    virtual std::string CurrencyFormat(std::string_view currency) = 0;
    virtual const kv::RegionalSettings& Regional() const = 0;
    // The day the session takes as today: proposed validity dates and the creation and update dates
    // of saved prices follow it. The machine's date unless the host fixed another one.
    virtual kv::Date Today() const { return kv::Date::SystemToday(); }
    // The session's date and time of day, as a record of who changed what stamps it.
    virtual kv::Date Now() const { return kv::Date::SystemNow(); }
    // The name of the user the host session runs for; "" when the host has none (a component then
    // names the operating system's user, OperatingSystemUser).
    virtual std::string UserName() const { return {}; }
    // The component whose interface is the active one.
    virtual void SetActiveInterface(std::shared_ptr<Cinterface> component) = 0;
    // The application object of the component that became active.
    virtual void SetApplication(std::shared_ptr<Application> application) = 0;
    // The component's window named window_name has closed.
    virtual void WindowClosed(const std::string& window_name) = 0;

    // ---- Service objects: each call makes a new object for the caller to own.
    virtual std::shared_ptr<ErrorDisplay> NewErrorDisplay() = 0;
    virtual std::shared_ptr<MessageService> NewMessageService() = 0;
    virtual std::shared_ptr<DataAccessFactory> NewDataAccess() = 0;
    virtual std::shared_ptr<PriceCalculation> NewPriceCalculation() = 0;
    virtual std::shared_ptr<PriceRounding> NewPriceRounding() = 0;
    virtual std::shared_ptr<ValueFormatter> NewValueFormatter() = 0;
    virtual std::shared_ptr<PostSave> NewPostSave() = 0;
    virtual std::shared_ptr<ArticleSearch> NewArticleSearch() = 0;

    // ---- Shared host objects.
    virtual std::shared_ptr<ScreenPointer> Screen() = 0;
    // Lets pending window messages run.
    virtual void DoEvents() = 0;
    virtual std::shared_ptr<WindowPresenter> Presenter() = 0;
    // The host session's own connection; null when there is none and none can be opened.
    virtual kv::ado::ConnectionPtr HostConnection() = 0;
    // The currency table read through HostConnection; null without one.
    virtual std::shared_ptr<CurrencyTable> Currencies() = 0;
};

class HostGlobalServices : public GlobalServices {
public:
    HostGlobalServices(int32_t company, std::string connection_string,
                       const kv::RegionalSettings& regional = kv::RegionalSettings::Italian());

    int32_t CompanyCode() const override { return company_; }
    std::string ConnectionString() const override { return connection_string_; }
    std::string CurrencyFormat(std::string_view currency) override;
    const kv::RegionalSettings& Regional() const override { return regional_; }
    kv::Date Today() const override { return today_ ? kv::Date(static_cast<double>(today_->Days())) : kv::Date::SystemToday(); }
    kv::Date Now() const override { return today_ ? *today_ : kv::Date::SystemNow(); }
    std::string UserName() const override { return user_name_; }
    void SetActiveInterface(std::shared_ptr<Cinterface> component) override;
    void SetApplication(std::shared_ptr<Application> application) override { application_ = std::move(application); }
    void WindowClosed(const std::string& window_name) override { closed_windows_.push_back(window_name); }

    std::shared_ptr<ErrorDisplay> NewErrorDisplay() override;
    std::shared_ptr<MessageService> NewMessageService() override;
    std::shared_ptr<DataAccessFactory> NewDataAccess() override;
    std::shared_ptr<PriceCalculation> NewPriceCalculation() override;
    std::shared_ptr<PriceRounding> NewPriceRounding() override;
    std::shared_ptr<ValueFormatter> NewValueFormatter() override;
    std::shared_ptr<PostSave> NewPostSave() override;
    std::shared_ptr<ArticleSearch> NewArticleSearch() override;

    std::shared_ptr<ScreenPointer> Screen() override { return screen_; }
    void DoEvents() override { pump_.DoEvents(); }
    std::shared_ptr<WindowPresenter> Presenter() override { return presenter_; }
    kv::ado::ConnectionPtr HostConnection() override;
    std::shared_ptr<CurrencyTable> Currencies() override;

    // ---- What the host sets.
    void SetCompanyCode(int32_t company) { company_ = company; }
    void SetConnectionString(std::string s) { connection_string_ = std::move(s); }
    // Fixes the day Today() gives (nullopt: the machine's date again), so that a scripted session
    // or a test does not depend on the day it runs. The clock stands still with it: Now() gives the
    // day at its time of day (midnight for a day without one).
    void SetToday(std::optional<kv::Date> day) { today_ = day; }
    // The user the session runs for ("" for none).
    void SetUserName(std::string name) { user_name_ = std::move(name); }
    // An explicit display format for a currency, used before the currency table.
    void SetCurrencyFormat(std::string currency, std::string format);
    // The host session's connection (open); replaces the one opened on demand and its currency cache.
    void SetHostConnection(kv::ado::ConnectionPtr connection);
    void SetErrorDisplayFactory(std::function<std::shared_ptr<ErrorDisplay>()> f) { error_factory_ = std::move(f); }
    void SetMessageServiceFactory(std::function<std::shared_ptr<MessageService>()> f) { message_factory_ = std::move(f); }
    void SetDataAccess(std::shared_ptr<DataAccessFactory> f) { data_access_ = std::move(f); }
    // How the session's own data access asks for a password a server wants and nothing else gives
    // (the desktop's dialog); without one such a server refuses the connection.
    void SetPasswordPrompt(std::shared_ptr<kv::ado::PasswordPrompt> prompt) {
        ado_data_access_->SetPasswordPrompt(std::move(prompt));
    }
    void SetPresenter(std::shared_ptr<WindowPresenter> p) { presenter_ = std::move(p); }
    kv::services::MessagePump& MessagePump() { return pump_; }

    // ---- What the host and tests read.
    std::shared_ptr<Cinterface> ActiveInterface() const { return active_.lock(); }
    std::shared_ptr<Application> ApplicationObject() const { return application_; }
    const std::vector<std::string>& ClosedWindows() const { return closed_windows_; }
    std::shared_ptr<PostSaveLog> PostSaves() const { return post_saves_; }
    std::shared_ptr<ScriptedErrorDisplay> ScriptedErrors() const { return scripted_errors_; }
    std::shared_ptr<ScriptedMessageService> ScriptedMessages() const { return scripted_messages_; }
    std::shared_ptr<HostScreenPointer> HostScreen() const { return screen_; }
    std::shared_ptr<HeadlessWindowPresenter> HeadlessPresenter() const { return headless_presenter_; }

private:
    int32_t company_;
    std::string connection_string_;
    kv::RegionalSettings regional_;
    std::optional<kv::Date> today_;
    std::string user_name_;
    // Not owned: the component owns its global services, not the other way round.
    std::weak_ptr<Cinterface> active_;
    std::shared_ptr<Application> application_;
    std::vector<std::string> closed_windows_;
    std::vector<std::pair<std::string, std::string>> currency_formats_;

    std::shared_ptr<ScriptedErrorDisplay> scripted_errors_ = std::make_shared<ScriptedErrorDisplay>();
    std::shared_ptr<ScriptedMessageService> scripted_messages_ = std::make_shared<ScriptedMessageService>();
    std::function<std::shared_ptr<ErrorDisplay>()> error_factory_;
    std::function<std::shared_ptr<MessageService>()> message_factory_;
    std::shared_ptr<AdoDataAccessFactory> ado_data_access_;
    std::shared_ptr<DataAccessFactory> data_access_;
    std::shared_ptr<PostSaveLog> post_saves_ = std::make_shared<PostSaveLog>();
    std::shared_ptr<HostScreenPointer> screen_ = std::make_shared<HostScreenPointer>();
    kv::services::MessagePump pump_;
    std::shared_ptr<HeadlessWindowPresenter> headless_presenter_ = std::make_shared<HeadlessWindowPresenter>();
    std::shared_ptr<WindowPresenter> presenter_ = headless_presenter_;

    kv::ado::ConnectionPtr host_connection_;
    bool host_connection_tried_ = false;
    std::shared_ptr<CurrencyTable> currencies_;
};

}  // namespace kv::services
