// Typing prices into the window's Qt form with the keyboard alone: a price, Enter, the next price.

#include <gtest/gtest.h>

#include <QApplication>
#include <QTableView>
#include <QWidget>
#include <QTest>
#include <memory>

#include "host/views/data_grid_view.h"
#include "shell/clsmg_quendormixal.h"
#include "support/headless_host.h"
#include "window/frmmg_quendormixal.h"
#include "window/qt/frmmg_quendormixal_form.h"

namespace qmx {
namespace {

// The window's Qt form on company `Company`; with `Fixed`, a calling program has fixed the article
// (SCI001, grid type 1), otherwise the cursor starts on the article field.
template <int Company, bool Fixed = false>
class KeyboardTest : public ::testing::Test {
  protected:
    KeyboardTest() {
        host.Fill(*entry);
        if (Fixed) {
            entry->SetIsCalled(true);
            entry->SetCodiceArticolo(kv::Variant(demo::kArticoloTipo1));
        }
        window->SetActiveInterface(entry);
        window->SetOwner(entry);
        window->SetWindowState(2);
        form.reset(qt::CreateForm(*window));
        form->resize(1280, 720);
        form->show();
        QApplication::setActiveWindow(form.get());
        QApplication::processEvents();
        if (!Fixed) {
            View("TXT_CODART")->setFocus();
            QApplication::processEvents();
        }
    }
    ~KeyboardTest() override {
        form.reset();
        window->Unload();
    }
    // The article is the caller's, taken when the window is first activated; the dates complete the
    // key and the grids fill.
    void LoadKey() {
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
    QWidget* View(const char* name) const { return form->findChild<QWidget*>(QString::fromLatin1(name)); }
    // The widget that takes the keys of a view (a lookup field's line edit).
    QWidget* Keys(const char* name) const { return View(name)->focusProxy() ? View(name)->focusProxy() : View(name); }
    // Keys go where a keyboard sends them: to the widget that has the focus when each is pressed (a
    // cell's editor opens on the first).
    static void Press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(QApplication::focusWidget(), key, modifiers);
        QApplication::processEvents();
    }
    static void Type(const QString& text) {
        for (QChar c : text) {
            QTest::keyClicks(QApplication::focusWidget(), QString(c));
            QApplication::processEvents();
        }
    }

    testing::HeadlessHost host{Company};
    std::shared_ptr<CLSMG_QUENDORMIXAL> entry = CLSMG_QUENDORMIXAL::Create();
    std::shared_ptr<FRMMG_QUENDORMIXAL> window = FRMMG_QUENDORMIXAL::Create();
    std::unique_ptr<QWidget> form;
};
using WindowKeyboard = KeyboardTest<demo::kDittaAbbigliamento, true>;
using WindowHeaderKeyboard = KeyboardTest<demo::kDittaAbbigliamento>;
using WindowHeaderKeyboardTwoLevels = KeyboardTest<demo::kDittaCalzature>;

TEST_F(WindowKeyboard, APriceEnterAndTheNextPrice) {
    LoadKey();
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
    Press(Qt::Key_Return);
    EXPECT_EQ(grid.CurrentColumnIndex(), prezzo + 1);
    EXPECT_EQ(view->table()->currentIndex().column(), prezzo + 1);
    Type(QStringLiteral("7"));
    Press(Qt::Key_Return);

    matrice->MoveFirst();
    EXPECT_EQ(kv::CDbl(matrice->Value("LI10_PREZZO")), 12.5);
    EXPECT_EQ(kv::CDbl(matrice->Value(successivo)), 7.0);
    EXPECT_EQ(grid.CurrentColumnIndex(), prezzo + 2);
    EXPECT_TRUE(window->State().changes_pending);
    EXPECT_EQ(window->State().active_price_grid, "ACQ");
}

// The header as a new user fills it, with the keyboard alone: the code and Enter, each date and Enter,
// and the cursor waits on the first price to type.
TEST_F(WindowHeaderKeyboard, EnterMovesFromTheArticleToTheDatesAndTheLastDateToTheGrossPrice) {
    ASSERT_EQ(QApplication::focusWidget(), Keys("TXT_CODART"));
    Type(QString::fromLatin1(demo::kArticoloTipo1));
    Press(Qt::Key_Return);
    // The article is confirmed, its description shown, and the first date waits (not the option).
    EXPECT_TRUE(window->TXT_CODART->Valid());
    EXPECT_FALSE(window->TXT_DESCART->Text().empty());
    ASSERT_EQ(QApplication::focusWidget(), View("TXT_DADATA_ACQ"));
    // The option is one Shift+Tab away.
    Press(Qt::Key_Tab, Qt::ShiftModifier);
    EXPECT_EQ(QApplication::focusWidget(), Keys("TXT_OPZIONE"));
    Press(Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), View("TXT_DADATA_ACQ"));

