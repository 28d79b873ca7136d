#include "host/views/data_grid_view.h"

#include <QAbstractItemDelegate>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPersistentModelIndex>
#include <QStyledItemDelegate>
#include <QStyle>
#include <QVBoxLayout>
#include <algorithm>

#include "platform/controls/keys.h"

namespace kv::qt {

using kv::controls::ControlChange;
namespace keys = kv::controls::keys;

int16_t PlatformKeyCode(int qt_key) {
    switch (qt_key) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            return keys::kReturn;
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
            return keys::kTab;
        case Qt::Key_Backspace:
            return keys::kBack;
        case Qt::Key_Escape:
            return keys::kEscape;
        case Qt::Key_PageUp:
            return keys::kPageUp;
        case Qt::Key_PageDown:
            return keys::kPageDown;
        case Qt::Key_End:
            return keys::kEnd;
        case Qt::Key_Home:
            return keys::kHome;
        case Qt::Key_Left:
            return keys::kLeft;
        case Qt::Key_Up:
            return keys::kUp;
        case Qt::Key_Right:
            return keys::kRight;
        case Qt::Key_Down:
            return keys::kDown;
        case Qt::Key_Delete:
            return keys::kDelete;
        case Qt::Key_Space:
            return 32;
        case Qt::Key_Insert:
            return 45;
        default:
            break;
    }
    if (qt_key >= Qt::Key_F1 && qt_key <= Qt::Key_F12)
        return static_cast<int16_t>(112 + (qt_key - Qt::Key_F1));
    if ((qt_key >= Qt::Key_0 && qt_key <= Qt::Key_9) || (qt_key >= Qt::Key_A && qt_key <= Qt::Key_Z))
        return static_cast<int16_t>(qt_key);  // the same codes on both sides
    return 0;
}

int16_t PlatformShift(Qt::KeyboardModifiers modifiers) {
    int16_t s = 0;
    if (modifiers & Qt::ShiftModifier) s |= keys::kShiftMask;
    if (modifiers & Qt::ControlModifier) s |= keys::kCtrlMask;
    if (modifiers & Qt::AltModifier) s |= keys::kAltMask;
    return s;
}

bool IsKeypadDecimalKey(const QKeyEvent& event) {
    return (event.modifiers() & Qt::KeypadModifier) &&
           (event.key() == Qt::Key_Period || event.key() == Qt::Key_Comma);
}

namespace {

// The keypad's decimal key types the regional decimal separator whatever the keyboard layout gives it
// (a point on many layouts), so a price typed on the keypad is never read with a thousands point.
class DecimalKeyFilter : public QObject {
  public:
    DecimalKeyFilter(QLineEdit* edit, char separator) : QObject(edit), edit_(edit), separator_(separator) {}

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == edit_ && event->type() == QEvent::KeyPress &&
            IsKeypadDecimalKey(*static_cast<QKeyEvent*>(event))) {
            edit_->insert(QString(QChar::fromLatin1(separator_)));
            return true;
        }
        return false;
    }

  private:
    QLineEdit* edit_;
    char separator_;
};

}  // namespace

void InstallRegionalDecimalKey(QLineEdit* edit, char separator) {
    edit->installEventFilter(new DecimalKeyFilter(edit, separator));
}

// The cell editor. It types the regional decimal separator from the keypad, and after a refused edit
// it opens again on the text the user typed, so a mistyped price is corrected rather than typed anew.
class GridCellDelegate : public QStyledItemDelegate {
  public:
    explicit GridCellDelegate(DataGridView* owner) : QStyledItemDelegate(owner), owner_(owner) {}

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override {
        QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
        if (auto* line = qobject_cast<QLineEdit*>(editor))
            InstallRegionalDecimalKey(line, owner_->model().Regional().decimal_separator);
        return editor;
    }

    void setEditorData(QWidget* editor, const QModelIndex& index) const override {
        auto* line = qobject_cast<QLineEdit*>(editor);
        if (line && refused_index_.isValid() && refused_index_ == index) {
            line->setText(refused_text_);
            refused_index_ = QPersistentModelIndex();
            return;
        }
        QStyledItemDelegate::setEditorData(editor, index);
    }

    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override {
        auto* line = qobject_cast<QLineEdit*>(editor);
        if (!line) {
            QStyledItemDelegate::setModelData(editor, model, index);
            return;
        }
        refused_index_ = QPersistentModelIndex();
        if (!model->setData(index, line->text(), Qt::EditRole)) {
            refused_index_ = index;
            refused_text_ = line->text();
        }
    }

