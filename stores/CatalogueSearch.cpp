#include "CatalogueSearch.h"

#include "db/Connection.h"
#include "db/Query.h"
#include "db/TrigramIndex.h"

namespace quarrow {

qint64 RunCatalogueSearch(Connection& connection, Query& results, Query& counter,
                          const SearchedColumn& searched, const QString& text) {
    connection.open();
    const QString pattern = u'%' + text + u'%';
    QString condition = searched.column + QStringLiteral(" LIKE ?");
    QStringList parameters{pattern};
    const IndexCondition narrowing = TrigramCondition(
        searched.table, connection.trigramIndexedColumn(searched.table), searched.column, pattern);
    if (!narrowing.isEmpty()) {
        condition += QStringLiteral(" AND ") + narrowing.sql;
        parameters.append(narrowing.parameter);
    }
    connection.setPageCache(narrowing.isEmpty() ? Connection::PageCache::ForScans
                                                : Connection::PageCache::ForRowsById);

    results.setSelect(searched.table, condition, parameters);
    results.open();
    counter.close();
    counter.setSql(QStringLiteral("select count(*) as %1 from %2 WHERE %3")
                       .arg(searched.countAlias, searched.table, condition),
                   parameters);
    counter.open();
    const qint64 found = counter.fieldByNameAsInteger(searched.countAlias);
    counter.close();
    return found;
}

}  // namespace quarrow
