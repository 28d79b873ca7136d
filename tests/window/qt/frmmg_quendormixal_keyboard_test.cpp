// Typing prices into the window's Qt form with the keyboard alone: a price, Enter, the next price.

#include <gtest/gtest.h>

#include <QApplication>
#include <QTableView>
#include <QTest>
#include <memory>

#include "host/views/data_grid_view.h"
#include "shell/clsmg_quendormixal.h"
#include "support/headless_host.h"
#include "window/frmmg_quendormixal.h"
#include "window/qt/frmmg_quendormixal_form.h"

namespace qmx {
namespace {

class WindowKeyboard : public ::testing::Test {
  protected:
    WindowKeyboard() {
        host.Fill(*entry);
        entry->SetIsCalled(true);
        entry->SetCodiceArticolo(kv::Variant(demo::kArticoloTipo1));
        window->SetActiveInterface(entry);
        window->SetOwner(entry);
        window->SetWindowState(2);
        form.reset(qt::CreateForm(*window));
        form->resize(1200, 760);
        form->show();
        // The article is the caller's, taken when the window is first activated; the dates complete the
        // key and the grids fill.
        window->Activate();
        for (const auto& [field, date] : {std::pair{window->TXT_DADATA_ACQ, "01/01/2025"},
                                          std::pair{window->TXT_ADATA_ACQ, "31/12/2025"},
                                          std::pair{window->TXT_DADATA_VEN, "01/01/2025"},
                                          std::pair{window->TXT_ADATA_VEN, "31/12/2025"}}) {
            field->UserType(date);
            field->UserLeave();
        }
        QApplication::processEvents();
    }
    ~WindowKeyboard() override {
        form.reset();
        window->Unload();
    }

    // Keys go where a keyboard sends them: to the widget that has the focus.
    static void Type(const QString& text) {
        for (QChar c : text) {
            QTest::keyClick(QApplication::focusWidget(), c.toLatin1());
            QApplication::processEvents();
        }
    }
    static void Enter() {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QApplication::processEvents();
    }

    testing::HeadlessHost host{demo::kDittaAbbigliamento};
    std::shared_ptr<CLSMG_QUENDORMIXAL> entry = CLSMG_QUENDORMIXAL::Create();
    std::shared_ptr<FRMMG_QUENDORMIXAL> window = FRMMG_QUENDORMIXAL::Create();
    std::unique_ptr<QWidget> form;
};

TEST_F(WindowKeyboard, APriceEnterAndTheNextPrice) {
    auto& grid = *window->GRD_LISACQ;
    auto* view = form->findChild<kv::qt::DataGridView*>(QStringLiteral("GRD_LISACQ"));
    ASSERT_NE(view, nullptr);
    const long prezzo = grid.Columns().IndexOf("LI10_PREZZO");
    ASSERT_GE(prezzo, 0);
    ASSERT_LT(prezzo + 1, grid.Columns().Count());
    const std::string successivo = grid.Columns()[prezzo + 1].DataField();
    ASSERT_TRUE(grid.CellEditable(0, prezzo + 1)) << successivo;
    auto matrice = window->VariantiAcquisto()->Recordset();
    ASSERT_GT(grid.RowCount(), 0);

    form->activateWindow();
    QApplication::setActiveWindow(form.get());
    view->table()->setFocus();
    QApplication::processEvents();
    ASSERT_EQ(QApplication::focusWidget(), view->table());
    ASSERT_TRUE(grid.UserMoveTo(0, prezzo));
    QApplication::processEvents();

    Type(QStringLiteral("12,5"));
    Enter();
    EXPECT_EQ(grid.CurrentColumnIndex(), prezzo + 1);
    EXPECT_EQ(view->table()->currentIndex().column(), prezzo + 1);
    Type(QStringLiteral("7"));
    Enter();

    matrice->MoveFirst();
    EXPECT_EQ(kv::CDbl(matrice->Value("LI10_PREZZO")), 12.5);
    EXPECT_EQ(kv::CDbl(matrice->Value(successivo)), 7.0);
    EXPECT_EQ(grid.CurrentColumnIndex(), prezzo + 2);
    EXPECT_TRUE(window->State().changes_pending);
    EXPECT_EQ(window->State().active_price_grid, "ACQ");
}

}  // namespace
}  // namespace qmx
