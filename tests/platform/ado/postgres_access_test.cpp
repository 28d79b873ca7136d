// A company's desktops reaching one server: encrypted connections, passwords that come from the engine's
// password file, a service or the user (never from a text anyone can see), and a statement that meets a
// row another desktop holds, which waits the lock timeout and no longer.

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <deque>
#include <string>
#include <vector>

#include "platform/ado/backend.h"
#include "platform/ado/connection.h"
#include "platform/services/error_texts.h"
#include "platform/services/session_passwords.h"
#include "support/db_engines.h"
#include "support/errors.h"
#include "support/pg_access.h"

namespace kv::ado {
namespace {

using kv::testing::ErrorNumber;
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
        Refusal r{e.Number(), e.Description(), {}};
        if (c.GetErrors().Count() > 0) r.sql_state = c.GetErrors().Item(0).sql_state;
        return r;
    }
    return {};
}

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// ---- The connection string

TEST(ConnectionString, LockTimeoutIsInSecondsAndTenWhenNotSaid) {
    struct Case {
        const char* text;
        long milliseconds;  // -1: refused
    };
    for (const Case& c : {Case{"Provider=PostgreSQL", 10000}, Case{"Lock Timeout=10", 10000},
                          Case{"lock timeout = 0,5", 500}, Case{"Lock Timeout=0.25", 250}, Case{"Lock Timeout=0", 0},
                          Case{"Lock Timeout=0,0001", 1}, Case{"Lock Timeout=abc", -1}, Case{"Lock Timeout=-1", -1},
                          Case{"Lock Timeout=10s", -1}, Case{"Lock Timeout=", -1}, Case{"Lock Timeout=1e9", -1}}) {
        SCOPED_TRACE(c.text);
        const ConnectionParams params = ConnectionParams::Parse(c.text);
        if (c.milliseconds >= 0) {
            EXPECT_EQ(LockTimeoutMilliseconds(params), c.milliseconds);
        } else {
            const std::string text = kv::testing::ErrorText([&] { LockTimeoutMilliseconds(params); });
            EXPECT_TRUE(Has(text, "Lock Timeout vuole i secondi")) << text;
        }
    }
}

// A string that does not read is refused naming a key, never showing a piece of a value: with a password
// that holds ';' and was not quoted, that piece would be part of the password.
TEST(ConnectionString, ARefusalNeverShowsAPieceOfAValue) {
    for (const char* text : {"Provider=PostgreSQL;Password=Zx9;Kw4;Host=x", "Provider=PostgreSQL;Password=\"Zx9;Kw4",
                             "Provider=PostgreSQL;Password=\"Zx9;Kw4\" x;Host=x", "Zx9;Kw4=1"}) {
        SCOPED_TRACE(text);
        Connection c;
        const Refusal r = OpenRefusal(c, text);
        EXPECT_EQ(r.number, err::kInvalidArgument);
        EXPECT_FALSE(Has(r.description, "Zx9")) << r.description;
        EXPECT_FALSE(Has(r.description, "Kw4")) << r.description;
        EXPECT_TRUE(Has(r.description, "Stringa di connessione")) << r.description;
    }
    // A quoted password keeps its ';' and '='.
    EXPECT_EQ(ConnectionStringValue("Provider=PostgreSQL;Password=\"a;b=c\";Host=h", {"Password"}), "a;b=c");
    EXPECT_EQ(ConnectionStringValue("Password=\"a;b", {"Password"}), "");
}

TEST(ConnectionString, AnSslModeThePlatformDoesNotKnowIsRefusedInItalian) {
    Connection c;
    const Refusal r = OpenRefusal(c, "Provider=PostgreSQL;Host=127.0.0.1;Port=1;SSL Mode=sempre");
    EXPECT_EQ(r.number, err::kInvalidArgument);
    EXPECT_TRUE(Has(r.description, "SSL Mode vale \"sempre\"")) << r.description;
    EXPECT_TRUE(Has(r.description, "verify-full")) << r.description;
}

// ---- Lock timeout, on both engines

