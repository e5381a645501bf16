#pragma once

#include <QHash>
#include <QString>

struct sqlite3;

namespace quarrow {

// A catalogue comes from outside, and the engine runs whatever its schema
// says whenever the program reads or writes. This refuses, with one message
// naming the file and the fault, what a catalogue never needs and what would
// make the program's own statements do something else: a catalogue table
// (table_1, device) that is a view, a virtual table or a table WITHOUT ROWID,
// or has a column named rowid or a generated column; a trigram index other
// than the one the builder writes; any trigger other than the index's own.
// Further tables and indexes are left alone: nothing of the program reads
// them. Throws EOleException.
//
// Returns the catalogue tables whose trigram index is complete in its
// schema (the index as the builder writes it and its three triggers), keyed
// by the table's name in lower case, with the column it covers: only those
// indexes follow the program's writes and may narrow its searches.
using TrigramIndexes = QHash<QString, QString>;
TrigramIndexes CheckCatalogueSchema(sqlite3* db, const QString& path);

}  // namespace quarrow
