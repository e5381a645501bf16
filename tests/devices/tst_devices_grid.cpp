#include "DevicesFixture.h"
#include "TestSupport.h"
#include "db/Query.h"
#include "devices/TForm4.h"
#include "widgets/EditableDBGrid.h"

#include <QAbstractItemModelTester>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>
#include <optional>

using namespace quarrow;
using namespace quarrow::test;

namespace {

const QStringList kRows{QStringLiteral("1|PCI\\VEN_10DE&DEV_0393 GeForce 7300 GT"),
                        QStringLiteral("2|PCI\\VEN_8086&DEV_27DC Intel PRO/100 VE"),
                        QStringLiteral("3|USB\\VID_046D&PID_C52B Logitech Unifying")};

const QString kCurrent = QStringLiteral("\u25B6");
const QString kEditing = QStringLiteral("I");
const QString kNew = QStringLiteral("*");

enum class Leave { DownInEditor, EnterThenUp, ClickOtherRow, NewSearch };

}  // namespace

Q_DECLARE_METATYPE(Leave)

class DeviceGridTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void keystrokeStartsEditingTheCell();
    void typingRightAfterAClickEditsTheClickedCell_data();
    void typingRightAfterAClickEditsTheClickedCell();
    void clickOnTheCurrentCellOpensItsEditor();
    void changeIsWrittenWhenLeavingTheRow_data();
    void changeIsWrittenWhenLeavingTheRow();
    void escapeDropsTheChange_data();
    void escapeDropsTheChange();
    void newRowIsWrittenWhenLeftWithAValue_data();
    void newRowIsWrittenWhenLeftWithAValue();
    void newRowTakesATypedCode();
    void newRowsInAnEmptyResult();
    void untouchedNewRowIsDropped_data();
    void untouchedNewRowIsDropped();
    void deletionAsksFirst_data();
    void deletionAsksFirst();
    void refusedChangeLeavesFileAndGrid_data();
    void refusedChangeLeavesFileAndGrid();
    void refusedChangeStopsTheSearch();
    void refusedDeletionKeepsTheRow();
    void changedCodeKeepsTheRowEditable();
    void closingTheWindowWritesTheChangedRow_data();
    void closingTheWindowWritesTheChangedRow();
    void refusedWriteKeepsTheWindowOpen();

private:
    void createWindow();
    void search(const QString& text);
    EditableDBGrid* grid() const { return Form4->DBGrid1; }
    QAbstractItemModel* model() const { return Form4->DBGrid1->model(); }
    QString catalogue() const { return folder_->filePath(QStringLiteral("dev.mdb")); }
    QString indicator(int row) const {
        return model()->headerData(row, Qt::Vertical, Qt::DisplayRole).toString();
    }
    QStringList indicators() const;
    void clickCell(int row, int column);
    QLineEdit* typeInCell(int row, int column, const QString& text);
    QLineEdit* typeHere(const QString& text);
    void pressEnter(QLineEdit* editor);
    // Keys go where a keyboard's keys go: to the widget with the focus.
    static void typeIntoFocus(const QString& text);

    std::unique_ptr<TemporaryCurrentFolder> folder_;
    std::unique_ptr<RecordingLauncher> launcher_;
};

void DeviceGridTest::init() {
    folder_ = std::make_unique<TemporaryCurrentFolder>();
    launcher_ = std::make_unique<RecordingLauncher>();
    WriteDevices(catalogue(), kRows);
    createWindow();
    search(QStringLiteral("_"));
}

void DeviceGridTest::cleanup() {
    delete Form4;
    Form4 = nullptr;
    launcher_.reset();
    folder_.reset();
}

void DeviceGridTest::createWindow() {
    Form4 = new TForm4;
    Form4->makeContents();
    new QAbstractItemModelTester(Form4->DBGrid1->model(),
                                 QAbstractItemModelTester::FailureReportingMode::QtTest, Form4);
    Form4->show();
    QVERIFY(QTest::qWaitForWindowActive(Form4));
}

void DeviceGridTest::search(const QString& text) {
    Form4->Edit1->setText(text);
    QTest::mouseClick(Form4->Button2, Qt::LeftButton);
}

QStringList DeviceGridTest::indicators() const {
    QStringList marks;
    for (int r = 0; r < model()->rowCount(); ++r) marks.append(indicator(r));
    return marks;
}

