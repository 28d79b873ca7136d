#pragma once
// Qt views of the key-entry fields. EntryLineEdit forwards typing, Enter and leaving the field to an
// EntryField model (the model decides whether the text is checked and AfterItem raised); Enter then
// moves on to the next field as Tab does. A lookup
// field adds a button and F3 that ask the model for its pick list and show it; what the user picks is
// handed back to the model.

#include <QAbstractTableModel>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QToolButton>
#include <functional>
#include <memory>
#include <optional>

#include "host/views/control_binding.h"
#include "platform/controls/date_field.h"
#include "platform/controls/lookup_field.h"


namespace kv::qt {

// How a view reports an error the model raised while checking or listing (a failed query). The
// default shows a warning box.
using ErrorHandler = std::function<void(QWidget* view, const kv::Error& error)>;
void DefaultErrorHandler(QWidget* view, const kv::Error& error);

class EntryLineEdit : public QLineEdit {
  public:
    explicit EntryLineEdit(std::shared_ptr<kv::controls::EntryField> model, QWidget* parent = nullptr);
    void setErrorHandler(ErrorHandler handler) { on_error_ = std::move(handler); }
    // Runs a model action, reporting its kv::Error instead of letting it escape into Qt.
    void Guard(const std::function<void()>& action);
    ControlBinding* binding() const { return binding_; }

  protected:
    void focusOutEvent(QFocusEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void Show();
    std::shared_ptr<kv::controls::EntryField> model_;
    ControlBinding* binding_ = nullptr;
    ErrorHandler on_error_ = DefaultErrorHandler;
};

class DateFieldView : public EntryLineEdit {
  public:
    explicit DateFieldView(std::shared_ptr<kv::controls::DateField> model, QWidget* parent = nullptr);
};

// The pick list's rows as a Qt model: it reads the list's recordset when a cell is shown, without
// copying the rows.
class LookupListModel : public QAbstractTableModel {
  public:
    explicit LookupListModel(kv::controls::LookupList list, QObject* parent = nullptr);
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

  private:
    kv::controls::LookupList list_;
    int rows_;
    int columns_;
};

// The pick list: a filter field over the list's rows under their headings (the rows whose text holds
// what is typed, in any column, without regard to case); Enter or a double click chooses.
class LookupDialog : public QDialog {
  public:
    LookupDialog(const kv::controls::LookupList& list, QWidget* parent = nullptr);
    // The chosen row of the list (not of the filtered view), once accepted.
    std::optional<long> chosenRow() const;
    QTableView* table() const { return table_; }
    QLineEdit* filter() const { return filter_; }
    QDialogButtonBox* buttons() const { return buttons_; }
    LookupListModel* listModel() const { return model_; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    LookupListModel* model_;
    QSortFilterProxyModel* proxy_;
    QLineEdit* filter_;
    QTableView* table_;
    QDialogButtonBox* buttons_;
};

class LookupFieldView : public QWidget {
  public:
    // Shows the list and returns the chosen row (nullopt: nothing chosen).
    using Picker = std::function<std::optional<long>(const kv::controls::LookupList& list, QWidget* parent)>;
    static std::optional<long> ShowDialog(const kv::controls::LookupList& list, QWidget* parent);

    explicit LookupFieldView(std::shared_ptr<kv::controls::LookupField> model, QWidget* parent = nullptr);
    void setPicker(Picker picker) { picker_ = std::move(picker); }
    void setErrorHandler(ErrorHandler handler);
    // What F3 and the button do.
    void openLookup();
    EntryLineEdit* lineEdit() const { return edit_; }
    QToolButton* button() const { return button_; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    std::shared_ptr<kv::controls::LookupField> model_;
    EntryLineEdit* edit_;
    QToolButton* button_;
    Picker picker_ = ShowDialog;
};

}  // namespace kv::qt
