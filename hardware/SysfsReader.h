#pragma once

#include "HardwareDevice.h"

namespace quarrow {

// Reads the PCI and USB devices from a tree laid out like Linux's sysfs
// (`sysRoot` is "/sys" for the computer's own):
// - bus/pci/devices/<address>/ with `vendor`, `device`, `subsystem_vendor`,
//   `subsystem_device` and the `driver` link;
// - bus/usb/devices/<port path>/ with `idVendor`, `idProduct` and
//   `bDeviceClass`, whose drivers are those of its interfaces
//   bus/usb/devices/<port path>:<configuration>.<interface>/driver.
// Hubs and the root hubs are left out. An entry that cannot be read or holds
// something else than a code is passed over and counted; nothing is fatal.
HardwareScan ReadSysfsDevices(const QString& sysRoot);

}  // namespace quarrow
