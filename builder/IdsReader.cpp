#include "IdsReader.h"

#include <QHash>
#include <QStringDecoder>
#include <optional>

namespace quarrow {

namespace {

std::optional<quint16> hexCode(QByteArrayView digits, qsizetype width = 4) {
    if (digits.size() != width) return std::nullopt;
    quint16 value = 0;
    for (const char c : digits) {
        int digit = 0;
        if (c >= '0' && c <= '9') {
            digit = c - '0';
        } else if (c >= 'a' && c <= 'f') {
            digit = c - 'a' + 10;
        } else if (c >= 'A' && c <= 'F') {
            digit = c - 'A' + 10;
        } else {
            return std::nullopt;
        }
        value = quint16(value * 16 + digit);
    }
    return value;
}

bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::optional<QString> decoded(QByteArrayView bytes) {
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder(bytes);
    if (decoder.hasError()) return std::nullopt;
    return text;
}

// "<code>  <name>" with at least one blank between them and a name in UTF-8
// that is not empty; the name keeps its inner blanks.
struct CodedName {
    quint16 code = 0;
    QString name;
};

std::optional<CodedName> codedName(QByteArrayView text) {
    if (text.size() < 6 || !isBlank(text[4])) return std::nullopt;
    const std::optional<quint16> code = hexCode(text.first(4));
    if (!code) return std::nullopt;
    QByteArrayView name = text.sliced(5);
    while (!name.isEmpty() && isBlank(name.front())) name = name.sliced(1);
    while (!name.isEmpty() && isBlank(name.back())) name.chop(1);
    std::optional<QString> decodedName = decoded(name);
    if (name.isEmpty() || !decodedName) return std::nullopt;
    return CodedName{*code, std::move(*decodedName)};
}

bool isInterfaceLine(QByteArrayView line) {
    return line.size() > 3 && hexCode(line.first(2), 2) && isBlank(line[2]) &&
           !line.sliced(3).trimmed().isEmpty();
}

// The top-level sections that follow the vendor list.
bool startsOtherSection(QByteArrayView line, IdsKind kind) {
    if (kind == IdsKind::Pci) return line.startsWith("C ");
    static const char* const kSections[] = {"C ",   "AT ",  "HID ", "R ",   "BIAS ",
                                            "PHY ", "HUT ", "L ",   "HCC ", "VT "};
    for (const char* section : kSections) {
        if (line.startsWith(section)) return true;
    }
    return false;
}

class IdsParser {
public:
    explicit IdsParser(IdsKind kind) : kind_(kind) {}

    // Returns false at the end of the vendor list.
    bool line(QByteArrayView line) {
        if (line.endsWith('\r')) line.chop(1);
        if (line.isEmpty() || line.startsWith('#')) return true;
        if (line.startsWith("\t\t")) {
            subsystemLine(line.sliced(2));
        } else if (line.startsWith('\t')) {
            deviceLine(line.sliced(1));
        } else {
            if (startsOtherSection(line, kind_)) return false;
            vendorLine(line);
        }
        return true;
    }

    IdsList take() { return std::move(list_); }

private:
    void vendorLine(QByteArrayView line) {
        hasVendor_ = hasDevice_ = false;
        const std::optional<CodedName> entry = codedName(line);
        if (!entry) return skip();
        hasVendor_ = true;
        vendor_ = entry->code;
        add({IdsEntry::Kind::Vendor, vendor_, 0, 0, 0, entry->name});
        ++list_.counts.vendors;
    }

    void deviceLine(QByteArrayView line) {
        hasDevice_ = false;
        if (!hasVendor_) return skip();
        const std::optional<CodedName> entry = codedName(line);
        if (!entry) return skip();
        hasDevice_ = true;
        device_ = entry->code;
        add({IdsEntry::Kind::Device, vendor_, device_, 0, 0, entry->name});
        ++list_.counts.devices;
    }

