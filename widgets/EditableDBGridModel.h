#pragma once

#include "DBGridModel.h"

#include <QMap>

namespace quarrow {

// A grid model whose rows can be changed in place, with room for one new row
// that is not in the file yet. What the user types stays in a row buffer
// until post() writes it in one transaction; the stored values are shown
// again only once the write succeeded, or after cancel().
//
// The new row lives only while it is the grid's current row: the grid posts
// or drops it before the result changes in any other way.
class EditableDBGridModel : public DBGridModel {
    Q_OBJECT
public:
    enum class RowState { Browse, Edit, Insert };

    explicit EditableDBGridModel(DataSource* source, QObject* parent = nullptr);

    RowState state() const { return state_; }
    // The row being changed or added, or -1.
    int bufferRow() const { return row_; }
    // A new row counts as touched once it holds a value.
    bool isModified() const { return !changes_.isEmpty(); }
    bool canEdit() const;

    // The result row shown in a grid row: -1 for the new row.
    int queryRow(int gridRow) const;

    void startNewRow(int at);
    // Writes the buffer to the file and shows the row as stored. Throws when
    // the catalogue refuses the change; the buffer is then kept.
    void post();
    void cancel();

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

private:
    QString storedValue(int gridRow, int resultColumn) const;
    void clearBuffer();
    void rowLooksChanged(int gridRow);

    RowState state_ = RowState::Browse;
    int row_ = -1;
    QMap<int, QString> changes_;  // result column -> typed text
};

}  // namespace quarrow
