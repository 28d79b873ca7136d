#include "host/app/host_main_window.h"

#include <QCloseEvent>
#include <QFileInfo>
#include <QLabel>
#include <QMdiArea>
#include <QMenuBar>
#include <QMdiSubWindow>

#include "host/services/form_factory.h"
#include "host/services/qt_dialogs.h"
#include "host/services/qt_host_services.h"
#include "host/services/qt_window_presenter.h"
#include "host/views/bar_views.h"
#include "platform/services/dispatch.h"

namespace kv::host {

namespace svc = kv::services;

namespace {
QString Q(const std::string& s) { return QString::fromStdString(s); }

// The library part of a programmatic name ("Library.Class").
std::string LibraryOf(const std::string& progid) { return progid.substr(0, progid.find('.')); }
}  // namespace

HostMainWindow::HostMainWindow(HostSettings settings, QString components_dir, bool interactive)
    : settings_(std::move(settings)), components_dir_(std::move(components_dir)), area_(new QMdiArea(this)) {
    setWindowTitle(QStringLiteral("ERP — Ditta %1").arg(settings_.company));
    // Component windows open as tabs of the work area, each under its caption.
    area_->setViewMode(QMdiArea::TabbedView);
    area_->setDocumentMode(true);
    area_->setTabsClosable(true);
    area_->setTabsMovable(true);
    area_->setBackground(QColor(0x8c, 0x9a, 0xab));
    setCentralWidget(area_);

    global_ = std::make_shared<svc::HostGlobalServices>(settings_.company, settings_.connection);
    navigator_ = std::make_shared<svc::HostNavigator>();
    frame_ = std::make_shared<svc::HostFrame>(kv::Variant(int16_t{0}));
    menu_entry_ = std::make_shared<svc::HostMenuEntry>();
    status_bar_ = std::make_shared<svc::HostStatusBar>(3);

    presenter_ = std::make_shared<kv::qt::QtWindowPresenter>(area_, this);
    global_->SetPresenter(presenter_);
    kv::qt::InstallQtMessagePump(global_->MessagePump());
    pointer_ = new kv::qt::PointerBinding(*global_->HostScreen(), this);
    if (interactive) {
        global_->SetErrorDisplayFactory([this] { return std::make_shared<kv::qt::QtErrorDisplay>(this); });
        global_->SetMessageServiceFactory([this] { return std::make_shared<kv::qt::QtMessageService>(this); });
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
    const std::string& cs = settings_.connection;
    const auto at = cs.find("Data Source=");
    std::string where = at == std::string::npos ? cs.substr(0, cs.find(';')) : cs.substr(at + 12);
    where = where.substr(0, where.find(';'));
    status_bar_->SetPanelText(3, QFileInfo(Q(where)).fileName().toStdString());
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
            if (!factory) return QStringLiteral("The component %1 has no window form").arg(Q(module->Path()));
            presenter_->AddFormFactory(std::move(factory));
            form_factory_added_ = true;
        }
        object = loader_.CreateObject(kPriceListProgId);
    } catch (const kv::Error& e) {
        return Q(e.Description());
    }
    auto component = std::dynamic_pointer_cast<svc::Cinterface>(object);
    if (!component) return QStringLiteral("%1 is not a host component").arg(QLatin1String(kPriceListProgId));

    component->SetClsGlobal(global_);
    component->SetActiveNavigator(navigator_);
    component->SetActiveFrame(frame_);
    component->SetClsVoceMenu(menu_entry_);
    component->SetStatusBar(status_bar_);
    component->SetCanInsert(true);
    component->SetCanDelete(true);
    component->SetCanUpdate(true);
    component->SetIsActive(true);
    component->SetWindowModal(settings_.modal);
    // Inside the frame the window takes the whole work area.
    component->SetWindowState(settings_.modal ? 0 : 2);
    component->SetCaption(kv::Variant(std::string(kPriceListTitle)));
    if (!settings_.article.empty()) {
        auto own = std::dynamic_pointer_cast<svc::Dispatch>(object);
        if (!own) return QStringLiteral("The component cannot be opened on an article");
        try {
            own->PropertyLet("CodiceArticolo", kv::Variant(settings_.article));
        } catch (const kv::Error& e) {
            return Q(e.Description());
        }
        component->SetIsCalled(true);
    }
    component_ = component;
    component->ShowForm();
    // A modeless window is up once ShowForm returns; a modal one has come and gone.
    if (!settings_.modal && presenter_->OpenCount() == 0 && component->ActiveDll())
        return QStringLiteral("The price-list window could not be shown");
    return std::nullopt;
}

}  // namespace kv::host
