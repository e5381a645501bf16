#include "CatalogueWriter.h"
#include "ModalWindow.h"
#include "SampleComputer.h"
#include "TestSupport.h"
#include "db/Connection.h"
#include "devices/DeviceListModel.h"
#include "devices/TForm4.h"
#include "devices/TForm5.h"
#include "forms/ShowModal.h"
#include "mainwindow/TForm1.h"
#include "program/Startup.h"
#include "shell/Endpoints.h"

#include <sqlite3.h>
#include <QAbstractItemModelTester>
#include <QCheckBox>
#include <QClipboard>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QtTest>

using namespace quarrow;
using namespace quarrow::test;

namespace {

const QString kChooseDriver = QStringLiteral("Выберите в таблице драйвер ,а за тем качать !!!");
const QString kNothingFound =
    QStringLiteral("Драйвер не найден измените поисковый запрос, либо сообщите в службу поддержки");

// Rows of the sample list, by what they are.
enum SampleRow {
    HostBridge = 0,
    VendorOnly = 1,
    UsbWithoutDriver = 2,
    LanController = 3,
    SataController = 4,
    GraphicsCard = 5,
    UnknownDevice = 6,
    UsbReceiver = 7,
};

QStringList shownRows(const QAbstractItemModel* model) {
    QStringList rows;
    for (int row = 0; row < model->rowCount(); ++row) {
        QStringList cells;
        for (int column = 0; column < model->columnCount(); ++column) {
            cells.append(model->index(row, column).data().toString());
        }
        rows.append(cells.join(u'|'));
    }
    return rows;
}

QStringList codesShown(const QAbstractItemModel* model) {
    QStringList codes;
    for (int row = 0; row < model->rowCount(); ++row) {
        codes.append(model->index(row, 1).data().toString().section(u' ', 0, 0));
    }
    return codes;
}

void selectRow(int row) { Form5->Grid1->setCurrentIndex(Form5->Grid1Model->index(row, 0)); }

}  // namespace

class DeviceListWindowTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void createdHiddenAndReadAtEveryShowing();
    void windowDeclaration();
    void listsDevicesWithoutDriverFirstAndMarked();
    void waitCursorWhileReading();
    void enterAndDoubleClickSearchTheUnknownDeviceWindow_data();
    void enterAndDoubleClickSearchTheUnknownDeviceWindow();
    void openedFromTheUnknownDeviceWindow();
    void unknownDeviceWindowGoesBackToTheList();
    void driversButtonRunsTheMainWindowsSearch_data();
    void driversButtonRunsTheMainWindowsSearch();
    void driversButtonNeedsADeviceName();
    void ctrlCCopiesTheId();
    void missingCatalogueStillListsTheDevices();
    void catalogueHeldByTheUnknownDeviceWindow();
    void noDevices();
    void longNamesAreCutShort();

private:
    // Shows the device list as "ДУ" does where the desktop runs no scripts,
    // and runs `inside` while it shows; `inside` must end the showing.
    void showDeviceList(std::function<void()> inside);
    QString catalogue() const { return folder_->filePath(QStringLiteral("dev.mdb")); }

    std::unique_ptr<TemporaryCurrentFolder> folder_;
    std::unique_ptr<RecordingLauncher> launcher_;
    HardwareScan computer_;
    int readings_ = 0;
};

void DeviceListWindowTest::init() {
    folder_ = std::make_unique<TemporaryCurrentFolder>();
    launcher_ = std::make_unique<RecordingLauncher>();
    computer_ = SampleComputerScan();
    WriteSampleDeviceCatalogue(catalogue());
    const auto driver = [](const char* name) {
        return QStringList{QString::fromUtf8(name),
                           QStringLiteral("Видеокарта"),
                           QStringLiteral("Windows"),
                           QStringLiteral("38 МБ"),
                           QStringLiteral("1.0"),
                           QStringLiteral("drivers.example/a.zip"),
                           QString(),
                           QStringLiteral("2026.12")};
    };
    WriteDriverCatalogue(
        folder_->filePath(QStringLiteral("vek.mdb")), QStringLiteral("kavrel"),
        {DriverCatalogueColumns(),
         {driver("GeForce 7300 GT"), driver("Radeon 9600"), driver("GeForce 7300 GT WHQL")}});
    readings_ = 0;
    CreateWindowSet();
    QVERIFY(QTest::qWaitForWindowExposed(Form1));
    Form5->setDeviceReader([this] {
        ++readings_;
        return computer_;
    });
}

