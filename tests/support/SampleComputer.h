#pragma once

#include "hardware/HardwareDevice.h"

#include <QString>
#include <QStringList>

namespace quarrow::test {

class SysfsTree;

// A small computer for the device list, in a sysfs tree: a host bridge
// without a driver, a LAN and a SATA controller, a graphics card, a device
// the catalogue knows only the vendor of, one it does not know at all, a
// USB receiver with three interfaces, a USB network adapter without a
// driver, a hub, the root hub and one broken entry.
void MakeSampleComputer(SysfsTree& tree);

// The same computer as a reading of it gives it: its devices in bus order
// (no hubs) with their drivers, and the broken entry counted as skipped.
// The sysfs reader's suite checks that the tree reads as this; the window
// suites show it on every system.
HardwareScan SampleComputerScan();

// The device catalogue that names it, written by the catalogue builder from
// excerpts of pci.ids and usb.ids, as dev.mdb is.
void WriteSampleDeviceCatalogue(const QString& path);

// What the device list shows for it, "ID|УСТРОЙСТВО|ДРАЙВЕР" per row.
QStringList SampleComputerRows();

}  // namespace quarrow::test
