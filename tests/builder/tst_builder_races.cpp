// Builds of one catalogue that meet: two at once into the same output, and
// builds ended at any moment, by a signal or outright. Afterwards the output
// is always one complete catalogue, never missing; a build ended by SIGINT
// or SIGTERM leaves no temporary file behind, and the temporary file of one
// ended outright is removed by the next build. Builds take turns through a
// lock file of their own: a lock on the folder holds none up, and a build
// that finds the lock held says who holds it and gives up after --wait.
#include "TestSupport.h"
#include "ToolProcess.h"

#include <sqlite3.h>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#if defined(Q_OS_WIN)
#include <windows.h>
#else
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <unistd.h>
#endif

using namespace quarrow::test;

namespace {

constexpr int kRows = 20000;

// How a build is ended from outside.
enum class Ending { Terminated, Interrupted, Killed };

// Why this system has no such ending for another process; empty where it has.
QString unavailable(Ending ending) {
#if defined(Q_OS_WIN)
    if (ending != Ending::Killed) {
        return QStringLiteral(
            "Windows has no SIGTERM or SIGINT that one program sends another: a console "
            "program is ended by Ctrl+C in its own console or outright; the outright ending "
            "is the 'killed' row.");
    }
#else
    Q_UNUSED(ending);
#endif
    return {};
}

// Ends the process as asked (an ending the system has).
bool end(QProcess& process, Ending ending) {
    if (ending == Ending::Killed) {
        process.kill();
        return true;
    }
#if defined(Q_OS_WIN)
    return false;
#else
    return ::kill(pid_t(process.processId()), ending == Ending::Terminated ? SIGTERM : SIGINT) == 0;
#endif
}

QString toolPath() { return BuildDir() + QStringLiteral("/quarrow-catalogue"); }

// The output's rows when the engine finds the file sound, else what is wrong.
QString checkOutput(const QString& path, qint64* rows) {
    if (!QFileInfo::exists(path)) return QStringLiteral("the output is missing");
    sqlite3* db = nullptr;
    QString problem;
    if (sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr) !=
        SQLITE_OK) {
        problem = QString::fromUtf8(sqlite3_errmsg(db));
    }
    sqlite3_stmt* stmt = nullptr;
    if (problem.isEmpty() &&
        sqlite3_prepare_v2(
            db,
            "SELECT (SELECT group_concat(integrity_check) FROM pragma_integrity_check), "
            "(SELECT count(*) FROM table_1)",
            -1, &stmt, nullptr) == SQLITE_OK &&
        sqlite3_step(stmt) == SQLITE_ROW) {
        const QString integrity =
            QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)));
        if (integrity != u"ok") problem = integrity;
        *rows = sqlite3_column_int64(stmt, 1);
    } else if (problem.isEmpty()) {
        problem = QString::fromUtf8(sqlite3_errmsg(db));
    }
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return problem;
}

QProcess* startBuild(const QString& folder, QObject* parent, int rows = kRows) {
    auto* build = new QProcess(parent);
    build->setWorkingDirectory(folder);
    build->start(toolPath(), {QStringLiteral("sample"), QStringLiteral("--rows"),
                              QString::number(rows), QStringLiteral("--password"),
                              QStringLiteral("kavrel"), QStringLiteral("vek.mdb")});
    return build;
}

QStringList temporaryFiles(const QString& folder) {
    return FilesStartingWith(folder, QStringLiteral("vek.mdb.part-"));
}

QStringList sampleBuild(int rows, const QString& output) {
    return {QStringLiteral("sample"),     QStringLiteral("--rows"), QString::number(rows),
            QStringLiteral("--password"), QStringLiteral("kavrel"), output};
}

QByteArray contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString lockFileOf(const QString& folder) {
    return QDir(folder).filePath(QStringLiteral(".vek.mdb.quarrow-build-lock"));
}

// The lock of a build, held by this test as another process would hold it.
class HeldLock {
public:
    explicit HeldLock(const QString& path) {
#if defined(Q_OS_WIN)
        file_ =
            CreateFileW(reinterpret_cast<const wchar_t*>(QDir::toNativeSeparators(path).utf16()),
                        GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                        OPEN_ALWAYS, 0, nullptr);
        OVERLAPPED whole{};
        held_ =
            file_ != INVALID_HANDLE_VALUE &&
            LockFileEx(file_, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &whole);
#else
        fd_ = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        struct flock lock {};
        lock.l_type = F_WRLCK;
        lock.l_whence = SEEK_SET;
        held_ = fd_ >= 0 && ::fcntl(fd_, F_SETLK, &lock) == 0;
#endif
    }
    ~HeldLock() { release(); }
    HeldLock(const HeldLock&) = delete;
    HeldLock& operator=(const HeldLock&) = delete;

