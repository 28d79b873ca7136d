#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QToolButton>
#include <QtTest/QTest>
#include <QGuiApplication>
#include <QPushButton>
#include <QTimer>
#include <vector>

#include "host/services/qt_dialogs.h"
#include "host/services/qt_host_services.h"
#include "host/services/qt_translations.h"
#include "platform/services/error_texts.h"

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

// Answers the next error dialog that opens by clicking the button with the given caption.
void ClickErrorButtonWhenShown(const QString& caption) {
    QTimer::singleShot(0, [caption] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (auto* dialog = dynamic_cast<ErrorDialog*>(w); dialog && dialog->isVisible()) {
                for (QAbstractButton* b : dialog->buttons()->buttons())
                    if (b->text() == caption) b->click();
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
    ClickErrorButtonWhenShown(QStringLiteral("Ignora"));
    EXPECT_EQ(errors.ShowError(report), answer::kCancel);  // Ignore answers 2: go on
    ClickErrorButtonWhenShown(QStringLiteral("Riprova"));
    EXPECT_EQ(errors.ShowError(report), answer::kRetry);
    ClickErrorButtonWhenShown(QStringLiteral("Interrompi"));
    EXPECT_EQ(errors.ShowError(report), answer::kAbort);
}

TEST(QtDialogs, TheErrorDialogSpeaksItalianOnceWithTheDetailUnderDettagli) {
    // A database that does not open, as the window's load reports it.
    kv::services::ErrorReport report;
    report.number = -2147467259;
    report.description = "The SQLite database file \"x\" does not exist (Mode=Create in the connection string creates it).";
    report.source = "kv.ado.SQLite";
    report.procedure = "Form_Load";
    report.caption = "Creazione veloce listini in griglia";
    report.connection_errors = {{report.number, report.description, report.source, "08001", 14}};
    ErrorDialog dialog(report);
    // The texts are the error texts' (tests/platform/services); the dialog shows them where they go.
    const auto user = kv::services::DescribeForUser(report);
    EXPECT_EQ(dialog.messageLabel()->text(), QString::fromStdString(user.message));
    EXPECT_EQ(dialog.numberLabel()->text(), QString::fromStdString(user.number));
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Creazione veloce listini in griglia"));
    QStringList captions;
    for (QAbstractButton* b : dialog.buttons()->buttons()) captions << b->text();
    EXPECT_EQ(captions.size(), 3);
    EXPECT_TRUE(captions.contains(QStringLiteral("Interrompi")));
    EXPECT_TRUE(captions.contains(QStringLiteral("Riprova")));
    EXPECT_TRUE(captions.contains(QStringLiteral("Ignora")));

    // The detail is closed until "Dettagli" is opened, and holds the engine's message once.
    dialog.show();
    EXPECT_EQ(dialog.detailsButton()->text(), QStringLiteral("Dettagli"));
    EXPECT_TRUE(dialog.detailsButton()->isVisible());
    EXPECT_FALSE(dialog.details()->isVisible());
    dialog.detailsButton()->click();
    EXPECT_TRUE(dialog.details()->isVisible());
    EXPECT_EQ(dialog.details()->toPlainText(), QString::fromStdString(user.details));
    // Abort/Retry/Ignore cannot be escaped: the user answers with a button.
    QTest::keyClick(&dialog, Qt::Key_Escape);
    EXPECT_TRUE(dialog.isVisible());
    dialog.close();
}

TEST(QtDialogs, ARefusedSaveIsToldUnderTheWindowsCaptionWithWhatEachButtonDoes) {
    // The window's own error (its number past the object-error base) with the trigger's reason.
    kv::services::ErrorReport report;
    report.number = -2147221504 + 1001;
    report.description = "Il salvataggio dei listini non è riuscito: nessun prezzo è stato scritto.";
    report.source = "FRMMG_QUENDORMIXAL";
    report.procedure = "INTERNAV_ButtonClick";
    report.caption = "Creazione veloce listini in griglia";
    report.connection_errors = {{-2147467259, "listino bloccato", "kv.ado.SQLite", "", 19}};
    ErrorDialog dialog(report);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Creazione veloce listini in griglia"));
    EXPECT_EQ(dialog.messageLabel()->text(), QString::fromStdString(report.description));
    EXPECT_FALSE(dialog.numberLabel()->isVisibleTo(&dialog));  // the number means nothing to the user
    auto* hint = dialog.findChild<QLabel*>(QStringLiteral("errorButtonsHint"));
    ASSERT_NE(hint, nullptr);
    for (const char* button : {"«Riprova»", "«Ignora»", "«Interrompi»"})
        EXPECT_TRUE(hint->text().contains(QString::fromUtf8(button))) << button;
    for (QAbstractButton* b : dialog.buttons()->buttons()) EXPECT_FALSE(b->toolTip().isEmpty()) << b->text().toStdString();
}

TEST(QtDialogs, ALongTextScrollsInABoxThatFitsItsWindowWithItsButtonsInView) {
    QWidget window;
    window.resize(1280, 720);
    QString text = QStringLiteral("Il salvataggio scriverà:");
    for (int i = 1; i <= 120; ++i) text += QStringLiteral("\n    nuova riga %1").arg(i);
    text += QStringLiteral("\nConfermi il salvataggio?");
    auto box = BuildMessageBox(text, style::kYesNo | style::kQuestion, QStringLiteral("Anteprima del salvataggio"), &window);
    box->show();
    QApplication::processEvents();
    EXPECT_LE(box->height(), window.height());
    auto* scroll = box->findChild<QWidget*>(QStringLiteral("messageScroll"));
    ASSERT_NE(scroll, nullptr);
    EXPECT_TRUE(box->text().startsWith(QStringLiteral("Il salvataggio scriverà:")));
    EXPECT_EQ(box->informativeText(), QStringLiteral("Confermi il salvataggio?"));
    for (QAbstractButton* b : box->buttons()) {
        const QRect where(b->mapTo(box.get(), QPoint(0, 0)), b->size());
        EXPECT_TRUE(box->rect().contains(where)) << b->text().toStdString();
    }
    box->close();

    // A short text is the ordinary box, and a title spaced out to be centred starts at the left.
    auto small = BuildMessageBox(QStringLiteral("Salvare?"), style::kYesNo, QStringLiteral("          A T T E N Z I O N E"));
    EXPECT_EQ(small->findChild<QWidget*>(QStringLiteral("messageScroll")), nullptr);
    EXPECT_EQ(small->windowTitle(), QStringLiteral("A T T E N Z I O N E"));
}

TEST(QtDialogs, QtsOwnButtonsReadItalian) {
    ASSERT_TRUE(InstallItalianTranslations(*QCoreApplication::instance()));
    QDialogButtonBox box(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    EXPECT_EQ(box.button(QDialogButtonBox::Cancel)->text().remove(QLatin1Char('&')), QStringLiteral("Annulla"));
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
