// Catalogue files made by a careless or hostile hand, opened through the
// real windows: what a catalogue never needs (views, foreign triggers, tables
// without row ids, a column hiding the row id) is refused with one message
// naming the file before any statement of the program runs; a pipe is
// refused at once; a huge value is shown cut short. No file is changed, and
// every window stays usable. Journals left beside a catalogue are the
// subject of tst_journals.
#include "CatalogueWriter.h"
#include "DamagedCatalogues.h"
#include "ModalWindow.h"
#include "TestSupport.h"
#include "about/TForm2.h"
#include "db/Connection.h"
#include "devices/TForm4.h"
#include "forms/BusyCursor.h"
#include "mainwindow/TForm1.h"
#include "program/Startup.h"

#include <sqlite3.h>
#include <sys/stat.h>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QtTest>

using namespace quarrow;
using namespace quarrow::test;

namespace {

constexpr int kRows = 50;

QString runSql(const QString& path, const QString& sql) {
    sqlite3* db = nullptr;
    QString error;
    char* message = nullptr;
    if (sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                        nullptr) != SQLITE_OK ||
        sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, &message) != SQLITE_OK) {
        error =
            message != nullptr ? QString::fromUtf8(message) : QString::fromUtf8(sqlite3_errmsg(db));
    }
    sqlite3_free(message);
    sqlite3_close(db);
    return error;
}

QStringList driverRow(const QString& name) {
    return {name,
            QStringLiteral("Видеокарта"),
            QStringLiteral("Windows XP"),
            QStringLiteral("12 МБ"),
            QStringLiteral("1.0"),
            QStringLiteral("example.com/a.zip"),
            QStringLiteral("http://example.com/a.zip"),
            QStringLiteral("2026.4")};
}

void writeDrivers(const QString& path, const QStringList& extraNames = {}) {
    CatalogueTable table{DriverCatalogueColumns(), {}};
    for (int r = 1; r <= kRows; ++r)
        table.rows.append(driverRow(QStringLiteral("GeForce %1").arg(r)));
    for (const QString& name : extraNames) table.rows.append(driverRow(name));
    WriteDriverCatalogue(path, QStringLiteral("kavrel"), table);
}

// Enough rows for the engine to look at its work and the time while it
// searches them all.
constexpr int kMoreRows = 5000;

void writeManyDrivers(const QString& path) {
    QStringList more;
    for (int r = 0; r < kMoreRows; ++r) more.append(QStringLiteral("Radeon %1").arg(r));
    writeDrivers(path, more);
}

// The columns of table_1 as a statement lists them.
const char* const kColumns =
    "\"Наименование\", \"Устройство\", \"os\", \"Размер\", \"Версия\", \"url\", \"URLdr\", \"ver\"";

// Makes the hostile file at `path`; returns an error when it cannot.
using Maker = QString (*)(const QString& path);

QString makeView(const QString& path) {
    writeDrivers(path);
    return runSql(path, QStringLiteral("ALTER TABLE table_1 RENAME TO rows_of_old; "
                                       "CREATE VIEW table_1 AS SELECT * FROM rows_of_old;"));
}

QString makeEndlessView(const QString& path) {
    writeDrivers(path);
    return runSql(path, QStringLiteral("DROP TABLE table_1; CREATE VIEW table_1 AS "
                                       "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 "
                                       "FROM n) SELECT 'GeForce ' || i AS %1, '' AS os, "
                                       "'2026' AS ver FROM n;")
                            .arg(QStringLiteral("\"Наименование\"")));
}

QString makeIndexWipingTrigger(const QString& path) {
    writeDrivers(path);
    return runSql(path, QStringLiteral("CREATE TRIGGER wipe AFTER DELETE ON table_1 BEGIN "
                                       "DELETE FROM table_1_trigram_data; END;"));
}

QString makeAddressRewritingTrigger(const QString& path) {
    writeDrivers(path);
    return runSql(path, QStringLiteral("CREATE TRIGGER redirect AFTER DELETE ON table_1 BEGIN "
                                       "UPDATE table_1 SET url = 'evil.example/x.exe', "
                                       "URLdr = 'http://evil.example/x.exe'; END;"));
}

