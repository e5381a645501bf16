// Writes killed at random moments: a writer process changes a catalogue
// through the program's own Query, the way the grids do, and is killed with
// SIGKILL mid-flight, again and again. After every kill the catalogue must be
// sound (the engine's integrity check and the trigram index's own), hold
// every write the writer confirmed, and hold the one under way at the kill
// either wholly or not at all.
#include "CatalogueWriter.h"
#include "TestSupport.h"
#include "WriteLog.h"
#include "core/Exception.h"
#include "db/Connection.h"
#include "db/Sqlite.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QThread>
#include <QtTest>
#include <algorithm>

using namespace quarrow;
using namespace quarrow::test;

namespace {

// Kills in the whole run, shared by the two catalogues. A sanitized build
// sets fewer through QUARROW_RELIABILITY_KILLS; the normal run does them all.
int totalKills() {
    const int fromEnvironment = qEnvironmentVariableIntValue("QUARROW_RELIABILITY_KILLS");
    return fromEnvironment > 0 ? fromEnvironment : 1200;
}

// The writer is killed after it has confirmed up to this many writes, at a
// random moment within the next write or so: how long a write takes is
// measured as the runs go, since it depends on the machine and its load.
constexpr quint32 kMostConfirmedBeforeKill = 4;
constexpr int kRows = 150;

struct Tally {
    int kills = 0;
    int confirmed = 0;
    int underWayPresent = 0;
    int underWayAbsent = 0;
    int hotJournals = 0;
};

struct Catalogue {
    QString file;
    QString table;
    QString kind;  // as the writer names it
};

enum class Journal { None, Begun, Hot };

// A rollback journal is hot, that is it holds the undo of a write that had
// started changing the file, once its header carries the engine's magic
// number; until then the engine ignores it.
Journal journalOf(const QString& catalogue) {
    QFile journal(catalogue + QStringLiteral("-journal"));
    if (!journal.open(QIODevice::ReadOnly)) return Journal::None;
    static const QByteArray magic = QByteArray::fromHex("d9d505f920a163d7");
    return journal.read(magic.size()) == magic ? Journal::Hot : Journal::Begun;
}

// A catalogue of kRows rows, all of them different.
CatalogueTable writeCatalogue(const Catalogue& catalogue) {
    const bool devices = catalogue.kind == u"device";
    CatalogueTable table{devices ? QStringList{QStringLiteral("Код"), QStringLiteral("device")}
                                 : DriverCatalogueColumns(),
                         {}};
    for (int r = 1; r <= kRows; ++r) {
        Row row;
        for (const QString& column : table.columns) {
            row.append(column == u"Код"
                           ? QString::number(r)
                           : QStringLiteral("%1 %2 GeForce Видеокарта").arg(column).arg(r));
        }
        table.rows.append(row);
    }
    if (devices) {
        WriteDeviceCatalogue(catalogue.file, QStringLiteral("kavrel"), table);
    } else {
        WriteDriverCatalogue(catalogue.file, QStringLiteral("kavrel"), table);
    }
    return table;
}

QString openingString(const QString& path) {
    return QStringLiteral(
               "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=\"%1\";Mode=Share Deny None;"
               "Jet OLEDB:Database Password=kavrel")
        .arg(path);
}

// Opens the file as the program does, which also rolls back what a killed
// write left unfinished, checks it and reads its rows. Returns what is
// wrong, empty when nothing is.
QString inspect(const QString& path, const QString& table, QList<Row>* rows) {
    try {
        Connection connection(openingString(path));
        connection.open();
        sqlite3* db = connection.handle();
        Statement integrity(db, "PRAGMA integrity_check");
        QStringList verdict;
        while (integrity.step()) verdict.append(integrity.text(0));
        if (verdict != QStringList{QStringLiteral("ok")}) {
            return QStringLiteral("integrity check: ") + verdict.join(QStringLiteral("; "));
        }
        const QByteArray indexCheck = QStringLiteral(
                                          "INSERT INTO %1_trigram(%1_trigram, rank) "
                                          "VALUES('integrity-check', 1)")
                                          .arg(table)
                                          .toUtf8();
        Exec(db, indexCheck.constData());
        const QByteArray select = QStringLiteral("SELECT * FROM %1").arg(table).toUtf8();
        Statement read(db, select.constData());
        rows->clear();
        while (read.step()) {
            Row row;
            for (int c = 0; c < read.columnCount(); ++c) row.append(read.text(c));
            rows->append(row);
        }
    } catch (const Exception& error) {
        return error.message();
    }
    return {};
}

bool takeOne(QList<Row>& rows, const Row& row) {
    const qsizetype at = rows.indexOf(row);
    if (at < 0) return false;
    rows.removeAt(at);
    return true;
}

QList<Row> sorted(QList<Row> rows) {
    std::sort(rows.begin(), rows.end());
    return rows;
}

QList<Row> without(const QList<Row>& sortedRows, const QList<Row>& sortedOthers) {
    QList<Row> rest;
    std::set_difference(sortedRows.cbegin(), sortedRows.cend(), sortedOthers.cbegin(),
                        sortedOthers.cend(), std::back_inserter(rest));
    return rest;
}

QString describe(const QList<Row>& rows) {
    QStringList shown;
    for (const Row& row : rows.mid(0, 3)) shown.append(row.join(u'|'));
    if (rows.size() > 3) shown.append(QStringLiteral("… %1 in all").arg(rows.size()));
    return shown.isEmpty() ? QStringLiteral("none") : shown.join(QStringLiteral("; "));
}

// Brings `model` up to date with the writer's confirmed writes and compares
// it with the rows the file holds. Returns the first difference, empty when
// the file holds every confirmed write and the unconfirmed one wholly or not
// at all.
QString reconcile(QList<Row>& model, const WriteLog& log, const QList<Row>& fileRows,
                  Tally& tally) {
    const LoggedWrite* underWay = nullptr;
    for (const LoggedWrite& write : log.writes) {
        if (!write.confirmed) {
            underWay = &write;
            break;
        }
        if (write.kind != WriteKind::Insert && !takeOne(model, write.before)) {
            return QStringLiteral("write %1 changed a row the catalogue did not hold: %2")
                .arg(write.number)
                .arg(write.before.join(u'|'));
        }
        if (write.kind != WriteKind::Delete) {
            if (!Fulfils(write.stored, write.intended)) {
                return QStringLiteral("write %1 stored %2 instead of %3")
                    .arg(write.number)
                    .arg(write.stored.join(u'|'), write.intended.join(u'|'));
            }
            model.append(write.stored);
        }
        ++tally.confirmed;
    }

    const QList<Row> expected = sorted(model);
    const QList<Row> found = sorted(fileRows);
    const QList<Row> missing = without(expected, found);
    const QList<Row> extra = without(found, expected);
    if (missing.isEmpty() && extra.isEmpty() && expected.size() == found.size()) {
        if (underWay != nullptr) ++tally.underWayAbsent;
        return {};
    }
    const QString difference = QStringLiteral("missing from the file: %1; not expected in it: %2")
                                   .arg(describe(missing), describe(extra));
    if (underWay == nullptr) return difference;

    // Only the write under way at the kill may differ, and then wholly.
    const QList<Row> mayGo =
        underWay->kind == WriteKind::Insert ? QList<Row>() : QList<Row>{underWay->before};
    // The differences are exact (rows counted with repeats), so these two
    // decide it.
    const bool wholly = missing == mayGo;
    const bool added = underWay->kind == WriteKind::Delete
                           ? extra.isEmpty()
                           : extra.size() == 1 && Fulfils(extra.front(), underWay->intended);
    if (!wholly || !added) {
        return QStringLiteral("write %1, under way at the kill, is there in part: %2")
            .arg(underWay->number)
            .arg(difference);
    }
    model = fileRows;
    ++tally.underWayPresent;
    return {};
}

}  // namespace