TEST(LockTimeout, AWriteMeetingTheEmbeddedDatabaseHeldByAnotherConnectionIsRefusedAsARowLockIs) {
    PrivateFile file("qmx_lock.sqlite", "");
    const std::string database = "Provider=SQLite;Data Source=" + file.path();
    Connection holder, other;
    holder.Open(database);
    holder.Execute("CREATE TABLE T (K INTEGER)");
    other.Open(database + ";Lock Timeout=0,2");
    holder.BeginTrans();
    holder.Execute("INSERT INTO T VALUES (1)");
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(ErrorNumber([&] { other.Execute("INSERT INTO T VALUES (2)"); }), err::kProvider);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    ASSERT_EQ(other.GetErrors().Count(), 1);
    EXPECT_EQ(other.GetErrors().Item(0).sql_state, kSqlStateLockTimeout);
    holder.CommitTrans();
    other.Execute("INSERT INTO T VALUES (2)");
    EXPECT_EQ(CLng(other.Execute("SELECT COUNT(*) FROM T")->Value(0)), 2);
}

class ServerAccess : public ::testing::TestWithParam<Server> {
protected:
    void SetUp() override {
        QMX_REQUIRE_SERVER(GetParam());
        base_ = qmx::testing::ServerConnectionString(GetParam());
    }
    std::string base_;
};

TEST_P(ServerAccess, TheLockTimeoutIsTenSecondsUnlessTheStringSaysOtherwise) {
    Connection c;
    c.Open(base_);
    EXPECT_EQ(c.Execute("SHOW lock_timeout")->Value(0), Variant("10s"));
    c.Close();
    c.Open(base_ + ";Lock Timeout=0,5");
    EXPECT_EQ(c.Execute("SHOW lock_timeout")->Value(0), Variant("500ms"));
    c.Close();
    c.Open(base_ + ";Lock Timeout=0");
    EXPECT_EQ(c.Execute("SHOW lock_timeout")->Value(0), Variant("0"));
}

// A row another connection holds in its transaction: the statement waits the lock timeout, is refused
// with the lock's state, undoes only itself, and the transaction it was in can be rolled back; once the
// other connection is done, the same statement goes through.
TEST_P(ServerAccess, AStatementMeetingAHeldRowWaitsTheLockTimeoutAndNoLonger) {
    const std::string schema = "kvt_lock_" + std::to_string(::getpid());
    Connection holder, other;
    holder.Open(base_);
    holder.Execute("DROP SCHEMA IF EXISTS " + schema + " CASCADE");
    holder.Execute("CREATE SCHEMA " + schema);
    holder.Execute("CREATE TABLE " + schema + ".T (K INTEGER PRIMARY KEY, V INTEGER)");
    holder.Execute("INSERT INTO " + schema + ".T VALUES (1, 0), (2, 0)");
    other.Open(base_ + ";Schema=" + schema + ";Lock Timeout=0,3");

    holder.BeginTrans();
    holder.Execute("UPDATE " + schema + ".T SET V = 9 WHERE K = 1");
    other.BeginTrans();
    other.Execute("UPDATE T SET V = 5 WHERE K = 2");
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(ErrorNumber([&] { other.Execute("UPDATE T SET V = 5 WHERE K = 1"); }), err::kProvider);
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, std::chrono::milliseconds(250));
    EXPECT_LT(waited, std::chrono::seconds(5));
    ASSERT_EQ(other.GetErrors().Count(), 1);
    EXPECT_EQ(other.GetErrors().Item(0).sql_state, kSqlStateLockTimeout);
    EXPECT_TRUE(other.InTransaction());
    other.RollbackTrans();
    holder.RollbackTrans();
    EXPECT_EQ(ErrorNumber([&] { other.Execute("UPDATE T SET V = 5 WHERE K = 1"); }), 0);
    holder.Execute("DROP SCHEMA " + schema + " CASCADE");
}