    bool held() const { return held_; }
    void release() {
#if defined(Q_OS_WIN)
        if (file_ != INVALID_HANDLE_VALUE) CloseHandle(file_);
        file_ = INVALID_HANDLE_VALUE;
#else
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
#endif
        held_ = false;
    }

private:
#if defined(Q_OS_WIN)
    HANDLE file_ = INVALID_HANDLE_VALUE;
#else
    int fd_ = -1;
#endif
    bool held_ = false;
};

// How the builder names this test as the lock's holder.
QString thisHolder() {
#if defined(Q_OS_WIN)
    // Windows does not tell who holds a lock on a file.
    return QStringLiteral("another build");
#else
    return QStringLiteral("process %1 (%2)")
        .arg(QCoreApplication::applicationPid())
        .arg(QFileInfo(QCoreApplication::applicationFilePath()).fileName());
#endif
}

}  // namespace

Q_DECLARE_METATYPE(Ending)

class BuilderRacesTest : public QObject {
    Q_OBJECT

private slots:
    void buildsIntoOneOutputEndAsOneCatalogue_data();
    void buildsIntoOneOutputEndAsOneCatalogue();
    void nextBuildRemovesWhatAKilledBuildLeft();
    void aLockOnTheFolderHoldsNoBuildUp();
    void aBuildSaysWhoHoldsTheLockAndGivesUp();
    void aWaitingBuildGoesOnOnceTheLockIsFree();
};

void BuilderRacesTest::buildsIntoOneOutputEndAsOneCatalogue_data() {
    QTest::addColumn<Ending>("ending");
    QTest::newRow("SIGTERM") << Ending::Terminated;
    QTest::newRow("SIGINT") << Ending::Interrupted;
    QTest::newRow("killed") << Ending::Killed;
}

void BuilderRacesTest::buildsIntoOneOutputEndAsOneCatalogue() {
    QFETCH(Ending, ending);
    // Known before any build starts, so that none is left running.
    const QString why = unavailable(ending);
    if (!why.isEmpty()) QSKIP(qPrintable(why));
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    const QString output = folder.filePath(QStringLiteral("vek.mdb"));
    const ToolRun first = RunCatalogueTool(
        {QStringLiteral("sample"), QStringLiteral("--rows"), QString::number(kRows),
         QStringLiteral("--password"), QStringLiteral("kavrel"), QStringLiteral("vek.mdb")},
        folder.path());
    QCOMPARE(first.exitCode, 0);

    QRandomGenerator random((quint32(ending) + 1) * 7919u);
    for (int round = 0; round < 6; ++round) {
        const QString context = QStringLiteral("round %1: ").arg(round);
        QObject owner;
        QProcess* ended = startBuild(folder.path(), &owner);
        QProcess* finishing = startBuild(folder.path(), &owner);
        QVERIFY(ended->waitForStarted() && finishing->waitForStarted());
        // Anywhere from before the first row to the moment the file goes
        // in place: a build of these rows takes about a second here.
        QThread::msleep(random.bounded(1500u));
        QVERIFY(end(*ended, ending));
        QVERIFY(ended->waitForFinished(60000));
        QVERIFY2(finishing->waitForFinished(120000), qPrintable(context + QStringLiteral("hangs")));
        QCOMPARE(finishing->exitCode(), 0);

        qint64 rows = 0;
        const QString problem = checkOutput(output, &rows);
        QVERIFY2(problem.isEmpty(), qPrintable(context + problem));
        QCOMPARE(rows, qint64(kRows));
        if (ending != Ending::Killed) {
            QCOMPARE(FilesStartingWith(folder.path(), QStringLiteral("vek.mdb")),
                     QStringList{QStringLiteral("vek.mdb")});
            // Nor its lock file, which on Windows stays.
#if !defined(Q_OS_WIN)
            QVERIFY(!QFileInfo::exists(lockFileOf(folder.path())));
#endif
        }
    }
}

