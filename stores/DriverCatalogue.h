#pragma once

#include <QString>

namespace quarrow {

// The driver catalogue vek.mdb: how the windows connect to it and the
// statements they run against its table_1.
QString MainCatalogueConnectionString();
QString AboutCatalogueConnectionString();

// The search and count statements for search text `text`. The text goes in
// as the body of a string literal, so an apostrophe is searched for
// literally; "%" and "_" stay wildcards.
QString DriverSearchStatement(const QString& text);
QString DriverCountStatement(const QString& text);

class Connection;
class Query;

// The search sequence: opens the connection when it is closed, replaces the
// result query's statement with the search and opens it, then runs the count
// on the counter query and closes it again. Returns the count.
qint64 RunDriverSearch(Connection& connection, Query& results, Query& counter, const QString& text);

// Removes characters with codes 0 to 32 from both ends, and nothing else:
// the no-break space stays.
QString TrimControlCharacters(const QString& text);

}  // namespace quarrow
