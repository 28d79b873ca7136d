// The desktop and a shared PostgreSQL server: the password a server asks for and nothing else gives is
// asked in an Italian dialog, once a session and kept in memory only; a run without a user fails
// cleanly in Italian instead; and however a connection fails, nothing shown or written holds the
// password: not the status bar, a window title, a message, an error or its "Dettagli", nor the
// programs' output.

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <optional>
#include <string>
#include <vector>

#include "host/app/host_main_window.h"
#include "host/app/host_settings.h"
#include "host/services/qt_dialogs.h"
#include "platform/services/error_texts.h"
#include "support/pg_access.h"

namespace kv::host {
namespace {

using qmx::testing::PasswordRole;
using qmx::testing::Server;

struct ProgramRun {
    int exit_code = -1;
    QString output;  // standard output and standard error, as whoever ran it sees them
};

ProgramRun Start(const QString& program, const QStringList& arguments) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.remove(QStringLiteral("PGPASSFILE"));
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, arguments);
    if (!p.waitForFinished(120000)) {
        p.kill();
        p.waitForFinished();
        return {};
    }
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromUtf8(p.readAll())};
}

QString Components() {
    return QDir::cleanPath(QFileInfo(QStringLiteral(QMX_ERP_HOST)).absolutePath() + QStringLiteral("/../components"));
}

// Answers the password dialogs that come up while it lives, one answer each (nullopt: Annulla), and
// keeps what each said.
class PasswordAnswers {
public:
    explicit PasswordAnswers(std::vector<std::optional<QString>> answers) : answers_(std::move(answers)) {
        timer_.setInterval(20);
        QObject::connect(&timer_, &QTimer::timeout, [this] { Answer(); });
        timer_.start();
    }
    const QStringList& Texts() const { return texts_; }

private:
    void Answer() {
        auto* dialog = dynamic_cast<kv::qt::PasswordDialog*>(QApplication::activeModalWidget());
        // A dialog may come up where the last one was: it is told by a mark, not by its address.
        if (!dialog || dialog->property("answered").toBool()) return;
        dialog->setProperty("answered", true);
        texts_ << dialog->messageLabel()->text();
        const std::optional<QString> answer =
            static_cast<std::size_t>(texts_.size()) <= answers_.size() ? answers_[texts_.size() - 1] : std::nullopt;
        if (answer) {
            QTest::keyClicks(dialog->field(), *answer);
            dialog->accept();
        } else {
            dialog->reject();
        }
    }
    std::vector<std::optional<QString>> answers_;
    QStringList texts_;
    QTimer timer_;
};

TEST(PasswordDialog, AsksInItalianAndShowsNothingOfWhatIsTyped) {
    const kv::ado::PasswordPrompt::Request request{"db.ditta.it:5432", "listini", "mario", false};
    kv::qt::PasswordDialog dialog(request);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Password del database"));
    EXPECT_TRUE(dialog.messageLabel()->text().startsWith(
        QStringLiteral("Il server PostgreSQL db.ditta.it:5432 chiede la password dell'utente mario per il database listini.")))
        << dialog.messageLabel()->text().toStdString();
    EXPECT_TRUE(dialog.messageLabel()->text().contains(QStringLiteral("solo in memoria")));
    QStringList buttons;
    for (auto* b : dialog.buttons()->buttons()) buttons << b->text();
    EXPECT_EQ(buttons, (QStringList{QStringLiteral("OK"), QStringLiteral("Annulla")}));
    EXPECT_EQ(dialog.field()->echoMode(), QLineEdit::Password);
    EXPECT_EQ(dialog.field()->contextMenuPolicy(), Qt::NoContextMenu);
    QTest::keyClicks(dialog.field(), QStringLiteral("Segreto"));
    EXPECT_FALSE(dialog.field()->displayText().contains(QStringLiteral("Segreto")));
    EXPECT_EQ(dialog.TakePassword(), "Segreto");
    EXPECT_TRUE(dialog.field()->text().isEmpty());  // handed over once

    const kv::ado::PasswordPrompt::Request again{"db.ditta.it:5432", "", "mario", true};
    kv::qt::PasswordDialog refused(again);
    EXPECT_TRUE(refused.messageLabel()->text().startsWith(QStringLiteral("La password indicata non è stata accettata.")));

    PasswordAnswers answers({QStringLiteral("Segreto"), std::nullopt});
    EXPECT_EQ(kv::qt::AskPassword(request, nullptr), std::optional<std::string>("Segreto"));
    EXPECT_EQ(kv::qt::AskPassword(request, nullptr), std::nullopt);
}

