// qmx-demo: creates the demo company database.
//   qmx-demo --connection "Provider=SQLite;Data Source=build/demo.sqlite;Mode=Create"
//   qmx-demo --connection "Provider=PostgreSQL;Host=...;Database=..." [--replace]
// --replace drops the demo tables first (otherwise a database that has them is refused);
// --large adds the large article (company 8, CAM900: 24,000 stored price rows), also to a database that
// already has the demo; --colours N, --sizes N, --extra-lists N make larger data sets of company 1.
//   qmx-demo --desktop-role NAME [--schema S]      prints the statements that create the role a desktop
//                                                  connects as (schema S, default public)
//   qmx-demo --desktop-role NAME --connection S    runs them on that PostgreSQL database, for the schema
//                                                  of its connection (the demo data are not touched)

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/ado/connection.h"
#include "schema/demo/demo.h"
#include "schema/demo/desktop_role.h"

namespace {

int Usage() {
    std::fputs("uso: qmx-demo --connection \"<stringa di connessione>\" [--replace] [--large] [--colours N]"
               " [--sizes N] [--extra-lists N]\n"
               "     qmx-demo --desktop-role NOME [--schema SCHEMA | --connection \"<stringa di connessione>\"]\n"
               "  --desktop-role  le istruzioni che creano il ruolo con cui si collegano i desktop (legge la\n"
               "                  configurazione, legge e scrive i prezzi, nient'altro): stampate, oppure\n"
               "                  eseguite sul database di --connection; la password si assegna a parte\n",
               stderr);
    return 2;
}

// True when the database already has the demo's tables (its company table answers).
bool HasDemoTables(kv::ado::Connection& connection) {
    try {
        connection.Execute("SELECT COUNT(*) FROM CG18_DITTE");
        return true;
    } catch (const kv::Error&) {
        return false;
    }
}

}  // namespace

int main(int argc, char** argv) {
    std::string connection_string;
    std::string desktop_role;
    std::string schema;
    bool replace = false;
    qmx::demo::DemoOptions options;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        auto next = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
        auto number = [&](int& out) {
            const char* v = next();
            if (!v) return false;
            out = std::atoi(v);
            return out >= 0;
        };
        if (arg == "--connection") {
            const char* v = next();
            if (!v) return Usage();
            connection_string = v;
        } else if (arg == "--desktop-role") {
            const char* v = next();
            if (!v) return Usage();
            desktop_role = v;
        } else if (arg == "--schema") {
            const char* v = next();
            if (!v) return Usage();
            schema = v;
        } else if (arg == "--replace") {
            replace = true;
        } else if (arg == "--large") {
            options.large_article = true;
        } else if (arg == "--colours") {
            if (!number(options.colours)) return Usage();
        } else if (arg == "--sizes") {
            if (!number(options.sizes)) return Usage();
        } else if (arg == "--extra-lists") {
            if (!number(options.extra_list_pairs)) return Usage();
        } else {
            return Usage();
        }
    }
    if (!desktop_role.empty()) {
        if (!schema.empty() && !connection_string.empty()) return Usage();
        try {
            if (connection_string.empty()) {
                for (const auto& s : qmx::demo::DesktopRoleStatements(desktop_role, schema.empty() ? "public" : schema))
                    std::printf("%s;\n", s.c_str());
                return 0;
            }
            kv::ado::Connection connection;
            connection.Open(connection_string);
            qmx::demo::CreateDesktopRole(connection, desktop_role);
            connection.Close();
        } catch (const kv::Error& e) {
            std::fprintf(stderr, "qmx-demo: %s (errore %ld)\n", e.Description().c_str(), e.Number());
            return 1;
        }
        return 0;
    }
    if (connection_string.empty()) return Usage();
    try {
        kv::ado::Connection connection;
        connection.Open(connection_string);
        if (!replace && HasDemoTables(connection)) {
            if (options.large_article) {
                // The demo is there: only the large article is added, once.
                if (qmx::demo::HasLargeArticle(connection)) {
                    std::fprintf(stderr, "qmx-demo: l'articolo grande (%s, ditta %d) è già presente\n",
                                 qmx::demo::kArticoloGrande, qmx::demo::kDittaGrande);
                    return 0;
                }
                qmx::demo::BuildLargeArticle(connection);
                connection.Close();
                return 0;
            }
            std::fputs("qmx-demo: il database contiene già le tabelle della demo; per ricrearle da capo (i dati "
                       "presenti vanno persi) usare --replace, per aggiungere soltanto l'articolo grande --large\n",
                       stderr);
            return 1;
        }
        if (replace) qmx::demo::DropSchema(connection);
        qmx::demo::CreateSchema(connection);
        qmx::demo::BuildDemo(connection, options);
        connection.Close();
    } catch (const kv::Error& e) {
        std::fprintf(stderr, "qmx-demo: %s (errore %ld)\n", e.Description().c_str(), e.Number());
        return 1;
    }
    return 0;
}