QString makeWithoutRowid(const QString& path, bool withIndex) {
    QString sql = QStringLiteral(
                      "CREATE TABLE table_1 (\"Наименование\" TEXT PRIMARY KEY, \"Устройство\", "
                      "\"os\", \"Размер\", \"Версия\", \"url\", \"URLdr\", \"ver\") WITHOUT ROWID; "
                      "INSERT INTO table_1 (%1) VALUES ('GeForce 1', 'Видеокарта', 'Windows XP', "
                      "'12 МБ', '1.0', 'example.com/a.zip', 'http://example.com/a.zip', "
                      "'2026.4');")
                      .arg(QString::fromUtf8(kColumns));
    if (withIndex) {
        sql += QStringLiteral(
            "CREATE VIRTUAL TABLE \"table_1_trigram\" USING fts5(\"Наименование\", "
            "content='table_1', tokenize='trigram', detail='none');");
    }
    return runSql(path, sql);
}

QString makeWithoutRowidAlone(const QString& path) { return makeWithoutRowid(path, false); }
QString makeWithoutRowidIndexed(const QString& path) { return makeWithoutRowid(path, true); }

QString makeRowidColumn(const QString& path) {
    writeDrivers(path);
    return runSql(path, QStringLiteral("ALTER TABLE table_1 ADD COLUMN rowid TEXT; "
                                       "UPDATE table_1 SET rowid = '1';"));
}

QString makeGeneratedColumn(const QString& path) {
    writeDrivers(path);
    return runSql(path, QStringLiteral("ALTER TABLE table_1 ADD COLUMN shown TEXT "
                                       "GENERATED ALWAYS AS (upper(url)) VIRTUAL;"));
}

#if defined(Q_OS_WIN)
QString makePipe(const QString&) { return QStringLiteral("no pipes in folders on Windows"); }
#else
QString makePipe(const QString& path) {
    return ::mkfifo(QFile::encodeName(path).constData(), 0644) == 0
               ? QString()
               : QStringLiteral("mkfifo failed");
}
#endif

const QString kRefused = QStringLiteral("The catalogue '<file>' cannot be used: %1.");

}  // namespace

class HostileCataloguesTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void refusedBeforeAnyStatement_data();
    void refusedBeforeAnyStatement();
    void deviceCatalogueWithAForeignTrigger();
    void hugeValueIsShownCutShort();
    void runawayStatementIsStopped();
    void longSearchShowsTheBusyCursor();

private:
    QString file() const { return folder_->filePath(QStringLiteral("vek.mdb")); }
    QString expected(const QString& message) const {
        return QString(message).replace(QStringLiteral("<file>"), file());
    }

    std::unique_ptr<TemporaryCurrentFolder> folder_;
    std::unique_ptr<RecordingLauncher> launcher_;
};

void HostileCataloguesTest::init() {
    folder_ = std::make_unique<TemporaryCurrentFolder>();
    launcher_ = std::make_unique<RecordingLauncher>();
}

void HostileCataloguesTest::cleanup() {
    DestroyWindowSet();
    launcher_.reset();
    folder_.reset();
}

