// Writes that do exactly what the user did. A clause in the file's schema
// (ON CONFLICT REPLACE) cannot turn a changed ID or text into the deletion
// of another row: the engine's UNIQUE error comes instead, and nothing
// changes. And every write starts from the file as it is on disk: a
// catalogue copied in with the same size, modification time (to the
// nanosecond) and change counter as the one read, which the file's identity
// cannot tell apart, never gets pages of the old file written into it.
#include "CatalogueFiles.h"
#include "DamagedCatalogues.h"
#include "TestSupport.h"
#include "db/CatalogueFile.h"
#include "db/DatabasePassword.h"
#include "db/Sqlite.h"
#include "db/TrigramIndex.h"
#include "devices/TForm4.h"
#include "mainwindow/TForm1.h"
#include "program/Startup.h"
#include "widgets/EditableDBGrid.h"

#include <sqlite3.h>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

using namespace quarrow;
using namespace quarrow::test;

namespace {

// A device catalogue as the builder writes one, but with the table created
// by `createTable`.
void writeDevicesWithSchema(const QString& path, const QString& createTable,
                            const QList<QPair<int, QString>>& rows) {
    QFile::remove(path);
    sqlite3* db = nullptr;
    QCOMPARE(sqlite3_open_v2(path.toUtf8().constData(), &db,
                             SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr),
             SQLITE_OK);
    Exec(db, createTable.toUtf8().constData());
    for (const auto& [code, device] : rows) {
        Statement insert(db, "INSERT INTO device (\"Код\", device) VALUES (?, ?)");
        insert.bindInt64(1, code);
        insert.bindText(2, device);
        insert.step();
    }
    CreateTrigramIndex(db, QStringLiteral("device"), QStringLiteral("device"));
    RecordDatabasePassword(db, QStringLiteral("kavrel"));
    sqlite3_close(db);
}

const QList<QPair<int, QString>> kDevices{
    {1, QStringLiteral("PCI\\VEN_10DE&DEV_0393 GeForce 7300 GT")},
    {2, QStringLiteral("PCI\\VEN_10EC&DEV_8168 RTL8111")},
    {378, QStringLiteral("PCI\\VEN_8086&DEV_100E 82540EM")},
};

QStringList deviceTexts() {
    QStringList texts;
    for (const auto& row : kDevices) texts.append(row.second);
    return texts;
}

// Changes a cell of the unknown-device window's grid as the user does, and
// moves to another row, which writes the row.
void editCell(EditableDBGrid* grid, int row, int column, const QString& text) {
    const QModelIndex cell = grid->model()->index(row, column);
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(cell).center());
    QTest::keyClick(grid, Qt::Key_F2);
    auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    QVERIFY(editor != nullptr);
    editor->selectAll();
    QTest::keyClicks(editor, text);
    QTest::keyClick(editor, Qt::Key_Return);
    // The editor hands its text over from the event queue.
    QCoreApplication::processEvents();
    QTest::keyClick(grid, row == 0 ? Qt::Key_Down : Qt::Key_Up);
}

void searchDevices(const QString& text) {
    Form4->Edit1->setText(text);
    QTest::mouseClick(Form4->Button2, Qt::LeftButton);
}

}  // namespace

class ExactWritesTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void conflictClausesCannotDeleteAnotherRow_data();
    void conflictClausesCannotDeleteAnotherRow();
    void deleteAfterALookalikeReplacement();
    void editAfterALookalikeReplacement();

private:
    QString file() const { return folder_->filePath(QStringLiteral("vek.mdb")); }
    void showDeviceWindow();
    // Copies `replacement` over `path` in place and gives it the size, time
    // and change counter of the file it replaces, so that its identity is
    // the old file's.
    static void replaceWithLookalike(const QString& path, const QString& replacement);

    std::unique_ptr<TemporaryCurrentFolder> folder_;
    std::unique_ptr<RecordingLauncher> launcher_;
};

void ExactWritesTest::init() {
    folder_ = std::make_unique<TemporaryCurrentFolder>();
    launcher_ = std::make_unique<RecordingLauncher>();
}

void ExactWritesTest::cleanup() {
    DestroyWindowSet();
    launcher_.reset();
    folder_.reset();
}

void ExactWritesTest::showDeviceWindow() {
    Form4 = new TForm4;
    Form4->show();
    QVERIFY(QTest::qWaitForWindowExposed(Form4));
}

void ExactWritesTest::conflictClausesCannotDeleteAnotherRow_data() {
    QTest::addColumn<QString>("table");
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("error");
    const QString idTaken = QStringLiteral("UNIQUE constraint failed: device.Код");
    QTest::newRow("the builder's table, an ID taken")
        << QString() << 0 << QStringLiteral("378") << idTaken;
    QTest::newRow("ID INTEGER PRIMARY KEY ON CONFLICT REPLACE, an ID taken")
        << QStringLiteral(
               "CREATE TABLE device (\"Код\" INTEGER PRIMARY KEY ON CONFLICT REPLACE, "
               "device TEXT)")
        << 0 << QStringLiteral("378") << idTaken;
    QTest::newRow("device UNIQUE ON CONFLICT REPLACE, a text taken")
        << QStringLiteral(
               "CREATE TABLE device (\"Код\" INTEGER PRIMARY KEY, "
               "device TEXT UNIQUE ON CONFLICT REPLACE)")
        << 1 << kDevices[2].second << QStringLiteral("UNIQUE constraint failed: device.device");
}

