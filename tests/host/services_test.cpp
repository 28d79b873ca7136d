#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QGuiApplication>
#include <QPushButton>
#include <QTimer>
#include <vector>

#include "host/services/qt_dialogs.h"
#include "host/services/qt_host_services.h"

namespace kv::qt {
namespace {

namespace style = kv::services::style;
namespace answer = kv::services::answer;

std::vector<QMessageBox::StandardButton> Buttons(const QMessageBox& box) {
    std::vector<QMessageBox::StandardButton> out;
    for (QAbstractButton* b : box.buttons()) out.push_back(box.standardButton(b));
    std::sort(out.begin(), out.end());
    return out;
}

TEST(QtDialogs, StylesGiveButtonsIconAndDefault) {
    struct Case {
        int style;
        std::vector<QMessageBox::StandardButton> buttons;
        QMessageBox::Icon icon;
        QMessageBox::StandardButton default_button;
        bool escapes;
    };
    const std::vector<Case> cases = {
        // Deletion question: Yes/No, exclamation, No by default.
        {308, {QMessageBox::Yes, QMessageBox::No}, QMessageBox::Warning, QMessageBox::No, false},
        // Save before new: Yes/No/Cancel, information, Yes by default.
        {67,
         {QMessageBox::Yes, QMessageBox::No, QMessageBox::Cancel},
         QMessageBox::Information,
         QMessageBox::Yes,
         true},
        // The error display: Abort/Retry/Ignore, critical, Retry by default.
        {style::kErrorStyle,
         {QMessageBox::Abort, QMessageBox::Retry, QMessageBox::Ignore},
         QMessageBox::Critical,
         QMessageBox::Retry,
         false},
        {style::kOkOnly, {QMessageBox::Ok}, QMessageBox::NoIcon, QMessageBox::Ok, true},
        {style::kExclamation, {QMessageBox::Ok}, QMessageBox::Warning, QMessageBox::Ok, true},
        {style::kOkCancel | style::kQuestion | style::kDefaultButton2,
         {QMessageBox::Ok, QMessageBox::Cancel},
         QMessageBox::Question,
         QMessageBox::Cancel,
         true},
        {style::kYesNo | style::kDefaultButton3,
         {QMessageBox::Yes, QMessageBox::No},
         QMessageBox::NoIcon,
         QMessageBox::Yes,
         false},  // no third button: the first is the default
    };
    for (const Case& c : cases) {
        auto box = BuildMessageBox(QStringLiteral("Testo"), c.style, QStringLiteral("Titolo"));
        auto expected = c.buttons;
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(Buttons(*box), expected) << c.style;
        EXPECT_EQ(box->icon(), c.icon) << c.style;
        ASSERT_NE(box->defaultButton(), nullptr) << c.style;
        EXPECT_EQ(box->standardButton(box->defaultButton()), c.default_button) << c.style;
        EXPECT_EQ(box->escapeButton() != nullptr, c.escapes) << c.style;
        EXPECT_EQ(box->windowTitle(), QStringLiteral("Titolo"));
    }
    auto yes_no = BuildMessageBox(QStringLiteral("?"), 308, QString());
    EXPECT_EQ(yes_no->button(QMessageBox::Yes)->text(), QStringLiteral("Sì"));
}

TEST(QtDialogs, AnswersAreThePlatformsNumbers) {
    auto box = BuildMessageBox(QStringLiteral("x"), 3, QString());
    EXPECT_EQ(AnswerFor(*box, box->button(QMessageBox::Yes)), answer::kYes);
    EXPECT_EQ(AnswerFor(*box, box->button(QMessageBox::No)), answer::kNo);
    EXPECT_EQ(AnswerFor(*box, box->button(QMessageBox::Cancel)), answer::kCancel);
    EXPECT_EQ(AnswerFor(*box, nullptr), answer::kCancel);
    auto ari = BuildMessageBox(QStringLiteral("x"), style::kErrorStyle, QString());
    EXPECT_EQ(AnswerFor(*ari, ari->button(QMessageBox::Abort)), answer::kAbort);
    EXPECT_EQ(AnswerFor(*ari, ari->button(QMessageBox::Retry)), answer::kRetry);
}

// Answers the next message box that opens by clicking the given button.
void ClickWhenShown(QMessageBox::StandardButton which) {
    QTimer::singleShot(0, [which] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible()) {
                box->button(which)->click();
                return;
            }
        }
    });
}

TEST(QtDialogs, ServicesShowTheBoxAndReturnTheAnswer) {
    QtMessageService messages;
    ClickWhenShown(QMessageBox::No);
    EXPECT_EQ(
        messages.Message("Confermi l'eliminazione del Listino di Acquisto?", 308, "A T T E N Z I O N E"),
        answer::kNo);

    QtErrorDisplay errors;
    kv::services::ErrorReport report;
    report.number = 3021;
    report.description = "Nessun record corrente";
    report.procedure = "INTERNAV_ButtonClick";
    ClickWhenShown(QMessageBox::Ignore);
    EXPECT_EQ(errors.ShowError(report), answer::kCancel);  // Ignore answers 2: go on
    ClickWhenShown(QMessageBox::Retry);
    EXPECT_EQ(errors.ShowError(report), answer::kRetry);

    const QString text = ErrorText(report);
    EXPECT_TRUE(text.contains(QStringLiteral("3021")));
    EXPECT_TRUE(text.contains(QStringLiteral("INTERNAV_ButtonClick")));
}

TEST(QtHostServices, HourglassFollowsThePointerOnce) {
    kv::services::HostScreenPointer pointer;
    {
        PointerBinding binding(pointer);
        pointer.SetMousePointer(kv::services::pointer::kHourglass);
        ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
        EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
        pointer.SetMousePointer(kv::services::pointer::kDefault);
        EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
        pointer.SetMousePointer(kv::services::pointer::kDefault);
        EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
        pointer.SetMousePointer(kv::services::pointer::kHourglass);
    }
    // Destroyed while the hourglass was up: it is taken down.
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST(QtHostServices, ThePumpRunsPendingEvents) {
    kv::services::MessagePump pump;
    InstallQtMessagePump(pump);
    bool ran = false;
    QTimer::singleShot(0, [&] { ran = true; });
    pump.DoEvents();
    EXPECT_TRUE(ran);
}

}  // namespace
}  // namespace kv::qt
