#pragma once

#include "hardware/HardwareDevice.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

namespace quarrow {

// One line of the device list.
struct DeviceListRow {
    QString id;      // the device's most precise catalogue code
    QString name;    // from the device catalogue; empty when it could not be read
    QString driver;  // the bound drivers, or "НЕТ ДРАЙВЕРА"
    bool hasDriver = false;
    // What the unknown-device window searches for: "VEN_10DE&DEV_0393".
    QString searchCode;
    // What the driver catalogue is searched for: the device's name after its
    // vendor's ("GeForce 7300 GT"); empty when the catalogue has no device row.
    QString driverSearchText;
};

QString NoDriverText();
QString UnknownDeviceText();

// The catalogue codes to look the devices up by: vendor, device and, where
// there is one, subsystem.
QStringList CatalogueCodes(const QList<HardwareDevice>& devices);

// One row per device: those without a driver first, then the rest, each
// group in the order given. A name is the subsystem row's, else the device
// row's, else the vendor row's with the device code, else "неизвестное
// устройство". `catalogueTexts` are the catalogue's texts by code (see
// DeviceTextsByCode); null when the catalogue could not be read, which
// leaves the names empty.
QList<DeviceListRow> MakeDeviceListRows(const QList<HardwareDevice>& devices,
                                        const QHash<QString, QString>* catalogueTexts);

// The part of a device row's names that a driver is searched by: what
// follows the vendor's name; after a chip's code, the product name in
// brackets ("G73 [GeForce 7300 GT]" gives "GeForce 7300 GT"), and after a
// description the description alone ("SATA Controller [AHCI mode]" gives
// "SATA Controller").
QString DriverSearchText(const QString& deviceNames, const QString& vendorNames);

}  // namespace quarrow
