#include "window/qt/grid_sheet_keys.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>
#include <set>

#include "host/views/data_grid_view.h"
#include "window/frmmg_quendormixal.h"
#include "window/frmmg_quendormixal_sheet.h"

namespace qmx::qt {

namespace {

// The selected rectangle of the view; the current cell when nothing is selected.
CellRange SelectedRange(QTableView* table) {
    const QModelIndexList selected = table->selectionModel()->selectedIndexes();
    const QModelIndex current = table->currentIndex();
    CellRange range{current.row(), current.column(), current.row(), current.column()};
    if (selected.isEmpty()) return range;
    range = {selected.front().row(), selected.front().column(), selected.front().row(), selected.front().column()};
    for (const QModelIndex& i : selected) {
        range.first_row = std::min<long>(range.first_row, i.row());
        range.last_row = std::max<long>(range.last_row, i.row());
        range.first_column = std::min<long>(range.first_column, i.column());
        range.last_column = std::max<long>(range.last_column, i.column());
    }
    return range;
}

// The list number ("N.") of a grid row; 0 when the grid has no such column.
long ListOfRow(const kv::controls::DataGrid& grid, long row) {
    const long column = grid.Columns().IndexOf("LI10_NUMLIST");
    if (column < 0 || row < 0) return 0;
    const kv::Variant v = grid.CellValue(row, column);
    return v.IsNull() || v.IsEmpty() ? 0 : kv::CLng(v);
}

class SheetKeys : public QObject {
  public:
    SheetKeys(FRMMG_QUENDORMIXAL& window, kv::qt::DataGridView* view)
        : QObject(view), window_(window), view_(view), table_(view->table()) {}

    bool eventFilter(QObject* watched, QEvent* event) override {
        // The table is recognised by its address alone, and nothing is asked of it or of the view before
        // the event is a key: while they are destroyed the table still sends events here, and neither is
        // a table view or a grid view any more.
        // An open cell editor has the focus and gets its keys itself: the table sees none of them.
        if (watched != table_) return false;
        if (event->type() != QEvent::KeyPress && event->type() != QEvent::ShortcutOverride) return false;
        QTableView* table = view_->table();
        auto* key = static_cast<QKeyEvent*>(event);
        const bool csv = key->modifiers() == (Qt::ControlModifier | Qt::ShiftModifier) &&
                         (key->key() == Qt::Key_E || key->key() == Qt::Key_I);
        // Ctrl+Z undoes the last change; Ctrl+Y and Ctrl+Shift+Z redo it.
        const bool annulla = key->key() == Qt::Key_Z && key->modifiers() == Qt::ControlModifier;
        const bool ripeti = (key->key() == Qt::Key_Y && key->modifiers() == Qt::ControlModifier) ||
                            (key->key() == Qt::Key_Z && key->modifiers() == (Qt::ControlModifier | Qt::ShiftModifier));
        const bool ours = annulla || ripeti || key->matches(QKeySequence::Paste) || key->matches(QKeySequence::Copy) ||
                          (key->key() == Qt::Key_R && key->modifiers() == Qt::ControlModifier) || csv ||
                          ShiftArrow(*key);
        if (!ours) {
            // Any other key ends the selection by keys; the modifier keys themselves do not.
            const int k = key->key();
            const bool modifier = k == Qt::Key_Shift || k == Qt::Key_Control || k == Qt::Key_Alt || k == Qt::Key_Meta;
            if (event->type() == QEvent::KeyPress && !modifier) anchor_ = QModelIndex();
            return false;
        }
        if (event->type() == QEvent::ShortcutOverride) {
            // The grid takes these keys before any shortcut of the window does.
            event->accept();
            return true;
        }
        if (annulla) {
            window_.AnnullaUltimaModifica();
        } else if (ripeti) {
            window_.RipetiModifica();
        } else if (key->matches(QKeySequence::Paste)) {
            IncollaBlocco(window_, view_->model(), QApplication::clipboard()->text().toStdString());
        } else if (key->matches(QKeySequence::Copy)) {
            QApplication::clipboard()->setText(
                QString::fromStdString(CopiaBlocco(view_->model(), SelectedRange(table))));
        } else if (csv) {
            Csv(key->key() == Qt::Key_E);
        } else if (key->key() == Qt::Key_R) {
            Rettifica();
        } else {
            ExtendSelection(*key);
        }
        return true;
    }

  private:
    static bool ShiftArrow(const QKeyEvent& key) {
        if (key.modifiers() != Qt::ShiftModifier) return false;
        const int k = key.key();
        return k == Qt::Key_Up || k == Qt::Key_Down || k == Qt::Key_Left || k == Qt::Key_Right;
    }

    void ExtendSelection(const QKeyEvent& key) {
        QTableView* table = view_->table();
        const QModelIndex current = table->currentIndex();
        if (!current.isValid()) return;
        if (!anchor_.isValid()) anchor_ = current;
        int row = current.row();
        int column = current.column();
        switch (key.key()) {
            case Qt::Key_Up: --row; break;
            case Qt::Key_Down: ++row; break;
            case Qt::Key_Left: --column; break;
            default: ++column; break;
        }
        auto* model = table->model();
        row = std::clamp(row, 0, model->rowCount() - 1);
        column = std::clamp(column, 0, model->columnCount() - 1);
        const QModelIndex next = model->index(row, column);
        // The current cell moves (and with it the grid's), the selection spans anchor to it.
        table->selectionModel()->setCurrentIndex(next, QItemSelectionModel::NoUpdate);
        table->selectionModel()->select(QItemSelection(anchor_, next), QItemSelectionModel::ClearAndSelect);
    }

