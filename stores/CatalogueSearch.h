#pragma once

#include <QString>

namespace quarrow {

class Connection;
class Query;

// A catalogue table as the windows search it: the rows whose `column`
// contains the typed text, and their count under the alias `countAlias`.
struct SearchedColumn {
    QString table;
    QString column;
    QString countAlias;
};

// The search sequence: opens the connection when it is closed, replaces the
// result query's statement with the search and opens it, then runs the count
// on the counter query and closes it again. Returns the count.
//
// The typed text is bound as the LIKE pattern "%text%": "%" and "_" in it
// stay wildcards, anything else (an apostrophe included) is searched for as
// typed. Where the table has a trigram index over the column, both
// statements also require the index's candidates, which spares reading the
// other rows; the LIKE comparison stays, so the rows found are the same.
qint64 RunCatalogueSearch(Connection& connection, Query& results, Query& counter,
                          const SearchedColumn& searched, const QString& text);

}  // namespace quarrow
