#include "DBGrid.h"

#include "DataSource.h"
#include "db/Query.h"
#include "dialogs/Dialogs.h"
#include "forms/EventBoundary.h"

#include <QFontMetrics>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>

namespace quarrow {

DBGrid::DBGrid(QWidget* parent) : QTableView(parent) {
    setTabKeyNavigation(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setWordWrap(false);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    horizontalHeader()->setStretchLastSection(false);
    // Fixed row heights keep results of a million rows cheap to lay out.
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    verticalHeader()->setFixedWidth(12);
    verticalHeader()->setHighlightSections(false);
}

void DBGrid::setDataSource(DataSource* source) {
    source_ = source;
    model_ = createModel(source);
    setModel(model_);
    connect(source->query(), &Query::currentRowChanged, this, &DBGrid::followCurrentRow);
    connect(source->query(), &Query::resultReset, this,
            [this] { followCurrentRow(source_->query()->currentRow()); });
}

DBGridModel* DBGrid::createModel(DataSource* source) { return new DBGridModel(source, this); }

namespace {

// A column declared without a width gets its field's default display width:
// ten characters of its cell font, and at least room for its title.
int defaultColumnWidth(const DBGridColumn& column, const QFont& gridFont) {
    const int cells =
        10 * QFontMetrics(column.cellFont.value_or(gridFont)).horizontalAdvance(u'0') + 4;
    const int title = QFontMetrics(column.titleFont).horizontalAdvance(column.title) + 4;
    return std::max(cells, title);
}

}  // namespace

void DBGrid::setColumns(const QVector<DBGridColumn>& columns) {
    model_->setColumns(columns);
    for (int c = 0; c < columns.size(); ++c) {
        const DBGridColumn& column = columns[c];
        setColumnWidth(c, column.width >= 0 ? column.width : defaultColumnWidth(column, font()));
    }
}

void DBGrid::followCurrentRow(int row) {
    if (row < 0 || row >= model_->rowCount()) return;
    const QModelIndex current = currentIndex();
    if (current.isValid() && current.row() == row) return;
    const int column = current.isValid() ? current.column() : 0;
    setCurrentIndex(model_->index(row, column));
}

void DBGrid::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    QTableView::currentChanged(current, previous);
    if (current.isValid() && source_ != nullptr) source_->query()->setCurrentRow(current.row());
}

void DBGrid::deleteCurrentRecord() {
    Query* query = source_->query();
    if (!query->isOpen() || query->isEmpty()) return;
    if (ShowMessageDialog(QStringLiteral("Delete record?"), MsgDlgType::Confirmation,
                          MsgDlgBtn::OK | MsgDlgBtn::Cancel) != mrCancel) {
        query->deleteCurrent();
    }
}

void DBGrid::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Delete && event->modifiers() == Qt::ControlModifier) {
        guarded([this] { deleteCurrentRecord(); });
        event->accept();
        return;
    }
    const QString text = event->text();
    if (text.size() == 1 && !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
        emit keyPress(text.front());
    }
    QTableView::keyPressEvent(event);
}

void DBGrid::keyboardSearch(const QString&) {}

void DBGrid::mouseReleaseEvent(QMouseEvent* event) {
    QTableView::mouseReleaseEvent(event);
    if (event->button() != Qt::LeftButton) return;
    const QPoint pos = event->position().toPoint();
    const bool overCell = indexAt(pos).isValid();
    const bool overEmptyFirstRow = model_ != nullptr && model_->rowCount() == 0 &&
                                   pos.y() < verticalHeader()->defaultSectionSize();
    if (overCell || overEmptyFirstRow) emit cellClick();
}

void DBGrid::mouseDoubleClickEvent(QMouseEvent* event) {
    QTableView::mouseDoubleClickEvent(event);
    emit dblClick();
}

}  // namespace quarrow
