// Journals beside a catalogue, as another program, an interrupted write of
// the program or a careless hand leave them. A journal that may belong to
// the file is rolled back by the engine, as SQLite alone would do it, and the
// file comes back byte for byte, whenever and however it is opened; one that
// provably belongs to another file (a catalogue moved in after the write was
// interrupted, whatever its times) is set aside and the file opens as it is;
// a connection that only reads moves and writes nothing of its own; a
// journal, log or index beside the file that is not a regular file is
// refused at once with a message naming it, never waited on.
#include "CatalogueFiles.h"
#include "DamagedCatalogues.h"
#include "ModalWindow.h"
#include "SampleComputer.h"
#include "TestSupport.h"
#include "ToolProcess.h"
#include "core/Exception.h"
#include "db/CatalogueFile.h"
#include "db/Connection.h"
#include "db/Query.h"
#include "db/RollbackJournal.h"
#include "db/Sqlite.h"
#include "devices/DeviceListModel.h"
#include "devices/TForm4.h"
#include "devices/TForm5.h"
#include "forms/ShowModal.h"
#include "mainwindow/TForm1.h"
#include "program/Startup.h"

#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>
#include <cstdio>

#if !defined(Q_OS_WIN)
#include <sys/stat.h>
#endif

using namespace quarrow;
using namespace quarrow::test;

namespace {

// Enough rows that another program's change of them all spills into the
// file long before its commit.
constexpr int kRows = 2000;

QStringList names(const QString& stem, int count) {
    QStringList list;
    for (int r = 1; r <= count; ++r) list.append(QStringLiteral("%1 %2").arg(stem).arg(r));
    return list;
}

const QString kReadingConnection = QStringLiteral(
    "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=vek.mdb;Mode=Read;"
    "Jet OLEDB:Database Password=kavrel");

qint64 countThroughReadingConnection() {
    Connection connection(kReadingConnection);
    Query query(&connection, QStringLiteral("ADOQuery1"));
    connection.open();
    query.setSql(
        QStringLiteral("SELECT count(*) AS n FROM table_1 WHERE "
                       "\"Наименование\" NOT LIKE '%(changed)'"));
    query.open();
    return query.fieldByNameAsInteger(QStringLiteral("n"));
}

std::uint32_t pageSizeOf(const QString& path) {
    const QByteArray header = ReadWhole(path).left(18);
    const std::uint32_t size = std::uint32_t(quint8(header[16])) << 8 | quint8(header[17]);
    return size == 1 ? 65536 : size;
}

QStringList setAsideJournals(const QString& folder) {
    return QDir(folder).entryList({QStringLiteral("*-journal.stale-*")});
}

enum class Meeting { AtStartUp, BetweenSearches, ByExport, ByReadingConnection };
enum class Writer { Program, AnotherProgram };
enum class Arrival { None, MovedIn, CopiedKeepingTime, Unpacked };
enum class Companion { Journal, WriteAheadLog, SharedMemory };
enum class Kind { Pipe, LinkToFile, DanglingLink, Folder };

QString suffixOf(Companion companion) {
    switch (companion) {
        case Companion::Journal:
            return QStringLiteral("-journal");
        case Companion::WriteAheadLog:
            return QStringLiteral("-wal");
        case Companion::SharedMemory:
            return QStringLiteral("-shm");
    }
    return {};
}

QString whatOf(Companion companion) {
    switch (companion) {
        case Companion::Journal:
            return QStringLiteral("journal");
        case Companion::WriteAheadLog:
            return QStringLiteral("write-ahead log");
        case Companion::SharedMemory:
            return QStringLiteral("shared-memory index");
    }
    return {};
}

// Puts an entry of this kind at `path`; returns why it cannot be made here.
QString makeEntry(Kind kind, const QString& path) {
    switch (kind) {
        case Kind::Folder:
            return QDir().mkpath(path) ? QString() : QStringLiteral("mkdir failed");
#if defined(Q_OS_WIN)
        default:
            return QStringLiteral(
                "Windows keeps pipes out of folders, and its links need a privilege this test "
                "does not ask for.");
#else
        case Kind::Pipe:
            return ::mkfifo(QFile::encodeName(path).constData(), 0644) == 0
                       ? QString()
                       : QStringLiteral("mkfifo failed");
        case Kind::LinkToFile: {
            const QString target = path + QStringLiteral(".target");
            WriteInPlace(target, QByteArrayLiteral("elsewhere"));
            return QFile::link(target, path) ? QString() : QStringLiteral("symlink failed");
        }
        case Kind::DanglingLink:
            return QFile::link(path + QStringLiteral(".nowhere"), path)
                       ? QString()
                       : QStringLiteral("symlink failed");
#endif
    }
    return {};
}

void removeEntry(const QString& path) {
    const QFileInfo entry(path);
    if (entry.isDir() && !entry.isSymLink()) {
        QDir(path).removeRecursively();
    } else {
        QFile::remove(path);
    }
}

QString refusalOf(const QString& catalogue, Companion companion) {
    const QString enginePath = EnginePathOf(catalogue);
    return QStringLiteral(
               "'%1' is not a regular file: the catalogue '%2' is not opened or changed while it "
               "stands where the engine keeps the catalogue's %3.")
        .arg(enginePath + suffixOf(companion), enginePath, whatOf(companion));
}

}  // namespace

