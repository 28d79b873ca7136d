// erp-host --script as support staff and the acceptance scenarios use it: a process without a display,
// on a demo database that qmx-demo builds in a temporary folder. What a script prints is checked in the
// scenarios; here, how a run ends when a line cannot be performed.

#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

namespace {

struct ScriptRun {
    int exit_code = -1;
    QString out;
    QString err;
};

class ErpHostScript : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        dir_ = new QTemporaryDir;
        ASSERT_TRUE(dir_->isValid());
        const QString file = dir_->filePath(QStringLiteral("demo.sqlite"));
        QProcess demo;
        demo.start(QStringLiteral(QMX_DEMO_TOOL),
                   {QStringLiteral("--connection"), QStringLiteral("Provider=SQLite;Data Source=%1;Mode=Create").arg(file)});
        ASSERT_TRUE(demo.waitForFinished(120000));
        ASSERT_EQ(demo.exitCode(), 0) << demo.readAllStandardError().toStdString();
        connection_ = QStringLiteral("Provider=SQLite;Data Source=%1").arg(file);
    }
    static void TearDownTestSuite() {
        delete dir_;
        dir_ = nullptr;
    }

    // Runs `script` with no display at all: a script run must not need one.
    static ScriptRun RunScript(const QString& name, const QByteArray& script, const QStringList& extra = {}) {
        const QString path = dir_->filePath(name);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(script);
        f.close();
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("DISPLAY"));
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(QMX_ERP_HOST),
                QStringList{QStringLiteral("--script"), path, QStringLiteral("--connection"), connection_} + extra);
        if (!p.waitForFinished(120000)) {
            p.kill();
            p.waitForFinished();
            return {};
        }
        return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromUtf8(p.readAllStandardOutput()),
                QString::fromUtf8(p.readAllStandardError())};
    }

    static QTemporaryDir* dir_;
    static QString connection_;
};

QTemporaryDir* ErpHostScript::dir_ = nullptr;
QString ErpHostScript::connection_;

TEST_F(ErpHostScript, TimingsGiveOneFigurePerLineAndLeaveTheOutputAsItWas) {
    const QByteArray script = "# the key of SCI001, a look at the grid\n"
                              "type TXT_CODART SCI001\n"
                              "type TXT_DADATA_ACQ 01/01/2025\n"
                              "\n"
                              "type TXT_ADATA_ACQ 31/12/2025\n"
                              "type TXT_DADATA_VEN 01/01/2025\n"
                              "type TXT_ADATA_VEN 31/12/2025\n"
                              "dump acq\n"
                              "sql SELECT COUNT(*) AS N FROM LI10_LISTARTIC\n";
    const ScriptRun plain = RunScript(QStringLiteral("plain.script"), script);
    const ScriptRun timed = RunScript(QStringLiteral("timed.script"), script, {QStringLiteral("--timings")});
    ASSERT_EQ(plain.exit_code, 0) << plain.err.toStdString();
    ASSERT_EQ(timed.exit_code, 0) << timed.err.toStdString();
    EXPECT_EQ(timed.out, plain.out);
    EXPECT_FALSE(plain.err.contains(QStringLiteral(" ms"))) << plain.err.toStdString();
    // The lines that ran, by number (comments and blank lines are not performed), each with its time;
    // what else is on the error stream (the toolkit's notes) is the same as without timings.
    const QRegularExpression figure(QStringLiteral("^.*timed\\.script:(\\d+): (\\d+),(\\d{3}) ms$"));
    QStringList numbers, others;
    for (const QString& line : timed.err.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const QRegularExpressionMatch m = figure.match(line);
        if (m.hasMatch()) numbers << m.captured(1);
        else others << line;
    }
    EXPECT_EQ(others, plain.err.split(QLatin1Char('\n'), Qt::SkipEmptyParts));
    EXPECT_EQ(numbers, (QStringList{"2", "3", "5", "6", "7", "8", "9"}));
}

TEST_F(ErpHostScript, AScreenshotLineDrawsTheWindowWithoutADisplay) {
    const QString picture = dir_->filePath(QStringLiteral("finestra.png"));
    const ScriptRun r = RunScript(QStringLiteral("picture.script"),
                                  "type TXT_CODART SCI001\nscreenshot " + picture.toUtf8() + "\n");
    EXPECT_EQ(r.exit_code, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, QString());
    // The window as it stands in erp-host's frame of 1280 x 800: as wide, less tall by the frame's
    // menu, tabs and status bar.
    const QImage image(picture);
    EXPECT_EQ(image.width(), 1280);
    EXPECT_GT(image.height(), 600);
    EXPECT_LT(image.height(), 800);
}

TEST_F(ErpHostScript, ALineThatCannotRunEndsTheRunWithItsNumberAndReason) {
    struct Case {
        const char* script;
        const char* where;   // the line named in the error
        const char* reason;  // part of the reason
    };
    const Case cases[] = {
        {"sql SELECT 1 AS A\n\nfly away\n", ":3: ", "comando sconosciuto"},
        {"answer 9\n", ":1: ", "risposta non valida"},
        {"dump side 3\n", ":1: ", "lista laterale sconosciuta"},
        {"cell acq 1 \"Prezzo lordo\n", ":1: ", "virgolette"},
        {"type TXT_CODART SCI001\ntype TXT_DADATA_ACQ 01/01/2025\ntype TXT_ADATA_ACQ 31/12/2025\n"
         "type TXT_DADATA_VEN 01/01/2025\ntype TXT_ADATA_VEN 31/12/2025\ncell acq 99 N. 1\n",
         ":6: ", "fuori dalla griglia"},
        // The grid is enabled, but its area is not until a key is loaded: the user cannot reach it.
        {"type TXT_CODART SCI001\ncell acq 1 \"Prezzo lordo\" 5\n", ":2: ",
         "GRD_LISACQ non è abilitato (è disabilitato GRB_LISACQ)"},
        // The variant field belongs to grid types 2 and 3: with a grid of one level it is not there.
        {"type TXT_CODART SCI001\ntype TXT_DADATA_ACQ 01/01/2025\ntype TXT_ADATA_ACQ 31/12/2025\n"
         "type TXT_DADATA_VEN 01/01/2025\ntype TXT_ADATA_VEN 31/12/2025\ntype TXT_VARIANTE 40\n",
         ":6: ", "TXT_VARIANTE non è visibile"},
        {"sql SELECT * FROM NO_SUCH_TABLE\n", ":1: ", "SQL"},
        // The toolbar waits for a key to be loaded: a user cannot press it, nor can a script.
        {"click Conferma\n", ":1: ", "non è abilitat"},
    };
    int n = 0;
    for (const Case& c : cases) {
        const ScriptRun r = RunScript(QStringLiteral("bad%1.script").arg(++n), c.script);
        EXPECT_EQ(r.exit_code, 1) << c.script;
        EXPECT_TRUE(r.err.contains(QString::fromUtf8(c.where))) << c.script << " -> " << r.err.toStdString();
        EXPECT_TRUE(r.err.contains(QString::fromUtf8(c.reason))) << c.script << " -> " << r.err.toStdString();
    }
}

}  // namespace
