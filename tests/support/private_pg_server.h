#pragma once
// A PostgreSQL server of the test's own, for tests that stop and start it (the shared server of a run
// must never be stopped). It is created in a temporary folder and removed when the object goes.
// Without the server binaries, or when the cluster cannot be created, available() is false and the test
// skips. Commits are synchronous (unlike the shared server's), so an immediate shutdown loses nothing
// that was committed.

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace qmx::testing {

class PrivatePgServer {
public:
    PrivatePgServer() {
        namespace fs = std::filesystem;
        std::error_code ec;
        for (const auto& version : fs::directory_iterator("/usr/lib/postgresql", ec)) {
            const fs::path bin = version.path() / "bin";
            if (fs::exists(bin / "initdb") && (bindir_.empty() || bin.string() > bindir_)) bindir_ = bin.string();
        }
        if (bindir_.empty()) return;
        dir_ = fs::temp_directory_path() / ("qmx_pg_" + std::to_string(::getpid()));
        fs::remove_all(dir_, ec);
        fs::create_directories(dir_);
        if (::getuid() == 0 && Run("chown postgres: " + dir_.string()) != 0) return;
        port_ = FreePort();
        if (Run(As() + bindir_ + "/initdb -D " + Data() + " -U qmx --auth=trust -E UTF8 --locale=C.UTF-8 >" +
                dir_.string() + "/initdb.log 2>&1") != 0)
            return;
        available_ = Start();
    }
    ~PrivatePgServer() {
        if (!dir_.empty()) {
            StopImmediately();
            std::error_code ec;
            std::filesystem::remove_all(dir_, ec);
        }
    }
    PrivatePgServer(const PrivatePgServer&) = delete;
    PrivatePgServer& operator=(const PrivatePgServer&) = delete;

    bool available() const { return available_; }
    std::string ConnectionString() const {
        return "Provider=PostgreSQL;Host=127.0.0.1;Port=" + std::to_string(port_) +
               ";Database=postgres;User ID=qmx;Password=";
    }
    int port() const { return port_; }

    bool Start() {
        return Run(As() + bindir_ + "/pg_ctl -D " + Data() + " -l " + dir_.string() + "/server.log -w -t 60 -o \"-p " +
                   std::to_string(port_) + " -k " + dir_.string() +
                   " -c listen_addresses=127.0.0.1 -c fsync=off -c full_page_writes=off\" start >/dev/null") == 0;
    }
    // The server's processes end at once, without closing their sessions: what a crash of the server does.
    bool StopImmediately() {
        return Run(As() + bindir_ + "/pg_ctl -D " + Data() + " -m immediate -w stop >/dev/null 2>&1") == 0;
    }

private:
    static int Run(const std::string& command) { return std::system(command.c_str()); }
    // The server refuses to run as root.
    static std::string As() { return ::getuid() == 0 ? "runuser -u postgres -- " : ""; }
    std::string Data() const { return (dir_ / "data").string(); }
    static int FreePort() {
        const int s = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        int port = 0;
        if (::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
            ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &len) == 0)
            port = ntohs(a.sin_port);
        ::close(s);
        return port;
    }

    std::string bindir_;
    std::filesystem::path dir_;
    int port_ = 0;
    bool available_ = false;
};

}  // namespace qmx::testing