void DeviceListWindowTest::cleanup() {
    DestroyWindowSet();
    launcher_.reset();
    folder_.reset();
}

void DeviceListWindowTest::showDeviceList(std::function<void()> inside) {
    WhenShownModally(Form5, std::move(inside));
    ShowModal(Form5);
    QVERIFY(!Form5->isVisible());
}

void DeviceListWindowTest::createdHiddenAndReadAtEveryShowing() {
    // Start-up creates the window after the unknown-device window and reads
    // nothing yet.
    QVERIFY(Form5 != nullptr);
    QVERIFY(!Form5->isVisible());
    QCOMPARE(readings_, 0);
    QVERIFY(!Form5->ADOConnection1->isOpen());
    QCOMPARE(Form5->Grid1Model->rowCount(), 0);

    showDeviceList([] { Form5->close(); });
    QCOMPARE(readings_, 1);
    QCOMPARE(Form5->Grid1Model->rowCount(), SampleComputerRows().size());

    HardwareDevice added;
    added.vendor = 0x10de;
    added.device = 0x0393;
    added.drivers = QStringList{QStringLiteral("nvidia")};
    added.location = QStringLiteral("0000:04:00.0");
    computer_.devices.append(added);
    SortInBusOrder(computer_.devices);
    showDeviceList([] { Form5->close(); });
    QCOMPARE(readings_, 2);
    QStringList expected = SampleComputerRows();
    expected.insert(UsbReceiver, QStringLiteral("PCI\\VEN_10DE&DEV_0393|NVIDIA Corporation G73 "
                                                "[GeForce 7300 GT]|nvidia"));
    QCOMPARE(shownRows(Form5->Grid1Model), expected);
}

void DeviceListWindowTest::windowDeclaration() {
    QCOMPARE(Form5->objectName(), QStringLiteral("Form5"));
    QCOMPARE(Form5->metaObject()->className(), "TForm5");
    QCOMPARE(Form5->windowTitle(), QStringLiteral("Устройства этого компьютера"));
    QCOMPARE(Form5->minimumSize(), Form5->maximumSize());
    QVERIFY(!Form5->windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
    QCOMPARE(Form5->Button1->text(), QStringLiteral("ДРАЙВЕРЫ"));
    QCOMPARE(Form5->sLabel2->text(), QStringLiteral("Найдено устройств :"));
    QCOMPARE(Form5->Label1->text(), HomeHost());
    for (const char* panel : {"sPanel1", "sPanel2", "sPanel4", "sPanel5"}) {
        QWidget* frame = Form5->findChild<QWidget*>(QString::fromUtf8(panel));
        QVERIFY2(frame != nullptr, panel);
        QCOMPARE(frame->property("skinSection").toString(), QStringLiteral("PANEL"));
    }
    QStringList order;
    showDeviceList([&order] {
        if (!QTest::qWaitForWindowActive(Form5)) order.append(QStringLiteral("not active"));
        order.append(QApplication::focusWidget()->objectName());
        order.append(QString::number(Form5->Grid1->currentIndex().row()));
        for (int k = 0; k < 2; ++k) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            order.append(QApplication::focusWidget()->objectName());
        }
        Form5->close();
    });
    QCOMPARE(order, (QStringList{QStringLiteral("Grid1"), QStringLiteral("0"),
                                 QStringLiteral("Button1"), QStringLiteral("Grid1")}));

    const QAbstractItemModel* model =
        Form5->findChild<QTableView*>(QStringLiteral("Grid1"))->model();
    QStringList titles;
    for (int column = 0; column < model->columnCount(); ++column) {
        titles.append(model->headerData(column, Qt::Horizontal).toString());
    }
    QCOMPARE(titles, (QStringList{QStringLiteral("ID"), QStringLiteral("УСТРОЙСТВО"),
                                  QStringLiteral("ДРАЙВЕР")}));
}

