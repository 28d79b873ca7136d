// Where the keyboard's cursor goes in the window's Qt form where the real-keys session does not look: a
// code not found, Tab from a confirmed article, and an article fixed by the calling program. The header
// typed with Enter, the price where the cursor waits and the next price are the real-keys session's
// (tests/desktop) for each grid type.

#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <QWidget>
#include <memory>

#include "shell/clsmg_quendormixal.h"
#include "support/headless_host.h"
#include "window/frmmg_quendormixal.h"
#include "window/qt/frmmg_quendormixal_form.h"

namespace qmx {
namespace {

// The window's Qt form on company 1; with `Fixed`, a calling program has fixed the article (SCI001),
// otherwise the cursor starts on the article field.
template <bool Fixed>
class KeyboardTest : public ::testing::Test {
  protected:
    KeyboardTest() {
        host.Fill(*entry);
        if (Fixed) {
            entry->SetIsCalled(true);
            entry->SetCodiceArticolo(kv::Variant(demo::kArticoloTipo1));
        }
        window->SetActiveInterface(entry);
        window->SetOwner(entry);
        window->SetWindowState(2);
        form.reset(qt::CreateForm(*window));
        form->resize(1280, 720);
        form->show();
        QApplication::setActiveWindow(form.get());
        QApplication::processEvents();
        if (!Fixed) {
            View("TXT_CODART")->setFocus();
            QApplication::processEvents();
        }
    }
    ~KeyboardTest() override {
        form.reset();
        window->Unload();
    }
    QWidget* View(const char* name) const { return form->findChild<QWidget*>(QString::fromLatin1(name)); }
    // The widget that takes the keys of a view (a lookup field's line edit).
    QWidget* Keys(const char* name) const { return View(name)->focusProxy() ? View(name)->focusProxy() : View(name); }
    // Keys go where a keyboard sends them: to the widget that has the focus when each is pressed.
    static void Press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(QApplication::focusWidget(), key, modifiers);
        QApplication::processEvents();
    }
    static void Type(const QString& text) {
        for (QChar c : text) {
            QTest::keyClicks(QApplication::focusWidget(), QString(c));
            QApplication::processEvents();
        }
    }

    testing::HeadlessHost host{demo::kDittaAbbigliamento};
    std::shared_ptr<CLSMG_QUENDORMIXAL> entry = CLSMG_QUENDORMIXAL::Create();
    std::shared_ptr<FRMMG_QUENDORMIXAL> window = FRMMG_QUENDORMIXAL::Create();
    std::unique_ptr<QWidget> form;
};
using WindowHeaderKeyboard = KeyboardTest<false>;
using WindowKeyboard = KeyboardTest<true>;

TEST_F(WindowHeaderKeyboard, TabFromAConfirmedArticleGoesToTheFirstDateAndEnterStaysOnACodeNotFound) {
    Type(QStringLiteral("NONCE"));
    Press(Qt::Key_Return);
    EXPECT_FALSE(window->TXT_CODART->Valid());
    EXPECT_FALSE(host.global->ScriptedMessages()->Messages().empty());  // the code was not found, and said so
    EXPECT_EQ(QApplication::focusWidget(), Keys("TXT_CODART"));

    Press(Qt::Key_A, Qt::ControlModifier);
    Type(QString::fromLatin1(demo::kArticoloTipo1));
    Press(Qt::Key_Tab);
    EXPECT_TRUE(window->TXT_CODART->Valid());
    EXPECT_EQ(QApplication::focusWidget(), View("TXT_DADATA_ACQ"));
    // The option is one Shift+Tab away.
    Press(Qt::Key_Tab, Qt::ShiftModifier);
    EXPECT_EQ(QApplication::focusWidget(), Keys("TXT_OPZIONE"));
}

// A calling program fixes the article: the cursor waits on the first date, not on the option field.
TEST_F(WindowKeyboard, AFixedArticleLeavesTheCursorOnTheFirstDate) {
    window->Activate();
    QApplication::processEvents();
    EXPECT_FALSE(window->TXT_CODART->Enabled());
    EXPECT_TRUE(window->TXT_CODART->Valid());
    EXPECT_EQ(QApplication::focusWidget(), View("TXT_DADATA_ACQ"));
}

}  // namespace
}  // namespace qmx
