#include "window/qt/frmmg_quendormixal_form.h"

#include <QApplication>
#include <QFont>
#include <QGridLayout>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QVBoxLayout>
#include <vector>

#include "host/services/form_factory.h"
#include "host/views/control_binding.h"
#include "host/views/data_grid_view.h"
#include "host/views/entry_views.h"
#include "host/views/view_factory.h"
#include "window/frmmg_quendormixal.h"
#include "window/qt/grid_sheet_keys.h"
#include "window/qt/period_dialog.h"

namespace qmx::qt {

namespace {

// The form widget keeps the builder, and with it the models whose views it shows.
class Form : public QWidget {
  public:
    explicit Form(QWidget* parent) : QWidget(parent), builder_(this) {}
    kv::qt::FormBuilder& Builder() { return builder_; }

  private:
    kv::qt::FormBuilder builder_;
};

// A price area's heading: a band across the top of its group.
void StyleHeading(QWidget* label) {
    QFont f = label->font();
    f.setBold(true);
    f.setPointSizeF(f.pointSizeF() * 1.1);
    label->setFont(f);
    label->setStyleSheet(QStringLiteral("background-color: #dde6f0; color: #1f3550; padding: 3px 6px;"));
}

// A frame drawn by the layout only: no margins of its own.
template <class L>
L* Tight(L* layout, int spacing = 4) {
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(spacing);
    return layout;
}

// Tab and Enter in the article field. A confirmed article is followed by its validity dates far more
// often than by an option, so both go to the first date the user can type (Shift+Tab from there
// reaches the option), also when the window offers the option field itself (an article of two
// levels): a date typed there would be taken as an option. Where the window went further (to a grid
// it loaded) the focus stays. An article the field did not find keeps the focus on Enter, so the code
// can be corrected; Tab leaves it as usual.
class ArticleKeys : public QObject {
  public:
    ArticleKeys(FRMMG_QUENDORMIXAL& window, kv::qt::LookupFieldView* field, QWidget* option,
                std::vector<QWidget*> dates)
        : QObject(field), window_(window), field_(field), option_(option), dates_(std::move(dates)) {
        field->lineEdit()->installEventFilter(this);
    }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched != field_->lineEdit() || event->type() != QEvent::KeyPress) return false;
        auto* key = static_cast<QKeyEvent*>(event);
        const bool tab = key->key() == Qt::Key_Tab && !(key->modifiers() & ~Qt::KeypadModifier);
        const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
        if (!tab && !enter) return false;
        kv::qt::EntryLineEdit* edit = field_->lineEdit();
        edit->Guard([&] {
            if (enter)
                window_.TXT_CODART->UserConfirm();
            else
                window_.TXT_CODART->UserLeave();
        });
        const bool offered_option = option_ && option_->isAncestorOf(QApplication::focusWidget());
        if (!edit->hasFocus() && !offered_option) return true;  // the window moved on already
        if (window_.TXT_CODART->Valid()) {
            for (QWidget* date : dates_) {
                if (!date->isVisible() || !date->isEnabled()) continue;
                date->setFocus(Qt::TabFocusReason);
                return true;
            }
        }
        if (offered_option) return true;
        return enter;  // Tab from a code not found goes on the usual way
    }

  private:
    FRMMG_QUENDORMIXAL& window_;
    kv::qt::LookupFieldView* field_;
    QWidget* option_;
    std::vector<QWidget*> dates_;
};

}  // namespace

