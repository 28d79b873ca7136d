#pragma once
// How the tests reach the private servers of a run the way a company's desktops reach theirs: with an
// encrypted connection, and as a role that must give a password.
//  - QMX_PG_CONNECTION names the run's server (plain, or encrypted when the run is made with TLS);
//  - QMX_PG_TLS_CONNECTION names a server started with `scripts/pg-server start DIR --tls`: it asks for
//    verify-full against the test authority's certificate. Its tests are skipped without it, unless
//    QMX_REQUIRE_PG_TLS=1 says the run must cover it.
// Roles of those servers log in without a password unless they belong to qmx_password (pg-server).

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/ado/connection.h"
#include "support/db_engines.h"

namespace qmx::testing {

inline const char* PgTlsConnectionString() {
    const char* s = std::getenv("QMX_PG_TLS_CONNECTION");
    return s && *s ? s : nullptr;
}

inline bool PgTlsRequired() {
    const char* s = std::getenv("QMX_REQUIRE_PG_TLS");
    return s && std::string(s) == "1";
}

// The servers a test of access runs against: the run's own and the encrypted one.
enum class Server { kRun, kTls };
inline std::string ServerName(Server s) { return s == Server::kRun ? "RunServer" : "TlsServer"; }
inline const char* ServerConnectionString(Server s) {
    return s == Server::kRun ? PgConnectionString() : PgTlsConnectionString();
}
// Skips (or fails, when the run requires it) a test whose server is not there.
#define QMX_REQUIRE_SERVER(server)                                                                     \
    do {                                                                                               \
        if (!::qmx::testing::ServerConnectionString(server)) {                                         \
            const bool required = (server) == ::qmx::testing::Server::kRun ? ::qmx::testing::PgRequired() \
                                                                           : ::qmx::testing::PgTlsRequired(); \
            if (required) FAIL() << ::qmx::testing::ServerName(server) << " is required but not set";  \
            GTEST_SKIP() << ::qmx::testing::ServerName(server) << " is not set";                      \
        }                                                                                              \
    } while (0)

// The value of one key of a connection string.
inline std::string ConnValue(const std::string& connection_string, std::string_view key) {
    return kv::ado::ConnectionStringValue(connection_string, {key});
}

// A login role that must give a password, dropped (with what it was granted) when the object goes.
class PasswordRole {
public:
    PasswordRole(const std::string& admin_connection, std::string password) : password_(std::move(password)) {
        static std::atomic<int> counter{0};
        name_ = "qmx_pw_" + std::to_string(::getpid()) + "_" + std::to_string(++counter);
        admin_ = kv::ado::Connection::Create();
        admin_->Open(admin_connection);
        admin_->Execute("CREATE ROLE " + name_ + " LOGIN IN ROLE qmx_password");
        SetPassword(password_);
    }
    ~PasswordRole() {
        try {
            admin_->Execute("SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE usename = '" + name_ + "'");
            admin_->Execute("DROP OWNED BY " + name_);
            admin_->Execute("DROP ROLE " + name_);
        } catch (const kv::Error&) {
            // The server is private to the run; a role left over harms nothing.
        }
    }
    PasswordRole(const PasswordRole&) = delete;
    PasswordRole& operator=(const PasswordRole&) = delete;

    const std::string& name() const { return name_; }
    const std::string& password() const { return password_; }
    void SetPassword(const std::string& password) {
        password_ = password;
        std::string quoted;
        for (char c : password) quoted += c == '\'' ? std::string("''") : std::string(1, c);
        admin_->Execute("ALTER ROLE " + name_ + " PASSWORD '" + quoted + "'");
    }
    // `base` as this role, with no password of its own.
    std::string As(const std::string& base) const { return base + ";User ID=" + name_ + ";Password="; }
    kv::ado::Connection& admin() { return *admin_; }

private:
    std::string name_;
    std::string password_;
    kv::ado::ConnectionPtr admin_;
};

// A file of the test's own (a password file, a service file), removed when the object goes. Only its
// owner may read it, as the engine wants of a password file.
class PrivateFile {
public:
    PrivateFile(const std::string& stem, const std::string& text) {
        static std::atomic<int> counter{0};
        path_ = (std::filesystem::temp_directory_path() /
                 (stem + "_" + std::to_string(::getpid()) + "_" + std::to_string(++counter)))
                    .string();
        std::ofstream(path_) << text;
        ::chmod(path_.c_str(), 0600);
    }
    ~PrivateFile() { std::filesystem::remove(path_); }
    PrivateFile(const PrivateFile&) = delete;
    PrivateFile& operator=(const PrivateFile&) = delete;
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

// The password file line that gives `role`'s password for the server of `connection_string`.
inline std::string PassfileLine(const std::string& connection_string, const PasswordRole& role) {
    return ConnValue(connection_string, "Host") + ":" + ConnValue(connection_string, "Port") + ":*:" + role.name() +
           ":" + role.password() + "\n";
}

// Sets an environment variable for the life of the object.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old, had_ = true;
        ::setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv() {
        if (had_) ::setenv(name_, old_.c_str(), 1);
        else ::unsetenv(name_);
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* name_;
    std::string old_;
    bool had_ = false;
};

}  // namespace qmx::testing
