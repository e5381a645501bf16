#include "HardwareDevice.h"

#include <algorithm>

namespace quarrow {

namespace {

QString upperHex(quint16 code) {
    return QStringLiteral("%1").arg(code, 4, 16, QChar(u'0')).toUpper();
}

bool isPci(const HardwareDevice& device) { return device.bus == HardwareBus::Pci; }

std::optional<uint> hexValue(QStringView digits, qsizetype width) {
    if (digits.size() != width) return std::nullopt;
    bool ok = false;
    const uint value = digits.toUInt(&ok, 16);
    // toUInt() also takes a sign or a "0x"; a code is hex digits only.
    const bool onlyDigits = std::all_of(digits.begin(), digits.end(), [](QChar c) {
        return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
    });
    if (!ok || !onlyDigits) return std::nullopt;
    return value;
}

// The text after "<key>_" in the part of a code that starts so.
std::optional<QStringView> partValue(const QList<QStringView>& parts, QStringView key) {
    for (const QStringView part : parts) {
        if (part.size() > key.size() && part.startsWith(key, Qt::CaseInsensitive) &&
            part[key.size()] == u'_') {
            return part.sliced(key.size() + 1);
        }
    }
    return std::nullopt;
}

std::optional<uint> hexPart(const QList<QStringView>& parts, QStringView key, qsizetype width) {
    const std::optional<QStringView> value = partValue(parts, key);
    return value ? hexValue(*value, width) : std::nullopt;
}

// USB locations are decimal numbers joined by "-" and ".": "1-1.10" comes
// after "1-1.9".
bool locationLess(QStringView a, QStringView b) {
    qsizetype i = 0;
    qsizetype j = 0;
    while (i < a.size() && j < b.size()) {
        if (a[i].isDigit() && b[j].isDigit()) {
            qsizetype endA = i;
            qsizetype endB = j;
            while (endA < a.size() && a[endA].isDigit()) ++endA;
            while (endB < b.size() && b[endB].isDigit()) ++endB;
            const QStringView numberA = a.sliced(i, endA - i);
            const QStringView numberB = b.sliced(j, endB - j);
            const ulong valueA = numberA.toULong();
            const ulong valueB = numberB.toULong();
            if (valueA != valueB) return valueA < valueB;
            i = endA;
            j = endB;
            continue;
        }
        if (a[i] != b[j]) return a[i] < b[j];
        ++i;
        ++j;
    }
    return a.size() - i < b.size() - j;
}

}  // namespace

QString HardwareDevice::vendorId() const {
    return isPci(*this) ? QStringLiteral("PCI\\VEN_") + upperHex(vendor)
                        : QStringLiteral("USB\\VID_") + upperHex(vendor);
}

QString HardwareDevice::deviceCode() const {
    return (isPci(*this) ? QStringLiteral("DEV_") : QStringLiteral("PID_")) + upperHex(device);
}

QString HardwareDevice::deviceId() const { return vendorId() + u'&' + deviceCode(); }

QString HardwareDevice::subsystemId() const {
    if (!isPci(*this) || !hasSubsystem()) return {};
    return deviceId() + QStringLiteral("&SUBSYS_") + upperHex(subdevice) + upperHex(subvendor);
}

QString HardwareDevice::hardwareId() const {
    const QString subsystem = subsystemId();
    return subsystem.isEmpty() ? deviceId() : subsystem;
}

QString HardwareDevice::searchCode() const {
    return (isPci(*this) ? QStringLiteral("VEN_") : QStringLiteral("VID_")) + upperHex(vendor) +
           u'&' + deviceCode();
}

bool InBusOrder(const HardwareDevice& a, const HardwareDevice& b) {
    if (a.bus != b.bus) return isPci(a);
    // PCI addresses are hex of fixed width: their text order is bus order.
    if (isPci(a)) return a.location < b.location;
    return locationLess(a.location, b.location);
}

void SortInBusOrder(QList<HardwareDevice>& devices) {
    std::stable_sort(devices.begin(), devices.end(), InBusOrder);
}

std::optional<ParsedHardwareId> ParseHardwareId(QStringView id) {
    const qsizetype separator = id.indexOf(u'\\');
    if (separator < 0) return std::nullopt;
    const QStringView bus = id.first(separator);
    const QList<QStringView> parts = id.sliced(separator + 1).split(u'&');

    ParsedHardwareId parsed;
    HardwareDevice& device = parsed.device;
    if (bus.compare(u"PCI", Qt::CaseInsensitive) == 0) {
        const std::optional<uint> vendor = hexPart(parts, u"VEN", 4);
        const std::optional<uint> code = hexPart(parts, u"DEV", 4);
        if (!vendor || !code) return std::nullopt;
        device.bus = HardwareBus::Pci;
        device.vendor = quint16(*vendor);
        device.device = quint16(*code);
        if (partValue(parts, u"SUBSYS")) {
            const std::optional<uint> subsystem = hexPart(parts, u"SUBSYS", 8);
            if (!subsystem) return std::nullopt;
            // Windows writes the subdevice first, then the subvendor.
            device.subdevice = quint16(*subsystem >> 16);
            device.subvendor = quint16(*subsystem & 0xFFFF);
        }
        return parsed;
    }
    if (bus.compare(u"USB", Qt::CaseInsensitive) == 0) {
        const std::optional<uint> vendor = hexPart(parts, u"VID", 4);
        const std::optional<uint> product = hexPart(parts, u"PID", 4);
        if (!vendor || !product) return std::nullopt;
        device.bus = HardwareBus::Usb;
        device.vendor = quint16(*vendor);
        device.device = quint16(*product);
        if (partValue(parts, u"MI")) {
            const std::optional<uint> number = hexPart(parts, u"MI", 2);
            if (!number) return std::nullopt;
            parsed.usbInterface = int(*number);
        }
        return parsed;
    }
    return std::nullopt;
}

}  // namespace quarrow
