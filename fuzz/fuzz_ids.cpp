// pci.ids and usb.ids: any text reads, as either kind, into entries that the
// counts account for, each with its parent, and one catalogue row per entry
// in the spelling of its bus.

#include "IdsReader.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

using quarrow::IdsEntry;
using quarrow::IdsKind;

[[noreturn]] void fail(const char* what, const QString& detail = QString()) {
    std::fprintf(stderr, "%s %s\n", what, detail.toUtf8().constData());
    std::abort();
}

bool isBlank(QChar c) { return c == u' ' || c == u'\t'; }

void checkList(const quarrow::IdsList& list, IdsKind kind) {
    const quarrow::IdsCounts& counts = list.counts;
    if (counts.vendors + counts.devices + counts.subsystems != list.entries.size()) {
        fail("the counts do not add up to the entries");
    }
    bool hasVendor = false;
    bool hasDevice = false;
    quint16 vendor = 0;
    quint16 device = 0;
    for (const IdsEntry& entry : list.entries) {
        if (entry.name.isEmpty() || isBlank(entry.name.front()) || isBlank(entry.name.back())) {
            fail("a name empty or with blanks around it", entry.name);
        }
        switch (entry.kind) {
            case IdsEntry::Kind::Vendor:
                hasVendor = true;
                hasDevice = false;
                vendor = entry.vendor;
                break;
            case IdsEntry::Kind::Device:
                if (!hasVendor || entry.vendor != vendor) fail("a device without its vendor");
                hasDevice = true;
                device = entry.device;
                break;
            case IdsEntry::Kind::Subsystem:
                if (kind != IdsKind::Pci) fail("a subsystem in usb.ids");
                if (!hasDevice || entry.vendor != vendor || entry.device != device) {
                    fail("a subsystem without its device");
                }
                break;
        }
    }
}

void checkRows(const quarrow::IdsList& list, IdsKind kind) {
    const quarrow::IdsRows rows = quarrow::DeviceCatalogueRows(list, kind);
    if (rows.rows.size() != list.entries.size()) fail("not one row per entry");
    const QString bus =
        kind == IdsKind::Pci ? QStringLiteral("PCI\\VEN_") : QStringLiteral("USB\\VID_");
    for (qsizetype i = 0; i < rows.rows.size(); ++i) {
        const QString& row = rows.rows[i];
        if (!row.startsWith(bus) || !row.endsWith(list.entries[i].name)) {
            fail("a row in the wrong spelling", row);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArrayView text(data, static_cast<qsizetype>(size));
    for (const IdsKind kind : {IdsKind::Pci, IdsKind::Usb}) {
        const quarrow::IdsList list = quarrow::ReadIds(text, kind);
        checkList(list, kind);
        checkRows(list, kind);
    }
    return 0;
}
