#pragma once

#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>

namespace quarrow {

// The two public registries of hardware codes, pci.ids and usb.ids. Both
// list vendors at the start of a line, their devices after one tab and, in
// pci.ids, each device's subsystems after two tabs; other sections follow
// the vendor list.
enum class IdsKind { Pci, Usb };

struct IdsEntry {
    enum class Kind { Vendor, Device, Subsystem };
    Kind kind = Kind::Vendor;
    quint16 vendor = 0;
    quint16 device = 0;
    quint16 subvendor = 0;
    quint16 subdevice = 0;
    QString name;
};

struct IdsCounts {
    qsizetype vendors = 0;
    qsizetype devices = 0;
    qsizetype subsystems = 0;
    // Lines that do not parse, and the lines under them that have lost their
    // parent vendor or device.
    qsizetype skippedLines = 0;
};

struct IdsList {
    QList<IdsEntry> entries;  // in file order
    IdsCounts counts;
};

// Reads the vendor list of an ids file (UTF-8). Comments and blank lines are
// ignored; reading stops at the first section after the vendor list.
IdsList ReadIds(QByteArrayView text, IdsKind kind);

// One device catalogue text per entry, in file order, with the codes in the
// Windows hardware-ID spelling and the lspci spelling, then the names:
//   PCI\VEN_10DE 10de NVIDIA Corporation
//   PCI\VEN_10DE&DEV_0393 10de:0393 NVIDIA Corporation G73 [GeForce 7300 GT]
//   PCI\VEN_10DE&DEV_0393&SUBSYS_<subdevice><subvendor> 10de:0393 <subvendor>:<subdevice>
//       NVIDIA Corporation G73 [GeForce 7300 GT] - <subvendor name> <subsystem name>
//   USB\VID_046D&PID_C52B 046d:c52b Logitech, Inc. Unifying Receiver
struct IdsRows {
    QStringList rows;
    IdsCounts counts;
};
IdsRows DeviceCatalogueRows(const IdsList& list, IdsKind kind);
IdsRows ReadIdsRows(QByteArrayView text, IdsKind kind);

}  // namespace quarrow
