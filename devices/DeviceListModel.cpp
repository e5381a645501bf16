#include "DeviceListModel.h"

#include "dialogs/DialogText.h"

#include <QColor>

namespace quarrow {

DeviceListModel::DeviceListModel(QObject* parent) : QAbstractTableModel(parent) {}

void DeviceListModel::setRows(QList<DeviceListRow> rows) {
    beginResetModel();
    rows_ = std::move(rows);
    endResetModel();
}

QColor DeviceListModel::warningColour() { return QColor(176, 0, 32); }

int DeviceListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(rows_.size());
}

int DeviceListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant DeviceListModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid)) {
        return {};
    }
    const DeviceListRow& row = rows_[index.row()];
    switch (role) {
        case Qt::DisplayRole:
        case Qt::ToolTipRole:
            // Cut short as the data grids cut values: laying out a name of
            // millions of characters froze the list at every repaint.
            switch (index.column()) {
                case IdColumn:
                    return ElideLongText(row.id);
                case NameColumn:
                    return ElideLongText(row.name);
                default:
                    return ElideLongText(row.driver);
            }
        case Qt::FontRole:
            if (!row.hasDriver) {
                QFont bold;
                bold.setBold(true);
                return bold;
            }
            return {};
        case Qt::ForegroundRole:
            return row.hasDriver ? QVariant() : QVariant(warningColour());
        default:
            return {};
    }
}

QVariant DeviceListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= ColumnCount) return {};
    switch (role) {
        case Qt::DisplayRole: {
            static const QString titles[ColumnCount] = {
                QStringLiteral("ID"), QStringLiteral("УСТРОЙСТВО"), QStringLiteral("ДРАЙВЕР")};
            return titles[section];
        }
        case Qt::FontRole:
            return titleFont_;
        case Qt::TextAlignmentRole:
            return QVariant::fromValue(Qt::AlignCenter);
        default:
            return {};
    }
}

}  // namespace quarrow