void HostileCataloguesTest::refusedBeforeAnyStatement_data() {
    QTest::addColumn<void*>("maker");
    QTest::addColumn<QString>("message");
    const auto row = [](const char* name, Maker maker, const QString& message) {
        QTest::newRow(name) << reinterpret_cast<void*>(maker) << message;
    };
    row("view in place of the table", makeView, kRefused.arg(u"table_1 is a view, not a table"));
    row("endless view", makeEndlessView, kRefused.arg(u"table_1 is a view, not a table"));
    row("trigger emptying the index", makeIndexWipingTrigger,
        kRefused.arg(u"it holds a trigger (wipe) that this program did not write, which would "
                     u"run with the program's own changes"));
    row("trigger rewriting addresses", makeAddressRewritingTrigger,
        kRefused.arg(u"it holds a trigger (redirect) that this program did not write, which "
                     u"would run with the program's own changes"));
    row("table without row ids", makeWithoutRowidAlone,
        kRefused.arg(u"table_1 is a table WITHOUT ROWID"));
    row("table without row ids beside a trigram index", makeWithoutRowidIndexed,
        kRefused.arg(u"table_1 is a table WITHOUT ROWID"));
    row("column named rowid", makeRowidColumn,
        kRefused.arg(u"table_1 has a column named 'rowid', which hides the row ids that rows "
                     u"are read and written by"));
    row("generated column", makeGeneratedColumn,
        kRefused.arg(u"table_1 has a generated column 'shown'"));
    row("pipe", makePipe,
        QStringLiteral("'<file>' is not a regular file and cannot be opened as a database."));
}

void HostileCataloguesTest::refusedBeforeAnyStatement() {
    QFETCH(void*, maker);
    QFETCH(QString, message);
#if defined(Q_OS_WIN)
    if (maker == reinterpret_cast<void*>(makePipe)) {
        QSKIP(
            "Windows keeps its pipes out of folders (under \\\\.\\pipe\\), so no pipe can "
            "stand where a catalogue is looked for.");
    }
#endif
    const QString made = reinterpret_cast<Maker>(maker)(file());
    QVERIFY2(made.isEmpty(), qPrintable(made));
    const QMap<QString, QString> before = Fingerprint(folder_->path());
    AnswerEveryDialogWithOk dialogs;
    QElapsedTimer clock;
    clock.start();

    CreateWindowSet();
    QCOMPARE(dialogs.take(), QStringList{ErrorBox(expected(message))});
    QVERIFY(!Form1->ADOConnection1->isOpen());
    QVERIFY(QTest::qWaitForWindowExposed(Form1));
    SearchMainWindow(QStringLiteral("GeForce"));
    QCOMPARE(dialogs.take(), QStringList{ErrorBox(expected(message))});
    QCOMPARE(Form1->DBGrid1->model()->rowCount(), 0);
    QCOMPARE(ShowAboutWindow(), QString());
    QCOMPARE(dialogs.take(), QStringList{ErrorBox(expected(message))});
    qInfo("refused in %lld ms (start-up, a search and the About window)",
          static_cast<long long>(clock.elapsed()));
    QCOMPARE(Fingerprint(folder_->path()), before);

    // A sound catalogue in its place works at once.
    QFile::remove(file());
    writeDrivers(file());
    SearchMainWindow(QStringLiteral("GeForce"));
    QCOMPARE(dialogs.take(), QStringList());
    QCOMPARE(Form1->sLabel3->text(), QString::number(kRows));
    QCOMPARE(ShowAboutWindow(), QStringLiteral("2026.4"));
}

void HostileCataloguesTest::deviceCatalogueWithAForeignTrigger() {
    const QString path = folder_->filePath(QStringLiteral("dev.mdb"));
    WriteDeviceCatalogue(path, QStringLiteral("kavrel"),
                         {{QStringLiteral("Код"), QStringLiteral("device")},
                          {{QStringLiteral("1"), QStringLiteral("PCI\\VEN_10DE&DEV_0393")}}});
    QCOMPARE(runSql(path, QStringLiteral("CREATE TRIGGER spread AFTER UPDATE ON device BEGIN "
                                         "INSERT INTO device(device) SELECT device FROM device; "
                                         "END;")),
             QString());
    const QMap<QString, QString> before = Fingerprint(folder_->path());
    AnswerEveryDialogWithOk dialogs;
    Form4 = new TForm4;
    Form4->show();
    QVERIFY(QTest::qWaitForWindowExposed(Form4));
    Form4->Edit1->setText(QStringLiteral("VEN_10DE"));
    QTest::mouseClick(Form4->Button2, Qt::LeftButton);
    QCOMPARE(dialogs.take(),
             QStringList{
                 ErrorBox(kRefused
                              .arg(u"it holds a trigger (spread) that this program did not write, "
                                   u"which would run with the program's own changes")
                              .replace(QStringLiteral("<file>"), path))});
    QCOMPARE(Fingerprint(folder_->path()), before);
}

