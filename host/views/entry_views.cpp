#include "host/views/entry_views.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMessageBox>
#include <QTableWidget>
#include <QVBoxLayout>

#include "platform/controls/keys.h"

namespace kv::qt {

using kv::controls::ControlChange;

namespace {
QString Q(const std::string& s) { return QString::fromStdString(s); }
}  // namespace

void DefaultErrorHandler(QWidget* view, const kv::Error& error) {
    QMessageBox::warning(view, QObject::tr("Errore"),
                         Q(error.Description()) + QStringLiteral("\n(") + QString::number(error.Number()) +
                             QStringLiteral(")"));
}

// ---- EntryLineEdit

EntryLineEdit::EntryLineEdit(std::shared_ptr<kv::controls::EntryField> model, QWidget* parent)
    : QLineEdit(parent), model_(std::move(model)) {
    binding_ = new ControlBinding(model_, this, [this](ControlChange) { Show(); });
    connect(this, &QLineEdit::textEdited, this, [this](const QString& text) {
        model_->UserType(text.toStdString());
        Show();
    });
}

void EntryLineEdit::Guard(const std::function<void()>& action) {
    try {
        action();
    } catch (const kv::Error& e) {
        if (on_error_) on_error_(this, e);
    }
}

void EntryLineEdit::Show() {
    const QString t = Q(model_->Text());
    if (text() != t) setText(t);
    setMaxLength(model_->MaxLength() > 0 ? static_cast<int>(model_->MaxLength()) : 32767);
    if (model_->DisplayLength() > 0)
        setMinimumWidth(fontMetrics().averageCharWidth() * static_cast<int>(model_->DisplayLength() + 2));
}

void EntryLineEdit::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        Guard([this] { model_->UserConfirm(); });
        event->accept();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

void EntryLineEdit::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    // A pick list or another window taking the focus is not the user leaving the field.
    if (event->reason() == Qt::ActiveWindowFocusReason || event->reason() == Qt::PopupFocusReason) return;
    Guard([this] { model_->UserLeave(); });
}

DateFieldView::DateFieldView(std::shared_ptr<kv::controls::DateField> model, QWidget* parent)
    : EntryLineEdit(model, parent) {
    setPlaceholderText(QStringLiteral("gg/mm/aaaa"));
}

// ---- LookupDialog

LookupDialog::LookupDialog(const kv::controls::LookupList& list, QWidget* parent) : QDialog(parent) {
    setWindowTitle(Q(list.title));
    auto* layout = new QVBoxLayout(this);
    table_ = new QTableWidget(this);
    const int columns = list.rows ? list.rows->GetFields().Count() : 0;
    const long rows = list.RowCount();
    table_->setColumnCount(columns);
    table_->setRowCount(static_cast<int>(rows));
    QStringList headings;
    for (int c = 0; c < columns; ++c)
        headings << (c < static_cast<int>(list.headings.size())
                         ? Q(list.headings[static_cast<std::size_t>(c)])
                         : Q(list.rows->GetFields().Item(c).Name()));
    table_->setHorizontalHeaderLabels(headings);
    for (long r = 0; r < rows; ++r)
        for (int c = 0; c < columns; ++c) {
            auto* item = new QTableWidgetItem(Q(list.CellText(r, c)));
            item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
            table_->setItem(static_cast<int>(r), c, item);
        }
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->horizontalHeader()->setStretchLastSection(true);
    if (rows > 0) table_->setCurrentCell(0, 0);
    layout->addWidget(table_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(table_, &QTableWidget::cellDoubleClicked, this, [this] { accept(); });
    resize(520, 360);
}

std::optional<long> LookupDialog::chosenRow() const {
    if (result() != QDialog::Accepted || table_->currentRow() < 0) return std::nullopt;
    return table_->currentRow();
}

// ---- LookupFieldView

std::optional<long> LookupFieldView::ShowDialog(const kv::controls::LookupList& list, QWidget* parent) {
    LookupDialog dialog(list, parent);
    dialog.exec();
    return dialog.chosenRow();
}

LookupFieldView::LookupFieldView(std::shared_ptr<kv::controls::LookupField> model, QWidget* parent)
    : QWidget(parent), model_(std::move(model)) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(1);
    edit_ = new EntryLineEdit(model_, this);
    // The line edit's binding also names it; the composite view carries the control's name.
    edit_->setObjectName(Q(model_->Name()) + QStringLiteral("_text"));
    edit_->binding()->setReportGeometry(false);
    button_ = new QToolButton(this);
    button_->setText(QStringLiteral("..."));
    button_->setFocusPolicy(Qt::NoFocus);
    layout->addWidget(edit_, 1);
    layout->addWidget(button_);
    setFocusProxy(edit_);
    edit_->installEventFilter(this);
    new ControlBinding(model_, this, [this](ControlChange) { button_->setEnabled(model_->Enabled()); });
    connect(button_, &QToolButton::clicked, this, [this] { openLookup(); });
}

void LookupFieldView::setErrorHandler(ErrorHandler handler) { edit_->setErrorHandler(std::move(handler)); }

void LookupFieldView::openLookup() {
    edit_->Guard([this] {
        auto list = model_->UserOpenLookup();
        if (!list) return;
        auto row = picker_(*list, this);
        if (row) model_->UserPick(list->CodeAt(*row));
    });
}

bool LookupFieldView::eventFilter(QObject* watched, QEvent* event) {
    if (watched == edit_ && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_F3) {
        openLookup();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace kv::qt