void BuilderRacesTest::nextBuildRemovesWhatAKilledBuildLeft() {
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    QObject owner;
    // Long enough to be caught in the middle.
    QProcess* killed = startBuild(folder.path(), &owner, kRows * 10);
    QVERIFY(killed->waitForStarted());
    QTRY_COMPARE_WITH_TIMEOUT(temporaryFiles(folder.path()).size(), 1, 60000);
    killed->kill();
    QVERIFY(killed->waitForFinished(60000));
    QCOMPARE(temporaryFiles(folder.path()).size(), 1);
    // A build of another output in the folder leaves it alone.
    const QStringList otherBuild{QStringLiteral("sample"), QStringLiteral("--rows"),
                                 QStringLiteral("10"),     QStringLiteral("--password"),
                                 QStringLiteral("kavrel"), QStringLiteral("other.mdb")};
    QCOMPARE(RunCatalogueTool(otherBuild, folder.path()).exitCode, 0);
    QCOMPARE(temporaryFiles(folder.path()).size(), 1);

    const QStringList build{QStringLiteral("sample"), QStringLiteral("--rows"),
                            QStringLiteral("10"),     QStringLiteral("--password"),
                            QStringLiteral("kavrel"), QStringLiteral("vek.mdb")};
    QCOMPARE(RunCatalogueTool(build, folder.path()).exitCode, 0);
    QCOMPARE(FilesStartingWith(folder.path(), QStringLiteral("vek.mdb")),
             QStringList{QStringLiteral("vek.mdb")});
}

// Anyone who may read a folder may lock it; builds do not lock folders.
void BuilderRacesTest::aLockOnTheFolderHoldsNoBuildUp() {
#if defined(Q_OS_WIN)
    QSKIP("Windows has no lock on a folder that a reader of it could take.");
#else
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    const int fd = ::open(QFile::encodeName(folder.path()).constData(), O_RDONLY | O_CLOEXEC);
    QVERIFY(fd >= 0);
    QCOMPARE(::flock(fd, LOCK_SH | LOCK_NB), 0);

    const ToolRun build =
        RunCatalogueTool(sampleBuild(10, QStringLiteral("vek.mdb")), folder.path());
    ::close(fd);
    QVERIFY2(build.exitCode == 0, qPrintable(build.err));
    QVERIFY2(!build.err.contains(QStringLiteral("waiting")), qPrintable(build.err));
    QCOMPARE(QDir(folder.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList{QStringLiteral("vek.mdb")});
#endif
}

void BuilderRacesTest::aBuildSaysWhoHoldsTheLockAndGivesUp() {
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    QCOMPARE(RunCatalogueTool(sampleBuild(10, QStringLiteral("vek.mdb")), folder.path()).exitCode,
             0);
    const QByteArray before = contents(folder.filePath(QStringLiteral("vek.mdb")));
    HeldLock lock(lockFileOf(folder.path()));
    QVERIFY(lock.held());

    const ToolRun build = RunCatalogueTool(
        sampleBuild(20, QStringLiteral("vek.mdb")) + QStringList{QStringLiteral("--wait=1")},
        folder.path());
    QCOMPARE(build.exitCode, 1);
    const QString lockName = QStringLiteral(".vek.mdb.quarrow-build-lock");
    QCOMPARE(build.err,
             QStringLiteral("quarrow-catalogue: waiting for another build of 'vek.mdb' to finish: "
                            "its lock '%1' is held by %2; giving up after 1 s\n"
                            "quarrow-catalogue: vek.mdb: gave up after waiting 1 s for another "
                            "build of it: its lock '%1' is held by %2. Build again once that "
                            "build has ended, or wait longer with --wait SECONDS.\n")
                 .arg(lockName, thisHolder()));
    QCOMPARE(contents(folder.filePath(QStringLiteral("vek.mdb"))), before);
    QCOMPARE(temporaryFiles(folder.path()), QStringList());
}

void BuilderRacesTest::aWaitingBuildGoesOnOnceTheLockIsFree() {
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    HeldLock lock(lockFileOf(folder.path()));
    QVERIFY(lock.held());
    QProcess build;
    build.setWorkingDirectory(folder.path());
    build.start(toolPath(), sampleBuild(30, QStringLiteral("vek.mdb")));
    QVERIFY(build.waitForStarted());
    QByteArray said;
    QTRY_VERIFY_WITH_TIMEOUT(
        (said += build.readAllStandardError()).contains("waiting for another build of 'vek.mdb'"),
        60000);
    QCOMPARE(build.state(), QProcess::Running);

    lock.release();
    QVERIFY(build.waitForFinished(60000));
    QCOMPARE(build.exitCode(), 0);
    qint64 rows = 0;
    const QString problem = checkOutput(folder.filePath(QStringLiteral("vek.mdb")), &rows);
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
    QCOMPARE(rows, qint64(30));
#if !defined(Q_OS_WIN)
    // The build removes its lock file as it ends; on Windows it stays.
    QVERIFY(!QFileInfo::exists(lockFileOf(folder.path())));
#endif
}

QUARROW_TEST_MAIN(BuilderRacesTest)
#include "tst_builder_races.moc"
