#include "CatalogueReindex.h"

#include "InputError.h"
#include "db/Connection.h"
#include "db/Sqlite.h"
#include "db/TrigramIndex.h"

namespace quarrow {

namespace {

QString quotedValue(QString value) {
    value.replace(u'"', QStringLiteral("\"\""));
    return u'"' + value + u'"';
}

}  // namespace

qint64 ReindexCatalogue(const QString& path, const QString& password) {
    Connection connection(QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=%1;"
                                         "Mode=Share Deny None;Jet OLEDB:Database Password=%2")
                              .arg(quotedValue(path), quotedValue(password)));
    QString table;
    QString index;
    try {
        connection.open();
        for (const QString& candidate : {QStringLiteral("table_1"), QStringLiteral("device")}) {
            if (TrigramIndexedColumns(connection.handle(), candidate).size() == 1) {
                table = candidate;
                break;
            }
        }
        if (table.isEmpty()) {
            throw InputError(
                QStringLiteral("it has no search index (a trigram index of "
                               "table_1 or device) to rebuild"));
        }
        index = QuoteIdentifier(TrigramIndexName(table));
    } catch (const Exception& error) {
        throw InputError(QStringLiteral("%1: %2").arg(path, error.message()));
    }
    try {
        Connection::WriteTransaction transaction(connection);
        Exec(connection.handle(), QStringLiteral("INSERT INTO %1(%1) VALUES ('rebuild')")
                                      .arg(index)
                                      .toUtf8()
                                      .constData());
        transaction.commit();
        Statement rows(connection.handle(),
                       QStringLiteral("SELECT count(*) FROM ") + QuoteIdentifier(table));
        return rows.step() ? rows.int64(0) : 0;
    } catch (const Exception& error) {
        throw Exception(QStringLiteral("%1: %2").arg(path, error.message()));
    }
}

}  // namespace quarrow
