#include "SampleComputer.h"

#include "CatalogueWriter.h"
#include "IdsReader.h"
#include "SysfsTree.h"

namespace quarrow::test {

namespace {

const QByteArray kPciIds =
    "1043  ASUSTeK Computer Inc.\n"
    "10de  NVIDIA Corporation\n"
    "\t0393  G73 [GeForce 7300 GT]\n"
    "\t\t1043 0401  EN7300GT\n"
    "\t\t1043 8213  EN7300GT Silent\n"
    "1af4  Red Hat, Inc.\n"
    "\t1041  Virtio 1.0 network device\n"
    "8086  Intel Corporation\n"
    "\t27c1  NM10/ICH7 Family SATA Controller [AHCI mode]\n"
    "\t\t1043 81ec  P5B\n"
    "\t27dc  NM10/ICH7 Family LAN Controller\n"
    "\t29c0  82G33/G31/P35/P31 Express DRAM Controller\n"
    "\t\t1043 8295  P5K PRO Motherboard\n";

const QByteArray kUsbIds =
    "046d  Logitech, Inc.\n"
    "\tc52b  Unifying Receiver\n"
    "05e3  Genesys Logic, Inc.\n"
    "\t0608  Hub\n"
    "0bda  Realtek Semiconductor Corp.\n"
    "\t8153  RTL8153 Gigabit Ethernet Adapter\n";

}  // namespace

void MakeSampleComputer(SysfsTree& tree) {
    tree.addPci(QStringLiteral("0000:00:00.0"), 0x8086, 0x29c0, 0x1043, 0x8276);
    tree.addPci(QStringLiteral("0000:00:02.0"), 0x8086, 0x27dc, 0, 0, QStringLiteral("e1000"));
    tree.addPci(QStringLiteral("0000:00:1f.2"), 0x8086, 0x27c1, 0x1043, 0x81ec,
                QStringLiteral("ahci"));
    tree.writeFile(QStringLiteral("bus/pci/devices/0000:00:1e.0/vendor"), "garbage\n");
    tree.addPci(QStringLiteral("0000:01:00.0"), 0x10de, 0x0393, 0x1043, 0x0401,
                QStringLiteral("nouveau"));
    tree.addPci(QStringLiteral("0000:02:00.0"), 0x1af4, 0x1045);
    tree.addPci(QStringLiteral("0000:03:00.0"), 0x1234, 0xabcd, 0, 0,
                QStringLiteral("snd_hda_intel"));
    tree.addUsb(QStringLiteral("usb1"), 0x1d6b, 0x0002, 9);
    tree.addUsb(QStringLiteral("1-1"), 0x05e3, 0x0608, 9);
    tree.addUsbInterface(QStringLiteral("1-1"), 0, QStringLiteral("hub"));
    tree.addUsb(QStringLiteral("1-1.2"), 0x046d, 0xc52b);
    tree.addUsbInterface(QStringLiteral("1-1.2"), 0, QStringLiteral("usbhid"));
    tree.addUsbInterface(QStringLiteral("1-1.2"), 1, QStringLiteral("usbhid"));
    tree.addUsbInterface(QStringLiteral("1-1.2"), 2, QStringLiteral("hid-logitech-dj"));
    tree.addUsb(QStringLiteral("1-1.4"), 0x0bda, 0x8153);
    tree.addUsbInterface(QStringLiteral("1-1.4"), 0);
}

HardwareScan SampleComputerScan() {
    const auto device = [](HardwareBus bus, quint16 vendor, quint16 code, quint16 subvendor,
                           quint16 subdevice, QStringList drivers, const char* location) {
        HardwareDevice found;
        found.bus = bus;
        found.vendor = vendor;
        found.device = code;
        found.subvendor = subvendor;
        found.subdevice = subdevice;
        found.drivers = std::move(drivers);
        found.location = QString::fromLatin1(location);
        return found;
    };
    constexpr HardwareBus pci = HardwareBus::Pci;
    constexpr HardwareBus usb = HardwareBus::Usb;
    HardwareScan scan;
    scan.devices = {
        device(pci, 0x8086, 0x29c0, 0x1043, 0x8276, {}, "0000:00:00.0"),
        device(pci, 0x8086, 0x27dc, 0, 0, {QStringLiteral("e1000")}, "0000:00:02.0"),
        device(pci, 0x8086, 0x27c1, 0x1043, 0x81ec, {QStringLiteral("ahci")}, "0000:00:1f.2"),
        device(pci, 0x10de, 0x0393, 0x1043, 0x0401, {QStringLiteral("nouveau")}, "0000:01:00.0"),
        device(pci, 0x1af4, 0x1045, 0, 0, {}, "0000:02:00.0"),
        device(pci, 0x1234, 0xabcd, 0, 0, {QStringLiteral("snd_hda_intel")}, "0000:03:00.0"),
        device(usb, 0x046d, 0xc52b, 0, 0,
               {QStringLiteral("usbhid"), QStringLiteral("hid-logitech-dj")}, "1-1.2"),
        device(usb, 0x0bda, 0x8153, 0, 0, {}, "1-1.4"),
    };
    scan.skipped = 1;
    return scan;
}

void WriteSampleDeviceCatalogue(const QString& path) {
    CatalogueTable table{{QStringLiteral("Код"), QStringLiteral("device")}, {}};
    const QStringList pci = ReadIdsRows(kPciIds, IdsKind::Pci).rows;
    const QStringList usb = ReadIdsRows(kUsbIds, IdsKind::Usb).rows;
    for (const QStringList* rows : {&pci, &usb}) {
        for (const QString& row : *rows) table.rows.append({QString(), row});
    }
    WriteDeviceCatalogue(path, QStringLiteral("kavrel"), table);
}

QStringList SampleComputerRows() {
    return {
        QStringLiteral("PCI\\VEN_8086&DEV_29C0&SUBSYS_82761043|Intel Corporation 82G33/G31/P35/"
                       "P31 Express DRAM Controller|НЕТ ДРАЙВЕРА"),
        QStringLiteral("PCI\\VEN_1AF4&DEV_1045|Red Hat, Inc. (DEV_1045)|НЕТ ДРАЙВЕРА"),
        QStringLiteral("USB\\VID_0BDA&PID_8153|Realtek Semiconductor Corp. RTL8153 Gigabit "
                       "Ethernet Adapter|НЕТ ДРАЙВЕРА"),
        QStringLiteral("PCI\\VEN_8086&DEV_27DC|Intel Corporation NM10/ICH7 Family LAN "
                       "Controller|e1000"),
        QStringLiteral("PCI\\VEN_8086&DEV_27C1&SUBSYS_81EC1043|Intel Corporation NM10/ICH7 Family "
                       "SATA Controller [AHCI mode] - ASUSTeK Computer Inc. P5B|ahci"),
        QStringLiteral("PCI\\VEN_10DE&DEV_0393&SUBSYS_04011043|NVIDIA Corporation G73 [GeForce "
                       "7300 GT] - ASUSTeK Computer Inc. EN7300GT|nouveau"),
        QStringLiteral("PCI\\VEN_1234&DEV_ABCD|неизвестное устройство|snd_hda_intel"),
        QStringLiteral("USB\\VID_046D&PID_C52B|Logitech, Inc. Unifying Receiver|usbhid, "
                       "hid-logitech-dj"),
    };
}

}  // namespace quarrow::test
