// The Qt window presenter with a stand-in window and form: where windows show, when they are
// activated, and how a close by the user or by the program ends them.

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMainWindow>
#include <QTimer>

#include "host/services/qt_window_presenter.h"

namespace kv::qt {
namespace {

using kv::services::PresentableWindow;

class FakeWindow : public PresentableWindow {
  public:
    explicit FakeWindow(kv::services::WindowPresenter& presenter) : presenter_(presenter) {}
    std::string Name() const override { return "FAKE"; }
    bool IsLoaded() const override { return loaded; }
    void Activate() override {
        ++activations;
        if (close_on_activation) Close();
    }
    bool RequestClose() override {
        ++close_requests;
        if (refuse_close) return false;
        Close();
        return true;
    }
    void Close() {
        loaded = false;
        presenter_.Closed(*this);
    }

    bool loaded = true;
    bool refuse_close = false;
    bool close_on_activation = false;
    int activations = 0;
    int close_requests = 0;

  private:
    kv::services::WindowPresenter& presenter_;
};

FormFactory LabelForms(int state = 0) {
    return [state](const std::shared_ptr<kv::Object>& window, QWidget* parent) -> QWidget* {
        if (!std::dynamic_pointer_cast<FakeWindow>(window)) return nullptr;
        auto* form = new QLabel(QStringLiteral("form"), parent);
        form->setWindowTitle(QStringLiteral("Finestra di prova"));
        form->resize(300, 200);
        form->setProperty(kFormWindowStateProperty, state);
        return form;
    };
}

class PresenterTest : public ::testing::Test {
  protected:
    PresenterTest() {
        main.setCentralWidget(area);
        main.resize(800, 600);
        main.show();
        presenter->AddFormFactory(LabelForms());
    }
    QMainWindow main;
    QMdiArea* area = new QMdiArea;
    std::shared_ptr<QtWindowPresenter> presenter = std::make_shared<QtWindowPresenter>(area, &main);
};

TEST_F(PresenterTest, AModelessWindowIsASubWindowActivatedOnce) {
    auto window = std::make_shared<FakeWindow>(*presenter);
    presenter->Show(window, false);
    ASSERT_EQ(area->subWindowList().size(), 1);
    QMdiSubWindow* sub = area->subWindowList().first();
    EXPECT_EQ(presenter->FrameOf(*window), sub);
    EXPECT_EQ(sub->windowTitle(), QStringLiteral("Finestra di prova"));
    EXPECT_EQ(presenter->WindowOf(sub), window);
    QApplication::processEvents();
    EXPECT_EQ(window->activations, 1);

    // Showing it again only brings it forward.
    presenter->Show(window, false);
    EXPECT_EQ(area->subWindowList().size(), 1);
    EXPECT_EQ(presenter->OpenCount(), 1u);
}

TEST_F(PresenterTest, TheUsersCloseAsksTheWindowAndARefusalKeepsTheFrame) {
    auto window = std::make_shared<FakeWindow>(*presenter);
    presenter->Show(window, false);
    QMdiSubWindow* sub = area->subWindowList().first();

    window->refuse_close = true;
    EXPECT_FALSE(sub->close());
    EXPECT_EQ(window->close_requests, 1);
    EXPECT_EQ(presenter->OpenCount(), 1u);

    window->refuse_close = false;
    EXPECT_TRUE(sub->close());
    EXPECT_EQ(window->close_requests, 2);
    EXPECT_FALSE(window->loaded);
    EXPECT_EQ(presenter->OpenCount(), 0u);
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(area->subWindowList().isEmpty());
}

TEST_F(PresenterTest, AWindowClosingItselfTakesItsFrameAway) {
    auto window = std::make_shared<FakeWindow>(*presenter);
    presenter->Show(window, false);
    window->Close();
    EXPECT_EQ(presenter->OpenCount(), 0u);
    EXPECT_EQ(window->close_requests, 0);  // nobody asked it: it went by itself
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(area->subWindowList().isEmpty());
}

TEST_F(PresenterTest, AModalShowReturnsWhenTheWindowHasClosed) {
    auto window = std::make_shared<FakeWindow>(*presenter);
    // The user presses Escape once the dialog is up; the window agrees to close.
    QTimer::singleShot(0, [] {
        QTimer::singleShot(0, [] {
            if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) dialog->reject();
        });
    });
    presenter->Show(window, true);
    EXPECT_EQ(window->activations, 1);
    EXPECT_EQ(window->close_requests, 1);
    EXPECT_FALSE(window->loaded);
    EXPECT_EQ(presenter->OpenCount(), 0u);
    EXPECT_TRUE(area->subWindowList().isEmpty());
}

TEST_F(PresenterTest, AModalWindowThatClosesAtActivationEndsTheShow) {
    auto window = std::make_shared<FakeWindow>(*presenter);
    window->close_on_activation = true;
    presenter->Show(window, true);
    EXPECT_EQ(window->activations, 1);
    EXPECT_FALSE(window->loaded);
    EXPECT_EQ(presenter->OpenCount(), 0u);
}

TEST(QtWindowPresenter, WithoutAreaOrFormTheWindowIsTopLevelOrRefused) {
    QWidget owner;
    auto presenter = std::make_shared<QtWindowPresenter>(nullptr, &owner);
    auto window = std::make_shared<FakeWindow>(*presenter);
    try {
        presenter->Show(window, false);
        ADD_FAILURE() << "shown without a form";
    } catch (const kv::Error& e) {
        EXPECT_EQ(e.Number(), 429);
    }
    EXPECT_EQ(presenter->OpenCount(), 0u);

    presenter->AddFormFactory(LabelForms(2));
    presenter->Show(window, false);
    QWidget* frame = presenter->FrameOf(*window);
    ASSERT_NE(frame, nullptr);
    EXPECT_TRUE(frame->isWindow());
    EXPECT_TRUE(frame->isMaximized());
    EXPECT_EQ(window->activations, 1);
    EXPECT_TRUE(frame->close());
    EXPECT_EQ(presenter->OpenCount(), 0u);
}

}  // namespace
}  // namespace kv::qt