TEST_P(ServerAccess, APasswordComesFromThePasswordFileOrAService) {
    PasswordRole role(base_, "Segreto-1");
    Connection c;
    // Nothing gives it: refused, saying where it goes.
    const Refusal missing = OpenRefusal(c, role.As(base_));
    EXPECT_EQ(missing.number, err::kProvider);
    EXPECT_EQ(missing.sql_state, kSqlStatePasswordMissing);
    EXPECT_TRUE(Has(missing.description, "chiede la password dell'utente " + role.name())) << missing.description;
    EXPECT_TRUE(Has(missing.description, "file delle password")) << missing.description;
    EXPECT_EQ(c.State(), adStateClosed);

    PrivateFile passfile("qmx_pgpass", qmx::testing::PassfileLine(base_, role));
    c.Open(role.As(base_) + ";Password File=" + passfile.path());
    EXPECT_EQ(c.Execute("SELECT current_user")->Value(0), Variant(role.name()));
    c.Close();
    {
        ScopedEnv env("PGPASSFILE", passfile.path());
        c.Open(role.As(base_));
        EXPECT_EQ(c.Execute("SELECT current_user")->Value(0), Variant(role.name()));
        c.Close();
    }
    // A service names server, database and user; the password file gives the password.
    PrivateFile services("qmx_pg_service",
                         "[ditta_prova]\nhost=" + qmx::testing::ConnValue(base_, "Host") +
                             "\nport=" + qmx::testing::ConnValue(base_, "Port") + "\ndbname=postgres\nuser=" +
                             role.name() + "\n");
    ScopedEnv service_file("PGSERVICEFILE", services.path());
    c.Open("Provider=PostgreSQL;Service=ditta_prova;Password File=" + passfile.path());
    EXPECT_EQ(c.Execute("SELECT current_user")->Value(0), Variant(role.name()));
    c.Close();
    // A password of the file that the server does not accept is the administrator's to mend.
    role.SetPassword("Segreto-2");
    const Refusal refused = OpenRefusal(c, "Provider=PostgreSQL;Service=ditta_prova;Password File=" + passfile.path());
    EXPECT_EQ(refused.sql_state, kSqlStatePasswordRefused);
    EXPECT_TRUE(Has(refused.description, "non ha accettato la password dell'utente " + role.name()))
        << refused.description;
}

// The desktop's prompt: asked only when nothing else gives the password, once a session for a server and
// user, again (saying so) after a refusal; a user who declines gets the connection refused.
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
    auto open = [&](const std::string& text) {
        auto c = Connection::Create();
        c->SetPasswordPrompt(passwords);
        c->Open(text);
        return c;
    };
    answers = {std::string("sbagliata"), std::string("Segreto-1")};
    auto first = open(role.As(base_));
    EXPECT_EQ(first->Execute("SELECT current_user")->Value(0), Variant(role.name()));
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_FALSE(asked[0].refused);
    EXPECT_TRUE(asked[1].refused);
    EXPECT_EQ(asked[0].user, role.name());
    EXPECT_EQ(asked[0].server, qmx::testing::ConnValue(base_, "Host") + ":" + qmx::testing::ConnValue(base_, "Port"));
    EXPECT_EQ(asked[0].database, "postgres");

    open(role.As(base_));  // the window's connection after the host's: not asked again
    EXPECT_EQ(asked.size(), 2u);

    // The password changed on the server meanwhile: the remembered one is refused, the user asked again.
    role.SetPassword("Segreto-2");
    answers = {std::string("Segreto-2")};
    open(role.As(base_));
    ASSERT_EQ(asked.size(), 3u);
    EXPECT_TRUE(asked[2].refused);

    // A password of the connection string that the server refuses is not replaced by asking.
    Connection c;
    c.SetPasswordPrompt(passwords);
    const Refusal wrong = OpenRefusal(c, role.As(base_) + ";Password=vecchia");
    EXPECT_EQ(wrong.sql_state, kSqlStatePasswordRefused);
    EXPECT_EQ(asked.size(), 3u);

    // Three wrong tries end it; so does declining.
    auto other = std::make_shared<PasswordRole>(base_, "Altro-1");
    answers = {std::string("a"), std::string(""), std::string("c")};
    const Refusal tries = OpenRefusal(c, other->As(base_));
    EXPECT_EQ(tries.sql_state, kSqlStatePasswordRefused);
    EXPECT_EQ(asked.size(), 6u);
    answers = {std::nullopt};
    const Refusal declined = OpenRefusal(c, other->As(base_));
    EXPECT_EQ(declined.sql_state, kSqlStatePasswordMissing);
    EXPECT_TRUE(Has(declined.description, "non è stata indicata")) << declined.description;
    EXPECT_TRUE(passwords->Declined());
    EXPECT_EQ(c.State(), adStateClosed);
}

