// erp-host as a person starts it: a process on the offscreen platform against a demo database that
// qmx-demo builds in a temporary folder. The screenshot mode is the way to see what it shows.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include <map>
#include <string>
#include <vector>

#include "host/app/host_main_window.h"
#include "host/app/host_settings.h"
#include "host/views/data_grid_view.h"

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

TEST_F(ErpHost, ScreenshotOfTheWindowAtTheAskedSize) {
    struct Case {
        const char* name;
        QStringList extra;
        QSize size;
    };
    const Case cases[] = {
        {"plain.png", {QStringLiteral("--size"), QStringLiteral("1024x700")}, QSize(1024, 700)},
        {"article.png", {QStringLiteral("--article"), QStringLiteral("MAG001")}, QSize(1280, 800)},
        {"modal.png", {QStringLiteral("--modal")}, QSize(796, 494)},  // the designed size
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString file = Shot(QString::fromLatin1(c.name));
        QStringList args = {QStringLiteral("--connection"), connection_, QStringLiteral("--screenshot"), file};
        args += c.extra;
        const ProcessRun run = Start(QStringLiteral(QMX_ERP_HOST), args);
        ASSERT_EQ(run.exit_code, 0) << run.errors.toStdString();
        QImage image(file);
        ASSERT_FALSE(image.isNull());
        EXPECT_EQ(image.size(), c.size);
        // Something is drawn (text, frames, fields): an empty window has a handful of colours.
        QSet<QRgb> colours;
        for (int y = 0; y < image.height(); y += 2)
            for (int x = 0; x < image.width(); x += 2) colours.insert(image.pixel(x, y));
        EXPECT_GT(colours.size(), 20);
    }
}

// The window opened on a demo article of each grid type shows the article's real columns in both
// price grids. The grids are read from their models in a host frame made the way erp-host makes it;
// erp-host itself pictures each case into the build folder (artifacts/), for a person to look at.
TEST_F(ErpHost, TheWindowOnAnArticleShowsItsColumns) {
    struct Case {
        int grid_type;
        int company;
        const char* article;
        std::vector<std::string> purchase;
        std::vector<std::string> sales;
    };
    const Case cases[] = {
        {1, 1, "SCI001",
         {"N.", "Valuta", "Colore", "Descrizione", "Prezzo lordo", "Sc.%1", "Sc.%2", "Sc.%3", "Sc. importo",
          "Mg.%1", "Mg. importo", "Prezzo netto"},
         {"N.", "Valuta", "Colore", "Descrizione", "Prezzo lordo", "Sc.%1", "Sc.%2", "%Ricar.",
          "Prezzo netto"}},
        {2, 2, "SCA100",
         {"N.", "Valuta", "Colore", "Descrizione", "Prezzo lordo", "Sc.%1", "Prezzo netto"},
         {"N.", "Valuta", "Colore", "Descrizione", "Prezzo lordo", "%Ricar.", "Prezzo netto"}},
        {3, 3, "TES010",
         {"N.", "Valuta", "Colore", "Descrizione", "Prezzo lordo", "Sc.%1", "Sc.%2", "Prezzo netto"},
         {"N.", "Valuta", "Colore", "Descrizione", "Prezzo lordo", "%Ricar.", "Prezzo netto"}},
        // The sizes as columns, in code order (MAG001 has no grouping), in both grids.
        {4, 1, "MAG001", {}, {}},
    };
    const QString host_dir = QFileInfo(QStringLiteral(QMX_ERP_HOST)).absolutePath();
    const QString components = QDir::cleanPath(host_dir + QStringLiteral("/../components"));
    QDir().mkpath(QStringLiteral(QMX_ARTIFACT_DIR));
    std::vector<Case> all(std::begin(cases), std::end(cases));
    for (const char* size : {"L - Large", "M - Medium", "S - Small", "XL - Extra large", "XS - Extra small",
                             "XXL - Doppia extra large"})
        for (auto* grid : {&all.back().purchase, &all.back().sales}) {
            if (grid->empty()) *grid = {"N.", "Valuta", "Colore"};
            grid->push_back(size);
        }
    for (const Case& c : all) {
        SCOPED_TRACE(c.article);
        HostSettings settings;
        settings.connection = connection_.toStdString();
        settings.company = c.company;
        settings.article = c.article;
        {
            HostMainWindow frame(settings, components, false);
            frame.resize(1280, 800);
            frame.show();
            ASSERT_EQ(frame.OpenPriceListWindow(), std::nullopt);
            QTest::qWait(100);
            std::map<std::string, std::vector<std::string>> captions;
            for (auto* widget : frame.findChildren<QWidget*>()) {
                // The view has no meta-object of its own: qobject_cast cannot tell it.
                auto* view = dynamic_cast<kv::qt::DataGridView*>(widget);
                if (!view) continue;
                const auto& grid = view->model();
                for (long i = 0; i < grid.Columns().Count(); ++i)
                    if (grid.Columns()[i].Visible()) captions[grid.Name()].push_back(grid.Columns()[i].Caption());
                // What the grid shows is what its model holds.
                EXPECT_EQ(view->tableModel()->columnCount(), grid.Columns().Count()) << grid.Name();
            }
            EXPECT_EQ(captions["GRD_LISACQ"], c.purchase);
            EXPECT_EQ(captions["GRD_LISVEN"], c.sales);
            EXPECT_TRUE(frame.Global().ScriptedMessages()->Messages().empty());
            EXPECT_TRUE(frame.Global().ScriptedErrors()->Reports().empty());
            frame.close();
        }
        const QString file = QStringLiteral(QMX_ARTIFACT_DIR) +
                             QStringLiteral("/grid_type_%1_%2.png").arg(c.grid_type).arg(c.article);
        const QStringList args = {QStringLiteral("--connection"), connection_,
                                  QStringLiteral("--company"),    QString::number(c.company),
                                  QStringLiteral("--article"),    QString::fromLatin1(c.article),
                                  QStringLiteral("--screenshot"), file};
        const ProcessRun run = Start(QStringLiteral(QMX_ERP_HOST), args);
        EXPECT_EQ(run.exit_code, 0) << run.errors.toStdString();
        EXPECT_FALSE(QImage(file).isNull());
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
