#include "CatalogueWriter.h"
#include "SkinFixtures.h"
#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

using namespace quarrow;
using namespace quarrow::test;
using namespace Qt::StringLiterals;

// What the program reported when it was started.
struct Report {
    QStringList dialogs;
    QString styleSheet;
    QString active;
    QStringList visible;
    QStringList sections;
};

namespace {

Report parse(const QString& output) {
    Report report;
    // Lines end with LF, or on Windows with CR LF.
    for (QString line : output.split(u'\n', Qt::SkipEmptyParts)) {
        if (line.endsWith(u'\r')) line.chop(1);
        const QString value = line.section(u' ', 1);
        if (line.startsWith(u"dialog ")) report.dialogs << value;
        if (line.startsWith(u"stylesheet ")) report.styleSheet = value;
        if (line.startsWith(u"active ")) report.active = value;
        if (line.startsWith(u"visible ")) report.visible << value;
        if (line.startsWith(u"section ")) report.sections << value;
    }
    return report;
}

}  // namespace

// The program as it starts: the skin beside the executable, looked up by the
// main window's creation handler, and a current folder somewhere else.
class SkinStartupTest : public QObject {
    Q_OBJECT

private slots:
    void skinBesideTheProgram_data();
    void skinBesideTheProgram();
    void nothingIsLeftInTheTemporaryFolder_data();
    void nothingIsLeftInTheTemporaryFolder();

private:
    Report start(const QString& programFolder, const QString& currentFolder);
};

namespace {

// The probe copied into `programFolder` under the program's name, so that it
// looks for the skin there.
QString placeProgram(const QString& programFolder) {
    const QString program = programFolder + u"/quarrow"_s;
    if (!QFile::copy(QStringLiteral(QUARROW_SKIN_PROBE), program)) return {};
    QFile::setPermissions(program, QFile::permissions(program) | QFile::ExeOwner);
    return program;
}

}  // namespace

Report SkinStartupTest::start(const QString& programFolder, const QString& currentFolder) {
    const QString program = placeProgram(programFolder);
    if (program.isEmpty()) return {};
    QProcess process;
    process.setWorkingDirectory(currentFolder);
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(program, {});
    if (!process.waitForFinished(120000) || process.exitCode() != 0) return {};
    return parse(QString::fromUtf8(process.readAllStandardOutput()));
}

void SkinStartupTest::skinBesideTheProgram_data() {
    QTest::addColumn<QString>("besideProgram");
    QTest::addColumn<bool>("catalogue");
    QTest::addColumn<bool>("skinned");
    QTest::addColumn<QString>("error");
    QTest::newRow("packed file") << "packed" << true << true << "";
    QTest::newRow("packed file, no catalogue") << "packed" << false << true << "vek.mdb";
    QTest::newRow("skin folder") << "folder" << true << true << "";
    QTest::newRow("neither, though the current folder has both") << "none" << true << false << "";
    QTest::newRow("packed file that is not a zip") << "not a zip" << true << false << "Shine.asz";
    QTest::newRow("Options.dat that is not valid")
        << "bad options" << true << false << "Options.dat";
}

void SkinStartupTest::skinBesideTheProgram() {
    QFETCH(QString, besideProgram);
    QFETCH(bool, catalogue);
    QFETCH(bool, skinned);
    QFETCH(QString, error);
    QTemporaryDir program;
    QTemporaryDir current;
    if (catalogue) {
        WriteDriverCatalogue(current.filePath(u"vek.mdb"_s), u"kavrel"_s,
                             {{u"Наименование"_s, u"Устройство"_s, u"os"_s, u"Размер"_s,
                               u"Версия"_s, u"url"_s, u"URLdr"_s, u"ver"_s},
                              {}});
    }
    WriteSkinArchive(current.filePath(u"Shine.asz"_s), ShineFiles());
    WriteSkinFolder(current.path(), ShineFiles());
    const QString packed = program.filePath(u"Shine.asz"_s);
    if (besideProgram == u"packed") WriteSkinArchive(packed, ShineFiles());
    if (besideProgram == u"folder") WriteSkinFolder(program.path(), ShineFiles());
    if (besideProgram == u"not a zip") WriteFile(packed, "PK but no zip");
    if (besideProgram == u"bad options") {
        WriteSkinFolder(program.path(), ShineWithOptions("[SKIN\nVersion=1.0\n"));
    }

    const Report report = start(program.path(), current.path());

    QCOMPARE(report.visible, QStringList({u"Form1 1"_s, u"Form2 0"_s, u"Form3 0"_s, u"Form4 0"_s}));
    QCOMPARE(report.styleSheet, skinned ? u"set"_s : u"none"_s);
    if (error.isEmpty()) {
        QCOMPARE(report.dialogs, QStringList());
    } else {
        // The error box, once, and the program goes on. The box comes before
        // the skin is set up, so it has the plain look.
        QCOMPARE(report.dialogs.size(), 1);
        const QString& box = report.dialogs.front();
        QVERIFY2(box.startsWith(u"Quarrow|") && box.contains(error), qPrintable(box));
        QVERIFY2(box.endsWith(u"|plain"), qPrintable(box));
    }
    if (!skinned) return;
    QCOMPARE(report.active, u"1"_s);
    for (const QString& expected :
         {u"Form1.Form1 FORM"_s, u"Form1.Button9 BUTTON"_s, u"Form1.DBGrid1 EDIT"_s,
          u"Form2.Form2 FORM"_s, u"Form3.Form3 FORM"_s, u"Form3.sButton26 SPEEDBUTTON"_s,
          u"Form4.Form4 FORM"_s, u"Form4.CheckBox1 CHECKBOX"_s}) {
        QVERIFY2(report.sections.contains(expected), qPrintable(expected));
    }
}