void DeviceGridTest::clickCell(int row, int column) {
    const QModelIndex index = model()->index(row, column);
    // A click on the current cell would start editing it after a delay.
    if (grid()->currentIndex() == index) return;
    QTest::mouseClick(grid()->viewport(), Qt::LeftButton, {}, grid()->visualRect(index).center());
}

QLineEdit* DeviceGridTest::typeHere(const QString& text) {
    QTest::keyClick(grid(), Qt::Key_F2);
    auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    if (editor == nullptr) return nullptr;
    editor->selectAll();
    QTest::keyClicks(editor, text);
    return editor;
}

QLineEdit* DeviceGridTest::typeInCell(int row, int column, const QString& text) {
    clickCell(row, column);
    return typeHere(text);
}

void DeviceGridTest::pressEnter(QLineEdit* editor) {
    QTest::keyClick(editor, Qt::Key_Return);
    // The editor hands its text over from the event queue.
    QCoreApplication::processEvents();
}

void DeviceGridTest::typeIntoFocus(const QString& text) {
    for (const QChar c : text) QTest::keyClick(QApplication::focusWidget(), c.toLatin1());
}

void DeviceGridTest::typingRightAfterAClickEditsTheClickedCell_data() {
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("typed");
    // The first key typed begins the next row's value.
    QTest::newRow("ID") << 0 << QStringLiteral("25");
    QTest::newRow("device") << 1 << QStringLiteral("USB\\VID_0781&PID_5567 SanDisk Cruzer");
}

void DeviceGridTest::typingRightAfterAClickEditsTheClickedCell() {
    QFETCH(int, column);
    QFETCH(QString, typed);
    clickCell(0, column);
    QCOMPARE(grid()->currentIndex(), model()->index(0, column));
    // Clicked again and typed into before a double click could have come.
    const QModelIndex aimed = model()->index(0, column);
    QTest::mouseClick(grid()->viewport(), Qt::LeftButton, {}, grid()->visualRect(aimed).center());
    typeIntoFocus(typed);
    QCOMPARE(grid()->currentIndex(), aimed);
    auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    QVERIFY(editor != nullptr);
    QCOMPARE(editor->text(), typed);
    QTest::keyClick(editor, Qt::Key_Down);

    QStringList expected = kRows;
    expected[0] = column == 0 ? QStringLiteral("25|") + kRows[0].section(u'|', 1)
                              : QStringLiteral("1|") + typed;
    QCOMPARE(ShownRows(model()), expected);
    QCOMPARE(grid()->currentIndex().row(), 1);
    std::sort(expected.begin(), expected.end(), [](const QString& a, const QString& b) {
        return a.section(u'|', 0, 0).toInt() < b.section(u'|', 0, 0).toInt();
    });
    QCOMPARE(StoredDevices(catalogue()), expected);
}

void DeviceGridTest::clickOnTheCurrentCellOpensItsEditor() {
    clickCell(1, 1);
    const QModelIndex clicked = model()->index(1, 1);
    QTest::mouseClick(grid()->viewport(), Qt::LeftButton, {}, grid()->visualRect(clicked).center());
    QTRY_VERIFY(qobject_cast<QLineEdit*>(QApplication::focusWidget()) != nullptr);
    auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    QCOMPARE(editor->text(), kRows[1].section(u'|', 1));
    QCOMPARE(grid()->currentIndex(), clicked);
    QTest::keyClick(editor, Qt::Key_Escape);

    // A double click opens none: the first click of it selects.
    const QModelIndex other = model()->index(2, 1);
    QTest::mouseClick(grid()->viewport(), Qt::LeftButton, {}, grid()->visualRect(other).center());
    QTest::mouseDClick(grid()->viewport(), Qt::LeftButton, {}, grid()->visualRect(other).center());
    QTest::qWait(QApplication::doubleClickInterval() + 100);
    QCOMPARE(QApplication::focusWidget(), grid());
    QCOMPARE(StoredDevices(catalogue()), kRows);
}

void DeviceGridTest::keystrokeStartsEditingTheCell() {
    clickCell(1, 1);
    QTest::keyClicks(grid(), QStringLiteral("X"));
    auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    QVERIFY(editor != nullptr);
    QCOMPARE(editor->text(), QStringLiteral("X"));
    pressEnter(editor);
    QCOMPARE(model()->index(1, 1).data().toString(), QStringLiteral("X"));
    QCOMPARE(indicators(), (QStringList{QString(), kEditing, QString()}));
    QCOMPARE(StoredDevices(catalogue()), kRows);
}