void DeviceListWindowTest::listsDevicesWithoutDriverFirstAndMarked() {
    QAbstractItemModelTester tester(Form5->Grid1Model,
                                    QAbstractItemModelTester::FailureReportingMode::QtTest);
    showDeviceList([] { Form5->close(); });
    QCOMPARE(shownRows(Form5->Grid1Model), SampleComputerRows());
    QCOMPARE(Form5->sLabel3->text(), QStringLiteral("8, без драйвера: 3, не прочитано: 1"));
    QCOMPARE(Form5->sLabel3->width(), Form5->sLabel3->sizeHint().width());

    for (int row = 0; row < Form5->Grid1Model->rowCount(); ++row) {
        const bool withoutDriver = row < 3;
        for (int column = 0; column < Form5->Grid1Model->columnCount(); ++column) {
            const QModelIndex cell = Form5->Grid1Model->index(row, column);
            QCOMPARE(cell.data(Qt::FontRole).value<QFont>().bold(), withoutDriver);
            QCOMPARE(cell.data(Qt::ForegroundRole).isValid(), withoutDriver);
            if (withoutDriver) {
                QCOMPARE(cell.data(Qt::ForegroundRole).value<QColor>(),
                         DeviceListModel::warningColour());
            }
        }
    }
}

void DeviceListWindowTest::waitCursorWhileReading() {
    std::optional<Qt::CursorShape> whileReading;
    Form5->setDeviceReader([this, &whileReading] {
        const QCursor* cursor = QApplication::overrideCursor();
        if (cursor != nullptr) whileReading = cursor->shape();
        return computer_;
    });
    showDeviceList([] { Form5->close(); });
    QCOMPARE(whileReading, std::optional<Qt::CursorShape>(Qt::WaitCursor));
    QCOMPARE(QApplication::overrideCursor(), nullptr);
}

void DeviceListWindowTest::enterAndDoubleClickSearchTheUnknownDeviceWindow_data() {
    QTest::addColumn<int>("row");
    QTest::addColumn<bool>("doubleClick");
    QTest::addColumn<bool>("deviceLookup");
    QTest::addColumn<bool>("vendorLookup");
    QTest::addColumn<QString>("code");
    QTest::addColumn<QStringList>("found");
    QTest::newRow("graphics card, Enter")
        << int(GraphicsCard) << false << false << false << "VEN_10DE&DEV_0393"
        << QStringList{QStringLiteral("PCI\\VEN_10DE&DEV_0393"),
                       QStringLiteral("PCI\\VEN_10DE&DEV_0393&SUBSYS_04011043"),
                       QStringLiteral("PCI\\VEN_10DE&DEV_0393&SUBSYS_82131043")};
    QTest::newRow("USB receiver, double click, both lookups")
        << int(UsbReceiver) << true << true << true << "VID_046D&PID_C52B"
        << QStringList{QStringLiteral("USB\\VID_046D&PID_C52B")};
    QTest::newRow("vendor only, device lookup")
        << int(VendorOnly) << false << true << false << "VEN_1AF4&DEV_1045" << QStringList();
}