    // The cell whose edit was refused last, while its editor has not been opened again.
    QModelIndex refusedIndex() const { return refused_index_; }

  protected:
    // Function keys typed in an open cell reach the grid's KeyDown, as they do on a closed cell (F3
    // opens a lookup, for instance); the editor stays open.
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::KeyPress) {
            auto* key = static_cast<QKeyEvent*>(event);
            if (key->key() >= Qt::Key_F1 && key->key() <= Qt::Key_F12) {
                owner_->ForwardKey(PlatformKeyCode(key->key()), PlatformShift(key->modifiers()));
                return true;
            }
        }
        return QStyledItemDelegate::eventFilter(watched, event);
    }

  private:
    DataGridView* owner_;
    mutable QPersistentModelIndex refused_index_;
    mutable QString refused_text_;
};

// The table: Qt's own navigation is replaced by the model's, and the model hears of every user move.
class GridTableView : public QTableView {
  public:
    explicit GridTableView(DataGridView* owner) : QTableView(owner), owner_(owner) {}

  protected:
    void keyPressEvent(QKeyEvent* event) override {
        const int16_t code = PlatformKeyCode(event->key());
        if (state() == QAbstractItemView::EditingState || code == 0) {
            QTableView::keyPressEvent(event);
            return;
        }
        owner_->adapter_->beginUserAction();
        const int16_t left = owner_->model_->UserKeyDown(code, PlatformShift(event->modifiers()));
        owner_->adapter_->endUserAction();
        owner_->ApplyCurrent();
        if (left == 0) {
            event->accept();
            return;
        }
        QTableView::keyPressEvent(event);  // typing starts an edit, F2 opens the editor
    }

    void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override {
        QTableView::closeEditor(editor, QAbstractItemDelegate::NoHint);
        if (owner_->adapter_->lastEditRefused()) {
            // Stay on the refused cell with the typed text in its editor (Escape then drops it).
            const QModelIndex refused = owner_->delegate_->refusedIndex();
            if (refused.isValid() && hint != QAbstractItemDelegate::RevertModelCache) {
                setCurrentIndex(refused);
                edit(refused);
            }
            return;
        }
        int16_t code = 0;
        int16_t shift = 0;
        if (hint == QAbstractItemDelegate::SubmitModelCache)
            code = keys::kReturn;
        else if (hint == QAbstractItemDelegate::EditNextItem)
            code = keys::kTab;
        else if (hint == QAbstractItemDelegate::EditPreviousItem)
            code = keys::kTab, shift = keys::kShiftMask;
        if (code == 0) return;
        // Tab leaving the last column goes on to the next control, as it does from a closed cell.
        if (owner_->ForwardKey(code, shift) == keys::kTab) QTableView::focusNextPrevChild(shift == 0);
    }

    // Tab and Shift+Tab on a closed cell: the grid moves between columns, and past the last (first)
    // column the focus goes to the next (previous) control.
    bool focusNextPrevChild(bool next) override {
        if (state() == QAbstractItemView::EditingState || !hasFocus())
            return QTableView::focusNextPrevChild(next);
        if (owner_->ForwardKey(keys::kTab, next ? 0 : keys::kShiftMask) == 0) return true;
        return QTableView::focusNextPrevChild(next);
    }

    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override {
        QTableView::currentChanged(current, previous);
        if (owner_->applying_ || !current.isValid()) return;
        owner_->adapter_->beginUserAction();
        owner_->model_->UserMoveTo(current.row(), current.column());
        owner_->adapter_->endUserAction();
        // Whatever the model made of it (a refused move, a handler's own move) is what is shown.
        owner_->ApplyCurrent();
    }

    void focusInEvent(QFocusEvent* event) override {
        QTableView::focusInEvent(event);
        owner_->model_->UserEnter();
    }

  private:
    DataGridView* owner_;
};

