// The window's Qt form: the views sit where the window is designed to have them, and what the window's
// layout procedures decide shows on screen.

#include <gtest/gtest.h>

#include <QApplication>
#include <QGroupBox>
#include <QSplitter>
#include <QToolBar>
#include <memory>

#include "host/services/form_factory.h"
#include "shell/clsmg_quendormixal.h"
#include "support/headless_host.h"
#include "window/frmmg_quendormixal.h"
#include "window/qt/frmmg_quendormixal_form.h"

extern "C" QWidget* kv_qt_create_form(const std::shared_ptr<kv::Object>* window, QWidget* parent) noexcept;

namespace qmx {
namespace {

class WindowForm : public ::testing::Test {
  protected:
    WindowForm() {
        host.Fill(*entry);
        // An article of grid type 1: the window lays itself out in mode 1, price grids only.
        entry->SetIsCalled(true);
        entry->SetCodiceArticolo(kv::Variant(demo::kArticoloTipo1));
        window->SetActiveInterface(entry);
        window->SetOwner(entry);
        window->SetWindowState(2);
        form.reset(qt::CreateForm(*window));
        form->resize(1200, 760);
        form->show();
        QApplication::processEvents();
    }
    ~WindowForm() override {
        form.reset();
        window->Unload();
    }
    QWidget* View(const char* name) const { return form->findChild<QWidget*>(QString::fromLatin1(name)); }
    // The view's rectangle in the form's coordinates.
    QRect Where(const char* name) const {
        QWidget* v = View(name);
        return QRect(v->mapTo(form.get(), QPoint(0, 0)), v->size());
    }

    testing::HeadlessHost host{1};
    std::shared_ptr<CLSMG_QUENDORMIXAL> entry = CLSMG_QUENDORMIXAL::Create();
    std::shared_ptr<FRMMG_QUENDORMIXAL> window = FRMMG_QUENDORMIXAL::Create();
    std::unique_ptr<QWidget> form;
};

TEST_F(WindowForm, ViewsSitWhereTheWindowIsDesigned) {
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Creazione veloce listini in griglia"));
    EXPECT_EQ(form->property(kv::qt::kFormWindowStateProperty).toInt(), 2);
    // Top to bottom: toolbar, header, the split area, the operation bar (hidden at load).
    EXPECT_LT(Where("INTERNAV").bottom(), Where("GRB_HEAD").top());
    EXPECT_LT(Where("GRB_HEAD").bottom(), Where("SPLITVERTICALE").top());
    EXPECT_FALSE(View("BAR_OPERATION")->isVisible());

    // The split controls hold their panes' views.
    auto* v = qobject_cast<QSplitter*>(View("SPLITVERTICALE"));
    auto* h = qobject_cast<QSplitter*>(View("SPLITORIZZONTALE"));
    ASSERT_NE(v, nullptr);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(v->widget(0), View("PIC_LEFT"));
    EXPECT_EQ(v->widget(1), View("SPLITORIZZONTALE"));
    EXPECT_EQ(h->orientation(), Qt::Vertical);
    EXPECT_EQ(h->widget(0), View("GRB_LISACQ"));
    EXPECT_EQ(h->widget(1), View("GRB_LISVEN"));
    EXPECT_TRUE(View("GRB_LISACQ")->isAncestorOf(View("GRD_LISACQ")));
    EXPECT_TRUE(View("GRB_LISVEN")->isAncestorOf(View("LBL_HEADLISVEN")));
    EXPECT_TRUE(View("PIC_LEFT")->isAncestorOf(View("CMD_COPIASUTUTTERIGHE")));
    EXPECT_LT(Where("LBL_HEADLISACQ").bottom(), Where("GRD_LISACQ").top());
    EXPECT_LT(Where("GRD_LISACQ").bottom(), Where("GRD_LISVEN").top());

    // Header: article before its description, the dates on the right, each combo in its date's place.
    EXPECT_LT(Where("TXT_CODART").right(), Where("TXT_DESCART").left());
    EXPECT_LT(Where("TXT_DESCART").right(), Where("TXT_DADATA_ACQ").left());
    EXPECT_EQ(Where("TXT_DADATA_ACQ").top(), Where("TXT_CODART").top());
    EXPECT_EQ(Where("TXT_DADATA_VEN").top(), Where("TXT_OPZIONE").top());
    window->SetupDateControl(*window->TXT_ADATA_VEN, *window->CBO_ADATA_VEN, kDateProposalFromConfiguration);
    QApplication::processEvents();
    EXPECT_FALSE(View("TXT_ADATA_VEN")->isVisible());
    EXPECT_TRUE(View("CBO_ADATA_VEN")->isVisible());
    // The date's cell: its row, right after its "al".
    EXPECT_EQ(Where("CBO_ADATA_VEN").top(), Where("TXT_OPZIONE").top());
    EXPECT_GT(Where("CBO_ADATA_VEN").left(), Where("TXT_ADATA_VEN_LBL").right());
    EXPECT_LT(Where("CBO_ADATA_VEN").left() - Where("TXT_ADATA_VEN_LBL").right(), 12);
}

TEST_F(WindowForm, ModeOneLeavesTheCopyButtonsAndGivesThePriceGridsTheRest) {
    // No side list, but the copy buttons stay in a panel as narrow as they are.
    EXPECT_TRUE(View("PIC_LEFT")->isVisible());
    EXPECT_FALSE(View("GRD_SIDE")->isVisible());
    EXPECT_TRUE(View("CMD_COPIASURIGA")->isVisible());
    EXPECT_TRUE(View("CMD_COPIASUTUTTERIGHE")->isVisible());
    EXPECT_LE(View("PIC_LEFT")->width(), View("CMD_COPIASUTUTTERIGHE")->sizeHint().width() + 40);
    EXPECT_FALSE(View("TXT_VARIANTE")->isVisible());
    EXPECT_TRUE(View("GRD_LISACQ")->isVisible());
    EXPECT_GT(View("GRD_LISACQ")->width(), form->width() * 3 / 4);
    EXPECT_GT(View("GRD_LISVEN")->height(), 100);
    // The purchase and sales areas share the height evenly (position 50).
    EXPECT_NEAR(View("GRB_LISACQ")->height(), View("GRB_LISVEN")->height(), 8);

    window->MutableState().grid_type = 4;
    window->Reinizializza(false);
    QApplication::processEvents();
    EXPECT_TRUE(View("PIC_LEFT")->isVisible());
    EXPECT_TRUE(View("GRD_SIDE")->isVisible());
    EXPECT_TRUE(View("GRD_SIDE1")->isVisible());
    EXPECT_LT(Where("PIC_LEFT").right(), Where("GRD_LISACQ").left());
    EXPECT_GT(View("PIC_LEFT")->width(), 0);
}

TEST_F(WindowForm, TheModulesEntryPointMakesFormsOfItsWindowsOnly) {
    std::shared_ptr<kv::Object> mine = window;
    std::unique_ptr<QWidget> made(kv_qt_create_form(&mine, nullptr));
    ASSERT_NE(made, nullptr);
    EXPECT_NE(made->findChild<QWidget*>(QStringLiteral("GRD_LISACQ")), nullptr);
    std::shared_ptr<kv::Object> other = entry;
    EXPECT_EQ(kv_qt_create_form(&other, nullptr), nullptr);
    EXPECT_EQ(kv_qt_create_form(nullptr, nullptr), nullptr);
}

}  // namespace
}  // namespace qmx
