#pragma once

#include <QAbstractTableModel>
#include <QFont>
#include <QVector>
#include <optional>

namespace quarrow {

class DataSource;
class Query;

struct DBGridColumn {
    QString field;
    QString title;
    int width = -1;  // -1: the field's default display width
    QFont titleFont;
    std::optional<QFont> cellFont;  // unset: the grid's own font
};

// Shows a query's rows in the declared columns, whatever other columns the
// result holds. The vertical header is the row indicator: it marks the
// current row.
class DBGridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    DBGridModel(DataSource* source, QObject* parent = nullptr);

    void setColumns(const QVector<DBGridColumn>& columns);
    const QVector<DBGridColumn>& columns() const { return columns_; }
    Query* query() const;
    // The result column shown in a grid column, or -1.
    int resultColumn(int gridColumn) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    void mapColumns();

    DataSource* source_;
    QVector<DBGridColumn> columns_;
    QVector<int> resultColumns_;
    int indicatorRow_ = -1;
};

}  // namespace quarrow
