#include "DriverCatalogue.h"

#include "db/Connection.h"
#include "db/Query.h"
#include "db/StatementText.h"

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

QString DriverSearchStatement(const QString& text) {
    return QStringLiteral("SELECT * FROM table_1 WHERE Наименование LIKE '%") +
           QuoteLiteralBody(text) + QStringLiteral("%'");
}

QString DriverCountStatement(const QString& text) {
    return QStringLiteral("select count(*) as url from table_1 WHERE Наименование LIKE '%") +
           QuoteLiteralBody(text) + QStringLiteral("%'");
}

qint64 RunDriverSearch(Connection& connection, Query& results, Query& counter,
                       const QString& text) {
    connection.open();
    results.clearSql();
    results.addSql(DriverSearchStatement(text));
    results.open();
    counter.close();
    counter.clearSql();
    counter.addSql(DriverCountStatement(text));
    counter.open();
    const qint64 found = counter.fieldByNameAsInteger(QStringLiteral("url"));
    counter.close();
    return found;
}

QString TrimControlCharacters(const QString& text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text[begin].unicode() <= 32) ++begin;
    while (end > begin && text[end - 1].unicode() <= 32) --end;
    return text.mid(begin, end - begin);
}

}  // namespace quarrow
