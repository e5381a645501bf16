// A catalogue whose search index does not cover its table (emptied, a row
// left out, a row the table does not hold), which the engine and the index's
// schema both accept: searches read the table instead and find every row,
// the messages line says that the index is incomplete and how to rebuild
// it, and quarrow-catalogue reindex rebuilds it, after which searches use it
// again.
#include "CatalogueFiles.h"
#include "CatalogueWriter.h"
#include "DamagedCatalogues.h"
#include "TestSupport.h"
#include "ToolProcess.h"
#include "db/Connection.h"
#include "db/Query.h"
#include "devices/TForm4.h"
#include "mainwindow/TForm1.h"
#include "program/Startup.h"

#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

using namespace quarrow;
using namespace quarrow::test;

namespace {

QStringList drivers() {
    QStringList names;
    for (int r = 1; r <= 30; ++r) names.append(QStringLiteral("NVIDIA GeForce %1").arg(r));
    for (int r = 1; r <= 20; ++r) names.append(QStringLiteral("Radeon %1").arg(r));
    for (int r = 1; r <= 10; ++r) names.append(QStringLiteral("Realtek %1").arg(r));
    return names;
}

QString notice(const QString& path, const QString& index, qint64 listed, qint64 rows) {
    return QStringLiteral(
               "The search index of the catalogue '%1' is incomplete (%2 lists %3 rows, the table "
               "holds %4), so searches read every row instead. To rebuild it: quarrow-catalogue "
               "reindex --password kavrel \"%1\"")
        .arg(path, index)
        .arg(listed)
        .arg(rows);
}

bool searchUsedTheIndex() { return Form1->ADOQuery1->sqlText().contains(QStringLiteral("MATCH")); }

}  // namespace

class IncompleteIndexTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void searchesReadTheTableUntilReindexed_data();
    void searchesReadTheTableUntilReindexed();
    void deviceCatalogueWithAnEmptiedIndex();
    void reindexNeedsAnIndex();

private:
    QString file() const { return folder_->filePath(QStringLiteral("vek.mdb")); }

    std::unique_ptr<TemporaryCurrentFolder> folder_;
    std::unique_ptr<RecordingLauncher> launcher_;
};

void IncompleteIndexTest::init() {
    folder_ = std::make_unique<TemporaryCurrentFolder>();
    launcher_ = std::make_unique<RecordingLauncher>();
}

void IncompleteIndexTest::cleanup() {
    DestroyWindowSet();
    launcher_.reset();
    folder_.reset();
}

void IncompleteIndexTest::searchesReadTheTableUntilReindexed_data() {
    QTest::addColumn<QString>("damage");
    QTest::addColumn<int>("listed");
    QTest::newRow("emptied")
        << QStringLiteral("INSERT INTO table_1_trigram(table_1_trigram) VALUES ('delete-all')")
        << 0;
    QTest::newRow("a row left out")
        << QStringLiteral(
               "INSERT INTO table_1_trigram(table_1_trigram, rowid, \"Наименование\") "
               "SELECT 'delete', rowid, \"Наименование\" FROM table_1 WHERE rowid = 5")
        << 59;
    QTest::newRow("a row the table does not hold")
        << QStringLiteral(
               "INSERT INTO table_1_trigram(rowid, \"Наименование\") VALUES (1000, 'NVIDIA ghost')")
        << 61;
}

