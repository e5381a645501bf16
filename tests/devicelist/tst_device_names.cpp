#include "CatalogueWriter.h"
#include "TestSupport.h"
#include "db/Connection.h"
#include "db/Query.h"
#include "devices/DeviceList.h"
#include "stores/DeviceCatalogue.h"

#include <QtTest>

using namespace quarrow;
using namespace quarrow::test;

class DeviceNamesTest : public QObject {
    Q_OBJECT

private slots:
    void textsAreFoundByTheirWholeCode();
    void noCodesReadNothing();
    void namesOfText_data();
    void namesOfText();
    void driverSearchText_data();
    void driverSearchText();
};

void DeviceNamesTest::textsAreFoundByTheirWholeCode() {
    TemporaryCurrentFolder folder;
    const QStringList texts{
        QStringLiteral("PCI\\VEN_10DE 10de NVIDIA Corporation"),
        QStringLiteral("PCI\\VENX10DE&DEV_0393 matches the code as a LIKE pattern would"),
        QStringLiteral("PCI\\VEN_10DE&DEV_03930 a longer code"),
        QStringLiteral("PCI\\VEN_10DE&DEV_0393 10de:0393 NVIDIA Corporation G73 [GeForce 7300 GT]"),
        QStringLiteral("PCI\\VEN_10DE&DEV_0393&SUBSYS_04011043 10de:0393 1043:0401 a subsystem"),
        QStringLiteral("pci\\ven_8086&dev_1237 typed in lower case, first of its code"),
        QStringLiteral("PCI\\VEN_8086&DEV_1237 second of its code"),
        QStringLiteral("USB\\VID_046D&PID_C52B"),
        QString(),
        QStringLiteral(""),
        QStringLiteral(" PCI\\VEN_1AF4 after a blank"),
        QStringLiteral("PCI\\VEN_1AF4'&DEV_1 an apostrophe"),
    };
    CatalogueTable table{{QStringLiteral("Код"), QStringLiteral("device")}, {}};
    for (const QString& text : texts) table.rows.append({QString(), text});
    WriteDeviceCatalogue(folder.filePath(QStringLiteral("dev.mdb")), QStringLiteral("kavrel"),
                         table);

    Connection connection(DeviceListConnectionString());
    Query query(&connection, QStringLiteral("ADOQuery1"));
    const QStringList codes{
        QStringLiteral("PCI\\VEN_10DE"),
        QStringLiteral("PCI\\VEN_10DE&DEV_0393"),
        QStringLiteral("PCI\\VEN_8086&DEV_1237"),
        QStringLiteral("usb\\vid_046d&pid_c52b"),
        QStringLiteral("PCI\\VEN_1AF4"),
        QStringLiteral("PCI\\VEN_1AF4'&DEV_1"),
        QStringLiteral("%"),
    };
    const QHash<QString, QString> found = DeviceTextsByCode(connection, query, codes);
    const QHash<QString, QString> expected{
        {codes[0], texts[0]},  {codes[1], texts[3]},
        {codes[2], texts[5]},  {QStringLiteral("USB\\VID_046D&PID_C52B"), texts[7]},
        {codes[5], texts[11]},
    };
    QCOMPARE(found, expected);
    // The codes travel as bound values.
    QVERIFY2(!query.sqlText().contains(QStringLiteral("VEN")), qPrintable(query.sqlText()));
    QCOMPARE(query.parameters().size(), codes.size());
    QVERIFY(!query.isOpen());
}

void DeviceNamesTest::noCodesReadNothing() {
    TemporaryCurrentFolder folder;  // no dev.mdb at all
    Connection connection(DeviceListConnectionString());
    Query query(&connection, QStringLiteral("ADOQuery1"));
    QVERIFY(DeviceTextsByCode(connection, query, {}).isEmpty());
    QVERIFY(!connection.isOpen());
}

void DeviceNamesTest::namesOfText_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("names");
    QTest::newRow("vendor row") << "PCI\\VEN_10DE 10de NVIDIA Corporation"
                                << "NVIDIA Corporation";
    QTest::newRow("device row")
        << "PCI\\VEN_10DE&DEV_0393 10de:0393 NVIDIA Corporation G73 [GeForce 7300 GT]"
        << "NVIDIA Corporation G73 [GeForce 7300 GT]";
    QTest::newRow("subsystem row") << "PCI\\VEN_10DE&DEV_0393&SUBSYS_04011043 10de:0393 1043:0401 "
                                      "NVIDIA Corporation G73 [GeForce 7300 GT] - ASUSTeK EN7300GT"
                                   << "NVIDIA Corporation G73 [GeForce 7300 GT] - ASUSTeK EN7300GT";
    QTest::newRow("USB device row") << "USB\\VID_046D&PID_C52B 046d:c52b Logitech, Inc. Unifying"
                                    << "Logitech, Inc. Unifying";
    QTest::newRow("written by hand") << "PCI\\VEN_10DE&DEV_0393  NVIDIA GeForce 7300 GT"
                                     << "NVIDIA GeForce 7300 GT";
    QTest::newRow("a name that looks like a code in capitals") << "PCI\\VEN_FACE FACE Technologies"
                                                               << "FACE Technologies";
    QTest::newRow("a name beginning with a hex word") << "PCI\\VEN_1234 1234 beef2 Inc."
                                                      << "beef2 Inc.";
    QTest::newRow("the code alone") << "USB\\VID_046D&PID_C52B"
                                    << "";
    QTest::newRow("empty") << ""
                           << "";
}

void DeviceNamesTest::namesOfText() {
    QFETCH(QString, text);
    QFETCH(QString, names);
    QCOMPARE(DeviceNamesOfText(text), names);
}

void DeviceNamesTest::driverSearchText_data() {
    QTest::addColumn<QString>("device");
    QTest::addColumn<QString>("vendor");
    QTest::addColumn<QString>("searched");
    QTest::newRow("product name after a chip code") << "NVIDIA Corporation G73 [GeForce 7300 GT]"
                                                    << "NVIDIA Corporation"
                                                    << "GeForce 7300 GT";
    QTest::newRow("chip code of two words")
        << "Advanced Micro Devices, Inc. [AMD/ATI] Navi 10 [Radeon RX 5600 OEM/5600 XT / "
           "5700/5700 XT]"
        << "Advanced Micro Devices, Inc. [AMD/ATI]"
        << "Radeon RX 5600 OEM/5600 XT";
    QTest::newRow("detail after a description")
        << "Intel Corporation NM10/ICH7 Family SATA Controller [AHCI mode]"
        << "Intel Corporation"
        << "NM10/ICH7 Family SATA Controller";
    QTest::newRow("no brackets") << "Red Hat, Inc. Virtio 1.0 network device"
                                 << "Red Hat, Inc."
                                 << "Virtio 1.0 network device";
    QTest::newRow("vendor unknown") << "Logitech, Inc. Unifying Receiver"
                                    << ""
                                    << "Logitech, Inc. Unifying Receiver";
    QTest::newRow("vendor named otherwise") << "NVIDIA GeForce 7300 GT"
                                            << "NVIDIA Corporation"
                                            << "NVIDIA GeForce 7300 GT";
    QTest::newRow("brackets alone") << "Vendor [Product]"
                                    << "Vendor"
                                    << "Product";
}

void DeviceNamesTest::driverSearchText() {
    QFETCH(QString, device);
    QFETCH(QString, vendor);
    QFETCH(QString, searched);
    QCOMPARE(DriverSearchText(device, vendor), searched);
}

QUARROW_TEST_MAIN(DeviceNamesTest)
#include "tst_device_names.moc"
