#pragma once

#include "DeviceList.h"

#include <QAbstractTableModel>
#include <QFont>

namespace quarrow {

// The device list's grid: "ID", "УСТРОЙСТВО" and "ДРАЙВЕР", read only. Rows
// of devices without a driver stand out in bold and the warning colour.
class DeviceListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { IdColumn, NameColumn, DriverColumn, ColumnCount };

    explicit DeviceListModel(QObject* parent = nullptr);

    void setRows(QList<DeviceListRow> rows);
    const QList<DeviceListRow>& rows() const { return rows_; }
    void setTitleFont(const QFont& font) { titleFont_ = font; }
    static QColor warningColour();

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    QList<DeviceListRow> rows_;
    QFont titleFont_;
};

}  // namespace quarrow
