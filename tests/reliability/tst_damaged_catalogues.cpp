// Damaged catalogues through every connection that opens one: the main
// window's (at creation and at each search), the About window's (at each
// showing) and the device window's (at its search). Each damage must give a
// clear error box at the step where the window meets it, leave the window
// usable (a later search or showing with a good file works) and leave the
// file exactly as it was: opening it writes nothing and leaves no journal.
// A damage the connection opens but the search's statement rejects empties
// a grid that showed a result and keeps its count. A read-only or
// write-locked file refuses the grids' writes with an error box and keeps
// the row.
#include "CatalogueWriter.h"
#include "DamagedCatalogues.h"
#include "ModalWindow.h"
#include "TestSupport.h"
#include "about/TForm2.h"
#include "db/Connection.h"
#include "db/Query.h"
#include "devices/TForm4.h"
#include "mainwindow/TForm1.h"
#include "program/Startup.h"
#include "widgets/EditableDBGrid.h"

#include <QAbstractItemModelTester>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTextEdit>
#include <QtTest>
#include <functional>

using namespace quarrow;
using namespace quarrow::test;

namespace {

// Where the window meets the damage.
enum class FailsAt {
    Nothing,    // reads work
    Opening,    // the connection cannot be opened
    Statement,  // the connection opens; the first statement fails
};

constexpr int kRows = 200;
const QString kVersion = QStringLiteral("2026.4");

// Enough rows for the catalogue to span many pages, every one of them found
// by the search below.
QByteArray catalogueContent(const QString& name) {
    QTemporaryDir scratch;
    const QString path = scratch.filePath(name);
    if (name == u"dev.mdb") {
        CatalogueTable table{{QStringLiteral("Код"), QStringLiteral("device")}, {}};
        for (int r = 1; r <= kRows; ++r) {
            table.rows.append(
                {QString::number(r), QStringLiteral("PCI\\VEN_10DE&DEV_%1 GeForce устройство %2")
                                         .arg(r, 4, 16, QChar(u'0'))
                                         .arg(r)});
        }
        WriteDeviceCatalogue(path, QStringLiteral("kavrel"), table);
    } else {
        CatalogueTable table{DriverCatalogueColumns(), {}};
        for (int r = 1; r <= kRows; ++r) {
            table.rows.append({QStringLiteral("GeForce %1 драйвер").arg(r),
                               QStringLiteral("Видеокарта"), QStringLiteral("Windows XP"),
                               QStringLiteral("12 МБ"), QStringLiteral("1.%1").arg(r),
                               QStringLiteral("example.com/%1.zip").arg(r),
                               QStringLiteral("http://example.com/%1.zip").arg(r), kVersion});
        }
        WriteDriverCatalogue(path, QStringLiteral("kavrel"), table);
    }
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

const QByteArray& goodCatalogue(const QString& name) {
    static QMap<QString, QByteArray> made;
    if (!made.contains(name)) made.insert(name, catalogueContent(name));
    return made[name];
}

}  // namespace

Q_DECLARE_METATYPE(FailsAt)

class DamagedCataloguesTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void mainWindowAtCreationAndSearch_data() { damages(QStringLiteral("table_1")); }
    void mainWindowAtCreationAndSearch();
    void aboutWindowAtShowing_data() { damages(QStringLiteral("table_1")); }
    void aboutWindowAtShowing();
    void deviceWindowAtSearch_data() { damages(QStringLiteral("device")); }
    void deviceWindowAtSearch();

private:
    static void damages(const QString& table);
    // Sets the damage up in the current folder; false when this row has run
    // in a child process instead, or could not be set up.
    bool prepare(const QString& name);
    QString file() const { return folder_->filePath(name_); }
    QString expected(QString message) const {
        return message.replace(QStringLiteral("<file>"), QDir::current().absoluteFilePath(name_));
    }
    // The folder once the access damage is lifted, to compare with before_.
    QMap<QString, QString> fingerprintAfterwards();
    // Puts this row's damage over the catalogue that a window holds open,
    // runs `search` and tells whether the file stayed as the damage left it.
    bool damageWhileOpen(const std::function<void()>& search);

    void searchDevices();
    QLineEdit* typeInDeviceCell(int row, int column, const QString& text);

    std::unique_ptr<TemporaryCurrentFolder> folder_;
    std::unique_ptr<RecordingLauncher> launcher_;
    std::unique_ptr<AccessDamage> access_;
    QString name_;
    QMap<QString, QString> before_;
};

