#include "host/app/host_main_window.h"

#include <QCloseEvent>
#include <QLabel>
#include <QMdiArea>
#include <QMenuBar>
#include <QMdiSubWindow>
#include <QPointer>

#include "host/services/form_factory.h"
#include "host/services/qt_dialogs.h"
#include "host/services/qt_host_services.h"
#include "host/services/qt_window_presenter.h"
#include "host/views/bar_views.h"
#include "platform/services/error_texts.h"

namespace kv::host {

namespace svc = kv::services;

namespace {
QString Q(const std::string& s) { return QString::fromStdString(s); }

// An error of the loader or the component for the user: the Italian text of its number, with the
// technical description after it.
QString UserText(const kv::Error& e) {
    const auto italian = kv::services::ItalianErrorDescription(e.Number());
    if (!italian) return Q(e.Description());
    return Q(*italian) + QStringLiteral(" (") + Q(e.Description()) + QStringLiteral(")");
}

// The library part of a programmatic name ("Library.Class").
std::string LibraryOf(const std::string& progid) { return progid.substr(0, progid.find('.')); }
}  // namespace

HostMainWindow::HostMainWindow(HostSettings settings, QString components_dir, bool interactive)
    : settings_(std::move(settings)),
      components_dir_(std::move(components_dir)),
      area_(new QMdiArea(this)),
      session_(settings_.company, settings_.connection),
      global_(session_.global),
      status_bar_(session_.status_bar) {
    global_->SetToday(settings_.today);
    global_->SetUserName(settings_.user);
    setWindowTitle(QStringLiteral("ERP — Ditta %1").arg(settings_.company));
    // Component windows open as tabs of the work area, each under its caption.
    area_->setViewMode(QMdiArea::TabbedView);
    area_->setDocumentMode(true);
    area_->setTabsClosable(true);
    area_->setTabsMovable(true);
    area_->setBackground(QColor(0x8c, 0x9a, 0xab));
    setCentralWidget(area_);

    presenter_ = std::make_shared<kv::qt::QtWindowPresenter>(area_, this);
    global_->SetPresenter(presenter_);
    kv::qt::InstallQtMessagePump(global_->MessagePump());
    pointer_ = new kv::qt::PointerBinding(*global_->HostScreen(), this);
    if (interactive) {
        global_->SetErrorDisplayFactory([this] { return std::make_shared<kv::qt::QtErrorDisplay>(this); });
        global_->SetMessageServiceFactory([this] { return std::make_shared<kv::qt::QtMessageService>(this); });
        // A password the server wants and nothing else gives is asked here, once a session; without a
        // user (a picture taken unattended) such a server refuses the connection, which is reported.
        passwords_ = std::make_shared<svc::SessionPasswords>(
            [frame = QPointer<QWidget>(this)](const kv::ado::PasswordPrompt::Request& request) {
                return kv::qt::AskPassword(request, frame.data());
            });
        global_->SetPasswordPrompt(passwords_);
    }
    loader_.AddSearchDirectory(components_dir_.toStdString());

    auto* bar = new kv::qt::StatusBarView(status_bar_, this);
    for (int i = 1; i <= status_bar_->PanelCount(); ++i) {
        QLabel* panel = bar->panel(i);
        panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        panel->setContentsMargins(4, 0, 4, 0);
        panel->setMinimumWidth(i == 2 ? 260 : 180);
    }
    setStatusBar(bar);
    ShowSessionInStatusBar();

    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    file->addAction(QStringLiteral("&Esci"), this, &QWidget::close);
    QMenu* warehouse = menuBar()->addMenu(QStringLiteral("&Magazzino"));
    warehouse->addAction(QString::fromUtf8(kPriceListTitle), this, [this] {
        if (auto error = OpenPriceListWindow()) {
            kv::qt::BuildMessageBox(*error, 48, QStringLiteral("Attenzione"), this)->exec();
        }
    });
    QMenu* windows = menuBar()->addMenu(QStringLiteral("F&inestre"));
    windows->addAction(QStringLiteral("&Chiudi"), area_, &QMdiArea::closeActiveSubWindow);
    windows->addAction(QStringLiteral("Chiudi &tutte"), area_, &QMdiArea::closeAllSubWindows);
}

HostMainWindow::~HostMainWindow() {
    // Windows still open are closed while the frame and its services are all here.
    if (component_) component_->CloseForm();
    global_->SetPresenter(nullptr);
}

void HostMainWindow::closeEvent(QCloseEvent* event) {
    area_->closeAllSubWindows();
    if (presenter_->OpenCount() > 0) {
        event->ignore();
        return;
    }
    QMainWindow::closeEvent(event);
}

void HostMainWindow::ShowSessionInStatusBar() {
    std::string company = "Ditta " + std::to_string(settings_.company);
    try {
        if (auto c = global_->HostConnection()) {
            auto rs = c->Execute("SELECT CG18_RAGSOC FROM CG18_DITTE WHERE CG18_CODICE = " +
                                 std::to_string(settings_.company));
            if (rs && !rs->IsEOF()) company += " — " + kv::CStr(rs->Value("CG18_RAGSOC"));
        }
    } catch (const std::exception&) {
        // A database without the company table still opens; the window reports its own failures.
    }
    status_bar_->SetPanelText(1, company);
    status_bar_->SetPanelText(2, "Pronto");
    status_bar_->SetPanelText(3, SessionPlace(settings_.connection).toStdString());
}

std::optional<QString> HostMainWindow::CheckSession() {
    kv::ado::ConnectionPtr c;
    try {
        c = global_->HostConnection();
    } catch (const std::exception&) {
        return std::nullopt;  // a database that does not open is reported by the window itself
    }
    if (!c) return std::nullopt;
    try {
        auto company = c->Execute("SELECT CG18_CODICE FROM CG18_DITTE WHERE CG18_CODICE = " +
                                  std::to_string(settings_.company));
        company_known_ = !company->IsEOF();
        if (!company_known_)
            return QStringLiteral("La ditta %1 non esiste in questo database.").arg(settings_.company);
    } catch (const std::exception&) {
        return std::nullopt;  // no company table: the window reports what it cannot read
    }
    if (settings_.article.empty()) return std::nullopt;
    const QString unknown = QStringLiteral("L'articolo %1 non esiste nella ditta %2.")
                                .arg(Q(settings_.article))
                                .arg(settings_.company);
    // No article code holds a backslash; refusing it keeps the code a plain literal on every engine.
    if (settings_.article.find('\\') != std::string::npos) {
        settings_.article.clear();
        return unknown;
    }
    std::string code;
    for (char ch : settings_.article) code += ch == '\'' ? std::string("''") : std::string(1, ch);
    try {
        auto article = c->Execute("SELECT MG66_CODART FROM MG66_ANAGRART WHERE MG66_DITTA_CG18 = " +
                                  std::to_string(settings_.company) + " AND MG66_CODART = '" + code + "'");
        if (article->IsEOF()) {
            settings_.article.clear();
            return unknown;
        }
    } catch (const std::exception&) {
        return std::nullopt;
    }
    return std::nullopt;
}

std::optional<QString> HostMainWindow::OpenPriceListWindow() {
    // One price-list window per frame: choosing the entry again brings it forward.
    if (component_ && component_->ActiveDll()) {
        if (!area_->subWindowList().isEmpty()) area_->setActiveSubWindow(area_->subWindowList().first());
        return std::nullopt;
    }
    std::shared_ptr<kv::Object> object;
    try {
        auto module = loader_.Load(LibraryOf(kPriceListProgId));
        if (!form_factory_added_) {
            auto factory = kv::qt::FindFormFactory(module->Path());
            if (!factory) return QStringLiteral("Il componente %1 non ha il modulo della finestra").arg(Q(module->Path()));
            presenter_->AddFormFactory(std::move(factory));
            form_factory_added_ = true;
        }
        object = loader_.CreateObject(kPriceListProgId);
    } catch (const kv::Error& e) {
        return UserText(e);
    }
    auto component = std::dynamic_pointer_cast<svc::Cinterface>(object);
    if (!component) return QStringLiteral("%1 non è un componente del gestionale").arg(QLatin1String(kPriceListProgId));

    // Inside the frame the window takes the whole work area.
    const svc::ComponentOpening opening{settings_.modal, settings_.modal ? 0 : 2, kPriceListTitle, settings_.article};
    try {
        if (!svc::FillInterface(object, *component, session_, opening))
            return QStringLiteral("Il componente non si può aprire su un articolo");
    } catch (const kv::Error& e) {
        return UserText(e);
    }
    component_ = component;
    component->ShowForm();
    // A modeless window is up once ShowForm returns; a modal one has come and gone.
    if (!settings_.modal && presenter_->OpenCount() == 0 && component->ActiveDll())
        return QStringLiteral("Impossibile mostrare la finestra dei listini");
    return std::nullopt;
}

}  // namespace kv::host
