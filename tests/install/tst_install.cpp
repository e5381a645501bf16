#include "TestSupport.h"

#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

using namespace quarrow::test;

namespace {

struct Run {
    int exitCode = -1;
    QString out;  // standard output and error together
};

Run run(const QString& program, const QStringList& arguments,
        const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment()) {
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    Run result;
    if (!process.waitForFinished(300000)) {
        process.kill();
        process.waitForFinished();
        return result;
    }
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = QString::fromLocal8Bit(process.readAll());
    return result;
}

QByteArray contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

QString appFile(const char* folder, const char* suffix) {
    return QStringLiteral("%1/%2/%3%4")
        .arg(QStringLiteral(QUARROW_DATA_DIR), QLatin1String(folder),
             QStringLiteral(QUARROW_APP_ID), QLatin1String(suffix));
}

}  // namespace

class InstallTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void everyInstalledFileIsInTheManifest();
    void desktopEntryStartsTheLauncher();
    void desktopEntryValidates();
    void metadataValidates();
    void launcherStartsTheProgramInTheDataFolder_data();
    void launcherStartsTheProgramInTheDataFolder();
    void launcherNeverReplacesTheUsersFiles();

private:
    QString installed(const QString& relative) const { return prefix_ + u'/' + relative; }
    // Runs the installed launcher with the program replaced by a stub that
    // prints its folder and arguments.
    Run launch(const QStringList& environment, const QStringList& arguments = {});

    QTemporaryDir dir_;
    QString prefix_;
    QStringList manifest_;
};

void InstallTest::initTestCase() {
#if defined(Q_OS_WIN)
    QSKIP(
        "The desktop installation checked here (launcher, desktop entry, data folder) is the "
        "Linux one; on Windows, scripts/build-windows.sh makes the portable folder and the MSI, "
        "which its Wine test pass installs.");
#endif
    QVERIFY(dir_.isValid());
    prefix_ = dir_.filePath(QStringLiteral("usr"));
    // One component of its own writes install_manifest_Unspecified.txt, so
    // the build's install_manifest.txt from a real installation is kept.
    const Run install =
        run(QStringLiteral(QUARROW_CMAKE),
            {QStringLiteral("--install"), BuildDir(), QStringLiteral("--prefix"), prefix_,
             QStringLiteral("--component"), QStringLiteral("Unspecified")});
    QVERIFY2(install.exitCode == 0, qPrintable(install.out));
    const QString manifest = QString::fromUtf8(
        contents(BuildDir() + QStringLiteral("/install_manifest_Unspecified.txt")));
    for (const QString& line : manifest.split(u'\n', Qt::SkipEmptyParts)) {
        manifest_.append(line.mid(prefix_.size() + 1));
    }
}

void InstallTest::everyInstalledFileIsInTheManifest() {
    const QString program = QStringLiteral(QUARROW_PROGRAM_DIR);
    const QString data = QStringLiteral(QUARROW_DATA_DIR);
    const QStringList expected{
        QStringLiteral(QUARROW_BIN_DIR "/quarrow"),
        QStringLiteral(QUARROW_BIN_DIR "/quarrow-catalogue"),
        program + QStringLiteral("/quarrow"),
        program + QStringLiteral("/quarrow-launcher"),
        program + QStringLiteral("/Shine.asz"),
        data + QStringLiteral("/quarrow/vek.mdb"),
        data + QStringLiteral("/quarrow/dev.mdb"),
        data + QStringLiteral("/quarrow/dz.cmd"),
        appFile("applications", ".desktop"),
        appFile("metainfo", ".metainfo.xml"),
        appFile("icons/hicolor/scalable/apps", ".svg"),
        appFile("icons/hicolor/48x48/apps", ".png"),
        appFile("icons/hicolor/256x256/apps", ".png"),
        QStringLiteral(QUARROW_MAN_DIR "/man1/quarrow.1.gz"),
        QStringLiteral(QUARROW_MAN_DIR "/man1/quarrow-catalogue.1.gz"),
        QStringLiteral(QUARROW_DOC_DIR "/LICENSE"),
        QStringLiteral(QUARROW_DOC_DIR "/copyright"),
    };
    for (const QString& file : expected) {
        QVERIFY2(manifest_.contains(file), qPrintable(file));
    }

    QStringList onDisk;
    QDirIterator it(prefix_, QDir::Files | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) onDisk.append(it.next().mid(prefix_.size() + 1));
    onDisk.sort();
    QStringList listed = manifest_;
    listed.sort();
    QCOMPARE(onDisk, listed);

    // The command on the path is a link into the program's folder, where
    // the skin lies beside it.
    const QFileInfo command(installed(QStringLiteral(QUARROW_BIN_DIR "/quarrow")));
    QVERIFY(command.isSymLink());
    QCOMPARE(command.canonicalFilePath(),
             QFileInfo(installed(program + QStringLiteral("/quarrow"))).canonicalFilePath());
}