    void subsystemLine(QByteArrayView line) {
        if (!hasDevice_) return skip();
        if (kind_ == IdsKind::Usb) {
            // usb.ids lists a device's interfaces here ("00  name"): valid
            // lines, but no rows of the catalogue.
            if (isInterfaceLine(line)) return;
            return skip();
        }
        if (line.size() < 10 || line[4] != ' ') return skip();
        const std::optional<quint16> subvendor = hexCode(line.first(4));
        const std::optional<CodedName> entry = codedName(line.sliced(5));
        if (!subvendor || !entry) return skip();
        add({IdsEntry::Kind::Subsystem, vendor_, device_, *subvendor, entry->code, entry->name});
        ++list_.counts.subsystems;
    }

    void add(IdsEntry entry) { list_.entries.append(std::move(entry)); }
    void skip() { ++list_.counts.skippedLines; }

    IdsKind kind_;
    IdsList list_;
    bool hasVendor_ = false;
    bool hasDevice_ = false;
    quint16 vendor_ = 0;
    quint16 device_ = 0;
};

QString lowerHex(quint16 code) { return QStringLiteral("%1").arg(code, 4, 16, QChar(u'0')); }
QString upperHex(quint16 code) { return lowerHex(code).toUpper(); }

}  // namespace

IdsList ReadIds(QByteArrayView text, IdsKind kind) {
    IdsParser parser(kind);
    qsizetype start = 0;
    while (start < text.size()) {
        const qsizetype end = text.indexOf('\n', start);
        const qsizetype stop = end < 0 ? text.size() : end;
        if (!parser.line(text.sliced(start, stop - start))) break;
        start = stop + 1;
    }
    return parser.take();
}

IdsRows DeviceCatalogueRows(const IdsList& list, IdsKind kind) {
    const bool pci = kind == IdsKind::Pci;
    const QString bus = pci ? QStringLiteral("PCI") : QStringLiteral("USB");
    const QString vendorKey = pci ? QStringLiteral("VEN_") : QStringLiteral("VID_");
    const QString deviceKey = pci ? QStringLiteral("DEV_") : QStringLiteral("PID_");

    QHash<quint16, QString> vendorNames;
    for (const IdsEntry& entry : list.entries) {
        if (entry.kind == IdsEntry::Kind::Vendor && !vendorNames.contains(entry.vendor)) {
            vendorNames.insert(entry.vendor, entry.name);
        }
    }

    IdsRows result;
    result.counts = list.counts;
    result.rows.reserve(list.entries.size());
    QString vendorName;
    QString deviceName;
    for (const IdsEntry& entry : list.entries) {
        const QString vendorId = bus + u'\\' + vendorKey + upperHex(entry.vendor);
        const QString deviceId = vendorId + u'&' + deviceKey + upperHex(entry.device);
        const QString codes = lowerHex(entry.vendor) + u':' + lowerHex(entry.device);
        switch (entry.kind) {
            case IdsEntry::Kind::Vendor:
                vendorName = entry.name;
                result.rows.append(vendorId + u' ' + lowerHex(entry.vendor) + u' ' + vendorName);
                break;
            case IdsEntry::Kind::Device:
                deviceName = entry.name;
                result.rows.append(deviceId + u' ' + codes + u' ' + vendorName + u' ' + deviceName);
                break;
            case IdsEntry::Kind::Subsystem: {
                // Windows writes the subsystem as subdevice then subvendor.
                const QString subsystemId = deviceId + QStringLiteral("&SUBSYS_") +
                                            upperHex(entry.subdevice) + upperHex(entry.subvendor);
                const QString subCodes =
                    lowerHex(entry.subvendor) + u':' + lowerHex(entry.subdevice);
                QString names = vendorName + u' ' + deviceName + QStringLiteral(" - ");
                const auto subvendor = vendorNames.constFind(entry.subvendor);
                if (subvendor != vendorNames.cend()) names += *subvendor + u' ';
                result.rows.append(subsystemId + u' ' + codes + u' ' + subCodes + u' ' + names +
                                   entry.name);
                break;
            }
        }
    }
    return result;
}

IdsRows ReadIdsRows(QByteArrayView text, IdsKind kind) {
    return DeviceCatalogueRows(ReadIds(text, kind), kind);
}

}  // namespace quarrow
