// What a user sees of the window in erp-host's frame of 1280 x 800 (and in the modal window's size), for
// an article of each grid type on the demo data: every caption and every cell of the first screen is
// whole, every control the flow needs is there to be used, and the save preview and the error display
// of a refused save fit the screen with their buttons.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QScreen>
#include <QStyle>
#include <QTableView>
#include <QToolButton>
#include <memory>
#include <string>
#include <vector>

#include "host/app/host_main_window.h"
#include "host/app/host_settings.h"
#include "host/app/script_desk.h"
#include "host/services/qt_dialogs.h"
#include "host/views/bar_views.h"
#include "host/views/data_grid_view.h"
#include "shell/clsmg_quendormixal.h"
#include "support/headless_host.h"
#include "window/frmmg_quendormixal.h"
#include "window/qt/frmmg_quendormixal_form.h"
#include "window/save_preview.h"

namespace qmx {
namespace {

struct Article;
void PrintTo(const Article& a, std::ostream* os);

struct Article {
    int company;
    const char* code;
    const char* year;
    const char* variant;  // typed in the variant field (grid type 2), or null
    int grid_type;
};

void PrintTo(const Article& a, std::ostream* os) { *os << a.code; }

void Settle() {
    for (int i = 0; i < 6; ++i) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }
}

class WindowOnScreen : public ::testing::TestWithParam<Article> {
  protected:
    WindowOnScreen() : host(GetParam().company) {
        host.Fill(*entry);
        window->SetActiveInterface(entry);
        window->SetOwner(entry);
        window->SetWindowState(2);
        frame.setAttribute(Qt::WA_DontShowOnScreen);
        frame.resize(1280, 800);
        frame.show();
        auto* sub = new QMdiSubWindow;
        form = qt::CreateForm(*window, sub);
        sub->setWidget(form);
        frame.Area()->addSubWindow(sub);
        sub->showMaximized();
        for (QWidget* child : form->findChildren<QWidget*>())
            if (auto* grid = dynamic_cast<kv::qt::DataGridView*>(child)) grid->setSyncInterval(0);
        Settle();
    }
    ~WindowOnScreen() override {
        for (QMdiSubWindow* sub : frame.Area()->subWindowList()) delete sub;
        window->Unload();
    }

    void Type(kv::controls::EntryField& field, const std::string& text) {
        ASSERT_TRUE(field.UserType(text)) << field.Name();
        field.UserLeave();
    }
    void LoadArticle() {
        const Article& a = GetParam();
        Type(*window->TXT_CODART, a.code);
        const std::string first = std::string("01/01/") + a.year, last = std::string("31/12/") + a.year;
        Type(*window->TXT_DADATA_ACQ, first);
        Type(*window->TXT_ADATA_ACQ, last);
        Type(*window->TXT_DADATA_VEN, first);
        Type(*window->TXT_ADATA_VEN, last);
        if (a.variant) Type(*window->TXT_VARIANTE, a.variant);
        Settle();
        ASSERT_EQ(window->State().grid_type, a.grid_type);
        ASSERT_GT(window->GRD_LISACQ->RowCount(), 0);
    }
    QWidget* View(const char* name) const { return form->findChild<QWidget*>(QString::fromLatin1(name)); }
    kv::qt::DataGridView* Grid(const char* name) const { return dynamic_cast<kv::qt::DataGridView*>(View(name)); }

    // Each visible caption and each cell on the first screen is narrower than its column.
    static void ExpectWhole(kv::qt::DataGridView* view, const char* name) {
        SCOPED_TRACE(name);
        QTableView* table = view->table();
        QHeaderView* header = table->horizontalHeader();
        QFont bold = header->font();
        bold.setBold(true);
        const QFontMetrics captions(bold);
        const QFontMetrics cells(table->font());
        const int margin = 2 * (table->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, table) + 1);
        auto* model = table->model();
        const int last_row = table->rowAt(table->viewport()->height() - 1) < 0
                                 ? model->rowCount() - 1
                                 : table->rowAt(table->viewport()->height() - 1);
        for (int c = 0; c < model->columnCount(); ++c) {
            if (table->isColumnHidden(c) || table->columnViewportPosition(c) >= table->viewport()->width()) continue;
            const QString caption = model->headerData(c, Qt::Horizontal).toString();
            EXPECT_LE(captions.horizontalAdvance(caption) + margin, header->sectionSize(c))
                << "caption " << caption.toStdString();
            for (int r = std::max(0, table->rowAt(0)); r <= last_row; ++r) {
                const QString text = model->data(model->index(r, c)).toString();
                EXPECT_LE(cells.horizontalAdvance(text) + margin, table->columnWidth(c))
                    << "row " << r << " column " << caption.toStdString() << ": " << text.toStdString();
            }
        }
    }

