#pragma once

#include "CatalogueWriter.h"
#include "IdsReader.h"

#include <QString>

namespace quarrow {

// Where Debian's pci.ids and usb.ids packages put the registries.
QString DefaultPciIdsPath();
QString DefaultUsbIdsPath();

// The whole file; throws InputError "<path>: ..." when it cannot be read.
QByteArray ReadInputFile(const QString& path);

struct DeviceCatalogueReport {
    IdsCounts pci;
    IdsCounts usb;
    qsizetype rows = 0;
};

// Builds a device catalogue (table `device`) with one row per vendor, device
// and subsystem of pci.ids, then per vendor and device of usb.ids, numbered
// from 1 in that order. A registry file from which no vendor can be read
// throws InputError naming it, and nothing is written.
DeviceCatalogueReport BuildDeviceCatalogue(const QString& path, const QString& password,
                                           const QString& pciIdsPath, const QString& usbIdsPath,
                                           const BuildProgress& progress = {},
                                           const OutputOptions& output = {});

}  // namespace quarrow