DataGridView::DataGridView(std::shared_ptr<kv::controls::DataGrid> model, QWidget* parent)
    : QWidget(parent), model_(std::move(model)) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    adapter_ = new GridTableModel(model_, this);
    table_ = new GridTableView(this);
    table_->setModel(adapter_);
    delegate_ = new GridCellDelegate(this);
    table_->setItemDelegate(delegate_);
    table_->setSelectionBehavior(QAbstractItemView::SelectItems);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                            QAbstractItemView::AnyKeyPressed);
    table_->setTabKeyNavigation(false);
    table_->verticalHeader()->setDefaultSectionSize(table_->fontMetrics().height() + 6);
    layout->addWidget(table_, 1);
    message_ = new QLabel(this);
    message_->setObjectName(QStringLiteral("gridMessage"));
    message_->setStyleSheet(QStringLiteral("color: #b00000; padding: 2px;"));
    message_->setWordWrap(true);
    message_->hide();
    layout->addWidget(message_);
    setFocusProxy(table_);
    table_->viewport()->installEventFilter(this);

    adapter_->setRefusalHandler([this](const QString& m) { ShowRefusal(m); });
    connect(adapter_, &QAbstractItemModel::modelReset, this, [this] {
        ApplyColumns();
        ApplyCurrent();
    });
    connect(adapter_, &QAbstractItemModel::dataChanged, this, [this](const QModelIndex& from, const QModelIndex& to) {
        if (!adapter_->lastEditRefused()) message_->hide();
        // A typed cell widens its own column at once; a change of many rows is measured once the
        // event loop is back, whatever else changes meanwhile.
        if (from.isValid() && from == to) {
            WidenTo(from);
            return;
        }
        ScheduleFit();
    });
    connect(table_->horizontalHeader(), &QHeaderView::sectionResized, this, [this](int column, int, int size) {
        if (sizing_ || column < 0) return;
        if (static_cast<std::size_t>(column) >= user_widths_.size()) user_widths_.resize(column + 1, 0);
        user_widths_[static_cast<std::size_t>(column)] = size;
    });
    // The binding comes after the adapter, so a reset is done before the view applies the current cell.
    new ControlBinding(model_, this, [this](ControlChange what) { OnChanged(what); });

    connect(&sync_, &QTimer::timeout, this, [this] {
        if (isVisible()) model_->SyncWithDataSource();
    });
    sync_.start(250);
}

DataGridView::~DataGridView() = default;

QTableView* DataGridView::table() const { return table_; }

void DataGridView::setSyncInterval(int milliseconds) {
    if (milliseconds <= 0)
        sync_.stop();
    else
        sync_.start(milliseconds);
}

void DataGridView::OnChanged(ControlChange what) {
    switch (what) {
        case ControlChange::Layout:
            ApplyColumns();
            ApplyCurrent();
            break;
        case ControlChange::Current:
            ApplyCurrent();
            break;
        case ControlChange::Properties:
            setCursor(model_->Animating() ? Qt::BusyCursor : Qt::ArrowCursor);
            table_->setToolTip(QString::fromStdString(model_->ToolTipText()));
            break;
        case ControlChange::Geometry:
            ShareFreeWidth();
            break;
        default:
            break;
    }
}

void DataGridView::ApplyColumns() {
    const auto& cols = model_->Columns();
    // Columns defined anew (other fields) are laid out anew: the user's widths belonged to the columns
    // before. Rebinding the same columns to other rows keeps them.
    std::string fields;
    for (long c = 0; c < cols.Count(); ++c) fields += cols.Item(c).DataField() + '\n';
    if (fields != column_fields_) {
        column_fields_ = fields;
        user_widths_.clear();
        base_widths_.clear();
    }
    QHeaderView* header = table_->horizontalHeader();
    sizing_ = true;
    for (long c = 0; c < cols.Count() && c < adapter_->columnCount(); ++c) {
        table_->setColumnHidden(static_cast<int>(c), !cols.Item(c).Visible());
        header->setSectionResizeMode(static_cast<int>(c), QHeaderView::Interactive);
    }
    sizing_ = false;
    FitColumnsToContent();
}

int DataGridView::neededWidth(int column) const {
    const auto& cols = model_->Columns();
    if (column < 0 || column >= cols.Count() || column >= adapter_->columnCount()) return 0;
    const auto& col = cols.Item(column);
    int width = col.Width() > 0 ? TwipsToPixels(col.Width()) : 0;
    // The caption as the header draws it, bold when its column is current.
    QFont bold = table_->horizontalHeader()->font();
    bold.setBold(true);
    const int margin = 2 * table_->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, table_) + 8;
    const QString caption = QString::fromStdString(col.Caption());
    width = std::max(width, QFontMetrics(bold).horizontalAdvance(caption) + margin);
    const int rows = std::min(adapter_->rowCount(), kMeasuredRows);
    for (int r = 0; r < rows; ++r)
        width = std::max(width, table_->sizeHintForIndex(adapter_->index(r, column)).width() + 4);
    return std::min(width, std::max(kMaxAutoWidth, col.Width() > 0 ? TwipsToPixels(col.Width()) : 0));
}

