#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QPushButton>
#include <QTableView>
#include <QtTest/QTest>
#include <string>
#include <vector>

#include "host/views/bar_views.h"
#include "host/views/entry_views.h"
#include "host/views/simple_views.h"
#include "host/views/splitter_view.h"
#include "host/views/window_bindings.h"

namespace kv::qt {
namespace {

using namespace kv::controls;

TEST(ToolbarView, ButtonsFollowTheModelAndClicksReachIt) {
    auto bar = std::make_shared<Toolbar>("INTERNAV");
    ToolbarView view(bar);
    bar->AddButton("RICALCOLA", "Rica&lcola ", "Conferma");
    ASSERT_NE(view.action(QStringLiteral("Ricalcola")), nullptr);
    EXPECT_EQ(view.actions().indexOf(view.action(QStringLiteral("RICALCOLA"))), 2);

    std::vector<std::string> clicks;
    auto sub = bar->ButtonClick.Connect([&](const std::string& key) { clicks.push_back(key); });
    view.action(QStringLiteral("Conferma"))->trigger();
    bar->EnableButton("Annulla", false);
    EXPECT_FALSE(view.action(QStringLiteral("Annulla"))->isEnabled());
    bar->SetEnabled(false);
    EXPECT_FALSE(view.isEnabled());
    EXPECT_EQ(clicks, std::vector<std::string>{"Conferma"});
}

TEST(LookupFieldView, F3OpensTheListAndThePickIsConfirmed) {
    auto db = ado::Connection::Create();
    db->Open("Provider=SQLite;Data Source=:memory:");
    db->Execute("CREATE TABLE V (COD VARCHAR(5), DES VARCHAR(20))");
    db->Execute("INSERT INTO V VALUES ('S', 'Small'), ('M', 'Medium')");
    auto field = std::make_shared<LookupField>("TXT_VARIANTE");
    auto description = std::make_shared<TextField>("TXT_DESCSEGMENTO");
    field->SetConnection(db);
    field->SetLookupSql("SELECT COD, DES FROM V ORDER BY COD");
    field->SetLookupHeadings({"Codice", "Descrizione"});
    field->SetDecodeSql("SELECT DES FROM V WHERE COD = '%CODE%'");
    auto decode = field->StartDecode.Connect([&](std::string&, DecodeMap& map, std::string&) {
        map = DecodeMap{description, "DES"};
    });
    int after = 0;
    auto sub = field->AfterItem.Connect([&] { ++after; });

    LookupFieldView view(field);
    TextFieldView description_view(description);
    long shown_rows = -1;
    view.setPicker([&](const LookupList& list, QWidget*) -> std::optional<long> {
        shown_rows = list.RowCount();
        return 1;  // "S"
    });
    view.show();
    QTest::keyClick(view.lineEdit(), Qt::Key_F3);
    EXPECT_EQ(shown_rows, 2);
    EXPECT_EQ(view.lineEdit()->text(), QStringLiteral("S"));
    EXPECT_TRUE(field->Valid());
    EXPECT_EQ(description_view.text(), QStringLiteral("Small"));
    EXPECT_EQ(after, 1);

    // Typing and Enter: the model checks; an unknown code is not valid and clears the description.
    view.lineEdit()->clear();
    QTest::keyClicks(view.lineEdit(), QStringLiteral("XL"));
    EXPECT_EQ(field->Text(), "XL");
    QTest::keyClick(view.lineEdit(), Qt::Key_Return);
    EXPECT_FALSE(field->Valid());
    EXPECT_EQ(description_view.text(), QString());
    EXPECT_EQ(after, 2);

}

TEST(LookupDialog, AFilteredListOverTheRecordsetWithItalianButtonsAndNoRowNumbers) {
    auto db = ado::Connection::Create();
    db->Open("Provider=SQLite;Data Source=:memory:");
    db->Execute("CREATE TABLE V (COD VARCHAR(5), DES VARCHAR(20))");
    db->Execute("INSERT INTO V VALUES ('S', 'Small'), ('M', 'Medium'), ('L', 'Large'), ('XL', 'Extra large')");
    LookupList list;
    list.title = "Taglie";
    list.headings = {"Codice", "Descrizione"};
    list.rows = db->Execute("SELECT COD, DES FROM V ORDER BY COD");
    LookupDialog dialog(list);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Taglie"));
    EXPECT_FALSE(dialog.table()->verticalHeader()->isVisibleTo(&dialog));
    EXPECT_EQ(dialog.table()->model()->rowCount(), 4);
    EXPECT_EQ(dialog.table()->model()->headerData(1, Qt::Horizontal).toString(), QStringLiteral("Descrizione"));
    EXPECT_EQ(dialog.buttons()->button(QDialogButtonBox::Cancel)->text(), QStringLiteral("Annulla"));
    EXPECT_EQ(dialog.buttons()->button(QDialogButtonBox::Ok)->text(), QStringLiteral("OK"));
    EXPECT_EQ(dialog.listModel()->data(dialog.listModel()->index(3, 1)).toString(), QStringLiteral("Extra large"));

    // Typing in the filter keeps the rows that hold the text in any column, without regard to case;
    // the arrows move through them from the filter field, and the row chosen is the list's row.
    dialog.show();
    QTest::keyClicks(dialog.filter(), QStringLiteral("LARGE"));
    EXPECT_EQ(dialog.table()->model()->rowCount(), 2);  // "Large", "Extra large"
    QTest::keyClick(dialog.filter(), Qt::Key_Down);
    QTest::keyClick(dialog.filter(), Qt::Key_Return);
    ASSERT_EQ(dialog.chosenRow(), std::optional<long>(3));
    EXPECT_EQ(list.CodeAt(*dialog.chosenRow()), "XL");
}

TEST(SplitterView, PaneSizesFollowThePositionAndTheDragReachesTheModel) {
    auto split = std::make_shared<Splitter>("SPLITORIZZONTALE", SplitDirection::TopBottom);
    split->SetPaneControl(1, "GRB_LISACQ");
    split->SetPaneControl(2, "GRB_LISVEN");
    split->Pane(1).SetMinSize(1000);
    split->Pane(2).SetMinSize(1000);
    SplitterView view(split);
    auto* top = new QWidget;
    auto* bottom = new QWidget;
    view.setPanes(top, bottom);
    view.resize(400, 404);  // 404 px = 6060 twips, 4 px of bar
    view.show();
    QApplication::processEvents();
    EXPECT_EQ(split->Height(), 404 * 15);  // the view reports its size to the model
    EXPECT_EQ(view.sizes().at(0), 200);
    split->SetPosition(25);
    EXPECT_EQ(view.sizes().at(0), 100);

    int moved = 0;
    auto sub = split->PositionChanged.Connect([&] { ++moved; });
    split->UserMoveBar(3000);
    EXPECT_EQ(moved, 1);
    EXPECT_EQ(split->Position(), 50);
    EXPECT_EQ(view.sizes().at(0), 200);
}

TEST(WindowBindings, ResizeAndPlacement) {
    auto resize = std::make_shared<ResizeControl>("KVR_RESIZEFORM");
    auto container = std::make_shared<HostContainer>("MDIActiveX1");
    QWidget window;
    new ResizeBinding(resize, &window);
    new HostContainerBinding(container, &window);
    int after = 0;
    auto sub = resize->AfterResize.Connect([&] { ++after; });
    resize->Start();
    window.resize(800, 494);
    window.show();
    QApplication::processEvents();
    EXPECT_GE(after, 1);
    EXPECT_EQ(resize->WindowWidth(), 800 * 15);
    container->Place(0, 0, 11940, 7410);
    EXPECT_EQ(window.width(), 796);
    EXPECT_EQ(window.height(), 494);
}

}  // namespace
}  // namespace kv::qt
