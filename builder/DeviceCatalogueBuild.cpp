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
        throw InputError(QStringLiteral("%1: cannot read it: %2").arg(path, file.errorString()));
    }
    return file.readAll();
}

namespace {

IdsRows readRegistry(const QString& path, IdsKind kind) {
    IdsRows read = ReadIdsRows(ReadInputFile(path), kind);
    if (read.counts.vendors == 0) {
        throw InputError(
            QStringLiteral("%1: no vendor could be read from it (%2 lines skipped); is it %3?")
                .arg(path)
                .arg(read.counts.skippedLines)
                .arg(kind == IdsKind::Pci ? QStringLiteral("pci.ids") : QStringLiteral("usb.ids")));
    }
    return read;
}

}  // namespace

DeviceCatalogueReport BuildDeviceCatalogue(const QString& path, const QString& password,
                                           const QString& pciIdsPath, const QString& usbIdsPath,
                                           const BuildProgress& progress,
                                           const OutputOptions& output) {
    const IdsRows pci = readRegistry(pciIdsPath, IdsKind::Pci);
    const IdsRows usb = readRegistry(usbIdsPath, IdsKind::Usb);

    CatalogueTable table;
    table.columns = QStringList{QStringLiteral("Код"), QStringLiteral("device")};
    table.rows.reserve(pci.rows.size() + usb.rows.size());
    // A null Код lets the engine number the rows in insertion order.
    for (const QStringList* rows : {&pci.rows, &usb.rows}) {
        for (const QString& text : *rows) table.rows.append(QStringList{QString(), text});
    }
    const qint64 rowsInAll = table.rows.size();
    WriteDeviceCatalogue(
        path, password, table,
        [&](qint64 rowsDone) {
            if (progress) progress(rowsDone, rowsInAll);
        },
        output);
    return DeviceCatalogueReport{pci.counts, usb.counts, table.rows.size()};
}

}  // namespace quarrow