    for (const char* date : {"01/01/2025", "31/12/2025", "01/01/2025", "31/12/2025"}) {
        Type(QString::fromLatin1(date));
        Press(Qt::Key_Return);
    }
    EXPECT_EQ(window->TXT_DADATA_ACQ->Text(), "01/01/2025");
    EXPECT_EQ(window->TXT_ADATA_VEN->Text(), "31/12/2025");
    auto& grid = *window->GRD_LISACQ;
    ASSERT_GT(grid.RowCount(), 0);
    EXPECT_EQ(grid.Columns().Item(grid.CurrentColumnIndex()).DataField(), "LI10_PREZZO");
    EXPECT_EQ(grid.CurrentRow(), 0);
    auto* view = dynamic_cast<kv::qt::DataGridView*>(View("GRD_LISACQ"));
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(QApplication::focusWidget(), view->table());
    EXPECT_EQ(view->table()->currentIndex().column(), grid.CurrentColumnIndex());
}

TEST_F(WindowHeaderKeyboard, TabFromAConfirmedArticleGoesToTheFirstDateAndEnterStaysOnACodeNotFound) {
    Type(QStringLiteral("NONCE"));
    Press(Qt::Key_Return);
    EXPECT_FALSE(window->TXT_CODART->Valid());
    EXPECT_FALSE(host.global->ScriptedMessages()->Messages().empty());  // the code was not found, and said so
    EXPECT_EQ(QApplication::focusWidget(), Keys("TXT_CODART"));

    QTest::keyClick(QApplication::focusWidget(), Qt::Key_A, Qt::ControlModifier);
    Type(QString::fromLatin1(demo::kArticoloTipo1));
    Press(Qt::Key_Tab);
    EXPECT_TRUE(window->TXT_CODART->Valid());
    EXPECT_EQ(QApplication::focusWidget(), View("TXT_DADATA_ACQ"));
}

// A calling program fixes the article: the cursor waits on the first date, not on the option field.
TEST_F(WindowKeyboard, AFixedArticleLeavesTheCursorOnTheFirstDate) {
    form->activateWindow();
    QApplication::setActiveWindow(form.get());
    window->Activate();
    QApplication::processEvents();
    EXPECT_FALSE(window->TXT_CODART->Enabled());
    EXPECT_TRUE(window->TXT_CODART->Valid());
    EXPECT_EQ(QApplication::focusWidget(), form->findChild<QWidget*>(QStringLiteral("TXT_DADATA_ACQ")));
}

// An article of two levels: the window offers the option field, but the dates the user types next go
// to the dates; the size follows them, and the cursor waits on the gross price.
TEST_F(WindowHeaderKeyboardTwoLevels, TheDatesGoToTheDatesAndTheVariantFollowsThem) {
    Type(QString::fromLatin1(demo::kArticoloTipo2));
    Press(Qt::Key_Return);
    ASSERT_EQ(QApplication::focusWidget(), View("TXT_DADATA_ACQ"));
    for (const char* date : {"01/01/2025", "31/12/2025", "01/01/2025", "31/12/2025"}) {
        Type(QString::fromLatin1(date));
        Press(Qt::Key_Return);
    }
    EXPECT_EQ(window->TXT_OPZIONE->Text(), "");
    EXPECT_EQ(window->TXT_ADATA_VEN->Text(), "31/12/2025");
    ASSERT_EQ(QApplication::focusWidget(), Keys("TXT_VARIANTE"));
    Type(QStringLiteral("41"));
    Press(Qt::Key_Return);
    auto& grid = *window->GRD_LISACQ;
    ASSERT_GT(grid.RowCount(), 0);
    EXPECT_EQ(grid.Columns().Item(grid.CurrentColumnIndex()).DataField(), "LI10_PREZZO");
    // The rows are on screen: the price typed next is a price, not an option that reloads the key.
    auto* view = dynamic_cast<kv::qt::DataGridView*>(View("GRD_LISACQ"));
    ASSERT_NE(view, nullptr);
    ASSERT_EQ(QApplication::focusWidget(), view->table());
    const long rows = grid.RowCount();
    Type(QStringLiteral("12,5"));
    Press(Qt::Key_Return);
    EXPECT_EQ(window->TXT_OPZIONE->Text(), "");
    EXPECT_EQ(grid.RowCount(), rows);
    EXPECT_EQ(grid.CellText(0, grid.Columns().IndexOf("LI10_PREZZO")), "12,50");
    EXPECT_TRUE(window->State().changes_pending);
}

}  // namespace
}  // namespace qmx
