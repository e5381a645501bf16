#pragma once

#include <QString>

namespace quarrow {

// The device catalogue dev.mdb: how the unknown-device window connects to it
// and the statements it runs against its table `device`.
QString DeviceCatalogueConnectionString();

class Connection;
class Query;

// The unknown-device window's search of the table `device` by its column
// `device`, counted as `device`: see RunCatalogueSearch.
qint64 RunDeviceSearch(Connection& connection, Query& results, Query& counter, const QString& text);

}  // namespace quarrow