void DeviceGridTest::changeIsWrittenWhenLeavingTheRow_data() {
    QTest::addColumn<Leave>("leave");
    QTest::addColumn<int>("currentAfter");
    QTest::newRow("down arrow in the editor") << Leave::DownInEditor << 2;
    QTest::newRow("Enter, then up arrow") << Leave::EnterThenUp << 0;
    QTest::newRow("click on another row") << Leave::ClickOtherRow << 0;
    QTest::newRow("a new search") << Leave::NewSearch << 0;
}

void DeviceGridTest::changeIsWrittenWhenLeavingTheRow() {
    QFETCH(Leave, leave);
    QFETCH(int, currentAfter);
    const QString changed = QStringLiteral("PCI\\VEN_8086&DEV_24C2 Intel 82801DB USB");
    QLineEdit* editor = typeInCell(1, 1, changed);
    QVERIFY(editor != nullptr);
    if (leave != Leave::DownInEditor) {
        pressEnter(editor);
        QCOMPARE(indicators(), (QStringList{QString(), kEditing, QString()}));
        QCOMPARE(model()->index(1, 1).data().toString(), changed);
    }
    QCOMPARE(StoredDevices(catalogue()), kRows);

    switch (leave) {
        case Leave::DownInEditor:
            QTest::keyClick(editor, Qt::Key_Down);
            break;
        case Leave::EnterThenUp:
            QTest::keyClick(grid(), Qt::Key_Up);
            break;
        case Leave::ClickOtherRow:
            clickCell(0, 0);
            break;
        case Leave::NewSearch:
            search(QStringLiteral("_"));
            break;
    }

    QStringList expected = kRows;
    expected[1] = QStringLiteral("2|") + changed;
    QCOMPARE(StoredDevices(catalogue()), expected);
    QCOMPARE(ShownRows(model()), expected);
    QCOMPARE(grid()->currentIndex().row(), currentAfter);
    QCOMPARE(Form4->ADOQuery1->currentRow(), currentAfter);
    QCOMPARE(indicator(currentAfter), kCurrent);
    QVERIFY(!indicators().contains(kEditing));
    QCOMPARE(Form4->sLabel3->text(), QStringLiteral("3"));
}

void DeviceGridTest::escapeDropsTheChange_data() {
    QTest::addColumn<bool>("enterFirst");
    QTest::addColumn<bool>("secondCell");
    QTest::newRow("Esc in the editor") << false << false;
    QTest::newRow("Esc in the grid after Enter") << true << false;
    QTest::newRow("two cells: Esc in the editor, then in the grid") << true << true;
}

void DeviceGridTest::escapeDropsTheChange() {
    QFETCH(bool, enterFirst);
    QFETCH(bool, secondCell);
    QLineEdit* editor = typeInCell(1, 1, QStringLiteral("typed by mistake"));
    QVERIFY(editor != nullptr);
    if (enterFirst) pressEnter(editor);
    if (secondCell) {
        QTest::keyClick(grid(), Qt::Key_Left);
        editor = typeHere(QStringLiteral("9"));
        QVERIFY(editor != nullptr);
    }
    if (!enterFirst || secondCell) QTest::keyClick(editor, Qt::Key_Escape);
    if (enterFirst) {
        QCOMPARE(indicator(1), kEditing);
        QTest::keyClick(grid(), Qt::Key_Escape);
    }

    QCOMPARE(ShownRows(model()), kRows);
    QCOMPARE(indicators(), (QStringList{QString(), kCurrent, QString()}));
    QTest::keyClick(grid(), Qt::Key_Down);
    QCOMPARE(grid()->currentIndex().row(), 2);
    QCOMPARE(StoredDevices(catalogue()), kRows);
    QCOMPARE(ShownRows(model()), kRows);
}

void DeviceGridTest::newRowIsWrittenWhenLeftWithAValue_data() {
    QTest::addColumn<bool>("append");
    QTest::addColumn<int>("at");
    QTest::newRow("Insert above the current row") << false << 1;
    QTest::newRow("down arrow on the last row") << true << 3;
}

