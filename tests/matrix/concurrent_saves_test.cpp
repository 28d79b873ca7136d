// Many desktops saving at once on the server engine: processes of their own, each with its connection,
// load articles of their own and save them over and over, all in parallel against one database. No
// save may fail or meet a conflict, and every row must be stored exactly once with its last price.

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "matrix/clsmg_setupvarianti.h"
#include "matrix/matrix_recordset.h"
#include "platform/controls/data_grid.h"
#include "platform/services/global_services.h"
#include "platform/variant/strings.h"
#include "schema/demo/demo.h"
#include "shell/clsmg_quendormixal.h"
#include "support/db_engines.h"
#include "support/demo_drivers.h"

namespace qmx {
namespace {

using kv::Variant;
using qmx::testing::Engine;

constexpr int kProcessi = 10;
constexpr int kSalvataggi = 200;
constexpr int kArticoliPerProcesso = 2;
constexpr long kRighe = 24;  // 3 purchase lists x 8 colours of a grid-type-1 article

std::string Articolo(int processo, int k) { return "CONC" + std::to_string(processo) + "_" + std::to_string(k); }

// The price row r of an article holds after save s of its process (-1: never written).
int UltimoPrezzo(int k, long r) {
    int last = -1;
    for (int s = 0; s < kSalvataggi; ++s)
        if (s % kArticoliPerProcesso == k && (s / kArticoliPerProcesso) % kRighe == r) last = s;
    return last;
}

// One process: its own connection and drivers, one per article, loaded once and saved kSalvataggi
// times in turn, one price changed each time. The exit status is the number of failed saves.
int Desktop(const std::string& connection_string, int processo) {
    auto connection = kv::ado::Connection::Create();
    connection->Open(connection_string);
    auto iface = testing::HostInterface(demo::kDittaAbbigliamento, connection_string, connection);
    std::vector<std::shared_ptr<CLSMG_SETUPVARIANTI>> drivers;
    for (int k = 0; k < kArticoliPerProcesso; ++k) {
        auto d = testing::LoadedMatrixDriver(iface, connection, Articolo(processo, k), "", "01/01/2025", "31/12/2025");
        if (d->State() != 0 || d->RecordCount() != kRighe) return 100;
        drivers.push_back(d);
    }
    int failed = 0;
    for (int s = 0; s < kSalvataggi; ++s) {
        auto& d = *drivers[static_cast<std::size_t>(s % kArticoliPerProcesso)];
        auto& rs = *d.Recordset();
        rs.SetAbsolutePosition((s / kArticoliPerProcesso) % kRighe + 1);
        rs.SetValue("LI10_PREZZO", Variant(static_cast<double>(s)));
        rs.Update();
        d.UpdateBatch();
        if (d.State() != 0 || d.RigheInConflitto() != 0) ++failed;
        d.SetState(0);
    }
    return failed;
}

TEST(ConcurrentSaves, TenProcessesSaveTheirArticlesTwoHundredTimesEach) {
    if (!testing::PgConnectionString()) {
        if (testing::PgRequired()) FAIL() << "QMX_REQUIRE_PG=1 but QMX_PG_CONNECTION is not set";
        GTEST_SKIP() << "QMX_PG_CONNECTION is not set";
    }
    testing::TestDatabase database(Engine::kPostgres);
    auto& db = database.db();
    demo::CreateSchema(db);
    demo::DemoOptions options;
    options.stored_prices = false;
    demo::BuildDemo(db, options);
    db.Execute("UPDATE MG44_PARMAGLIST SET MG44_INDPROPDATAINI = 0, MG44_INDPROPDATAFINE = 0");
    // Copies of the grid-type-1 article, kArticoliPerProcesso for each process.
    for (int p = 0; p < kProcessi; ++p) {
        for (int k = 0; k < kArticoliPerProcesso; ++k) {
            std::string a(1, '\'');
            a.append(Articolo(p, k)).append(1, '\'');
            db.Execute("INSERT INTO MG66_ANAGRART (MG66_DITTA_CG18, MG66_CODART, MG66_FLGARRPRZ, MG66_SCAGL_MG02,"
                       " MG66_ALIVA_CG28) SELECT MG66_DITTA_CG18, " + a + ", MG66_FLGARRPRZ, MG66_SCAGL_MG02,"
                       " MG66_ALIVA_CG28 FROM MG66_ANAGRART WHERE MG66_DITTA_CG18 = 1 AND MG66_CODART = 'SCI001'");
            db.Execute("INSERT INTO MG87_DESCRART (MG87_DITTA_CG18, MG87_CODART_MG66, MG87_DESCART) SELECT"
                       " MG87_DITTA_CG18, " + a + ", MG87_DESCART FROM MG87_DESCRART WHERE MG87_DITTA_CG18 = 1"
                       " AND MG87_CODART_MG66 = 'SCI001'");
            db.Execute("INSERT INTO MG6B_GESVARART (MG6B_DITTA_CG18, MG6B_CODART_MG66, MG6B_CODICEVAR_MG5F,"
                       " MG6B_FLGGESTVAR, MG6B_CODRAGGVAR_MG5G) SELECT MG6B_DITTA_CG18, " + a + ","
                       " MG6B_CODICEVAR_MG5F, MG6B_FLGGESTVAR, MG6B_CODRAGGVAR_MG5G FROM MG6B_GESVARART"
                       " WHERE MG6B_DITTA_CG18 = 1 AND MG6B_CODART_MG66 = 'SCI001'");
        }
    }

    std::vector<pid_t> children;
    for (int p = 0; p < kProcessi; ++p) {
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            int status = 101;
            try {
                status = Desktop(database.connection_string(), p);
            } catch (...) {
            }
            // No destructor of the parent's objects may run here (they share its server connection).
            ::_exit(status);
        }
        children.push_back(pid);
    }
    for (int p = 0; p < kProcessi; ++p) {
        int status = 0;
        ASSERT_EQ(::waitpid(children[static_cast<std::size_t>(p)], &status, 0), children[static_cast<std::size_t>(p)]);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0) << "process " << p << ": failed saves (100: no load, 101: an error)";
    }

    for (int p = 0; p < kProcessi; ++p) {
        for (int k = 0; k < kArticoliPerProcesso; ++k) {
            auto rs = db.Execute(
                "SELECT LI10_NUMLIST, LI10_OPZIONE_MG5E, COUNT(*), MAX(LI10_PREZZO) FROM LI10_LISTARTIC"
                " WHERE LI10_CODART_MG66 = '" + Articolo(p, k) + "' GROUP BY LI10_NUMLIST, LI10_OPZIONE_MG5E"
                " ORDER BY LI10_NUMLIST, LI10_OPZIONE_MG5E");
            ASSERT_EQ(rs->RecordCount(), kRighe) << Articolo(p, k);
            for (long r = 0; !rs->IsEOF(); rs->MoveNext(), ++r) {
                EXPECT_EQ(kv::CLng(rs->Value(2)), 1) << Articolo(p, k) << " row " << r;
                const int atteso = UltimoPrezzo(k, r);
                EXPECT_EQ(kv::CLng(rs->Value(3)), atteso < 0 ? 0 : atteso) << Articolo(p, k) << " row " << r;
            }
        }
    }
}

}  // namespace
}  // namespace qmx
