#include "TestSupport.h"
#include "program/CommandLine.h"
#include "program/Startup.h"

#include <QDir>
#include <QMessageBox>
#include <QProcess>
#include <QtTest>

using namespace quarrow;
using namespace quarrow::test;

namespace {

struct ProgramRun {
    int exitCode = -1;
    QString out;
    QString err;
};

// Runs the built program with `arguments` and no display at all, unless
// `environment` sets one.
ProgramRun runQuarrow(const QStringList& arguments, const QStringList& environment = {}) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        env.remove(QString::fromLatin1(name));
    }
    for (const QString& setting : environment) {
        env.insert(setting.section(u'=', 0, 0), setting.section(u'=', 1));
    }
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(QDir(BuildDir()).filePath(QStringLiteral("quarrow")), arguments);
    ProgramRun run;
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished();
        return run;
    }
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    // Windows ends the lines of a program's text output with CR LF.
    run.out = QString::fromLocal8Bit(process.readAllStandardOutput())
                  .replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    run.err = QString::fromLocal8Bit(process.readAllStandardError())
                  .replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return run;
}

}  // namespace

class CommandLineTest : public QObject {
    Q_OBJECT

private slots:
    void helpAndVersionNeedNoDisplay_data();
    void helpAndVersionNeedNoDisplay();
    void wrongArgumentsAreRefused_data();
    void wrongArgumentsAreRefused();
    void withoutDisplayOneLineAndExitOne_data();
    void withoutDisplayOneLineAndExitOne();
    void toolkitOptionsAreLeftToQt();
    void showErrorShowsOnlyTheErrorBox();
};

void CommandLineTest::helpAndVersionNeedNoDisplay_data() {
    QTest::addColumn<QString>("option");
    QTest::addColumn<QString>("expected");
    QTest::newRow("--version") << "--version"
                               << "Quarrow 1.3\n";
    QTest::newRow("-v") << "-v"
                        << "Quarrow 1.3\n";
    QTest::newRow("--help") << "--help"
                            << "Usage:";
    QTest::newRow("-h") << "-h"
                        << "--version";
}

void CommandLineTest::helpAndVersionNeedNoDisplay() {
    QFETCH(QString, option);
    QFETCH(QString, expected);
    const ProgramRun run = runQuarrow({option});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.err, QString());
    if (expected.endsWith(u'\n')) {
        QCOMPARE(run.out, expected);
    } else {
        QVERIFY2(run.out.contains(expected), qPrintable(run.out));
        QVERIFY2(run.out.contains(QStringLiteral("vek.mdb")), qPrintable(run.out));
        // Qt's own options are not Quarrow's to list, nor the launcher's.
        QVERIFY2(!run.out.contains(QStringLiteral("platform")), qPrintable(run.out));
        QVERIFY2(!run.out.contains(QStringLiteral("show-error")), qPrintable(run.out));
    }
}

void CommandLineTest::wrongArgumentsAreRefused_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("message");
    QTest::newRow("unknown option")
        << QStringList{QStringLiteral("--catalogue")} << "Unknown option 'catalogue'";
    QTest::newRow("a file name") << QStringList{QStringLiteral("vek.mdb")}
                                 << "unexpected argument 'vek.mdb'";
    QTest::newRow("Qt option without its value")
        << QStringList{QStringLiteral("-platform")} << "Missing value after '-platform'";
}

void CommandLineTest::wrongArgumentsAreRefused() {
    QFETCH(QStringList, arguments);
    QFETCH(QString, message);
    const ProgramRun run = runQuarrow(arguments);
    QCOMPARE(run.exitCode, 2);
    QCOMPARE(run.out, QString());
    QVERIFY2(run.err.startsWith(QStringLiteral("quarrow: ")), qPrintable(run.err));
    QVERIFY2(run.err.contains(message), qPrintable(run.err));
    QVERIFY2(run.err.contains(QStringLiteral("quarrow --help")), qPrintable(run.err));
}

void CommandLineTest::withoutDisplayOneLineAndExitOne_data() {
    QTest::addColumn<QStringList>("environment");
    QTest::addColumn<QString>("why");
#if defined(Q_OS_WIN)
    // Windows always has its desktop; what can be missing is the platform
    // plugin.
    QTest::newRow("platform plugin not there")
        << QStringList{QStringLiteral("QT_QPA_PLATFORM=xcb")}
        << "Could not find the Qt platform plugin \"xcb\" in \"\"";
#else
    QTest::newRow("nothing set") << QStringList() << "neither DISPLAY nor WAYLAND_DISPLAY is set";
    // A display that is named but not there.
    QTest::newRow("X display not there")
        << QStringList{QStringLiteral("DISPLAY=:87"), QStringLiteral("QT_QPA_PLATFORM=xcb")}
        << "could not connect to display :87";
#endif
}

void CommandLineTest::withoutDisplayOneLineAndExitOne() {
    QFETCH(QStringList, environment);
    QFETCH(QString, why);
    const ProgramRun run = runQuarrow({}, environment);
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(run.out, QString());
    QCOMPARE(run.err, QStringLiteral("quarrow: no graphical display: ") + why + u'\n');
}

void CommandLineTest::toolkitOptionsAreLeftToQt() {
    const CommandLineOutcome outcome = ParseCommandLine(
        {QStringLiteral("quarrow"), QStringLiteral("-platform"), QStringLiteral("offscreen"),
         QStringLiteral("-style"), QStringLiteral("Fusion"), QStringLiteral("-reverse")});
    QVERIFY(outcome.runProgram);
    QCOMPARE(outcome.error, QString());
}

// The launcher that starts Quarrow from the desktop menu shows what stops
// it through the program, where nobody sees standard error.
void CommandLineTest::showErrorShowsOnlyTheErrorBox() {
    const QString text = QStringLiteral(
        "Cannot start Quarrow: its data folder /home/u/.local/share/quarrow is a "
        "file, not a folder.");
    const CommandLineOutcome outcome =
        ParseCommandLine({QStringLiteral("quarrow"), QStringLiteral("--show-error"), text});
    QVERIFY(!outcome.runProgram);
    QCOMPARE(outcome.errorBox, text);
    QCOMPARE(outcome.output, QString());
    QCOMPARE(outcome.error, QString());

    const std::shared_ptr<SeenDialog> box = AnswerNextDialog(QStringLiteral("OK"));
    QCOMPARE(ShowErrorBoxAlone(outcome.errorBox), 0);
    QVERIFY(box->seen);
    QCOMPARE(box->objectName, QStringLiteral("AppMessageBox"));
    QCOMPARE(box->title, QStringLiteral("Quarrow"));
    QCOMPARE(box->text, text);
    QCOMPARE(box->icon, int(QMessageBox::Critical));

    // Without a display it says so, as the program does.
    const ProgramRun run = runQuarrow({QStringLiteral("--show-error"), text});
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.err.startsWith(QStringLiteral("quarrow: no graphical display: ")),
             qPrintable(run.err));
}

QUARROW_TEST_MAIN(CommandLineTest)
#include "tst_command_line.moc"
