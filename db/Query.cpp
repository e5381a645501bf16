#include "Query.h"

#include "Connection.h"
#include "Sqlite.h"
#include "core/Exception.h"

namespace quarrow {

Query::Query(Connection* connection, const QString& name, QObject* parent)
    : QObject(parent), connection_(connection) {
    setObjectName(name);
}

void Query::clearSql() {
    close();
    sql_.clear();
    parameters_.clear();
    table_.clear();
    condition_.clear();
}

void Query::addSql(const QString& line) { sql_.append(line); }

void Query::setSql(const QString& text, const QStringList& parameters) {
    clearSql();
    sql_.append(text);
    parameters_ = parameters;
}

void Query::setSelect(const QString& table, const QString& condition,
                      const QStringList& parameters) {
    const QString where = condition.isEmpty() ? QString() : QStringLiteral(" WHERE ") + condition;
    setSql(QStringLiteral("SELECT * FROM ") + table + where, parameters);
    table_ = table;
    condition_ = condition;
}

void Query::requireField(const QString& field, const QString& controlName) {
    requiredFields_.append({field, controlName});
}

void Query::open() {
    if (isOpen()) return;
    // Callers open the connection first, which checks the file once for
    // all the queries of a search.
    if (!connection_->isOpen()) connection_->open();
    sqlite3* db = connection_->handle();

    // A select of whole rows reads each row's id in front of its columns, so
    // that rows can be written back; a table without ids (a view, say) leaves
    // the result read-only.
    std::unique_ptr<Statement> stmt;
    bool modifiable = false;
    if (!table_.isEmpty()) {
        const QString where =
            condition_.isEmpty() ? QString() : QStringLiteral(" WHERE ") + condition_;
        try {
            stmt = std::make_unique<Statement>(
                db, QStringLiteral("SELECT rowid, * FROM ") + QuoteIdentifier(table_) + where);
            modifiable = true;
        } catch (const EOleException&) {
        }
    }
    if (!stmt) stmt = std::make_unique<Statement>(db, sqlText());
    for (int k = 0; k < parameters_.size(); ++k) stmt->bindText(k + 1, parameters_[k]);

    const int first = modifiable ? 1 : 0;
    QStringList columns;
    for (int c = first; c < stmt->columnCount(); ++c) columns.append(stmt->columnName(c));
    auto result = std::make_unique<ResultSet>(
        columns, modifiable ? rowReader(table_) : ResultSet::RowReader(), valueBudget_);
    std::vector<std::string_view> values(std::size_t(columns.size()));
    bool keepValues = true;
    int rows = 0;
    while ((maxRows_ == 0 || rows++ < maxRows_) && stmt->step()) {
        if (!keepValues) {
            result->appendRowId(stmt->int64(0));
            continue;
        }
        for (int c = 0; c < columns.size(); ++c) values[std::size_t(c)] = stmt->utf8(c + first);
        keepValues = result->appendRow(modifiable ? stmt->int64(0) : 0, values);
    }

    for (const auto& [field, control] : requiredFields_) {
        if (!columns.contains(field, Qt::CaseInsensitive)) {
            throw EDatabaseError(QStringLiteral("%1: Field '%2' not found").arg(control, field));
        }
    }

    emit aboutToReset();
    result_ = std::move(result);
    modifiable_ = modifiable;
    current_ = result_->rowCount() > 0 ? 0 : -1;
    emit resultReset();
    emit currentRowChanged(current_);
}

void Query::close() {
    if (!isOpen()) return;
    emit aboutToReset();
    result_.reset();
    modifiable_ = false;
    current_ = -1;
    emit resultReset();
    emit currentRowChanged(current_);
}

void Query::setCurrentRow(int row) {
    if (!isOpen() || row < 0 || row >= rowCount() || row == current_) return;
    current_ = row;
    emit currentRowChanged(current_);
}

int Query::fieldIndex(const QString& name) const {
    if (!isOpen()) return -1;
    const QStringList& columns = result_->columns();
    for (int c = 0; c < columns.size(); ++c) {
        if (columns[c].compare(name, Qt::CaseInsensitive) == 0) return c;
    }
    return -1;
}

void Query::fieldNotFound(const QString& name) const {
    throw EDatabaseError(QStringLiteral("%1: Field '%2' not found").arg(objectName(), name));
}

QString Query::fieldByName(const QString& name) const {
    const int index = fieldIndex(name);
    if (index < 0) fieldNotFound(name);
    return current_ >= 0 ? result_->value(current_, index) : QString();
}

qint64 Query::fieldByNameAsInteger(const QString& name) const {
    const QString text = fieldByName(name);
    if (text.isEmpty()) return 0;
    bool ok = false;
    const qint64 number = text.toLongLong(&ok);
    if (!ok) throw EDatabaseError(QStringLiteral("'%1' is not a valid integer value").arg(text));
    return number;
}

QString Query::field(int position) const {
    const int count = isOpen() ? result_->columnCount() : 0;
    if (position < 0 || position >= count) {
        throw EDatabaseError(QStringLiteral("List index out of bounds (%1)").arg(position));
    }
    return current_ >= 0 ? result_->value(current_, position) : QString();
}

void Query::ensureModifiable() const {
    if (!isOpen())
        throw EDatabaseError(QStringLiteral("%1: Cannot perform this operation on a closed dataset")
                                 .arg(objectName()));
    if (!modifiable_)
        throw EDatabaseError(
            QStringLiteral("%1: Cannot modify a read-only dataset").arg(objectName()));
}

ResultSet::RowReader Query::rowReader(const QString& table) const {
    auto read = std::make_shared<Statement>(
        connection_->handle(),
        QStringLiteral("SELECT * FROM %1 WHERE rowid = ?").arg(QuoteIdentifier(table)));
    return [read](std::int64_t rowid, const ResultSet::TakeRow& take) {
        try {
            read->reset();
            read->bindInt64(1, rowid);
            if (!read->step()) return false;
            ResultSet::RowValues values;
            values.reserve(std::size_t(read->columnCount()));
            for (int c = 0; c < read->columnCount(); ++c) values.push_back(read->utf8(c));
            take(values);
            // Not left running: that would keep other writers out of the file.
            read->reset();
            return true;
        } catch (const Exception&) {
            // Shown rows must not fail; an unreadable row reads as empty.
            read->reset();
            return false;
        } catch (...) {
            read->reset();
            throw;
        }
    };
}

std::vector<std::string> Query::readRow(std::int64_t rowid) const {
    std::vector<std::string> row;
    rowReader(table_)(rowid, [&row](const ResultSet::RowValues& values) {
        row.assign(values.begin(), values.end());
    });
    return row;
}

namespace {

[[noreturn]] void rowNotLocated() {
    throw EOleException(
        QStringLiteral("Row cannot be located for updating. Some values may have been changed "
                       "since it was last read."));
}

}  // namespace

Query::ShownRow Query::shownRow(int row) const {
    // The row is the one the user sees only while every value still reads as
    // shown: a row id alone may meanwhile name another row of a replaced or
    // changed file.
    ShownRow shown{QStringLiteral("rowid = ?"), {}};
    for (int c = 0; c < result_->columnCount(); ++c) {
        shown.condition += QStringLiteral(" AND coalesce(CAST(%1 AS TEXT), '') = ? COLLATE BINARY")
                               .arg(QuoteIdentifier(result_->columns().at(c)));
        shown.values.emplace_back(result_->utf8(row, c));
    }
    return shown;
}

std::unique_ptr<Statement> Query::prepareForShownRow(const QString& text, const ShownRow& shown,
                                                     int firstIndex, std::int64_t rowid) const {
    std::unique_ptr<Statement> statement;
    try {
        statement = std::make_unique<Statement>(connection_->handle(), text);
    } catch (const EOleException&) {
        // A column shown is no longer in the table.
        rowNotLocated();
    }
    statement->bindInt64(firstIndex, rowid);
    for (std::size_t k = 0; k < shown.values.size(); ++k) {
        statement->bindText(firstIndex + 1 + int(k), std::string_view(shown.values[k]));
    }
    return statement;
}

// Every write names its conflict handling: a clause in the file's schema
// (ON CONFLICT REPLACE, say) would otherwise turn a change into the deletion
// of another row, without the trigram index's triggers.
void Query::deleteCurrent() {
    ensureModifiable();
    if (current_ < 0)
        throw EDatabaseError(QStringLiteral("%1: Cannot perform this operation on an empty dataset")
                                 .arg(objectName()));
    Connection::WriteTransaction transaction(*connection_);
    {
        const ShownRow shown = shownRow(current_);
        const std::unique_ptr<Statement> remove = prepareForShownRow(
            QStringLiteral("DELETE FROM %1 WHERE %2").arg(QuoteIdentifier(table_), shown.condition),
            shown, 1, result_->rowid(current_));
        remove->step();
        if (sqlite3_changes(connection_->handle()) == 0) rowNotLocated();
    }
    transaction.commit();
    const int row = current_;
    emit aboutToRemoveRow(row);
    result_->removeRow(row);
    current_ = result_->rowCount() == 0 ? -1 : std::min(row, result_->rowCount() - 1);
    emit rowRemoved(row);
    emit currentRowChanged(current_);
}

void Query::updateRow(int row, const QMap<int, QString>& changes) {
    ensureModifiable();
    if (changes.isEmpty()) return;
    QStringList assignments;
    for (auto it = changes.cbegin(); it != changes.cend(); ++it) {
        assignments.append(QuoteIdentifier(result_->columns().at(it.key())) +
                           QStringLiteral(" = ?"));
    }
    Connection::WriteTransaction transaction(*connection_);
    const ShownRow shown = shownRow(row);
    std::int64_t rowid = result_->rowid(row);
    {
        // RETURNING tells where a change of an INTEGER PRIMARY KEY column
        // moved the row.
        const std::unique_ptr<Statement> update =
            prepareForShownRow(QStringLiteral("UPDATE OR ABORT %1 SET %2 WHERE %3 RETURNING rowid")
                                   .arg(QuoteIdentifier(table_),
                                        assignments.join(QStringLiteral(", ")), shown.condition),
                               shown, int(changes.size()) + 1, rowid);
        int index = 1;
        for (const QString& value : changes) update->bindText(index++, value);
        if (!update->step()) rowNotLocated();
        rowid = update->int64(0);
        // The statement runs to its end here, not when it is finalized: the
        // trigram index writes its tables while it ends, which the engine's
        // defensive mode allows only while a statement runs.
        while (update->step()) {
        }
    }
    const std::vector<std::string> stored = readRow(rowid);
    transaction.commit();
    result_->replaceRow(row, rowid, stored);
    emit rowChanged(row);
}

int Query::insertRow(int at, const QMap<int, QString>& values) {
    ensureModifiable();
    QStringList names;
    QStringList marks;
    for (auto it = values.cbegin(); it != values.cend(); ++it) {
        names.append(QuoteIdentifier(result_->columns().at(it.key())));
        marks.append(QStringLiteral("?"));
    }
    const QString text =
        names.isEmpty()
            ? QStringLiteral("INSERT OR ABORT INTO %1 DEFAULT VALUES").arg(QuoteIdentifier(table_))
            : QStringLiteral("INSERT OR ABORT INTO %1 (%2) VALUES (%3)")
                  .arg(QuoteIdentifier(table_), names.join(QStringLiteral(", ")),
                       marks.join(QStringLiteral(", ")));
    Connection::WriteTransaction transaction(*connection_);
    sqlite3* db = connection_->handle();
    {
        Statement insert(db, text);
        int index = 1;
        for (const QString& value : values) insert.bindText(index++, value);
        insert.step();
    }
    const std::int64_t rowid = sqlite3_last_insert_rowid(db);
    const std::vector<std::string> stored = readRow(rowid);
    transaction.commit();
    const int row = std::clamp(at, 0, result_->rowCount());
    emit aboutToInsertRow(row);
    result_->insertRow(row, rowid, stored);
    emit rowInserted(row);
    current_ = row;
    emit currentRowChanged(current_);
    return row;
}

}  // namespace quarrow