class KilledWritesTest : public QObject {
    Q_OBJECT

private slots:
    void confirmedWritesSurviveKills_data();
    void confirmedWritesSurviveKills();

private:
    static QByteArray runUntilKilled(const QString& folder, const QString& kind,
                                     QRandomGenerator& random, qint64* writeUs, bool* killed);
};

void KilledWritesTest::confirmedWritesSurviveKills_data() {
    QTest::addColumn<QString>("kind");
    QTest::newRow("driver catalogue with its trigram index") << QStringLiteral("driver");
    QTest::newRow("device catalogue") << QStringLiteral("device");
}

QByteArray KilledWritesTest::runUntilKilled(const QString& folder, const QString& kind,
                                            QRandomGenerator& random, qint64* writeUs,
                                            bool* killed) {
    QProcess writer;
    writer.setWorkingDirectory(folder);
    writer.start(QStringLiteral(RELIABILITY_HELPER),
                 {QStringLiteral("write"), kind, QString::number(random.generate())});
    QByteArray output;
    while (!output.contains(ReadyLine()) && writer.waitForReadyRead(60000)) {
        output += writer.readAllStandardOutput();
    }
    const int confirmations = int(random.bounded(kMostConfirmedBeforeKill));
    QElapsedTimer writing;
    writing.start();
    while (output.contains(ReadyLine()) && output.count("\ndone ") < confirmations &&
           writer.waitForReadyRead(60000)) {
        output += writer.readAllStandardOutput();
    }
    if (confirmations > 0) {
        *writeUs = (*writeUs + writing.nsecsElapsed() / 1000 / confirmations) / 2;
    }
    if (output.contains(ReadyLine())) QThread::usleep(random.bounded(quint32(*writeUs * 3 / 2)));
    writer.kill();
    writer.waitForFinished(60000);
    *killed = writer.exitStatus() == QProcess::CrashExit;
    output += writer.readAllStandardOutput();
    if (!output.contains(ReadyLine())) output += writer.readAllStandardError();
    // How a writer ended that was not killed as it wrote, for the failure.
    if (!*killed || !output.contains(ReadyLine())) {
        output += QStringLiteral("\n[the writer ended %1 with exit code 0x%2: %3]\n")
                      .arg(*killed ? QStringLiteral("killed or crashed") : QStringLiteral("itself"))
                      .arg(uint(writer.exitCode()), 0, 16)
                      .arg(writer.errorString())
                      .toUtf8();
    }
    return output;
}

