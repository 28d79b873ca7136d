#include "host/views/entry_views.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPushButton>
#include <QVBoxLayout>

#include "host/services/qt_dialogs.h"
#include "platform/controls/keys.h"

namespace kv::qt {

using kv::controls::ControlChange;

namespace {
QString Q(const std::string& s) { return QString::fromStdString(s); }
}  // namespace

void DefaultErrorHandler(QWidget* view, const kv::Error& error) {
    kv::services::ErrorReport report;
    report.number = error.Number();
    report.description = error.Description();
    report.source = error.Source();
    report.caption = "Errore";
    report.style = kv::services::style::kExclamation;
    ErrorDialog dialog(report, view);
    dialog.exec();
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
        // Enter confirms the field and moves on as Tab does, unless confirming already took the focus
        // elsewhere (the window going to the grid it has just loaded): a key field is typed and left,
        // never typed into twice.
        Guard([this] { model_->UserConfirm(); });
        event->accept();
        if (hasFocus() && isEnabled()) focusNextChild();
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

// ---- LookupListModel

LookupListModel::LookupListModel(kv::controls::LookupList list, QObject* parent)
    : QAbstractTableModel(parent), list_(std::move(list)) {
    rows_ = static_cast<int>(list_.RowCount());
    columns_ = list_.rows && list_.rows->State() == kv::ado::adStateOpen ? list_.rows->GetFields().Count() : 0;
}

int LookupListModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : rows_; }
int LookupListModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : columns_; }

QVariant LookupListModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= rows_ || index.column() >= columns_)
        return {};
    try {
        return Q(list_.CellText(index.row(), index.column()));
    } catch (const kv::Error&) {
        return {};
    }
}

QVariant LookupListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal || section < 0 || section >= columns_) return {};
    if (section < static_cast<int>(list_.headings.size())) return Q(list_.headings[static_cast<std::size_t>(section)]);
    return Q(list_.rows->GetFields().Item(section).Name());
}

// ---- LookupDialog

LookupDialog::LookupDialog(const kv::controls::LookupList& list, QWidget* parent) : QDialog(parent) {
    setWindowTitle(Q(list.title));
    auto* layout = new QVBoxLayout(this);
    filter_ = new QLineEdit(this);
    filter_->setObjectName(QStringLiteral("lookupFilter"));
    filter_->setPlaceholderText(QStringLiteral("Filtra: scrivere parte del codice o della descrizione"));
    filter_->setClearButtonEnabled(true);
    layout->addWidget(filter_);

    model_ = new LookupListModel(list, this);
    proxy_ = new QSortFilterProxyModel(this);
    proxy_->setSourceModel(model_);
    proxy_->setFilterKeyColumn(-1);
    proxy_->setFilterCaseSensitivity(Qt::CaseInsensitive);
    table_ = new QTableView(this);
    table_->setModel(proxy_);
    table_->verticalHeader()->hide();
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->horizontalHeader()->setStretchLastSection(true);
    table_->verticalHeader()->setDefaultSectionSize(table_->fontMetrics().height() + 6);
    layout->addWidget(table_);
    auto select_first = [this] {
        if (proxy_->rowCount() > 0) table_->setCurrentIndex(proxy_->index(0, 0));
    };
    select_first();
    connect(filter_, &QLineEdit::textChanged, this, [this, select_first](const QString& text) {
        proxy_->setFilterFixedString(text);
        select_first();
    });
    filter_->installEventFilter(this);

    buttons_ = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons_->button(QDialogButtonBox::Ok)->setText(QStringLiteral("OK"));
    buttons_->button(QDialogButtonBox::Ok)->setDefault(true);
    buttons_->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Annulla"));
    layout->addWidget(buttons_);
    connect(buttons_, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons_, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(table_, &QTableView::doubleClicked, this, [this] { accept(); });
    filter_->setFocus();
    resize(560, 380);
}

bool LookupDialog::eventFilter(QObject* watched, QEvent* event) {
    // Up and down in the filter field move through the rows, so the user can filter and choose
    // without leaving the keyboard's home row.
    if (watched == filter_ && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Down || key == Qt::Key_Up || key == Qt::Key_PageDown || key == Qt::Key_PageUp) {
            QCoreApplication::sendEvent(table_, event);
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

std::optional<long> LookupDialog::chosenRow() const {
    if (result() != QDialog::Accepted) return std::nullopt;
    const QModelIndex current = table_->currentIndex();
    if (!current.isValid()) return std::nullopt;
    return proxy_->mapToSource(current).row();
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
