#include "DeviceCatalogue.h"

#include "CatalogueSearch.h"
#include "db/Connection.h"
#include "db/Query.h"

#include <QRegularExpression>

namespace quarrow {

namespace {

QString deviceCatalogueConnectionString(const QString& mode) {
    return QStringLiteral(
               "Provider=Microsoft.Jet.OLEDB.4.0;User ID=Admin;Data Source=dev.mdb;"
               "Mode=%1;Extended Properties=\"\";Persist Security Info=False;"
               "Jet OLEDB:System database=\"\";Jet OLEDB:Registry Path=\"\";"
               "Jet OLEDB:Database Password=kavrel;Jet OLEDB:Engine Type=5;"
               "Jet OLEDB:Database Locking Mode=1;Jet OLEDB:Global Partial Bulk Ops=2;"
               "Jet OLEDB:Global Bulk Transactions=1;Jet OLEDB:New Database Password=\"\";"
               "Jet OLEDB:Create System Database=False;Jet OLEDB:Encrypt Database=False;"
               "Jet OLEDB:Don't Copy Locale on Compact=False;"
               "Jet OLEDB:Compact Without Replica Repair=False;Jet OLEDB:SFP=False")
        .arg(mode);
}

}  // namespace

QString DeviceCatalogueConnectionString() {
    return deviceCatalogueConnectionString(QStringLiteral("Share Deny Write"));
}

QString DeviceListConnectionString() {
    return deviceCatalogueConnectionString(QStringLiteral("Read"));
}

qint64 RunDeviceSearch(Connection& connection, Query& results, Query& counter,
                       const QString& text) {
    static const SearchedColumn devices{QStringLiteral("device"), QStringLiteral("device"),
                                        QStringLiteral("device")};
    return RunCatalogueSearch(connection, results, counter, devices, text);
}

namespace {

// The code, its lspci spellings and more names than a list shows.
constexpr int kMostTextCharacters = 4096;

}  // namespace

QHash<QString, QString> DeviceTextsByCode(Connection& connection, Query& query,
                                          const QStringList& codes) {
    QHash<QString, QString> texts;
    if (codes.isEmpty()) return texts;
    connection.open();
    QStringList upperCodes;
    for (const QString& code : codes) upperCodes.append(code.toUpper());
    const QStringList marks(codes.size(), QStringLiteral("?"));
    // No more of a text than its names are shown of: a text of megabytes
    // converted and taken apart whole kept the device list waiting seconds.
    query.setSql(QStringLiteral("SELECT substr(device, 1, %2) AS device FROM device WHERE "
                                "upper(substr(device, 1, instr(device || ' ', ' ') - 1)) IN (%1)")
                     .arg(marks.join(QStringLiteral(", ")))
                     .arg(kMostTextCharacters),
                 upperCodes);
    query.open();
    for (int row = 0; row < query.rowCount(); ++row) {
        const QString text = query.value(row, 0);
        const QString code = text.section(u' ', 0, 0).toUpper();
        if (!texts.contains(code)) texts.insert(code, text);
    }
    query.close();
    return texts;
}

QString DeviceNamesOfText(const QString& text) {
    // The catalogue builder writes the lspci spellings in lower case, at most
    // two of them (a subsystem row's device and subsystem codes).
    static const QRegularExpression codes(
        QStringLiteral("^\\S+(?: +[0-9a-f]{4}(?::[0-9a-f]{4})?(?= |$)){0,2} *"));
    return text.sliced(codes.match(text).capturedLength()).trimmed();
}

}  // namespace quarrow