// Every way a connection can fail, with a password in its string: neither the error raised, nor the
// connection's Errors, nor what the error display makes of them (message, number, "Dettagli") holds the
// password or a piece of it.
TEST_P(ServerAccess, NoTextOfAFailedConnectionHoldsThePassword) {
    const std::string secret = "Zq7-Segreto;Pw";  // holds ';', so a string must quote it
    const std::string quoted = "\"" + secret + "\"";
    PasswordRole role(base_, secret);
    const std::string host = qmx::testing::ConnValue(base_, "Host");
    const std::string port = qmx::testing::ConnValue(base_, "Port");
    const std::string server = "Provider=PostgreSQL;Host=" + host + ";Port=" + port;
    const std::string root = qmx::testing::ConnValue(base_, "SSL Root Cert");
    struct Way {
        const char* what;
        std::string text;
    };
    std::vector<Way> ways = {
        {"wrong password", role.As(base_) + ";Password=\"Zq7-Sbagliato;Pw\""},
        {"password not quoted", role.As(base_) + ";Password=" + secret},
        {"quote not closed", role.As(base_) + ";Password=\"" + secret},
        {"text after the quote", role.As(base_) + ";Password=" + quoted + " oltre"},
        {"no server there", "Provider=PostgreSQL;Host=127.0.0.1;Port=1;User ID=qmx;Password=" + quoted},
        {"no such database", base_ + ";Database=nessuna;Password=" + quoted},
        {"no such user", server + ";User ID=nessuno;Password=" + quoted},
        {"bad ssl mode", base_ + ";Password=" + quoted + ";SSL Mode=sempre"},
        {"bad lock timeout", base_ + ";Password=" + quoted + ";Lock Timeout=mai"},
        {"root file missing", server + ";User ID=qmx;Password=" + quoted + ";SSL Mode=verify-ca;SSL Root Cert=/nessuno.crt"},
        {"no such service", "Provider=PostgreSQL;Service=nessuno;Password=" + quoted},
    };
    if (!root.empty())
        ways.push_back({"wrong authority", server + ";User ID=qmx;Password=" + quoted + ";SSL Mode=verify-ca;SSL Root Cert=" +
                                               root.substr(0, root.rfind('/')) + "/other-ca.crt"});
    else
        ways.push_back({"no encryption there", server + ";User ID=qmx;Password=" + quoted + ";SSL Mode=require"});
    const std::vector<std::string> pieces = {secret, "Zq7", "Segreto", "Sbagliato"};
    auto check = [&](const std::string& what, const std::string& text) {
        for (const auto& p : pieces) EXPECT_FALSE(Has(text, p)) << what << ": " << text;
    };
    for (const auto& way : ways) {
        SCOPED_TRACE(way.what);
        Connection c;
        kv::services::ErrorReport report;
        try {
            c.Open(way.text);
            ADD_FAILURE() << "opened";
            continue;
        } catch (const Error& e) {
            report.number = e.Number();
            report.description = e.Description();
            report.source = e.Source();
            report.procedure = "Form_Load";
        }
        for (const auto& info : c.GetErrors().All()) {
            report.connection_errors.push_back(info);
            check(way.what, info.description + info.source + info.sql_state);
        }
        const auto shown = kv::services::DescribeForUser(report);
        check(way.what, report.description);
        check(way.what, shown.message + shown.number + shown.details);
    }

    // A session lost while the password changed: opening it again is refused, without the password.
    PrivateFile passfile("qmx_pgpass", qmx::testing::PassfileLine(base_, role));
    Connection c;
    c.Open(role.As(base_) + ";Password File=" + passfile.path());
    role.SetPassword("Altro-1");
    role.admin().Execute("SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE usename = '" + role.name() + "'");
    ::usleep(200000);
    const std::string lost = kv::testing::ErrorText([&] { c.Execute("SELECT 1"); });
    EXPECT_TRUE(Has(lost, "interrotta")) << lost;
    check("lost session", lost);
}

struct ServerParamName {
    std::string operator()(const ::testing::TestParamInfo<Server>& p) const { return qmx::testing::ServerName(p.param); }
};
INSTANTIATE_TEST_SUITE_P(Servers, ServerAccess, ::testing::Values(Server::kRun, Server::kTls), ServerParamName());

// ---- Encryption