void IncompleteIndexTest::searchesReadTheTableUntilReindexed() {
    QFETCH(QString, damage);
    QFETCH(int, listed);
    WriteDrivers(file(), drivers());
    QCOMPARE(RunSql(file(), damage), QString());

    AnswerEveryDialogWithOk dialogs;
    CreateWindowSet();
    QCOMPARE(dialogs.take(), QStringList());
    // The first search finds the index incomplete and says so where the
    // search's hint was.
    SearchMainWindow(QStringLiteral("NVIDIA"));
    QCOMPARE(dialogs.take(), QStringList());
    const QString path = Form1->ADOConnection1->filePath();
    QCOMPARE(Form1->sEdit1->text(), notice(path, QStringLiteral("table_1_trigram"), listed, 60));
    QCOMPARE(Form1->sLabel3->text(), QStringLiteral("30"));
    QCOMPARE(MainWindowNames().size(), 30);
    QVERIFY(!searchUsedTheIndex());
    DestroyWindowSet();

    const ToolRun run = RunCatalogueTool({QStringLiteral("reindex"), QStringLiteral("--password"),
                                          QStringLiteral("kavrel"), QStringLiteral("vek.mdb")},
                                         folder_->path());
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.err, QStringLiteral(
                          "quarrow-catalogue: rebuilt the search index of vek.mdb over 60 rows\n"));
    QCOMPARE(StateOf(file(), QStringLiteral("table_1"), QStringLiteral("Наименование")).integrity,
             QStringLiteral("ok"));

    CreateWindowSet();
    SearchMainWindow(QStringLiteral("NVIDIA"));
    QVERIFY2(!Form1->sEdit1->text().contains(QStringLiteral("incomplete")),
             qPrintable(Form1->sEdit1->text()));
    QCOMPARE(dialogs.take(), QStringList());
    QCOMPARE(Form1->sLabel3->text(), QStringLiteral("30"));
    QVERIFY(searchUsedTheIndex());
}

void IncompleteIndexTest::deviceCatalogueWithAnEmptiedIndex() {
    const QString path = folder_->filePath(QStringLiteral("dev.mdb"));
    WriteDevices(path, {QStringLiteral("PCI\\VEN_10DE&DEV_0393 GeForce 7300 GT"),
                        QStringLiteral("PCI\\VEN_10DE&DEV_0191 GeForce 8800 GTX"),
                        QStringLiteral("PCI\\VEN_10EC&DEV_8168 RTL8111")});
    QCOMPARE(RunSql(path, QStringLiteral("INSERT INTO device_trigram(device_trigram) "
                                         "VALUES ('delete-all')")),
             QString());
    AnswerEveryDialogWithOk dialogs;
    Form4 = new TForm4;
    Form4->show();
    QVERIFY(QTest::qWaitForWindowExposed(Form4));
    Form4->Edit1->setText(QStringLiteral("GeForce"));
    QTest::mouseClick(Form4->Button2, Qt::LeftButton);
    const QStringList seen = dialogs.take();
    QCOMPARE(seen.size(), 1);
    QVERIFY2(seen.front().endsWith(
                 notice(Form4->ADOConnection1->filePath(), QStringLiteral("device_trigram"), 0, 3)),
             qPrintable(seen.front()));
    QCOMPARE(Form4->sLabel3->text(), QStringLiteral("2"));
}

void IncompleteIndexTest::reindexNeedsAnIndex() {
    WriteDrivers(file(), drivers());
    const QString plain = folder_->filePath(QStringLiteral("plain.mdb"));
    WriteDriverCatalogue(plain, QStringLiteral("kavrel"), {DriverCatalogueColumns(), {}},
                         DriverTableLayout::Plain);
    const QByteArray before = ReadWhole(plain);
    ToolRun run = RunCatalogueTool({QStringLiteral("reindex"), QStringLiteral("--password"),
                                    QStringLiteral("kavrel"), QStringLiteral("plain.mdb")},
                                   folder_->path());
    QCOMPARE(run.exitCode, 2);
    QVERIFY2(run.err.contains(QStringLiteral("plain.mdb: it has no search index")),
             qPrintable(run.err));
    QCOMPARE(ReadWhole(plain), before);

    run = RunCatalogueTool({QStringLiteral("reindex"), QStringLiteral("--password"),
                            QStringLiteral("wrong"), QStringLiteral("vek.mdb")},
                           folder_->path());
    QCOMPARE(run.exitCode, 2);
    QVERIFY2(run.err.contains(QStringLiteral("vek.mdb: Not a valid password.")),
             qPrintable(run.err));
}

QUARROW_TEST_MAIN(IncompleteIndexTest)
#include "tst_incomplete_index.moc"
