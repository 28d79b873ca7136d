#pragma once
// erp-host's settings, from its command line:
//   --connection S   the company database (default: the demo database, demo.sqlite in the build
//                    folder above the executable's, where scripts/run creates it)
//   --company N      the current company (default 1)
//   --article CODE   open the window on this article, as a calling program does
//   --modal          show the window modal instead of inside the frame
//   --screenshot F   open the window, save a PNG of it to F and exit
//   --size WxH       the frame's size in pixels (default 1280x800)
//   --today D        the day the session takes as today (DD/MM/YYYY), for demonstrations and support
//   --user NAME      the user the session runs for, as the price history records it (default: the
//                    operating system's user)
//   --help           the usage text
// Every message is Italian, as everything else a user of the host reads.

#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>
#include <string>

#include "platform/variant/date.h"

namespace kv::host {

struct HostSettings {
    std::string connection;
    int32_t company = 1;
    std::string article;
    bool modal = false;
    QString screenshot;
    int width = 1280;
    int height = 800;
    bool help = false;
    std::optional<kv::Date> today;  // unset: the machine's date
    std::string user;               // empty: the operating system's user
};

// Reads the arguments (without the program name). nullopt and `out` filled, or the reason the
// arguments are refused. An empty --connection takes the default.
std::optional<QString> ParseSettings(const QStringList& arguments, HostSettings& out);

// The demo database's connection string for an executable in `executable_dir`, and the file.
QString DemoDatabasePath(const QString& executable_dir);
std::string DemoConnectionString(const QString& executable_dir);

// Where the session's data are, for the status bar: the SQLite file's name, or for PostgreSQL the
// database and the server ("listini su db.example:5432").
QString SessionPlace(const std::string& connection_string);

QString Usage();

}  // namespace kv::host