void DataGridView::FitColumnsToContent() {
    fit_pending_ = false;
    const auto& cols = model_->Columns();
    const int count = static_cast<int>(std::min<long>(cols.Count(), adapter_->columnCount()));
    base_widths_.resize(static_cast<std::size_t>(std::max(count, 0)), 0);
    for (int c = 0; c < count; ++c) {
        const std::size_t i = static_cast<std::size_t>(c);
        // A value never makes a column narrower than it was: the columns do not jump as prices change.
        base_widths_[i] = cols.Item(c).Visible() ? std::max(base_widths_[i], neededWidth(c)) : 0;
    }
    ShareFreeWidth();
    if (fit_width_) updateGeometry();
}

void DataGridView::ShareFreeWidth() {
    const auto& cols = model_->Columns();
    const int count = static_cast<int>(std::min<long>(static_cast<long>(base_widths_.size()), cols.Count()));
    std::vector<int> widths(static_cast<std::size_t>(std::max(count, 0)), 0);
    int used = 0;
    std::vector<int> stretching;
    for (int c = 0; c < count; ++c) {
        const std::size_t i = static_cast<std::size_t>(c);
        if (!cols.Item(c).Visible()) continue;
        const bool by_user = i < user_widths_.size() && user_widths_[i] > 0;
        widths[i] = by_user ? user_widths_[i] : base_widths_[i];
        used += widths[i];
        if (cols.Item(c).Stretch() && !by_user) stretching.push_back(c);
    }
    const int free = table_->viewport()->width() - used;
    if (free > 0 && !stretching.empty()) {
        const int share = free / static_cast<int>(stretching.size());
        int rest = free - share * static_cast<int>(stretching.size());
        for (int c : stretching) {
            widths[static_cast<std::size_t>(c)] += share + (rest > 0 ? 1 : 0);
            if (rest > 0) --rest;
        }
    }
    sizing_ = true;
    for (int c = 0; c < count; ++c)
        if (widths[static_cast<std::size_t>(c)] > 0) table_->setColumnWidth(c, widths[static_cast<std::size_t>(c)]);
    sizing_ = false;
}

void DataGridView::WidenTo(const QModelIndex& cell) {
    const std::size_t c = static_cast<std::size_t>(cell.column());
    if (c >= base_widths_.size() || table_->isColumnHidden(cell.column())) return;
    const int needed = std::min(table_->sizeHintForIndex(cell).width() + 4, kMaxAutoWidth);
    if (needed <= base_widths_[c]) return;
    base_widths_[c] = needed;
    ShareFreeWidth();
    if (fit_width_) updateGeometry();
}

void DataGridView::ScheduleFit() {
    if (fit_pending_) return;
    fit_pending_ = true;
    QTimer::singleShot(0, this, [this] {
        if (fit_pending_) FitColumnsToContent();
    });
}

void DataGridView::setFitWidthToColumns(bool fit) {
    fit_width_ = fit;
    updateGeometry();
}

QSize DataGridView::minimumSizeHint() const {
    QSize hint = QWidget::minimumSizeHint();
    if (!fit_width_) return hint;
    int width = 2 * table_->frameWidth() + table_->verticalHeader()->sizeHint().width() +
                table_->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, table_);
    for (std::size_t c = 0; c < base_widths_.size(); ++c) width += base_widths_[c];
    return {std::max(hint.width(), width), hint.height()};
}

void DataGridView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    ShareFreeWidth();
}

bool DataGridView::eventFilter(QObject* watched, QEvent* event) {
    // The free width is the viewport's, which the table sizes after the view (and again when a
    // scroll bar comes or goes).
    if (watched == table_->viewport() && event->type() == QEvent::Resize) ShareFreeWidth();
    return QWidget::eventFilter(watched, event);
}

void DataGridView::ApplyCurrent() {
    if (applying_) return;
    applying_ = true;
    const long row = model_->CurrentRow();
    const long col = model_->CurrentColumnIndex();
    QItemSelectionModel* sel = table_->selectionModel();
    if (row >= 0 && row < adapter_->rowCount() && col >= 0 && col < adapter_->columnCount()) {
        const QModelIndex idx = adapter_->index(static_cast<int>(row), static_cast<int>(col));
        if (sel->currentIndex() != idx) sel->setCurrentIndex(idx, QItemSelectionModel::ClearAndSelect);
        table_->scrollTo(idx);
    } else if (sel->currentIndex().isValid()) {
        sel->clear();
    }
    applying_ = false;
}

int16_t DataGridView::ForwardKey(int16_t code, int16_t shift) {
    adapter_->beginUserAction();
    const int16_t left = model_->UserKeyDown(code, shift);
    adapter_->endUserAction();
    ApplyCurrent();
    return left;
}

void DataGridView::ShowRefusal(const QString& message) {
    message_->setText(message);
    message_->show();
}

}  // namespace kv::qt
