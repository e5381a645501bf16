#include "DriverCatalogueFiles.h"
#include "IdsReader.h"
#include "TestSupport.h"
#include "ToolProcess.h"
#include "core/Exception.h"
#include "db/Connection.h"
#include "db/Query.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace quarrow;
using namespace quarrow::test;

Q_DECLARE_METATYPE(quarrow::IdsKind)

namespace {

// Subsystems name vendors listed before and after them; a broken device line
// takes its subsystems with it, a broken vendor line its devices; the class
// list ends the vendor list.
const QByteArray kPciIds =
    "#\tList of PCI ID's\n"
    "\n"
    "0e11  Compaq Computer Corporation\n"
    "10de  NVIDIA Corporation\n"
    "\t0393  G73 [GeForce 7300 GT]\n"
    "\t\t0e11 0123  Fictional board\n"
    "\t\t1043 8213  EN7300GT\n"
    "# A comment between subsystems\n"
    "\t\tabcd 0001  Board of an unlisted vendor\n"
    "\tzz01  broken device line\n"
    "\t\t1043 0001  subsystem of the broken device\n"
    "\t0395  G73 [GeForce 7300 GT]\r\n"
    "1043  ASUSTeK Computer Inc.\n"
    "xyz  broken vendor line\n"
    "\t0001  device of the broken vendor\n"
    "C 00  Unclassified device\n"
    "\t00  Non-VGA unclassified device\n"
    "ffff  after the class list\n";

const QByteArray kUsbIds =
    "# Vendors, devices and interfaces.\n"
    "046d  Logitech, Inc.\n"
    "\tc52b  Unifying Receiver\n"
    "\t\t00  an interface, not a row\n"
    "\tc52  code too short\n"
    "0ed1  M\xC3\xBCller Ger\xC3\xA4tebau\n"
    "\t0001  Ger\xC3\xA4t\n"
    "0bda  Realtek \xFF broken UTF-8\n"
    "\t8153  device of the broken vendor\n"
    "C 00  (Defined at Interface level)\n"
    "0bda  Realtek after the sections\n";

const QStringList kPciRows{
    QStringLiteral("PCI\\VEN_0E11 0e11 Compaq Computer Corporation"),
    QStringLiteral("PCI\\VEN_10DE 10de NVIDIA Corporation"),
    QStringLiteral("PCI\\VEN_10DE&DEV_0393 10de:0393 NVIDIA Corporation G73 [GeForce 7300 GT]"),
    QStringLiteral("PCI\\VEN_10DE&DEV_0393&SUBSYS_01230E11 10de:0393 0e11:0123 NVIDIA Corporation "
                   "G73 [GeForce 7300 GT] - Compaq Computer Corporation Fictional board"),
    QStringLiteral("PCI\\VEN_10DE&DEV_0393&SUBSYS_82131043 10de:0393 1043:8213 NVIDIA Corporation "
                   "G73 [GeForce 7300 GT] - ASUSTeK Computer Inc. EN7300GT"),
    QStringLiteral("PCI\\VEN_10DE&DEV_0393&SUBSYS_0001ABCD 10de:0393 abcd:0001 NVIDIA Corporation "
                   "G73 [GeForce 7300 GT] - Board of an unlisted vendor"),
    QStringLiteral("PCI\\VEN_10DE&DEV_0395 10de:0395 NVIDIA Corporation G73 [GeForce 7300 GT]"),
    QStringLiteral("PCI\\VEN_1043 1043 ASUSTeK Computer Inc."),
};

const QStringList kUsbRows{
    QStringLiteral("USB\\VID_046D 046d Logitech, Inc."),
    QStringLiteral("USB\\VID_046D&PID_C52B 046d:c52b Logitech, Inc. Unifying Receiver"),
    QStringLiteral("USB\\VID_0ED1 0ed1 Müller Gerätebau"),
    QStringLiteral("USB\\VID_0ED1&PID_0001 0ed1:0001 Müller Gerätebau Gerät"),
};

void writeFile(const QString& path, const QByteArray& content) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
}

}  // namespace

class TestDeviceCatalogue : public QObject {
    Q_OBJECT

private slots:
    void idsFilesGiveOneRowPerEntry_data();
    void idsFilesGiveOneRowPerEntry();
    void usbSectionsEndTheVendorList_data();
    void usbSectionsEndTheVendorList();
    void toolBuildsTheDeviceCatalogue();
    void exportGivesTheDeviceRowsBack();
    void registryOfNoVendorWritesNothing_data();
    void registryOfNoVendorWritesNothing();

private:
    QTemporaryDir dir_;
};

void TestDeviceCatalogue::idsFilesGiveOneRowPerEntry_data() {
    QTest::addColumn<IdsKind>("kind");
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<QList<qsizetype>>("counts");  // vendors, devices, subsystems, skipped
    QTest::newRow("pci.ids") << IdsKind::Pci << kPciIds << kPciRows << QList<qsizetype>{3, 2, 3, 4};
    QTest::newRow("usb.ids") << IdsKind::Usb << kUsbIds << kUsbRows << QList<qsizetype>{2, 2, 0, 3};
}

void TestDeviceCatalogue::idsFilesGiveOneRowPerEntry() {
    QFETCH(IdsKind, kind);
    QFETCH(QByteArray, text);
    QFETCH(QStringList, rows);
    QFETCH(QList<qsizetype>, counts);

    const IdsRows read = ReadIdsRows(text, kind);
    QCOMPARE(read.rows, rows);
    QCOMPARE((QList<qsizetype>{read.counts.vendors, read.counts.devices, read.counts.subsystems,
                               read.counts.skippedLines}),
             counts);
}

