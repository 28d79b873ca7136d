#include <gtest/gtest.h>

#include "support/errors.h"

#include <string>
#include <vector>

#include "platform/controls/operation_bar.h"
#include "platform/controls/resize_control.h"
#include "platform/controls/simple_controls.h"
#include "platform/controls/splitter.h"
#include "platform/controls/toolbar.h"

namespace kv::controls {
namespace {

using kv::testing::ErrorNumber;

std::vector<std::string> Keys(const Toolbar& t) {
    std::vector<std::string> out;
    for (long i = 0; i < t.ButtonCount(); ++i) out.push_back(t.Button(i).key);
    return out;
}

TEST(Toolbar, HostKeysAddNextToEnableAndClick) {
    Toolbar bar("INTERNAV");
    EXPECT_EQ(Keys(bar), (std::vector<std::string>{"Nuovo", "Conferma", "Annulla", "Elimina"}));
    bar.AddButton("RICALCOLA", "Rica&lcola ", "Conferma");
    EXPECT_EQ(Keys(bar), (std::vector<std::string>{"Nuovo", "Conferma", "RICALCOLA", "Annulla", "Elimina"}));
    EXPECT_EQ(bar.Button(2).caption, "Rica&lcola ");
    bar.AddButton("Fine", "Fine");
    EXPECT_EQ(bar.Button(5).key, "Fine");
    EXPECT_EQ(ErrorNumber([&] { bar.AddButton("conferma", "x"); }), kToolbarKeyNotUnique);
    EXPECT_EQ(ErrorNumber([&] { bar.AddButton("X", "x", "Nessuno"); }), kToolbarKeyNotFound);
    EXPECT_EQ(ErrorNumber([&] { bar.EnableButton("Nessuno", true); }), kToolbarKeyNotFound);

    std::vector<std::string> clicks;
    auto sub = bar.ButtonClick.Connect([&](const std::string& key) { clicks.push_back(key); });
    EXPECT_TRUE(bar.UserClick("conferma"));  // found whatever the case; the registered key is handed
    bar.EnableButton("Conferma", false);
    EXPECT_FALSE(bar.ButtonEnabled("CONFERMA"));
    EXPECT_FALSE(bar.UserClick("Conferma"));
    bar.SetEnabled(false);  // the whole bar
    EXPECT_FALSE(bar.UserClick("Annulla"));
    bar.SetEnabled(true);
    EXPECT_TRUE(bar.UserClick("Annulla"));
    EXPECT_FALSE(bar.UserClick("Nessuno"));
    EXPECT_EQ(clicks, (std::vector<std::string>{"Conferma", "Annulla"}));
}

// A toggle turns on or off with each click that counts, before its handler runs; a disabled one keeps
// its state, and a plain button cannot be turned on.
TEST(Toolbar, ACheckButtonTogglesOnTheClicksThatCount) {
    Toolbar bar("INTERNAV");
    bar.AddCheckButton("ANTEPRIMA", "Anteprima");
    std::vector<bool> seen;
    auto sub = bar.ButtonClick.Connect([&](const std::string& key) { seen.push_back(bar.ButtonChecked(key)); });
    EXPECT_FALSE(bar.ButtonChecked("Anteprima"));
    EXPECT_TRUE(bar.UserClick("ANTEPRIMA"));
    bar.EnableButton("ANTEPRIMA", false);
    EXPECT_FALSE(bar.UserClick("ANTEPRIMA"));
    EXPECT_TRUE(bar.ButtonChecked("ANTEPRIMA"));
    bar.EnableButton("ANTEPRIMA", true);
    EXPECT_TRUE(bar.UserClick("ANTEPRIMA"));
    EXPECT_EQ(seen, (std::vector<bool>{true, false}));
    bar.SetButtonChecked("Conferma", true);
    EXPECT_FALSE(bar.ButtonChecked("Conferma"));
}

TEST(Toolbar, AHandlerAddingButtonsDuringAClickIsSafe) {
    Toolbar bar("INTERNAV");
    std::vector<std::string> clicks;
    auto sub = bar.ButtonClick.Connect([&](const std::string& key) {
        for (int i = 0; i < 20; ++i) bar.AddButton(std::string(1, static_cast<char>('a' + i)), "b", "Nuovo");
        clicks.push_back(key);
    });
    EXPECT_TRUE(bar.UserClick("Nuovo"));
    EXPECT_EQ(clicks, std::vector<std::string>{"Nuovo"});
}

TEST(Splitter, PanesMinimumsPositionAndTheUsersDrag) {
    Splitter split("SPLITVERTICALE", SplitDirection::LeftRight);
    split.SetPaneControl(1, "PIC_LEFT");
    split.SetPaneControl(2, "SPLITORIZZONTALE");
    split.Pane("PIC_LEFT").SetMinSize(1200);
    split.Pane("splitorizzontale").SetMinSize(7000);
    split.Move(0, 0, 12060, 5000);  // 12000 twips of room besides the bar
    split.SetPosition(12);
    EXPECT_EQ(split.FirstPaneSize(), 1440);
    EXPECT_EQ(split.SecondPaneSize(), 12000 - 1440);
    split.SetPosition(1);
    EXPECT_EQ(split.FirstPaneSize(), 1200);  // the first minimum holds
    split.SetPosition(90);
    EXPECT_EQ(split.FirstPaneSize(), 5000);  // the second minimum holds
    EXPECT_EQ(ErrorNumber([&] { split.Pane("GRD_SIDE"); }), 35601);

    int changed = 0;
    auto sub = split.PositionChanged.Connect([&] { ++changed; });
    split.SetPosition(30);  // the program's move raises nothing
    EXPECT_EQ(changed, 0);
    EXPECT_TRUE(split.UserMoveBar(100));
    EXPECT_EQ(changed, 1);
    EXPECT_EQ(split.FirstPaneSize(), 1200);
    EXPECT_EQ(split.Position(), 10);

    split.Pane(1).SetMinSize(0);  // the window's layout without side lists
    split.UserMoveBar(0);
    EXPECT_EQ(split.FirstPaneSize(), 0);
    EXPECT_EQ(split.Position(), 0);
}

TEST(ResizeControl, RegistrationAnchorsScaleAndEvents) {
    ResizeControl resize("KVR_RESIZEFORM");
    std::vector<std::string> log;
    auto s1 = resize.RegisterControls.Connect([&] {
        log.push_back("register");
        resize.RegisterControl("GRB_LISACQ", 7);
        resize.RegisterControl("GRD_SIDE", 11);
        resize.RegisterControl("grb_lisacq", 15);  // again: the new code
    });
    auto s2 = resize.AfterResize.Connect([&] { log.push_back("after"); });
    resize.UserResize(9000, 6000);  // not started: nothing raised
    resize.Start();
    resize.UserResize(12000, 7410);
    resize.Stop();
    resize.UserResize(10000, 7000);
    EXPECT_EQ(log, (std::vector<std::string>{"register", "after"}));
    EXPECT_EQ(resize.RegisteredCode("GRB_LISACQ"), std::optional<int>(15));
    EXPECT_EQ(resize.Registrations().size(), 2u);
    EXPECT_EQ(resize.RegisteredCode("INTERNAV"), std::nullopt);
    EXPECT_EQ(resize.WindowWidth(), 10000);

    EXPECT_TRUE(ResizeControl::AnchorsOf(7).StretchesWidth());
    EXPECT_FALSE(ResizeControl::AnchorsOf(7).StretchesHeight());
    EXPECT_TRUE(ResizeControl::AnchorsOf(15).StretchesHeight());
    EXPECT_FALSE(ResizeControl::AnchorsOf(11).StretchesWidth());

    EXPECT_EQ(resize.ScaleX(170), 170);
    resize.SetScale(1.5, 2.0);
    EXPECT_EQ(resize.ScaleX(170), 255);
    EXPECT_EQ(resize.ScaleY(877), 1754);
}

TEST(SimpleControls, ComboButtonTextAndFocusRules) {
    ComboBox combo("CBO_DADATA_ACQ");
    combo.AddItem("Da Configurazione");
    combo.SetText("0");
    EXPECT_EQ(combo.ListIndex(), -1);
    EXPECT_EQ(combo.Text(), "0");
    int clicks = 0;
    auto s = combo.Click.Connect([&] { ++clicks; });
    combo.SetEnabled(false);
    EXPECT_FALSE(combo.UserSelect(0));
    combo.SetEnabled(true);
    EXPECT_TRUE(combo.UserSelect(0));
    EXPECT_EQ(combo.Text(), "Da Configurazione");
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(ErrorNumber([&] { combo.List(1); }), 381);

    CommandButton button("CMD_COPIASURIGA");
    int pressed = 0;
    auto s2 = button.Click.Connect([&] { ++pressed; });
    button.SetEnabled(false);
    EXPECT_FALSE(button.UserClick());
    button.SetEnabled(true);
    EXPECT_TRUE(button.UserClick());
    EXPECT_EQ(pressed, 1);

    TextField text("TXT_DESCART");
    text.SetMaxLength(4);
    text.SetText("Maglia");
    EXPECT_EQ(text.Text(), "Magl");
    text.SetLocked(true);
    EXPECT_FALSE(text.UserType("x"));

    // Focus: asked of a hidden or disabled control it is error 5, as the window's guards expect.
    std::vector<ControlChange> changes;
    auto s3 = text.Changed.Connect([&](ControlChange c) { changes.push_back(c); });
    text.SetFocus();
    EXPECT_EQ(changes, std::vector<ControlChange>{ControlChange::Focus});
    text.SetVisible(false);
    EXPECT_EQ(ErrorNumber([&] { text.SetFocus(); }), err::kInvalidCall);
    EXPECT_EQ(ErrorNumber([&] { text.SetWidth(-1); }), kInvalidPropertyValue);
}

}  // namespace
}  // namespace kv::controls
