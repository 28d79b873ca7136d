#include "window/qt/period_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QSpinBox>
#include <QVBoxLayout>

#include "window/frmmg_quendormixal.h"
#include "window/qt/grid_sheet_keys.h"

namespace qmx::qt {

namespace {

// A list of periods; "(nessuno)" first when there are some, so the kind may be left as it is. The
// latest period is proposed for the purchase side, and for the sales side only when there is no
// purchase one: a user who wants both picks the second on purpose.
QComboBox* ListaPeriodi(const std::vector<PeriodoMemorizzato>& periodi, bool proponi, QWidget* parent) {
    auto* combo = new QComboBox(parent);
    combo->addItem(QStringLiteral("(nessuno)"));
    for (const auto& p : periodi) combo->addItem(QString::fromStdString(DescriviPeriodo(p)));
    combo->setEnabled(!periodi.empty());
    if (proponi && !periodi.empty()) combo->setCurrentIndex(1);
    combo->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    return combo;
}

}  // namespace

PeriodoDialog::PeriodoDialog(const std::vector<PeriodoMemorizzato>& acquisto,
                             const std::vector<PeriodoMemorizzato>& vendita, QWidget* parent)
    : QDialog(parent), periodi_acq_(acquisto), periodi_ven_(vendita) {
    setWindowTitle(QStringLiteral("Da periodo"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Copia nel periodo a video i prezzi di un periodo memorizzato.\n"
                                                "Le modifiche restano da confermare con \"Conferma\"."),
                                 this));
    auto* form = new QFormLayout();
    acquisto_ = ListaPeriodi(acquisto, true, this);
    vendita_ = ListaPeriodi(vendita, acquisto.empty(), this);
    auto riga = [&](const QString& testo, QWidget* campo) {
        auto* label = new QLabel(testo, this);
        label->setBuddy(campo);
        form->addRow(label, campo);
    };
    riga(QStringLiteral("Listini di a&cquisto:"), acquisto_);
    riga(QStringLiteral("Listini di &vendita:"), vendita_);
    variazione_ = new QLineEdit(this);
    variazione_->setPlaceholderText(QStringLiteral("+5% oppure -0,50 (vuoto: nessuna)"));
    riga(QStringLiteral("Varia&zione del prezzo lordo:"), variazione_);
    AggiungiScaglione(*this, *form, arrotonda_, scaglione_);
    layout->addLayout(form);
    AggiungiPulsanti(*this, *layout, QStringLiteral("C&opia"));
    (acquisto.empty() ? vendita_ : acquisto_)->setFocus();
}

SceltaPeriodo PeriodoDialog::Scelta() const {
    SceltaPeriodo s;
    if (acquisto_->currentIndex() > 0) s.acquisto = periodi_acq_[static_cast<std::size_t>(acquisto_->currentIndex() - 1)];
    if (vendita_->currentIndex() > 0) s.vendita = periodi_ven_[static_cast<std::size_t>(vendita_->currentIndex() - 1)];
    s.variazione = variazione_->text().toStdString();
    s.scaglione = static_cast<int16_t>(arrotonda_->isChecked() ? scaglione_->value() : 0);
    return s;
}

void InstallPeriodoDialog(FRMMG_QUENDORMIXAL& window, QWidget* parent) {
    QPointer<QWidget> over(parent);
    window.scegli_periodo = [over](const std::vector<PeriodoMemorizzato>& acquisto,
                                   const std::vector<PeriodoMemorizzato>& vendita) -> std::optional<SceltaPeriodo> {
        PeriodoDialog dialog(acquisto, vendita, over.data());
        if (dialog.exec() != QDialog::Accepted) return std::nullopt;
        return dialog.Scelta();
    };
}

}  // namespace qmx::qt
