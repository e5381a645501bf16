#pragma once

#include "CatalogueWriter.h"
#include "TestSupport.h"
#include "db/Connection.h"
#include "db/Query.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace quarrow::test {

// A catalogue's connection with the two queries that a search window runs
// on it: ADOQuery1 for the rows found, ADOQuery2 for their count. The
// connection opens at the first search.
class SearchConnection {
public:
    explicit SearchConnection(const QString& connectionString);
    SearchConnection(const SearchConnection&) = delete;
    SearchConnection& operator=(const SearchConnection&) = delete;

    // The main window's driver search; returns the count.
    qint64 searchDrivers(const QString& text);

    Connection connection;
    Query results;
    Query counter;
};

// A fresh current folder holding the main window's catalogue vek.mdb, written
// from `rows` in the driver columns with the catalogue's password, and the
// main window's connection on it. The folder goes with the object, after the
// connection has closed.
class TemporaryDriverCatalogue : public TemporaryCurrentFolder, public SearchConnection {
public:
    explicit TemporaryDriverCatalogue(const QList<QStringList>& rows,
                                      DriverTableLayout layout = DriverTableLayout::TrigramIndexed);
    QString file() const { return filePath(QStringLiteral("vek.mdb")); }
};

}  // namespace quarrow::test