void DamagedCataloguesTest::damages(const QString& table) {
    QTest::addColumn<Damage>("damage");
    QTest::addColumn<FailsAt>("failsAt");
    QTest::addColumn<QString>("message");       // of the error box where it fails
    QTest::addColumn<QString>("writeMessage");  // of a refused write; empty: writes not tried
    const QString noTable = QStringLiteral("no such table: %1.").arg(table);
    const QString malformed = QStringLiteral("database disk image is malformed.");
    const QString locked = QStringLiteral("database is locked.");
    QTest::newRow("zero length") << Damage::ZeroLength << FailsAt::Statement << noTable
                                 << QString();
    QTest::newRow("random bytes") << Damage::RandomBytes << FailsAt::Opening
                                  << QStringLiteral("file is not a database.") << QString();
    QTest::newRow("truncated copy")
        << Damage::TruncatedCopy << FailsAt::Opening << malformed << QString();
    QTest::newRow("another program's database")
        << Damage::OtherProgramFile << FailsAt::Statement << noTable << QString();
    QTest::newRow("folder") << Damage::Folder << FailsAt::Opening
                            << QStringLiteral("'<file>' is a folder, not a database file.")
                            << QString();
    QTest::newRow("no read permission")
        << Damage::Unreadable << FailsAt::Opening << QStringLiteral("unable to open database file.")
        << QString();
    QTest::newRow("read-only file") << Damage::ReadOnly << FailsAt::Nothing << QString()
                                    << QStringLiteral("attempt to write a readonly database.");
    QTest::newRow("locked by another writer")
        << Damage::LockedByWriter << FailsAt::Opening << locked << locked;
}

void DamagedCataloguesTest::init() {
    folder_ = std::make_unique<TemporaryCurrentFolder>();
    launcher_ = std::make_unique<RecordingLauncher>();
}

void DamagedCataloguesTest::cleanup() {
    DestroyWindowSet();
    access_.reset();
    launcher_.reset();
    folder_.reset();
}

bool DamagedCataloguesTest::prepare(const QString& name) {
    QFETCH(Damage, damage);
    name_ = name;
    const QString cannotBind = WhyDamageCannotBindHere(damage, folder_->path());
    if (!cannotBind.isEmpty()) {
        QTest::qSkip(qPrintable(cannotBind), __FILE__, __LINE__);
        return false;
    }
    if (NeedsUnprivilegedChild(damage, folder_->path())) {
        RunCurrentRowUnprivileged();
        return false;
    }
    if (const QString impossible = WriteDamaged(damage, file(), goodCatalogue(name));
        !impossible.isEmpty()) {
        QTest::qSkip(qPrintable(impossible), __FILE__, __LINE__);
        return false;
    }
    before_ = Fingerprint(folder_->path());
    access_ = std::make_unique<AccessDamage>(damage, file());
    if (!access_->impossible().isEmpty()) {
        QTest::qSkip(qPrintable(access_->impossible()), __FILE__, __LINE__);
        return false;
    }
    if (!access_->error().isEmpty()) {
        QTest::qFail(qPrintable(access_->error()), __FILE__, __LINE__);
        return false;
    }
    return true;
}

QMap<QString, QString> DamagedCataloguesTest::fingerprintAfterwards() {
    access_->lift();
    return Fingerprint(folder_->path());
}

bool DamagedCataloguesTest::damageWhileOpen(const std::function<void()>& search) {
    QFETCH(Damage, damage);
    WriteDamagedInPlace(damage, file(), goodCatalogue(name_));
    const QMap<QString, QString> damaged = Fingerprint(folder_->path());
    search();
    return Fingerprint(folder_->path()) == damaged;
}

