#pragma once
// Many desktops on one PostgreSQL server: each desktop a process of its own (as each user's erp-host
// is), with its own connection and window, opening a demo article - one of its own or one it shares
// with other desktops - typing 10 purchase prices and pressing "Conferma", over and over for a fixed
// time. What the run measures: saves per second, the time a "Conferma" takes (median and 95th
// percentile), the conflicts the desktops met (another desktop saved a row they had edited); and, at
// the end, that every price a save wrote is stored once and that no save was lost: a key's stored
// price is one a save wrote, and no save of that key began after it had ended.
//
// It is a load run, not a test: it needs a local server (it refuses another host), it runs for the
// seconds asked (at most kMaxSeconds) and ends every desktop still running a minute after that.

#include <string>

namespace qmx::bench {

struct DesktopsOptions {
    std::string connection;   // the server's connection string (without a schema)
    int desktops = 50;
    int seconds = 60;
    int think_ms = 200;       // the pause after each typed price: a desktop is a person typing
    unsigned seed = 24;
};

struct DesktopsResult {
    bool ran = false;
    std::string problem;      // why the run did not run or did not finish; "" when it did
    long saves = 0;           // "Conferma" presses that saved
    long presses = 0;         // every "Conferma" press, those that met a conflict included
    double seconds = 0;
    double median_ms = 0, p95_ms = 0, slowest_ms = 0;
    long conflicts = 0;       // conflict questions the desktops answered
    long unexpected = 0;      // other messages or errors the desktops met
    long prices = 0;          // prices the saves wrote
    long keys = 0;            // price rows they wrote them to
    long duplicates = 0;      // keys stored more than once
    long lost = 0;            // keys whose stored price is not the last one saved
};

inline constexpr int kMaxSeconds = 60;

// True when the connection string names this machine (or no host: the local socket).
bool LocalServer(const std::string& connection);

DesktopsResult RunDesktops(const DesktopsOptions& options);

}  // namespace qmx::bench
