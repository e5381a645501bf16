#include "EditableDBGrid.h"

#include "DataSource.h"
#include "db/Query.h"
#include "dialogs/Dialogs.h"
#include "forms/EventBoundary.h"

#include <QApplication>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScopedValueRollback>
#include <QStyledItemDelegate>
#include <utility>

namespace quarrow {

// Every move of the current cell asks the grid first, so that a row is
// written before the grid leaves it and a refused write keeps the user there.
class RowGate : public QItemSelectionModel {
public:
    RowGate(QAbstractItemModel* model, EditableDBGrid* grid)
        : QItemSelectionModel(model, grid), grid_(grid) {}

    void setCurrentIndex(const QModelIndex& index, SelectionFlags command) override {
        // Writing a new row inserts and removes rows; the target follows them.
        const QPersistentModelIndex target(index);
        if (!grid_->mayLeaveRow(index)) return;
        QItemSelectionModel::setCurrentIndex(target, command);
    }

    using QItemSelectionModel::select;
    void select(const QItemSelection& selection, SelectionFlags command) override {
        // After a refused move the view still asks to select the cell it aimed at.
        const QModelIndex current = currentIndex();
        if (!selection.isEmpty() && current.isValid() && !selection.contains(current)) return;
        QItemSelectionModel::select(selection, command);
    }

private:
    EditableDBGrid* grid_;
};

// Knows the open cell editor, so that its text can be taken into the row
// before the row is written.
class EditorTracker : public QStyledItemDelegate {
public:
    explicit EditorTracker(EditableDBGrid* grid) : QStyledItemDelegate(grid), grid_(grid) {}

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override {
        QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
        grid_->editor_ = editor;
        return editor;
    }

private:
    EditableDBGrid* grid_;
};

EditableDBGrid::EditableDBGrid(QWidget* parent) : DBGrid(parent) {
    // Not SelectedClicked: while the view waits to see whether a click on
    // the current cell becomes a double click, it takes no key as the start
    // of editing, so a key typed at once was lost or went to another row.
    // The grid waits itself (see mouseReleaseEvent) and lets keys in.
    setEditTriggers(AnyKeyPressed | EditKeyPressed);
    setItemDelegate(new EditorTracker(this));
    connect(qApp, &QApplication::focusChanged, this,
            [this](QWidget* from, QWidget* to) { guarded([&] { focusMoved(from, to); }); });
}

EditableDBGridModel* EditableDBGrid::editModel() const {
    return qobject_cast<EditableDBGridModel*>(gridModel());
}

DBGridModel* EditableDBGrid::createModel(DataSource* source) {
    return new EditableDBGridModel(source, this);
}

void EditableDBGrid::setModel(QAbstractItemModel* model) {
    DBGrid::setModel(model);
    QItemSelectionModel* plain = selectionModel();
    setSelectionModel(new RowGate(model, this));
    delete plain;
}

bool EditableDBGrid::contains(const QWidget* widget) const {
    return widget != nullptr && (widget == this || isAncestorOf(widget));
}

void EditableDBGrid::commitOpenEditor() {
    if (editor_ == nullptr || state() != EditingState) return;
    commitData(editor_);
    // Closed now, so that it cannot write its text into a row left behind.
    closeEditor(editor_, QAbstractItemDelegate::NoHint);
}

void EditableDBGrid::postPendingRow() {
    EditableDBGridModel* model = editModel();
    if (model == nullptr) return;
    commitOpenEditor();
    const QScopedValueRollback<bool> internal(internalMove_, true);
    model->post();
}

void EditableDBGrid::cancelPendingRow() {
    EditableDBGridModel* model = editModel();
    if (model == nullptr) return;
    if (editor_ != nullptr && state() == EditingState) {
        closeEditor(editor_, QAbstractItemDelegate::RevertModelCache);
    }
    if (model->state() == EditableDBGridModel::RowState::Insert) {
        dropNewRow();
    } else {
        model->cancel();
    }
}

void EditableDBGrid::dropNewRow() {
    const int row = editModel()->bufferRow();
    {
        const QScopedValueRollback<bool> internal(internalMove_, true);
        editModel()->cancel();
    }
    // Back on the row that was current when the new row was started.
    const int count = model()->rowCount();
    if (count > 0) moveTo(std::min(row, count - 1));
}

void EditableDBGrid::moveTo(int row) {
    const QModelIndex current = currentIndex();
    const QScopedValueRollback<bool> internal(internalMove_, true);
    setCurrentIndex(model()->index(row, current.isValid() ? current.column() : 0));
}

void EditableDBGrid::startNewRow(bool append) {
    EditableDBGridModel* model = editModel();
    if (model == nullptr || !model->canEdit()) return;
    if (model->state() == EditableDBGridModel::RowState::Insert && !model->isModified()) return;
    postPendingRow();
    const QModelIndex current = currentIndex();
    const int at = append || !current.isValid() ? model->rowCount() : current.row();
    model->startNewRow(at);
    moveTo(at);
}

bool EditableDBGrid::mayLeaveRow(const QModelIndex& target) {
    if (internalMove_) return true;
    const QModelIndex current = currentIndex();
    if (!current.isValid() || (target.isValid() && target.row() == current.row())) return true;
    bool left = false;
    guarded([&] {
        postPendingRow();
        left = true;
    });
    return left;
}

void EditableDBGrid::focusMoved(QWidget* from, QWidget* to) {
    // Only a move to another control of this window leaves the grid; a
    // dialog coming up over it does not.
    if (!contains(from) || to == nullptr || contains(to) || to->window() != window()) return;
    EditableDBGridModel* model = editModel();
    if (model != nullptr && model->state() == EditableDBGridModel::RowState::Insert &&
        !model->isModified()) {
        dropNewRow();
    }
}

void EditableDBGrid::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    // Not DBGrid's: while a new row is shown, the rows below it are one
    // further down in the grid than in the result.
    QTableView::currentChanged(current, previous);
    EditableDBGridModel* model = editModel();
    if (model == nullptr || !current.isValid()) return;
    const int row = model->queryRow(current.row());
    if (row >= 0) dataSource()->query()->setCurrentRow(row);
}

