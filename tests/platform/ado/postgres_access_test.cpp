// A company's desktops reaching one server: encrypted and verified connections, passwords from the
// engine's password file, a service or the user, and a statement that meets a row another desktop
// holds, which waits the lock timeout and no longer. What no text may show is checked where everything
// shown is (tests/host/database_access_test.cpp).

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <deque>
#include <string>
#include <vector>

#include "platform/ado/backend.h"
#include "platform/ado/connection.h"
#include "platform/services/session_passwords.h"
#include "support/errors.h"
#include "support/pg_access.h"

namespace kv::ado {
namespace {

using kv::testing::ErrorNumber;
using qmx::testing::ConnValue;
using qmx::testing::PasswordRole;
using qmx::testing::PrivateFile;
using qmx::testing::ScopedEnv;
using qmx::testing::Server;

struct Refusal {
    long number = 0;
    std::string description;
    std::string sql_state;
};

Refusal OpenRefusal(Connection& c, const std::string& text) {
    try {
        c.Open(text);
    } catch (const Error& e) {
        return {e.Number(), e.Description(), c.GetErrors().Count() > 0 ? c.GetErrors().Item(0).sql_state : ""};
    }
    return {};
}

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST(ConnectionString, LockTimeoutIsInSecondsAndABadValueIsRefusedInItalian) {
    for (auto [text, ms] : std::vector<std::pair<const char*, long>>{
             {"Provider=PostgreSQL", 10000}, {"lock timeout = 0,5", 500}, {"Lock Timeout=0.25", 250},
             {"Lock Timeout=0", 0}, {"Lock Timeout=0,0001", 1}, {"Lock Timeout=abc", -1}, {"Lock Timeout=-1", -1},
             {"Lock Timeout=10s", -1}, {"Lock Timeout=", -1}, {"Lock Timeout=1e9", -1}}) {
        const ConnectionParams params = ConnectionParams::Parse(text);
        if (ms >= 0) EXPECT_EQ(LockTimeoutMilliseconds(params), ms) << text;
        else EXPECT_TRUE(Has(kv::testing::ErrorText([&] { LockTimeoutMilliseconds(params); }), "Lock Timeout vuole")) << text;
    }
    Connection c;
    const Refusal r = OpenRefusal(c, "Provider=PostgreSQL;Host=127.0.0.1;Port=1;SSL Mode=sempre");
    EXPECT_EQ(r.number, err::kInvalidArgument);
    EXPECT_TRUE(Has(r.description, "SSL Mode vale \"sempre\", ma può valere disable")) << r.description;
}

class ServerAccess : public ::testing::TestWithParam<Server> {
protected:
    void SetUp() override {
        QMX_REQUIRE_SERVER(GetParam());
        base_ = qmx::testing::ServerConnectionString(GetParam());
    }
    std::string base_;
};

// Ten seconds unless the string says otherwise; a row another connection holds in its transaction makes
// a statement wait that long, then it is refused with the lock's state and undoes only itself.
TEST_P(ServerAccess, AHeldRowIsWaitedForTheLockTimeoutAndNoLonger) {
    Connection holder, other;
    holder.Open(base_);
    EXPECT_EQ(holder.Execute("SHOW lock_timeout")->Value(0), Variant("10s"));
    const std::string t = "kvt_lock_" + std::to_string(::getpid());
    holder.Execute("DROP TABLE IF EXISTS " + t);
    holder.Execute("CREATE TABLE " + t + " (K INTEGER PRIMARY KEY, V INTEGER)");
    holder.Execute("INSERT INTO " + t + " VALUES (1, 0), (2, 0)");
    other.Open(base_ + ";Lock Timeout=0,3");
    EXPECT_EQ(other.Execute("SHOW lock_timeout")->Value(0), Variant("300ms"));

    holder.BeginTrans();
    holder.Execute("UPDATE " + t + " SET V = 9 WHERE K = 1");
    other.BeginTrans();
    other.Execute("UPDATE " + t + " SET V = 5 WHERE K = 2");
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(ErrorNumber([&] { other.Execute("UPDATE " + t + " SET V = 5 WHERE K = 1"); }), err::kProvider);
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, std::chrono::milliseconds(250));
    EXPECT_LT(waited, std::chrono::seconds(5));
    EXPECT_EQ(other.GetErrors().Item(0).sql_state, kSqlStateLockTimeout);
    other.CommitTrans();  // the other row's change stands
    holder.RollbackTrans();
    EXPECT_EQ(CLng(holder.Execute("SELECT SUM(V) FROM " + t)->Value(0)), 5);
    holder.Execute("DROP TABLE " + t);
}

TEST_P(ServerAccess, APasswordComesFromThePasswordFileOrAService) {
    PasswordRole role(base_, "Segreto-1");
    Connection c;
    const Refusal missing = OpenRefusal(c, role.As(base_));
    EXPECT_EQ(missing.sql_state, kSqlStatePasswordMissing);
    EXPECT_TRUE(Has(missing.description, "chiede la password dell'utente " + role.name())) << missing.description;
    EXPECT_TRUE(Has(missing.description, "file delle password")) << missing.description;

    PrivateFile passfile("qmx_pgpass", qmx::testing::PassfileLine(base_, role));
    auto current_user = [&](const std::string& text) {
        Connection k;
        k.Open(text);
        return k.Execute("SELECT current_user")->Value(0);
    };
    EXPECT_EQ(current_user(role.As(base_) + ";Password File=" + passfile.path()), Variant(role.name()));
    {
        ScopedEnv env("PGPASSFILE", passfile.path());
        EXPECT_EQ(current_user(role.As(base_)), Variant(role.name()));
    }
    PrivateFile services("qmx_pg_service", "[ditta_prova]\nhost=" + ConnValue(base_, "Host") + "\nport=" +
                                               ConnValue(base_, "Port") + "\ndbname=postgres\nuser=" + role.name() + "\n");
    ScopedEnv service_file("PGSERVICEFILE", services.path());
    const std::string by_service = "Provider=PostgreSQL;Service=ditta_prova;Password File=" + passfile.path();
    EXPECT_EQ(current_user(by_service), Variant(role.name()));
    // A password of the file that the server no longer accepts is the administrator's to mend.
    role.SetPassword("Segreto-2");
    const Refusal refused = OpenRefusal(c, by_service);
    EXPECT_EQ(refused.sql_state, kSqlStatePasswordRefused);
    EXPECT_TRUE(Has(refused.description, "non ha accettato la password dell'utente " + role.name())) << refused.description;
}

// The desktop's prompt: asked only when nothing else gives the password, once a session for a server and
// user, again (saying so) after a refusal, three tries at most; a user who declines gets no connection.
TEST_P(ServerAccess, ThePromptIsAskedOnceASessionAndAgainAfterARefusal) {
    PasswordRole role(base_, "Segreto-1");
    std::deque<std::optional<std::string>> answers;
    std::vector<PasswordPrompt::Request> asked;
    auto passwords = std::make_shared<kv::services::SessionPasswords>([&](const PasswordPrompt::Request& r) {
        asked.push_back(r);
        auto a = answers.front();
        answers.pop_front();
        return a;
    });
    Connection c;
    c.SetPasswordPrompt(passwords);
    auto open = [&](const std::string& text) {
        if (c.State() == adStateOpen) c.Close();
        return OpenRefusal(c, text);
    };
    answers = {std::string("sbagliata"), std::string("Segreto-1")};
    EXPECT_EQ(open(role.As(base_)).number, 0);
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_FALSE(asked[0].refused);
    EXPECT_TRUE(asked[1].refused);
    EXPECT_EQ(asked[0].user, role.name());
    EXPECT_EQ(asked[0].server, ConnValue(base_, "Host") + ":" + ConnValue(base_, "Port"));
    EXPECT_EQ(asked[0].database, "postgres");
    EXPECT_EQ(open(role.As(base_)).number, 0);  // the window's connection after the host's: not asked
    EXPECT_EQ(asked.size(), 2u);

    role.SetPassword("Segreto-2");  // changed on the server: the remembered one is refused, asked again
    answers = {std::string("Segreto-2")};
    EXPECT_EQ(open(role.As(base_)).number, 0);
    ASSERT_EQ(asked.size(), 3u);
    EXPECT_TRUE(asked[2].refused);

    // A password of the connection string that the server refuses is not replaced by asking.
    EXPECT_EQ(open(role.As(base_) + ";Password=vecchia").sql_state, kSqlStatePasswordRefused);
    EXPECT_EQ(asked.size(), 3u);

    PasswordRole other(base_, "Altro-1");
    answers = {std::string("a"), std::string(""), std::string("c")};
    EXPECT_EQ(open(other.As(base_)).sql_state, kSqlStatePasswordRefused);
    EXPECT_EQ(asked.size(), 6u);
    answers = {std::nullopt};
    const Refusal declined = open(other.As(base_));
    EXPECT_EQ(declined.sql_state, kSqlStatePasswordMissing);
    EXPECT_TRUE(Has(declined.description, "non è stata indicata")) << declined.description;
    EXPECT_TRUE(passwords->Declined());
    EXPECT_EQ(c.State(), adStateClosed);
}

struct ServerParamName {
    std::string operator()(const ::testing::TestParamInfo<Server>& p) const { return qmx::testing::ServerName(p.param); }
};
INSTANTIATE_TEST_SUITE_P(Servers, ServerAccess, ::testing::Values(Server::kRun, Server::kTls), ServerParamName());

// Each SSL Mode against the encrypted server: whether it opens, and whether the session is encrypted.
// verify-ca checks who signed the certificate, verify-full also that it names the server asked for;
// without SSL Root Cert the engine's own root file is read (its environment names it here).
TEST(Encryption, EachSslModeEncryptsAndVerifiesAsItSays) {
    QMX_REQUIRE_SERVER(Server::kTls);
    const std::string tls = qmx::testing::PgTlsConnectionString();
    const std::string authority = ConnValue(tls, "SSL Root Cert");
    ASSERT_FALSE(authority.empty()) << tls;
    const std::string other = authority.substr(0, authority.rfind('/')) + "/other-ca.crt";
    const std::string server = "Provider=PostgreSQL;Host=" + ConnValue(tls, "Host") + ";Port=" + ConnValue(tls, "Port") +
                               ";Database=postgres;User ID=qmx";
    const std::string elsewhere = "Provider=PostgreSQL;Host=listini.esempio.it;Host Address=" + ConnValue(tls, "Host") +
                                  ";Port=" + ConnValue(tls, "Port") + ";Database=postgres;User ID=qmx";
    struct Case {
        std::string text;
        const char* root_env;  // PGSSLROOTCERT, or nullptr
        int encrypted;         // 1 yes, 0 no, -1 refused
    };
    const Case cases[] = {
        {server + ";SSL Mode=disable", nullptr, 0},
        {server + ";SSL Mode=require", nullptr, 1},
        {server + ";SSL Mode=verify-ca;SSL Root Cert=" + authority, nullptr, 1},
        {server + ";SSL Mode=VERIFY-FULL;SSL Root Cert=" + authority, nullptr, 1},
        {server + ";SSL Mode=verify-ca;SSL Root Cert=" + other, nullptr, -1},
        {server + ";SSL Mode=verify-full;SSL Root Cert=" + other, nullptr, -1},
        {elsewhere + ";SSL Mode=verify-ca;SSL Root Cert=" + authority, nullptr, 1},
        {elsewhere + ";SSL Mode=verify-full;SSL Root Cert=" + authority, nullptr, -1},
        {server + ";SSL Mode=verify-full", authority.c_str(), 1},
        {server + ";SSL Mode=verify-full", other.c_str(), -1},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.text + (k.root_env ? std::string(" PGSSLROOTCERT=") + k.root_env : ""));
        std::optional<ScopedEnv> env;
        if (k.root_env) env.emplace("PGSSLROOTCERT", k.root_env);
        Connection c;
        const Refusal r = OpenRefusal(c, k.text);
        if (k.encrypted < 0) {
            EXPECT_EQ(r.number, err::kProvider);
            EXPECT_TRUE(Has(r.description, "la connessione cifrata (SSL Mode=")) << r.description;
            continue;
        }
        ASSERT_EQ(r.number, 0) << r.description;
        EXPECT_EQ(c.Execute("SELECT ssl FROM pg_stat_ssl WHERE pid = pg_backend_pid()")->Value(0), Variant(k.encrypted == 1));
    }
    // A server that cannot encrypt is refused when the string demands it.
    const char* run = qmx::testing::PgConnectionString();
    if (!run || !ConnValue(run, "SSL Mode").empty()) return;  // the run's server is the encrypted one
    Connection c;
    EXPECT_TRUE(Has(OpenRefusal(c, std::string(run) + ";SSL Mode=require").description,
                    "la connessione cifrata (SSL Mode=require)"));
}

}  // namespace
}  // namespace kv::ado
