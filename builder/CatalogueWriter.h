#pragma once

#include "OutputFile.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

namespace quarrow {

// Rows of a catalogue table, every value as text. A null QString (QString())
// is stored as an absent value; an empty one as empty text.
struct CatalogueTable {
    QStringList columns;
    QList<QStringList> rows;
};

enum class DriverTableLayout {
    // table_1 as a plain table with a trigram index over Наименование beside
    // it (kept up to date by triggers): searches look candidates up in the
    // index, and scans of the whole table stay as fast as a plain table's.
    // An ordinary index over Наименование lets counting scan the names only.
    TrigramIndexed,
    // A plain table, as a maker may build one: same results, slower search.
    Plain,
};

// Writes a driver catalogue with table_1 in the given column order and the
// rows in input order, recording `password` (none when empty). The file is
// written under a temporary name and renamed into place, so a failed build
// leaves nothing behind (see OutputFile). Throws RefusedOutput for an output
// it does not replace, and quarrow::Exception on failure.
void WriteDriverCatalogue(const QString& path, const QString& password, const CatalogueTable& table,
                          DriverTableLayout layout = DriverTableLayout::TrigramIndexed,
                          const OutputOptions& output = {});

// Rows handed to a writer one at a time, so that a large table is never held
// in memory as a whole. A source calls `insert` once per row, in table order.
using RowSink = std::function<void(const QStringList& row)>;
using RowSource = std::function<void(const RowSink& insert)>;
// Called after each row written, with the number of rows written so far.
using RowProgress = std::function<void(qint64 rowsDone)>;
// The same for builders that know how many rows they write in all.
using BuildProgress = std::function<void(qint64 rowsDone, qint64 rowsInAll)>;

// The same for rows that come from a source. Whatever the source throws
// stops the build and leaves no file behind.
void WriteDriverCatalogue(const QString& path, const QString& password, const QStringList& columns,
                          const RowSource& rows,
                          DriverTableLayout layout = DriverTableLayout::TrigramIndexed,
                          const RowProgress& progress = {}, const OutputOptions& output = {});

// Writes a device catalogue: table `device` with `Код` INTEGER PRIMARY KEY
// (numbered automatically for new rows) and `device` TEXT, then any further
// columns of `table` as TEXT, with a trigram index over `device`. `table.columns` must start with
// Код, device.
void WriteDeviceCatalogue(const QString& path, const QString& password, const CatalogueTable& table,
                          const RowProgress& progress = {}, const OutputOptions& output = {});

}  // namespace quarrow