void SkinStartupTest::nothingIsLeftInTheTemporaryFolder_data() {
    QTest::addColumn<QString>("end");
    QTest::addColumn<QString>("skin");
    QTest::newRow("SIGTERM, packed skin") << "SIGTERM"
                                          << "packed";
    QTest::newRow("SIGKILL, packed skin") << "SIGKILL"
                                          << "packed";
    QTest::newRow("SIGKILL, skin folder") << "SIGKILL"
                                          << "folder";
    QTest::newRow("normal end, packed skin") << "quit"
                                             << "packed";
}

// The skinned program, ended from outside once its window is up, leaves its
// temporary folder as it found it: the skin's pictures never go to disk.
void SkinStartupTest::nothingIsLeftInTheTemporaryFolder() {
    QFETCH(QString, end);
    QFETCH(QString, skin);
#if defined(Q_OS_WIN)
    if (end == u"SIGTERM") {
        QSKIP(
            "Windows has no SIGTERM that one program sends another: QProcess::terminate() "
            "only asks the windows to close; the outright ending is the SIGKILL rows.");
    }
#endif
    QTemporaryDir programFolder;
    QTemporaryDir current;
    QTemporaryDir temporary;
    QTemporaryDir runtime;  // else Qt makes its runtime folder in the temporary one
    WriteDriverCatalogue(current.filePath(u"vek.mdb"_s), u"kavrel"_s,
                         {DriverCatalogueColumns(), {}});
    if (skin == u"packed") {
        WriteSkinArchive(programFolder.filePath(u"Shine.asz"_s), ShineFiles());
    } else {
        WriteSkinFolder(programFolder.path(), ShineFiles());
    }
    const QString program = placeProgram(programFolder.path());
    QVERIFY(!program.isEmpty());

    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    // Linux names the temporary folder TMPDIR, Windows TMP and TEMP.
    for (const QString& name : {u"TMPDIR"_s, u"TMP"_s, u"TEMP"_s}) {
        environment.insert(name, QDir::toNativeSeparators(temporary.path()));
    }
    environment.insert(u"XDG_RUNTIME_DIR"_s, runtime.path());
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(current.path());
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(program, end == u"quit" ? QStringList() : QStringList{u"--stay-up"_s});
    QVERIFY(process.waitForStarted(120000));
    QByteArray output;
    // Windows ends the probe's lines with CR LF.
    const auto readOutput = [&] {
        output += process.readAllStandardOutput();
        output.replace("\r\n", "\n");
    };
    while (!output.contains("\nup\n") && process.state() == QProcess::Running &&
           process.waitForReadyRead(120000)) {
        readOutput();
    }
    if (end == u"SIGTERM") process.terminate();
    if (end == u"SIGKILL") process.kill();
    QVERIFY(process.state() == QProcess::NotRunning || process.waitForFinished(120000));
    readOutput();

    QVERIFY2(output.contains("stylesheet set\n"), output.constData());
    if (end == u"quit") {
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 0);
    } else {
        QVERIFY2(output.endsWith("\nup\n"), output.constData());
        QCOMPARE(process.exitStatus(), QProcess::CrashExit);
    }
    const QStringList left =
        QDir(temporary.path())
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    QVERIFY2(left.isEmpty(), qPrintable(left.join(u", ")));
}

QUARROW_TEST_MAIN(SkinStartupTest)
#include "tst_skin_startup.moc"
