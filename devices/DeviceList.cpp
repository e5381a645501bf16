#include "DeviceList.h"

#include "stores/DeviceCatalogue.h"

#include <algorithm>

namespace quarrow {

QString NoDriverText() { return QStringLiteral("НЕТ ДРАЙВЕРА"); }
QString UnknownDeviceText() { return QStringLiteral("неизвестное устройство"); }

QStringList CatalogueCodes(const QList<HardwareDevice>& devices) {
    QStringList codes;
    for (const HardwareDevice& device : devices) {
        for (const QString& code : {device.vendorId(), device.deviceId(), device.subsystemId()}) {
            if (!code.isEmpty() && !codes.contains(code)) codes.append(code);
        }
    }
    return codes;
}

QString DriverSearchText(const QString& deviceNames, const QString& vendorNames) {
    QString model = deviceNames;
    if (!vendorNames.isEmpty() && model.startsWith(vendorNames + u' ')) {
        model = model.sliced(vendorNames.size() + 1);
    }
    const qsizetype open = model.lastIndexOf(u'[');
    if (model.endsWith(u']') && open >= 0) {
        const QString before = model.first(open).trimmed();
        const QString inside = model.sliced(open + 1, model.size() - open - 2).trimmed();
        // After a chip's code ("G73", "Navi 10") the brackets hold the name
        // the product is sold under; after a description they only add a
        // detail ("[AHCI mode]") that no driver is named by.
        const bool afterChipCode = before.count(u' ') < 2;
        // "[Radeon RX 5600 OEM/5600 XT / 5700/5700 XT]" names several.
        model = afterChipCode ? inside.section(QStringLiteral(" / "), 0, 0) : before;
    }
    return model.trimmed();
}

namespace {

DeviceListRow rowFor(const HardwareDevice& device, const QHash<QString, QString>* texts) {
    DeviceListRow row;
    row.id = device.hardwareId();
    row.hasDriver = device.hasDriver();
    row.driver = row.hasDriver ? device.drivers.join(QStringLiteral(", ")) : NoDriverText();
    row.searchCode = device.searchCode();
    if (texts == nullptr) return row;

    const auto namesOf = [texts](const QString& code) {
        return code.isEmpty() ? QString() : DeviceNamesOfText(texts->value(code.toUpper()));
    };
    const QString vendor = namesOf(device.vendorId());
    const QString model = namesOf(device.deviceId());
    const QString subsystem = namesOf(device.subsystemId());
    if (!subsystem.isEmpty()) {
        row.name = subsystem;
    } else if (!model.isEmpty()) {
        row.name = model;
    } else if (!vendor.isEmpty()) {
        row.name = vendor + QStringLiteral(" (") + device.deviceCode() + u')';
    } else {
        row.name = UnknownDeviceText();
    }
    if (!model.isEmpty()) row.driverSearchText = DriverSearchText(model, vendor);
    return row;
}

}  // namespace

QList<DeviceListRow> MakeDeviceListRows(const QList<HardwareDevice>& devices,
                                        const QHash<QString, QString>* catalogueTexts) {
    QList<DeviceListRow> rows;
    rows.reserve(devices.size());
    for (const HardwareDevice& device : devices) rows.append(rowFor(device, catalogueTexts));
    std::stable_partition(rows.begin(), rows.end(),
                          [](const DeviceListRow& row) { return !row.hasDriver; });
    return rows;
}

}  // namespace quarrow
