#include "DBEdit.h"

#include "DataSource.h"
#include "db/Query.h"

namespace quarrow {

DBEdit::DBEdit(QWidget* parent) : QLineEdit(parent) {}

void DBEdit::bind(DataSource* source, const QString& field) {
    source_ = source;
    field_ = field;
    Query* query = source->query();
    query->requireField(field, objectName());
    connect(query, &Query::resultReset, this, &DBEdit::refresh);
    connect(query, &Query::currentRowChanged, this, &DBEdit::refresh);
    connect(query, &Query::rowChanged, this, &DBEdit::refresh);
    refresh();
}

void DBEdit::refresh() {
    const Query* query = source_->query();
    const int column = query->fieldIndex(field_);
    const int row = query->currentRow();
    // The box keeps no more than its maximum length of any value; reading no
    // more than that spares converting a huge value it would cut anyway.
    setText(column >= 0 && row >= 0 ? query->valueHead(row, column, maxLength()) : QString());
}

}  // namespace quarrow
