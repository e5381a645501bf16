#pragma once

#include <QString>
#include <QStringList>

struct sqlite3;

namespace quarrow {

// A catalogue table can carry a trigram index over one of its text columns:
// an FTS5 table named "<table>_trigram" (trigram tokenizer, no positions)
// whose content is the table itself, kept up to date by triggers on every
// insert, update and delete. The table stays a plain table, so whole-table
// scans are as fast as the engine's, and any tool can read and change it.
void CreateTrigramIndex(sqlite3* db, const QString& table, const QString& column);

// The statements that create a table's trigram index and its triggers,
// exactly as CreateTrigramIndex writes them into the file's schema. The
// engine writes a renamed table's new name into its triggers; `triggersOn`
// names the table the triggers are on when that is not `table`.
QStringList TrigramIndexSchema(const QString& table, const QString& column,
                               const QString& triggersOn = {});
// The index beside `table` ("<table>_trigram") and the columns it covers
// (none when the table has no such index).
QString TrigramIndexName(const QString& table);
QStringList TrigramIndexedColumns(sqlite3* db, const QString& table);

// The index query that narrows `column LIKE pattern` down to candidate rows:
// every trigram of every run of three or more characters between the
// wildcards, all required. Empty when the pattern has no such run, in which
// case the index cannot help.
QString TrigramQueryFor(const QString& likePattern);

// A condition that narrows "column LIKE pattern" on a table down to the rows
// that its trigram index names as candidates, for the statement's WHERE
// clause, with the one parameter it takes. The LIKE comparison stays beside
// it, so results are exactly those of a scan.
struct IndexCondition {
    QString sql;
    QString parameter;
    bool isEmpty() const { return sql.isEmpty(); }
};

// The condition for `column LIKE likePattern` on `table`, whose usable
// trigram index covers `indexedColumn` (empty for none); empty when that is
// not `column` or the pattern has no run of three characters, in which case
// the index cannot help.
IndexCondition TrigramCondition(const QString& table, const QString& indexedColumn,
                                const QString& column, const QString& likePattern);

// How many rows the trigram index beside `table` holds, as the index's own
// record of its totals says (reading it costs one page); -1 when it cannot
// be read.
qint64 TrigramIndexRows(sqlite3* db, const QString& table);

}  // namespace quarrow
