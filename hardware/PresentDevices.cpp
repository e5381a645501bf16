#include "PresentDevices.h"

#if defined(Q_OS_WIN)
#include "SetupApiReader.h"
#else
#include "SysfsReader.h"
#endif

namespace quarrow {

HardwareScan ReadPresentDevices() {
#if defined(Q_OS_WIN)
    return ReadSetupApiDevices();
#else
    return ReadSysfsDevices(QStringLiteral("/sys"));
#endif
}

}  // namespace quarrow
