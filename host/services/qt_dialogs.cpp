#include "host/services/qt_dialogs.h"

#include <QAbstractButton>
#include <QPushButton>

namespace kv::qt {

namespace style = kv::services::style;
namespace answer = kv::services::answer;

namespace {

struct ButtonSpec {
    QMessageBox::StandardButton button;
    const char* text;
    int answer;
};

std::vector<ButtonSpec> ButtonsOf(int style_value) {
    switch (style_value & 7) {
        case style::kOkCancel:
            return {{QMessageBox::Ok, "OK", answer::kOk}, {QMessageBox::Cancel, "Annulla", answer::kCancel}};
        case style::kAbortRetryIgnore:
            return {{QMessageBox::Abort, "Termina", answer::kAbort},
                    {QMessageBox::Retry, "Riprova", answer::kRetry},
                    {QMessageBox::Ignore, "Ignora", answer::kIgnore}};
        case style::kYesNoCancel:
            return {{QMessageBox::Yes, "Sì", answer::kYes},
                    {QMessageBox::No, "No", answer::kNo},
                    {QMessageBox::Cancel, "Annulla", answer::kCancel}};
        case style::kYesNo:
            return {{QMessageBox::Yes, "Sì", answer::kYes}, {QMessageBox::No, "No", answer::kNo}};
        case style::kRetryCancel:
            return {{QMessageBox::Retry, "Riprova", answer::kRetry},
                    {QMessageBox::Cancel, "Annulla", answer::kCancel}};
        default:
            return {{QMessageBox::Ok, "OK", answer::kOk}};
    }
}

QMessageBox::Icon IconOf(int style_value) {
    switch (style_value & 0x70) {
        case style::kCritical:
            return QMessageBox::Critical;
        case style::kQuestion:
            return QMessageBox::Question;
        case style::kExclamation:
            return QMessageBox::Warning;
        case style::kInformation:
            return QMessageBox::Information;
        default:
            return QMessageBox::NoIcon;
    }
}

}  // namespace

std::unique_ptr<QMessageBox> BuildMessageBox(const QString& text, int style_value, const QString& title,
                                             QWidget* parent) {
    auto box = std::make_unique<QMessageBox>(parent);
    box->setWindowTitle(title);
    box->setText(text);
    box->setIcon(IconOf(style_value));
    const auto buttons = ButtonsOf(style_value);
    for (const auto& b : buttons) {
        box->addButton(b.button);
        box->button(b.button)->setText(QString::fromUtf8(b.text));
    }
    std::size_t default_index = 0;
    if (style_value & style::kDefaultButton3)
        default_index = 2;
    else if (style_value & style::kDefaultButton2)
        default_index = 1;
    if (default_index >= buttons.size()) default_index = 0;
    box->setDefaultButton(buttons[default_index].button);
    // Escape and the close box answer Cancel where there is one; otherwise the box must be answered.
    for (const auto& b : buttons)
        if (b.button == QMessageBox::Cancel) box->setEscapeButton(box->button(QMessageBox::Cancel));
    if (buttons.size() == 1) box->setEscapeButton(box->button(buttons[0].button));
    box->setWindowModality((style_value & style::kSystemModal) || parent == nullptr ? Qt::ApplicationModal
                                                                                    : Qt::WindowModal);
    return box;
}

int AnswerFor(const QMessageBox& box, QAbstractButton* clicked) {
    if (!clicked) return answer::kCancel;
    switch (box.standardButton(clicked)) {
        case QMessageBox::Ok:
            return answer::kOk;
        case QMessageBox::Cancel:
            return answer::kCancel;
        case QMessageBox::Abort:
            return answer::kAbort;
        case QMessageBox::Retry:
            return answer::kRetry;
        case QMessageBox::Ignore:
            return answer::kIgnore;
        case QMessageBox::Yes:
            return answer::kYes;
        case QMessageBox::No:
            return answer::kNo;
        default:
            return answer::kCancel;
    }
}

QString ErrorText(const kv::services::ErrorReport& report) {
    QString text =
        QStringLiteral("Errore %1: %2").arg(report.number).arg(QString::fromStdString(report.description));
    if (!report.procedure.empty())
        text += QStringLiteral("\nProcedura: ") + QString::fromStdString(report.procedure);
    if (!report.source.empty()) text += QStringLiteral("\nOrigine: ") + QString::fromStdString(report.source);
    if (!report.component.empty())
        text += QStringLiteral("\nComponente: ") + QString::fromStdString(report.component);
    for (const auto& e : report.connection_errors)
        text += QStringLiteral("\n- %1 %2").arg(e.number).arg(QString::fromStdString(e.description));
    return text;
}

int QtMessageService::Message(const std::string& text, int style_value, const std::string& title) {
    auto box =
        BuildMessageBox(QString::fromStdString(text), style_value, QString::fromStdString(title), parent_);
    box->exec();
    return AnswerFor(*box, box->clickedButton());
}

int QtErrorDisplay::ShowError(const kv::services::ErrorReport& report) {
    auto box =
        BuildMessageBox(ErrorText(report), report.style, QString::fromStdString(report.caption), parent_);
    box->exec();
    int a = AnswerFor(*box, box->clickedButton());
    return a == answer::kIgnore ? answer::kCancel : a;
}

}  // namespace kv::qt
