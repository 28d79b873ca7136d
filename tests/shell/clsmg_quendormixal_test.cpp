#include "shell/clsmg_quendormixal.h"

#include <gtest/gtest.h>

#include "support/headless_host.h"
#include "window/frmmg_quendormixal.h"

namespace qmx {
namespace {

using kv::Variant;
namespace svc = kv::services;

TEST(EntryObject, StoresWhatTheHostWritesInItsOwnTypes) {
    auto o = CLSMG_QUENDORMIXAL::Create();
    EXPECT_EQ(o->CodiceArticolo(), Variant(""));
    o->SetCodiceArticolo(Variant(int32_t{12345}));
    EXPECT_EQ(o->CodiceArticolo(), Variant("12345"));
    o->SetCodiceArticolo(Variant::Null());  // no text: the previous value stays
    EXPECT_EQ(o->CodiceArticolo(), Variant("12345"));

    o->SetTop(Variant("120"));
    o->SetLeft(Variant(int16_t{45}));
    EXPECT_EQ(o->Top(), Variant(int32_t{120}));
    EXPECT_EQ(o->Left(), Variant(int32_t{45}));
    o->SetTop(Variant("abc"));
    EXPECT_EQ(o->Top(), Variant(int32_t{120}));

    o->SetWindowState(2);
    o->SetWindowState(70000);  // beyond 16 bits: not kept
    EXPECT_EQ(o->WindowState(), 2);
    Variant menu("MG");
    o->SetMenuModulo(menu);
    menu = Variant("changed");
    EXPECT_EQ(o->MenuModulo(), Variant("MG"));
    EXPECT_EQ(o->Cwindow(), nullptr);
}

TEST(EntryObject, IsItsOwnActiveDllWithoutKeepingItselfAlive) {
    auto o = CLSMG_QUENDORMIXAL::Create();
    EXPECT_EQ(o->ActiveDll(), o);
    std::weak_ptr<CLSMG_QUENDORMIXAL> weak = o;
    o.reset();
    EXPECT_TRUE(weak.expired());
}

class EntryObjectWithHost : public ::testing::Test {
protected:
    EntryObjectWithHost() { host.Fill(*entry); }
    testing::HeadlessHost host;
    std::shared_ptr<CLSMG_QUENDORMIXAL> entry = CLSMG_QUENDORMIXAL::Create();
};

TEST_F(EntryObjectWithHost, ScriptModelRegistrationFollowsActiveDll) {
    struct Case {
        const char* name;
        bool set_null;
        bool active;
        bool registers;
    } cases[] = {
        {"ActiveDll null", true, false, true},
        {"active", false, true, true},
        {"not active", false, false, false},
    };
    for (const Case& c : cases) {
        host.ScriptModel().UnregisterWindow(FRMMG_QUENDORMIXAL::kName);
        entry->SetIsActive(c.active);
        entry->SetActiveDll(c.set_null ? nullptr : std::shared_ptr<svc::Cinterface>(entry));
        host.navigator->RaiseInitializeScriptObjectModel();
        ASSERT_EQ(host.ScriptModel().Registrations().size(), c.registers ? 1u : 0u) << c.name;
        if (c.registers) {
            EXPECT_EQ(host.ScriptModel().Registrations()[0].description, "Creazione veloce listini in griglia");
        }
    }
}

TEST_F(EntryObjectWithHost, LayoutModelGetsTheWindowAndBothGridsWhenActive) {
    entry->ShowForm();
    auto window = entry->Window();
    ASSERT_NE(window, nullptr);
    auto acq = std::make_shared<kv::Object>();
    auto ven = std::make_shared<kv::Object>();
    window->AddControl("GRD_LISACQ", acq);
    window->AddControl("GRD_LISVEN", ven);

    entry->SetIsActive(false);
    host.navigator->RaiseInitializeLayoutObjectModel();
    EXPECT_TRUE(host.LayoutModel().Registrations().empty());

    entry->SetIsActive(true);
    host.navigator->RaiseInitializeLayoutObjectModel();
    EXPECT_EQ(host.LayoutModel().Find("Creazione veloce listini in griglia"), window);
    EXPECT_EQ(host.LayoutModel().Find("Griglia Listini di Acquisto"), acq);
    EXPECT_EQ(host.LayoutModel().Find("Griglia Listini di Vendita"), ven);
    EXPECT_EQ(entry->Window(), window);
    EXPECT_EQ(entry->CloseForm(), Variant(true));
    EXPECT_TRUE(host.LayoutModel().Registrations().empty());  // the window took itself out
}

TEST_F(EntryObjectWithHost, ANavigatorWithoutALayoutModelRegistersNothing) {
    entry->ShowForm();
    entry->SetIsActive(true);
    host.navigator->SetLayoutModel(nullptr);
    host.navigator->RaiseInitializeLayoutObjectModel();  // each registration step fails and is skipped
    EXPECT_NE(entry->Window(), nullptr);
    EXPECT_TRUE(host.Errors().Reports().empty());
    EXPECT_EQ(entry->CloseForm(), Variant(true));
}

TEST_F(EntryObjectWithHost, ReplacingTheNavigatorEndsTheOldSink) {
    auto old_navigator = host.navigator;
    entry->SetActiveNavigator(std::make_shared<svc::HostNavigator>());
    old_navigator->RaiseInitializeScriptObjectModel();
    EXPECT_TRUE(old_navigator->HostScriptModel()->Registrations().empty());
    EXPECT_EQ(old_navigator->InitializeScriptObjectModel.SubscriberCount(), 0u);
}

TEST_F(EntryObjectWithHost, ModelessShowReturnsAtOnceAndCloseFormClosesIt) {
    entry->SetWindowState(2);  // maximised, as the host asks
    EXPECT_EQ(entry->ShowForm(), Variant());
    auto window = entry->Window();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->IsLoaded());
    EXPECT_EQ(window->WindowState(), 2);
    EXPECT_EQ(window->ActiveInterface(), entry);  // the host never set ActiveDll
    EXPECT_EQ(window->Owner(), entry);
    EXPECT_EQ(host.Presenter().OpenWindows().size(), 1u);
    ASSERT_NE(entry->Connection(), nullptr);