QWidget* CreateForm(FRMMG_QUENDORMIXAL& w, QWidget* parent) {
    auto* form = new Form(parent);
    kv::qt::FormBuilder& b = form->Builder();
    form->setObjectName(QString::fromLatin1(FRMMG_QUENDORMIXAL::kName));

    // Window-level controls: the resize control follows the form, the host container places it.
    b.Add(w.KVR_RESIZEFORM);
    b.Add(w.MDIActiveX1);

    // ---- Header.
    QWidget* toolbar = b.Add(w.INTERNAV);
    QWidget* header_frame = b.Add(w.FME_TESTATA);
    QWidget* head = b.Add(w.GRB_HEAD);
    Tight(new QVBoxLayout(header_frame))->addWidget(head);

    auto* grid = new QGridLayout(head);
    grid->setContentsMargins(8, 6, 8, 6);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(5);
    auto label = [&](const auto& model) {
        QWidget* v = b.Add(model);
        if (auto* l = qobject_cast<QLabel*>(v)) l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        return v;
    };
    grid->addWidget(label(w.TXT_CODART_LBL), 0, 0);
    grid->addWidget(b.Add(w.TXT_CODART), 0, 1);
    // The descriptions are read, not typed: the focus passes them by.
    QWidget* description = b.Add(w.TXT_DESCART);
    description->setFocusPolicy(Qt::NoFocus);
    grid->addWidget(description, 0, 2, 1, 3);
    grid->addWidget(label(w.TXT_OPZIONE_LBL), 1, 0);
    grid->addWidget(b.Add(w.TXT_OPZIONE), 1, 1);
    grid->addWidget(label(w.TXT_VARIANTE_LBL), 1, 2);
    grid->addWidget(b.Add(w.TXT_VARIANTE), 1, 3);
    QWidget* segment = b.Add(w.TXT_DESCSEGMENTO);
    segment->setFocusPolicy(Qt::NoFocus);
    grid->addWidget(segment, 1, 4);
    grid->setColumnStretch(4, 1);
    grid->setColumnMinimumWidth(5, 18);

    // Each date and the combo box that stands in for it share one cell: only one of them shows.
    auto date = [&](const auto& field, const auto& combo, int row, int column) {
        QWidget* f = b.Add(field);
        QWidget* c = b.Add(combo);
        c->setMinimumWidth(f->minimumWidth());
        grid->addWidget(f, row, column);
        grid->addWidget(c, row, column);
    };
    grid->addWidget(label(w.TXT_DADATA_ACQ_LBL), 0, 6);
    date(w.TXT_DADATA_ACQ, w.CBO_DADATA_ACQ, 0, 7);
    grid->addWidget(label(w.TXT_ADATA_ACQ_LBL), 0, 8);
    date(w.TXT_ADATA_ACQ, w.CBO_ADATA_ACQ, 0, 9);
    grid->addWidget(label(w.TXT_DADATA_VEN_LBL), 1, 6);
    date(w.TXT_DADATA_VEN, w.CBO_DADATA_VEN, 1, 7);
    grid->addWidget(label(w.TXT_ADATA_VEN_LBL), 1, 8);
    date(w.TXT_ADATA_VEN, w.CBO_ADATA_VEN, 1, 9);

    // ---- Left panel: the side lists over the copy buttons. Without a side list (one grid level) the
    // buttons stand at the top, next to the rows they copy; the panel is as wide as its content needs.
    QWidget* left = b.Add(w.PIC_LEFT);
    auto* left_layout = Tight(new QVBoxLayout(left));
    for (const auto& side : {w.GRD_SIDE, w.GRD_SIDE1}) {
        QWidget* view = b.Add(side);
        if (auto* list = dynamic_cast<kv::qt::DataGridView*>(view)) list->setFitWidthToColumns(true);
        left_layout->addWidget(view, 1);
    }
    left_layout->addWidget(b.Add(w.CMD_COPIASURIGA));
    left_layout->addWidget(b.Add(w.CMD_COPIASUTUTTERIGHE));
    left_layout->addStretch(0);

    // ---- Price areas: a heading over each grid.
    auto area = [&](const auto& group_model, const auto& heading_model, const auto& grid_model) {
        QWidget* group = b.Add(group_model);
        auto* layout = new QVBoxLayout(group);
        layout->setContentsMargins(4, 4, 4, 4);
        layout->setSpacing(3);
        QWidget* heading = b.Add(heading_model);
        StyleHeading(heading);
        layout->addWidget(heading);
        QWidget* view = b.Add(grid_model);
        layout->addWidget(view, 1);
        InstallSheetKeys(w, dynamic_cast<kv::qt::DataGridView*>(view));
    };
    area(w.GRB_LISACQ, w.LBL_HEADLISACQ, w.GRD_LISACQ);
    area(w.GRB_LISVEN, w.LBL_HEADLISVEN, w.GRD_LISVEN);

    QWidget* body = b.Add(w.SPLITVERTICALE);
    b.Add(w.SPLITORIZZONTALE);
    b.ConnectSplitters();

    // ---- The keyboard: the header in the order it is filled (article, option, dates, then the
    // second-level variant that grid type 2 asks for once the dates are in), then the left panel
    // and the price grids.
    const std::vector<QWidget*> dates = {b.View("TXT_DADATA_ACQ"), b.View("TXT_ADATA_ACQ"), b.View("TXT_DADATA_VEN"),
                                         b.View("TXT_ADATA_VEN")};
    QWidget* previous = nullptr;
    for (const char* name : {"TXT_CODART", "TXT_OPZIONE", "TXT_DADATA_ACQ", "TXT_ADATA_ACQ", "TXT_DADATA_VEN",
                             "TXT_ADATA_VEN", "TXT_VARIANTE", "GRD_SIDE", "GRD_SIDE1", "CMD_COPIASURIGA",
                             "CMD_COPIASUTUTTERIGHE", "GRD_LISACQ", "GRD_LISVEN"}) {
        QWidget* next = b.View(name);
        if (!next) continue;
        if (previous) QWidget::setTabOrder(previous, next);
        previous = next;
    }
    if (auto* article = b.ViewAs<kv::qt::LookupFieldView>("TXT_CODART"))
        new ArticleKeys(w, article, b.View("TXT_OPZIONE"), dates);

    auto* root = new QVBoxLayout(form);
    root->setContentsMargins(4, 2, 4, 4);
    root->setSpacing(4);
    root->addWidget(toolbar);
    root->addWidget(header_frame);
    root->addWidget(body, 1);
    root->addWidget(b.Add(w.BAR_OPERATION));

    form->setWindowTitle(QString::fromStdString(w.Caption()));
    form->resize(kv::qt::TwipsToPixels(w.Width()), kv::qt::TwipsToPixels(w.Height()));
    form->setProperty(kv::qt::kFormWindowStateProperty, static_cast<int>(w.WindowState()));

    InstallPeriodoDialog(w, form);
    w.MDIActiveX1->LoadForm();
    return form;
}

}  // namespace qmx::qt