    void Csv(bool esporta) {
        const bool acquisto = view_->model().Name() == "GRD_LISACQ";
        const QString filtro = QStringLiteral("File CSV (*.csv);;Tutti i file (*)");
        const QString path =
            esporta ? QFileDialog::getSaveFileName(view_, QStringLiteral("Esporta i listini in CSV"), QString(), filtro)
                    : QFileDialog::getOpenFileName(view_, QStringLiteral("Importa i listini da CSV"), QString(), filtro);
        if (path.isEmpty()) return;
        if (esporta) {
            EsportaCsv(window_, acquisto, path.toStdString());
        } else {
            ImportaCsv(window_, acquisto, path.toStdString());
        }
    }

    void Rettifica() {
        QTableView* table = view_->table();
        auto& grid = view_->model();
        const long column = grid.CurrentColumnIndex();
        if (column < 0 || grid.CurrentRow() < 0) return;
        std::set<long> rows;
        for (const QModelIndex& i : table->selectionModel()->selectedIndexes()) rows.insert(i.row());
        if (rows.empty()) rows.insert(grid.CurrentRow());
        RettificaDialog dialog(QString::fromStdString(grid.Columns()[column].Caption()), static_cast<long>(rows.size()),
                               ListOfRow(grid, grid.CurrentRow()), view_);
        if (dialog.exec() == QDialog::Accepted) ApplyRettifica(window_, view_, dialog);
    }

    FRMMG_QUENDORMIXAL& window_;
    kv::qt::DataGridView* view_;
    const QObject* table_;  // the table the filter is installed on, only compared
    QModelIndex anchor_;
};

}  // namespace

void InstallSheetKeys(FRMMG_QUENDORMIXAL& window, kv::qt::DataGridView* view) {
    if (!view) return;
    view->table()->setSelectionMode(QAbstractItemView::ContiguousSelection);
    view->table()->installEventFilter(new SheetKeys(window, view));
}

RettificaDialog::RettificaDialog(const QString& column_caption, long rows, long list, QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(QStringLiteral("Rettifica prezzi"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Colonna \"%1\": %2 %3 selezionate.")
                                     .arg(column_caption)
                                     .arg(rows)
                                     .arg(rows == 1 ? QStringLiteral("riga") : QStringLiteral("righe")),
                                 this));
    auto* form = new QFormLayout();
    variazione_ = new QLineEdit(this);
    variazione_->setPlaceholderText(QStringLiteral("+3% oppure -0,50"));
    auto* label = new QLabel(QStringLiteral("&Variazione:"), this);
    label->setBuddy(variazione_);
    form->addRow(label, variazione_);
    listino_ = new QCheckBox(QStringLiteral("Tutte le righe del &listino %1").arg(list), this);
    listino_->setEnabled(list > 0);
    form->addRow(QString(), listino_);
    AggiungiScaglione(*this, *form, arrotonda_, scaglione_);
    layout->addLayout(form);
    AggiungiPulsanti(*this, *layout, QStringLiteral("A&pplica"));
    variazione_->setFocus();
}

void AggiungiScaglione(QDialog& dialog, QFormLayout& form, QCheckBox*& arrotonda, QSpinBox*& scaglione) {
    arrotonda = new QCheckBox(QStringLiteral("&Arrotonda con lo scaglione"), &dialog);
    scaglione = new QSpinBox(&dialog);
    scaglione->setRange(1, 32767);
    scaglione->setEnabled(false);
    QObject::connect(arrotonda, &QCheckBox::toggled, scaglione, &QWidget::setEnabled);
    form.addRow(arrotonda, scaglione);
}

void AggiungiPulsanti(QDialog& dialog, QVBoxLayout& layout, const QString& conferma) {
    auto* buttons = new QDialogButtonBox(&dialog);
    QPushButton* avanti = buttons->addButton(conferma, QDialogButtonBox::AcceptRole);
    buttons->addButton(QStringLiteral("Annulla"), QDialogButtonBox::RejectRole);
    avanti->setDefault(true);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout.addWidget(buttons);
}

int RettificaDialog::scaglioneScelto() const { return arrotonda_->isChecked() ? scaglione_->value() : 0; }

bool ApplyRettifica(FRMMG_QUENDORMIXAL& window, kv::qt::DataGridView* view, const RettificaDialog& dialog) {
    auto& grid = view->model();
    const long column = grid.CurrentColumnIndex();
    std::vector<long> rows;
    if (dialog.tuttoIlListino()->isChecked()) {
        rows = RigheListino(grid, ListOfRow(grid, grid.CurrentRow()));
    } else {
        std::set<long> selected;
        for (const QModelIndex& i : view->table()->selectionModel()->selectedIndexes()) selected.insert(i.row());
        if (selected.empty() && grid.CurrentRow() >= 0) selected.insert(grid.CurrentRow());
        rows.assign(selected.begin(), selected.end());
    }
    return RettificaPrezzi(window, grid, rows, column, dialog.variazione()->text().toStdString(),
                           static_cast<int16_t>(dialog.scaglioneScelto()));
}

}  // namespace qmx::qt
