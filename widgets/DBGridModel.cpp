#include "DBGridModel.h"

#include "dialogs/DialogText.h"

#include "DataSource.h"
#include "db/Query.h"

namespace quarrow {

DBGridModel::DBGridModel(DataSource* source, QObject* parent)
    : QAbstractTableModel(parent), source_(source) {
    Query* q = source->query();
    connect(q, &Query::aboutToReset, this, [this] { beginResetModel(); });
    connect(q, &Query::resultReset, this, [this] {
        mapColumns();
        endResetModel();
    });
    connect(q, &Query::aboutToRemoveRow, this, [this](int row) { beginRemoveRows({}, row, row); });
    connect(q, &Query::rowRemoved, this, [this](int) { endRemoveRows(); });
    connect(q, &Query::aboutToInsertRow, this, [this](int row) { beginInsertRows({}, row, row); });
    connect(q, &Query::rowInserted, this, [this](int) { endInsertRows(); });
    connect(q, &Query::rowChanged, this,
            [this](int row) { emit dataChanged(index(row, 0), index(row, columnCount() - 1)); });
    connect(q, &Query::currentRowChanged, this, [this](int row) {
        const int old = indicatorRow_;
        indicatorRow_ = row;
        const int count = rowCount();
        if (old >= 0 && old < count) emit headerDataChanged(Qt::Vertical, old, old);
        if (row >= 0 && row < count) emit headerDataChanged(Qt::Vertical, row, row);
    });
}

Query* DBGridModel::query() const { return source_->query(); }

void DBGridModel::setColumns(const QVector<DBGridColumn>& columns) {
    beginResetModel();
    columns_ = columns;
    mapColumns();
    endResetModel();
}

void DBGridModel::mapColumns() {
    resultColumns_.clear();
    for (const DBGridColumn& column : columns_) {
        resultColumns_.append(query()->fieldIndex(column.field));
    }
}

int DBGridModel::resultColumn(int gridColumn) const {
    return gridColumn >= 0 && gridColumn < resultColumns_.size() ? resultColumns_[gridColumn] : -1;
}

int DBGridModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : query()->rowCount();
}

int DBGridModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(columns_.size());
}

QVariant DBGridModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) return {};
    if (role == Qt::DisplayRole || role == Qt::EditRole) {
        const int column = resultColumn(index.column());
        if (column < 0) return QString();
        // What the cell shows is cut short; what an editor gets stays whole.
        if (role == Qt::EditRole) return query()->value(index.row(), column);
        return ElideLongText(query()->valueHead(index.row(), column, kMostShownCharacters));
    }
    if (role == Qt::FontRole && columns_[index.column()].cellFont) {
        return *columns_[index.column()].cellFont;
    }
    return {};
}

QVariant DBGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Vertical) {
        if (role == Qt::DisplayRole)
            return section == query()->currentRow() ? QStringLiteral("\u25B6") : QString();
        if (role == Qt::TextAlignmentRole) return int(Qt::AlignCenter);
        return {};
    }
    if (section < 0 || section >= columns_.size()) return {};
    switch (role) {
        case Qt::DisplayRole:
            return columns_[section].title;
        case Qt::FontRole:
            return columns_[section].titleFont;
        case Qt::TextAlignmentRole:
            return int(Qt::AlignCenter);
        default:
            return {};
    }
}

}  // namespace quarrow
