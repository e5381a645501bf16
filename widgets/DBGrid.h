#pragma once

#include "DBGridModel.h"

#include <QTableView>

namespace quarrow {

class DataSource;

// A data grid: shows its data source's rows in the declared columns, keeps
// its selected row and the query's current row the same, and deletes the
// current row with Ctrl+Delete after the "Delete record?" confirmation.
class DBGrid : public QTableView {
    Q_OBJECT
public:
    explicit DBGrid(QWidget* parent = nullptr);

    void setDataSource(DataSource* source);
    DataSource* dataSource() const { return source_; }
    DBGridModel* gridModel() const { return model_; }
    void setColumns(const QVector<DBGridColumn>& columns);
    // Typing never moves to another row: a key either goes into the cell's
    // editor or does nothing.
    void keyboardSearch(const QString& search) override;

signals:
    // The left button released over a data cell, or over the grid's empty
    // first row when the result has no rows.
    void cellClick();
    // A double click anywhere in the grid.
    void dblClick();
    // A character typed in the grid (Enter arrives as "\r").
    void keyPress(QChar key);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;

    // Deletes the current row after the confirmation; grids that edit rows
    // refine what else a deletion involves.
    virtual void deleteCurrentRecord();
    // Grids that edit rows show them through a model of their own.
    virtual DBGridModel* createModel(DataSource* source);
    void followCurrentRow(int row);

private:
    DataSource* source_ = nullptr;
    DBGridModel* model_ = nullptr;
};

}  // namespace quarrow
