#include "CatalogueWriter.h"

#include "OutputFile.h"
#include "core/Exception.h"
#include "db/DatabasePassword.h"
#include "db/Sqlite.h"
#include "db/TrigramIndex.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cstdio>

namespace quarrow {

namespace {

QByteArray utf8(const QString& s) { return s.toUtf8(); }

std::string_view view(const QByteArray& bytes) {
    return std::string_view(bytes.constData(), std::size_t(bytes.size()));
}

class Database {
public:
    explicit Database(const QString& path) {
        // The engine takes file names in UTF-8 on every system.
        if (sqlite3_open_v2(path.toUtf8().constData(), &db_,
                            SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK) {
            const QString message = EngineMessage(db_);
            sqlite3_close(db_);
            throw Exception(message);
        }
    }
    ~Database() { sqlite3_close(db_); }
    sqlite3* get() const { return db_; }

private:
    sqlite3* db_ = nullptr;
};

// Inserts rows with one prepared statement; a null QString is stored as an
// absent value.
class RowInserter {
public:
    RowInserter(sqlite3* db, const QString& table, qsizetype columns)
        : columns_(columns), insert_(db, view(insertStatement(table, columns))) {}

    void insert(const QStringList& row) {
        if (row.size() != columns_) {
            throw Exception(QStringLiteral("A row has %1 values for %2 columns.")
                                .arg(row.size())
                                .arg(columns_));
        }
        for (int c = 0; c < row.size(); ++c) {
            if (row[c].isNull()) {
                insert_.bindNull(c + 1);
            } else {
                insert_.bindText(c + 1, row[c]);
            }
        }
        insert_.step();
        insert_.reset();
    }

private:
    static QByteArray insertStatement(const QString& table, qsizetype columns) {
        QStringList marks;
        for (qsizetype c = 0; c < columns; ++c) marks.append(QStringLiteral("?"));
        return utf8(QStringLiteral("INSERT INTO %1 VALUES (%2)")
                        .arg(QuoteIdentifier(table), marks.join(QStringLiteral(", "))));
    }

    qsizetype columns_;
    Statement insert_;
};

void insertRows(sqlite3* db, const QString& table, qsizetype columns, const RowSource& rows,
                const RowProgress& progress) {
    RowInserter inserter(db, table, columns);
    qint64 done = 0;
    rows([&](const QStringList& row) {
        inserter.insert(row);
        if (progress) progress(++done);
    });
}

RowSource rowsOf(const CatalogueTable& table) {
    return [&table](const RowSink& insert) {
        for (const QStringList& row : table.rows) insert(row);
    };
}

// Builds the file beside its final place and puts it there in one step.
template <typename Fill>
void writeAtomically(const QString& path, const QString& table, const OutputOptions& options,
                     const QString& password, Fill fill) {
    OutputFile output(path, table, options);
    {
        Database db(output.temporaryPath());
        // No journal: a failed build is thrown away as a whole. The one
        // sync at commit makes sure the file is complete before it is put in
        // place.
        Exec(db.get(), "PRAGMA journal_mode=OFF");
        Exec(db.get(), "PRAGMA synchronous=NORMAL");
        Exec(db.get(), "PRAGMA cache_size=-65536");
        Transaction transaction(db.get());
        fill(db.get());
        if (!password.isEmpty()) RecordDatabasePassword(db.get(), password);
        transaction.commit();
    }
    output.commit();
}

}  // namespace

void WriteDriverCatalogue(const QString& path, const QString& password, const CatalogueTable& table,
                          DriverTableLayout layout, const OutputOptions& output) {
    WriteDriverCatalogue(path, password, table.columns, rowsOf(table), layout, {}, output);
}

void WriteDriverCatalogue(const QString& path, const QString& password, const QStringList& columns,
                          const RowSource& rows, DriverTableLayout layout,
                          const RowProgress& progress, const OutputOptions& output) {
    writeAtomically(path, QStringLiteral("table_1"), output, password, [&](sqlite3* db) {
        QStringList definitions;
        for (const QString& column : columns) {
            definitions.append(QuoteIdentifier(column) + QStringLiteral(" TEXT"));
        }
        const QByteArray sql = utf8(QStringLiteral("CREATE TABLE table_1 (%1)")
                                        .arg(definitions.join(QStringLiteral(", "))));
        Exec(db, sql.constData());
        insertRows(db, QStringLiteral("table_1"), columns.size(), rows, progress);
        if (layout == DriverTableLayout::TrigramIndexed && columns.contains(u"Наименование")) {
            CreateTrigramIndex(db, QStringLiteral("table_1"), QStringLiteral("Наименование"));
            // The names alone, a fraction of the table: a search's count
            // statement reads them instead of every whole row when the text
            // is too short for the trigram index.
            Exec(db, "CREATE INDEX table_1_names ON table_1(\"Наименование\")");
        }
    });
}

void WriteDeviceCatalogue(const QString& path, const QString& password, const CatalogueTable& table,
                          const RowProgress& progress, const OutputOptions& output) {
    if (table.columns.size() < 2 || table.columns[0] != u"Код" || table.columns[1] != u"device") {
        throw Exception(
            QStringLiteral("A device catalogue starts with the columns Код and device."));
    }
    writeAtomically(path, QStringLiteral("device"), output, password, [&](sqlite3* db) {
        QStringList columns{QStringLiteral("\"Код\" INTEGER PRIMARY KEY"),
                            QStringLiteral("device TEXT")};
        for (qsizetype c = 2; c < table.columns.size(); ++c) {
            columns.append(QuoteIdentifier(table.columns[c]) + QStringLiteral(" TEXT"));
        }
        const QByteArray sql = utf8(
            QStringLiteral("CREATE TABLE device (%1)").arg(columns.join(QStringLiteral(", "))));
        Exec(db, sql.constData());
        insertRows(db, QStringLiteral("device"), table.columns.size(), rowsOf(table), progress);
        CreateTrigramIndex(db, QStringLiteral("device"), QStringLiteral("device"));
    });
}

}  // namespace quarrow
