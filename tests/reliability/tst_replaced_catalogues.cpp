// A catalogue replaced while the program has it open, by copying a new one
// over it in place or by moving one in: the next search shows the new file,
// a delete or an edit of a row read from the old file is refused unless the
// new file holds that row as shown, and the new file is never damaged.
#include "CatalogueWriter.h"
#include "DamagedCatalogues.h"
#include "TestSupport.h"
#include "db/Connection.h"
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

const QString kRowNotLocated = QStringLiteral(
    "Row cannot be located for updating. Some values may have been changed since it was last "
    "read.");

enum class Replacement { CopiedInPlace, MovedIn };

// `names` as a driver catalogue's Наименование values, in this order.
QByteArray driverCatalogue(const QStringList& names) {
    QTemporaryDir scratch;
    const QString path = scratch.filePath(QStringLiteral("vek.mdb"));
    CatalogueTable table{DriverCatalogueColumns(), {}};
    for (const QString& name : names) {
        table.rows.append({name, QStringLiteral("Видеокарта"), QStringLiteral("Windows XP"),
                           QStringLiteral("12 МБ"), QStringLiteral("1.0"),
                           QStringLiteral("example.com/a.zip"),
                           QStringLiteral("http://example.com/a.zip"), QStringLiteral("2026.4")});
    }
    WriteDriverCatalogue(path, QStringLiteral("kavrel"), table);
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray deviceCatalogue(const QStringList& devices) {
    QTemporaryDir scratch;
    const QString path = scratch.filePath(QStringLiteral("dev.mdb"));
    CatalogueTable table{{QStringLiteral("Код"), QStringLiteral("device")}, {}};
    for (int r = 0; r < devices.size(); ++r)
        table.rows.append({QString::number(r + 1), devices[r]});
    WriteDeviceCatalogue(path, QStringLiteral("kavrel"), table);
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void replace(const QString& path, const QByteArray& content, Replacement how) {
    if (how == Replacement::CopiedInPlace) {
        Repair(path, content);  // overwrites the same file, as cp does
        return;
    }
    const QString moved = path + QStringLiteral(".new");
    QFile file(moved);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(content) == content.size());
    file.close();
    QVERIFY(std::rename(QFile::encodeName(moved).constData(),
                        QFile::encodeName(path).constData()) == 0);
}

// The engine's and the trigram index's own checks, and the rows by name.
struct FileState {
    QString integrity;
    QStringList names;
};

FileState stateOf(const QString& path, const QString& table, const QString& column) {
    FileState state;
    sqlite3* db = nullptr;
    sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
    const auto run = [db](const QString& sql, const std::function<void(sqlite3_stmt*)>& row) {
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &stmt, nullptr) != SQLITE_OK) {
            return QString::fromUtf8(sqlite3_errmsg(db));
        }
        while (sqlite3_step(stmt) == SQLITE_ROW) row(stmt);
        const int rc = sqlite3_finalize(stmt);
        return rc == SQLITE_OK ? QString() : QString::fromUtf8(sqlite3_errmsg(db));
    };
    QString integrity;
    state.integrity = run(QStringLiteral("PRAGMA integrity_check"), [&integrity](sqlite3_stmt* s) {
        integrity += QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(s, 0)));
    });
    if (state.integrity.isEmpty()) state.integrity = integrity;
    const QString index = table + QStringLiteral("_trigram");
    const QString indexCheck =
        run(QStringLiteral("INSERT INTO %1(%1) VALUES('integrity-check')").arg(index), {});
    if (!indexCheck.isEmpty()) state.integrity += QStringLiteral(" index: ") + indexCheck;
    run(QStringLiteral("SELECT %1 FROM %2 ORDER BY rowid").arg(column, table),
        [&state](sqlite3_stmt* s) {
            state.names.append(
                QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(s, 0))));
        });
    sqlite3_close(db);
    return state;
}

}  // namespace

Q_DECLARE_METATYPE(Replacement)

