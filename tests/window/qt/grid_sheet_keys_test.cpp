// The spreadsheet keys of the Qt price grids: Ctrl+V pastes the clipboard's block from the current
// cell, Shift+arrows widen the selection, Ctrl+C copies it, Ctrl+Z and Ctrl+Y undo and redo, and
// "Rettifica prezzi" adjusts it.

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QLineEdit>
#include <QTableView>
#include <QTest>
#include <memory>

#include "host/views/data_grid_view.h"
#include "platform/variant/strings.h"
#include "shell/clsmg_quendormixal.h"
#include "support/headless_host.h"
#include "window/frmmg_quendormixal.h"
#include "window/qt/frmmg_quendormixal_form.h"
#include "window/qt/grid_sheet_keys.h"

namespace qmx {
namespace {

class GridSheetKeys : public ::testing::Test {
  protected:
    GridSheetKeys() {
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
        view = form->findChild<kv::qt::DataGridView*>(QStringLiteral("GRD_LISACQ"));
        QApplication::setActiveWindow(form.get());
        view->table()->setFocus();
        QApplication::processEvents();
        prezzo = grid().Columns().IndexOf("LI10_PREZZO");
    }
    ~GridSheetKeys() override {
        form.reset();
        window->Unload();
    }
    kv::controls::DataGrid& grid() { return *window->GRD_LISACQ; }
    std::string Text(long row, long column) { return kv::Trim(grid().CellText(row, column)); }
    void Key(int key, Qt::KeyboardModifiers modifiers) {
        QTest::keyClick(view->table(), static_cast<Qt::Key>(key), modifiers);
        QApplication::processEvents();
    }

    testing::HeadlessHost host{demo::kDittaAbbigliamento};
    std::shared_ptr<CLSMG_QUENDORMIXAL> entry = CLSMG_QUENDORMIXAL::Create();
    std::shared_ptr<FRMMG_QUENDORMIXAL> window = FRMMG_QUENDORMIXAL::Create();
    std::unique_ptr<QWidget> form;
    kv::qt::DataGridView* view = nullptr;
    long prezzo = -1;
};

TEST_F(GridSheetKeys, CtrlVPastesShiftArrowsSelectAndCtrlCCopies) {
    ASSERT_NE(view, nullptr);
    ASSERT_GE(prezzo, 0);
    ASSERT_TRUE(grid().UserMoveTo(8, prezzo));
    QApplication::processEvents();
    QApplication::clipboard()->setText(QStringLiteral("12,5\t10\r\n13.25\t\r\n"));
    Key(Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(Text(8, prezzo), "12,50");
    EXPECT_EQ(Text(8, prezzo + 1), "10");
    EXPECT_EQ(Text(9, prezzo), "13,25");
    EXPECT_TRUE(window->State().changes_pending);
    EXPECT_EQ(view->table()->currentIndex().row(), 8);

    Key(Qt::Key_Down, Qt::ShiftModifier);
    Key(Qt::Key_Right, Qt::ShiftModifier);
    EXPECT_EQ(view->table()->selectionModel()->selectedIndexes().size(), 4);
    Key(Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("12,50\t10\n13,25\t\n"));

    // Ctrl+Z takes the paste back whole; Ctrl+Y and Ctrl+Shift+Z do it again.
    Key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(Text(8, prezzo), "");
    EXPECT_EQ(Text(9, prezzo), "");
    EXPECT_FALSE(window->State().changes_pending);
    Key(Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(Text(9, prezzo), "13,25");
    Key(Qt::Key_Z, Qt::ControlModifier);
    Key(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(Text(8, prezzo + 1), "10");
    EXPECT_TRUE(window->State().changes_pending);
}

TEST_F(GridSheetKeys, RettificaRaisesTheWholeListOfTheCurrentRow) {
    ASSERT_TRUE(grid().UserMoveTo(8, prezzo));
    QApplication::processEvents();
    QApplication::clipboard()->setText(QStringLiteral("10\n\n20\n"));
    Key(Qt::Key_V, Qt::ControlModifier);
    qt::RettificaDialog dialog(QStringLiteral("Prezzo lordo"), 1, 2);
    dialog.variazione()->setText(QStringLiteral("+3%"));
    dialog.tuttoIlListino()->setChecked(true);
    ASSERT_TRUE(qt::ApplyRettifica(*window, view, dialog));
    EXPECT_EQ(Text(8, prezzo), "10,30");
    EXPECT_EQ(Text(9, prezzo), "");
    EXPECT_EQ(Text(10, prezzo), "20,60");
}

}  // namespace
}  // namespace qmx