void ExactWritesTest::conflictClausesCannotDeleteAnotherRow() {
    QFETCH(QString, table);
    QFETCH(int, column);
    QFETCH(QString, typed);
    QFETCH(QString, error);
    const QString path = folder_->filePath(QStringLiteral("dev.mdb"));
    if (table.isEmpty()) {
        WriteDevices(path, deviceTexts(), {1, 2, 378});
    } else {
        writeDevicesWithSchema(path, table, kDevices);
    }
    const QByteArray before = ReadWhole(path);
    AnswerEveryDialogWithOk dialogs;
    showDeviceWindow();
    searchDevices(QStringLiteral("PCI"));
    QCOMPARE(Form4->sLabel3->text(), QStringLiteral("3"));
    QCOMPARE(dialogs.take(), QStringList());

    // The second row, device 2, gets the ID or the text of device 378.
    editCell(Form4->DBGrid1, 1, column, typed);
    const QStringList seen = dialogs.take();
    QCOMPARE(seen.size(), 1);
    QVERIFY2(seen.front().startsWith(ErrorBox(error)), qPrintable(seen.front()));
    QTest::keyClick(Form4->DBGrid1, Qt::Key_Escape);

    const FileState state = StateOf(path, QStringLiteral("device"), QStringLiteral("device"));
    QCOMPARE(state.integrity, QStringLiteral("ok"));
    QCOMPARE(state.values, deviceTexts());
    QCOMPARE(ReadWhole(path), before);
    searchDevices(QStringLiteral("82540EM"));
    QCOMPARE(Form4->sLabel3->text(), QStringLiteral("1"));
}

void ExactWritesTest::replaceWithLookalike(const QString& path, const QString& replacement) {
    const FileIdentity old = IdentityOf(path);
    SetChangeCounter(replacement, ChangeCounterOf(path));
    const QByteArray content = ReadWhole(replacement);
    // The engine keeps its cached pages while these header bytes stay: the
    // change counter, the size in pages and the free list's.
    QCOMPARE(content.mid(24, 16), ReadWhole(path).mid(24, 16));
    QCOMPARE(content.size(), ReadWhole(path).size());
    WriteInPlace(path, content);
    QVERIFY(SetModifiedNs(path, old.modifiedNs));
    QVERIFY(IdentityOf(path) == old);
}

void ExactWritesTest::deleteAfterALookalikeReplacement() {
    const QStringList shown{QStringLiteral("GeForce 6200"), QStringLiteral("Radeon 9600 first")};
    const QStringList replacing{QStringLiteral("GeForce 6200"),
                                QStringLiteral("Radeon 9600 again")};
    WriteDrivers(file(), shown);
    const QString scratch = folder_->filePath(QStringLiteral("copy.mdb"));
    WriteDrivers(scratch, replacing);
    AnswerEveryDialogWithOk dialogs;
    CreateWindowSet();
    SearchMainWindow(QStringLiteral("00"));
    QCOMPARE(MainWindowNames(), shown);

    replaceWithLookalike(file(), scratch);
    if (QTest::currentTestFailed()) return;
    // The first row is the same in both files and is deleted; the second
    // keeps the change the new file brought.
    Form1->DBGrid1->setCurrentIndex(Form1->DBGrid1->model()->index(0, 1));
    QTest::keyClick(Form1->DBGrid1, Qt::Key_Delete, Qt::ControlModifier);
    QCOMPARE(dialogs.take(), QStringList{DeleteConfirmation()});
    const FileState state =
        StateOf(file(), QStringLiteral("table_1"), QStringLiteral("Наименование"));
    QCOMPARE(state.integrity, QStringLiteral("ok"));
    QCOMPARE(state.values, QStringList{replacing[1]});
}

void ExactWritesTest::editAfterALookalikeReplacement() {
    const QString path = folder_->filePath(QStringLiteral("dev.mdb"));
    const QString scratch = folder_->filePath(QStringLiteral("copy.mdb"));
    WriteDevices(path, {QStringLiteral("PCI\\VEN_10DE&DEV_0393 first"),
                        QStringLiteral("PCI\\VEN_10EC&DEV_8168 first")});
    WriteDevices(scratch, {QStringLiteral("PCI\\VEN_10DE&DEV_0393 first"),
                           QStringLiteral("PCI\\VEN_10EC&DEV_8168 again")});
    AnswerEveryDialogWithOk dialogs;
    showDeviceWindow();
    searchDevices(QStringLiteral("PCI"));
    QCOMPARE(Form4->sLabel3->text(), QStringLiteral("2"));

    replaceWithLookalike(path, scratch);
    if (QTest::currentTestFailed()) return;
    editCell(Form4->DBGrid1, 0, 1, QStringLiteral("PCI\\VEN_10DE&DEV_0393 changed"));
    QCOMPARE(dialogs.take(), QStringList());
    const FileState state = StateOf(path, QStringLiteral("device"), QStringLiteral("device"));
    QCOMPARE(state.integrity, QStringLiteral("ok"));
    QCOMPARE(state.values, (QStringList{QStringLiteral("PCI\\VEN_10DE&DEV_0393 changed"),
                                        QStringLiteral("PCI\\VEN_10EC&DEV_8168 again")}));
}

QUARROW_TEST_MAIN(ExactWritesTest)
#include "tst_exact_writes.moc"