namespace {

// Why this replacement cannot happen under the running program here; empty
// when it can.
QString whyImpossibleHere(Replacement how) {
#if defined(Q_OS_WIN)
    if (how == Replacement::MovedIn) {
        return QStringLiteral(
            "Windows moves no file over one that a program holds open (the engine opens "
            "catalogues without letting them be deleted), so a catalogue cannot be moved in "
            "under the running program; copying over it in place is how it changes there.");
    }
#else
    Q_UNUSED(how);
#endif
    return {};
}

}  // namespace

class ReplacedCataloguesTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void driverCatalogueReplaced_data() { replacements(); }
    void driverCatalogueReplaced();
    void deviceCatalogueReplaced_data() { replacements(); }
    void deviceCatalogueReplaced();

private:
    static void replacements();
    void deleteMainRow(int row);

    std::unique_ptr<TemporaryCurrentFolder> folder_;
    std::unique_ptr<RecordingLauncher> launcher_;
};

void ReplacedCataloguesTest::replacements() {
    QTest::addColumn<Replacement>("how");
    QTest::newRow("copied over in place") << Replacement::CopiedInPlace;
    QTest::newRow("moved in") << Replacement::MovedIn;
}

void ReplacedCataloguesTest::init() {
    folder_ = std::make_unique<TemporaryCurrentFolder>();
    launcher_ = std::make_unique<RecordingLauncher>();
}

void ReplacedCataloguesTest::cleanup() {
    DestroyWindowSet();
    launcher_.reset();
    folder_.reset();
}

void ReplacedCataloguesTest::deleteMainRow(int row) {
    Form1->DBGrid1->setCurrentIndex(Form1->DBGrid1->model()->index(row, 1));
    QTest::keyClick(Form1->DBGrid1, Qt::Key_Delete, Qt::ControlModifier);
}

void ReplacedCataloguesTest::driverCatalogueReplaced() {
    QFETCH(Replacement, how);
    if (const QString why = whyImpossibleHere(how); !why.isEmpty()) QSKIP(qPrintable(why));
    const QString path = folder_->filePath(QStringLiteral("vek.mdb"));
    // The same number of rows and the same shape: only the content tells
    // the files apart.
    const QStringList oldNames{QStringLiteral("GeForce 6200"), QStringLiteral("GeForce 7300 GT"),
                               QStringLiteral("Radeon 9600"), QStringLiteral("GeForce 8800")};
    const QStringList newNames{QStringLiteral("Radeon X300"), QStringLiteral("GeForce 7300 GT"),
                               QStringLiteral("GeForce 9500"), QStringLiteral("Realtek RTL8111")};
    Repair(path, driverCatalogue(oldNames));
    AnswerEveryDialogWithOk dialogs;
    CreateWindowSet();
    QVERIFY(QTest::qWaitForWindowExposed(Form1));
    SearchMainWindow(QStringLiteral("GeForce"));
    QCOMPARE(MainWindowNames(), (QStringList{oldNames[0], oldNames[1], oldNames[3]}));

    const QByteArray replacement = driverCatalogue(newNames);
    replace(path, replacement, how);

    // The first row shown, "GeForce 6200", is another row in the new file:
    // nothing is deleted. The second is the same row in both files.
    deleteMainRow(0);
    QCOMPARE(dialogs.take(), (QStringList{DeleteConfirmation(), ErrorBox(kRowNotLocated)}));
    QCOMPARE(MainWindowNames(), (QStringList{oldNames[0], oldNames[1], oldNames[3]}));
    FileState state = stateOf(path, QStringLiteral("table_1"), QStringLiteral("Наименование"));
    QCOMPARE(state.integrity, QStringLiteral("ok"));
    QCOMPARE(state.names, newNames);

    deleteMainRow(1);
    QCOMPARE(dialogs.take(), QStringList{DeleteConfirmation()});
    QCOMPARE(MainWindowNames(), (QStringList{oldNames[0], oldNames[3]}));
    state = stateOf(path, QStringLiteral("table_1"), QStringLiteral("Наименование"));
    QCOMPARE(state.integrity, QStringLiteral("ok"));
    QCOMPARE(state.names, (QStringList{newNames[0], newNames[2], newNames[3]}));

    // The next search reads the new file, and its rows can be deleted.
    SearchMainWindow(QStringLiteral("GeForce"));
    QCOMPARE(dialogs.take(), QStringList());
    QCOMPARE(MainWindowNames(), QStringList{newNames[2]});
    QCOMPARE(Form1->sLabel3->text(), QStringLiteral("1"));
    deleteMainRow(0);
    QCOMPARE(dialogs.take(), QStringList{DeleteConfirmation()});
    state = stateOf(path, QStringLiteral("table_1"), QStringLiteral("Наименование"));
    QCOMPARE(state.integrity, QStringLiteral("ok"));
    QCOMPARE(state.names, (QStringList{newNames[0], newNames[3]}));
    SearchMainWindow(QStringLiteral("GeForce"));
    QCOMPARE(Form1->sLabel3->text(), QStringLiteral("0"));
}

