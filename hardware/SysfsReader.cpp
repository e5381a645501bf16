#include "SysfsReader.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <cctype>

namespace quarrow {

namespace {

// sysfs attribute files are a few bytes; anything longer is not a code.
constexpr qint64 kLongestAttribute = 64;

// A hex code of at most four digits, with or without "0x", as in
// "0x10de\n" (PCI) or "046d\n" (USB).
std::optional<quint16> readCode(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    QByteArray text = file.read(kLongestAttribute).trimmed();
    if (text.startsWith("0x") || text.startsWith("0X")) text.remove(0, 2);
    if (text.isEmpty() || text.size() > 4) return std::nullopt;
    for (const char c : text) {
        if (!std::isxdigit(static_cast<unsigned char>(c))) return std::nullopt;
    }
    return quint16(text.toUInt(nullptr, 16));
}

// A code that an entry may lack: nothing when its file is absent, which
// is no fault; a file that holds something else makes the entry odd.
struct OptionalCode {
    bool odd = false;
    quint16 value = 0;
};

OptionalCode readOptionalCode(const QString& path) {
    if (!QFileInfo::exists(path)) return {};
    const std::optional<quint16> code = readCode(path);
    return code ? OptionalCode{false, *code} : OptionalCode{true, 0};
}

// The name of the driver a device's `driver` link points at; empty when the
// device has no such link.
QString boundDriver(const QString& devicePath) {
    const QString target = QFileInfo(devicePath + QStringLiteral("/driver")).symLinkTarget();
    return target.isEmpty() ? QString() : QFileInfo(target).fileName();
}

QFileInfoList entriesOf(const QString& folder) {
    // Broken links are listed too (System), so that they are counted.
    return QDir(folder).entryInfoList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot,
                                      QDir::Name);
}

void readPci(const QString& sysRoot, HardwareScan& scan) {
    for (const QFileInfo& entry : entriesOf(sysRoot + QStringLiteral("/bus/pci/devices"))) {
        const QString path = entry.filePath();
        const std::optional<quint16> vendor = readCode(path + QStringLiteral("/vendor"));
        const std::optional<quint16> device = readCode(path + QStringLiteral("/device"));
        const OptionalCode subvendor = readOptionalCode(path + QStringLiteral("/subsystem_vendor"));
        const OptionalCode subdevice = readOptionalCode(path + QStringLiteral("/subsystem_device"));
        // 0xffff is what a vanished device reads as.
        if (!entry.isDir() || !vendor || !device || *vendor == 0xFFFF || subvendor.odd ||
            subdevice.odd) {
            ++scan.skipped;
            continue;
        }
        HardwareDevice found;
        found.bus = HardwareBus::Pci;
        found.vendor = *vendor;
        found.device = *device;
        found.subvendor = subvendor.value;
        found.subdevice = subdevice.value;
        const QString driver = boundDriver(path);
        if (!driver.isEmpty()) found.drivers.append(driver);
        found.location = entry.fileName();
        scan.devices.append(found);
    }
}

void readUsb(const QString& sysRoot, HardwareScan& scan) {
    const QFileInfoList entries = entriesOf(sysRoot + QStringLiteral("/bus/usb/devices"));
    // An interface "1-1.4:1.0" belongs to the device "1-1.4"; the list is
    // sorted, so its interfaces' drivers come in interface order.
    QHash<QString, QStringList> interfaceDrivers;
    for (const QFileInfo& entry : entries) {
        const qsizetype colon = entry.fileName().indexOf(u':');
        if (colon < 0) continue;
        const QString driver = boundDriver(entry.filePath());
        QStringList& drivers = interfaceDrivers[entry.fileName().first(colon)];
        if (!driver.isEmpty() && !drivers.contains(driver)) drivers.append(driver);
    }
    constexpr quint16 kHubClass = 0x09;
    for (const QFileInfo& entry : entries) {
        const QString name = entry.fileName();
        // Interfaces are no devices of their own; "usb1" ... are root hubs.
        if (name.contains(u':') || name.startsWith(QStringLiteral("usb"))) continue;
        const QString path = entry.filePath();
        const std::optional<quint16> vendor = readCode(path + QStringLiteral("/idVendor"));
        const std::optional<quint16> product = readCode(path + QStringLiteral("/idProduct"));
        const std::optional<quint16> deviceClass = readCode(path + QStringLiteral("/bDeviceClass"));
        if (!entry.isDir() || !vendor || !product || !deviceClass) {
            ++scan.skipped;
            continue;
        }
        if (*deviceClass == kHubClass) continue;
        HardwareDevice found;
        found.bus = HardwareBus::Usb;
        found.vendor = *vendor;
        found.device = *product;
        found.drivers = interfaceDrivers.value(name);
        found.location = name;
        scan.devices.append(found);
    }
}

}  // namespace

HardwareScan ReadSysfsDevices(const QString& sysRoot) {
    HardwareScan scan;
    readPci(sysRoot, scan);
    readUsb(sysRoot, scan);
    SortInBusOrder(scan.devices);
    return scan;
}

}  // namespace quarrow