void DeviceListWindowTest::enterAndDoubleClickSearchTheUnknownDeviceWindow() {
    QFETCH(int, row);
    QFETCH(bool, doubleClick);
    QFETCH(bool, deviceLookup);
    QFETCH(bool, vendorLookup);
    QFETCH(QString, code);
    QFETCH(QStringList, found);
    Form4->makeContents();
    Form4->CheckBox1->setChecked(deviceLookup);
    Form4->CheckBox2->setChecked(vendorLookup);

    bool listUnderneath = false;
    bool listBackOnTop = false;
    showDeviceList([&] {
        selectRow(row);
        WhenShownModally(Form4, [&] {
            listUnderneath = Form5->isVisible();
            Form4->close();
        });
        if (doubleClick) {
            const QRect cell = Form5->Grid1->visualRect(Form5->Grid1Model->index(row, 1));
            QTest::mouseDClick(Form5->Grid1->viewport(), Qt::LeftButton, {}, cell.center());
        } else {
            QTest::keyClick(Form5->Grid1, Qt::Key_Return);
        }
        listBackOnTop = QApplication::activeModalWidget() == Form5;
        Form5->close();
    });
    QVERIFY(listUnderneath);
    QVERIFY(listBackOnTop);
    QCOMPARE(Form4->Edit1->text(), code);
    QCOMPARE(codesShown(Form4->DBGrid1->model()), found);
    QCOMPARE(Form4->sLabel3->text(), QString::number(found.size()));
    QStringList lookups;
    if (deviceLookup) lookups.append(WithQueryText(DeviceLookupUrl(), code));
    if (vendorLookup) lookups.append(WithQueryText(VendorLookupUrl(), code));
    QCOMPARE(launcher_->targets, lookups);
}

void DeviceListWindowTest::openedFromTheUnknownDeviceWindow() {
    // НУ, then ЭТОТ ПК: the list opens over the unknown-device window; a
    // device chosen there closes the list and shows its search in the
    // window underneath.
    bool listShownOverIt = false;
    bool unknownDeviceWindowOnTop = false;
    WhenShownModally(Form4, [&] {
        WhenShownModally(Form5, [&] {
            listShownOverIt = Form4->isVisible();
            selectRow(HostBridge);
            QTest::keyClick(Form5->Grid1, Qt::Key_Return);
        });
        QTest::mouseClick(Form4->Button3, Qt::LeftButton);
        unknownDeviceWindowOnTop = QApplication::activeModalWidget() == Form4;
        Form4->close();
    });
    QTest::mouseClick(Form1->Button8, Qt::LeftButton);
    QVERIFY(listShownOverIt);
    QVERIFY(unknownDeviceWindowOnTop);
    QVERIFY(!Form5->isVisible());
    QCOMPARE(Form4->Edit1->text(), QStringLiteral("VEN_8086&DEV_29C0"));
    QCOMPARE(codesShown(Form4->DBGrid1->model()),
             (QStringList{QStringLiteral("PCI\\VEN_8086&DEV_29C0"),
                          QStringLiteral("PCI\\VEN_8086&DEV_29C0&SUBSYS_82951043")}));
}

void DeviceListWindowTest::unknownDeviceWindowGoesBackToTheList() {
    // Shown over the list, the unknown-device window's ЭТОТ ПК uncovers the
    // list instead of showing it a second time.
    bool backOnTheList = false;
    showDeviceList([&backOnTheList] {
        WhenShownModally(Form4, [] { QTest::mouseClick(Form4->Button3, Qt::LeftButton); });
        selectRow(GraphicsCard);
        QTest::keyClick(Form5->Grid1, Qt::Key_Return);
        backOnTheList = QApplication::activeModalWidget() == Form5 && !Form4->isVisible();
        Form5->close();
    });
    QVERIFY(backOnTheList);
    QCOMPARE(Form4->Edit1->text(), QStringLiteral("VEN_10DE&DEV_0393"));
}

