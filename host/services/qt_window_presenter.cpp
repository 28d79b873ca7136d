#include "host/services/qt_window_presenter.h"

#include <QCloseEvent>
#include <QDialog>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTimer>
#include <QVBoxLayout>
#include <functional>

namespace kv::qt {

using kv::services::PresentableWindow;

namespace {

// What every frame does when the user closes it: ask, and stay when the answer is no.
struct CloseGuard {
    std::function<bool()> request_close;
    bool MayClose() const { return !request_close || request_close(); }
};

class SubWindowFrame : public QMdiSubWindow, public CloseGuard {
  protected:
    void closeEvent(QCloseEvent* event) override {
        if (!MayClose()) {
            event->ignore();
            return;
        }
        QMdiSubWindow::closeEvent(event);
    }
};

class TopLevelFrame : public QWidget, public CloseGuard {
  public:
    explicit TopLevelFrame(QWidget* owner) : QWidget(owner, Qt::Window) {}

  protected:
    void closeEvent(QCloseEvent* event) override {
        if (!MayClose()) {
            event->ignore();
            return;
        }
        QWidget::closeEvent(event);
    }
};

class DialogFrame : public QDialog, public CloseGuard {
  public:
    explicit DialogFrame(QWidget* owner) : QDialog(owner) {}
    // Escape and the close button both end here.
    void reject() override {
        if (MayClose()) QDialog::reject();
    }