Q_DECLARE_METATYPE(Meeting)
Q_DECLARE_METATYPE(Writer)
Q_DECLARE_METATYPE(Arrival)
Q_DECLARE_METATYPE(Companion)
Q_DECLARE_METATYPE(Kind)

class JournalsTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void anotherProgramsChangeIsRolledBack_data();
    void anotherProgramsChangeIsRolledBack();
    void interruptedWriteSavesPageOneFirst_data();
    void interruptedWriteSavesPageOneFirst();
    void journalMeetsTheCatalogueAtItsPath_data();
    void journalMeetsTheCatalogueAtItsPath();
    void readingConnectionsMoveNothing();
    void fileThatCannotBeWrittenWithAHotJournal_data();
    void fileThatCannotBeWrittenWithAHotJournal();
    void companionsThatAreNotFilesAreRefused_data();
    void companionsThatAreNotFilesAreRefused();
    void companionAppearingBeforeADelete_data();
    void companionAppearingBeforeADelete();
    void deviceWindowWithAPipeForJournal();
    void deviceListAfterAnotherProgramsChange();
    void deviceListWithAPipeForJournal();
    void engineNeverWaitsOnAPipe();

private:
    QString file() const { return folder_->filePath(QStringLiteral("vek.mdb")); }
    QString journal() const { return file() + QStringLiteral("-journal"); }
    QString devices() const { return folder_->filePath(QStringLiteral("dev.mdb")); }
    // Shows this computer's devices as "ДУ" does (on the sample computer) and
    // returns the rows shown, "ID|УСТРОЙСТВО|ДРАЙВЕР" each.
    QStringList showDeviceList();
    // Another program changes every row in one long transaction and is
    // killed before its commit; its file was written well after its journal.
    void leaveAnotherProgramsChange(const QString& path, const QString& table,
                                    const QString& column);
    // A delete of the program, interrupted after the change was written into
    // the file and before its journal was deleted.
    void leaveInterruptedDelete(const QString& kind);

    std::unique_ptr<TemporaryCurrentFolder> folder_;
    std::unique_ptr<RecordingLauncher> launcher_;
};

void JournalsTest::init() {
    folder_ = std::make_unique<TemporaryCurrentFolder>();
    launcher_ = std::make_unique<RecordingLauncher>();
}

void JournalsTest::cleanup() {
    DestroyWindowSet();
    launcher_.reset();
    folder_.reset();
}

