#pragma once

#include "HardwareDevice.h"

namespace quarrow {

// The PCI and USB devices present in this computer, in bus order, with the
// drivers bound to them: sysfs under /sys on Linux; on Windows the device
// set of SetupAPI, where a device whose problem code says that no driver is
// installed has none. Throws only when the system refuses the list as a whole.
HardwareScan ReadPresentDevices();

}  // namespace quarrow