  protected:
    void closeEvent(QCloseEvent* event) override {
        if (!MayClose()) {
            event->ignore();
            return;
        }
        QDialog::closeEvent(event);
    }
};

// Puts the form into a plain container frame, edge to edge.
void Fill(QWidget* frame, QWidget* form) {
    auto* layout = new QVBoxLayout(frame);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(form);
    frame->setWindowTitle(form->windowTitle());
    frame->resize(form->size());
}

int RequestedState(const QWidget* form) { return form->property(kFormWindowStateProperty).toInt(); }

void ShowAsRequested(QWidget* frame, int state) {
    if (state == 2)
        frame->showMaximized();
    else if (state == 1)
        frame->showMinimized();
    else
        frame->show();
}

}  // namespace

QtWindowPresenter::QtWindowPresenter(QMdiArea* area, QWidget* owner) : area_(area), owner_(owner) {
    if (area)
        activation_ = QObject::connect(area, &QMdiArea::subWindowActivated, area,
                                       [this](QMdiSubWindow* sub) { Activated(sub); });
}

QtWindowPresenter::~QtWindowPresenter() {
    QObject::disconnect(activation_);
    // Frames still up no longer reach the presenter.
    for (Open& o : open_)
        if (auto* guard = dynamic_cast<CloseGuard*>(o.frame.data())) guard->request_close = nullptr;
}

QWidget* QtWindowPresenter::MakeForm(const std::shared_ptr<PresentableWindow>& window, QWidget* parent) const {
    for (const FormFactory& factory : factories_)
        if (QWidget* form = factory(window, parent)) return form;
    throw kv::Error(429, "No form can show the window " + window->Name(), "QtWindowPresenter");
}

const QtWindowPresenter::Open* QtWindowPresenter::Find(const PresentableWindow& window) const {
    for (const Open& o : open_)
        if (o.window.get() == &window) return &o;
    return nullptr;
}

QWidget* QtWindowPresenter::FrameOf(const PresentableWindow& window) const {
    const Open* o = Find(window);
    return o ? o->frame.data() : nullptr;
}

QWidget* QtWindowPresenter::FormOf(const PresentableWindow& window) const {
    const Open* o = Find(window);
    return o ? o->form.data() : nullptr;
}

std::shared_ptr<PresentableWindow> QtWindowPresenter::WindowOf(const QWidget* frame) const {
    for (const Open& o : open_)
        if (o.frame == frame) return o.window;
    return nullptr;
}

void QtWindowPresenter::Show(const std::shared_ptr<PresentableWindow>& window, bool modal) {
    if (!window) return;
    if (Find(*window)) {  // already up: bring it forward
        if (auto* sub = qobject_cast<QMdiSubWindow*>(FrameOf(*window)); sub && area_)
            area_->setActiveSubWindow(sub);
        return;
    }

    if (modal) {
        auto* dialog = new DialogFrame(owner_);
        QWidget* form = nullptr;
        try {
            form = MakeForm(window, dialog);
        } catch (...) {
            delete dialog;
            throw;
        }
        Fill(dialog, form);
        dialog->request_close = [this, dialog] { return UserClose(dialog); };
        open_.push_back({window, dialog, form, true});
        QTimer::singleShot(0, dialog, [this, window] { ActivateOnce(window); });
        dialog->exec();
        // The dialog ends when its window has closed; when the loop ended otherwise (the application
        // is quitting), the window is asked to close as if by the user.
        if (Find(*window)) window->RequestClose();
        delete dialog;
        return;
    }

    QWidget* frame = nullptr;
    QWidget* form = nullptr;
    if (area_) {
        auto* sub = new SubWindowFrame;
        sub->setAttribute(Qt::WA_DeleteOnClose);
        try {
            form = MakeForm(window, sub);
        } catch (...) {
            delete sub;
            throw;
        }
        const QSize designed = form->size();
        sub->setWidget(form);
        sub->setWindowTitle(form->windowTitle());
        area_->addSubWindow(sub);
        sub->resize(designed.grownBy(sub->contentsMargins()));
        sub->request_close = [this, sub] { return UserClose(sub); };
        frame = sub;
    } else {
        auto* top = new TopLevelFrame(owner_);
        top->setAttribute(Qt::WA_DeleteOnClose);
        try {
            form = MakeForm(window, top);
        } catch (...) {
            delete top;
            throw;
        }
        Fill(top, form);
        top->request_close = [this, top] { return UserClose(top); };
        frame = top;
    }
    open_.push_back({window, frame, form, false});
    ShowAsRequested(frame, RequestedState(form));
    if (auto* sub = qobject_cast<QMdiSubWindow*>(frame); sub && area_) area_->setActiveSubWindow(sub);
    ActivateOnce(window);
}

void QtWindowPresenter::Closed(const PresentableWindow& window) {
    Open closed;
    for (auto it = open_.begin(); it != open_.end(); ++it) {
        if (it->window.get() != &window) continue;
        closed = std::move(*it);
        open_.erase(it);
        break;
    }
    if (active_ == &window) active_ = nullptr;
    QWidget* frame = closed.frame.data();
    // A close the user started finishes in the frame's own close handling.
    if (!frame || frame == closing_) return;
    if (closed.modal) {
        if (auto* dialog = qobject_cast<QDialog*>(frame)) dialog->done(QDialog::Accepted);
    } else {
        frame->close();
    }
}

bool QtWindowPresenter::UserClose(const QWidget* frame) {
    auto window = WindowOf(frame);
    if (!window) return true;  // its window has closed already
    const QWidget* previous = std::exchange(closing_, frame);
    bool closed = false;
    try {
        closed = window->RequestClose();
    } catch (const std::exception& e) {
        qWarning("Closing %s failed: %s", window->Name().c_str(), e.what());
    }
    closing_ = previous;
    return closed;
}

void QtWindowPresenter::Activated(QMdiSubWindow* sub) {
    if (!sub) return;
    if (auto window = WindowOf(sub)) ActivateOnce(window);
}

void QtWindowPresenter::ActivateOnce(const std::shared_ptr<PresentableWindow>& window) {
    if (!Find(*window) || active_ == window.get()) return;
    active_ = window.get();
    try {
        window->Activate();
    } catch (const std::exception& e) {
        qWarning("Activating %s failed: %s", window->Name().c_str(), e.what());
    }
}

}  // namespace kv::qt