void DeviceGridTest::newRowIsWrittenWhenLeftWithAValue() {
    QFETCH(bool, append);
    QFETCH(int, at);
    const QString added = QStringLiteral("PCI\\VEN_1002&DEV_9802 AMD Radeon HD 6310");
    clickCell(append ? 2 : 1, 1);
    QTest::keyClick(grid(), append ? Qt::Key_Down : Qt::Key_Insert);
    QCOMPARE(model()->rowCount(), 4);
    QCOMPARE(grid()->currentIndex().row(), at);
    QCOMPARE(indicator(at), kNew);
    QCOMPARE(model()->index(at, 0).data().toString(), QString());

    QLineEdit* editor = typeHere(added);
    QVERIFY(editor != nullptr);
    pressEnter(editor);
    QCOMPARE(StoredDevices(catalogue()), kRows);
    QTest::keyClick(grid(), Qt::Key_Up);

    // The catalogue numbers the new row itself.
    const QString stored = QStringLiteral("4|") + added;
    QCOMPARE(StoredDevices(catalogue()), QStringList(kRows) << stored);
    QStringList shown = kRows;
    shown.insert(at, stored);
    QCOMPARE(ShownRows(model()), shown);
    QCOMPARE(grid()->currentIndex().row(), at - 1);
    QCOMPARE(Form4->ADOQuery1->currentRow(), at - 1);
    QVERIFY(!indicators().contains(kNew));
    QCOMPARE(Form4->sLabel3->text(), QStringLiteral("3"));

    search(QStringLiteral("_"));
    QCOMPARE(Form4->sLabel3->text(), QStringLiteral("4"));
}

void DeviceGridTest::newRowTakesATypedCode() {
    clickCell(2, 0);
    QTest::keyClick(grid(), Qt::Key_Down);
    QLineEdit* editor = typeHere(QStringLiteral("10"));
    QVERIFY(editor != nullptr);
    QTest::keyClick(editor, Qt::Key_Tab);
    editor = typeHere(QStringLiteral("USB\\VID_0781&PID_5567 SanDisk Cruzer"));
    QVERIFY(editor != nullptr);
    QTest::keyClick(editor, Qt::Key_Up);
    const QStringList expected = QStringList(kRows)
                                 << QStringLiteral("10|USB\\VID_0781&PID_5567 SanDisk Cruzer");
    QCOMPARE(StoredDevices(catalogue()), expected);
    QCOMPARE(ShownRows(model()), expected);
}

void DeviceGridTest::newRowsInAnEmptyResult() {
    search(QStringLiteral("no such device"));
    QCOMPARE(model()->rowCount(), 0);
    QTest::keyClick(grid(), Qt::Key_Insert);
    QCOMPARE(indicators(), QStringList{kNew});
    clickCell(0, 1);
    QLineEdit* editor = typeHere(QStringLiteral("first"));
    QVERIFY(editor != nullptr);
    pressEnter(editor);

    // Down on a new row with a value writes it and starts the next one.
    QTest::keyClick(grid(), Qt::Key_Down);
    const QString stored = QStringLiteral("4|first");
    QCOMPARE(StoredDevices(catalogue()), QStringList(kRows) << stored);
    QCOMPARE(ShownRows(model()), (QStringList{stored, QStringLiteral("|")}));
    QCOMPARE(indicators(), (QStringList{QString(), kNew}));

    QTest::keyClick(grid(), Qt::Key_Up);
    QCOMPARE(ShownRows(model()), QStringList{stored});
    QCOMPARE(indicators(), QStringList{kCurrent});
    QCOMPARE(Form4->sLabel3->text(), QStringLiteral("0"));
}

void DeviceGridTest::untouchedNewRowIsDropped_data() {
    QTest::addColumn<QString>("how");
    for (const char* how : {"Insert, up arrow", "down arrow at the end, down again, up arrow",
                            "Insert, focus to the text box", "Insert, Esc",
                            "Insert, typed and erased, up arrow", "Insert, Ctrl+Delete, OK"}) {
        QTest::newRow(how) << QString::fromLatin1(how);
    }
}

