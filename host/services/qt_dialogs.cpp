#include "host/services/qt_dialogs.h"

#include <QAbstractButton>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

#include "platform/services/error_texts.h"

#include <algorithm>

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
            return {{QMessageBox::Abort, "Interrompi", answer::kAbort},
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

// What each button of the error display's Abort/Retry/Ignore does, in the user's words: the window
// goes on as the answer says, and a user who cannot tell the buttons apart cannot choose.
const char* kErrorButtonsHint =
    "«Riprova» ripete l'operazione non riuscita; «Ignora» la salta e prosegue con il resto; «Interrompi» "
    "abbandona il comando (nulla di quanto non riuscito viene salvato).";

const char* ButtonTip(int answer_value) {
    switch (answer_value) {
        case answer::kRetry: return "Ripete l'operazione non riuscita";
        case answer::kIgnore: return "Salta l'operazione non riuscita e prosegue con il resto";
        case answer::kAbort: return "Abbandona il comando";
        default: return "";
    }
}

// The room a box has: the screen's, and no more than the window it belongs to, less a margin and
// the box's own title bar.
int RoomFor(QWidget* parent) {
    QScreen* screen = parent && parent->screen() ? parent->screen() : QGuiApplication::primaryScreen();
    int room = screen ? screen->availableGeometry().height() : 600;
    if (parent) room = std::min(room, parent->window()->height());
    constexpr int kTitleBar = 40;
    return room * 9 / 10 - kTitleBar;
}

// A text taller than the box's room: its opening (the first paragraph, or the first line) and its
// closing paragraph (the question the buttons answer) stay in view, and what lies between scrolls in
// an area as tall as the room allows, so the box fits and its buttons are always there.
void FitLongText(QMessageBox& box, const QString& text, QWidget* parent) {
    const QStringList lines = text.split(QLatin1Char('\n'));
    const int room = RoomFor(parent);
    auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
    const QFontMetrics metrics = label ? label->fontMetrics() : box.fontMetrics();
    const int line = metrics.lineSpacing();
    // The box wraps its text at about a third of a screen's width: each long line counts as the
    // lines it wraps into.
    constexpr int kWrapWidth = 320;
    int shown = 0;
    for (const QString& l : lines) shown += std::max(1, (metrics.horizontalAdvance(l) + kWrapWidth - 1) / kWrapWidth);
    const int chrome = 10 * line;  // title, margins, icon, buttons
    if (lines.size() < 3 || shown * line + chrome <= room) return;

    qsizetype head_end = 1;  // lines [0, head_end) stay at the top
    const qsizetype blank = lines.indexOf(QString());
    if (blank > 0 && blank * line <= room / 3) head_end = blank;
    qsizetype tail_start = lines.size() - 1;  // lines [tail_start, end) stay at the bottom
    const qsizetype last_blank = lines.lastIndexOf(QString());
    if (last_blank > head_end && (lines.size() - last_blank) * line <= room / 4) tail_start = last_blank + 1;
    const QString head = lines.mid(0, head_end).join(QLatin1Char('\n'));
    const QString middle = lines.mid(head_end, tail_start - head_end).join(QLatin1Char('\n')).trimmed();
    const QString tail = lines.mid(tail_start).join(QLatin1Char('\n'));

    box.setText(head);
    box.setInformativeText(tail);
    auto* grid = qobject_cast<QGridLayout*>(box.layout());
    auto* closing = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_informativelabel"));
    if (!grid || !closing || grid->indexOf(closing) < 0) {
        box.setText(text);  // a layout this code does not know: the whole text, as before
        box.setInformativeText(QString());
        return;
    }
    int row = 0, column = 0, rows = 1, columns = 1;
    grid->getItemPosition(grid->indexOf(closing), &row, &column, &rows, &columns);
    grid->removeWidget(closing);
    auto* holder = new QWidget(&box);
    holder->setObjectName(QStringLiteral("messageLongText"));
    auto* stack = new QVBoxLayout(holder);
    stack->setContentsMargins(0, 0, 0, 0);
    auto* scroll = new QScrollArea(holder);
    scroll->setObjectName(QStringLiteral("messageScroll"));
    auto* body = new QLabel(middle, scroll);
    body->setObjectName(QStringLiteral("messageBody"));
    body->setTextInteractionFlags(Qt::TextSelectableByMouse);
    body->setContentsMargins(4, 4, 4, 4);
    body->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    scroll->setWidget(body);
    scroll->setWidgetResizable(true);
    scroll->setMinimumWidth(std::min(body->sizeHint().width() + 30, 900));
    stack->addWidget(scroll);
    stack->addWidget(closing);
    grid->addWidget(holder, row, column, rows, columns);
    // The area takes what the rest of the box leaves of the room.
    scroll->setFixedHeight(4 * line);
    box.layout()->activate();
    const int rest = box.sizeHint().height() - 4 * line;
    const int wanted = body->sizeHint().height() + 2 * scroll->frameWidth();
    scroll->setFixedHeight(std::max(4 * line, std::min(wanted, room - rest)));
}

}  // namespace

