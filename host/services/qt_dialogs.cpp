#include "host/services/qt_dialogs.h"

#include <QAbstractButton>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

#include "platform/services/error_texts.h"

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
    const kv::services::UserErrorText t = kv::services::DescribeForUser(report);
    QString text = QString::fromStdString(t.message);
    if (!t.number.empty()) text += QStringLiteral("\n") + QString::fromStdString(t.number);
    return text;
}

ErrorDialog::ErrorDialog(const kv::services::ErrorReport& report, QWidget* parent)
    : QDialog(parent), answer_(answer::kCancel) {
    const kv::services::UserErrorText t = kv::services::DescribeForUser(report);
    setWindowTitle(QString::fromStdString(report.caption));
    setWindowModality(parent == nullptr || (report.style & style::kSystemModal) ? Qt::ApplicationModal
                                                                                : Qt::WindowModal);
    auto* layout = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    const QMessageBox::Icon icon = IconOf(report.style);
    if (icon != QMessageBox::NoIcon) {
        const QStyle::StandardPixmap pixmap = icon == QMessageBox::Critical      ? QStyle::SP_MessageBoxCritical
                                              : icon == QMessageBox::Warning     ? QStyle::SP_MessageBoxWarning
                                              : icon == QMessageBox::Question    ? QStyle::SP_MessageBoxQuestion
                                                                                 : QStyle::SP_MessageBoxInformation;
        auto* picture = new QLabel(this);
        const int size = style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, this);
        picture->setPixmap(style()->standardIcon(pixmap, nullptr, this).pixmap(size, size));
        picture->setAlignment(Qt::AlignTop);
        top->addWidget(picture);
    }
    auto* texts = new QVBoxLayout;
    message_ = new QLabel(QString::fromStdString(t.message), this);
    message_->setObjectName(QStringLiteral("errorMessage"));
    message_->setWordWrap(true);
    message_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    message_->setMinimumWidth(360);
    texts->addWidget(message_);
    number_ = new QLabel(QString::fromStdString(t.number), this);
    number_->setObjectName(QStringLiteral("errorNumber"));
    number_->setVisible(!t.number.empty());
    texts->addWidget(number_);
    top->addLayout(texts, 1);
    layout->addLayout(top);

    details_button_ = new QToolButton(this);
    details_button_->setObjectName(QStringLiteral("errorDetailsButton"));
    details_button_->setText(QStringLiteral("Dettagli"));
    details_button_->setCheckable(true);
    details_button_->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    details_button_->setArrowType(Qt::RightArrow);
    details_button_->setAutoRaise(true);
    details_button_->setVisible(!t.details.empty());
    layout->addWidget(details_button_, 0, Qt::AlignLeft);
    details_ = new QPlainTextEdit(QString::fromStdString(t.details), this);
    details_->setObjectName(QStringLiteral("errorDetails"));
    details_->setReadOnly(true);
    details_->setVisible(false);
    layout->addWidget(details_);
    connect(details_button_, &QToolButton::toggled, this, [this](bool open) {
        details_button_->setArrowType(open ? Qt::DownArrow : Qt::RightArrow);
        details_->setVisible(open);
        adjustSize();
    });

    buttons_ = new QDialogButtonBox(this);
    const auto specs = ButtonsOf(report.style);
    std::size_t default_index = 0;
    if (report.style & style::kDefaultButton3)
        default_index = 2;
    else if (report.style & style::kDefaultButton2)
        default_index = 1;
    if (default_index >= specs.size()) default_index = 0;
    for (std::size_t i = 0; i < specs.size(); ++i) {
        QPushButton* b = buttons_->addButton(QString::fromUtf8(specs[i].text), QDialogButtonBox::ActionRole);
        const int value = specs[i].answer;
        connect(b, &QPushButton::clicked, this, [this, value] {
            answer_ = value;
            done(value);
        });
        if (i == default_index) {
            b->setDefault(true);
            b->setFocus();
        }
    }
    layout->addWidget(buttons_);
    for (const auto& b : specs)
        if (b.answer == answer::kCancel) escape_answer_ = answer::kCancel;
    if (specs.size() == 1) escape_answer_ = specs[0].answer;
}

void ErrorDialog::reject() {
    if (escape_answer_ == 0) return;
    answer_ = escape_answer_;
    QDialog::reject();
}

int QtMessageService::Message(const std::string& text, int style_value, const std::string& title) {
    auto box =
        BuildMessageBox(QString::fromStdString(text), style_value, QString::fromStdString(title), parent_);
    box->exec();
    return AnswerFor(*box, box->clickedButton());
}

int QtErrorDisplay::ShowError(const kv::services::ErrorReport& report) {
    ErrorDialog dialog(report, parent_);
    dialog.exec();
    const int a = dialog.answer();
    return a == answer::kIgnore ? answer::kCancel : a;
}

}  // namespace kv::qt
