#pragma once
// QtWindowPresenter: shows component windows with Qt. Each window is rendered by the form a form
// factory makes for it (form_factory.h); the presenter puts the form in a frame and ties the frame to
// the window:
//  - modeless: a sub-window of the host's MDI area (a top-level window when there is no area), shown
//    normal, minimized or maximized as the form asks; Show returns at once;
//  - modal: a dialog run until the window has closed; Show returns then;
//  - the window's Activate runs once the frame is shown, and again whenever the user comes back to it
//    from another sub-window;
//  - the user closing the frame (title-bar button, Escape in a dialog) is the window's RequestClose: the
//    frame stays when the window refuses;
//  - the window's Closed (its unload) removes the frame, whoever started the close.
// Like every presenter it keeps each window it shows alive until the window reports it has closed.
// A window for which no factory makes a form is refused with kv::Error 429 before anything is shown.

#include <QPointer>
#include <QWidget>
#include <memory>
#include <vector>

#include "host/services/form_factory.h"
#include "platform/services/window_presenter.h"

class QMdiArea;
class QMdiSubWindow;

namespace kv::qt {

class QtWindowPresenter : public kv::services::WindowPresenter {
  public:
    // `area` takes the modeless windows (null: top-level windows); `owner` is the parent of dialogs
    // and top-level windows. Both must outlive the presenter's use, or be gone together.
    QtWindowPresenter(QMdiArea* area, QWidget* owner);
    ~QtWindowPresenter() override;

    void AddFormFactory(FormFactory factory) { factories_.push_back(std::move(factory)); }

    void Show(const std::shared_ptr<kv::services::PresentableWindow>& window, bool modal) override;
    void Closed(const kv::services::PresentableWindow& window) override;

    // The frame (sub-window, dialog or top-level widget) and the form of an open window; nullptr when
    // it is not open.
    QWidget* FrameOf(const kv::services::PresentableWindow& window) const;
    QWidget* FormOf(const kv::services::PresentableWindow& window) const;
    // The open window shown by `frame`, null when none.
    std::shared_ptr<kv::services::PresentableWindow> WindowOf(const QWidget* frame) const;
    std::size_t OpenCount() const { return open_.size(); }

  private:
    struct Open {
        std::shared_ptr<kv::services::PresentableWindow> window;
        QPointer<QWidget> frame;
        QPointer<QWidget> form;
        bool modal = false;
    };
    QWidget* MakeForm(const std::shared_ptr<kv::services::PresentableWindow>& window, QWidget* parent) const;
    const Open* Find(const kv::services::PresentableWindow& window) const;
    // The user asks to close the window shown in `frame`; true when the frame may go.
    bool UserClose(const QWidget* frame);
    void Activated(QMdiSubWindow* sub);
    void ActivateOnce(const std::shared_ptr<kv::services::PresentableWindow>& window);

    QPointer<QMdiArea> area_;
    QPointer<QWidget> owner_;
    std::vector<FormFactory> factories_;
    std::vector<Open> open_;
    const kv::services::PresentableWindow* active_ = nullptr;
    const QWidget* closing_ = nullptr;  // the frame the user is closing
    QMetaObject::Connection activation_;
};

}  // namespace kv::qt
