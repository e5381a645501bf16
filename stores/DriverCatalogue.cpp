#include "DriverCatalogue.h"

#include "CatalogueSearch.h"

namespace quarrow {

QString MainCatalogueConnectionString() {
    return QStringLiteral(
        "Provider=Microsoft.Jet.OLEDB.4.0;User ID=admin;Data Source=vek.mdb;Mode=Share Deny None;"
        "Extended Properties=\"\";Persist Security Info=False;Jet OLEDB:System database=\"\";"
        "Jet OLEDB:Registry Path=\"\";Jet OLEDB:Database Password=kavrel;"
        "Jet OLEDB:Engine Type=5;Jet OLEDB:Database Locking Mode=1;"
        "Jet OLEDB:Global Partial Bulk Ops=2;Jet OLEDB:Global Bulk Transactions=1;"
        "Jet OLEDB:New Database Password=\"\";Jet OLEDB:Create System Database=False;"
        "Jet OLEDB:Encrypt Database=False;Jet OLEDB:Don't Copy Locale on Compact=False;"
        "Jet OLEDB:Compact Without Replica Repair=False;Jet OLEDB:SFP=False");
}

QString AboutCatalogueConnectionString() {
    return QStringLiteral(
        "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=vek.mdb;Persist Security Info=False;"
        "Jet OLEDB:Database Password=kavrel");
}

qint64 RunDriverSearch(Connection& connection, Query& results, Query& counter,
                       const QString& text) {
    static const SearchedColumn drivers{QStringLiteral("table_1"), QStringLiteral("Наименование"),
                                        QStringLiteral("url")};
    return RunCatalogueSearch(connection, results, counter, drivers, text);
}

QString TrimControlCharacters(const QString& text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text[begin].unicode() <= 32) ++begin;
    while (end > begin && text[end - 1].unicode() <= 32) --end;
    return text.mid(begin, end - begin);
}

}  // namespace quarrow