void DeviceListWindowTest::driversButtonRunsTheMainWindowsSearch_data() {
    QTest::addColumn<int>("row");
    QTest::addColumn<bool>("fromUnknownDeviceWindow");
    QTest::addColumn<QString>("searched");
    QTest::addColumn<QString>("count");
    QTest::addColumn<QString>("messages");
    QTest::newRow("graphics card") << int(GraphicsCard) << false << "GeForce 7300 GT"
                                   << "2" << kChooseDriver;
    QTest::newRow("graphics card, from НУ") << int(GraphicsCard) << true << "GeForce 7300 GT"
                                            << "2" << kChooseDriver;
    QTest::newRow("LAN controller, nothing found")
        << int(LanController) << false << "NM10/ICH7 Family LAN Controller"
        << "0" << kNothingFound;
    QTest::newRow("SATA controller: the description without its mode")
        << int(SataController) << false << "NM10/ICH7 Family SATA Controller"
        << "0" << kNothingFound;
    QTest::newRow("USB without driver")
        << int(UsbWithoutDriver) << false << "RTL8153 Gigabit Ethernet Adapter"
        << "0" << kNothingFound;
}

void DeviceListWindowTest::driversButtonRunsTheMainWindowsSearch() {
    QFETCH(int, row);
    QFETCH(bool, fromUnknownDeviceWindow);
    QFETCH(QString, searched);
    QFETCH(QString, count);
    QFETCH(QString, messages);
    const auto pressDrivers = [row] {
        WhenShownModally(Form5, [row] {
            selectRow(row);
            QVERIFY(Form5->Button1->isEnabled());
            QTest::mouseClick(Form5->Button1, Qt::LeftButton);
        });
    };
    if (fromUnknownDeviceWindow) {
        WhenShownModally(Form4, [&] {
            pressDrivers();
            QTest::mouseClick(Form4->Button3, Qt::LeftButton);
        });
        QTest::mouseClick(Form1->Button8, Qt::LeftButton);
    } else {
        pressDrivers();
        ShowModal(Form5);
    }
    QVERIFY(!Form5->isVisible());
    QVERIFY(!Form4->isVisible());
    QCOMPARE(Form1->Edit1->text(), searched);
    QCOMPARE(Form1->sLabel3->text(), count);
    QCOMPARE(Form1->sEdit1->text(), messages);
    QCOMPARE(Form1->DBGrid1->model()->rowCount(), count.toInt());
    QCOMPARE(Form1->focusWidget(), Form1->DBGrid1);
}

void DeviceListWindowTest::driversButtonNeedsADeviceName() {
    QMap<int, bool> enabled;
    showDeviceList([&enabled] {
        for (int row = 0; row < Form5->Grid1Model->rowCount(); ++row) {
            selectRow(row);
            enabled.insert(row, Form5->Button1->isEnabled());
        }
        Form5->close();
    });
    QCOMPARE(enabled.keys(false), (QList<int>{VendorOnly, UnknownDevice}));
}

void DeviceListWindowTest::ctrlCCopiesTheId() {
    QApplication::clipboard()->clear();
    showDeviceList([] {
        selectRow(SataController);
        QTest::keyClick(Form5->Grid1, Qt::Key_C, Qt::ControlModifier);
        Form5->close();
    });
    QCOMPARE(QApplication::clipboard()->text(),
             QStringLiteral("PCI\\VEN_8086&DEV_27C1&SUBSYS_81EC1043"));
}

void DeviceListWindowTest::missingCatalogueStillListsTheDevices() {
    QVERIFY(QFile::remove(catalogue()));
    const auto seen = AnswerNextDialog(QStringLiteral("OK"));
    bool buttonEnabled = true;
    showDeviceList([&buttonEnabled] {
        selectRow(GraphicsCard);
        buttonEnabled = Form5->Button1->isEnabled();
        Form5->close();
    });
    QVERIFY(seen->seen);
    QCOMPARE(seen->title, QStringLiteral("Quarrow"));
    QVERIFY2(seen->text.contains(QStringLiteral("Could not find file")), qPrintable(seen->text));
    QStringList withoutNames;
    for (const QString& row : SampleComputerRows()) {
        withoutNames.append(row.section(u'|', 0, 0) + QStringLiteral("||") +
                            row.section(u'|', 2, 2));
    }
    QCOMPARE(shownRows(Form5->Grid1Model), withoutNames);
    QVERIFY(!buttonEnabled);
    QCOMPARE(Form5->sLabel3->text(), QStringLiteral("8, без драйвера: 3, не прочитано: 1"));
}

