#pragma once

#include "ResultSet.h"

#include <QMap>
#include <QObject>
#include <QStringList>
#include <memory>

namespace quarrow {

class Connection;
class Statement;

// A statement with the values bound to its "?" marks and, once opened, its
// whole result with a current row. A statement set with setSelect() reads
// whole rows of one table; its result is updatable: the current row can be
// deleted or changed, in the result and in the file at once.
class Query : public QObject {
    Q_OBJECT
public:
    Query(Connection* connection, const QString& name, QObject* parent = nullptr);

    // Emptying the statement closes the result.
    void clearSql();
    void addSql(const QString& line);
    QString sqlText() const { return sql_.join(u'\n'); }
    const QStringList& parameters() const { return parameters_; }

    // Replaces the statement with `text`, whose "?" marks take `parameters`
    // in order. Values are bound, never written into the text.
    void setSql(const QString& text, const QStringList& parameters = {});
    // Replaces the statement with "SELECT * FROM table WHERE condition" (no
    // WHERE for an empty condition), whose result can be written back.
    void setSelect(const QString& table, const QString& condition = {},
                   const QStringList& parameters = {});

    void open();
    void close();
    bool isOpen() const { return result_ != nullptr; }
    bool isEmpty() const { return rowCount() == 0; }
    int rowCount() const { return result_ ? result_->rowCount() : 0; }
    QStringList fieldNames() const { return result_ ? result_->columns() : QStringList(); }
    bool canModify() const { return isOpen() && modifiable_; }
    const QString& tableName() const { return table_; }

    int currentRow() const { return current_; }
    void setCurrentRow(int row);

    // Fields of the current row as text; an absent value reads as empty text.
    int fieldIndex(const QString& name) const;  // -1 when the result has no such field
    QString fieldByName(const QString& name) const;
    qint64 fieldByNameAsInteger(const QString& name) const;
    QString field(int position) const;
    QString value(int row, int column) const { return result_->value(row, column); }
    QString valueHead(int row, int column, qsizetype characters) const {
        return result_->valueHead(row, column, characters);
    }

    void deleteCurrent();
    // Writes the changed columns of a row to the file in one transaction and
    // then shows the row as the file holds it.
    void updateRow(int row, const QMap<int, QString>& changes);
    // Adds a row to the file and shows it at `at`; returns that index.
    int insertRow(int at, const QMap<int, QString>& values);

    // Controls bound to a field declare it, so that opening a result without
    // it fails the way reading it would.
    void requireField(const QString& field, const QString& controlName);

    // How many bytes of row values a result keeps in memory before it keeps
    // only the ids of further rows and reads them back when shown.
    void setValueBudget(std::size_t bytes) { valueBudget_ = bytes; }
    // The most rows a result reads; 0 for all of them.
    void setMaxRows(int rows) { maxRows_ = rows; }
    // Bytes of row values the open result holds (see ResultSet).
    std::size_t heldValueBytes() const { return result_ ? result_->heldValueBytes() : 0; }

signals:
    void aboutToReset();
    void resultReset();
    void currentRowChanged(int row);
    void aboutToRemoveRow(int row);
    void rowRemoved(int row);
    void aboutToInsertRow(int row);
    void rowInserted(int row);
    void rowChanged(int row);

private:
    // The condition that finds a shown row in the file by its id and every
    // value it shows, with those values to bind after the id.
    struct ShownRow {
        QString condition;
        std::vector<std::string> values;
    };
    ShownRow shownRow(int row) const;
    std::unique_ptr<Statement> prepareForShownRow(const QString& text, const ShownRow& shown,
                                                  int firstIndex, std::int64_t rowid) const;
    [[noreturn]] void fieldNotFound(const QString& name) const;
    void ensureModifiable() const;
    ResultSet::RowReader rowReader(const QString& table) const;
    std::vector<std::string> readRow(std::int64_t rowid) const;

    Connection* connection_;
    QStringList sql_;
    QStringList parameters_;
    QString table_;  // the table whose whole rows a select reads
    QString condition_;
    std::unique_ptr<ResultSet> result_;
    bool modifiable_ = false;
    int current_ = -1;
    std::size_t valueBudget_ = ResultSet::kDefaultValueBudget;
    int maxRows_ = 0;
    QList<QPair<QString, QString>> requiredFields_;
};

}  // namespace quarrow
