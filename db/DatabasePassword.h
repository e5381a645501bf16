#pragma once

#include <QString>

struct sqlite3;

namespace quarrow {

// A catalogue may record a database password as a salted hash (never the
// password itself) in a small table of its own. A file that records none
// opens with any password.
void RecordDatabasePassword(sqlite3* db, const QString& password);
bool DatabasePasswordMatches(sqlite3* db, const QString& password);

}  // namespace quarrow