void HostileCataloguesTest::hugeValueIsShownCutShort() {
    // One name of 50 MB among ordinary ones, found by the search.
    const QString huge = QStringLiteral("GeForce ") + QString(50 * 1000 * 1000, u'x');
    writeDrivers(file(), {huge});
    const QMap<QString, QString> before = Fingerprint(folder_->path());
    CreateWindowSet();
    QVERIFY(QTest::qWaitForWindowExposed(Form1));

    QElapsedTimer clock;
    clock.start();
    SearchMainWindow(QStringLiteral("GeForce"));
    const QModelIndex cell = Form1->DBGrid1->model()->index(kRows, 1);
    const QString shown = cell.data().toString();
    Form1->DBGrid1->setCurrentIndex(cell);
    Form1->DBGrid1->viewport()->repaint();
    qInfo("search, the cell and its paint: %lld ms", static_cast<long long>(clock.elapsed()));
    QCOMPARE(Form1->sLabel3->text(), QString::number(kRows + 1));
    QVERIFY2(shown.size() <= 2001, qPrintable(QString::number(shown.size())));
    QVERIFY(shown.startsWith(QStringLiteral("GeForce xxx")));
    QVERIFY(shown.endsWith(QChar(0x2026)));

    // The details message keeps to the screen.
    int width = 0;
    qsizetype shownLength = 0;
    WhenNextDialogAppears([&width, &shownLength](QWidget* dialog) {
        width = dialog->width();
        shownLength = dialog->findChild<QLabel*>(QStringLiteral("Message"))->text().size();
        QTest::keyClick(dialog, Qt::Key_Return);
    });
    QTest::mouseDClick(Form1->DBGrid1->viewport(), Qt::LeftButton, {},
                       Form1->DBGrid1->visualRect(cell).center());
    QTRY_VERIFY(width > 0);
    QVERIFY2(width <= QGuiApplication::primaryScreen()->availableGeometry().width(),
             qPrintable(QString::number(width)));
    QVERIFY2(shownLength < 20000, qPrintable(QString::number(shownLength)));
    QCOMPARE(Fingerprint(folder_->path()), before);
}

void HostileCataloguesTest::runawayStatementIsStopped() {
    writeManyDrivers(file());
    AnswerEveryDialogWithOk dialogs;
    CreateWindowSet();
    // A bound far below what the search needs stands in for a file that
    // makes the engine work without end.
    Form1->ADOConnection1->setWorkLimit(100);
    SearchMainWindow(QStringLiteral("o"));
    QCOMPARE(dialogs.take(),
             QStringList{ErrorBox(QStringLiteral(
                 "The statement was stopped: it took far more work than reading any catalogue "
                 "needs, so the file cannot be what it seems."))});
    Form1->ADOConnection1->setWorkLimit(Connection::kDefaultWorkLimit);
    SearchMainWindow(QStringLiteral("o"));
    QCOMPARE(dialogs.take(), QStringList());
    QCOMPARE(Form1->sLabel3->text(), QString::number(kRows + kMoreRows));
}

void HostileCataloguesTest::longSearchShowsTheBusyCursor() {
    writeManyDrivers(file());
    CreateWindowSet();
    // Any statement counts as long here.
    std::optional<Qt::CursorShape> during;
    Form1->ADOConnection1->setSlowWorkHandler(
        [&during] {
            ShowBusyCursor();
            if (QGuiApplication::overrideCursor() != nullptr) {
                during = QGuiApplication::overrideCursor()->shape();
            }
        },
        0);
    SearchMainWindow(QStringLiteral("o"));
    QCOMPARE(during, std::optional<Qt::CursorShape>(Qt::WaitCursor));
    QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
    QCOMPARE(Form1->sLabel3->text(), QString::number(kRows + kMoreRows));
}

QUARROW_TEST_MAIN(HostileCataloguesTest)
#include "tst_hostile_catalogues.moc"
