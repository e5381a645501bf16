#pragma once

#include <QString>
#include <QStringList>

namespace quarrow::bench {

// Where the generated catalogues are kept between runs: $QUARROW_BENCH_DATA,
// else <build>/bench-data.
QString DataFolder();

// One catalogue and what its yardsticks read: the same rows as a plain
// table with no index beside it, and the searched column as a text file.
struct CatalogueFiles {
    QString folder;     // holds the catalogue under the name the program opens
    QString catalogue;  // vek.mdb or dev.mdb in `folder`
    QString plainCopy;  // the same table, its indexes and triggers dropped
    QString texts;      // the searched column, one value per line
    QString table;      // table_1 or device
    QString column;     // Наименование or device
};

// A sample driver catalogue of `rows` rows, built as `quarrow-catalogue
// sample --rows N` builds it. Generated on first use, then kept.
CatalogueFiles DriverCatalogue(qint64 rows);

// The same with a Russian word for the kind of device after every name, so
// that every row mixes Latin and Cyrillic words: `quarrow-catalogue sample
// --mixed-names`.
CatalogueFiles MixedScriptDriverCatalogue(qint64 rows);

// The device catalogue as `quarrow-catalogue devices` builds it from the
// system's pci.ids and usb.ids.
CatalogueFiles ShippedDeviceCatalogue();

// A device catalogue of `rows` rows: the registries' rows over and over,
// every further round with other device codes.
CatalogueFiles LargeDeviceCatalogue(qint64 rows);

// The sizes the benchmarks use.
const QList<qint64>& DriverCatalogueSizes();
constexpr qint64 kLargeDeviceRows = 1'000'000;
constexpr qint64 kMixedScriptRows = 1'000'000;

// Builds every catalogue the benchmarks and measurements use.
void PrepareAll();

// The password every generated catalogue records, the program's own.
QString CataloguePassword();

}  // namespace quarrow::bench
