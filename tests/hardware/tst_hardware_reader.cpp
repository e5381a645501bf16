#include "SampleComputer.h"
#include "SysfsTree.h"
#include "TestSupport.h"
#include "hardware/HardwareDevice.h"
#include "hardware/SysfsReader.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace quarrow;
using namespace quarrow::test;

namespace {

// "<hardware id>|<drivers>|<location>" per device, in the order read.
QStringList described(const HardwareScan& scan) {
    QStringList lines;
    for (const HardwareDevice& device : scan.devices) {
        lines.append(device.hardwareId() + u'|' + device.drivers.join(u',') + u'|' +
                     device.location);
    }
    return lines;
}

HardwareDevice pci(quint16 vendor, quint16 device, quint16 subvendor = 0, quint16 subdevice = 0) {
    HardwareDevice found;
    found.vendor = vendor;
    found.device = device;
    found.subvendor = subvendor;
    found.subdevice = subdevice;
    return found;
}

HardwareDevice usb(quint16 vendor, quint16 product) {
    HardwareDevice found = pci(vendor, product);
    found.bus = HardwareBus::Usb;
    return found;
}

}  // namespace

class HardwareReaderTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void readsDevicesWithTheirDriversInBusOrder();
    void oddEntriesAreSkippedAndCounted_data();
    void oddEntriesAreSkippedAndCounted();
    void missingTreeHoldsNoDevices();
    void sampleComputerReadsAsItsScan();
    void busOrder_data();
    void busOrder();
    void catalogueCodes_data();
    void catalogueCodes();
    void windowsHardwareIds_data();
    void windowsHardwareIds();

private:
    std::unique_ptr<QTemporaryDir> folder_;
    std::unique_ptr<SysfsTree> tree_;
};

void HardwareReaderTest::init() {
#if defined(Q_OS_WIN)
    // The fixture trees are made of symbolic links, which Windows lets only
    // privileged accounts make; nor does the program read sysfs there.
    static const QByteArrayList sysfsCases{
        "readsDevicesWithTheirDriversInBusOrder", "oddEntriesAreSkippedAndCounted",
        "missingTreeHoldsNoDevices", "sampleComputerReadsAsItsScan"};
    if (sysfsCases.contains(QTest::currentTestFunction())) {
        QSKIP("sysfs is Linux's: Windows lists its devices through SetupAPI (tst_this_computer)");
    }
#endif
    folder_ = std::make_unique<QTemporaryDir>();
    QVERIFY(folder_->isValid());
    tree_ = std::make_unique<SysfsTree>(folder_->path());
}

void HardwareReaderTest::cleanup() {
    tree_.reset();
    folder_.reset();
}

void HardwareReaderTest::readsDevicesWithTheirDriversInBusOrder() {
    // Made out of order, on purpose.
    tree_->addUsb(QStringLiteral("1-1.10"), 0x046d, 0xc52b);
    tree_->addUsbInterface(QStringLiteral("1-1.10"), 0, QStringLiteral("usbhid"));
    tree_->addUsbInterface(QStringLiteral("1-1.10"), 1, QStringLiteral("usbhid"));
    tree_->addUsbInterface(QStringLiteral("1-1.10"), 2, QStringLiteral("hid-logitech-dj"));
    tree_->addUsbInterface(QStringLiteral("1-1.10"), 3);
    tree_->addUsb(QStringLiteral("1-1.9"), 0x0bda, 0x8153);
    tree_->addUsbInterface(QStringLiteral("1-1.9"), 0);
    tree_->addUsb(QStringLiteral("1-1"), 0x05e3, 0x0608, 9);  // a hub
    tree_->addUsbInterface(QStringLiteral("1-1"), 0, QStringLiteral("hub"));
    tree_->addUsb(QStringLiteral("usb1"), 0x1d6b, 0x0002, 9);  // the root hub
    tree_->addPci(QStringLiteral("0000:00:1f.2"), 0x8086, 0x27c1, 0x1043, 0x81ec,
                  QStringLiteral("ahci"));
    tree_->addPci(QStringLiteral("0000:01:00.0"), 0x10de, 0x0393, 0x1043, 0x0401,
                  QStringLiteral("nouveau"));
    tree_->addPci(QStringLiteral("0000:00:00.0"), 0x8086, 0x29c0);

    const HardwareScan scan = ReadSysfsDevices(tree_->root());
    QCOMPARE(described(scan),
             (QStringList{
                 QStringLiteral("PCI\\VEN_8086&DEV_29C0||0000:00:00.0"),
                 QStringLiteral("PCI\\VEN_8086&DEV_27C1&SUBSYS_81EC1043|ahci|0000:00:1f.2"),
                 QStringLiteral("PCI\\VEN_10DE&DEV_0393&SUBSYS_04011043|nouveau|0000:01:00.0"),
                 QStringLiteral("USB\\VID_0BDA&PID_8153||1-1.9"),
                 QStringLiteral("USB\\VID_046D&PID_C52B|usbhid,hid-logitech-dj|1-1.10"),
             }));
    QCOMPARE(scan.skipped, 0);
}

