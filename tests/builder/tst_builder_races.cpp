// Builds of one catalogue that meet: two at once into the same output, and
// builds ended at any moment, by a signal or outright. Afterwards the output
// is always one complete catalogue, never missing; a build ended by SIGINT
// or SIGTERM leaves no temporary file behind, and the temporary file of one
// ended outright is removed by the next build.
#include "TestSupport.h"
#include "ToolProcess.h"

#include <sqlite3.h>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#if !defined(Q_OS_WIN)
#include <signal.h>
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

}  // namespace

Q_DECLARE_METATYPE(Ending)

class BuilderRacesTest : public QObject {
    Q_OBJECT

private slots:
    void buildsIntoOneOutputEndAsOneCatalogue_data();
    void buildsIntoOneOutputEndAsOneCatalogue();
    void nextBuildRemovesWhatAKilledBuildLeft();
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

QUARROW_TEST_MAIN(BuilderRacesTest)
#include "tst_builder_races.moc"
