#pragma once

#include "HardwareDevice.h"

namespace quarrow {

// Reads the PCI and USB devices present in a Windows computer from the device
// set of SetupAPI, in bus order; a device whose problem code says that no
// driver is installed has none. Throws only when the system refuses the list
// as a whole. Windows only.
HardwareScan ReadSetupApiDevices();

}  // namespace quarrow
