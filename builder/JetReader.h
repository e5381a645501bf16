#pragma once

#include "CatalogueWriter.h"

#include <QString>
#include <QStringList>
#include <memory>

namespace quarrow {

// Reads the tables of a Jet 3 or Jet 4 database through mdbtools' libmdb,
// every value in the text form the user saw for it (JetValueText.h). Only
// libmdb's C API is used. The file is only read. Anything libmdb cannot
// read, and any value whose stored form does not fit its column, throws
// InputError "<path>: ...".
class JetReader {
public:
    explicit JetReader(const QString& path);
    ~JetReader();
    JetReader(const JetReader&) = delete;
    JetReader& operator=(const JetReader&) = delete;

    // The user tables, in the order of the database's list of objects.
    QStringList tableNames() const;
    // The name of the user table called `name`, letter case aside as the
    // engine compares table names; empty when there is none.
    QString findTable(const QString& name) const;

    // Makes a table the one read; throws InputError when it cannot be read.
    void openTable(const QString& name);
    // The open table's columns in the table's order.
    const QStringList& columns() const { return columns_; }
    // How many rows the table's definition says it has: a guide for
    // progress, which a file closed in a hurry can get wrong.
    qint64 declaredRowCount() const;
    // Hands every row of the open table to `insert` in the file's order, an
    // absent value as a null QString. Returns the number of rows.
    qint64 readRows(const RowSink& insert);

private:
    [[noreturn]] void fail(const QString& reason) const;
    void readUserTables();

    struct Library;  // libmdb's handles, whose header only JetReader.cpp includes

    QString path_;
    std::unique_ptr<Library> library_;
    QStringList columns_;
};

}  // namespace quarrow