void JournalsTest::leaveAnotherProgramsChange(const QString& path, const QString& table,
                                              const QString& column) {
    HelperRun writer({QStringLiteral("spill"), path, table, column});
    QCOMPARE(writer.firstLine(), QByteArray("spilled"));
    writer.kill();
    const QString journalPath = path + QStringLiteral("-journal");
    QVERIFY(QFileInfo::exists(journalPath));
    QVERIFY(SetModifiedNs(path, ModifiedNs(journalPath) + 3'000'000'000));
}

void JournalsTest::leaveInterruptedDelete(const QString& kind) {
    HelperRun writer({QStringLiteral("interrupt"), kind});
    QCOMPARE(writer.firstLine(), QByteArray("interrupted"));
    QCOMPARE(writer.waitForExit(), 3);
}

void JournalsTest::anotherProgramsChangeIsRolledBack_data() {
    QTest::addColumn<Meeting>("meeting");
    QTest::newRow("at start-up, then a search") << Meeting::AtStartUp;
    QTest::newRow("between two searches") << Meeting::BetweenSearches;
    QTest::newRow("by quarrow-catalogue export") << Meeting::ByExport;
    QTest::newRow("by a connection that only reads") << Meeting::ByReadingConnection;
}

void JournalsTest::anotherProgramsChangeIsRolledBack() {
    QFETCH(Meeting, meeting);
    WriteDrivers(file(), names(QStringLiteral("GeForce"), kRows));
    const QByteArray before = ReadWhole(file());
    AnswerEveryDialogWithOk dialogs;
    if (meeting == Meeting::BetweenSearches) {
        CreateWindowSet();
        SearchMainWindow(QStringLiteral("GeForce"));
        QCOMPARE(Form1->sLabel3->text(), QString::number(kRows));
    }
    leaveAnotherProgramsChange(file(), QStringLiteral("table_1"), QStringLiteral("Наименование"));
    QVERIFY(ReadWhole(file()) != before);

    switch (meeting) {
        case Meeting::AtStartUp:
            CreateWindowSet();
            [[fallthrough]];
        case Meeting::BetweenSearches:
            SearchMainWindow(QStringLiteral("(changed)"));
            QCOMPARE(Form1->sLabel3->text(), QStringLiteral("0"));
            SearchMainWindow(QStringLiteral("GeForce"));
            QCOMPARE(Form1->sLabel3->text(), QString::number(kRows));
            QCOMPARE(dialogs.take(), QStringList());
            QVERIFY2(!Form1->sEdit1->text().contains(QStringLiteral("set aside")),
                     qPrintable(Form1->sEdit1->text()));
            break;
        case Meeting::ByExport: {
            const ToolRun run =
                RunCatalogueTool({QStringLiteral("export"), QStringLiteral("vek.mdb"),
                                  QStringLiteral("--password"), QStringLiteral("kavrel")},
                                 folder_->path());
            QCOMPARE(run.exitCode, 0);
            QCOMPARE(run.out.count('\n'), kRows + 1);
            QVERIFY(!run.out.contains("(changed)"));
            break;
        }
        case Meeting::ByReadingConnection:
            QCOMPARE(countThroughReadingConnection(), qint64(kRows));
            break;
    }
    QCOMPARE(ReadWhole(file()), before);
    QVERIFY(!QFileInfo::exists(journal()));
    QCOMPARE(setAsideJournals(folder_->path()), QStringList());
    QCOMPARE(StateOf(file(), QStringLiteral("table_1"), QStringLiteral("Наименование")).integrity,
             QStringLiteral("ok"));
}

void JournalsTest::interruptedWriteSavesPageOneFirst_data() {
    QTest::addColumn<QString>("kind");
    QTest::newRow("driver catalogue") << QStringLiteral("driver");
    QTest::newRow("device catalogue") << QStringLiteral("device");
}

void JournalsTest::interruptedWriteSavesPageOneFirst() {
    QFETCH(QString, kind);
    const QString path = folder_->filePath(kind == u"driver" ? QStringLiteral("vek.mdb")
                                                             : QStringLiteral("dev.mdb"));
    if (kind == u"driver") {
        WriteDrivers(path, names(QStringLiteral("GeForce"), 50));
    } else {
        WriteDevices(path, names(QStringLiteral("PCI\\VEN_10DE&DEV_"), 50));
    }
    const std::uint32_t counter = ChangeCounterOf(path);
    leaveInterruptedDelete(kind);

    // The journal a write of the program leaves holds page 1 first, with the
    // change counter the file had; the file already shows the next one.
    const RollbackJournal left(path + QStringLiteral("-journal"));
    QVERIFY(left.hasHeader());
    QCOMPARE(left.firstRecordPage(pageSizeOf(path)), std::uint32_t(1));
    std::uint32_t saved = 0;
    QCOMPARE(left.findPageOne(pageSizeOf(path), saved), RollbackJournal::PageOne::Found);
    QCOMPARE(saved, counter);
    QCOMPARE(ChangeCounterOf(path), counter + 1);
}

void JournalsTest::journalMeetsTheCatalogueAtItsPath_data() {
    QTest::addColumn<Writer>("writer");
    QTest::addColumn<Arrival>("arrival");
    QTest::addColumn<int>("newRows");
    QTest::addColumn<int>("newPageSize");  // 0: the builder's
    QTest::newRow("the program's, the catalogue itself")
        << Writer::Program << Arrival::None << 0 << 0;
    QTest::newRow("the program's, a catalogue moved in with an older time")
        << Writer::Program << Arrival::MovedIn << 60 << 0;
    QTest::newRow("the program's, a catalogue copied over keeping its time")
        << Writer::Program << Arrival::CopiedKeepingTime << 50 << 0;
    QTest::newRow("the program's, a catalogue unpacked with an older time")
        << Writer::Program << Arrival::Unpacked << 40 << 0;
    QTest::newRow("another program's, the catalogue itself")
        << Writer::AnotherProgram << Arrival::None << 0 << 0;
    QTest::newRow("another program's, a larger catalogue moved in with an older time")
        << Writer::AnotherProgram << Arrival::MovedIn << 3000 << 0;
    QTest::newRow("another program's, a smaller catalogue copied over keeping its time")
        << Writer::AnotherProgram << Arrival::CopiedKeepingTime << 1000 << 0;
    QTest::newRow("another program's, a catalogue of another page size unpacked")
        << Writer::AnotherProgram << Arrival::Unpacked << kRows << 8192;
}

void JournalsTest::journalMeetsTheCatalogueAtItsPath() {
    QFETCH(Writer, writer);
    QFETCH(Arrival, arrival);
    QFETCH(int, newRows);
    QFETCH(int, newPageSize);
    const int oldRows = writer == Writer::Program ? 50 : kRows;
    WriteDrivers(file(), names(QStringLiteral("GeForce"), oldRows));
    const QByteArray before = ReadWhole(file());
    if (writer == Writer::Program) {
        leaveInterruptedDelete(QStringLiteral("driver"));
    } else {
        leaveAnotherProgramsChange(file(), QStringLiteral("table_1"),
                                   QStringLiteral("Наименование"));
    }
    QVERIFY(QFileInfo::exists(journal()));

    // The new catalogue keeps a time from before the journal was written.
    const std::int64_t older = ModifiedNs(journal()) - 3600'000'000'000;
    const QString scratch = folder_->filePath(QStringLiteral("new.mdb"));
    WriteDrivers(scratch, names(QStringLiteral("Radeon"), newRows));
    if (newPageSize != 0) {
        QCOMPARE(RunSql(scratch, QStringLiteral("PRAGMA page_size = %1; VACUUM;").arg(newPageSize)),
                 QString());
        QCOMPARE(pageSizeOf(scratch), std::uint32_t(newPageSize));
    }
    const QByteArray replacement = ReadWhole(scratch);
    switch (arrival) {
        case Arrival::None:
            QFile::remove(scratch);
            break;
        case Arrival::MovedIn:
            QVERIFY(SetModifiedNs(scratch, older));
            QVERIFY(std::rename(QFile::encodeName(scratch).constData(),
                                QFile::encodeName(file()).constData()) == 0);
            break;
        case Arrival::CopiedKeepingTime:
            WriteInPlace(file(), replacement);
            QVERIFY(SetModifiedNs(file(), older));
            QFile::remove(scratch);
            break;
        case Arrival::Unpacked:
            QFile::remove(file());
            QFile::remove(scratch);
            WriteInPlace(file(), replacement);
            QVERIFY(SetModifiedNs(file(), older));
            break;
    }

    AnswerEveryDialogWithOk dialogs;
    CreateWindowSet();
    QCOMPARE(dialogs.take(), QStringList());
    QVERIFY(!QFileInfo::exists(journal()));
    const QStringList aside = setAsideJournals(folder_->path());
    if (arrival == Arrival::None) {
        // Rolled back as the engine alone would.
        QCOMPARE(aside, QStringList());
        QCOMPARE(ReadWhole(file()), before);
        SearchMainWindow(QStringLiteral("GeForce"));
        QCOMPARE(Form1->sLabel3->text(), QString::number(oldRows));
    } else {
        QCOMPARE(aside.size(), 1);
        QVERIFY2(Form1->sEdit1->text().contains(aside.front()), qPrintable(Form1->sEdit1->text()));
        QCOMPARE(ReadWhole(file()), replacement);
        SearchMainWindow(QStringLiteral("Radeon"));
        QCOMPARE(Form1->sLabel3->text(), QString::number(newRows));
    }
    QCOMPARE(dialogs.take(), QStringList());
    QCOMPARE(StateOf(file(), QStringLiteral("table_1"), QStringLiteral("Наименование")).integrity,
             QStringLiteral("ok"));
}

void JournalsTest::readingConnectionsMoveNothing() {
    WriteDrivers(file(), names(QStringLiteral("GeForce"), 50));
    leaveInterruptedDelete(QStringLiteral("driver"));
    WriteDrivers(file(), names(QStringLiteral("Radeon"), 70));
    const QMap<QString, QString> before = Fingerprint(folder_->path());
    const QString refusal =
        QStringLiteral(
            "The catalogue '%1' cannot be read: the journal '%2' beside it was left by another "
            "file. A connection that may write sets it aside (the program's searches do); one "
            "that only reads leaves it where it is.")
            .arg(EnginePathOf(file()), JournalPathOf(EnginePathOf(file())));

    try {
        countThroughReadingConnection();
        QFAIL("the reading connection opened");
    } catch (const EOleException& error) {
        QCOMPARE(error.message(), refusal);
    }
    const ToolRun run = RunCatalogueTool({QStringLiteral("export"), QStringLiteral("vek.mdb"),
                                          QStringLiteral("--password"), QStringLiteral("kavrel")},
                                         folder_->path());
    QCOMPARE(run.exitCode, 2);
    QVERIFY2(run.err.contains(refusal), qPrintable(run.err));
    QCOMPARE(Fingerprint(folder_->path()), before);

    // A connection that may write sets it aside; then the readers read.
    CreateWindowSet();
    QCOMPARE(setAsideJournals(folder_->path()).size(), 1);
    QCOMPARE(countThroughReadingConnection(), qint64(70));
}

void JournalsTest::fileThatCannotBeWrittenWithAHotJournal_data() {
    // One row, so that it can run again as another user (see
    // RunCurrentRowUnprivileged).
    QTest::addColumn<bool>("unused");
    QTest::newRow("read-only catalogue") << true;
}

void JournalsTest::fileThatCannotBeWrittenWithAHotJournal() {
    if (NeedsUnprivilegedChild(Damage::ReadOnly, folder_->path())) {
        RunCurrentRowUnprivileged();
        return;
    }
    if (const QString why = WhyDamageCannotBindHere(Damage::ReadOnly, folder_->path());
        !why.isEmpty()) {
        QSKIP(qPrintable(why));
    }
    WriteDrivers(file(), names(QStringLiteral("GeForce"), kRows));
    const QByteArray before = ReadWhole(file());
    leaveAnotherProgramsChange(file(), QStringLiteral("table_1"), QStringLiteral("Наименование"));
    AccessDamage readOnly(Damage::ReadOnly, file());
    QVERIFY2(readOnly.error().isEmpty(), qPrintable(readOnly.error()));
    const QMap<QString, QString> left = Fingerprint(folder_->path());
    const QString refusal =
        QStringLiteral(
            "The catalogue '%1' cannot be read: a change to it was left unfinished, and the "
            "engine restores it from '%2' only with write access to the catalogue and its "
            "folder.")
            .arg(EnginePathOf(file()), JournalPathOf(EnginePathOf(file())));

    try {
        countThroughReadingConnection();
        QFAIL("the reading connection read the file");
    } catch (const EOleException& error) {
        QCOMPARE(error.message(), refusal);
    }
    AnswerEveryDialogWithOk dialogs;
    CreateWindowSet();
    QCOMPARE(dialogs.take(), QStringList{ErrorBox(refusal)});
    QCOMPARE(Fingerprint(folder_->path()), left);

    readOnly.lift();
    SearchMainWindow(QStringLiteral("GeForce"));
    QCOMPARE(dialogs.take(), QStringList());
    QCOMPARE(Form1->sLabel3->text(), QString::number(kRows));
    QCOMPARE(ReadWhole(file()), before);
}

void JournalsTest::companionsThatAreNotFilesAreRefused_data() {
    QTest::addColumn<Companion>("companion");
    QTest::addColumn<Kind>("kind");
    const std::pair<Kind, const char*> kinds[] = {{Kind::Pipe, "a pipe"},
                                                  {Kind::LinkToFile, "a link to a file"},
                                                  {Kind::DanglingLink, "a link to nothing"},
                                                  {Kind::Folder, "a folder"}};
    for (const Companion companion :
         {Companion::Journal, Companion::WriteAheadLog, Companion::SharedMemory}) {
        for (const auto& [kind, name] : kinds) {
            QTest::addRow("%s is %s", qPrintable(suffixOf(companion)), name) << companion << kind;
        }
    }
}

void JournalsTest::companionsThatAreNotFilesAreRefused() {
    QFETCH(Companion, companion);
    QFETCH(Kind, kind);
    WriteDrivers(file(), names(QStringLiteral("GeForce"), 50));
    const QString entry = file() + suffixOf(companion);
    if (const QString why = makeEntry(kind, entry); !why.isEmpty()) QSKIP(qPrintable(why));
    const QMap<QString, QString> before = Fingerprint(folder_->path());
    const QString refusal = refusalOf(file(), companion);

    AnswerEveryDialogWithOk dialogs;
    QElapsedTimer clock;
    clock.start();
    CreateWindowSet();
    QCOMPARE(dialogs.take(), QStringList{ErrorBox(refusal)});
    SearchMainWindow(QStringLiteral("GeForce"));
    QCOMPARE(dialogs.take(), QStringList{ErrorBox(refusal)});
    qInfo("refused in %lld ms (start-up and a search)", static_cast<long long>(clock.elapsed()));
    QCOMPARE(Fingerprint(folder_->path()), before);

    removeEntry(entry);
    SearchMainWindow(QStringLiteral("GeForce"));
    QCOMPARE(dialogs.take(), QStringList());
    QCOMPARE(Form1->sLabel3->text(), QStringLiteral("50"));
}

void JournalsTest::companionAppearingBeforeADelete_data() {
    QTest::addColumn<Companion>("companion");
    QTest::addColumn<Kind>("kind");
    QTest::newRow("-journal is a pipe") << Companion::Journal << Kind::Pipe;
    QTest::newRow("-journal is a link to a file") << Companion::Journal << Kind::LinkToFile;
    QTest::newRow("-wal is a folder") << Companion::WriteAheadLog << Kind::Folder;
}

void JournalsTest::companionAppearingBeforeADelete() {
    QFETCH(Companion, companion);
    QFETCH(Kind, kind);
    WriteDrivers(file(), names(QStringLiteral("GeForce"), 50));
    AnswerEveryDialogWithOk dialogs;
    CreateWindowSet();
    SearchMainWindow(QStringLiteral("GeForce"));
    QCOMPARE(Form1->sLabel3->text(), QStringLiteral("50"));
    const QByteArray before = ReadWhole(file());
    const QString entry = file() + suffixOf(companion);
    if (const QString why = makeEntry(kind, entry); !why.isEmpty()) QSKIP(qPrintable(why));

    const auto deleteFirstRow = [] {
        Form1->DBGrid1->setCurrentIndex(Form1->DBGrid1->model()->index(0, 1));
        QTest::keyClick(Form1->DBGrid1, Qt::Key_Delete, Qt::ControlModifier);
    };
    deleteFirstRow();
    QCOMPARE(dialogs.take(),
             (QStringList{DeleteConfirmation(), ErrorBox(refusalOf(file(), companion))}));
    QCOMPARE(MainWindowNames().size(), 50);
    QCOMPARE(ReadWhole(file()), before);

    removeEntry(entry);
    deleteFirstRow();
    QCOMPARE(dialogs.take(), QStringList{DeleteConfirmation()});
    const FileState state =
        StateOf(file(), QStringLiteral("table_1"), QStringLiteral("Наименование"));
    QCOMPARE(state.integrity, QStringLiteral("ok"));
    QCOMPARE(state.values, names(QStringLiteral("GeForce"), 50).mid(1));
}

void JournalsTest::deviceWindowWithAPipeForJournal() {
    const QString path = folder_->filePath(QStringLiteral("dev.mdb"));
    WriteDevices(path, {QStringLiteral("PCI\\VEN_10DE&DEV_0393 GeForce 7300 GT")});
    if (const QString why = makeEntry(Kind::Pipe, path + QStringLiteral("-journal"));
        !why.isEmpty()) {
        QSKIP(qPrintable(why));
    }
    AnswerEveryDialogWithOk dialogs;
    Form4 = new TForm4;
    Form4->show();
    QVERIFY(QTest::qWaitForWindowExposed(Form4));
    Form4->Edit1->setText(QStringLiteral("VEN_10DE"));
    QTest::mouseClick(Form4->Button2, Qt::LeftButton);
    QCOMPARE(dialogs.take(), QStringList{ErrorBox(refusalOf(path, Companion::Journal))});
}

QStringList JournalsTest::showDeviceList() {
    Form5->setDeviceReader([] { return SampleComputerScan(); });
    WhenShownModally(Form5, [] { Form5->close(); });
    ShowModal(Form5);
    QStringList rows;
    const QAbstractItemModel* model = Form5->Grid1Model;
    for (int row = 0; row < model->rowCount(); ++row) {
        QStringList cells;
        for (int column = 0; column < model->columnCount(); ++column) {
            cells.append(model->index(row, column).data().toString());
        }
        rows.append(cells.join(u'|'));
    }
    return rows;
}

// The device list reads dev.mdb through a connection that only reads.
void JournalsTest::deviceListAfterAnotherProgramsChange() {
    WriteSampleDeviceCatalogue(devices());
    WriteDrivers(file(), names(QStringLiteral("GeForce"), 5));
    const QByteArray before = ReadWhole(devices());
    leaveAnotherProgramsChange(devices(), QStringLiteral("device"), QStringLiteral("device"));
    QVERIFY(ReadWhole(devices()) != before);
    AnswerEveryDialogWithOk dialogs;
    CreateWindowSet();
    QCOMPARE(showDeviceList(), SampleComputerRows());
    QCOMPARE(dialogs.take(), QStringList());
    QCOMPARE(ReadWhole(devices()), before);
    QCOMPARE(setAsideJournals(folder_->path()), QStringList());
}

void JournalsTest::deviceListWithAPipeForJournal() {
    WriteSampleDeviceCatalogue(devices());
    WriteDrivers(file(), names(QStringLiteral("GeForce"), 5));
    if (const QString why = makeEntry(Kind::Pipe, devices() + QStringLiteral("-journal"));
        !why.isEmpty()) {
        QSKIP(qPrintable(why));
    }
    AnswerEveryDialogWithOk dialogs;
    CreateWindowSet();
    // The devices are listed without their names, after the message.
    const QStringList rows = showDeviceList();
    QCOMPARE(dialogs.take(), QStringList{ErrorBox(refusalOf(devices(), Companion::Journal))});
    QCOMPARE(rows.size(), SampleComputerRows().size());
}

// Should a pipe appear between the connection's look beside the file and
// the engine's own opening of the journal, the engine's file layer refuses
// it too, and the engine's error names it.
void JournalsTest::engineNeverWaitsOnAPipe() {
    WriteDrivers(file(), names(QStringLiteral("GeForce"), 50));
    Connection connection(QStringLiteral(
        "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=vek.mdb;Jet OLEDB:Database Password=kavrel"));
    connection.open();
    if (const QString why = makeEntry(Kind::Pipe, journal()); !why.isEmpty())
        QSKIP(qPrintable(why));
    const QString refusal = refusalOf(file(), Companion::Journal);
    for (const char* sql :
         {"SELECT count(*) FROM table_1", "DELETE FROM table_1 WHERE rowid = 1"}) {
        try {
            Statement statement(connection.handle(), sql);
            statement.step();
            QFAIL(sql);
        } catch (const EOleException& error) {
            QCOMPARE(error.message(), refusal);
        }
    }
    removeEntry(journal());
    QCOMPARE(StateOf(file(), QStringLiteral("table_1"), QStringLiteral("Наименование")).values,
             names(QStringLiteral("GeForce"), 50));
}

QUARROW_TEST_MAIN(JournalsTest)
#include "tst_journals.moc"
