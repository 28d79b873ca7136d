#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QTableView>
#include <QVBoxLayout>
#include <QtTest/QTest>
#include <string>
#include <vector>

#include "host/views/data_grid_view.h"
#include "host/views/grid_table_model.h"
#include "platform/controls/keys.h"

namespace kv::qt {
namespace {

using kv::controls::DataGrid;

Decimal Dec(const char* text) { return *Decimal::Parse(text); }

ado::RecordsetPtr MakeMatrix() {
    auto rs = ado::Recordset::Create();
    rs->SetCursorLocation(ado::adUseClient);
    rs->SetLockType(ado::adLockBatchOptimistic);
    auto f = rs->GetFields();
    f.Append("LI10_NUMLIST", ado::adInteger);
    f.Append("BLT_OPZIONE1", ado::adChar, 6);
    f.Append("LI10_PREZZO", ado::adDecimal, 0, ado::adFldIsNullable);
    f.Append("LI10_SC1PER", ado::adDecimal, 0, ado::adFldIsNullable);
    rs->Open();
    int list = 1;
    for (const char* option : {"ROSSO", "BLU", "VERDE", "NERO"}) {
        rs->AddNew();
        rs->SetValue("LI10_NUMLIST", int32_t{list++});
        rs->SetValue("BLT_OPZIONE1", option);
        rs->SetValue("LI10_PREZZO", Dec("10.5"));
        rs->Update();
    }
    rs->MoveFirst();
    return rs;
}

std::shared_ptr<DataGrid> MakeGrid(const ado::RecordsetPtr& rs) {
    auto g = std::make_shared<DataGrid>("GRD_LISACQ");
    g->ClearInit();
    g->INIT_ADDColumn("LI10_NUMLIST", "N.", 12, 230);
    g->INIT_ADDColumn("BLT_OPZIONE1", "Colore", 1, 1000);
    g->INIT_ADDColumn("LI10_PREZZO", "Prezzo lordo", 1, 1800);
    g->INIT_ADDColumn("LI10_SC1PER", "Sc.%1", 1, 570, Variant(true));
    g->InitializeSTART();
    g->SetEnableEditing(true);
    g->MODCOL_Editing("LI10_PREZZO", 1);
    g->MODCOL_ClassFormat("LI10_PREZZO", 5, 2, "EURO");
    g->MODCOL_Editing("LI10_SC1PER", 1);
    g->InitializeEND();
    g->SetDataSource(rs);
    return g;
}

// Counts what QAbstractItemModelTester reports in its warning mode.
int g_tester_failures = 0;
void CountTesterFailures(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (type != QtDebugMsg && QByteArray(context.category ? context.category : "").contains("modeltest")) {
        ++g_tester_failures;
        ADD_FAILURE() << message.toStdString();
    }
}

TEST(GridTableModel, PassesTheModelTesterThroughFiltersEditsAndRebinding) {
    auto rs = MakeMatrix();
    auto grid = MakeGrid(rs);
    GridTableModel model(grid);
    g_tester_failures = 0;
    QtMessageHandler previous = qInstallMessageHandler(CountTesterFailures);
    {
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Warning);
        EXPECT_EQ(model.rowCount(), 4);
        EXPECT_EQ(model.columnCount(), 4);
        EXPECT_EQ(model.headerData(2, Qt::Horizontal).toString(), QStringLiteral("Prezzo lordo"));
        EXPECT_EQ(model.data(model.index(0, 2)).toString(), QStringLiteral("10,50"));
        EXPECT_EQ(model.data(model.index(0, 2), Qt::EditRole).toString(), QStringLiteral("10,5"));
        EXPECT_EQ(model.data(model.index(0, 1)).toString(), QStringLiteral("ROSSO"));
        EXPECT_TRUE(model.flags(model.index(0, 2)) & Qt::ItemIsEditable);
        EXPECT_FALSE(model.flags(model.index(0, 1)) & Qt::ItemIsEditable);
        EXPECT_EQ(model.data(model.index(0, 2), Qt::TextAlignmentRole).toInt() & Qt::AlignRight,
                  int(Qt::AlignRight));

        rs->SetFilter("LI10_NUMLIST > 2");
        grid->SyncWithDataSource();
        EXPECT_EQ(model.rowCount(), 2);
        EXPECT_TRUE(model.setData(model.index(1, 2), QStringLiteral("7")));
        EXPECT_FALSE(model.setData(model.index(1, 2), QStringLiteral("sette")));
        grid->SetDataSource(nullptr);
        EXPECT_EQ(model.rowCount(), 0);
        rs->SetFilter(Variant(int16_t{0}));
        grid->SetDataSource(rs);
        EXPECT_EQ(model.rowCount(), 4);
        grid->SetToolTipText("Listino 1 - Base");
        EXPECT_EQ(model.data(model.index(0, 0), Qt::ToolTipRole).toString(),
                  QStringLiteral("Listino 1 - Base"));
        grid->ClearInit();
        EXPECT_EQ(model.columnCount(), 0);
    }
    qInstallMessageHandler(previous);
    EXPECT_EQ(g_tester_failures, 0);
}

struct GridViewFixture : ::testing::Test {
    GridViewFixture() {
        view.resize(600, 300);
        view.show();
        view.setSyncInterval(0);  // the tests sync by hand
        QApplication::processEvents();
    }
    ~GridViewFixture() override { view.close(); }