void DeviceListWindowTest::catalogueHeldByTheUnknownDeviceWindow() {
    // The unknown-device window's connection keeps other writers out of
    // dev.mdb; the list only reads, and reads beside it.
    Form4->makeContents();
    Form4->Edit1->setText(QStringLiteral("VEN_"));
    QTest::mouseClick(Form4->Button2, Qt::LeftButton);
    QVERIFY(Form4->ADOConnection1->isOpen());
    ShownDialogs dialogs(true);
    showDeviceList([] { Form5->close(); });
    QVERIFY(dialogs.dialogs.isEmpty());
    QCOMPARE(shownRows(Form5->Grid1Model), SampleComputerRows());
}

void DeviceListWindowTest::noDevices() {
    Form5->setDeviceReader([] { return HardwareScan{}; });
    QApplication::clipboard()->setText(QStringLiteral("kept"));
    ShownDialogs dialogs(true);
    showDeviceList([] {
        QTest::keyClick(Form5->Grid1, Qt::Key_Return);
        QTest::mouseDClick(Form5->Grid1->viewport(), Qt::LeftButton, {},
                           Form5->Grid1->viewport()->rect().center());
        QTest::keyClick(Form5->Grid1, Qt::Key_C, Qt::ControlModifier);
        QVERIFY(!Form5->Button1->isEnabled());
        Form5->close();
    });
    QVERIFY(dialogs.dialogs.isEmpty());
    QCOMPARE(Form5->Grid1Model->rowCount(), 0);
    QCOMPARE(Form5->sLabel3->text(), QStringLiteral("0, без драйвера: 0"));
    QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("kept"));
    QVERIFY(!Form4->isVisible());
    QVERIFY(!Form5->ADOConnection1->isOpen());
}

void DeviceListWindowTest::longNamesAreCutShort() {
    // The graphics card's own row names it in 30 MB.
    sqlite3* db = nullptr;
    QCOMPARE(sqlite3_open(catalogue().toUtf8().constData(), &db), SQLITE_OK);
    const int changed =
        sqlite3_exec(db,
                     "UPDATE device SET device = device || ' ' || hex(zeroblob(15000000)) "
                     "WHERE device LIKE 'PCI\\VEN_10DE&DEV_0393&SUBSYS_04011043 %'",
                     nullptr, nullptr, nullptr);
    QCOMPARE(sqlite3_changes(db), 1);
    sqlite3_close(db);
    QCOMPARE(changed, SQLITE_OK);

    QString shown;
    QString tip;
    showDeviceList([&] {
        // Painted, as the user sees it, with that row current.
        selectRow(GraphicsCard);
        Form5->Grid1->viewport()->grab();
        const QModelIndex name =
            Form5->Grid1Model->index(GraphicsCard, DeviceListModel::NameColumn);
        shown = name.data().toString();
        tip = name.data(Qt::ToolTipRole).toString();
        Form5->close();
    });
    const QString named = SampleComputerRows().at(GraphicsCard).section(u'|', 1, 1);
    QCOMPARE(shown.size(), 2001);
    QVERIFY2(shown.startsWith(named + QStringLiteral(" 0000")), qPrintable(shown.left(100)));
    QVERIFY(shown.endsWith(QChar(0x2026)));
    QCOMPARE(tip, shown);
    QStringList others = SampleComputerRows();
    others.removeAt(GraphicsCard);
    QStringList rows = shownRows(Form5->Grid1Model);
    rows.removeAt(GraphicsCard);
    QCOMPARE(rows, others);
}

QUARROW_TEST_MAIN(DeviceListWindowTest)
#include "tst_device_list_window.moc"
