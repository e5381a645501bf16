#pragma once

#include <QString>

namespace quarrow {

// The driver catalogue vek.mdb: how the windows connect to it and the
// statements they run against its table_1.
QString MainCatalogueConnectionString();
QString AboutCatalogueConnectionString();

class Connection;
class Query;

// The main window's search of table_1 by Наименование, counted as `url`: see
// RunCatalogueSearch.
qint64 RunDriverSearch(Connection& connection, Query& results, Query& counter, const QString& text);

// Removes characters with codes 0 to 32 from both ends, and nothing else:
// the no-break space stays.
QString TrimControlCharacters(const QString& text);

}  // namespace quarrow
