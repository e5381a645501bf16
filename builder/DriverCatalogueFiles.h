#pragma once

#include "CatalogueWriter.h"

#include <QStringList>

class QIODevice;

namespace quarrow {

// The columns that every driver catalogue names. The details message reads
// four of them by position, so these must sit at positions 1 to 4.
QStringList RequiredDriverColumns();
QStringList PositionedDriverColumns();

// Throws InputError when `columns` lacks a required column, puts one of the
// positioned columns elsewhere, names a column twice, uses a name the
// engine reserves, or makes a table the program cannot read (too many
// columns, or names too long together).
void CheckDriverColumns(const QStringList& columns);

// Builds a driver catalogue from tab-separated text whose first line names
// the columns in table order; rows keep their input order. Returns the number
// of rows written. Bad input throws InputError and leaves no file behind.
qint64 BuildDriverCatalogue(QIODevice& tsv, const QString& path, const QString& password,
                            DriverTableLayout layout, const RowProgress& progress = {},
                            const OutputOptions& output = {});

// A connection string for the catalogue at `path`, read-only.
QString CatalogueConnectionString(const QString& path, const QString& password);

// Writes the table of the catalogue at `path` as tab-separated text: a
// header line, then one line per row. The table is table_1 in a driver
// catalogue and device in a device catalogue. The file is opened the way the
// program opens it, so a wrong password is refused. Problems with the
// catalogue throw InputError "<path>: ..."; failing to write `out` throws
// Exception. Returns the number of rows written.
qint64 ExportCatalogue(const QString& path, const QString& password, QIODevice& out);

}  // namespace quarrow
