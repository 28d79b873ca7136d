#pragma once
// The ERP host frame: a main window with the "Magazzino" menu, an MDI area where component windows
// open, and a status bar bound to the host's status-bar service. It holds the host's session (global
// services over the company database, navigator, frame, menu entry, status bar), loads component
// modules with the component loader, and opens the price-list component the way the host opens any
// component: create the entry object by its programmatic name, fill its Cinterface, call ShowForm.
//
// Dialogs are the Qt dialogs when the frame is interactive; otherwise (a screenshot run) the host
// keeps its scripted dialogs, which answer at once and record what they were shown.

#include <QMainWindow>
#include <memory>
#include <optional>
#include <string>

#include "host/app/host_settings.h"
#include "platform/services/cinterface.h"
#include "platform/services/component_loader.h"
#include "platform/services/global_services.h"
#include "platform/services/host_session.h"
#include "platform/services/session_passwords.h"

class QMdiArea;

namespace kv::qt {
class QtWindowPresenter;
class PointerBinding;
}  // namespace kv::qt

namespace kv::host {

inline constexpr const char* kPriceListProgId = "PEXA_QUENDORMIXAL.CLSMG_QUENDORMIXAL";
inline constexpr const char* kPriceListTitle = "Creazione veloce listini in griglia";

class HostMainWindow : public QMainWindow {
  public:
    // `components_dir`: where component modules are looked for.
    HostMainWindow(HostSettings settings, QString components_dir, bool interactive);
    ~HostMainWindow() override;

    // Opens the price-list window (or brings it forward when it is open). nullopt, or why it could
    // not be opened.
    std::optional<QString> OpenPriceListWindow();

    // Whether the company and the article asked for exist in the database: nullopt, or the Italian
    // message naming the one that does not. A database that cannot be read is left to the window,
    // which reports its own failures. An unknown article is dropped from the settings, so the window
    // opens on no article.
    std::optional<QString> CheckSession();
    // False once CheckSession found that the company does not exist.
    bool CompanyKnown() const { return company_known_; }
    // True once the user declined to give the password the database server asked for.
    bool PasswordDeclined() const { return passwords_ && passwords_->Declined(); }

    kv::services::HostGlobalServices& Global() { return *global_; }
    kv::qt::QtWindowPresenter& Presenter() { return *presenter_; }
    QMdiArea* Area() const { return area_; }
    const std::shared_ptr<kv::services::HostStatusBar>& StatusBar() const { return status_bar_; }

  protected:
    // The frame closes only when every component window agreed to close.
    void closeEvent(QCloseEvent* event) override;

  private:
    void ShowSessionInStatusBar();

    HostSettings settings_;
    QString components_dir_;
    QMdiArea* area_;
    kv::services::HostSession session_;
    std::shared_ptr<kv::services::HostGlobalServices> global_;
    std::shared_ptr<kv::services::HostStatusBar> status_bar_;
    std::shared_ptr<kv::qt::QtWindowPresenter> presenter_;
    kv::qt::PointerBinding* pointer_ = nullptr;
    kv::services::ComponentLoader loader_;
    bool form_factory_added_ = false;
    bool company_known_ = true;
    std::shared_ptr<kv::services::Cinterface> component_;
    std::shared_ptr<kv::services::SessionPasswords> passwords_;
};

}  // namespace kv::host