void ReplacedCataloguesTest::deviceCatalogueReplaced() {
    QFETCH(Replacement, how);
    if (const QString why = whyImpossibleHere(how); !why.isEmpty()) QSKIP(qPrintable(why));
    const QString path = folder_->filePath(QStringLiteral("dev.mdb"));
    const QStringList oldDevices{QStringLiteral("PCI\\VEN_10DE&DEV_0393 GeForce 7300 GT"),
                                 QStringLiteral("PCI\\VEN_10EC&DEV_8168 RTL8111")};
    const QStringList newDevices{QStringLiteral("PCI\\VEN_1002&DEV_5B60 Radeon X300"),
                                 QStringLiteral("PCI\\VEN_10EC&DEV_8168 RTL8111")};
    Repair(path, deviceCatalogue(oldDevices));
    AnswerEveryDialogWithOk dialogs;
    Form4 = new TForm4;
    Form4->show();
    QVERIFY(QTest::qWaitForWindowExposed(Form4));
    Form4->Edit1->setText(QStringLiteral("PCI"));
    QTest::mouseClick(Form4->Button2, Qt::LeftButton);
    QCOMPARE(Form4->sLabel3->text(), QStringLiteral("2"));

    replace(path, deviceCatalogue(newDevices), how);

    // An edit of the first row, which the new file holds otherwise, is
    // refused; the second row is the same in both files and takes its edit.
    EditableDBGrid* grid = Form4->DBGrid1;
    const auto edit = [grid](int row, const QString& text) {
        const QModelIndex cell = grid->model()->index(row, 1);
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(cell).center());
        QTest::keyClick(grid, Qt::Key_F2);
        auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
        QVERIFY(editor != nullptr);
        editor->selectAll();
        QTest::keyClicks(editor, text);
        QTest::keyClick(editor, Qt::Key_Return);
        // The editor hands its text over from the event queue; moving to
        // another row writes the row.
        QCoreApplication::processEvents();
        QTest::keyClick(grid, row == 0 ? Qt::Key_Down : Qt::Key_Up);
    };
    edit(0, QStringLiteral("changed first"));
    QCOMPARE(dialogs.take(), QStringList{ErrorBox(kRowNotLocated)});
    QTest::keyClick(grid, Qt::Key_Escape);
    Form4->activateWindow();
    QTRY_VERIFY(Form4->isActiveWindow());
    FileState state = stateOf(path, QStringLiteral("device"), QStringLiteral("device"));
    QCOMPARE(state.integrity, QStringLiteral("ok"));
    QCOMPARE(state.names, newDevices);

    edit(1, QStringLiteral("changed second"));
    QCOMPARE(dialogs.take(), QStringList());
    state = stateOf(path, QStringLiteral("device"), QStringLiteral("device"));
    QCOMPARE(state.integrity, QStringLiteral("ok"));
    QCOMPARE(state.names, (QStringList{newDevices[0], QStringLiteral("changed second")}));

    QTest::mouseClick(Form4->Button2, Qt::LeftButton);
    QCOMPARE(dialogs.take(), QStringList());
    QCOMPARE(Form4->sLabel3->text(), QStringLiteral("1"));
}

QUARROW_TEST_MAIN(ReplacedCataloguesTest)
#include "tst_replaced_catalogues.moc"