TEST(SessionPlace, ServiceAndEncryptionAreShownAndAQuotedValueNeverInPart) {
    EXPECT_EQ(SessionPlace("Provider=PostgreSQL;Service=ditta1"), QStringLiteral("servizio ditta1"));
    EXPECT_EQ(SessionPlace("Provider=PostgreSQL;Service=ditta1;Database=listini"),
              QStringLiteral("listini (servizio ditta1)"));
    EXPECT_EQ(SessionPlace("Provider=PostgreSQL;Host=db;Database=listini;SSL Mode=verify-full"),
              QStringLiteral("listini su db (connessione cifrata)"));
    EXPECT_EQ(SessionPlace("Provider=PostgreSQL;Host=db;Database=listini;SSL Mode=prefer"), QStringLiteral("listini su db"));
    // A password holding ";Host=" is one value, not a host to show.
    const QString place = SessionPlace("Provider=PostgreSQL;Password=\"Zq7;Host=Segreto\";Database=listini");
    EXPECT_FALSE(place.contains(QStringLiteral("Segreto"))) << place.toStdString();
    EXPECT_FALSE(place.contains(QStringLiteral("Zq7"))) << place.toStdString();
}

class DesktopPassword : public ::testing::TestWithParam<Server> {
protected:
    void SetUp() override {
        QMX_REQUIRE_SERVER(GetParam());
        base_ = qmx::testing::ServerConnectionString(GetParam());
    }
    std::string base_;
};

// The frame asks when it first meets the server; the window's connection, made later from the same
// session, takes the answer without asking. Annulla leaves the desktop without a database.
TEST_P(DesktopPassword, TheDesktopAsksOnceASessionAndTheWindowsConnectionDoesNotAskAgain) {
    PasswordRole role(base_, "Segreto-1");
    HostSettings settings;
    settings.connection = role.As(base_);
    {
        PasswordAnswers answers({QStringLiteral("sbagliata"), QStringLiteral("Segreto-1")});
        HostMainWindow frame(settings, Components(), true);
        frame.CheckSession();
        ASSERT_EQ(answers.Texts().size(), 2);
        EXPECT_TRUE(answers.Texts()[0].contains(QString::fromStdString("dell'utente " + role.name())))
            << answers.Texts()[0].toStdString();
        EXPECT_TRUE(answers.Texts()[1].startsWith(QStringLiteral("La password indicata non è stata accettata.")));
        EXPECT_FALSE(frame.PasswordDeclined());
        auto window_connection = frame.Global().NewDataAccess()->NewConnection();
        window_connection->Open(settings.connection);
        EXPECT_EQ(window_connection->Execute("SELECT current_user")->Value(0), kv::Variant(role.name()));
        EXPECT_EQ(answers.Texts().size(), 2);
    }
    PasswordAnswers declined({std::nullopt});
    HostMainWindow frame(settings, Components(), true);
    frame.CheckSession();
    EXPECT_EQ(declined.Texts().size(), 1);
    EXPECT_TRUE(frame.PasswordDeclined());
}