std::unique_ptr<QMessageBox> BuildMessageBox(const QString& text, int style_value, const QString& title,
                                             QWidget* parent) {
    auto box = std::make_unique<QMessageBox>(parent);
    // A title the caller spaced out to centre it under another toolkit starts at the left here.
    box->setWindowTitle(title.trimmed());
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
    FitLongText(*box, text, parent);
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
    if ((report.style & 7) == style::kAbortRetryIgnore) {
        auto* hint = new QLabel(QString::fromUtf8(kErrorButtonsHint), this);
        hint->setObjectName(QStringLiteral("errorButtonsHint"));
        hint->setWordWrap(true);
        texts->addSpacing(6);
        texts->addWidget(hint);
    }
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
        b->setToolTip(QString::fromUtf8(ButtonTip(specs[i].answer)));
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

PasswordDialog::PasswordDialog(const kv::ado::PasswordPrompt::Request& request, QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Password del database"));
    setWindowModality(Qt::ApplicationModal);
    auto* layout = new QVBoxLayout(this);
    QString text = QStringLiteral("Il server PostgreSQL %1 chiede la password dell'utente %2")
                       .arg(QString::fromStdString(request.server), QString::fromStdString(request.user));
    if (!request.database.empty()) text += QStringLiteral(" per il database %1").arg(QString::fromStdString(request.database));
    text += QStringLiteral(".");
    if (request.refused) text.prepend(QStringLiteral("La password indicata non è stata accettata. "));
    text += QStringLiteral("\nLa password resta solo in memoria finché il programma è aperto.");
    message_ = new QLabel(text, this);
    message_->setObjectName(QStringLiteral("passwordMessage"));
    message_->setWordWrap(true);
    message_->setMinimumWidth(360);
    layout->addWidget(message_);
    field_ = new QLineEdit(this);
    field_->setObjectName(QStringLiteral("password"));
    field_->setEchoMode(QLineEdit::Password);
    field_->setContextMenuPolicy(Qt::NoContextMenu);
    field_->setAccessibleName(QStringLiteral("Password"));
    layout->addWidget(field_);
    buttons_ = new QDialogButtonBox(this);
    QPushButton* ok = buttons_->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    buttons_->addButton(QStringLiteral("Annulla"), QDialogButtonBox::RejectRole);
    ok->setDefault(true);
    connect(buttons_, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons_, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons_);
    field_->setFocus();
}

std::string PasswordDialog::TakePassword() {
    std::string password = field_->text().toStdString();
    field_->clear();
    return password;
}

std::optional<std::string> AskPassword(const kv::ado::PasswordPrompt::Request& request, QWidget* parent) {
    PasswordDialog dialog(request, parent);
    if (dialog.exec() != QDialog::Accepted) {
        dialog.field()->clear();
        return std::nullopt;
    }
    return dialog.TakePassword();
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
