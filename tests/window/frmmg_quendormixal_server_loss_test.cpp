// A database server that dies in the middle of a save (immediate shutdown, as in a crash): the window
// says which connection was lost, keeps the edits, writes nothing, and saves them once the server is
// back, on a connection it opens again by itself. The server is a private one, started by the test.

#include <gtest/gtest.h>

#include <string>

#include "support/private_pg_server.h"
#include "support/window_desk.h"

namespace qmx {
namespace {

using testing::Case;
using testing::Desk;
using testing::Engine;

// The texts of the reports shown since `shown`, with their database messages.
std::string ShownSince(const Desk& desk, std::size_t shown) {
    std::string text;
    for (std::size_t i = shown; i < desk.Errors().Reports().size(); ++i) {
        const auto& r = desk.Errors().Reports()[i].report;
        text += r.description + "\n";
        for (const auto& e : r.connection_errors) text += e.description + "\n";
    }
    return text;
}

TEST(WindowServerLoss, ASaveCutByAServerCrashWritesNothingAndCompletesOnceTheServerIsBack) {
    testing::PrivatePgServer server;
    if (!server.available()) GTEST_SKIP() << "no PostgreSQL server binaries to start a server of the test's own";
    const Case c = {"Tipo1", demo::kDittaAbbigliamento, demo::kArticoloTipo1, "01/01/2025", "31/12/2025", nullptr, -1,
                    {{false, 0, "Prezzo lordo", "11,10"}, {false, 8, "Prezzo lordo", "12,50"},
                     {true, 0, "Prezzo lordo", "30,00"}}};
    Desk desk(Engine::kPostgres, c.company, server.ConnectionString());
    desk.LoadKey(c);
    desk.MakeEdits(c);
    ASSERT_FALSE(HasFatalFailure());
    const auto before = desk.Dump();
    auto pending = [&] {
        EXPECT_TRUE(desk.window->State().changes_pending);
        EXPECT_TRUE(desk.window->INTERNAV->ButtonEnabled("Conferma"));
        EXPECT_TRUE(desk.HoldsEdits(c));
    };

    // The server goes while the rows are on their way: at the second row queued (or at the end of the
    // first unit, when it has one row only).
    int queued = 0;
    bool stopped = false;
    desk.faults->SetBeforeStatement([&](long) {
        const std::string& what = desk.faults->Log().back();
        if (stopped) return;
        if (what.rfind("queued", 0) == 0 ? ++queued == 2 : what.rfind("complete", 0) == 0)
            stopped = server.StopImmediately();
    });
    std::size_t shown = desk.Errors().Reports().size();
    desk.Click("Conferma");
    desk.faults->SetBeforeStatement(nullptr);
    ASSERT_TRUE(stopped);
    std::string text = ShownSince(desk, shown);
    EXPECT_NE(text.find("si è interrotta"), std::string::npos) << text;
    EXPECT_NE(text.find("127.0.0.1:" + std::to_string(server.port())), std::string::npos) << text;
    EXPECT_NE(text.find("database postgres"), std::string::npos) << text;
    pending();

    // While the server is down a new attempt fails the same clear way.
    shown = desk.Errors().Reports().size();
    desk.Click("Conferma");
    text = ShownSince(desk, shown);
    EXPECT_NE(text.find("non è stato possibile riaprirla"), std::string::npos) << text;
    pending();

    ASSERT_TRUE(server.Start());
    EXPECT_EQ(desk.Dump(), before);  // nothing half written (the host's connection reopens by itself too)
    shown = desk.Errors().Reports().size();
    desk.Click("Conferma");
    EXPECT_EQ(ShownSince(desk, shown), "");
    EXPECT_FALSE(desk.window->State().changes_pending);
    const auto after = desk.Dump();
    EXPECT_NE(after, before);
    EXPECT_EQ(kv::CLng(desk.Session().Execute("SELECT COUNT(*) FROM LI10_LISTARTIC WHERE LI10_CODART_MG66 = 'SCI001'"
                                          " AND LI10_PREZZO IN (11.1, 12.5, 30)")
                       ->Value(0)),
              3);
}

}  // namespace
}  // namespace qmx
