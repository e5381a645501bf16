#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

namespace quarrow {

// The device catalogue dev.mdb: how the unknown-device window connects to it
// and the statements it runs against its table `device`.
QString DeviceCatalogueConnectionString();

class Connection;
class Query;

// The unknown-device window's search of the table `device` by its column
// `device`, counted as `device`: see RunCatalogueSearch.
qint64 RunDeviceSearch(Connection& connection, Query& results, Query& counter, const QString& text);

// The device list's connection to dev.mdb: read only, so that it neither
// keeps the unknown-device window's connection out nor is kept out by it.
QString DeviceListConnectionString();

// Looks hardware codes up in the table `device`, whose rows' texts begin
// with a code, a blank and then the names ("PCI\VEN_10DE&DEV_0393 10de:0393
// NVIDIA Corporation G73 [GeForce 7300 GT]"). Returns, for each code that
// some row begins with, the text of the first such row, keyed by the code in
// upper case; letter case is ignored. A text is given up to its first 4,096
// characters. One reading of the table serves all the codes, which are bound
// to the statement, never written into it.
QHash<QString, QString> DeviceTextsByCode(Connection& connection, Query& query,
                                          const QStringList& codes);

// The names of a row's text, without the codes in front of them: the code
// and the lspci spellings ("10de:0393", "10de") that follow it.
QString DeviceNamesOfText(const QString& text);

}  // namespace quarrow
