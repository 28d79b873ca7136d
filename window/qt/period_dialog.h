#pragma once
// "Da periodo": the dialog of the toolbar's key. It lists the stored validity periods of each kind
// (from–to, lists, rows, the latest first), and asks which to take for purchase and for sales (or
// none), the change of the gross price and an optional rounding bracket. Enter copies, Escape goes
// back without a change.

#include <QDialog>
#include <optional>
#include <vector>

#include "window/grid_period.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QSpinBox;

namespace qmx {
class FRMMG_QUENDORMIXAL;
}

namespace qmx::qt {

class PeriodoDialog : public QDialog {
  public:
    PeriodoDialog(const std::vector<PeriodoMemorizzato>& acquisto, const std::vector<PeriodoMemorizzato>& vendita,
                  QWidget* parent = nullptr);
    QComboBox* acquisto() const { return acquisto_; }
    QComboBox* vendita() const { return vendita_; }
    QLineEdit* variazione() const { return variazione_; }
    QCheckBox* arrotonda() const { return arrotonda_; }
    QSpinBox* scaglione() const { return scaglione_; }
    // What is chosen now.
    SceltaPeriodo Scelta() const;

  private:
    std::vector<PeriodoMemorizzato> periodi_acq_, periodi_ven_;
    QComboBox* acquisto_;
    QComboBox* vendita_;
    QLineEdit* variazione_;
    QCheckBox* arrotonda_;
    QSpinBox* scaglione_;
};

// Makes the window ask with the dialog, over `parent`.
void InstallPeriodoDialog(FRMMG_QUENDORMIXAL& window, QWidget* parent);

}  // namespace qmx::qt