void TestDeviceCatalogue::usbSectionsEndTheVendorList_data() {
    QTest::addColumn<QByteArray>("section");
    for (const char* section : {"C 00  x", "AT 0000  x", "HID 00  x", "R 00  x", "BIAS 0  x",
                                "PHY 00  x", "HUT 00  x", "L 0001  x", "HCC 00  x", "VT 0000  x"}) {
        QTest::newRow(section) << QByteArray(section);
    }
}

void TestDeviceCatalogue::usbSectionsEndTheVendorList() {
    QFETCH(QByteArray, section);
    const IdsRows read = ReadIdsRows(
        "046d  Logitech, Inc.\n" + section + "\n\t01  sub\n0bda  Realtek\n", IdsKind::Usb);
    QCOMPARE(read.rows, QStringList{kUsbRows[0]});
    QCOMPARE(read.counts.skippedLines, 0);
}

void TestDeviceCatalogue::toolBuildsTheDeviceCatalogue() {
    writeFile(dir_.filePath(QStringLiteral("pci.ids")), kPciIds);
    writeFile(dir_.filePath(QStringLiteral("usb.ids")), kUsbIds);

    const ToolRun run = RunCatalogueTool(
        {QStringLiteral("devices"), QStringLiteral("--password"), QStringLiteral("kavrel"),
         QStringLiteral("--pci"), QStringLiteral("pci.ids"), QStringLiteral("--usb"),
         QStringLiteral("usb.ids"), QStringLiteral("dev.mdb")},
        dir_.path());
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    QVERIFY2(run.err.contains(QStringLiteral(
                 "pci.ids: 3 vendor rows, 2 device rows, 3 subsystem rows, 4 lines skipped")),
             qPrintable(run.err));
    QVERIFY2(
        run.err.contains(QStringLiteral("usb.ids: 2 vendor rows, 2 device rows, 3 lines skipped")),
        qPrintable(run.err));

    const QString path = dir_.filePath(QStringLiteral("dev.mdb"));
    Connection connection(CatalogueConnectionString(path, QStringLiteral("kavrel")));
    Query query(&connection, QStringLiteral("ADOQuery1"));
    query.setSelect(QStringLiteral("device"));
    query.open();
    QCOMPARE(query.fieldNames(), (QStringList{QStringLiteral("Код"), QStringLiteral("device")}));
    const QStringList expected = kPciRows + kUsbRows;
    QCOMPARE(query.rowCount(), expected.size());
    for (int r = 0; r < query.rowCount(); ++r) {
        QCOMPARE(query.value(r, 0), QString::number(r + 1));
        QCOMPARE(query.value(r, 1), expected[r]);
    }

    Connection wrong(CatalogueConnectionString(path, QStringLiteral("Kavrel")));
    QVERIFY_THROWS_EXCEPTION(Exception, wrong.open());
}

void TestDeviceCatalogue::exportGivesTheDeviceRowsBack() {
    writeFile(dir_.filePath(QStringLiteral("pci.ids")), kPciIds);
    writeFile(dir_.filePath(QStringLiteral("usb.ids")), kUsbIds);
    QCOMPARE(RunCatalogueTool({QStringLiteral("devices"), QStringLiteral("--password=kavrel"),
                               QStringLiteral("--pci=pci.ids"), QStringLiteral("--usb=usb.ids"),
                               QStringLiteral("export.mdb")},
                              dir_.path())
                 .exitCode,
             0);

    const ToolRun run = RunCatalogueTool({QStringLiteral("export"), QStringLiteral("export.mdb"),
                                          QStringLiteral("--password=kavrel")},
                                         dir_.path());
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    QString expected = QStringLiteral("Код\tdevice\n");
    const QStringList rows = kPciRows + kUsbRows;
    for (qsizetype r = 0; r < rows.size(); ++r) {
        expected += QStringLiteral("%1\t%2\n").arg(r + 1).arg(rows[r]);
    }
    QCOMPARE(QString::fromUtf8(run.out), expected);
}

void TestDeviceCatalogue::registryOfNoVendorWritesNothing_data() {
    QTest::addColumn<QByteArray>("pci");
    QTest::addColumn<QByteArray>("usb");
    QTest::addColumn<QString>("named");
    QTest::newRow("pci.ids of another kind")
        << QByteArray("root:x:0:0:root:/root:/bin/bash\n") << kUsbIds << "pci.ids";
    QTest::newRow("usb.ids empty") << kPciIds << QByteArray() << "usb.ids";
    QTest::newRow("pci.ids of comments only")
        << QByteArray("# nothing\n\n") << kUsbIds << "pci.ids";
}

void TestDeviceCatalogue::registryOfNoVendorWritesNothing() {
    QFETCH(QByteArray, pci);
    QFETCH(QByteArray, usb);
    QFETCH(QString, named);
    writeFile(dir_.filePath(QStringLiteral("pci.ids")), pci);
    writeFile(dir_.filePath(QStringLiteral("usb.ids")), usb);

    const ToolRun run =
        RunCatalogueTool({QStringLiteral("devices"), QStringLiteral("--password=kavrel"),
                          QStringLiteral("--pci=pci.ids"), QStringLiteral("--usb=usb.ids"),
                          QStringLiteral("none.mdb")},
                         dir_.path());
    QCOMPARE(run.exitCode, 2);
    QVERIFY2(run.err.startsWith(
                 QStringLiteral("quarrow-catalogue: %1: no vendor could be read").arg(named)),
             qPrintable(run.err));
    QCOMPARE(FilesStartingWith(dir_.path(), QStringLiteral("none.mdb")), QStringList());
}

QUARROW_TEST_MAIN(TestDeviceCatalogue)
#include "tst_device_catalogue.moc"
