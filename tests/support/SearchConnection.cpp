#include "SearchConnection.h"

#include "stores/DriverCatalogue.h"

namespace quarrow::test {

SearchConnection::SearchConnection(const QString& connectionString)
    : connection(connectionString),
      results(&connection, QStringLiteral("ADOQuery1")),
      counter(&connection, QStringLiteral("ADOQuery2")) {}

qint64 SearchConnection::searchDrivers(const QString& text) {
    return RunDriverSearch(connection, results, counter, text);
}

TemporaryDriverCatalogue::TemporaryDriverCatalogue(const QList<QStringList>& rows,
                                                   DriverTableLayout layout)
    : SearchConnection(MainCatalogueConnectionString()) {
    WriteDriverCatalogue(file(), QStringLiteral("kavrel"), {DriverCatalogueColumns(), rows},
                         layout);
}

}  // namespace quarrow::test
