#include "CatalogueSchema.h"

#include "Sqlite.h"
#include "TrigramIndex.h"
#include "core/Exception.h"

#include <QStringList>
#include <algorithm>

namespace quarrow {

namespace {

// The tables the program reads whole rows of, writes rows of and counts.
const QStringList& catalogueTables() {
    static const QStringList tables{QStringLiteral("table_1"), QStringLiteral("device")};
    return tables;
}

bool isCatalogueTable(const QString& name) {
    return catalogueTables().contains(name, Qt::CaseInsensitive);
}

[[noreturn]] void refuse(const QString& path, const QString& fault) {
    throw EOleException(QStringLiteral("The catalogue '%1' cannot be used: %2.").arg(path, fault));
}

void checkColumns(sqlite3* db, const QString& path, const QString& table) {
    static const QStringList rowIds{QStringLiteral("rowid"), QStringLiteral("oid"),
                                    QStringLiteral("_rowid_")};
    Statement columns(db, QStringLiteral("PRAGMA table_xinfo(%1)").arg(QuoteIdentifier(table)));
    while (columns.step()) {
        const QString name = columns.text(1);
        if (rowIds.contains(name, Qt::CaseInsensitive)) {
            refuse(path, QStringLiteral("%1 has a column named '%2', which hides the row ids "
                                        "that rows are read and written by")
                             .arg(table, name));
        }
        // table_xinfo marks generated columns as hidden 2 (virtual) or 3 (stored).
        if (columns.int64(6) >= 2) {
            refuse(path, QStringLiteral("%1 has a generated column '%2'").arg(table, name));
        }
    }
}

// The catalogue tables as PRAGMA table_list describes them; returns the
// names found, in the file's spelling.
QStringList checkTables(sqlite3* db, const QString& path) {
    QStringList found;
    Statement tables(db, "PRAGMA main.table_list");
    while (tables.step()) {
        const QString name = tables.text(1);
        if (!isCatalogueTable(name)) continue;
        const QString type = tables.text(2);
        if (type == u"view") refuse(path, QStringLiteral("%1 is a view, not a table").arg(name));
        if (type != u"table") {
            refuse(path, QStringLiteral("%1 is a %2 table, not an ordinary one").arg(name, type));
        }
        if (tables.int64(4) != 0) {
            refuse(path, QStringLiteral("%1 is a table WITHOUT ROWID").arg(name));
        }
        found.append(name);
    }
    for (const QString& table : found) checkColumns(db, path, table);
    return found;
}

// The tables that have a trigram index beside them, by the index's name.
QStringList indexedTables(sqlite3* db) {
    QStringList tables;
    Statement indexes(db,
                      "SELECT name FROM main.sqlite_schema WHERE type = 'table' AND "
                      "sql LIKE 'CREATE VIRTUAL TABLE%' AND name LIKE '%\\_trigram' ESCAPE '\\'");
    while (indexes.step()) tables.append(indexes.text(0).chopped(int(qstrlen("_trigram"))));
    return tables;
}

// A trigram index as the builder writes it, or its triggers, possibly on a
// table renamed since.
bool isOwnIndexObject(sqlite3* db, const QString& sql, const QString& triggerTable) {
    for (const QString& table : indexedTables(db)) {
        const QStringList columns = TrigramIndexedColumns(db, table);
        if (columns.size() != 1) continue;
        if (TrigramIndexSchema(table, columns.front(), triggerTable).contains(sql)) return true;
    }
    return false;
}

void checkIndexesAndTriggers(sqlite3* db, const QString& path, const QStringList& tables) {
    Statement objects(db,
                      "SELECT type, name, tbl_name, sql FROM main.sqlite_schema "
                      "WHERE type = 'trigger' OR (type = 'table' AND sql LIKE 'CREATE VIRTUAL%')");
    while (objects.step()) {
        const QString type = objects.text(0);
        const QString name = objects.text(1);
        if (isOwnIndexObject(db, objects.text(3), objects.text(2))) continue;
        if (type == u"trigger") {
            refuse(path, QStringLiteral("it holds a trigger (%1) that this program did not write, "
                                        "which would run with the program's own changes")
                             .arg(name));
        }
        for (const QString& table : tables) {
            if (name.compare(TrigramIndexName(table), Qt::CaseInsensitive) == 0) {
                refuse(path,
                       QStringLiteral("%1 is not the trigram index this program writes").arg(name));
            }
        }
    }
}

// Each catalogue table's index whose statements all stand in the schema.
TrigramIndexes usableIndexes(sqlite3* db, const QStringList& tables) {
    QStringList schema;
    Statement objects(db, "SELECT sql FROM main.sqlite_schema WHERE sql IS NOT NULL");
    while (objects.step()) schema.append(objects.text(0));
    TrigramIndexes indexes;
    for (const QString& table : tables) {
        const QStringList columns = TrigramIndexedColumns(db, table);
        if (columns.size() != 1) continue;
        const QStringList statements = TrigramIndexSchema(table, columns.front());
        if (std::all_of(statements.begin(), statements.end(),
                        [&schema](const QString& sql) { return schema.contains(sql); })) {
            indexes.insert(table.toLower(), columns.front());
        }
    }
    return indexes;
}

}  // namespace

TrigramIndexes CheckCatalogueSchema(sqlite3* db, const QString& path) {
    const QStringList tables = checkTables(db, path);
    checkIndexesAndTriggers(db, path, tables);
    return usableIndexes(db, tables);
}

}  // namespace quarrow
