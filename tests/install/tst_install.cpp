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

// The command line of a desktop entry's Exec value, read by the rules of the
// Desktop Entry Specification: first the escapes of every string value, then
// the quoting of arguments, then the field codes. Empty when the value breaks
// the rules.
QStringList execArguments(const QString& value) {
    QString unescaped;
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar next = i + 1 < value.size() ? value[i + 1] : QChar();
        if (value[i] != u'\\' || !QStringLiteral("sntr\\").contains(next)) {
            unescaped += value[i];
            continue;
        }
        ++i;
        unescaped += next == u's'   ? QChar(u' ')
                     : next == u'n' ? QChar(u'\n')
                     : next == u't' ? QChar(u'\t')
                     : next == u'r' ? QChar(u'\r')
                                    : QChar(u'\\');
    }
    const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    QStringList arguments;
    QString argument;
    bool inArgument = false;
    bool quoted = false;
    for (qsizetype i = 0; i < unescaped.size(); ++i) {
        const QChar c = unescaped[i];
        if (quoted) {
            const QChar next = i + 1 < unescaped.size() ? unescaped[i + 1] : QChar();
            if (c == u'\\' && QStringLiteral("\"`$\\").contains(next)) {
                argument += next;
                ++i;
            } else if (c == u'"') {
                quoted = false;
            } else {
                argument += c;
            }
        } else if (c == u' ') {
            if (inArgument) arguments.append(argument);
            argument.clear();
            inArgument = false;
        } else if (c == u'"') {
            quoted = inArgument = true;
        } else if (reserved.contains(c)) {
            return {};
        } else {
            argument += c;
            inArgument = true;
        }
    }
    if (quoted) return {};
    if (inArgument) arguments.append(argument);
    for (QString& each : arguments) {
        // This entry has no field codes, so "%" stands only doubled.
        if (QString(each).remove(QStringLiteral("%%")).contains(u'%')) return {};
        each.replace(QStringLiteral("%%"), QStringLiteral("%"));
    }
    return arguments;
}

// What the stub that stands in for the program prints and logs for one
// start: its folder, then each argument on a line (an empty line for none).
QString stubStarted(const QString& folder, const QStringList& arguments = {}) {
    return folder + u'\n' + arguments.join(u'\n') + u'\n';
}

QString execValue(const QString& entry) {
    for (const QString& line : entry.split(u'\n')) {
        if (line.startsWith(QStringLiteral("Exec="))) return line.mid(5);
    }
    return {};
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
    void desktopEntryStartsQuarrowFromAnyPrefix_data();
    void desktopEntryStartsQuarrowFromAnyPrefix();
    void launcherErrorsAreShownInABox_data();
    void launcherErrorsAreShownInABox();

private:
    QString installed(const QString& relative) const { return installedIn(prefix_, relative); }
    static QString installedIn(const QString& prefix, const QString& relative) {
        return prefix + u'/' + relative;
    }
    // Replaces the installed program under `prefix` by a stub that prints
    // its folder and arguments and adds them to stubLog().
    void replaceProgram(const QString& prefix);
    QString stubLog() const { return dir_.filePath(QStringLiteral("stub.log")); }
    QProcessEnvironment launchEnvironment(const QStringList& environment) const;
    // Runs the installed launcher with the program replaced by the stub.
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

void InstallTest::replaceProgram(const QString& prefix) {
    // The stub stands in for the program: it shows where it was started and
    // with what, also when its output goes nowhere.
    const QString program = installedIn(prefix, QStringLiteral(QUARROW_PROGRAM_DIR "/quarrow"));
    QFile::remove(program);
    writeFile(program,
              "#!/bin/sh\npwd\nprintf '%s\\n' \"$@\"\n{ pwd; printf '%s\\n' \"$@\"; } >> '" +
                  QFile::encodeName(stubLog()) + "'\n");
    QFile::setPermissions(program, QFile::permissions(program) | QFileDevice::ExeOwner);
    QFile::remove(stubLog());
}

QProcessEnvironment InstallTest::launchEnvironment(const QStringList& environment) const {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("XDG_DATA_HOME"));
    env.insert(QStringLiteral("HOME"), dir_.filePath(QStringLiteral("home")));
    for (const QString& setting : environment) {
        env.insert(setting.section(u'=', 0, 0), setting.section(u'=', 1));
    }
    return env;
}

