#include "host/app/host_settings.h"

#include <QDir>
#include <QRegularExpression>

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
            if (!v) return QStringLiteral("--connection needs a connection string");
            out.connection = v->toStdString();
        } else if (arg == QLatin1String("--company")) {
            auto v = value();
            bool ok = false;
            const int company = v ? v->toInt(&ok) : 0;
            if (!ok || company <= 0) return QStringLiteral("--company needs a positive company number");
            out.company = company;
        } else if (arg == QLatin1String("--article")) {
            auto v = value();
            if (!v || v->trimmed().isEmpty()) return QStringLiteral("--article needs an article code");
            out.article = v->trimmed().toStdString();
        } else if (arg == QLatin1String("--screenshot")) {
            auto v = value();
            if (!v || v->isEmpty()) return QStringLiteral("--screenshot needs the name of the PNG file to write");
            out.screenshot = *v;
        } else if (arg == QLatin1String("--size")) {
            auto v = value();
            static const QRegularExpression size(QStringLiteral("^(\\d{2,5})x(\\d{2,5})$"));
            const auto m = v ? size.match(*v) : QRegularExpressionMatch();
            if (!m.hasMatch()) return QStringLiteral("--size needs WIDTHxHEIGHT in pixels, e.g. 1280x800");
            out.width = m.captured(1).toInt();
            out.height = m.captured(2).toInt();
        } else {
            return QStringLiteral("unknown argument '%1'").arg(arg);
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

QString Usage() {
    return QStringLiteral(
        "usage: erp-host [--connection S] [--company N] [--article CODE] [--modal]\n"
        "                [--screenshot FILE.png] [--size WxH]\n"
        "  --connection  company database (default: the demo database built by scripts/run)\n"
        "  --company     current company (default 1)\n"
        "  --article     open the price-list window on this article\n"
        "  --modal       show the window modal\n"
        "  --screenshot  open the window, write a PNG of it and exit (works without a display with\n"
        "                QT_QPA_PLATFORM=offscreen)\n"
        "  --size        size of the host window in pixels (default 1280x800)\n");
}

}  // namespace kv::host