void KilledWritesTest::confirmedWritesSurviveKills() {
    QFETCH(QString, kind);
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    const bool devices = kind == u"device";
    const Catalogue catalogue{
        folder.filePath(devices ? QStringLiteral("dev.mdb") : QStringLiteral("vek.mdb")),
        devices ? QStringLiteral("device") : QStringLiteral("table_1"), kind};

    const CatalogueTable table = writeCatalogue(catalogue);

    QList<Row> model;
    QString problem = inspect(catalogue.file, catalogue.table, &model);
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
    QCOMPARE(sorted(model), sorted(table.rows));

    const quint32 seed = qEnvironmentVariableIsSet("QUARROW_RELIABILITY_SEED")
                             ? quint32(qEnvironmentVariableIntValue("QUARROW_RELIABILITY_SEED"))
                             : QRandomGenerator::global()->generate();
    QRandomGenerator random(seed);
    const int kills = (totalKills() + 1) / 2;
    Tally tally;
    qint64 writeUs = 3000;
    for (int run = 0; run < kills; ++run) {
        bool killed = false;
        const QByteArray output = runUntilKilled(folder.path(), kind, random, &writeUs, &killed);
        const WriteLog log = ParseWriteLog(output);
        const QString context =
            QStringLiteral("run %1 (QUARROW_RELIABILITY_SEED=%2): ").arg(run).arg(seed);
        QVERIFY2(log.ready && log.error.isEmpty() && killed,
                 qPrintable(context + log.error + QString::fromUtf8(output.right(2000))));
        ++tally.kills;
        if (journalOf(catalogue.file) == Journal::Hot) ++tally.hotJournals;

        QList<Row> fileRows;
        problem = inspect(catalogue.file, catalogue.table, &fileRows);
        QVERIFY2(problem.isEmpty(), qPrintable(context + problem));
        problem = reconcile(model, log, fileRows, tally);
        QVERIFY2(problem.isEmpty(), qPrintable(context + problem));
        // Opening rolled the unfinished write back; a journal the write had
        // only begun, before it touched the file, may stay and is ignored.
        QVERIFY2(journalOf(catalogue.file) != Journal::Hot, qPrintable(context));
    }

    qInfo(
        "%s: %d kills survived, %d confirmed writes all kept, %d writes under way at the kill "
        "(%d wholly there, %d wholly absent), %d hot journals rolled back; "
        "seed %u",
        qPrintable(catalogue.kind), tally.kills, tally.confirmed,
        tally.underWayPresent + tally.underWayAbsent, tally.underWayPresent, tally.underWayAbsent,
        tally.hotJournals, seed);
    QVERIFY(tally.confirmed > 0);
}

QUARROW_TEST_MAIN(KilledWritesTest)
#include "tst_killed_writes.moc"
