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

// The index query that narrows `column LIKE pattern` down to candidate rows:
// every trigram of every run of three or more characters between the
// wildcards, all required. Empty when the pattern has no such run, in which
// case the index cannot help.
QString TrigramQueryFor(const QString& likePattern);

// Rewrites "column LIKE ?n" comparisons of a one-table statement (with its
// literals already lifted to numbered parameters) so that the engine looks
// the candidates up in the table's trigram index first; the comparison
// itself stays, so the result is exactly the same. Index queries are
// appended to `values` as further parameters.
QString UseTrigramIndex(sqlite3* db, const QString& liftedSql, QStringList& values);

}  // namespace quarrow
