#include "host/app/script_desk.h"

#include <QAction>
#include <QApplication>
#include <QEventLoop>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPainter>
#include <QPalette>
#include <QPixmap>

#include "host/app/host_main_window.h"
#include "host/app/host_settings.h"
#include "host/services/form_factory.h"
#include "host/services/qt_dialogs.h"
#include "host/services/qt_translations.h"
#include "host/views/bar_views.h"
#include "host/views/data_grid_view.h"

namespace kv::host {

namespace {

// What the frame does over a few passes of its event loop (layouts, splitter sizes, grid columns),
// done at once and without waiting on the clock.
void Settle() {
    for (int i = 0; i < 6; ++i) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }
}

// A widget as a tester names it: the control it shows, else its kind.
std::string NameOf(const QWidget* w) {
    if (!w->objectName().isEmpty() && !w->objectName().startsWith(QLatin1String("qt_")))
        return w->objectName().toStdString();
    return w->metaObject()->className();
}

}  // namespace

// The window's form in a sub-window of the frame's work area, maximized as erp-host opens it; gone
// with the object.
class ScriptDesk::Placed {
  public:
    explicit Placed(QMdiSubWindow* sub, QWidget* form) : sub_(sub), form_(form) {}
    ~Placed() {
        delete sub_;
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    QWidget* Form() const { return form_; }

  private:
    QMdiSubWindow* sub_;
    QWidget* form_;
};

ScriptDesk::ScriptDesk(char* program, QSize frame) : argv_{program, nullptr}, frame_size_(frame) {}

ScriptDesk::~ScriptDesk() {
    frame_.reset();
    if (app_) QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void ScriptDesk::StartToolkit() {
    if (frame_) return;
    if (!QApplication::instance()) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        app_ = std::make_unique<QApplication>(argc_, argv_);
        kv::qt::InstallItalianTranslations(*app_);
    }
    // The frame of a session with no database of its own: its menus, tabs and status bar take the
    // room they take for the user; the window's data are the script's.
    frame_ = std::make_unique<HostMainWindow>(HostSettings{}, QString(), false);
    frame_->setAttribute(Qt::WA_DontShowOnScreen);
    frame_->resize(frame_size_);
    frame_->show();
}

std::unique_ptr<ScriptDesk::Placed> ScriptDesk::Place(const std::shared_ptr<kv::Object>& window,
                                                      const std::string& module, std::string& problem) {
    StartToolkit();
    const auto factory = kv::qt::FindFormFactory(module);
    if (!factory) {
        problem = "il modulo " + module + " non disegna finestre";
        return nullptr;
    }
    auto* sub = new QMdiSubWindow;
    QWidget* form = factory(window, sub);
    if (!form) {
        delete sub;
        problem = "la finestra non ha un disegno";
        return nullptr;
    }
    // The script moves the recordsets itself and says when: the views' periodic look at them would
    // only add a second, timed one.
    for (QWidget* child : form->findChildren<QWidget*>())
        if (auto* grid = dynamic_cast<kv::qt::DataGridView*>(child)) grid->setSyncInterval(0);
    sub->setWidget(form);
    sub->setWindowTitle(form->windowTitle());
    frame_->Area()->addSubWindow(sub);
    sub->showMaximized();
    Settle();
    return std::make_unique<Placed>(sub, form);
}

std::string ScriptDesk::Judge(QWidget* top, QWidget* widget, const std::string& what) {
    for (QWidget* w = widget; w && w != top->parentWidget(); w = w->parentWidget()) {
        const std::string because = w == widget ? std::string() : " (è nascosto " + NameOf(w) + ")";
        if (w->isHidden()) return what + " non è visibile" + because;
    }
    if (!widget->isEnabled()) {
        // The container that was disabled, the outermost one, says why.
        QWidget* disabled = widget;
        for (QWidget* w = widget; w && w != top; w = w->parentWidget())
            if (w->testAttribute(Qt::WA_Disabled)) disabled = w;
        return what + " non è abilitato" +
               (disabled == widget ? std::string() : " (è disabilitato " + NameOf(disabled) + ")");
    }
    // Its middle must lie inside every container and the frame: where a user would click.
    const QPoint middle = widget->mapTo(top, widget->rect().center());
    for (QWidget* w = widget->parentWidget(); w && w != top; w = w->parentWidget()) {
        const QRect area(w->mapTo(top, QPoint(0, 0)), w->size());
        if (!area.contains(middle)) return what + " è fuori dallo spazio di " + NameOf(w) + ", non si può raggiungere";
    }
    if (!top->rect().contains(middle)) return what + " è fuori dallo schermo";
    if (widget->width() <= 0 || widget->height() <= 0) return what + " non ha spazio sullo schermo";
    return {};
}

ControlPlace ScriptDesk::Reach(const std::shared_ptr<kv::Object>& window, const std::string& module,
                               const std::string& control, const std::string& item) {
    ControlPlace place;
    auto placed = Place(window, module, place.problem);
    if (!placed) return place;
    auto at = [&](QWidget* w) {
        const QPoint corner = w->mapTo(frame_.get(), QPoint(0, 0));
        place.x = corner.x();
        place.y = corner.y();
        place.width = w->width();
        place.height = w->height();
    };
    QWidget* view = placed->Form()->findChild<QWidget*>(QString::fromStdString(control));
    if (!view) {
        place.problem = "la finestra non mostra " + control;
        return place;
    }
    at(view);
    place.problem = Judge(frame_.get(), view, control);
    if (item.empty() || !place.problem.empty()) return place;
    auto* bar = dynamic_cast<kv::qt::ToolbarView*>(view);
    QAction* action = bar ? bar->action(QString::fromStdString(item)) : nullptr;
    if (!action) {
        place.problem = control + " non ha il pulsante " + item;
        return place;
    }
    QWidget* button = bar->widgetForAction(action);
    // A button the bar has no room for goes into its overflow menu: not where the user looks for it.
    if (!button || button->isHidden()) {
        place.problem = "il pulsante " + item + " non si vede nella barra dei comandi";
        return place;
    }
    at(button);
    place.problem = Judge(frame_.get(), button, "il pulsante " + item);
    return place;
}

std::string ScriptDesk::Picture(const std::shared_ptr<kv::Object>& window, const std::string& module,
                                const std::string& file, const PictureMessage* message) {
    std::string problem;
    auto placed = Place(window, module, problem);
    if (!placed) return problem;
    QWidget* form = placed->Form();
    QPixmap picture = form->grab();
    if (message) {
        // The box as the host shows it: over the window, centred, under a title bar (an off-screen
        // display draws no window frames).
        std::unique_ptr<QDialog> box;
        if (message->error)
            box = std::make_unique<kv::qt::ErrorDialog>(*message->error, form);
        else
            box = kv::qt::BuildMessageBox(QString::fromStdString(message->text), message->style,
                                          QString::fromStdString(message->title), form);
        box->setAttribute(Qt::WA_DontShowOnScreen);
        box->show();
        Settle();
        const QPixmap dialog = box->grab();
        const QString title = box->windowTitle();
        box.reset();
        QPainter painter(&picture);
        const int title_height = 28;
        const QSize size(dialog.width(), dialog.height() + title_height);
        const QPoint at((picture.width() - size.width()) / 2, std::max(0, (picture.height() - size.height()) / 2));
        const QPalette palette = QApplication::palette();
        painter.fillRect(QRect(at, size).adjusted(-1, -1, 1, 1), palette.color(QPalette::Dark));
        painter.fillRect(QRect(at, QSize(size.width(), title_height)), palette.color(QPalette::Highlight));
        painter.setPen(palette.color(QPalette::HighlightedText));
        QFont font = painter.font();
        font.setBold(true);
        painter.setFont(font);
        painter.drawText(QRect(at + QPoint(10, 0), QSize(size.width() - 20, title_height)),
                         Qt::AlignVCenter | Qt::AlignLeft, title);
        painter.drawPixmap(at + QPoint(0, title_height), dialog);
    }
    placed.reset();
    if (picture.isNull() || !picture.save(QString::fromStdString(file), "PNG"))
        return "impossibile scrivere l'immagine in " + file;
    return {};
}

}  // namespace kv::host