void DeviceGridTest::untouchedNewRowIsDropped() {
    QFETCH(QString, how);
    const bool atEnd = how.startsWith(u"down");
    const int from = atEnd ? 2 : 1;
    clickCell(from, 1);
    QTest::keyClick(grid(), atEnd ? Qt::Key_Down : Qt::Key_Insert);
    QCOMPARE(model()->rowCount(), 4);
    const int at = grid()->currentIndex().row();
    QCOMPARE(indicator(at), kNew);

    if (how.contains(u"down again")) {
        QTest::keyClick(grid(), Qt::Key_Down);
        QCOMPARE(model()->rowCount(), 4);
        QCOMPARE(grid()->currentIndex().row(), at);
    }
    if (how.contains(u"typed and erased")) {
        QLineEdit* editor = typeHere(QStringLiteral("a"));
        QVERIFY(editor != nullptr);
        QTest::keyClick(editor, Qt::Key_Backspace);
        pressEnter(editor);
    }
    if (how.endsWith(u"up arrow")) QTest::keyClick(grid(), Qt::Key_Up);
    if (how.contains(u"text box")) QTest::mouseClick(Form4->Edit1, Qt::LeftButton);
    if (how.contains(u"Esc")) QTest::keyClick(grid(), Qt::Key_Escape);
    if (how.contains(u"Ctrl+Delete")) {
        const auto seen = AnswerNextDialog(QStringLiteral("OK"));
        QTest::keyClick(grid(), Qt::Key_Delete, Qt::ControlModifier);
        QVERIFY(seen->seen);
        QCOMPARE(seen->text, QStringLiteral("Delete record?"));
    }

    QCOMPARE(ShownRows(model()), kRows);
    QVERIFY(!indicators().contains(kNew));
    QVERIFY(grid()->currentIndex().isValid());
    QCOMPARE(Form4->ADOQuery1->currentRow(), grid()->currentIndex().row());
    QCOMPARE(StoredDevices(catalogue()), kRows);
}

void DeviceGridTest::deletionAsksFirst_data() {
    QTest::addColumn<QString>("answer");  // empty: Esc
    QTest::addColumn<bool>("deleted");
    QTest::newRow("OK") << QStringLiteral("OK") << true;
    QTest::newRow("Cancel") << QStringLiteral("Cancel") << false;
    QTest::newRow("Esc") << QString() << false;
}

void DeviceGridTest::deletionAsksFirst() {
    QFETCH(QString, answer);
    QFETCH(bool, deleted);
    clickCell(1, 1);
    const auto seen = AnswerNextDialog(answer);
    QTest::keyClick(grid(), Qt::Key_Delete, Qt::ControlModifier);
    QVERIFY(seen->seen);
    QCOMPARE(seen->title, QStringLiteral("Confirm"));
    QCOMPARE(seen->text, QStringLiteral("Delete record?"));
    QCOMPARE(seen->buttons, (QStringList{QStringLiteral("OK"), QStringLiteral("Cancel")}));

    QStringList expected = kRows;
    if (deleted) expected.removeAt(1);
    QCOMPARE(StoredDevices(catalogue()), expected);
    QCOMPARE(ShownRows(model()), expected);
    // The row that took the deleted one's place is current.
    QCOMPARE(grid()->currentIndex().row(), 1);
    QCOMPARE(Form4->ADOQuery1->fieldByName(QStringLiteral("Код")),
             deleted ? QStringLiteral("3") : QStringLiteral("2"));
    QCOMPARE(Form4->sLabel3->text(), QStringLiteral("3"));
}

void DeviceGridTest::refusedChangeLeavesFileAndGrid_data() {
    QTest::addColumn<bool>("locked");  // by another writer while the row is written
    QTest::addColumn<bool>("newRow");
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("message");
    QTest::newRow("text into ID") << false << false << 0 << QStringLiteral("abc")
                                  << QStringLiteral("datatype mismatch.");
    QTest::newRow("another row's ID") << false << false << 0 << QStringLiteral("3")
                                      << QStringLiteral("UNIQUE constraint failed: device.Код.");
    QTest::newRow("new row with a taken ID")
        << false << true << 0 << QStringLiteral("1")
        << QStringLiteral("UNIQUE constraint failed: device.Код.");
    QTest::newRow("catalogue refuses changes")
        << true << false << 1 << QStringLiteral("x") << QStringLiteral("database is locked.");
    QTest::newRow("catalogue refuses new rows")
        << true << true << 1 << QStringLiteral("x") << QStringLiteral("database is locked.");
}