    // Opens the editor on a cell, types `text` and presses Enter, as a person does.
    void TypeInto(int row, int column, const QString& text) {
        QTableView* table = view.table();
        const QModelIndex idx = table->model()->index(row, column);
        table->setCurrentIndex(idx);
        table->edit(idx);
        QApplication::processEvents();
        auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
        ASSERT_NE(editor, nullptr);
        editor->selectAll();
        QTest::keyClicks(editor, text);
        QTest::keyClick(editor, Qt::Key_Return);
        QApplication::processEvents();
    }

    ado::RecordsetPtr rs = MakeMatrix();
    std::shared_ptr<DataGrid> grid = MakeGrid(rs);
    DataGridView view{grid};
};

TEST_F(GridViewFixture, AnEditThroughTheViewReachesTheRecordsetAndEnterMovesToTheNextColumn) {
    std::vector<std::string> events;
    auto s1 = grid->Event66.Connect([&](const controls::GridEdit&, long) { events.push_back("66"); });
    auto s2 = grid->OnEdited.Connect([&](const controls::GridEdit&) { events.push_back("OnEdited"); });
    auto s3 = grid->KeyDown.Connect([&](int16_t& code, int16_t) {
        if (code == controls::keys::kReturn) events.push_back("KeyDown Enter");
    });
    TypeInto(1, 2, QStringLiteral("1234,5"));
    rs->SetAbsolutePosition(2);
    EXPECT_EQ(rs->Value("LI10_PREZZO"), Variant(Dec("1234.5")));
    EXPECT_EQ(view.table()->model()->data(view.table()->model()->index(1, 2)).toString(),
              QStringLiteral("1.234,50"));
    EXPECT_EQ(events, (std::vector<std::string>{"66", "OnEdited", "KeyDown Enter"}));
    EXPECT_EQ(grid->CurrentColumnIndex(), 3);
    EXPECT_EQ(view.table()->currentIndex().column(), 3);
    EXPECT_FALSE(view.messageLabel()->isVisible());
}

// A price that does not read (letters, a dot where the comma goes) is refused with a message naming
// it; the old value stays, the editor opens again on the cell with the text typed, and a correction saves.
TEST_F(GridViewFixture, APriceThatDoesNotReadIsRefusedAndTheEditorKeepsTheText) {
    for (const char* typed : {"abc", "12.5"}) {
        SCOPED_TRACE(typed);
        TypeInto(0, 2, QString::fromUtf8(typed));
        EXPECT_EQ(rs->Value("LI10_PREZZO"), Variant(Dec("10.5")));
        EXPECT_EQ(view.table()->model()->data(view.table()->model()->index(0, 2)).toString(),
                  QStringLiteral("10,50"));
        EXPECT_TRUE(view.messageLabel()->isVisible());
        EXPECT_TRUE(view.messageLabel()->text().contains(QStringLiteral("\"%1\"").arg(QString::fromUtf8(typed))))
            << view.messageLabel()->text().toStdString();
        EXPECT_EQ(grid->CurrentColumnIndex(), 2);  // a refused edit does not move on
        auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
        ASSERT_NE(editor, nullptr);
        EXPECT_EQ(editor->text(), QString::fromUtf8(typed));
        EXPECT_EQ(view.table()->currentIndex(), view.table()->model()->index(0, 2));
        editor->setText(QStringLiteral("10,5"));
        QTest::keyClick(editor, Qt::Key_Return);
        QApplication::processEvents();
        EXPECT_FALSE(view.messageLabel()->isVisible());
    }
    TypeInto(0, 2, QStringLiteral("12,5"));
    EXPECT_EQ(rs->Value("LI10_PREZZO"), Variant(Dec("12.5")));
}

TEST_F(GridViewFixture, TheKeypadDecimalKeyTypesTheRegionalSeparator) {
    QTableView* table = view.table();
    const QModelIndex idx = table->model()->index(1, 2);
    table->setCurrentIndex(idx);
    table->edit(idx);
    QApplication::processEvents();
    auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    ASSERT_NE(editor, nullptr);
    editor->selectAll();
    QTest::keyClick(editor, Qt::Key_7, Qt::KeypadModifier);
    QTest::keyClick(editor, Qt::Key_Period, Qt::KeypadModifier);
    QTest::keyClick(editor, Qt::Key_5, Qt::KeypadModifier);
    EXPECT_EQ(editor->text(), QStringLiteral("7,5"));
    QTest::keyClick(editor, Qt::Key_Enter, Qt::KeypadModifier);
    QApplication::processEvents();
    rs->SetAbsolutePosition(2);
    EXPECT_EQ(rs->Value("LI10_PREZZO"), Variant(Dec("7.5")));
}

TEST_F(GridViewFixture, F3InAnOpenCellReachesTheGrid) {
    std::vector<int> seen;
    auto sub = grid->KeyDown.Connect([&](int16_t& code, int16_t) { seen.push_back(code); });
    QTableView* table = view.table();
    const QModelIndex idx = table->model()->index(0, 2);
    table->setCurrentIndex(idx);
    table->edit(idx);
    QApplication::processEvents();
    auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    ASSERT_NE(editor, nullptr);
    QTest::keyClick(editor, Qt::Key_F3);
    EXPECT_EQ(seen, std::vector<int>{controls::keys::kF3});
    EXPECT_EQ(QApplication::focusWidget(), editor);  // the cell stays open
}

// Tab moves to the next column, and from the last one to the next control, whether a cell is open
// or not.
TEST(GridView, TabIsTheSameInsideAndOutsideAnOpenCell) {
    for (bool open_cell : {false, true}) {
        SCOPED_TRACE(open_cell ? "open cell" : "closed cell");
        auto rs = MakeMatrix();
        auto grid = MakeGrid(rs);
        QWidget window;
        auto* layout = new QVBoxLayout(&window);
        auto* view = new DataGridView(grid, &window);
        view->setSyncInterval(0);
        auto* after = new QLineEdit(&window);
        layout->addWidget(view);
        layout->addWidget(after);
        window.resize(600, 300);
        window.show();
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
        QTableView* table = view->table();
        table->setFocus();
        table->setCurrentIndex(table->model()->index(0, 2));
        auto press_tab = [&] {
            if (open_cell) {
                table->edit(table->currentIndex());
                QApplication::processEvents();
                QWidget* editor = QApplication::focusWidget();
                ASSERT_NE(qobject_cast<QLineEdit*>(editor), nullptr);
                ASSERT_NE(editor, after);
                QTest::keyClick(editor, Qt::Key_Tab);
            } else {
                QTest::keyClick(table, Qt::Key_Tab);
            }
            QApplication::processEvents();
        };
        press_tab();
        EXPECT_EQ(grid->CurrentColumnIndex(), 3);
        EXPECT_EQ(grid->CurrentRow(), 0);
        EXPECT_EQ(QApplication::focusWidget(), table);
        press_tab();
        EXPECT_EQ(grid->CurrentColumnIndex(), 3);
        EXPECT_EQ(grid->CurrentRow(), 0);  // no wrap to the next row
        EXPECT_EQ(QApplication::focusWidget(), after);
    }
}

TEST_F(GridViewFixture, TheSelectionFollowsTheRecordsetAndTheRecordsetTheSelection) {
    int row_changes = 0;
    auto sub = grid->RowChanged.Connect([&] { ++row_changes; });
    rs->MoveLast();
    grid->SyncWithDataSource();
    EXPECT_EQ(view.table()->currentIndex().row(), 3);
    EXPECT_EQ(row_changes, 0);  // the program's move raises nothing

    QTableView* table = view.table();
    const QRect cell = table->visualRect(table->model()->index(1, 1));
    QTest::mouseClick(table->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
    EXPECT_EQ(rs->AbsolutePosition(), 2);
    EXPECT_EQ(row_changes, 1);

    QTest::keyClick(table, Qt::Key_Down);
    EXPECT_EQ(rs->AbsolutePosition(), 3);
    EXPECT_EQ(table->currentIndex().row(), 2);

    // Filtering without rebinding: the periodic check takes the new rows.
    rs->SetFilter("BLT_OPZIONE1='NERO'");
    grid->SyncWithDataSource();
    EXPECT_EQ(table->model()->rowCount(), 1);
    EXPECT_EQ(table->currentIndex().row(), 0);
}

// The width a text needs in the view's font, as the fit must leave it.
int TextWidth(const QWidget& w, const QString& text) { return w.fontMetrics().horizontalAdvance(text); }

TEST(DataGridViewColumns, WidenToCaptionAndWidestValueKeepTheUsersWidthAndShareTheRest) {
    auto rs = MakeMatrix();
    // A caption far wider than its designed width, and a value wider than the caption.
    rs->MoveFirst();
    rs->SetValue("LI10_PREZZO", Dec("1234567.5"));
    rs->Update();
    auto grid = MakeGrid(rs);
    grid->SetColumnCaption("LI10_NUMLIST", "Numero del listino");
    DataGridView view(grid);
    view.setSyncInterval(0);
    view.resize(900, 300);
    view.show();
    QApplication::processEvents();
    QTableView* table = view.table();
    EXPECT_GE(table->columnWidth(0), TextWidth(*table, QStringLiteral("Numero del listino")));
    EXPECT_GE(table->columnWidth(2), TextWidth(*table, QStringLiteral("1.234.567,50")));
    // The designed width stays the least a column has.
    EXPECT_GE(table->columnWidth(1), 1000 / 15);
    // The stretching column takes what is left of the view.
    int used = 0;
    for (int c = 0; c < 4; ++c) used += table->columnWidth(c);
    EXPECT_NEAR(used, table->viewport()->width(), 4);

    // A value that grows widens its column; the user's width is kept when the rows change.
    table->horizontalHeader()->resizeSection(1, 200);
    ASSERT_EQ(grid->UserEditCell(1, 2, "98765432,5").accepted, true);
    QApplication::processEvents();
    EXPECT_GE(table->columnWidth(2), TextWidth(*table, QStringLiteral("98.765.432,50")));
    rs->SetFilter("LI10_NUMLIST > 1");
    grid->SyncWithDataSource();
    QApplication::processEvents();
    EXPECT_EQ(table->columnWidth(1), 200);

    // Columns defined anew start again from their caption and values.
    grid->ClearInit();
    grid->INIT_ADDColumn("BLT_OPZIONE1", "Colore", 1, 300);
    grid->InitializeSTART();
    grid->InitializeEND();
    grid->SetDataSource(rs);
    QApplication::processEvents();
    EXPECT_LT(table->columnWidth(0), 200);
    EXPECT_GE(table->columnWidth(0), TextWidth(*table, QStringLiteral("VERDE")));
}

}  // namespace
}  // namespace kv::qt