    // The control can be used: it and its containers shown and enabled, its middle on screen.
    void ExpectReachable(const char* name) {
        QWidget* v = View(name);
        ASSERT_NE(v, nullptr) << name;
        EXPECT_EQ(kv::host::ScriptDesk::Judge(&frame, v, name), "");
    }

    // A dialog fits inside the frame with all its buttons.
    void ExpectFits(QDialog& dialog, const char* what) {
        SCOPED_TRACE(what);
        dialog.setAttribute(Qt::WA_DontShowOnScreen);
        dialog.show();
        Settle();
        EXPECT_LE(dialog.frameGeometry().height(), frame.height());
        EXPECT_LE(dialog.frameGeometry().width(), frame.width());
        for (QAbstractButton* b : dialog.findChildren<QAbstractButton*>()) {
            if (!b->isVisible()) continue;
            const QRect where(b->mapTo(&dialog, QPoint(0, 0)), b->size());
            EXPECT_TRUE(dialog.rect().contains(where)) << b->text().toStdString();
        }
    }

    testing::HeadlessHost host;
    std::shared_ptr<CLSMG_QUENDORMIXAL> entry = CLSMG_QUENDORMIXAL::Create();
    std::shared_ptr<FRMMG_QUENDORMIXAL> window = FRMMG_QUENDORMIXAL::Create();
    kv::host::HostMainWindow frame{kv::host::HostSettings{}, QString(), false};
    QWidget* form = nullptr;
};

TEST_P(WindowOnScreen, CaptionsAndTheFirstScreensCellsAreWhole) {
    LoadArticle();
    // The header's texts: the article's description, the dates.
    EXPECT_FALSE(window->TXT_DESCART->Text().empty());
    for (const char* field : {"TXT_DESCART", "TXT_DADATA_ACQ", "TXT_ADATA_ACQ", "TXT_DADATA_VEN", "TXT_ADATA_VEN"}) {
        auto* edit = qobject_cast<QLineEdit*>(View(field));
        if (!edit) edit = View(field)->findChild<QLineEdit*>();
        ASSERT_NE(edit, nullptr) << field;
        EXPECT_LE(edit->fontMetrics().horizontalAdvance(edit->text()), edit->contentsRect().width() - 4) << field;
    }
    ExpectWhole(Grid("GRD_LISACQ"), "GRD_LISACQ");
    ExpectWhole(Grid("GRD_LISVEN"), "GRD_LISVEN");
    if (View("GRD_SIDE")->isVisible()) ExpectWhole(Grid("GRD_SIDE"), "GRD_SIDE");
    if (View("GRD_SIDE1")->isVisible()) ExpectWhole(Grid("GRD_SIDE1"), "GRD_SIDE1");
    // Every toolbar button is on the bar, none pushed into an overflow menu.
    auto* bar = dynamic_cast<kv::qt::ToolbarView*>(View("INTERNAV"));
    ASSERT_NE(bar, nullptr);
    for (QAction* a : bar->actions()) {
        if (!a->isVisible()) continue;
        QWidget* button = bar->widgetForAction(a);
        ASSERT_NE(button, nullptr) << a->text().toStdString();
        // A button disabled for this grid type ("Margine %" in type 4) is on the bar all the same.
        if (!a->isEnabled()) {
            EXPECT_TRUE(button->isVisible()) << a->text().toStdString();
            continue;
        }
        EXPECT_EQ(kv::host::ScriptDesk::Judge(&frame, button, a->text().toStdString()), "");
    }
}

