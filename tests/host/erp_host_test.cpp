// erp-host as a person starts it: a process on the offscreen platform against a demo database that
// qmx-demo builds in a temporary folder. The screenshot mode is the way to see what it shows.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>

#include <string>
#include <tuple>
#include <vector>

#include "host/app/host_settings.h"

namespace kv::host {
namespace {

struct ProcessRun {
    int exit_code = -1;
    QString errors;
    QString output;
};

// `display` False: the process has no display at all (the X11 platform with no DISPLAY), as on a
// server or in a terminal session; Qt cannot start a GUI there.
ProcessRun Start(const QString& program, const QStringList& arguments, bool display = true) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    if (display) {
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    } else {
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        env.remove(QStringLiteral("DISPLAY"));
        env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    }
    p.setProcessEnvironment(env);
    p.start(program, arguments);
    if (!p.waitForFinished(120000)) {
        p.kill();
        p.waitForFinished();
        return {-1, QStringLiteral("did not finish"), QString()};
    }
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromUtf8(p.readAllStandardError()),
            QString::fromUtf8(p.readAllStandardOutput())};
}

class ErpHost : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        dir_ = new QTemporaryDir;
        ASSERT_TRUE(dir_->isValid());
        const QString file = dir_->filePath(QStringLiteral("demo.sqlite"));
        const ProcessRun built = Start(QStringLiteral(QMX_DEMO_TOOL),
                                {QStringLiteral("--connection"),
                                 QStringLiteral("Provider=SQLite;Data Source=%1;Mode=Create").arg(file)});
        ASSERT_EQ(built.exit_code, 0) << built.errors.toStdString();
        connection_ = QStringLiteral("Provider=SQLite;Data Source=%1").arg(file);
    }
    static void TearDownTestSuite() {
        delete dir_;
        dir_ = nullptr;
    }
    static QString Shot(const QString& name) { return dir_->filePath(name); }

    static QTemporaryDir* dir_;
    static QString connection_;
};

QTemporaryDir* ErpHost::dir_ = nullptr;
QString ErpHost::connection_;

// The window pictured at the asked size; on a demo article of each grid type the picture goes to the
// build folder (artifacts/), for a person to look at. The columns each grid shows are the scenarios'.
TEST_F(ErpHost, ScreenshotOfTheWindowAtTheAskedSize) {
    struct Case {
        QString file;
        QStringList extra;
        QSize size;
    };
    std::vector<Case> cases = {
        {Shot(QStringLiteral("plain.png")), {QStringLiteral("--size"), QStringLiteral("1024x700")}, QSize(1024, 700)},
        {Shot(QStringLiteral("modal.png")), {QStringLiteral("--modal")}, QSize(796, 494)},  // the designed size
    };
    QDir().mkpath(QStringLiteral(QMX_ARTIFACT_DIR));
    for (const auto& [grid_type, company, article] :
         {std::tuple{1, 1, "SCI001"}, std::tuple{2, 2, "SCA100"}, std::tuple{3, 3, "TES010"}, std::tuple{4, 1, "MAG001"}})
        cases.push_back({QStringLiteral(QMX_ARTIFACT_DIR "/grid_type_%1_%2.png").arg(grid_type).arg(article),
                         {QStringLiteral("--company"), QString::number(company), QStringLiteral("--article"),
                          QString::fromLatin1(article)},
                         QSize(1280, 800)});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file.toStdString());
        QStringList args = {QStringLiteral("--connection"), connection_, QStringLiteral("--screenshot"), c.file};
        args += c.extra;
        const ProcessRun run = Start(QStringLiteral(QMX_ERP_HOST), args);
        ASSERT_EQ(run.exit_code, 0) << run.errors.toStdString();
        QImage image(c.file);
        ASSERT_FALSE(image.isNull());
        EXPECT_EQ(image.size(), c.size);
        // Something is drawn (text, frames, fields): an empty window has a handful of colours.
        QSet<QRgb> colours;
        for (int y = 0; y < image.height(); y += 2)
            for (int x = 0; x < image.width(); x += 2) colours.insert(image.pixel(x, y));
        EXPECT_GT(colours.size(), 20);
    }
}