void DamagedCataloguesTest::mainWindowAtCreationAndSearch() {
    QFETCH(FailsAt, failsAt);
    QFETCH(QString, message);
    QFETCH(QString, writeMessage);
    if (!prepare(QStringLiteral("vek.mdb"))) return;
    AnswerEveryDialogWithOk dialogs;
    const QStringList errorAtOpening =
        failsAt == FailsAt::Opening ? QStringList{ErrorBox(expected(message))} : QStringList();
    const QStringList errorAtSearch =
        failsAt == FailsAt::Nothing ? QStringList() : QStringList{ErrorBox(expected(message))};

    Form1 = new TForm1;
    // Every reset the grid's model makes, emptied by a failure too, is checked.
    new QAbstractItemModelTester(Form1->DBGrid1->model(),
                                 QAbstractItemModelTester::FailureReportingMode::QtTest, Form1);
    QCOMPARE(dialogs.take(), errorAtOpening);
    QCOMPARE(Form1->ADOConnection1->isOpen(), failsAt != FailsAt::Opening);
    Form1->show();
    QVERIFY(QTest::qWaitForWindowExposed(Form1));

    SearchMainWindow(QStringLiteral("GeForce"));
    QCOMPARE(dialogs.take(), errorAtSearch);
    QCOMPARE(Form1->ADOConnection1->isOpen(), failsAt != FailsAt::Opening);
    QCOMPARE(Form1->ADOQuery1->isOpen(), failsAt == FailsAt::Nothing);
    QCOMPARE(MainWindowNames().size(), failsAt == FailsAt::Nothing ? kRows : 0);
    QCOMPARE(Form1->sLabel3->text(),
             failsAt == FailsAt::Nothing ? QString::number(kRows) : QString());

    if (!writeMessage.isEmpty()) {
        if (failsAt != FailsAt::Nothing) {
            access_->lift();
            SearchMainWindow(QStringLiteral("GeForce"));
            QCOMPARE(dialogs.take(), QStringList());
            access_->impose();
        }
        const QStringList shown = MainWindowNames();
        Form1->DBGrid1->setCurrentIndex(Form1->DBGrid1->model()->index(1, 1));
        QTest::keyClick(Form1->DBGrid1, Qt::Key_Delete, Qt::ControlModifier);
        QCOMPARE(dialogs.take(),
                 (QStringList{DeleteConfirmation(), ErrorBox(expected(writeMessage))}));
        QCOMPARE(MainWindowNames(), shown);
        QCOMPARE(Form1->DBEdit2->text(), shown[1]);
    }

    QCOMPARE(fingerprintAfterwards(), before_);
    Repair(file(), goodCatalogue(name_));
    SearchMainWindow(QStringLiteral("GeForce"));
    QCOMPARE(dialogs.take(), QStringList());
    QCOMPARE(MainWindowNames().size(), kRows);
    QCOMPARE(Form1->sLabel3->text(), QString::number(kRows));

    if (failsAt == FailsAt::Statement) {
        QVERIFY(damageWhileOpen([this] { SearchMainWindow(QStringLiteral("GeForce")); }));
        QCOMPARE(dialogs.take(), QStringList{ErrorBox(expected(message))});
        QVERIFY(!Form1->ADOQuery1->isOpen());
        QCOMPARE(MainWindowNames(), QStringList());
        QCOMPARE(Form1->sLabel3->text(), QString::number(kRows));
    }
}

void DamagedCataloguesTest::aboutWindowAtShowing() {
    QFETCH(FailsAt, failsAt);
    QFETCH(QString, message);
    // The main window opens the catalogue at start; the damage comes after.
    name_ = QStringLiteral("vek.mdb");
    Repair(file(), goodCatalogue(name_));
    CreateWindowSet();
    QVERIFY(QTest::qWaitForWindowExposed(Form1));
    if (!prepare(name_)) return;
    AnswerEveryDialogWithOk dialogs;

    const QString version = ShowAboutWindow();
    QCOMPARE(dialogs.take(), failsAt == FailsAt::Nothing
                                 ? QStringList()
                                 : QStringList{ErrorBox(expected(message))});
    QCOMPARE(version, failsAt == FailsAt::Nothing ? kVersion : QString());
    QCOMPARE(Form2->ADOConnection1->isOpen(), failsAt != FailsAt::Opening);
    QCOMPARE(Form2->memo->toPlainText().count(u'\n'), 18);  // the About text, once

    QCOMPARE(fingerprintAfterwards(), before_);
    Repair(file(), goodCatalogue(name_));
    QCOMPARE(ShowAboutWindow(), kVersion);
    QCOMPARE(dialogs.take(), QStringList());
}

void DamagedCataloguesTest::searchDevices() {
    Form4->Edit1->setText(QStringLiteral("GeForce"));
    QTest::mouseClick(Form4->Button2, Qt::LeftButton);
}

