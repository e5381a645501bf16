#include "SampleCatalogue.h"

#include "DeviceCatalogueBuild.h"
#include "IdsReader.h"
#include "InputError.h"
#include "SampleRandom.h"

#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <algorithm>

namespace quarrow {

namespace {

struct Vendor {
    quint16 pciId;
    const char16_t* brand;
    const char16_t* scheme;
    const char16_t* page;  // the vendor's driver download page, without scheme
};

const Vendor kVendors[] = {
    {0x10de, u"NVIDIA", u"https://", u"www.nvidia.com/Download/index.aspx?lang=ru"},
    {0x1002, u"AMD", u"https://", u"www.amd.com/ru/support"},
    {0x1022, u"AMD", u"https://", u"www.amd.com/ru/support"},
    {0x8086, u"Intel", u"https://", u"www.intel.ru/content/www/ru/ru/download-center/home.html"},
    {0x10ec, u"Realtek", u"https://", u"www.realtek.com/Download/List"},
    {0x14e4, u"Broadcom", u"https://", u"www.broadcom.com/support/download-search"},
    {0x168c, u"Atheros", u"https://", u"www.qualcomm.com/support"},
    {0x1969, u"Atheros", u"https://", u"www.qualcomm.com/support"},
    {0x17cb, u"Qualcomm", u"https://", u"www.qualcomm.com/support"},
    {0x1106, u"VIA", u"http://", u"www.viatech.com/en/support/drivers/"},
    {0x1102, u"Creative", u"https://", u"support.creative.com/Downloads/"},
    {0x11ab, u"Marvell", u"https://", u"www.marvell.com/support/downloads.html"},
    {0x1b4b, u"Marvell", u"https://", u"www.marvell.com/support/downloads.html"},
    {0x1d6a, u"Aquantia", u"https://", u"www.marvell.com/support/downloads.html"},
    {0x13f6, u"C-Media", u"http://", u"www.cmedia.com.tw/support/download_center"},
    {0x1814, u"Ralink", u"https://", u"www.mediatek.com/products/broadband-wifi"},
    {0x14c3, u"MediaTek", u"https://", u"www.mediatek.com/products/broadband-wifi"},
    {0x1b21, u"ASMedia", u"https://", u"www.asmedia.com.tw/"},
    {0x197b, u"JMicron", u"http://", u"www.jmicron.com/"},
    {0x1912, u"Renesas", u"https://", u"www.renesas.com/us/en/support"},
    {0x1033, u"NEC", u"https://", u"www.renesas.com/us/en/support"},
    {0x1b73, u"Fresco Logic", u"http://", u"www.frescologic.com/"},
    {0x102b, u"Matrox", u"https://", u"www.matrox.com/en/video/support/drivers-downloads"},
    {0x15b3, u"Mellanox", u"https://", u"network.nvidia.com/support/"},
    {0x1186, u"D-Link", u"https://", u"www.dlink.com/en/support"},
    {0x1461, u"AVerMedia", u"https://", u"www.avermedia.com/support/download"},
    {0x1180, u"Ricoh", u"https://", u"www.ricoh.com/support"},
    {0x104c, u"Texas Instruments", u"https://", u"www.ti.com/"},
    {0x14f1, u"Conexant", u"https://", u"www.synaptics.com/"},
    {0x125d, u"ESS", u"http://", u"www.esstech.com/"},
};

// Kinds of device after the PCI device classes, recognised from the words
// that pci.ids names them with; the first match wins. Sizes in kilobytes.
// `noun` is what a Russian catalogue adds to a name to say what the device is.
struct Kind {
    const char16_t* name;
    const char16_t* words;
    int minSizeKb;
    int maxSizeKb;
    const char16_t* noun;
};

const Kind kKinds[] = {
    {u"Контроллер FireWire", u"FireWire|IEEE[ -]?1394|1394", 100, 5000, u"контроллер"},
    {u"Контроллер USB", u"USB|xHCI|EHCI|OHCI|UHCI", 100, 15000, u"контроллер"},
    {u"Bluetooth-адаптер", u"Bluetooth", 5000, 400000, u"адаптер"},
    {u"Звуковая карта", u"Audio|AC'?97|Sound|SoundBlaster|Azalia", 3000, 350000, u"звуковая карта"},
    {u"Wi-Fi адаптер", u"Wireless|Wi-?Fi|WLAN|802\\.11\\w*", 2000, 120000, u"адаптер"},
    {u"Сетевая карта", u"Ethernet|Network|Gigabit|LAN|NIC|10GbE|GbE", 200, 60000, u"сетевая карта"},
    {u"Видеокарта",
     u"GeForce|Quadro|Radeon|FirePro|FireGL|TITAN|Graphics|VGA|GPU|Millennium|Parhelia|Savage|"
     u"Chrome|Rage|Mach64",
     20000, 650000, u"видеокарта"},
    {u"Контроллер SATA/RAID", u"SATA|AHCI|RAID|SAS|SCSI|IDE|NVMe|PATA", 200, 40000, u"контроллер"},
    {u"Кардридер", u"Card ?Reader|CardBus|SD Host|MMC|Memory Stick", 500, 20000, u"кардридер"},
    {u"ТВ-тюнер", u"TV|Tuner|DVB|Video Capture|Capture", 5000, 200000, u"тюнер"},
    {u"Модем", u"Modem|HSF|HCF", 500, 15000, u"модем"},
    {u"Чипсет", u"SMBus|LPC|Host Bridge|ISA Bridge|Chipset|Management Engine|MEI|HECI", 500, 30000,
     u"чипсет"},
};

// Qualifiers a Russian catalogue adds to some names; half of them are for
// notebooks, so that a search for "ноутбук" finds a small share of the rows.
const char16_t* const kQualifiers[] = {
    u" (для ноутбуков)",
    u" (мобильная версия)",
    u" (для ноутбуков и моноблоков)",
    u" (для серверов)",
};

const char16_t* const kOperatingSystems[] = {
    u"Windows 98, ME, 2000, XP",
    u"Windows 2000, XP",
    u"Windows XP",
    u"Windows XP, Vista",
    u"Windows XP, Vista, 7",
    u"Windows XP x64, Vista x64, 7 x64",
    u"Windows Vista, 7",
    u"Windows 7",
    u"Windows 7, 8, 8.1",
    u"Windows 7, 8.1, 10",
    u"Windows 7 x64, 10 x64",
    u"Windows 8.1, 10",
    u"Windows 10",
    u"Windows 10, 11",
    u"Windows 10 x64, 11",
    u"Windows 11",
};

QString text(const char16_t* s) { return QString::fromUtf16(s); }

template <typename T, std::size_t N>
constexpr std::uint64_t countOf(const T (&)[N]) {
    return N;
}

// "G73 [GeForce 7300 GT]" is sold as "GeForce 7300 GT": a bracket with a
// model number holds the product name. Brackets without one ("[RAID mode]",
// "[UHD Graphics]") only qualify the name before them.
QString productName(const QString& brand, const QString& deviceName) {
    QString name = deviceName;
    const qsizetype open = deviceName.lastIndexOf(u'[');
    const qsizetype close = deviceName.lastIndexOf(u']');
    if (open >= 0 && close > open + 1) {
        const QString bracket = deviceName.mid(open + 1, close - open - 1).trimmed();
        if (std::any_of(bracket.cbegin(), bracket.cend(), [](QChar c) { return c.isDigit(); })) {
            name = bracket;
        }
    }
    if (name.startsWith(brand, Qt::CaseInsensitive)) return name;
    return brand + u' ' + name;
}

QString sizeText(int kilobytes) {
    if (kilobytes < 1024) return QStringLiteral("%1 КБ").arg(kilobytes);
    const int tenths = (kilobytes * 10 + 512) / 1024;
    return QStringLiteral("%1,%2 МБ").arg(tenths / 10).arg(tenths % 10);
}

}  // namespace

SampleCatalogue::SampleCatalogue(QByteArrayView pciIds) {
    QHash<quint16, int> vendors;
    for (int v = 0; v < int(countOf(kVendors)); ++v) vendors.insert(kVendors[v].pciId, v);
    QList<QRegularExpression> kinds;
    for (const Kind& kind : kKinds) {
        kinds.append(QRegularExpression(QStringLiteral("\\b(%1)\\b").arg(text(kind.words)),
                                        QRegularExpression::CaseInsensitiveOption));
    }
    const QString example = exampleModel();
    const IdsList list = ReadIds(pciIds, IdsKind::Pci);
    for (const IdsEntry& entry : list.entries) {
        if (entry.kind != IdsEntry::Kind::Device) continue;
        const auto vendor = vendors.constFind(entry.vendor);
        if (vendor == vendors.cend()) continue;
        for (int k = 0; k < kinds.size(); ++k) {
            if (!kinds[k].match(entry.name).hasMatch()) continue;
            Model model{productName(text(kVendors[*vendor].brand), entry.name), k, *vendor};
            if (model.name.contains(example)) examples_.append(model);
            models_.append(std::move(model));
            break;
        }
    }
}

QStringList SampleCatalogue::columns() {
    return {QStringLiteral("Наименование"), QStringLiteral("Устройство"), QStringLiteral("os"),
            QStringLiteral("Размер"),       QStringLiteral("Версия"),     QStringLiteral("url"),
            QStringLiteral("URLdr"),        QStringLiteral("ver")};
}

QString SampleCatalogue::version() { return QStringLiteral("2026.12"); }

QString SampleCatalogue::exampleModel() { return QStringLiteral("7300 GT"); }

void SampleCatalogue::generate(qint64 rows, quint64 seed, const RowSink& insert,
                               SampleNames names) const {
    if (models_.isEmpty()) return;
    SampleRandom random(seed);
    // Every stride-th row, spread over the catalogue, is for the example model.
    const qint64 stride = std::clamp<qint64>(rows / 3, 1, 400);
    const QString catalogueVersion = version();
    constexpr qint64 kQualifiedEvery = 200;
    QStringList row;
    for (qint64 i = 0; i < rows; ++i) {
        const bool example = !examples_.isEmpty() && i % stride == stride / 2;
        const QList<Model>& from = example ? examples_ : models_;
        const Model& model = from[qsizetype(random.below(std::uint64_t(from.size())))];
        const Kind& kind = kKinds[model.kind];
        const Vendor& vendor = kVendors[model.vendor];
        // Empty text rather than an absent value, as a maker's export has it.
        QString os = QStringLiteral("");
        if (!random.oneIn(20)) {
            os = text(kOperatingSystems[random.below(countOf(kOperatingSystems))]);
        }
        const QString size = sizeText(int(random.between(kind.minSizeKb, kind.maxSizeKb)));
        const QString driverVersion = QStringLiteral("%1.%2.%3.%4")
                                          .arg(random.between(1, 31))
                                          .arg(random.between(0, 99))
                                          .arg(random.between(0, 9999))
                                          .arg(random.between(0, 9999));
        const QString page = text(vendor.page);
        const QString fast = random.oneIn(10) ? QStringLiteral("") : text(vendor.scheme) + page;
        // Chosen by position rather than drawn, so that the other values of
        // every row stay what they were before names had qualifiers.
        QString name = model.name;
        if (names == SampleNames::LatinAndCyrillic) name += u' ' + text(kind.noun);
        if (i % kQualifiedEvery == kQualifiedEvery / 2) {
            name += text(kQualifiers[std::uint64_t(i / kQualifiedEvery) % countOf(kQualifiers)]);
        }
        row = {name, text(kind.name), os, size, driverVersion, page, fast, catalogueVersion};
        insert(row);
    }
}

qint64 SampleCatalogue::listKnown(qint64 rows, const RowSink& insert) const {
    QSet<QString> kept;
    for (const Model& model : examples_) kept.insert(model.name);
    for (const Model& model : models_) {
        if (kept.size() >= rows) break;
        kept.insert(model.name);
    }
    const QString catalogueVersion = version();
    const QString unknown = QStringLiteral("");
    qint64 listed = 0;
    for (const Model& model : models_) {
        if (!kept.remove(model.name)) continue;
        const Vendor& vendor = kVendors[model.vendor];
        const QString page = text(vendor.page);
        insert({model.name, text(kKinds[model.kind].name), unknown, unknown, unknown, page,
                text(vendor.scheme) + page, catalogueVersion});
        ++listed;
    }
    return listed;
}

qint64 WriteSampleCatalogue(const QString& path, const QString& password,
                            const SampleOptions& options, const BuildProgress& progress) {
    const QString pciPath = options.pciIdsPath.isEmpty() ? DefaultPciIdsPath() : options.pciIdsPath;
    const SampleCatalogue sample(ReadInputFile(pciPath));
    if (sample.modelCount() == 0) {
        throw InputError(
            QStringLiteral("%1: lists no device of a vendor with a known download page")
                .arg(pciPath));
    }
    qint64 rows = options.rows;
    WriteDriverCatalogue(
        path, password, SampleCatalogue::columns(),
        [&](const RowSink& insert) {
            if (options.knownOnly) {
                rows = sample.listKnown(options.rows, insert);
            } else {
                sample.generate(options.rows, options.seed, insert, options.names);
            }
        },
        options.layout,
        [&](qint64 rowsDone) {
            if (progress) progress(rowsDone, options.rows);
        },
        options.output);
    return rows;
}

}  // namespace quarrow
