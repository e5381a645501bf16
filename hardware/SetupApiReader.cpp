#include "SetupApiReader.h"

// <setupapi.h> and <cfgmgr32.h> need the types that <windows.h> declares, so
// they come after it in a block of their own, where sorting cannot move them.
#include <windows.h>

#include <cfgmgr32.h>
#include <setupapi.h>

#include <QHash>
#include <vector>

#include "core/Exception.h"

namespace quarrow {

namespace {

// A text or list-of-texts property of a device; empty when it has none.
QStringList textProperty(HDEVINFO set, SP_DEVINFO_DATA* data, DWORD property) {
    DWORD size = 0;
    SetupDiGetDeviceRegistryPropertyW(set, data, property, nullptr, nullptr, 0, &size);
    if (size == 0) return {};
    // Room for the two closing zeros that a list may lack.
    std::vector<wchar_t> buffer(size / sizeof(wchar_t) + 2, L'\0');
    if (!SetupDiGetDeviceRegistryPropertyW(set, data, property, nullptr,
                                           reinterpret_cast<BYTE*>(buffer.data()), size, nullptr)) {
        return {};
    }
    QStringList texts;
    for (const wchar_t* text = buffer.data(); *text != L'\0'; text += wcslen(text) + 1) {
        texts.append(QString::fromWCharArray(text));
    }
    return texts;
}

DWORD numberProperty(HDEVINFO set, SP_DEVINFO_DATA* data, DWORD property) {
    DWORD value = 0;
    SetupDiGetDeviceRegistryPropertyW(set, data, property, nullptr, reinterpret_cast<BYTE*>(&value),
                                      sizeof(value), nullptr);
    return value;
}

bool isUsbHub(const QStringList& compatibleIds) {
    for (const QString& id : compatibleIds) {
        if (id.startsWith(QStringLiteral("USB\\Class_09"), Qt::CaseInsensitive)) return true;
    }
    return false;
}

// Problem code 28 (CM_PROB_FAILED_INSTALL): no driver is installed.
bool driverMissing(DEVINST instance) {
    ULONG status = 0;
    ULONG problem = 0;
    return CM_Get_DevNode_Status(&status, &problem, instance, 0) == CR_SUCCESS &&
           (status & DN_HAS_PROBLEM) != 0 && problem == CM_PROB_FAILED_INSTALL;
}

// The same spelling as sysfs for PCI ("0000:00:1f.2"), so that the list
// orders alike on both systems; USB devices by their instance path.
QString locationOf(HDEVINFO set, SP_DEVINFO_DATA* data, HardwareBus bus) {
    if (bus == HardwareBus::Pci) {
        const DWORD address = numberProperty(set, data, SPDRP_ADDRESS);
        return QString::asprintf("0000:%02lx:%02x.%x", numberProperty(set, data, SPDRP_BUSNUMBER),
                                 unsigned(HIWORD(address)), unsigned(LOWORD(address)));
    }
    wchar_t instance[MAX_DEVICE_ID_LEN] = {};
    if (!SetupDiGetDeviceInstanceIdW(set, data, instance, MAX_DEVICE_ID_LEN, nullptr)) return {};
    return QString::fromWCharArray(instance);
}

struct UsbInterface {
    DEVINST parent = 0;
    QString driver;
};

}  // namespace

HardwareScan ReadSetupApiDevices() {
    const HDEVINFO set =
        SetupDiGetClassDevsW(nullptr, nullptr, nullptr, DIGCF_ALLCLASSES | DIGCF_PRESENT);
    if (set == INVALID_HANDLE_VALUE) {
        throw Exception(QStringLiteral("The system did not give the list of devices (error %1).")
                            .arg(GetLastError()));
    }
    HardwareScan scan;
    QHash<DEVINST, qsizetype> rowOf;
    QList<UsbInterface> interfaces;
    SP_DEVINFO_DATA data{};
    data.cbSize = sizeof(data);
    for (DWORD index = 0; SetupDiEnumDeviceInfo(set, index, &data); ++index) {
        const QString id = textProperty(set, &data, SPDRP_HARDWAREID).value(0);
        const bool listedBus = id.startsWith(QStringLiteral("PCI\\"), Qt::CaseInsensitive) ||
                               id.startsWith(QStringLiteral("USB\\"), Qt::CaseInsensitive);
        if (!listedBus || id.startsWith(QStringLiteral("USB\\ROOT_HUB"), Qt::CaseInsensitive)) {
            continue;
        }
        const std::optional<ParsedHardwareId> parsed = ParseHardwareId(id);
        if (!parsed) {
            ++scan.skipped;
            continue;
        }
        if (parsed->device.bus == HardwareBus::Usb &&
            isUsbHub(textProperty(set, &data, SPDRP_COMPATIBLEIDS))) {
            continue;
        }
        const QString service = textProperty(set, &data, SPDRP_SERVICE).value(0);
        const QString driver = driverMissing(data.DevInst) ? QString() : service;
        if (parsed->usbInterface) {
            DEVINST parent = 0;
            if (CM_Get_Parent(&parent, data.DevInst, 0) == CR_SUCCESS) {
                interfaces.append({parent, driver});
            }
            continue;
        }
        HardwareDevice device = parsed->device;
        if (!driver.isEmpty()) device.drivers.append(driver);
        device.location = locationOf(set, &data, device.bus);
        rowOf.insert(data.DevInst, scan.devices.size());
        scan.devices.append(device);
    }
    SetupDiDestroyDeviceInfoList(set);

    // A composite USB device's own driver only splits it into interfaces: as
    // on Linux, the drivers of its interfaces are the device's drivers.
    QList<qsizetype> composites;
    for (const UsbInterface& usbInterface : interfaces) {
        const auto row = rowOf.constFind(usbInterface.parent);
        if (row == rowOf.cend()) continue;
        QStringList& drivers = scan.devices[*row].drivers;
        if (!composites.contains(*row)) {
            drivers.clear();
            composites.append(*row);
        }
        if (!usbInterface.driver.isEmpty() && !drivers.contains(usbInterface.driver)) {
            drivers.append(usbInterface.driver);
        }
    }
    SortInBusOrder(scan.devices);
    return scan;
}

}  // namespace quarrow