class Encryption : public ::testing::Test {
protected:
    void SetUp() override {
        QMX_REQUIRE_SERVER(Server::kTls);
        const std::string tls = qmx::testing::PgTlsConnectionString();
        authority_ = qmx::testing::ConnValue(tls, "SSL Root Cert");
        ASSERT_FALSE(authority_.empty()) << tls;
        other_authority_ = authority_.substr(0, authority_.rfind('/')) + "/other-ca.crt";
        // The encrypted server with no word on encryption of its own.
        server_ = "Provider=PostgreSQL;Host=" + qmx::testing::ConnValue(tls, "Host") +
                  ";Port=" + qmx::testing::ConnValue(tls, "Port") + ";Database=postgres;User ID=qmx";
    }
    static bool Encrypted(Connection& c) {
        return c.Execute("SELECT ssl FROM pg_stat_ssl WHERE pid = pg_backend_pid()")->Value(0) == Variant(true);
    }
    std::string authority_, other_authority_, server_;
};

TEST_F(Encryption, EachSslModeEncryptsAndVerifiesAsItSays) {
    struct Case {
        std::string extra;
        bool opens;
        bool encrypted;
    };
    const Case cases[] = {
        {";SSL Mode=disable", true, false},
        {";SSL Mode=require", true, true},  // encrypted, the certificate taken as it comes
        {";SSL Mode=verify-ca;SSL Root Cert=" + authority_, true, true},
        {";SSL Mode=verify-full;SSL Root Cert=" + authority_, true, true},
        {";SSL Mode=VERIFY-FULL;SSL Root Cert=" + authority_, true, true},
        {";SSL Mode=verify-ca;SSL Root Cert=" + other_authority_, false, false},
        {";SSL Mode=verify-full;SSL Root Cert=" + other_authority_, false, false},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(k.extra);
        Connection c;
        const Refusal r = OpenRefusal(c, server_ + k.extra);
        if (!k.opens) {
            EXPECT_EQ(r.number, err::kProvider);
            EXPECT_TRUE(Has(r.description, "la connessione cifrata (SSL Mode=")) << r.description;
            EXPECT_EQ(c.State(), adStateClosed);
            continue;
        }
        ASSERT_EQ(r.number, 0) << r.description;
        EXPECT_EQ(Encrypted(c), k.encrypted);
    }
}

// verify-full checks that the certificate names the server asked for; verify-ca only who signed it.
TEST_F(Encryption, VerifyFullRefusesACertificateForAnotherName) {
    const std::string elsewhere = "Provider=PostgreSQL;Host=listini.esempio.it;Host Address=127.0.0.1;Port=" +
                                  qmx::testing::ConnValue(server_, "Port") + ";Database=postgres;User ID=qmx;SSL Root Cert=" +
                                  authority_;
    Connection c;
    const Refusal r = OpenRefusal(c, elsewhere + ";SSL Mode=verify-full");
    EXPECT_EQ(r.number, err::kProvider);
    EXPECT_TRUE(Has(r.description, "listini.esempio.it")) << r.description;
    c.Open(elsewhere + ";SSL Mode=verify-ca");
    EXPECT_TRUE(Encrypted(c));
}

// Without SSL Root Cert the engine's own root file is read (its environment may name it), not nothing.
TEST_F(Encryption, WithoutSslRootCertTheEnginesOwnRootFileIsUsed) {
    {
        ScopedEnv root("PGSSLROOTCERT", authority_);
        Connection c;
        c.Open(server_ + ";SSL Mode=verify-full");
        EXPECT_TRUE(Encrypted(c));
    }
    ScopedEnv root("PGSSLROOTCERT", other_authority_);
    Connection c;
    EXPECT_EQ(OpenRefusal(c, server_ + ";SSL Mode=verify-full").number, err::kProvider);
}

TEST_F(Encryption, AServerWithoutEncryptionIsRefusedWhenTheStringDemandsIt) {
    const char* run = qmx::testing::PgConnectionString();
    if (!run || !qmx::testing::ConnValue(run, "SSL Mode").empty()) GTEST_SKIP() << "the run's server is encrypted";
    Connection c;
    const Refusal r = OpenRefusal(c, std::string(run) + ";SSL Mode=require");
    EXPECT_EQ(r.number, err::kProvider);
    EXPECT_TRUE(Has(r.description, "la connessione cifrata (SSL Mode=require)")) << r.description;
}

}  // namespace
}  // namespace kv::ado
