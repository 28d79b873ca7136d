#include "host/app/host_settings.h"

#include <QDir>
#include <QRegularExpression>

#include "platform/ado/connection.h"

namespace kv::host {

std::optional<QString> ParseSettings(const QStringList& arguments, HostSettings& out) {
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& arg = arguments[i];
        auto value = [&]() -> std::optional<QString> {
            if (i + 1 >= arguments.size()) return std::nullopt;
            return arguments[++i];
        };
        if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
            out.help = true;
        } else if (arg == QLatin1String("--modal")) {
            out.modal = true;
        } else if (arg == QLatin1String("--connection")) {
            auto v = value();
            if (!v) return QStringLiteral("--connection vuole una stringa di connessione");
            out.connection = v->toStdString();
        } else if (arg == QLatin1String("--company")) {
            auto v = value();
            bool ok = false;
            const int company = v ? v->toInt(&ok) : 0;
            if (!ok || company <= 0) return QStringLiteral("--company vuole il numero della ditta, maggiore di zero");
            out.company = company;
        } else if (arg == QLatin1String("--article")) {
            auto v = value();
            if (!v || v->trimmed().isEmpty()) return QStringLiteral("--article vuole il codice di un articolo");
            out.article = v->trimmed().toStdString();
        } else if (arg == QLatin1String("--screenshot")) {
            auto v = value();
            if (!v || v->isEmpty()) return QStringLiteral("--screenshot vuole il nome del file PNG da scrivere");
            out.screenshot = *v;
        } else if (arg == QLatin1String("--today")) {
            auto v = value();
            out.today = v ? kv::Date::ParseLocal(v->toStdString(), kv::RegionalSettings::Italian()) : std::nullopt;
            if (!out.today) return QStringLiteral("--today vuole una data reale nella forma gg/mm/aaaa");
        } else if (arg == QLatin1String("--user")) {
            auto v = value();
            if (!v || v->trimmed().isEmpty()) return QStringLiteral("--user vuole il nome di un utente");
            out.user = v->trimmed().toStdString();
        } else if (arg == QLatin1String("--size")) {
            auto v = value();
            static const QRegularExpression size(QStringLiteral("^(\\d{2,5})x(\\d{2,5})$"));
            const auto m = v ? size.match(*v) : QRegularExpressionMatch();
            if (!m.hasMatch())
                return QStringLiteral("--size vuole LARGHEZZAxALTEZZA in pixel, per esempio 1280x800");
            out.width = m.captured(1).toInt();
            out.height = m.captured(2).toInt();
        } else {
            return QStringLiteral("argomento sconosciuto '%1'").arg(arg);
        }
    }
    return std::nullopt;
}

QString DemoDatabasePath(const QString& executable_dir) {
    return QDir::cleanPath(executable_dir + QStringLiteral("/../demo.sqlite"));
}

std::string DemoConnectionString(const QString& executable_dir) {
    return "Provider=SQLite;Data Source=" + DemoDatabasePath(executable_dir).toStdString();
}

QString SessionPlace(const std::string& connection_string) {
    // Read as the connection reads it, so a quoted value (a password holding ';') never shows in part.
    auto get = [&](std::initializer_list<std::string_view> keys) {
        return QString::fromStdString(kv::ado::ConnectionStringValue(connection_string, keys)).trimmed();
    };
    const QString provider = get({"Provider"});
    if (provider.compare(QLatin1String("PostgreSQL"), Qt::CaseInsensitive) == 0 ||
        provider.compare(QLatin1String("Postgres"), Qt::CaseInsensitive) == 0) {
        const QString service = get({"Service"});
        QString host = get({"Host", "Server", "Data Source"});
        const QString port = get({"Port"});
        if (!host.isEmpty() && !port.isEmpty()) host += QLatin1Char(':') + port;
        QString database = get({"Database", "Initial Catalog"});
        QString place;
        if (host.isEmpty() && !service.isEmpty()) {
            place = database.isEmpty() ? QStringLiteral("servizio %1").arg(service)
                                       : QStringLiteral("%1 (servizio %2)").arg(database, service);
        } else {
            if (host.isEmpty()) host = QStringLiteral("localhost");
            if (database.isEmpty()) database = get({"User ID", "UID", "User", "Username"});
            place = QStringLiteral("%1 su %2").arg(database, host);
        }
        // Whether the connection is encrypted is the user's to see: it is, when the string demands it.
        const QString ssl = get({"SSL Mode", "SSLMode"}).toLower();
        if (ssl == QLatin1String("require") || ssl == QLatin1String("verify-ca") || ssl == QLatin1String("verify-full"))
            place += QStringLiteral(" (connessione cifrata)");
        return place;
    }
    const QString file = get({"Data Source"});
    if (!file.isEmpty()) return QDir::cleanPath(file).section(QLatin1Char('/'), -1);
    return provider;
}

QString Usage() {
    return QStringLiteral(
        "uso: erp-host [--connection S] [--company N] [--article CODICE] [--modal]\n"
        "              [--screenshot FILE.png] [--size LxA] [--today GG/MM/AAAA] [--user NOME] [--help]\n"
        "       erp-host --script FILE [--connection S] [--company N] [--article CODICE] [--today GG/MM/AAAA]\n"
        "                [--user NOME] [--timings]\n"
        "  --connection  il database della ditta (predefinito: il database dimostrativo creato da scripts/run)\n"
        "  --company     la ditta corrente (predefinita 1)\n"
        "  --article     apre la finestra dei listini su questo articolo\n"
        "  --modal       mostra la finestra modale\n"
        "  --screenshot  apre la finestra, ne scrive un'immagine PNG ed esce (anche senza schermo, con\n"
        "                QT_QPA_PLATFORM=offscreen)\n"
        "  --size        dimensioni della finestra principale in pixel (predefinite 1280x800)\n"
        "  --today       il giorno che la sessione considera oggi (date proposte, date di creazione e di\n"
        "                aggiornamento dei prezzi salvati); predefinito: la data del computer\n"
        "  --user        l'utente della sessione, come lo storico dei prezzi lo registra; predefinito:\n"
        "                l'utente del sistema operativo\n"
        "  --script      esegue i comandi del file sulla finestra, senza schermo (docs/scripting.md);\n"
        "                esce con 0 se tutte le righe sono state eseguite, 1 altrimenti\n"
        "  --timings     con --script: scrive sullo standard error il tempo di ogni riga (FILE:RIGA: N ms)\n"
        "  --help        mostra questo aiuto\n"
        "codici di uscita: 0 tutto bene; 1 argomenti errati, database dimostrativo mancante, finestra non\n"
        "aperta o immagine non scritta; 2 la finestra ha segnalato errori (con --screenshot); 3 ditta o\n"
        "articolo inesistenti (con --screenshot)\n");
}

}  // namespace kv::host