void HardwareReaderTest::oddEntriesAreSkippedAndCounted_data() {
    QTest::addColumn<std::function<void(SysfsTree&)>>("damage");
    const auto pciFile = [](const char* file, QByteArray content) {
        return std::function<void(SysfsTree&)>([file, content](SysfsTree& tree) {
            tree.addPci(QStringLiteral("0000:00:07.0"), 0x8086, 0x1237);
            tree.writeFile(
                QStringLiteral("devices/pci0000:00/0000:00:07.0/") + QString::fromUtf8(file),
                content);
        });
    };
    QTest::newRow("PCI vendor not a code") << pciFile("vendor", "garbage\n");
    QTest::newRow("PCI device empty") << pciFile("device", "");
    QTest::newRow("PCI vendor of a vanished device") << pciFile("vendor", "0xffff\n");
    QTest::newRow("PCI code too long") << pciFile("device", "0x12345\n");
    QTest::newRow("PCI subsystem not a code") << pciFile("subsystem_vendor", "0xzz\n");
    QTest::newRow("PCI entry without files") << std::function<void(SysfsTree&)>(
        [](SysfsTree& t) { t.makeFolder(QStringLiteral("bus/pci/devices/0000:00:07.0")); });
    QTest::newRow("PCI entry a plain file") << std::function<void(SysfsTree&)>([](SysfsTree& t) {
        t.writeFile(QStringLiteral("bus/pci/devices/0000:00:07.0"), "0x8086\n");
    });
    QTest::newRow("PCI entry a broken link") << std::function<void(SysfsTree&)>([](SysfsTree& t) {
        t.link(QStringLiteral("bus/pci/devices/0000:00:07.0"), t.root() + QStringLiteral("/gone"));
    });
    QTest::newRow("USB without a product") << std::function<void(SysfsTree&)>([](SysfsTree& t) {
        t.writeFile(QStringLiteral("bus/usb/devices/2-1/idVendor"), "046d\n");
        t.writeFile(QStringLiteral("bus/usb/devices/2-1/bDeviceClass"), "00\n");
    });
    QTest::newRow("USB vendor not a code") << std::function<void(SysfsTree&)>([](SysfsTree& t) {
        t.addUsb(QStringLiteral("2-1"), 0x046d, 0xc52b);
        t.writeFile(QStringLiteral("devices/pci0000:00/0000:00:14.0/usb1/2-1/idVendor"), "x\n");
    });
}

void HardwareReaderTest::oddEntriesAreSkippedAndCounted() {
    QFETCH(std::function<void(SysfsTree&)>, damage);
    tree_->addPci(QStringLiteral("0000:00:02.0"), 0x8086, 0x27dc, 0, 0, QStringLiteral("e1000"));
    tree_->addUsb(QStringLiteral("1-1"), 0x046d, 0xc52b);
    tree_->addUsbInterface(QStringLiteral("1-1"), 0, QStringLiteral("usbhid"));
    damage(*tree_);

    const HardwareScan scan = ReadSysfsDevices(tree_->root());
    QCOMPARE(described(scan),
             (QStringList{QStringLiteral("PCI\\VEN_8086&DEV_27DC|e1000|0000:00:02.0"),
                          QStringLiteral("USB\\VID_046D&PID_C52B|usbhid|1-1")}));
    QCOMPARE(scan.skipped, 1);
}

