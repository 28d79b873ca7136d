#pragma once
// The spreadsheet keys of the window's price grids, on their Qt views:
//   Ctrl+V        pastes the clipboard's block from the current cell (IncollaBlocco);
//   Ctrl+C        copies the selected cells as the grid shows them (CopiaBlocco);
//   Shift+arrows  widen the selection from the cell where it started (a mouse drag does too);
//   Ctrl+R        opens "Rettifica prezzi" for the selected rows of the current column;
//   Ctrl+Z        undoes the last change made in the grids, Ctrl+Y (or Ctrl+Shift+Z) redoes it;
//   Ctrl+Shift+E  exports the grid's matrix to a CSV file, Ctrl+Shift+I imports one (a file dialog asks).
// A cell being edited keeps these keys for its own text. The commands themselves are the window's;
// this file only turns keys and the view's selection into their arguments.

#include <QDialog>
#include <vector>

class QCheckBox;
class QFormLayout;
class QVBoxLayout;
class QLineEdit;
class QSpinBox;

namespace kv::qt {
class DataGridView;
}

namespace qmx {
class FRMMG_QUENDORMIXAL;
}

namespace qmx::qt {

void InstallSheetKeys(FRMMG_QUENDORMIXAL& window, kv::qt::DataGridView* view);

// "Rettifica prezzi": the change (a percentage or an amount), whether it covers the whole list of the
// current row, and an optional rounding bracket. Enter applies, Escape closes.
class RettificaDialog : public QDialog {
  public:
    RettificaDialog(const QString& column_caption, long rows, long list, QWidget* parent = nullptr);
    QLineEdit* variazione() const { return variazione_; }
    QCheckBox* tuttoIlListino() const { return listino_; }
    QCheckBox* arrotonda() const { return arrotonda_; }
    QSpinBox* scaglione() const { return scaglione_; }
    // 0 when no rounding bracket was asked for.
    int scaglioneScelto() const;

  private:
    QLineEdit* variazione_;
    QCheckBox* listino_;
    QCheckBox* arrotonda_;
    QSpinBox* scaglione_;
};

// The parts the price dialogs share: the "Arrotonda con lo scaglione" row (a check box that enables the
// bracket's spin box), and the buttons, `conferma` (the default, Enter) and "Annulla" (Escape).
void AggiungiScaglione(QDialog& dialog, QFormLayout& form, QCheckBox*& arrotonda, QSpinBox*& scaglione);
void AggiungiPulsanti(QDialog& dialog, QVBoxLayout& layout, const QString& conferma);

// What Ctrl+R does on a view, without the dialog: exposed so that the flow can be tested.
bool ApplyRettifica(FRMMG_QUENDORMIXAL& window, kv::qt::DataGridView* view, const RettificaDialog& dialog);

}  // namespace qmx::qt
