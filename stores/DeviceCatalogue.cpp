#include "DeviceCatalogue.h"

#include "CatalogueSearch.h"

namespace quarrow {

QString DeviceCatalogueConnectionString() {
    return QStringLiteral(
        "Provider=Microsoft.Jet.OLEDB.4.0;User ID=Admin;Data Source=dev.mdb;"
        "Mode=Share Deny Write;Extended Properties=\"\";Persist Security Info=False;"
        "Jet OLEDB:System database=\"\";Jet OLEDB:Registry Path=\"\";"
        "Jet OLEDB:Database Password=kavrel;Jet OLEDB:Engine Type=5;"
        "Jet OLEDB:Database Locking Mode=1;Jet OLEDB:Global Partial Bulk Ops=2;"
        "Jet OLEDB:Global Bulk Transactions=1;Jet OLEDB:New Database Password=\"\";"
        "Jet OLEDB:Create System Database=False;Jet OLEDB:Encrypt Database=False;"
        "Jet OLEDB:Don't Copy Locale on Compact=False;"
        "Jet OLEDB:Compact Without Replica Repair=False;Jet OLEDB:SFP=False");
}

qint64 RunDeviceSearch(Connection& connection, Query& results, Query& counter,
                       const QString& text) {
    static const SearchedColumn devices{QStringLiteral("device"), QStringLiteral("device"),
                                        QStringLiteral("device")};
    return RunCatalogueSearch(connection, results, counter, devices, text);
}

}  // namespace quarrow