void DeviceGridTest::refusedChangeLeavesFileAndGrid() {
    QFETCH(bool, locked);
    QFETCH(bool, newRow);
    QFETCH(int, column);
    QFETCH(QString, typed);
    QFETCH(QString, message);

    const int row = newRow ? 3 : 1;
    clickCell(newRow ? 2 : 1, column);
    if (newRow) QTest::keyClick(grid(), Qt::Key_Down);
    QLineEdit* editor = typeHere(typed);
    QVERIFY(editor != nullptr);
    pressEnter(editor);
    const QString mark = indicator(row);

    std::optional<WriteLock> lock;
    if (locked) QVERIFY(lock.emplace(catalogue()).isHeld());
    const auto seen = AnswerNextDialog(QStringLiteral("OK"));
    QTest::keyClick(grid(), Qt::Key_Up);
    lock.reset();
    QVERIFY(seen->seen);
    QCOMPARE(seen->objectName, QStringLiteral("AppMessageBox"));
    QCOMPARE(seen->title, QStringLiteral("Quarrow"));
    QCOMPARE(seen->text, message);

    // Nothing written; the user stays on the row with what was typed.
    QCOMPARE(StoredDevices(catalogue()), kRows);
    QCOMPARE(grid()->currentIndex().row(), row);
    QCOMPARE(indicator(row), mark);
    QCOMPARE(model()->index(row, column).data().toString(), typed);
    QCOMPARE(grid()->selectionModel()->selectedIndexes(), QModelIndexList{grid()->currentIndex()});

    QTest::keyClick(grid(), Qt::Key_Escape);
    QCOMPARE(ShownRows(model()), kRows);
    QTest::keyClick(grid(), Qt::Key_Up);
    QCOMPARE(StoredDevices(catalogue()), kRows);
    QCOMPARE(ShownRows(model()), kRows);
    QCOMPARE(Form4->sLabel3->text(), QStringLiteral("3"));
}

void DeviceGridTest::refusedChangeStopsTheSearch() {
    QLineEdit* editor = typeInCell(0, 0, QStringLiteral("abc"));
    QVERIFY(editor != nullptr);
    Form4->CheckBox1->setChecked(true);
    const auto seen = AnswerNextDialog(QStringLiteral("OK"));
    search(QStringLiteral("Intel"));
    QVERIFY(seen->seen);
    QCOMPARE(seen->text, QStringLiteral("datatype mismatch."));
    // The lookup went out before the catalogue was touched; the result and
    // the change wait for the user.
    QCOMPARE(launcher_->targets.size(), 1);
    QCOMPARE(model()->rowCount(), 3);
    QCOMPARE(model()->index(0, 0).data().toString(), QStringLiteral("abc"));
    QCOMPARE(indicator(0), kEditing);
    QCOMPARE(Form4->sLabel3->text(), QStringLiteral("3"));

    clickCell(0, 0);
    QTest::keyClick(grid(), Qt::Key_Escape);
    search(QStringLiteral("Intel"));
    QCOMPARE(ShownRows(model()), QStringList{kRows[1]});
    QCOMPARE(StoredDevices(catalogue()), kRows);
}

void DeviceGridTest::refusedDeletionKeepsTheRow() {
    clickCell(1, 1);
    std::optional<WriteLock> lock(std::in_place, catalogue());
    QVERIFY(lock->isHeld());
    const auto confirm = std::make_shared<SeenDialog>();
    const auto error = std::make_shared<SeenDialog>();
    WhenNextDialogAppears([confirm, error](QWidget* dialog) {
        *confirm = Describe(dialog);
        WhenNextDialogAppears([error](QWidget* box) {
            *error = Describe(box);
            QTest::keyClick(box, Qt::Key_Return);
        });
        QTest::keyClick(dialog, Qt::Key_Return);
    });
    QTest::keyClick(grid(), Qt::Key_Delete, Qt::ControlModifier);
    QVERIFY(confirm->seen);
    QTRY_VERIFY(error->seen);
    lock.reset();
    QCOMPARE(error->text, QStringLiteral("database is locked."));
    QCOMPARE(StoredDevices(catalogue()), kRows);
    QCOMPARE(ShownRows(model()), kRows);
    QCOMPARE(grid()->currentIndex().row(), 1);
}

