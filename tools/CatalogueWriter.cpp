#include "CatalogueWriter.h"

#include "db/DatabasePassword.h"
#include "db/Sqlite.h"
#include "dialogs/Errors.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace quarrow {

namespace {

QString quoted(const QString& name) {
    QString q = name;
    q.replace(u'"', QStringLiteral("\"\""));
    return u'"' + q + u'"';
}

QByteArray utf8(const QString& s) { return s.toUtf8(); }

std::string_view view(const QByteArray& bytes) {
    return std::string_view(bytes.constData(), std::size_t(bytes.size()));
}

class Database {
public:
    explicit Database(const QString& path) {
        const QByteArray native = QFile::encodeName(path);
        if (sqlite3_open_v2(native.constData(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                            nullptr) != SQLITE_OK) {
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

void insertRows(sqlite3* db, const QString& table, const CatalogueTable& rows) {
    QStringList marks;
    for (qsizetype c = 0; c < rows.columns.size(); ++c) marks.append(QStringLiteral("?"));
    const QByteArray sql = utf8(QStringLiteral("INSERT INTO %1 VALUES (%2)")
                                    .arg(quoted(table), marks.join(QStringLiteral(", "))));
    Statement insert(db, view(sql));
    for (const QStringList& row : rows.rows) {
        if (row.size() != rows.columns.size()) {
            throw Exception(QStringLiteral("A row has %1 values for %2 columns.")
                                .arg(row.size())
                                .arg(rows.columns.size()));
        }
        for (int c = 0; c < row.size(); ++c) {
            if (row[c].isNull()) {
                insert.bindNull(c + 1);
            } else {
                insert.bindText(c + 1, row[c]);
            }
        }
        insert.step();
        insert.reset();
    }
}

// Builds the file beside its final place and renames it into place.
template <typename Fill>
void writeAtomically(const QString& path, const QString& password, Fill fill) {
    const QString temporary = path + QStringLiteral(".part");
    QFile::remove(temporary);
    try {
        {
            Database db(temporary);
            Exec(db.get(), "PRAGMA journal_mode=OFF");
            Exec(db.get(), "PRAGMA synchronous=OFF");
            Transaction transaction(db.get());
            fill(db.get());
            if (!password.isEmpty()) RecordDatabasePassword(db.get(), password);
            transaction.commit();
        }
        QFile::remove(path);
        if (!QFile::rename(temporary, path)) {
            throw Exception(QStringLiteral("Cannot write '%1'.").arg(path));
        }
    } catch (...) {
        QFile::remove(temporary);
        throw;
    }
}

}  // namespace

void WriteDriverCatalogue(const QString& path, const QString& password, const CatalogueTable& table,
                          DriverTableLayout layout) {
    writeAtomically(path, password, [&](sqlite3* db) {
        QStringList columns;
        for (const QString& column : table.columns) {
            if (layout == DriverTableLayout::Plain) {
                columns.append(quoted(column) + QStringLiteral(" TEXT"));
            } else {
                columns.append(column == u"Наименование"
                                   ? quoted(column)
                                   : quoted(column) + QStringLiteral(" UNINDEXED"));
            }
        }
        const QString create =
            layout == DriverTableLayout::Plain
                ? QStringLiteral("CREATE TABLE table_1 (%1)")
                      .arg(columns.join(QStringLiteral(", ")))
                : QStringLiteral("CREATE VIRTUAL TABLE table_1 USING fts5(%1, tokenize='trigram')")
                      .arg(columns.join(QStringLiteral(", ")));
        const QByteArray sql = utf8(create);
        Exec(db, sql.constData());
        insertRows(db, QStringLiteral("table_1"), table);
    });
}

void WriteDeviceCatalogue(const QString& path, const QString& password,
                          const CatalogueTable& table) {
    if (table.columns.size() < 2 || table.columns[0] != u"Код" || table.columns[1] != u"device") {
        throw Exception(
            QStringLiteral("A device catalogue starts with the columns Код and device."));
    }
    writeAtomically(path, password, [&](sqlite3* db) {
        QStringList columns{QStringLiteral("\"Код\" INTEGER PRIMARY KEY"),
                            QStringLiteral("device TEXT")};
        for (qsizetype c = 2; c < table.columns.size(); ++c) {
            columns.append(quoted(table.columns[c]) + QStringLiteral(" TEXT"));
        }
        const QByteArray sql = utf8(
            QStringLiteral("CREATE TABLE device (%1)").arg(columns.join(QStringLiteral(", "))));
        Exec(db, sql.constData());
        insertRows(db, QStringLiteral("device"), table);
    });
}

}  // namespace quarrow
