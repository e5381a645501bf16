#include "CatalogueWriter.h"
#include "JetFixtures.h"
#include "TestSupport.h"
#include "ToolProcess.h"
#include "TsvReader.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace quarrow;
using namespace quarrow::test;

namespace {

// Every object of a catalogue's schema with the statement that made it.
QStringList schemaOf(const QString& path) {
    const CatalogueTable schema = ReadCatalogueTable(path, QStringLiteral("sqlite_schema"));
    const qsizetype name = schema.columns.indexOf(QStringLiteral("name"));
    const qsizetype sql = schema.columns.indexOf(QStringLiteral("sql"));
    QStringList statements;
    for (const QStringList& row : schema.rows) statements.append(row[name] + u'|' + row[sql]);
    statements.sort();
    return statements;
}

// The table with every absent value as the empty text that tab-separated
// text writes for it.
CatalogueTable withoutAbsentValues(CatalogueTable table) {
    for (QStringList& row : table.rows) {
        for (QString& value : row) {
            if (value.isNull()) value = QStringLiteral("");
        }
    }
    return table;
}

}  // namespace

class JetToolTest : public QObject {
    Q_OBJECT

private slots:
    void init();

    void conversionKeepsEveryValue_data();
    void conversionKeepsEveryValue();
    void conversionWritesWhatTheBuildersWrite();
    void fileWithoutPasswordConvertsWithoutOne();
    void refusedFilesLeaveNothingBehind_data();
    void refusedFilesLeaveNothingBehind();
    void progressLinesForTheProgram();
    void exportReadsAJetCatalogueAndLeavesItAlone();
    void exportOfAJetCatalogueChecksItsPassword();
    void usageErrors_data();
    void usageErrors();

private:
    std::unique_ptr<QTemporaryDir> dir_;
};

void JetToolTest::init() { dir_ = std::make_unique<QTemporaryDir>(); }

void JetToolTest::conversionKeepsEveryValue_data() {
    QTest::addColumn<QString>("fixture");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("table");
    QTest::newRow("drivers") << "vek-jet4"
                             << "--drivers"
                             << "table_1";
    QTest::newRow("devices") << "dev-jet4"
                             << "--devices"
                             << "device";
    QTest::newRow("drivers, table found") << "vek-jet4" << QString() << "table_1";
    QTest::newRow("devices, table found") << "dev-jet4" << QString() << "device";
}

void JetToolTest::conversionKeepsEveryValue() {
    QFETCH(QString, fixture);
    QFETCH(QString, kind);
    QFETCH(QString, table);
    CopyJetFixture(fixture + QStringLiteral(".mdb"), dir_->path(), QStringLiteral("in.mdb"));
    QStringList arguments{QStringLiteral("convert"), QStringLiteral("--password"),
                          QStringLiteral("kavrel"), QStringLiteral("in.mdb"),
                          QStringLiteral("out.mdb")};
    if (!kind.isEmpty()) arguments.insert(1, kind);
    const ToolRun run = RunCatalogueTool(arguments, dir_->path());
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    const CatalogueTable expected = JetFixtureTable(fixture + QStringLiteral(".tsv"));
    QCOMPARE(run.err, QStringLiteral("quarrow-catalogue: converted %1 rows of %2 from in.mdb to "
                                     "out.mdb\n")
                          .arg(expected.rows.size())
                          .arg(table));

    const QString out = dir_->filePath(QStringLiteral("out.mdb"));
    const QString difference = TableDifference(expected, ReadCatalogueTable(out, table));
    QVERIFY2(difference.isEmpty(), qPrintable(difference));
    QVERIFY(CatalogueTakesPassword(out, QStringLiteral("kavrel")));
    QVERIFY(!CatalogueTakesPassword(out, QStringLiteral("secret")));
    // The Jet file is only read; nothing else is left beside it.
    QCOMPARE(FolderContents(dir_->path()).keys(),
             (QStringList{QStringLiteral("in.mdb"), QStringLiteral("out.mdb")}));
    QVERIFY(FolderContents(dir_->path()).value(QStringLiteral("in.mdb")) ==
            JetFixtureBytes(fixture + QStringLiteral(".mdb")));
}

