#include "host/views/grid_table_model.h"

#include <QColor>

#include "platform/services/error_texts.h"

namespace kv::qt {

using kv::controls::ControlChange;

GridTableModel::GridTableModel(std::shared_ptr<kv::controls::DataGrid> grid, QObject* parent)
    : QAbstractTableModel(parent), grid_(std::move(grid)) {
    rows_ = static_cast<int>(grid_->RowCount());
    columns_ = static_cast<int>(grid_->Columns().Count());
    sub_ = grid_->Changed.Connect([this](ControlChange what) { OnChanged(what); });
}

GridTableModel::~GridTableModel() = default;

void GridTableModel::OnChanged(ControlChange what) {
    switch (what) {
        case ControlChange::Layout:
            if (busy_ > 0)
                reset_pending_ = true;
            else
                Reset();
            break;
        case ControlChange::Content:
        case ControlChange::Properties:
            // Values, formats or editability changed: every cell is asked again.
            if (rows_ != grid_->RowCount() || columns_ != grid_->Columns().Count()) {
                if (busy_ > 0)
                    reset_pending_ = true;
                else
                    Reset();
            } else {
                AllChanged();
            }
            break;
        default:
            break;
    }
}

void GridTableModel::endUserAction() {
    if (busy_ > 0) --busy_;
    if (busy_ == 0 && reset_pending_) {
        reset_pending_ = false;
        Reset();
    }
}

void GridTableModel::Reset() {
    beginResetModel();
    rows_ = static_cast<int>(grid_->RowCount());
    columns_ = static_cast<int>(grid_->Columns().Count());
    endResetModel();
}

void GridTableModel::AllChanged() {
    if (rows_ > 0 && columns_ > 0) emit dataChanged(index(0, 0), index(rows_ - 1, columns_ - 1));
    if (columns_ > 0) emit headerDataChanged(Qt::Horizontal, 0, columns_ - 1);
}

int GridTableModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : rows_; }
int GridTableModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : columns_; }

QVariant GridTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rows_ || index.column() >= columns_) return {};
    const long row = index.row();
    const long col = index.column();
    switch (role) {
        case Qt::DisplayRole:
            return QString::fromStdString(grid_->CellDisplayText(row, col));
        case Qt::EditRole:
            return QString::fromStdString(grid_->CellEditText(row, col));
        case Qt::TextAlignmentRole: {
            if (col >= grid_->Columns().Count()) return {};
            int a = grid_->Columns().Item(col).Alignment();
            if (a == kv::controls::kAlignByContent)
                a = grid_->ColumnIsNumeric(col) ? kv::controls::kAlignRight : kv::controls::kAlignLeft;
            Qt::Alignment h = a == kv::controls::kAlignRight    ? Qt::AlignRight
                              : a == kv::controls::kAlignCentre ? Qt::AlignHCenter
                                                                : Qt::AlignLeft;
            return QVariant::fromValue(static_cast<int>(h | Qt::AlignVCenter));
        }
        case Qt::ForegroundRole:
            // A warning stands out in red; its sign in the text says so without colours too.
            if (grid_->CellMarked(row, col)) return QColor(0xC0, 0x00, 0x00);
            return {};
        case Qt::ToolTipRole:
            if (grid_->ToolTipText().empty()) return {};
            return QString::fromStdString(grid_->ToolTipText());
        default:
            return {};
    }
}

QVariant GridTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole || section < 0) return {};
    if (orientation == Qt::Vertical) return section < rows_ ? QVariant(section + 1) : QVariant();
    if (section >= columns_ || section >= grid_->Columns().Count()) return {};
    return QString::fromStdString(grid_->Columns().Item(section).Caption());
}

Qt::ItemFlags GridTableModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (index.row() < rows_ && index.column() < columns_ && grid_->CellEditable(index.row(), index.column()))
        f |= Qt::ItemIsEditable;
    return f;
}

bool GridTableModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::EditRole || !index.isValid() || index.row() >= rows_ || index.column() >= columns_)
        return false;
    beginUserAction();
    kv::controls::EditOutcome out;
    try {
        out = grid_->UserEditCell(index.row(), index.column(), value.toString().toStdString());
    } catch (const kv::Error& e) {
        // A handler of the edit events failed; the grid reports it as a refusal, in the user's terms.
        kv::services::ErrorReport report;
        report.number = e.Number();
        report.description = e.Description();
        const kv::services::UserErrorText t = kv::services::DescribeForUser(report);
        out.accepted = false;
        out.error_number = e.Number();
        out.message = t.message + (t.number.empty() ? std::string() : " (" + t.number + ")");
    }
    last_refused_ = !out.accepted;
    endUserAction();
    if (!out.accepted) {
        if (on_refused_) on_refused_(QString::fromStdString(out.message));
        return false;
    }
    if (index.row() < rows_ && index.column() < columns_) emit dataChanged(index, index);
    return true;
}

}  // namespace kv::qt
