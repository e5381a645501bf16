#include "EditableDBGridModel.h"

#include "DataSource.h"
#include "db/Query.h"

namespace quarrow {

EditableDBGridModel::EditableDBGridModel(DataSource* source, QObject* parent)
    : DBGridModel(source, parent) {
    // Connected after the base model's own handlers, so the view has been told
    // of each change before the buffer follows it.
    Query* q = query();
    connect(q, &Query::aboutToReset, this, [this] { clearBuffer(); });
    connect(q, &Query::aboutToInsertRow, this, [this](int at) {
        if (state_ == RowState::Insert && at <= row_) ++row_;
    });
    connect(q, &Query::aboutToRemoveRow, this, [this](int row) {
        if (state_ == RowState::Edit && row == row_) clearBuffer();
    });
}

bool EditableDBGridModel::canEdit() const { return query()->canModify(); }

int EditableDBGridModel::queryRow(int gridRow) const {
    if (state_ != RowState::Insert || gridRow < row_) return gridRow;
    return gridRow == row_ ? -1 : gridRow - 1;
}

QString EditableDBGridModel::storedValue(int gridRow, int resultColumn) const {
    const int row = queryRow(gridRow);
    return row < 0 ? QString() : query()->value(row, resultColumn);
}

void EditableDBGridModel::clearBuffer() {
    state_ = RowState::Browse;
    row_ = -1;
    changes_.clear();
}

void EditableDBGridModel::rowLooksChanged(int gridRow) {
    emit dataChanged(index(gridRow, 0), index(gridRow, columnCount() - 1));
    emit headerDataChanged(Qt::Vertical, gridRow, gridRow);
}

void EditableDBGridModel::startNewRow(int at) {
    if (state_ != RowState::Browse || !canEdit()) return;
    at = std::clamp(at, 0, rowCount());
    beginInsertRows({}, at, at);
    state_ = RowState::Insert;
    row_ = at;
    changes_.clear();
    endInsertRows();
}

void EditableDBGridModel::post() {
    switch (state_) {
        case RowState::Browse:
            return;
        case RowState::Edit: {
            const int row = row_;
            query()->updateRow(queryRow(row), changes_);
            clearBuffer();
            rowLooksChanged(row);
            return;
        }
        case RowState::Insert:
            // An untouched new row is dropped, never written.
            if (!changes_.isEmpty()) query()->insertRow(row_, changes_);
            cancel();
            return;
    }
}

void EditableDBGridModel::cancel() {
    switch (state_) {
        case RowState::Browse:
            return;
        case RowState::Edit: {
            const int row = row_;
            clearBuffer();
            rowLooksChanged(row);
            return;
        }
        case RowState::Insert:
            beginRemoveRows({}, row_, row_);
            clearBuffer();
            endRemoveRows();
            return;
    }
}

int EditableDBGridModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid()) return 0;
    return DBGridModel::rowCount(parent) + (state_ == RowState::Insert ? 1 : 0);
}

QVariant EditableDBGridModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return {};
    const bool text = role == Qt::DisplayRole || role == Qt::EditRole;
    if (text && state_ != RowState::Browse && index.row() == row_) {
        const int column = resultColumn(index.column());
        const auto typed = changes_.constFind(column);
        if (typed != changes_.cend()) return *typed;
        if (state_ == RowState::Insert || column < 0) return QString();
    }
    const int row = queryRow(index.row());
    return DBGridModel::data(row < 0 ? index : this->index(row, index.column()), role);
}

QVariant EditableDBGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Vertical && role == Qt::DisplayRole && state_ != RowState::Browse) {
        if (section != row_) return QString();
        return state_ == RowState::Insert ? QStringLiteral("*") : QStringLiteral("I");
    }
    return DBGridModel::headerData(section, orientation, role);
}

Qt::ItemFlags EditableDBGridModel::flags(const QModelIndex& index) const {
    Qt::ItemFlags flags = DBGridModel::flags(index);
    if (index.isValid() && canEdit() && resultColumn(index.column()) >= 0) {
        flags |= Qt::ItemIsEditable;
    }
    return flags;
}

bool EditableDBGridModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::EditRole || !index.isValid() || !canEdit()) return false;
    const int column = resultColumn(index.column());
    if (column < 0) return false;
    const int row = index.row();
    // One row at a time: another row's buffer is posted or dropped first.
    if (state_ != RowState::Browse && row != row_) return false;

    const QString typed = value.toString();
    const QString stored = storedValue(row, column);
    if (state_ == RowState::Browse) {
        if (typed == stored) return true;
        state_ = RowState::Edit;
        row_ = row;
    }
    if (typed == stored) {
        changes_.remove(column);
    } else {
        changes_.insert(column, typed);
    }
    if (state_ == RowState::Edit && changes_.isEmpty()) clearBuffer();
    rowLooksChanged(row);
    return true;
}

}  // namespace quarrow
