// erp-host: the desktop ERP host. It opens its frame, loads the price-list component and shows its
// window at start-up (and again from the "Magazzino" menu). With --screenshot it writes a PNG of the
// frame once the window has laid itself out, and exits: 0 when the window opened without reporting an
// error, 1 when it could not be opened or the file not written, 2 when the window reported errors
// (the picture is written all the same, and the errors are listed on standard error).

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QPixmap>
#include <QTimer>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <string>

#include "host/app/host_main_window.h"
#include "host/app/host_settings.h"
#include "host/script/script_runner.h"

namespace {

void Say(const QString& text) { std::fprintf(stderr, "erp-host: %s\n", qPrintable(text)); }

// What the window reported to its scripted dialogs during a run without a user.
int ReportUnattended(kv::services::HostGlobalServices& global) {
    for (const auto& m : global.ScriptedMessages()->Messages())
        Say(QStringLiteral("message shown: %1").arg(QString::fromStdString(m.text)));
    const auto& errors = global.ScriptedErrors()->Reports();
    for (const auto& e : errors)
        Say(QStringLiteral("error in %1: %2 (%3)")
                .arg(QString::fromStdString(e.report.procedure), QString::fromStdString(e.report.description))
                .arg(e.report.number));
    return errors.empty() ? 0 : 2;
}

// Grabs the window on screen (the modal dialog when one is up, else the frame) into `file`.
bool Grab(QWidget& frame, const QString& file) {
    QWidget* target = QApplication::activeModalWidget();
    if (!target) target = &frame;
    const QPixmap picture = target->grab();
    if (picture.isNull() || !picture.save(file, "PNG")) {
        Say(QStringLiteral("could not write the screenshot to %1").arg(file));
        return false;
    }
    return true;
}

// The folder of the running executable, read without starting the toolkit.
std::string ExecutableDir() {
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string(".") : exe.parent_path().string();
}

}  // namespace

int main(int argc, char** argv) {
    // A script run drives the window through its models and needs no display: it is decided before
    // the toolkit starts.
    {
        const std::string exe_dir = ExecutableDir();
        const std::string build_dir = std::filesystem::path(exe_dir).parent_path().string();
        if (auto status = kv::host::RunScriptFromArguments(argc, argv,
                                                           "Provider=SQLite;Data Source=" + build_dir + "/demo.sqlite",
                                                           build_dir + "/components", std::cout, std::cerr))
            return *status;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("erp-host"));

    kv::host::HostSettings settings;
    if (auto error = kv::host::ParseSettings(QApplication::arguments().mid(1), settings)) {
        Say(*error);
        std::fputs(qPrintable(kv::host::Usage()), stderr);
        return 1;
    }
    if (settings.help) {
        std::fputs(qPrintable(kv::host::Usage()), stdout);
        return 0;
    }
    const QString exe_dir = QApplication::applicationDirPath();
    if (settings.connection.empty()) {
        const QString demo = kv::host::DemoDatabasePath(exe_dir);
        if (!QFileInfo::exists(demo)) {
            Say(QStringLiteral("the demo database %1 does not exist; scripts/run creates it, or pass --connection")
                    .arg(demo));
            return 1;
        }
        settings.connection = kv::host::DemoConnectionString(exe_dir);
    }

    const bool unattended = !settings.screenshot.isEmpty();
    const QString components = QDir::cleanPath(exe_dir + QStringLiteral("/../components"));
    kv::host::HostMainWindow frame(settings, components, !unattended);
    frame.resize(settings.width, settings.height);
    frame.show();

    if (!unattended) {
        if (auto error = frame.OpenPriceListWindow()) Say(*error);
        return QApplication::exec();
    }

    // Unattended: once the window is up and laid out, picture it and leave. A modal window is up
    // inside ShowForm, so the picture is taken from the event loop that runs it.
    int result = -1;
    auto finish = [&] {
        if (result >= 0) return;
        result = Grab(frame, settings.screenshot) ? 0 : 1;
        if (QWidget* dialog = QApplication::activeModalWidget())
            dialog->close();  // the modal window closes; ShowForm returns
        else
            QApplication::exit(0);
    };
    // Layout settles over a few passes of the event loop (sub-window maximizing, splitter sizes).
    QTimer::singleShot(250, &frame, finish);
    if (auto error = frame.OpenPriceListWindow()) {
        Say(*error);
        return 1;
    }
    if (result < 0) QApplication::exec();
    if (result != 0) return result;
    Say(QStringLiteral("screenshot written to %1").arg(settings.screenshot));
    return ReportUnattended(frame.Global());
}
