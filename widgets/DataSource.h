#pragma once

#include <QObject>

namespace quarrow {

class Query;

// Links a query's result to the controls that show it: a grid whose selected
// row is the query's current row, and field boxes that show that row.
class DataSource : public QObject {
    Q_OBJECT
public:
    DataSource(Query* query, const QString& name, QObject* parent = nullptr);
    Query* query() const { return query_; }

private:
    Query* query_;
};

}  // namespace quarrow
