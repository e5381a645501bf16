#pragma once

#include "DBGrid.h"
#include "EditableDBGridModel.h"

#include <QBasicTimer>
#include <QPointer>

namespace quarrow {

// A data grid that edits its rows in place. A changed row is written to the
// file when the user moves to another row and dropped with Esc; Insert, or
// the down arrow on the last row, starts a new row, which is written once the
// user leaves it with a value in it and dropped when left untouched. A write
// that the catalogue refuses is shown in the error box and keeps the user on
// the row, with what was typed, to correct it or drop it with Esc.
class EditableDBGrid : public DBGrid {
    Q_OBJECT
public:
    explicit EditableDBGrid(QWidget* parent = nullptr);

    EditableDBGridModel* editModel() const;
    void setModel(QAbstractItemModel* model) override;

    // Writes the row being changed or added before the result goes away.
    // Throws when the catalogue refuses it; the change is then kept.
    void postPendingRow();
    void cancelPendingRow();

protected:
    DBGridModel* createModel(DataSource* source) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    void deleteCurrentRecord() override;

private:
    friend class RowGate;
    friend class EditorTracker;

    // Asked before the current cell moves to `target`; false keeps it where it is.
    bool mayLeaveRow(const QModelIndex& target);
    void commitOpenEditor();
    // Insert starts the new row above the current one, the down arrow below the last.
    void startNewRow(bool append);
    void dropNewRow();
    void moveTo(int row);
    void focusMoved(QWidget* from, QWidget* to);
    bool contains(const QWidget* widget) const;

    QPointer<QWidget> editor_;
    bool internalMove_ = false;

    // A click on the current cell opens its editor once no double click can
    // follow; a key typed before that opens it at once.
    QBasicTimer clickEdit_;
    QPersistentModelIndex clickedCell_;
    bool pressedOnCurrentCell_ = false;
    bool releaseEndsDoubleClick_ = false;
};

}  // namespace quarrow
