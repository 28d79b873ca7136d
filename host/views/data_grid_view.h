#pragma once
// DataGridView: the Qt view of a DataGrid. A QTableView over a GridTableModel shows the rows; the
// view's current cell is the grid's current cell (the bound recordset's current row), both ways:
// clicks and keys go to the model (UserMoveTo, UserKeyDown), and the model's moves, including the
// program moving the recordset (noticed by a light periodic SyncWithDataSource), move the view's cell.
// Committing an edit with Enter hands Enter to the model as a key, so the grid's KeyDown handlers
// decide where the cell goes next. A refused edit keeps the cell's value and shows the grid's message
// under the table until the next accepted edit, and the cell's editor opens again on the text typed.
//
// Column widths. A column's designed width is where it starts: the view widens it to its caption and
// to its widest value (of the first rows, up to a limit a screen can spare), so nothing a user must
// read is cut, and widens it again when a wider value comes. Columns the grid asks to stretch share
// what is left of the view's width. A column the user resized keeps the user's width until the grid's
// columns are defined again.

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QTableView>
#include <QTimer>
#include <memory>
#include <string>
#include <vector>

#include "host/views/control_binding.h"
#include "host/views/grid_table_model.h"
#include "platform/controls/data_grid.h"

namespace kv::qt {

class GridTableView;
class GridCellDelegate;

// Qt key event -> the platform's key code and shift state (0 when the key has no code).
int16_t PlatformKeyCode(int qt_key);
int16_t PlatformShift(Qt::KeyboardModifiers modifiers);
// The keypad's decimal key (a point or a comma by keyboard layout).
bool IsKeypadDecimalKey(const QKeyEvent& event);
// Makes the keypad's decimal key type `separator` in the line edit.
void InstallRegionalDecimalKey(QLineEdit* edit, char separator);

class DataGridView : public QWidget {
  public:
    explicit DataGridView(std::shared_ptr<kv::controls::DataGrid> model, QWidget* parent = nullptr);
    ~DataGridView() override;

    kv::controls::DataGrid& model() { return *model_; }
    QTableView* table() const;
    GridTableModel* tableModel() const { return adapter_; }
    QLabel* messageLabel() const { return message_; }
    // Interval of the check for recordset moves made by the program; 0 stops it.
    void setSyncInterval(int milliseconds);
    // The width a column needs to show its caption and its widest value whole (pixels), within the
    // limit; what ApplyColumns gives a column that the user did not resize.
    int neededWidth(int column) const;
    // When set, the view asks its layout for the width all its visible columns need (a side list
    // beside the grids, which must never cut what it lists).
    void setFitWidthToColumns(bool fit);
    QSize minimumSizeHint() const override;

    // The widest a column grows by itself, and how many rows are measured for it.
    static constexpr int kMaxAutoWidth = 360;
    static constexpr int kMeasuredRows = 200;

  protected:
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    friend class GridTableView;
    friend class GridCellDelegate;
    void OnChanged(kv::controls::ControlChange what);
    void ApplyColumns();
    // Widens the columns whose values grew (never narrows one), then shares the free width again.
    void FitColumnsToContent();
    void ShareFreeWidth();
    void WidenTo(const QModelIndex& cell);
    void ScheduleFit();
    void ApplyCurrent();
    void ShowRefusal(const QString& message);
    // Hands a key to the model as the user's; returns the key code the model left.
    int16_t ForwardKey(int16_t code, int16_t shift);

    std::shared_ptr<kv::controls::DataGrid> model_;
    GridTableModel* adapter_;
    GridTableView* table_;
    GridCellDelegate* delegate_;
    QLabel* message_;
    QTimer sync_;
    bool applying_ = false;
    bool sizing_ = false;        // the view sets widths itself: the header's resizes are not the user's
    bool fit_pending_ = false;
    bool fit_width_ = false;
    std::vector<int> base_widths_;  // per column, what caption, values and design ask (0: hidden)
    std::vector<int> user_widths_;  // per column, the user's width (0: none)
    std::string column_fields_;     // the fields of the columns the widths belong to
};

}  // namespace kv::qt
