#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <optional>

namespace quarrow {

enum class HardwareBus { Pci, Usb };

// One device present in the computer, as its bus reports it.
struct HardwareDevice {
    HardwareBus bus = HardwareBus::Pci;
    quint16 vendor = 0;
    quint16 device = 0;
    // PCI only: the card maker's codes, 0000:0000 when the device names none.
    quint16 subvendor = 0;
    quint16 subdevice = 0;
    // The drivers bound to it, each once; empty when none is.
    QStringList drivers;
    // Where it sits on its bus ("0000:00:1f.2", "1-1.4"): the bus order.
    QString location;

    bool hasSubsystem() const { return subvendor != 0 || subdevice != 0; }
    bool hasDriver() const { return !drivers.isEmpty(); }

    // The codes in the spelling of the device catalogue, hex in upper case:
    // PCI\VEN_10DE, PCI\VEN_10DE&DEV_0393, and with a subsystem
    // PCI\VEN_10DE&DEV_0393&SUBSYS_04011043 (subdevice, then subvendor);
    // USB\VID_046D and USB\VID_046D&PID_C52B.
    QString vendorId() const;
    QString deviceId() const;
    QString subsystemId() const;  // empty without a subsystem
    // The most precise of them: the subsystem's code where there is one.
    QString hardwareId() const;
    // The vendor and device part alone, "VEN_10DE&DEV_0393" or
    // "VID_046D&PID_C52B", which every catalogue row of the device contains.
    QString searchCode() const;
    // "DEV_0393" or "PID_C52B".
    QString deviceCode() const;
};

// What a reading of the present devices found, in bus order, and how many
// entries it passed over because they could not be read or made no sense.
struct HardwareScan {
    QList<HardwareDevice> devices;
    int skipped = 0;
};

// PCI before USB; on each bus by location.
bool InBusOrder(const HardwareDevice& a, const HardwareDevice& b);
void SortInBusOrder(QList<HardwareDevice>& devices);

// A hardware code as Windows reports it, "PCI\VEN_8086&DEV_1237&SUBSYS_11001AF4&REV_02"
// or "USB\VID_046D&PID_C52B&REV_1201&MI_01", read into a device; `usbInterface`
// is the interface number of an "&MI_xx" code. Nothing for another bus or a
// code that does not have this form.
struct ParsedHardwareId {
    HardwareDevice device;
    std::optional<int> usbInterface;
};
std::optional<ParsedHardwareId> ParseHardwareId(QStringView id);

}  // namespace quarrow
