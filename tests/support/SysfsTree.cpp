#include "SysfsTree.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <stdexcept>

namespace quarrow::test {

namespace {

QByteArray hex(quint16 code, int width, const char* prefix) {
    return QByteArray(prefix) + QByteArray::number(code, 16).rightJustified(width, '0') + '\n';
}

}  // namespace

SysfsTree::SysfsTree(QString root) : root_(std::move(root)) {
    makeFolder(QStringLiteral("bus/pci/devices"));
    makeFolder(QStringLiteral("bus/usb/devices"));
}

void SysfsTree::makeFolder(const QString& relativePath) {
    if (!QDir().mkpath(path(relativePath))) {
        throw std::runtime_error("cannot make a folder of the sysfs tree");
    }
}

void SysfsTree::writeFile(const QString& relativePath, const QByteArray& content) {
    makeFolder(QFileInfo(relativePath).path());
    QFile file(path(relativePath));
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size()) {
        throw std::runtime_error("cannot write a file of the sysfs tree");
    }
}

void SysfsTree::link(const QString& relativeLink, const QString& target) {
    makeFolder(QFileInfo(relativeLink).path());
    if (!QFile::link(target, path(relativeLink))) {
        throw std::runtime_error("cannot make a link in the sysfs tree");
    }
}

void SysfsTree::listOnBus(const QString& bus, const QString& name, const QString& folder) {
    link(QStringLiteral("bus/%1/devices/%2").arg(bus, name), path(folder));
}

void SysfsTree::bindDriver(const QString& bus, const QString& folder, const QString& driver) {
    if (driver.isEmpty()) return;
    const QString drivers = QStringLiteral("bus/%1/drivers/%2").arg(bus, driver);
    makeFolder(drivers);
    link(folder + QStringLiteral("/driver"), path(drivers));
}

void SysfsTree::addPci(const QString& address, quint16 vendor, quint16 device, quint16 subvendor,
                       quint16 subdevice, const QString& driver) {
    const QString folder = QStringLiteral("devices/pci0000:00/") + address;
    writeFile(folder + QStringLiteral("/vendor"), hex(vendor, 4, "0x"));
    writeFile(folder + QStringLiteral("/device"), hex(device, 4, "0x"));
    writeFile(folder + QStringLiteral("/subsystem_vendor"), hex(subvendor, 4, "0x"));
    writeFile(folder + QStringLiteral("/subsystem_device"), hex(subdevice, 4, "0x"));
    writeFile(folder + QStringLiteral("/class"), "0x030000\n");
    bindDriver(QStringLiteral("pci"), folder, driver);
    listOnBus(QStringLiteral("pci"), address, folder);
}

void SysfsTree::addUsb(const QString& name, quint16 vendor, quint16 product, quint8 deviceClass) {
    const QString folder = QStringLiteral("devices/pci0000:00/0000:00:14.0/usb1/") + name;
    writeFile(folder + QStringLiteral("/idVendor"), hex(vendor, 4, ""));
    writeFile(folder + QStringLiteral("/idProduct"), hex(product, 4, ""));
    writeFile(folder + QStringLiteral("/bDeviceClass"), hex(deviceClass, 2, ""));
    // Every USB device is bound to the generic "usb" driver; its real drivers
    // are its interfaces'.
    bindDriver(QStringLiteral("usb"), folder, QStringLiteral("usb"));
    listOnBus(QStringLiteral("usb"), name, folder);
}

void SysfsTree::addUsbInterface(const QString& device, int number, const QString& driver) {
    const QString name = device + QStringLiteral(":1.") + QString::number(number);
    const QString folder =
        QStringLiteral("devices/pci0000:00/0000:00:14.0/usb1/%1/%2").arg(device, name);
    writeFile(folder + QStringLiteral("/bInterfaceClass"), "03\n");
    bindDriver(QStringLiteral("usb"), folder, driver);
    listOnBus(QStringLiteral("usb"), name, folder);
}

}  // namespace quarrow::test