// Without a user to ask (a script, a picture taken unattended, the demo tool), the run ends saying in
// Italian that the server wants a password and where it goes.
TEST_P(DesktopPassword, ARunWithoutAUserFailsCleanlyInItalian) {
    PasswordRole role(base_, "Segreto-1");
    const QString connection = QString::fromStdString(role.As(base_));
    QTemporaryDir dir;
    const QString script = dir.filePath(QStringLiteral("s.script"));
    {
        QFile f(script);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("status\n");
    }
    const QString asks = QString::fromStdString("chiede la password dell'utente " + role.name());
    const ProgramRun scripted = Start(QStringLiteral(QMX_ERP_HOST),
                               {QStringLiteral("--script"), script, QStringLiteral("--connection"), connection});
    EXPECT_EQ(scripted.exit_code, 1);
    EXPECT_TRUE(scripted.output.contains(QStringLiteral("Accesso al database non riuscito"))) << scripted.output.toStdString();
    EXPECT_TRUE(scripted.output.contains(asks)) << scripted.output.toStdString();
    EXPECT_TRUE(scripted.output.contains(QStringLiteral("file delle password"))) << scripted.output.toStdString();

    const ProgramRun picture = Start(QStringLiteral(QMX_ERP_HOST), {QStringLiteral("--screenshot"), dir.filePath(QStringLiteral("x.png")),
                                                             QStringLiteral("--connection"), connection});
    EXPECT_EQ(picture.exit_code, 2);
    EXPECT_TRUE(picture.output.contains(asks)) << picture.output.toStdString();

    const ProgramRun demo = Start(QStringLiteral(QMX_DEMO_TOOL), {QStringLiteral("--connection"), connection});
    EXPECT_EQ(demo.exit_code, 1);
    EXPECT_TRUE(demo.output.contains(asks)) << demo.output.toStdString();
}

