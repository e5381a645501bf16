#pragma once

#include <QByteArray>
#include <QString>

namespace quarrow::test {

// A folder laid out like Linux's sysfs, holding the devices a test puts in
// it: each device's folder lies under devices/ and the bus lists it by a
// link, as the kernel does; a bound driver is a `driver` link to the bus's
// drivers/<name>.
class SysfsTree {
public:
    explicit SysfsTree(QString root);
    const QString& root() const { return root_; }

    void addPci(const QString& address, quint16 vendor, quint16 device, quint16 subvendor = 0,
                quint16 subdevice = 0, const QString& driver = {});
    // deviceClass 9 makes a hub.
    void addUsb(const QString& name, quint16 vendor, quint16 product, quint8 deviceClass = 0);
    // An interface "<device>:1.<number>" of a USB device.
    void addUsbInterface(const QString& device, int number, const QString& driver = {});

    // For odd entries: a file with any content, a link to anything, a folder.
    void writeFile(const QString& relativePath, const QByteArray& content);
    void link(const QString& relativeLink, const QString& target);
    void makeFolder(const QString& relativePath);

private:
    QString path(const QString& relativePath) const { return root_ + u'/' + relativePath; }
    void listOnBus(const QString& bus, const QString& name, const QString& folder);
    void bindDriver(const QString& bus, const QString& folder, const QString& driver);

    QString root_;
};

}  // namespace quarrow::test
