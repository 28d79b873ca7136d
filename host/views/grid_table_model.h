#pragma once
// GridTableModel: the Qt item model over a DataGrid model and the recordset it is bound to. Rows are
// the grid's rows (the recordset's view), columns the grid's columns; the display text is the grid's
// formatted text, the edit text its plain value, and a cell is editable exactly when the grid says so.
// setData hands the typed text to DataGrid::UserEditCell, so the grid's events run and the grid decides;
// a refused edit returns false (the cell keeps its value) and is reported to the refusal handler.
//
// Structure changes of the grid reset the model. A reset asked for while the view is in the middle of
// forwarding a user action (between beginUserAction and endUserAction) waits for its end, so Qt never
// sees its indexes vanish inside its own event handling.

#include <QAbstractTableModel>
#include <functional>
#include <memory>

#include "platform/controls/data_grid.h"

namespace kv::qt {

class GridTableModel : public QAbstractTableModel {
  public:
    explicit GridTableModel(std::shared_ptr<kv::controls::DataGrid> grid, QObject* parent = nullptr);
    ~GridTableModel() override;

    kv::controls::DataGrid& grid() const { return *grid_; }
    void setRefusalHandler(std::function<void(const QString&)> handler) { on_refused_ = std::move(handler); }
    // True when the last setData was refused.
    bool lastEditRefused() const { return last_refused_; }

    void beginUserAction() { ++busy_; }
    void endUserAction();

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

  private:
    void OnChanged(kv::controls::ControlChange what);
    void Reset();
    void AllChanged();

    std::shared_ptr<kv::controls::DataGrid> grid_;
    kv::controls::Subscription sub_;
    std::function<void(const QString&)> on_refused_;
    int rows_ = 0;
    int columns_ = 0;
    int busy_ = 0;
    bool reset_pending_ = false;
    bool last_refused_ = false;
};

}  // namespace kv::qt
