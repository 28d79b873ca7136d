// What the script runner's desk judges a user could reach: a control, its containers and the screen.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPushButton>
#include <QSplitter>
#include <QVBoxLayout>

#include "host/app/script_desk.h"

namespace kv::host {
namespace {

TEST(ScriptDesk, AControlIsReachableOnlyWhenItAndEveryContainerAreShownEnabledAndOnScreen) {
    QWidget top;
    top.setAttribute(Qt::WA_DontShowOnScreen);
    top.resize(400, 300);
    auto* panel = new QWidget(&top);
    panel->setObjectName(QStringLiteral("PIC_LEFT"));
    panel->setGeometry(0, 0, 200, 300);
    auto* button = new QPushButton(QStringLiteral("Copia su riga"), panel);
    button->setObjectName(QStringLiteral("CMD_COPIASURIGA"));
    button->setGeometry(10, 10, 150, 30);
    top.show();
    QApplication::processEvents();
    EXPECT_EQ(ScriptDesk::Judge(&top, button, "CMD_COPIASURIGA"), "");

    panel->hide();
    EXPECT_EQ(ScriptDesk::Judge(&top, button, "CMD_COPIASURIGA"), "CMD_COPIASURIGA non è visibile (è nascosto PIC_LEFT)");
    panel->show();
    panel->setEnabled(false);
    EXPECT_EQ(ScriptDesk::Judge(&top, button, "CMD_COPIASURIGA"),
              "CMD_COPIASURIGA non è abilitato (è disabilitato PIC_LEFT)");
    panel->setEnabled(true);
    button->setEnabled(false);
    EXPECT_EQ(ScriptDesk::Judge(&top, button, "CMD_COPIASURIGA"), "CMD_COPIASURIGA non è abilitato");
    button->setEnabled(true);

    // Below the panel's bottom edge: drawn nowhere a user can click.
    button->move(10, 320);
    EXPECT_NE(ScriptDesk::Judge(&top, button, "CMD_COPIASURIGA").find("fuori"), std::string::npos);
    // Inside a panel that itself lies past the screen's edge.
    button->move(10, 10);
    panel->setGeometry(380, 0, 200, 300);
    EXPECT_NE(ScriptDesk::Judge(&top, button, "CMD_COPIASURIGA").find("fuori"), std::string::npos);
}

TEST(ScriptDesk, APaneSqueezedToNothingHidesWhatItHolds) {
    QWidget top;
    top.setAttribute(Qt::WA_DontShowOnScreen);
    top.resize(400, 300);
    auto* split = new QSplitter(&top);
    split->setGeometry(0, 0, 400, 300);
    auto* left = new QWidget;
    left->setObjectName(QStringLiteral("PIC_LEFT"));
    auto* button = new QPushButton(QStringLiteral("Copia"), left);
    (new QVBoxLayout(left))->addWidget(button);
    split->addWidget(left);
    split->addWidget(new QWidget);
    split->setChildrenCollapsible(true);
    top.show();
    split->setSizes({0, 400});
    QApplication::processEvents();
    EXPECT_FALSE(ScriptDesk::Judge(&top, button, "CMD_COPIASURIGA").empty());
    split->setSizes({200, 200});
    QApplication::processEvents();
    EXPECT_EQ(ScriptDesk::Judge(&top, button, "CMD_COPIASURIGA"), "");
}

}  // namespace
}  // namespace kv::host
