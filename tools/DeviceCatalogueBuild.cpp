#include "DeviceCatalogueBuild.h"

#include "CatalogueWriter.h"
#include "InputError.h"

#include <QFile>

namespace quarrow {

QString DefaultPciIdsPath() { return QStringLiteral("/usr/share/misc/pci.ids"); }
QString DefaultUsbIdsPath() { return QStringLiteral("/usr/share/misc/usb.ids"); }

QByteArray ReadInputFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        throw InputError(QStringLiteral("Cannot read '%1': %2").arg(path, file.errorString()));
    }
    return file.readAll();
}

DeviceCatalogueReport BuildDeviceCatalogue(const QString& path, const QString& password,
                                           const QString& pciIdsPath, const QString& usbIdsPath) {
    const IdsRows pci = ReadIdsRows(ReadInputFile(pciIdsPath), IdsKind::Pci);
    const IdsRows usb = ReadIdsRows(ReadInputFile(usbIdsPath), IdsKind::Usb);

    CatalogueTable table;
    table.columns = QStringList{QStringLiteral("Код"), QStringLiteral("device")};
    table.rows.reserve(pci.rows.size() + usb.rows.size());
    // A null Код lets the engine number the rows in insertion order.
    for (const QStringList* rows : {&pci.rows, &usb.rows}) {
        for (const QString& text : *rows) table.rows.append(QStringList{QString(), text});
    }
    WriteDeviceCatalogue(path, password, table);
    return DeviceCatalogueReport{pci.counts, usb.counts, table.rows.size()};
}

}  // namespace quarrow