void InstallTest::desktopEntryStartsTheLauncher() {
    const QString entry =
        QString::fromUtf8(contents(installed(appFile("applications", ".desktop"))));
    QVERIFY2(entry.contains(QStringLiteral("\nExec=%1/%2/quarrow-launcher\n")
                                .arg(prefix_, QStringLiteral(QUARROW_PROGRAM_DIR))),
             qPrintable(entry));
    QVERIFY2(entry.contains(QStringLiteral("\nIcon=" QUARROW_APP_ID "\n")), qPrintable(entry));
}

void InstallTest::desktopEntryValidates() {
    const QString validator =
        QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate"));
    if (validator.isEmpty()) QSKIP("desktop-file-validate (desktop-file-utils) is not installed");
    const Run check = run(validator, {installed(appFile("applications", ".desktop"))});
    QVERIFY2(check.exitCode == 0 && check.out.isEmpty(), qPrintable(check.out));
}

void InstallTest::metadataValidates() {
    const QString validator = QStandardPaths::findExecutable(QStringLiteral("appstreamcli"));
    if (validator.isEmpty()) QSKIP("appstreamcli (appstream) is not installed");
    const Run check = run(
        validator, {QStringLiteral("validate"), QStringLiteral("--no-net"),
                    QStringLiteral("--pedantic"), installed(appFile("metainfo", ".metainfo.xml"))});
    QVERIFY2(check.exitCode == 0, qPrintable(check.out));
    QVERIFY2(check.out.contains(QStringLiteral("Validation was successful")),
             qPrintable(check.out));
}

Run InstallTest::launch(const QStringList& environment, const QStringList& arguments) {
    // The stub stands in for the program: it shows where it was started.
    const QString program = installed(QStringLiteral(QUARROW_PROGRAM_DIR "/quarrow"));
    QFile::remove(program);
    writeFile(program, "#!/bin/sh\npwd\nprintf '%s\\n' \"$@\"\n");
    QFile::setPermissions(program, QFile::permissions(program) | QFileDevice::ExeOwner);

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("XDG_DATA_HOME"));
    env.insert(QStringLiteral("HOME"), dir_.filePath(QStringLiteral("home")));
    for (const QString& setting : environment) {
        env.insert(setting.section(u'=', 0, 0), setting.section(u'=', 1));
    }
    return run(installed(QStringLiteral(QUARROW_PROGRAM_DIR "/quarrow-launcher")), arguments, env);
}

void InstallTest::launcherStartsTheProgramInTheDataFolder_data() {
    QTest::addColumn<QStringList>("environment");
    QTest::addColumn<QString>("folder");
    const QString home = dir_.filePath(QStringLiteral("home"));
    QTest::newRow("default") << QStringList() << home + QStringLiteral("/.local/share/quarrow");
    QTest::newRow("XDG_DATA_HOME")
        << QStringList{QStringLiteral("XDG_DATA_HOME=") + dir_.filePath(QStringLiteral("xdg"))}
        << dir_.filePath(QStringLiteral("xdg/quarrow"));
    // A relative folder is not a valid setting and is ignored.
    QTest::newRow("relative XDG_DATA_HOME") << QStringList{QStringLiteral("XDG_DATA_HOME=data")}
                                            << home + QStringLiteral("/.local/share/quarrow");
}

void InstallTest::launcherStartsTheProgramInTheDataFolder() {
    QFETCH(QStringList, environment);
    QFETCH(QString, folder);

    const Run started = launch(environment, {QStringLiteral("--version")});
    QCOMPARE(started.exitCode, 0);
    QCOMPARE(started.out, folder + QStringLiteral("\n--version\n"));
    for (const char* name : {"vek.mdb", "dev.mdb", "dz.cmd"}) {
        const QString copy = folder + u'/' + QLatin1String(name);
        QVERIFY2(QFileInfo(copy).isWritable(), name);
        QVERIFY2(contents(copy) == contents(installed(QStringLiteral(QUARROW_DATA_DIR "/quarrow/") +
                                                      QLatin1String(name))),
                 name);
    }
}

void InstallTest::launcherNeverReplacesTheUsersFiles() {
    const QString folder = dir_.filePath(QStringLiteral("own/quarrow"));
    const QStringList environment{QStringLiteral("XDG_DATA_HOME=") +
                                  dir_.filePath(QStringLiteral("own"))};
    QCOMPARE(launch(environment).exitCode, 0);

    writeFile(folder + QStringLiteral("/vek.mdb"), "the user's own catalogue");
    QFile::remove(folder + QStringLiteral("/dz.cmd"));
    QCOMPARE(launch(environment).exitCode, 0);

    QCOMPARE(contents(folder + QStringLiteral("/vek.mdb")), QByteArray("the user's own catalogue"));
    QVERIFY(QFile::exists(folder + QStringLiteral("/dz.cmd")));
    QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden),
             (QStringList{QStringLiteral("dev.mdb"), QStringLiteral("dz.cmd"),
                          QStringLiteral("vek.mdb")}));
}

QUARROW_TEST_MAIN(InstallTest)
#include "tst_install.moc"
