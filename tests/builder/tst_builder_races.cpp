// Builds of one catalogue that meet: two at once into the same output, and
// builds ended by a signal at any moment. Afterwards the output is always
// one complete catalogue, never missing, and a build ended by SIGINT or
// SIGTERM leaves no temporary file behind.
#include "TestSupport.h"
#include "ToolProcess.h"

#include <signal.h>
#include <sqlite3.h>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

using namespace quarrow::test;

namespace {

constexpr int kRows = 20000;

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

QProcess* startBuild(const QString& folder, QObject* parent) {
    auto* build = new QProcess(parent);
    build->setWorkingDirectory(folder);
    build->start(toolPath(), {QStringLiteral("sample"), QStringLiteral("--rows"),
                              QString::number(kRows), QStringLiteral("--password"),
                              QStringLiteral("kavrel"), QStringLiteral("vek.mdb")});
    return build;
}

}  // namespace

class BuilderRacesTest : public QObject {
    Q_OBJECT

private slots:
    void buildsIntoOneOutputEndAsOneCatalogue_data();
    void buildsIntoOneOutputEndAsOneCatalogue();
};

void BuilderRacesTest::buildsIntoOneOutputEndAsOneCatalogue_data() {
    QTest::addColumn<int>("signal");
    QTest::newRow("SIGTERM") << int(SIGTERM);
    QTest::newRow("SIGINT") << int(SIGINT);
    QTest::newRow("SIGKILL") << int(SIGKILL);
}

void BuilderRacesTest::buildsIntoOneOutputEndAsOneCatalogue() {
    QFETCH(int, signal);
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    const QString output = folder.filePath(QStringLiteral("vek.mdb"));
    const ToolRun first = RunCatalogueTool(
        {QStringLiteral("sample"), QStringLiteral("--rows"), QString::number(kRows),
         QStringLiteral("--password"), QStringLiteral("kavrel"), QStringLiteral("vek.mdb")},
        folder.path());
    QCOMPARE(first.exitCode, 0);

    QRandomGenerator random(quint32(signal) * 7919u);
    for (int round = 0; round < 6; ++round) {
        const QString context = QStringLiteral("round %1: ").arg(round);
        QObject owner;
        QProcess* ended = startBuild(folder.path(), &owner);
        QProcess* finishing = startBuild(folder.path(), &owner);
        QVERIFY(ended->waitForStarted() && finishing->waitForStarted());
        // Anywhere from before the first row to the moment the file goes
        // in place: a build of these rows takes about a second here.
        QThread::msleep(random.bounded(1500u));
        ::kill(pid_t(ended->processId()), signal);
        QVERIFY(ended->waitForFinished(60000));
        QVERIFY2(finishing->waitForFinished(120000), qPrintable(context + QStringLiteral("hangs")));
        QCOMPARE(finishing->exitCode(), 0);

        qint64 rows = 0;
        const QString problem = checkOutput(output, &rows);
        QVERIFY2(problem.isEmpty(), qPrintable(context + problem));
        QCOMPARE(rows, qint64(kRows));
        if (signal != SIGKILL) {
            QCOMPARE(FilesStartingWith(folder.path(), QStringLiteral("vek.mdb")),
                     QStringList{QStringLiteral("vek.mdb")});
        }
    }
}

QUARROW_TEST_MAIN(BuilderRacesTest)
#include "tst_builder_races.moc"