QLineEdit* DamagedCataloguesTest::typeInDeviceCell(int row, int column, const QString& text) {
    EditableDBGrid* grid = Form4->DBGrid1;
    // The user clicks into the window first: after a confirmation and an
    // error box in a row, nothing gives it the keyboard back by itself.
    Form4->activateWindow();
    if (!QTest::qWaitForWindowActive(Form4)) return nullptr;
    grid->setCurrentIndex(grid->model()->index(row, column));
    QTest::keyClick(grid, Qt::Key_F2);
    auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    if (editor == nullptr) return nullptr;
    editor->selectAll();
    QTest::keyClicks(editor, text);
    QTest::keyClick(editor, Qt::Key_Return);
    QCoreApplication::processEvents();  // the editor hands its text over from the event queue
    return editor;
}

void DamagedCataloguesTest::deviceWindowAtSearch() {
    QFETCH(FailsAt, failsAt);
    QFETCH(QString, message);
    QFETCH(QString, writeMessage);
    if (!prepare(QStringLiteral("dev.mdb"))) return;
    AnswerEveryDialogWithOk dialogs;
    Form4 = new TForm4;
    Form4->show();
    QVERIFY(QTest::qWaitForWindowActive(Form4));
    QCOMPARE(dialogs.take(), QStringList());
    QVERIFY(!Form4->ADOConnection1->isOpen());

    searchDevices();
    QCOMPARE(dialogs.take(), failsAt == FailsAt::Nothing
                                 ? QStringList()
                                 : QStringList{ErrorBox(expected(message))});
    QCOMPARE(Form4->ADOConnection1->isOpen(), failsAt != FailsAt::Opening);
    QCOMPARE(Form4->ADOQuery1->isOpen(), failsAt == FailsAt::Nothing);
    const QAbstractItemModel* model = Form4->DBGrid1->model();
    QCOMPARE(model->rowCount(), failsAt == FailsAt::Nothing ? kRows : 0);
    QCOMPARE(Form4->sLabel3->text(),
             failsAt == FailsAt::Nothing ? QString::number(kRows) : QStringLiteral("0"));

    if (!writeMessage.isEmpty()) {
        if (failsAt != FailsAt::Nothing) {
            access_->lift();
            searchDevices();
            QCOMPARE(dialogs.take(), QStringList());
            access_->impose();
        }
        const QString refused = ErrorBox(expected(writeMessage));
        const QString second = model->index(1, 1).data().toString();
        EditableDBGrid* grid = Form4->DBGrid1;

        grid->setCurrentIndex(model->index(1, 1));
        QTest::keyClick(grid, Qt::Key_Delete, Qt::ControlModifier);
        QCOMPARE(dialogs.take(), (QStringList{DeleteConfirmation(), refused}));
        QCOMPARE(model->rowCount(), kRows);
        QCOMPARE(model->index(1, 1).data().toString(), second);

        // A change, and a new row after the last: each refused when the
        // grid writes it on leaving the row, and dropped with Esc.
        QVERIFY(typeInDeviceCell(1, 1, QStringLiteral("changed")) != nullptr);
        QTest::keyClick(grid, Qt::Key_Up);
        QCOMPARE(dialogs.take(), QStringList{refused});
        QCOMPARE(grid->currentIndex().row(), 1);
        QTest::keyClick(grid, Qt::Key_Escape);
        QCOMPARE(model->index(1, 1).data().toString(), second);

        grid->setCurrentIndex(model->index(kRows - 1, 1));
        QTest::keyClick(grid, Qt::Key_Down);
        QVERIFY(typeInDeviceCell(kRows, 1, QStringLiteral("added")) != nullptr);
        QTest::keyClick(grid, Qt::Key_Up);
        QCOMPARE(dialogs.take(), QStringList{refused});
        QTest::keyClick(grid, Qt::Key_Escape);
        QCOMPARE(model->rowCount(), kRows);
    }

    QCOMPARE(fingerprintAfterwards(), before_);
    Repair(file(), goodCatalogue(name_));
    searchDevices();
    QCOMPARE(dialogs.take(), QStringList());
    QCOMPARE(model->rowCount(), kRows);
    QCOMPARE(Form4->sLabel3->text(), QString::number(kRows));

    if (failsAt == FailsAt::Statement) {
        QVERIFY(damageWhileOpen([this] { searchDevices(); }));
        QCOMPARE(dialogs.take(), QStringList{ErrorBox(expected(message))});
        QVERIFY(!Form4->ADOQuery1->isOpen());
        QCOMPARE(model->rowCount(), 0);
        QCOMPARE(Form4->sLabel3->text(), QString::number(kRows));
    }
}

QUARROW_TEST_MAIN(DamagedCataloguesTest)
#include "tst_damaged_catalogues.moc"