TEST_F(ErpHost, FailuresExitWithAReason) {
    struct Case {
        const char* what;
        QStringList args;
        int exit_code;
        const char* says;
    };
    const QString file = Shot(QStringLiteral("failed.png"));
    auto shot = [&](QStringList args) { return args << QStringLiteral("--screenshot") << file; };
    const Case cases[] = {
        {"unknown argument", {QStringLiteral("--colour")}, 1, "argomento sconosciuto '--colour'"},
        {"bad company", {QStringLiteral("--company"), QStringLiteral("x")}, 1, "--company"},
        {"database that does not open",
         shot({QStringLiteral("--connection"), QStringLiteral("Provider=Nowhere;Data Source=x")}),
         2,
         "errore in Form_Load"},
        {"unwritable picture",
         {QStringLiteral("--connection"), connection_, QStringLiteral("--screenshot"),
          QStringLiteral("/nonexistent-folder/x.png")},
         1,
         "impossibile scrivere l'immagine"},
        {"unknown company", shot({QStringLiteral("--connection"), connection_, QStringLiteral("--company"),
                                  QStringLiteral("99")}),
         3, "La ditta 99 non esiste"},
        {"unknown article", shot({QStringLiteral("--connection"), connection_, QStringLiteral("--article"),
                                  QStringLiteral("NON-ESISTE")}),
         3, "L'articolo NON-ESISTE non esiste nella ditta 1"},
        {"article with an apostrophe", shot({QStringLiteral("--connection"), connection_, QStringLiteral("--article"),
                                             QStringLiteral("X' OR '1'='1")}),
         3, "non esiste nella ditta 1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const ProcessRun run = Start(QStringLiteral(QMX_ERP_HOST), c.args);
        EXPECT_EQ(run.exit_code, c.exit_code) << run.errors.toStdString();
        EXPECT_TRUE(run.errors.contains(QString::fromUtf8(c.says))) << run.errors.toStdString();
    }
}

TEST_F(ErpHost, HelpAndArgumentErrorsNeedNoDisplay) {
    const ProcessRun help = Start(QStringLiteral(QMX_ERP_HOST), {QStringLiteral("--help")}, false);
    EXPECT_EQ(help.exit_code, 0) << help.errors.toStdString();
    for (const char* option : {"--connection", "--company", "--article", "--modal", "--screenshot", "--size",
                               "codici di uscita"})
        EXPECT_TRUE(help.output.contains(QLatin1String(option))) << option << help.output.toStdString();
    const ProcessRun wrong = Start(QStringLiteral(QMX_ERP_HOST), {QStringLiteral("--size"), QStringLiteral("x")}, false);
    EXPECT_EQ(wrong.exit_code, 1);
    EXPECT_TRUE(wrong.errors.contains(QStringLiteral("--size vuole"))) << wrong.errors.toStdString();
}

TEST_F(ErpHost, TheDemoToolRefusesAnExistingDatabaseAndNamesReplace) {
    const QString file = dir_->filePath(QStringLiteral("demo.sqlite"));
    const ProcessRun again = Start(QStringLiteral(QMX_DEMO_TOOL),
                                   {QStringLiteral("--connection"),
                                    QStringLiteral("Provider=SQLite;Data Source=%1;Mode=Create").arg(file)});
    EXPECT_EQ(again.exit_code, 1);
    EXPECT_TRUE(again.errors.contains(QStringLiteral("--replace"))) << again.errors.toStdString();
    EXPECT_TRUE(again.errors.contains(QStringLiteral("contiene già"))) << again.errors.toStdString();
}

TEST_F(ErpHost, TheDemoToolAddsTheLargeArticleToAnExistingDemoOnce) {
    const QString file = dir_->filePath(QStringLiteral("grande.sqlite"));
    const QString create = QStringLiteral("Provider=SQLite;Data Source=%1;Mode=Create").arg(file);
    ASSERT_EQ(Start(QStringLiteral(QMX_DEMO_TOOL), {QStringLiteral("--connection"), create}).exit_code, 0);
    const QStringList large{QStringLiteral("--connection"), QStringLiteral("Provider=SQLite;Data Source=%1").arg(file),
                            QStringLiteral("--large")};
    const ProcessRun added = Start(QStringLiteral(QMX_DEMO_TOOL), large);
    EXPECT_EQ(added.exit_code, 0) << added.errors.toStdString();
    const ProcessRun again = Start(QStringLiteral(QMX_DEMO_TOOL), large);
    EXPECT_EQ(again.exit_code, 0);
    EXPECT_TRUE(again.errors.contains(QStringLiteral("già presente"))) << again.errors.toStdString();
    // The rows are there once, next to the demo's own.
    const QString script = dir_->filePath(QStringLiteral("conta.script"));
    QFile f(script);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("sql SELECT LI10_DITTA_CG18 AS D, COUNT(*) AS N FROM LI10_LISTARTIC WHERE LI10_DITTA_CG18 IN (2, 8) "
            "GROUP BY LI10_DITTA_CG18 ORDER BY 1\n");
    f.close();
    const ProcessRun counted = Start(QStringLiteral(QMX_ERP_HOST),
                                     {QStringLiteral("--script"), script, QStringLiteral("--connection"),
                                      QStringLiteral("Provider=SQLite;Data Source=%1").arg(file)},
                                     false);
    EXPECT_EQ(counted.output, QStringLiteral("D\tN\n2\t44\n8\t24000\n")) << counted.errors.toStdString();
}

TEST(HostSettings, ArgumentsAndDefaults) {
    HostSettings s;
    EXPECT_EQ(ParseSettings({QStringLiteral("--company"), QStringLiteral("3"), QStringLiteral("--article"),
                             QStringLiteral(" MAG001 "), QStringLiteral("--modal"), QStringLiteral("--size"),
                             QStringLiteral("640x480")},
                            s),
              std::nullopt);
    EXPECT_EQ(s.company, 3);
    EXPECT_EQ(s.article, "MAG001");
    EXPECT_TRUE(s.modal);
    EXPECT_EQ(s.width, 640);
    EXPECT_EQ(s.height, 480);
    EXPECT_EQ(s.connection, "");

    const QStringList refused[] = {
        {QStringLiteral("--connection")},
        {QStringLiteral("--company"), QStringLiteral("0")},
        {QStringLiteral("--article"), QStringLiteral("  ")},
        {QStringLiteral("--size"), QStringLiteral("big")},
        {QStringLiteral("--screenshot")},
    };
    for (const QStringList& args : refused) {
        HostSettings r;
        EXPECT_NE(ParseSettings(args, r), std::nullopt) << args.join(' ').toStdString();
    }
    // The status bar names where the data are: the SQLite file, or PostgreSQL's database and server.
    EXPECT_EQ(SessionPlace("Provider=SQLite;Data Source=/b/demo.sqlite"), QStringLiteral("demo.sqlite"));
    EXPECT_EQ(SessionPlace("Provider=PostgreSQL;Host=db.local;Port=5433;Database=listini;User ID=qmx;Password="),
              QStringLiteral("listini su db.local:5433"));
    EXPECT_EQ(SessionPlace("provider=postgresql; database=ditte ;user id=qmx"), QStringLiteral("ditte su localhost"));
    // The demo database lives in the build folder, beside the executable's folder.
    EXPECT_EQ(DemoConnectionString(QStringLiteral("/b/host")), "Provider=SQLite;Data Source=/b/demo.sqlite");
}

}  // namespace
}  // namespace kv::host