    EXPECT_EQ(entry->CloseForm(), Variant(true));
    EXPECT_FALSE(window->IsLoaded());
    EXPECT_EQ(entry->ActiveDll(), nullptr);
    EXPECT_EQ(entry->Connection(), nullptr);
    EXPECT_TRUE(host.Presenter().OpenWindows().empty());
    const std::vector<svc::WindowEventInfo> events = {{FRMMG_QUENDORMIXAL::kName, 1, FRMMG_QUENDORMIXAL::kName},
                                                      {FRMMG_QUENDORMIXAL::kName, 0, FRMMG_QUENDORMIXAL::kName}};
    EXPECT_EQ(host.ScriptModel().FiredEvents(), events);
    EXPECT_TRUE(host.Errors().Reports().empty());
    EXPECT_EQ(entry->CloseForm(), Variant(true));  // again: still gone
}

TEST_F(EntryObjectWithHost, ModalShowReturnsOnlyAfterTheWindowClosed) {
    entry->SetWindowModal(true);
    entry->SetCaption(Variant("Listini"));
    bool show_returned = false;
    bool up_inside = false;
    std::string caption_inside;
    host.Presenter().SetModalScript([&](svc::PresentableWindow& w) {
        up_inside = w.IsLoaded() && !show_returned;
        caption_inside = entry->Window()->Caption();
    });
    entry->ShowForm();
    show_returned = true;
    EXPECT_TRUE(up_inside);
    EXPECT_EQ(caption_inside, "Listini");
    EXPECT_FALSE(entry->Window()->IsLoaded());
    EXPECT_EQ(entry->CloseForm(), Variant(true));
}

TEST_F(EntryObjectWithHost, FailuresInShowFormAreIgnored) {
    entry->SetClsGlobal(nullptr);  // the window cannot load or show
    entry->SetCaption(Variant::Null());
    EXPECT_EQ(entry->ShowForm(), Variant());
    ASSERT_NE(entry->Window(), nullptr);
    EXPECT_TRUE(host.Presenter().OpenWindows().empty());
    // The window that could not be shown is unloaded and no longer holds the entry object, so both
    // go when the host lets the entry object go.
    EXPECT_FALSE(entry->Window()->IsLoaded());
    EXPECT_EQ(entry->Window()->Owner(), nullptr);
    EXPECT_EQ(entry->Window()->ActiveInterface(), nullptr);
    std::weak_ptr<FRMMG_QUENDORMIXAL> window = entry->Window();
    std::weak_ptr<CLSMG_QUENDORMIXAL> weak_entry = entry;
    entry.reset();
    EXPECT_TRUE(weak_entry.expired());
    EXPECT_TRUE(window.expired());
}

TEST_F(EntryObjectWithHost, AWindowWithoutAPresenterIsReleased) {
    // The load works but the host gives no window presenter: Show fails after a whole load.
    host.global->SetPresenter(nullptr);
    entry->ShowForm();
    ASSERT_NE(entry->Window(), nullptr);
    EXPECT_FALSE(entry->Window()->IsLoaded());
    EXPECT_EQ(entry->Connection(), nullptr);  // the window's connection was closed and unpublished
    std::weak_ptr<FRMMG_QUENDORMIXAL> window = entry->Window();
    entry.reset();
    EXPECT_TRUE(window.expired());
}

// Host objects that note when they are released.
struct Log {
    std::vector<std::string> lines;
};
struct LoggedMenu : svc::HostMenuEntry {
    LoggedMenu(std::shared_ptr<Log> l, std::string n) : log(std::move(l)), name(std::move(n)) {}
    ~LoggedMenu() override { log->lines.push_back(name); }
    std::shared_ptr<Log> log;
    std::string name;
};
struct LoggedGlobal : svc::HostGlobalServices {
    explicit LoggedGlobal(std::shared_ptr<Log> l) : HostGlobalServices(1, ""), log(std::move(l)) {}
    ~LoggedGlobal() override { log->lines.push_back("ClsGlobal"); }
    std::shared_ptr<Log> log;
};
struct LoggedNavigator : svc::HostNavigator {
    explicit LoggedNavigator(std::shared_ptr<Log> l) : log(std::move(l)) {}
    ~LoggedNavigator() override { log->lines.push_back("ActiveNavigator"); }
    std::shared_ptr<Log> log;
};

TEST(EntryObjectLifetime, ReleasesInTheHostsOrder) {
    auto log = std::make_shared<Log>();
    {
        auto entry = CLSMG_QUENDORMIXAL::Create();
        auto other = CLSMG_QUENDORMIXAL::Create();  // stands for a host-set ActiveDll
        other->SetClsVoceMenu(std::make_shared<LoggedMenu>(log, "ActiveDll"));
        entry->SetActiveDll(other);
        other.reset();
        entry->SetActiveNavigator(std::make_shared<LoggedNavigator>(log));
        entry->SetClsGlobal(std::make_shared<LoggedGlobal>(log));
        entry->SetClsVoceMenu(std::make_shared<LoggedMenu>(log, "ClsVoceMenu"));
    }
    EXPECT_EQ(log->lines, (std::vector<std::string>{"ClsVoceMenu", "ClsGlobal", "ActiveNavigator", "ActiveDll"}));
}

}  // namespace
}  // namespace qmx