void HardwareReaderTest::missingTreeHoldsNoDevices() {
    const HardwareScan scan = ReadSysfsDevices(folder_->filePath(QStringLiteral("absent")));
    QVERIFY(scan.devices.isEmpty());
    QCOMPARE(scan.skipped, 0);
}

void HardwareReaderTest::sampleComputerReadsAsItsScan() {
    MakeSampleComputer(*tree_);
    const HardwareScan read = ReadSysfsDevices(tree_->root());
    const HardwareScan expected = SampleComputerScan();
    QCOMPARE(described(read), described(expected));
    QCOMPARE(read.skipped, expected.skipped);
}

void HardwareReaderTest::busOrder_data() {
    QTest::addColumn<QStringList>("usbNames");
    QTest::addColumn<QStringList>("expected");
    const auto names = [](const char* text) { return QString::fromUtf8(text).split(u' '); };
    QTest::newRow("ports by number")
        << names("1-10 1-2 1-1.10 1-1.9 2-1") << names("1-1.9 1-1.10 1-2 1-10 2-1");
    QTest::newRow("buses by number") << names("10-1 9-1 3-4.1.2") << names("3-4.1.2 9-1 10-1");
}

void HardwareReaderTest::busOrder() {
    QFETCH(QStringList, usbNames);
    QFETCH(QStringList, expected);
    QList<HardwareDevice> devices;
    for (const QString& name : usbNames) {
        HardwareDevice device = usb(0x046d, 0xc52b);
        device.location = name;
        devices.append(device);
    }
    HardwareDevice bridge = pci(0x8086, 0x1237);
    bridge.location = QStringLiteral("0000:00:00.0");
    devices.append(bridge);
    SortInBusOrder(devices);
    QStringList order;
    for (const HardwareDevice& device : devices) order.append(device.location);
    QCOMPARE(order, QStringList{QStringLiteral("0000:00:00.0")} + expected);
}

void HardwareReaderTest::catalogueCodes_data() {
    QTest::addColumn<HardwareDevice>("device");
    QTest::addColumn<QString>("vendorId");
    QTest::addColumn<QString>("deviceId");
    QTest::addColumn<QString>("subsystemId");
    QTest::addColumn<QString>("hardwareId");
    QTest::addColumn<QString>("searchCode");
    QTest::newRow("PCI with a subsystem") << pci(0x10de, 0x0393, 0x1043, 0x0401) << "PCI\\VEN_10DE"
                                          << "PCI\\VEN_10DE&DEV_0393"
                                          << "PCI\\VEN_10DE&DEV_0393&SUBSYS_04011043"
                                          << "PCI\\VEN_10DE&DEV_0393&SUBSYS_04011043"
                                          << "VEN_10DE&DEV_0393";
    QTest::newRow("PCI without") << pci(0x8086, 0x0d57) << "PCI\\VEN_8086"
                                 << "PCI\\VEN_8086&DEV_0D57"
                                 << ""
                                 << "PCI\\VEN_8086&DEV_0D57"
                                 << "VEN_8086&DEV_0D57";
    QTest::newRow("PCI subvendor only") << pci(0x1af4, 0x1041, 0x1af4, 0) << "PCI\\VEN_1AF4"
                                        << "PCI\\VEN_1AF4&DEV_1041"
                                        << "PCI\\VEN_1AF4&DEV_1041&SUBSYS_00001AF4"
                                        << "PCI\\VEN_1AF4&DEV_1041&SUBSYS_00001AF4"
                                        << "VEN_1AF4&DEV_1041";
    QTest::newRow("small codes keep four digits") << pci(0x0001, 0x000a) << "PCI\\VEN_0001"
                                                  << "PCI\\VEN_0001&DEV_000A"
                                                  << ""
                                                  << "PCI\\VEN_0001&DEV_000A"
                                                  << "VEN_0001&DEV_000A";
    QTest::newRow("USB") << usb(0x046d, 0xc52b) << "USB\\VID_046D"
                         << "USB\\VID_046D&PID_C52B"
                         << ""
                         << "USB\\VID_046D&PID_C52B"
                         << "VID_046D&PID_C52B";
}

