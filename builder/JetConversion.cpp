#include "JetConversion.h"

#include "DriverCatalogueFiles.h"
#include "InputError.h"
#include "JetReader.h"

#include <QIODevice>

namespace quarrow {

namespace {

const QString kDriverTable = QStringLiteral("table_1");
const QString kDeviceTable = QStringLiteral("device");

QStringList deviceColumns() { return {QStringLiteral("Код"), QStringLiteral("device")}; }

[[noreturn]] void refuse(const QString& path, const QString& reason) {
    throw InputError(QStringLiteral("%1: %2").arg(path, reason));
}

// The table to read, as the file spells it, and the catalogue it makes.
struct ChosenTable {
    QString name;
    JetCatalogueKind kind = JetCatalogueKind::Drivers;
};

ChosenTable chooseTable(const QString& path, const JetReader& reader, JetCatalogueKind kind) {
    if (kind != JetCatalogueKind::Devices) {
        const QString drivers = reader.findTable(kDriverTable);
        if (!drivers.isEmpty()) return {drivers, JetCatalogueKind::Drivers};
        if (kind == JetCatalogueKind::Drivers) {
            refuse(path, QStringLiteral("it holds no table '%1'").arg(kDriverTable));
        }
    }
    const QString devices = reader.findTable(kDeviceTable);
    if (!devices.isEmpty()) return {devices, JetCatalogueKind::Devices};
    if (kind == JetCatalogueKind::Devices) {
        refuse(path, QStringLiteral("it holds no table '%1'").arg(kDeviceTable));
    }
    refuse(path, QStringLiteral("it holds neither a driver table (%1) nor a device table (%2)")
                     .arg(kDriverTable, kDeviceTable));
}

// The engine does not tell column names apart by letter case, and the
// program reads the declared ones by name.
QStringList withDeclaredSpelling(QStringList columns, const QStringList& declared) {
    for (QString& column : columns) {
        for (const QString& name : declared) {
            if (column.compare(name, Qt::CaseInsensitive) == 0) column = name;
        }
    }
    return columns;
}

QStringList checkedColumns(const QString& path, const ChosenTable& table,
                           const QStringList& columns) {
    if (table.kind == JetCatalogueKind::Devices) {
        const QStringList spelt = withDeclaredSpelling(columns, deviceColumns());
        if (spelt.mid(0, 2) != deviceColumns()) {
            refuse(path, QStringLiteral("the table '%1' does not start with the columns Код and "
                                        "device, as a device catalogue does")
                             .arg(table.name));
        }
        return spelt;
    }
    const QStringList spelt = withDeclaredSpelling(columns, RequiredDriverColumns());
    try {
        CheckDriverColumns(spelt);
    } catch (const InputError& error) {
        refuse(path, QStringLiteral("the table '%1' does not fit a driver catalogue: %2")
                         .arg(table.name, error.message()));
    }
    return spelt;
}

void writeOut(QIODevice& out, const QByteArray& bytes) {
    if (out.write(bytes) != bytes.size()) {
        throw Exception(QStringLiteral("cannot write the rows: %1").arg(out.errorString()));
    }
}

}  // namespace

JetHeader RequireOpenableJetFile(const QString& path, const QString& password) {
    const JetHeader header = ReadJetHeaderOf(path);
    switch (header.format) {
        case JetFormat::NotJet:
            refuse(path, QStringLiteral("it is not a Jet database: its first page says neither "
                                        "\"Standard Jet DB\" nor \"Standard ACE DB\""));
        case JetFormat::Ace:
            refuse(path, QStringLiteral("it is an Access 2007 or later database (ACE), which the "
                                        "Jet 4 engine of catalogues cannot open; save it in the "
                                        "Access 2000 format (.mdb)"));
        case JetFormat::UnknownJetVersion:
            refuse(path, QStringLiteral("it is a Jet database of a version other than 3 or 4"));
        case JetFormat::Jet3:
        case JetFormat::Jet4:
            break;
    }
    if (!JetPasswordAccepts(header.password, password)) {
        refuse(path, QStringLiteral("Not a valid password."));
    }
    return header;
}

JetConversionReport ConvertJetCatalogue(const QString& jetPath, const QString& path,
                                        const QString& password, JetCatalogueKind kind,
                                        const BuildProgress& progress) {
    const JetHeader header = RequireOpenableJetFile(jetPath, password);
    JetReader reader(jetPath);
    const ChosenTable table = chooseTable(jetPath, reader, kind);
    reader.openTable(table.name);
    const QStringList columns = checkedColumns(jetPath, table, reader.columns());
    const qint64 rowsInAll = reader.declaredRowCount();
    const RowProgress rowProgress = [&](qint64 done) {
        if (progress) progress(done, std::max(rowsInAll, done));
    };

    JetConversionReport report;
    if (table.kind == JetCatalogueKind::Drivers) {
        report.table = kDriverTable;
        WriteDriverCatalogue(
            path, header.password, columns,
            [&](const RowSink& insert) { report.rows = reader.readRows(insert); },
            DriverTableLayout::TrigramIndexed, rowProgress);
    } else {
        report.table = kDeviceTable;
        // The device writer takes its rows whole; device tables are small.
        CatalogueTable rows;
        rows.columns = columns;
        report.rows = reader.readRows([&](const QStringList& row) { rows.rows.append(row); });
        WriteDeviceCatalogue(path, header.password, rows, rowProgress);
    }
    return report;
}

qint64 ExportJetCatalogue(const QString& jetPath, const QString& password, QIODevice& out) {
    RequireOpenableJetFile(jetPath, password);
    JetReader reader(jetPath);
    const ChosenTable table = chooseTable(jetPath, reader, JetCatalogueKind::Any);
    reader.openTable(table.name);
    const QStringList header = reader.columns();
    writeOut(out, header.join(u'\t').toUtf8() + '\n');
    qint64 rows = 0;
    reader.readRows([&](const QStringList& row) {
        ++rows;
        for (qsizetype c = 0; c < row.size(); ++c) {
            if (row[c].contains(u'\t') || row[c].contains(u'\n') || row[c].contains(u'\r')) {
                refuse(jetPath, QStringLiteral("row %1, column '%2': the value holds a tab or a "
                                               "line break, which tab-separated text cannot carry")
                                    .arg(rows)
                                    .arg(header[c]));
            }
        }
        writeOut(out, row.join(u'\t').toUtf8() + '\n');
    });
    return rows;
}

}  // namespace quarrow