void DeviceGridTest::changedCodeKeepsTheRowEditable() {
    QLineEdit* editor = typeInCell(0, 0, QStringLiteral("7"));
    QVERIFY(editor != nullptr);
    QTest::keyClick(editor, Qt::Key_Down);
    QCOMPARE(StoredDevices(catalogue()),
             (QStringList{kRows[1], kRows[2],
                          QStringLiteral("7|PCI\\VEN_10DE&DEV_0393 GeForce 7300 GT")}));
    QCOMPARE(model()->index(0, 0).data().toString(), QStringLiteral("7"));

    editor = typeInCell(0, 1, QStringLiteral("renamed"));
    QVERIFY(editor != nullptr);
    QTest::keyClick(editor, Qt::Key_Down);
    QCOMPARE(StoredDevices(catalogue()),
             (QStringList{kRows[1], kRows[2], QStringLiteral("7|renamed")}));
    QCOMPARE(ShownRows(model()), (QStringList{QStringLiteral("7|renamed"), kRows[1], kRows[2]}));

    const auto seen = AnswerNextDialog(QStringLiteral("OK"));
    clickCell(0, 1);
    QTest::keyClick(grid(), Qt::Key_Delete, Qt::ControlModifier);
    QVERIFY(seen->seen);
    QCOMPARE(StoredDevices(catalogue()), (QStringList{kRows[1], kRows[2]}));
}

void DeviceGridTest::closingTheWindowWritesTheChangedRow_data() {
    QTest::addColumn<QString>("how");
    QTest::addColumn<bool>("written");
    QTest::newRow("typed, Enter") << QStringLiteral("Enter") << true;
    QTest::newRow("typed, the editor still open") << QStringLiteral("editor") << true;
    QTest::newRow("new row, Enter") << QStringLiteral("new row") << true;
    QTest::newRow("typed, Enter, Esc") << QStringLiteral("Esc") << false;
    QTest::newRow("untouched new row") << QStringLiteral("untouched") << false;
}

void DeviceGridTest::closingTheWindowWritesTheChangedRow() {
    QFETCH(QString, how);
    QFETCH(bool, written);
    const QString typed = QStringLiteral("PCI\\VEN_8086&DEV_24C2 Intel 82801DB USB");
    const bool newRow = how.contains(u"new row") || how == u"untouched";
    clickCell(newRow ? 2 : 1, 1);
    if (newRow) QTest::keyClick(grid(), Qt::Key_Down);
    if (how != u"untouched") {
        QLineEdit* editor = typeHere(typed);
        QVERIFY(editor != nullptr);
        if (how != u"editor") pressEnter(editor);
        if (how == u"Esc") QTest::keyClick(grid(), Qt::Key_Escape);
    }
    QCOMPARE(StoredDevices(catalogue()), kRows);

    ShownDialogs dialogs(true);
    QVERIFY(Form4->close());
    QVERIFY(!Form4->isVisible());
    QCOMPARE(dialogs.dialogs.size(), 0);
    QStringList expected = kRows;
    if (written && newRow) expected.append(QStringLiteral("4|") + typed);
    if (written && !newRow) expected[1] = QStringLiteral("2|") + typed;
    QCOMPARE(StoredDevices(catalogue()), expected);

    // Shown again, the grid shows the file's rows, with no change pending.
    Form4->show();
    QVERIFY(QTest::qWaitForWindowActive(Form4));
    QVERIFY(!indicators().contains(kEditing) && !indicators().contains(kNew));
    QStringList shown = kRows;
    if (written && newRow) shown.append(expected.last());
    if (written && !newRow) shown[1] = expected[1];
    QCOMPARE(ShownRows(model()), shown);
}

void DeviceGridTest::refusedWriteKeepsTheWindowOpen() {
    QLineEdit* editor = typeInCell(1, 1, QStringLiteral("typed"));
    QVERIFY(editor != nullptr);
    pressEnter(editor);
    {
        WriteLock lock(catalogue());
        QVERIFY(lock.isHeld());
        const auto seen = AnswerNextDialog(QStringLiteral("OK"));
        QVERIFY(!Form4->close());
        QVERIFY(seen->seen);
        QCOMPARE(seen->objectName, QStringLiteral("AppMessageBox"));
        QCOMPARE(seen->text, QStringLiteral("database is locked."));
    }
    // The window stays, with what was typed, for the user to retry or drop.
    QVERIFY(Form4->isVisible());
    QCOMPARE(indicator(1), kEditing);
    QCOMPARE(model()->index(1, 1).data().toString(), QStringLiteral("typed"));
    QCOMPARE(StoredDevices(catalogue()), kRows);

    QTest::keyClick(grid(), Qt::Key_Escape);
    QVERIFY(Form4->close());
    QCOMPARE(StoredDevices(catalogue()), kRows);
}

QUARROW_TEST_MAIN(DeviceGridTest)
#include "tst_devices_grid.moc"