Run InstallTest::launch(const QStringList& environment, const QStringList& arguments) {
    replaceProgram(prefix_);
    return run(installed(QStringLiteral(QUARROW_PROGRAM_DIR "/quarrow-launcher")), arguments,
               launchEnvironment(environment));
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

void InstallTest::desktopEntryStartsQuarrowFromAnyPrefix_data() {
    QTest::addColumn<QString>("folder");
    // Each needs quoting in the entry: a blank parts arguments, "$" and "'"
    // mean something to a shell. ("%" is written "%%" as the specification
    // asks, but GLib looks for the program under the name as written, so no
    // GLib desktop can start a program whose path holds one.)
    QTest::newRow("a blank") << "Program Files";
    QTest::newRow("a dollar") << "cost$HOME";
    QTest::newRow("a quote") << "it's";
}

void InstallTest::desktopEntryStartsQuarrowFromAnyPrefix() {
    QFETCH(QString, folder);
    const QString prefix = dir_.filePath(folder + QStringLiteral("/usr"));
    const Run install = run(QStringLiteral(QUARROW_CMAKE),
                            {QStringLiteral("--install"), BuildDir(), QStringLiteral("--prefix"),
                             prefix, QStringLiteral("--component"), QStringLiteral("Unspecified")});
    QVERIFY2(install.exitCode == 0, qPrintable(install.out));
    const QString entry = installedIn(prefix, appFile("applications", ".desktop"));

    const QString validator =
        QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate"));
    if (!validator.isEmpty()) {
        const Run check = run(validator, {entry});
        QVERIFY2(check.exitCode == 0 && check.out.isEmpty(), qPrintable(check.out));
    }

    const QString exec = execValue(QString::fromUtf8(contents(entry)));
    const QStringList command = execArguments(exec);
    QCOMPARE(command, QStringList{installedIn(
                          prefix, QStringLiteral(QUARROW_PROGRAM_DIR "/quarrow-launcher"))});
    replaceProgram(prefix);
    const QStringList environment{QStringLiteral("XDG_DATA_HOME=") +
                                  dir_.filePath(QStringLiteral("entry"))};
    const QString data = dir_.filePath(QStringLiteral("entry/quarrow"));
    const Run started = run(command.front(), {}, launchEnvironment(environment));
    QCOMPARE(started.exitCode, 0);
    QCOMPARE(started.out, stubStarted(data));

    // The same through GLib, as a GNOME or Xfce desktop starts the entry.
    const QString gio = QStandardPaths::findExecutable(QStringLiteral("gio"));
    if (gio.isEmpty()) QSKIP("gio (libglib2.0-bin) is not installed; the entry was read by hand");
    QFile::remove(stubLog());
    QProcess launch;
    launch.setProcessEnvironment(launchEnvironment(environment));
    // The started program outlives gio and must not write into a closed pipe.
    launch.setStandardOutputFile(QProcess::nullDevice());
    launch.setStandardErrorFile(QProcess::nullDevice());
    launch.start(gio, {QStringLiteral("launch"), entry});
    QVERIFY(launch.waitForFinished(60000));
    QCOMPARE(launch.exitCode(), 0);
    QTRY_COMPARE_WITH_TIMEOUT(QString::fromUtf8(contents(stubLog())), stubStarted(data), 30000);
}

void InstallTest::launcherErrorsAreShownInABox_data() {
    QTest::addColumn<QString>("dataHome");
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("starts");

    const QString file = dir_.filePath(QStringLiteral("taken"));
    QTest::newRow("the data folder is a file")
        << file
        << QStringLiteral(
               "Cannot start Quarrow: its data folder %1/quarrow is a file, not a "
               "folder. Move the file elsewhere; Quarrow then creates the folder at "
               "its next start.")
               .arg(file)
        << false;
    QTest::newRow("the data folder cannot be created")
        << file + QStringLiteral("/quarrow/sub")
        << QStringLiteral(
               "Cannot start Quarrow: its data folder %1/quarrow/sub/quarrow cannot "
               "be created: Not a directory.")
               .arg(file)
        << false;
    const QString home = dir_.filePath(QStringLiteral("full"));
    QTest::newRow("copying fails")
        << home
        << QStringLiteral(
               "Quarrow starts without these files, which could not be copied into "
               "its data folder %1/quarrow:\ndev.mdb: No space left on device\n"
               "dz.cmd: No space left on device\nvek.mdb: No space left on device")
               .arg(home)
        << true;
}

void InstallTest::launcherErrorsAreShownInABox() {
    QFETCH(QString, dataHome);
    QFETCH(QString, message);
    QFETCH(bool, starts);

    // A file in the way of the data folder.
    QVERIFY(QDir(dir_.path()).mkpath(QStringLiteral("taken")));
    writeFile(dir_.filePath(QStringLiteral("taken/quarrow")), "not a folder");
    // A stand-in for cp that finds the disk full.
    const QString bin = dir_.filePath(QStringLiteral("full-disk-bin"));
    QVERIFY(QDir(bin).mkpath(QStringLiteral(".")));
    writeFile(bin + QStringLiteral("/cp"),
              "#!/bin/sh\nfor last; do :; done\n"
              "echo \"cp: error writing '$last': No space left on device\" >&2\nexit 1\n");
    QFile::setPermissions(bin + QStringLiteral("/cp"), QFile::ReadOwner | QFile::ExeOwner);

    const Run started = launch({QStringLiteral("XDG_DATA_HOME=") + dataHome,
                                QStringLiteral("PATH=") + bin + u':' + qEnvironmentVariable("PATH"),
                                QStringLiteral("LC_ALL=C")});
    QCOMPARE(started.exitCode, starts ? 0 : 1);
    // Standard error has it, the box shows it, and the program starts only
    // when it can.
    const QString data = dataHome + QStringLiteral("/quarrow");
    QString shown = stubStarted(QDir::currentPath(), {QStringLiteral("--show-error"), message});
    if (starts) shown += stubStarted(data);
    QCOMPARE(QString::fromUtf8(contents(stubLog())), shown);
    QVERIFY2(started.out.startsWith(QStringLiteral("quarrow-launcher: ") + message + u'\n'),
             qPrintable(started.out));
}

QUARROW_TEST_MAIN(InstallTest)
#include "tst_install.moc"