TEST_P(WindowOnScreen, TheControlsOfTheFlowAreThereToUse) {
    ExpectReachable("TXT_CODART");
    for (const char* date : {"TXT_DADATA_ACQ", "TXT_ADATA_ACQ", "TXT_DADATA_VEN", "TXT_ADATA_VEN"}) ExpectReachable(date);
    LoadArticle();
    std::vector<const char*> needed = {"GRD_LISACQ", "GRD_LISVEN", "CMD_COPIASURIGA", "CMD_COPIASUTUTTERIGHE", "INTERNAV"};
    if (GetParam().grid_type == 2) needed.push_back("TXT_VARIANTE");
    if (GetParam().grid_type >= 2) needed.push_back("GRD_SIDE");
    if (GetParam().grid_type == 4) needed.push_back("GRD_SIDE1");
    for (const char* name : needed) ExpectReachable(name);

    // The same in the modal window's designed size.
    frame.resize(kv::qt::TwipsToPixels(12000), kv::qt::TwipsToPixels(7410) + 80);
    Settle();
    for (const char* name : needed) ExpectReachable(name);
}

TEST_P(WindowOnScreen, TheSavePreviewAndTheErrorOfARefusedSaveFitTheScreen) {
    LoadArticle();
    // Prices for every row of the first editable column, so the preview is as long as it gets.
    auto& grid = *window->GRD_LISACQ;
    long column = -1;
    for (long c = 0; c < grid.Columns().Count() && column < 0; ++c)
        if (grid.CellEditable(0, c)) column = c;
    ASSERT_GE(column, 0);
    for (long r = 0; r < grid.RowCount(); ++r) ASSERT_TRUE(grid.UserEditCell(r, column, "99").accepted);
    const std::string preview =
        TestoAnteprima(AnteprimaDi(*window->VariantiAcquisto()), AnteprimaDi(*window->VariantiVendita()));
    auto box = kv::qt::BuildMessageBox(QString::fromStdString(preview), 36, QStringLiteral("Anteprima del salvataggio"),
                                       &frame);
    ExpectFits(*box, "preview");

    // The database refuses the save: the window reports it through the error display.
    host.session->Execute(
        "CREATE TRIGGER NO_99 BEFORE INSERT ON LI10_LISTARTIC WHEN NEW.LI10_PREZZO = 99 "
        "BEGIN SELECT RAISE(ABORT, 'listino bloccato dal responsabile degli acquisti'); END");
    host.session->Execute(
        "CREATE TRIGGER NO_99_U BEFORE UPDATE ON LI10_LISTARTIC WHEN NEW.LI10_PREZZO = 99 "
        "BEGIN SELECT RAISE(ABORT, 'listino bloccato dal responsabile degli acquisti'); END");
    host.global->ScriptedMessages()->QueueAnswers({6, 6});  // an overlap warning, if any, goes on
    host.Errors().SetDefaultAnswer(3);
    window->INTERNAV->UserClick("CONFERMA");
    ASSERT_FALSE(host.Errors().Reports().empty());
    kv::qt::ErrorDialog dialog(host.Errors().Reports().back().report, &frame);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Creazione veloce listini in griglia"));
    ExpectFits(dialog, "error display");
    dialog.detailsButton()->click();
    Settle();
    EXPECT_TRUE(dialog.details()->toPlainText().contains(QStringLiteral("listino bloccato")));
    ExpectFits(dialog, "error display with its detail");
}

INSTANTIATE_TEST_SUITE_P(
    GridTypes, WindowOnScreen,
    ::testing::Values(Article{demo::kDittaAbbigliamento, demo::kArticoloTipo1, "2025", nullptr, 1},
                      Article{demo::kDittaCalzature, demo::kArticoloTipo2, "2025", "41", 2},
                      Article{demo::kDittaTessuti, demo::kArticoloTipo3, "2025", nullptr, 3},
                      Article{demo::kDittaAbbigliamento, demo::kArticoloTipo4, "2026", nullptr, 4}),
    [](const ::testing::TestParamInfo<Article>& info) { return "Tipo" + std::to_string(info.param.grid_type); });

}  // namespace
}  // namespace qmx
