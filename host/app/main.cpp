// erp-host: the desktop ERP host. It opens its frame, loads the price-list component and shows its
// window at start-up (and again from the "Magazzino" menu). With --screenshot it writes a PNG of the
// frame once the window has laid itself out, and exits. Exit codes:
//   0  the window opened without reporting an error (or --help);
//   1  the arguments were refused, the demo database is missing, the window could not be opened, the
//      picture could not be written, or the user declined to give the database's password;
//   2  the window reported errors (the picture is written all the same; the errors are listed on
//      standard error);
//   3  with --screenshot, the company or the article asked for does not exist (interactively the
//      frame says so in a message and stays open).
// The arguments are read before Qt starts, so --help and argument errors need no display.

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QPixmap>
#include <QTimer>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>

#include "host/app/host_main_window.h"
#include "host/app/host_settings.h"
#include "host/app/script_desk.h"
#include "host/script/script_runner.h"
#include "host/services/form_factory.h"
#include "host/services/qt_dialogs.h"
#include "host/services/qt_translations.h"
#include "platform/services/error_texts.h"

namespace {

void Say(const QString& text) { std::fprintf(stderr, "erp-host: %s\n", qPrintable(text)); }

// What the window reported to its scripted dialogs during a run without a user.
int ReportUnattended(kv::services::HostGlobalServices& global) {
    for (const auto& m : global.ScriptedMessages()->Messages())
        Say(QStringLiteral("messaggio mostrato: %1").arg(QString::fromStdString(m.text)));
    const auto& errors = global.ScriptedErrors()->Reports();
    for (const auto& e : errors) {
        const kv::services::UserErrorText t = kv::services::DescribeForUser(e.report);
        Say(QStringLiteral("errore in %1: %2 %3 (%4)")
                .arg(QString::fromStdString(e.report.procedure), QString::fromStdString(t.message),
                     QString::fromStdString(t.number), QString::fromStdString(e.report.description)));
    }
    return errors.empty() ? 0 : 2;
}

// Grabs the window on screen (the modal dialog when one is up, else the frame) into `file`.
bool Grab(QWidget& frame, const QString& file) {
    QWidget* target = QApplication::activeModalWidget();
    if (!target) target = &frame;
    const QPixmap picture = target->grab();
    if (picture.isNull() || !picture.save(file, "PNG")) {
        Say(QStringLiteral("impossibile scrivere l'immagine in %1").arg(file));
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
        // The desk draws the window and judges what a user could reach; it starts the toolkit (off
        // screen) only when a line asks.
        auto desk = std::make_shared<kv::host::ScriptDesk>(argv[0]);
        if (auto status = kv::host::RunScriptFromArguments(
                argc, argv, "Provider=SQLite;Data Source=" + build_dir + "/demo.sqlite", build_dir + "/components",
                std::cout, std::cerr,
                [desk](const std::shared_ptr<kv::Object>& window, const std::string& module, const std::string& file,
                       const kv::host::PictureMessage* message) { return desk->Picture(window, module, file, message); },
                [desk](const std::shared_ptr<kv::Object>& window, const std::string& module, const std::string& control,
                       const std::string& item) { return desk->Reach(window, module, control, item); }))
            return *status;
    }
    QStringList arguments;
    for (int i = 1; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
    kv::host::HostSettings settings;
    if (auto error = kv::host::ParseSettings(arguments, settings)) {
        Say(*error);
        std::fputs(qPrintable(kv::host::Usage()), stderr);
        return 1;
    }
    if (settings.help) {
        std::fputs(qPrintable(kv::host::Usage()), stdout);
        return 0;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("erp-host"));
    kv::qt::InstallItalianTranslations(app);

    const QString exe_dir = QApplication::applicationDirPath();
    if (settings.connection.empty()) {
        const QString demo = kv::host::DemoDatabasePath(exe_dir);
        if (!QFileInfo::exists(demo)) {
            Say(QStringLiteral("il database dimostrativo %1 non esiste: lo crea scripts/run (con il programma "
                               "installato, erp-host-demo), oppure indicare --connection")
                    .arg(demo));
            return 1;
        }
        settings.connection = kv::host::DemoConnectionString(exe_dir);
    }

    const bool unattended = !settings.screenshot.isEmpty();
    const QString components = QDir::cleanPath(exe_dir + QStringLiteral("/../components"));
    auto frame_owner = std::make_unique<kv::host::HostMainWindow>(settings, components, !unattended);
    kv::host::HostMainWindow& frame = *frame_owner;
    frame.resize(settings.width, settings.height);
    frame.show();

    const std::optional<QString> unknown = frame.CheckSession();
    if (frame.PasswordDeclined()) {
        // Without the password there is no database to work on: the user chose not to go on.
        Say(QStringLiteral("la password del database non è stata indicata: erp-host si chiude"));
        return 1;
    }
    if (!unattended) {
        if (unknown) {
            kv::qt::BuildMessageBox(*unknown, kv::services::style::kExclamation, QStringLiteral("Attenzione"), &frame)
                ->exec();
        }
        // Without its company there is nothing to open; an unknown article was dropped, so the window
        // opens on no article.
        if (frame.CompanyKnown())
            if (auto error = frame.OpenPriceListWindow()) Say(*error);
        return QApplication::exec();
    }
    if (unknown) {
        Say(*unknown);
        return 3;
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
    if (result == 0) {
        Say(QStringLiteral("immagine scritta in %1").arg(settings.screenshot));
        result = ReportUnattended(frame.Global());
    }
    // A modal window closes inside its own event loop, and what it and the frame's end schedule for
    // deletion waits for a loop that no longer runs here: it is deleted now, so the process ends with
    // nothing left over.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    frame_owner.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return result;
}