void JetToolTest::conversionWritesWhatTheBuildersWrite() {
    CopyJetFixture(QStringLiteral("vek-jet4.mdb"), dir_->path(), QStringLiteral("vek-jet4.mdb"));
    const ToolRun run =
        RunCatalogueTool({QStringLiteral("convert"), QStringLiteral("--password=kavrel"),
                          QStringLiteral("vek-jet4.mdb"), QStringLiteral("converted.mdb")},
                         dir_->path());
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    // `drivers` fed the same rows, through the export of the Jet file.
    const ToolRun exported =
        RunCatalogueTool({QStringLiteral("export"), QStringLiteral("--password=kavrel"),
                          QStringLiteral("vek-jet4.mdb")},
                         dir_->path());
    QVERIFY2(exported.exitCode == 0, qPrintable(exported.err));
    const ToolRun built =
        RunCatalogueTool({QStringLiteral("drivers"), QStringLiteral("--password=kavrel"),
                          QStringLiteral("built.mdb")},
                         dir_->path(), exported.out);
    QVERIFY2(built.exitCode == 0, qPrintable(built.err));
    const QString converted = dir_->filePath(QStringLiteral("converted.mdb"));
    const QString fromText = dir_->filePath(QStringLiteral("built.mdb"));
    QCOMPARE(schemaOf(converted), schemaOf(fromText));
    // The export writes absent values as empty text, which the builder
    // stores as such.
    const QString difference = TableDifference(
        ReadCatalogueTable(fromText, QStringLiteral("table_1")),
        withoutAbsentValues(ReadCatalogueTable(converted, QStringLiteral("table_1"))));
    QVERIFY2(difference.isEmpty(), qPrintable(difference));

    // The device catalogue: what the device builder writes for its rows.
    CopyJetFixture(QStringLiteral("dev-jet4.mdb"), dir_->path(), QStringLiteral("dev-jet4.mdb"));
    const ToolRun devices =
        RunCatalogueTool({QStringLiteral("convert"), QStringLiteral("--password=kavrel"),
                          QStringLiteral("dev-jet4.mdb"), QStringLiteral("devices.mdb")},
                         dir_->path());
    QVERIFY2(devices.exitCode == 0, qPrintable(devices.err));
    const QString deviceFile = dir_->filePath(QStringLiteral("devices.mdb"));
    const QString written = dir_->filePath(QStringLiteral("written.mdb"));
    WriteDeviceCatalogue(written, QStringLiteral("kavrel"),
                         JetFixtureTable(QStringLiteral("dev-jet4.tsv")));
    QCOMPARE(schemaOf(deviceFile), schemaOf(written));
}

void JetToolTest::fileWithoutPasswordConvertsWithoutOne() {
    CopyJetFixture(QStringLiteral("vek-jet4-nopassword.mdb"), dir_->path(),
                   QStringLiteral("in.mdb"));
    const ToolRun run =
        RunCatalogueTool({QStringLiteral("convert"), QStringLiteral("--password=kavrel"),
                          QStringLiteral("in.mdb"), QStringLiteral("out.mdb")},
                         dir_->path());
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    const QString out = dir_->filePath(QStringLiteral("out.mdb"));
    QCOMPARE(ReadCatalogueTable(out, QStringLiteral("table_1")).rows.size(), 1);
    // As the Jet file did, the catalogue opens with any password.
    QVERIFY(CatalogueTakesPassword(out, QStringLiteral("kavrel")));
    QVERIFY(CatalogueTakesPassword(out, QStringLiteral("anything")));
}

void JetToolTest::refusedFilesLeaveNothingBehind_data() {
    QTest::addColumn<QString>("fixture");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("message");
    QTest::newRow("another password") << "vek-jet4-otherpassword.mdb"
                                      << "--drivers"
                                      << "in.mdb: Not a valid password.";
    QTest::newRow("no table_1") << "vek-jet4-notable.mdb"
                                << "--drivers"
                                << "in.mdb: it holds no table 'table_1'";
    QTest::newRow("no device table") << "vek-jet4.mdb"
                                     << "--devices"
                                     << "in.mdb: it holds no table 'device'";
    QTest::newRow("neither table") << "vek-jet4-notable.mdb" << QString()
                                   << "in.mdb: it holds neither a driver table (table_1) nor a "
                                      "device table (device)";
    for (const QString& file : QDir(JetFixture(QStringLiteral("access-written")))
                                   .entryList({QStringLiteral("*.mdb")}, QDir::Files)) {
        QTest::newRow(qPrintable(file)) << QStringLiteral("access-written/") + file << "--drivers"
                                        << "in.mdb: it holds no table 'table_1'";
    }
}