void HardwareReaderTest::catalogueCodes() {
    QFETCH(HardwareDevice, device);
    QFETCH(QString, vendorId);
    QFETCH(QString, deviceId);
    QFETCH(QString, subsystemId);
    QFETCH(QString, hardwareId);
    QFETCH(QString, searchCode);
    QCOMPARE(device.vendorId(), vendorId);
    QCOMPARE(device.deviceId(), deviceId);
    QCOMPARE(device.subsystemId(), subsystemId);
    QCOMPARE(device.hardwareId(), hardwareId);
    QCOMPARE(device.searchCode(), searchCode);
}

void HardwareReaderTest::windowsHardwareIds_data() {
    QTest::addColumn<QString>("id");
    QTest::addColumn<QString>("hardwareId");  // empty: not read
    QTest::addColumn<int>("usbInterface");    // -1: none
    QTest::newRow("PCI with subsystem and revision")
        << "PCI\\VEN_10DE&DEV_0393&SUBSYS_04011043&REV_A1"
        << "PCI\\VEN_10DE&DEV_0393&SUBSYS_04011043" << -1;
    QTest::newRow("PCI without subsystem") << "PCI\\VEN_8086&DEV_1237&SUBSYS_00000000&REV_02"
                                           << "PCI\\VEN_8086&DEV_1237" << -1;
    QTest::newRow("PCI short form") << "PCI\\VEN_8086&DEV_1237"
                                    << "PCI\\VEN_8086&DEV_1237" << -1;
    QTest::newRow("PCI in lower case") << "pci\\ven_10de&dev_0393&subsys_04011043"
                                       << "PCI\\VEN_10DE&DEV_0393&SUBSYS_04011043" << -1;
    QTest::newRow("PCI class code form") << "PCI\\VEN_8086&DEV_1237&CC_0600"
                                         << "PCI\\VEN_8086&DEV_1237" << -1;
    QTest::newRow("USB device") << "USB\\VID_046D&PID_C52B&REV_1201"
                                << "USB\\VID_046D&PID_C52B" << -1;
    QTest::newRow("USB interface") << "USB\\VID_046D&PID_C52B&REV_1201&MI_02"
                                   << "USB\\VID_046D&PID_C52B" << 2;
    QTest::newRow("USB root hub") << "USB\\ROOT_HUB30&VID8086&PID9D2F"
                                  << "" << -1;
    QTest::newRow("other bus") << "ACPI\\PNP0A08"
                               << "" << -1;
    QTest::newRow("HID on USB") << "HID\\VID_046D&PID_C52B&MI_00"
                                << "" << -1;
    QTest::newRow("no bus") << "VEN_10DE&DEV_0393"
                            << "" << -1;
    QTest::newRow("vendor too short") << "PCI\\VEN_10D&DEV_0393"
                                      << "" << -1;
    QTest::newRow("device not hex") << "PCI\\VEN_10DE&DEV_03G3"
                                    << "" << -1;
    QTest::newRow("device with sign") << "PCI\\VEN_10DE&DEV_+393"
                                      << "" << -1;
    QTest::newRow("subsystem too short") << "PCI\\VEN_10DE&DEV_0393&SUBSYS_0401"
                                         << "" << -1;
    QTest::newRow("interface not hex") << "USB\\VID_046D&PID_C52B&MI_x0"
                                       << "" << -1;
    QTest::newRow("empty") << ""
                           << "" << -1;
}

void HardwareReaderTest::windowsHardwareIds() {
    QFETCH(QString, id);
    QFETCH(QString, hardwareId);
    QFETCH(int, usbInterface);
    const std::optional<ParsedHardwareId> parsed = ParseHardwareId(id);
    QCOMPARE(parsed.has_value(), !hardwareId.isEmpty());
    if (!parsed) return;
    QCOMPARE(parsed->device.hardwareId(), hardwareId);
    QCOMPARE(parsed->usbInterface.value_or(-1), usbInterface);
}

QUARROW_TEST_MAIN(HardwareReaderTest)
#include "tst_hardware_reader.moc"