void EditableDBGrid::deleteCurrentRecord() {
    EditableDBGridModel* model = editModel();
    if (model != nullptr && model->state() == EditableDBGridModel::RowState::Insert) {
        if (ShowMessageDialog(QStringLiteral("Delete record?"), MsgDlgType::Confirmation,
                              MsgDlgBtn::OK | MsgDlgBtn::Cancel) != mrCancel) {
            dropNewRow();
        }
        return;
    }
    DBGrid::deleteCurrentRecord();
}

void EditableDBGrid::mousePressEvent(QMouseEvent* event) {
    const QModelIndex pressed = indexAt(event->position().toPoint());
    pressedOnCurrentCell_ = event->button() == Qt::LeftButton && pressed.isValid() &&
                            pressed == currentIndex() && state() != EditingState;
    DBGrid::mousePressEvent(event);
}

void EditableDBGrid::mouseReleaseEvent(QMouseEvent* event) {
    DBGrid::mouseReleaseEvent(event);
    const bool afterDoubleClick = std::exchange(releaseEndsDoubleClick_, false);
    const bool onCurrentCell = std::exchange(pressedOnCurrentCell_, false) &&
                               indexAt(event->position().toPoint()) == currentIndex();
    if (event->button() != Qt::LeftButton || afterDoubleClick || !onCurrentCell) return;
    clickedCell_ = currentIndex();
    clickEdit_.start(QApplication::doubleClickInterval(), this);
}

void EditableDBGrid::mouseDoubleClickEvent(QMouseEvent* event) {
    clickEdit_.stop();
    pressedOnCurrentCell_ = false;
    releaseEndsDoubleClick_ = true;
    DBGrid::mouseDoubleClickEvent(event);
}

void EditableDBGrid::timerEvent(QTimerEvent* event) {
    if (event->timerId() != clickEdit_.timerId()) {
        DBGrid::timerEvent(event);
        return;
    }
    clickEdit_.stop();
    if (clickedCell_.isValid() && clickedCell_ == currentIndex() && state() != EditingState) {
        edit(clickedCell_);
    }
}

void EditableDBGrid::keyPressEvent(QKeyEvent* event) {
    // A key typed right after a click on the current cell is the start of
    // the user's text for that cell.
    clickEdit_.stop();
    EditableDBGridModel* model = editModel();
    const bool plain = (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    if (model != nullptr && plain) {
        const QModelIndex current = currentIndex();
        const bool onLastRow = !current.isValid() || current.row() == model->rowCount() - 1;
        if (event->key() == Qt::Key_Escape &&
            model->state() != EditableDBGridModel::RowState::Browse) {
            guarded([this] { cancelPendingRow(); });
            event->accept();
            return;
        }
        if (model->canEdit() &&
            (event->key() == Qt::Key_Insert || (event->key() == Qt::Key_Down && onLastRow))) {
            const bool append = event->key() == Qt::Key_Down;
            guarded([&] { startNewRow(append); });
            event->accept();
            return;
        }
    }
    DBGrid::keyPressEvent(event);
}

}  // namespace quarrow