void JetToolTest::refusedFilesLeaveNothingBehind() {
    QFETCH(QString, fixture);
    QFETCH(QString, kind);
    QFETCH(QString, message);
    CopyJetFixture(fixture, dir_->path(), QStringLiteral("in.mdb"));
    QStringList arguments{QStringLiteral("convert"), QStringLiteral("--password=kavrel"),
                          QStringLiteral("in.mdb"), QStringLiteral("out.mdb")};
    if (!kind.isEmpty()) arguments.insert(1, kind);
    const ToolRun run = RunCatalogueTool(arguments, dir_->path());
    QCOMPARE(run.exitCode, 2);
    QCOMPARE(run.err, QStringLiteral("quarrow-catalogue: ") + message + u'\n');
    QCOMPARE(FolderContents(dir_->path()).keys(), QStringList{QStringLiteral("in.mdb")});
}

void JetToolTest::progressLinesForTheProgram() {
    CopyJetFixture(QStringLiteral("vek-jet4.mdb"), dir_->path(), QStringLiteral("in.mdb"));
    const ToolRun run = RunCatalogueTool(
        {QStringLiteral("convert"), QStringLiteral("--password=kavrel"),
         QStringLiteral("--progress-lines"), QStringLiteral("in.mdb"), QStringLiteral("out.mdb")},
        dir_->path());
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    const QStringList lines =
        QString::fromLatin1(run.out).remove(u'\r').split(u'\n', Qt::SkipEmptyParts);
    QVERIFY(!lines.isEmpty());
    qint64 last = 0;
    for (const QString& line : lines) {
        const QStringList words = line.split(u' ');
        QCOMPARE(words.size(), 3);
        QCOMPARE(words[0], QStringLiteral("rows"));
        QVERIFY(words[1].toLongLong() >= last);
        QCOMPARE(words[2], QStringLiteral("2011"));
        last = words[1].toLongLong();
    }
    QCOMPARE(lines.last(), QStringLiteral("rows 2011 2011"));
}

void JetToolTest::exportReadsAJetCatalogueAndLeavesItAlone() {
    CopyJetFixture(QStringLiteral("vek-jet4.mdb"), dir_->path(), QStringLiteral("vek.mdb"));
    const ToolRun run = RunCatalogueTool(
        {QStringLiteral("export"), QStringLiteral("vek.mdb"), QStringLiteral("--password=kavrel")},
        dir_->path());
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    const QString difference = TableDifference(
        withoutAbsentValues(JetFixtureTable(QStringLiteral("vek-jet4.tsv"))), ParseTsv(run.out));
    QVERIFY2(difference.isEmpty(), qPrintable(difference));
    QCOMPARE(FolderContents(dir_->path()).keys(), QStringList{QStringLiteral("vek.mdb")});
    QVERIFY(FolderContents(dir_->path()).value(QStringLiteral("vek.mdb")) ==
            JetFixtureBytes(QStringLiteral("vek-jet4.mdb")));
}

void JetToolTest::exportOfAJetCatalogueChecksItsPassword() {
    CopyJetFixture(QStringLiteral("vek-jet4-otherpassword.mdb"), dir_->path(),
                   QStringLiteral("vek.mdb"));
    const ToolRun run = RunCatalogueTool(
        {QStringLiteral("export"), QStringLiteral("vek.mdb"), QStringLiteral("--password=kavrel")},
        dir_->path());
    QCOMPARE(run.exitCode, 2);
    QCOMPARE(run.err, QStringLiteral("quarrow-catalogue: vek.mdb: Not a valid password.\n"));
    QCOMPARE(run.out, QByteArray());
}

void JetToolTest::usageErrors_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("message");
    QTest::newRow("no password") << QStringList{QStringLiteral("in.mdb"), QStringLiteral("out.mdb")}
                                 << "--password is missing";
    QTest::newRow("one file") << QStringList{QStringLiteral("--password=kavrel"),
                                             QStringLiteral("in.mdb")}
                              << "convert takes the Jet file and the file to write";
    QTest::newRow("both kinds") << QStringList{QStringLiteral("--password=kavrel"),
                                               QStringLiteral("--drivers"),
                                               QStringLiteral("--devices"),
                                               QStringLiteral("in.mdb"), QStringLiteral("out.mdb")}
                                << "--drivers and --devices exclude each other";
}

void JetToolTest::usageErrors() {
    QFETCH(QStringList, arguments);
    QFETCH(QString, message);
    const ToolRun run =
        RunCatalogueTool(QStringList{QStringLiteral("convert")} + arguments, dir_->path());
    QCOMPARE(run.exitCode, 2);
    QVERIFY2(run.err.startsWith(QStringLiteral("quarrow-catalogue: ") + message + u'\n'),
             qPrintable(run.err));
    QVERIFY(run.err.contains(QStringLiteral("quarrow-catalogue convert --password P")));
}

QUARROW_TEST_MAIN(JetToolTest)
#include "tst_jet_tool.moc"