// Every way a connection can fail, with a password in the string: the desktop's frame and window (their
// titles, every text on them, the status bar, the messages and errors with their "Dettagli"), a script
// run, a picture taken unattended and the demo tool's output; none holds the password or a piece of it.
TEST_P(DesktopPassword, NothingShownOrWrittenHoldsThePassword) {
    const std::string secret = "Zq7-Segreto;Kw4-Pw9";  // every piece of it distinctive
    const std::string quoted = "\"" + secret + "\"";
    PasswordRole role(base_, secret);
    // The role may log in but has no right on the company's tables.
    const std::string schema = "kvt_leak_" + std::to_string(::getpid());
    role.admin().Execute("DROP SCHEMA IF EXISTS " + schema + " CASCADE");
    role.admin().Execute("CREATE SCHEMA " + schema);
    ASSERT_EQ(Start(QStringLiteral(QMX_DEMO_TOOL), {QStringLiteral("--connection"),
                                                   QString::fromStdString(base_ + ";Schema=" + schema)})
                  .exit_code,
              0);
    const std::string host = qmx::testing::ConnValue(base_, "Host");
    const std::string server =
        "Provider=PostgreSQL;Host=" + host + ";Port=" + qmx::testing::ConnValue(base_, "Port") + ";Database=postgres";
    const std::string root = qmx::testing::ConnValue(base_, "SSL Root Cert");
    const std::string as_role = role.As(base_);
    std::vector<std::pair<std::string, std::string>> ways = {
        {"wrong password", as_role + ";Password=\"Zq7-Sbagliato;Kw4-Pw9\""},
        {"password not quoted", as_role + ";Password=" + secret},
        {"quote not closed", as_role + ";Password=\"" + secret},
        {"text after the quote", as_role + ";Password=" + quoted + " oltre"},
        {"no server there", "Provider=PostgreSQL;Host=127.0.0.1;Port=1;User ID=qmx;Password=" + quoted},
        {"no such database", base_ + ";Database=nessuna;Password=" + quoted},
        {"no such user", server + ";User ID=nessuno;Password=" + quoted},
        {"no such service", "Provider=PostgreSQL;Service=nessuno;Password=" + quoted},
        {"bad ssl mode", base_ + ";Password=" + quoted + ";SSL Mode=sempre"},
        {"bad lock timeout", base_ + ";Password=" + quoted + ";Lock Timeout=mai"},
        {"no rights on the tables", as_role + ";Schema=" + schema + ";Password=" + quoted},
        {root.empty() ? "no encryption there" : "wrong authority",
         server + ";User ID=qmx;Password=" + quoted +
             (root.empty() ? ";SSL Mode=require"
                           : ";SSL Mode=verify-ca;SSL Root Cert=" + root.substr(0, root.rfind('/')) + "/other-ca.crt")},
    };
    const QStringList pieces = {QStringLiteral("Zq7"), QStringLiteral("Segreto"), QStringLiteral("Sbagliato"),
                                QStringLiteral("Kw4"), QStringLiteral("Pw9")};
    auto check = [&](const std::string& where, const QString& text) {
        for (const auto& p : pieces) EXPECT_FALSE(text.contains(p)) << where << ": " << text.toStdString();
    };
    QTemporaryDir dir;
    const QString script = dir.filePath(QStringLiteral("s.script"));
    {
        QFile f(script);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("answer 3\nstatus\nsql SELECT 1\nstatus\n");
    }
    for (const auto& [what, text] : ways) {
        SCOPED_TRACE(what);
        const QString connection = QString::fromStdString(text);
        check("script", Start(QStringLiteral(QMX_ERP_HOST),
                              {QStringLiteral("--script"), script, QStringLiteral("--connection"), connection})
                            .output);
        check("picture", Start(QStringLiteral(QMX_ERP_HOST), {QStringLiteral("--screenshot"), dir.filePath(QStringLiteral("x.png")),
                                                             QStringLiteral("--connection"), connection})
                             .output);
        check("demo tool", Start(QStringLiteral(QMX_DEMO_TOOL), {QStringLiteral("--connection"), connection}).output);

        HostSettings settings;
        settings.connection = text;
        HostMainWindow frame(settings, Components(), false);
        frame.resize(1280, 800);
        frame.show();
        frame.CheckSession();
        if (auto error = frame.OpenPriceListWindow()) check("opening", *error);
        QTest::qWait(50);
        QStringList shown;
        shown << frame.windowTitle();
        for (auto* w : frame.findChildren<QWidget*>()) {
            shown << w->windowTitle() << w->toolTip() << w->accessibleName();
            if (auto* label = qobject_cast<QLabel*>(w)) shown << label->text();
            if (auto* edit = qobject_cast<QLineEdit*>(w)) shown << edit->text();
        }
        for (int i = 1; i <= frame.StatusBar()->PanelCount(); ++i)
            shown << QString::fromStdString(frame.StatusBar()->PanelText(i));
        for (const auto& m : frame.Global().ScriptedMessages()->Messages())
            shown << QString::fromStdString(m.title + "\n" + m.text);
        for (const auto& e : frame.Global().ScriptedErrors()->Reports()) {
            const auto user = kv::services::DescribeForUser(e.report);
            shown << QString::fromStdString(e.report.description + "\n" + user.message + "\n" + user.number + "\n" +
                                            user.details);
            for (const auto& c : e.report.connection_errors) shown << QString::fromStdString(c.description);
        }
        check("frame", shown.join(QLatin1Char('\n')));
        frame.close();
    }
    role.admin().Execute("DROP SCHEMA " + schema + " CASCADE");

    // A session lost while the password changed on the server: opening it again is refused, without it.
    qmx::testing::PrivateFile passfile("qmx_pgpass", qmx::testing::PassfileLine(base_, role));
    kv::ado::Connection c;
    c.Open(as_role + ";Password File=" + passfile.path());
    role.SetPassword("Altro-1");
    role.admin().Execute("SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE usename = '" + role.name() + "'");
    QTest::qWait(200);
    try {
        c.Execute("SELECT 1");
        ADD_FAILURE() << "the lost session answered";
    } catch (const kv::Error& e) {
        EXPECT_TRUE(QString::fromStdString(e.Description()).contains(QStringLiteral("interrotta")));
        check("lost session", QString::fromStdString(e.Description() + c.GetErrors().Item(0).description));
    }
}

struct ServerParamName {
    std::string operator()(const ::testing::TestParamInfo<Server>& p) const { return qmx::testing::ServerName(p.param); }
};
INSTANTIATE_TEST_SUITE_P(Servers, DesktopPassword, ::testing::Values(Server::kRun, Server::kTls), ServerParamName());

}  // namespace
}  // namespace kv::host
