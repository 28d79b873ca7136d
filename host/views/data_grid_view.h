#pragma once
// DataGridView: the Qt view of a DataGrid. A QTableView over a GridTableModel shows the rows; the
// view's current cell is the grid's current cell (the bound recordset's current row), both ways:
// clicks and keys go to the model (UserMoveTo, UserKeyDown), and the model's moves, including the
// program moving the recordset (noticed by a light periodic SyncWithDataSource), move the view's cell.
// Committing an edit with Enter hands Enter to the model as a key, so the grid's KeyDown handlers
// decide where the cell goes next. A refused edit keeps the cell's value and shows the grid's message
// under the table until the next accepted edit, and the cell's editor opens again on the text typed.

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QTableView>
#include <QTimer>
#include <memory>

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

  private:
    friend class GridTableView;
    friend class GridCellDelegate;
    void OnChanged(kv::controls::ControlChange what);
    void ApplyColumns();
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
};

}  // namespace kv::qt
