#include "DataSource.h"

namespace quarrow {

DataSource::DataSource(Query* query, const QString& name, QObject* parent)
    : QObject(parent), query_(query) {
    setObjectName(name);
}

}  // namespace quarrow
