#include "Query.h"

#include "Connection.h"
#include "Sqlite.h"
#include "StatementText.h"
#include "TrigramIndex.h"
#include "core/Exception.h"

#include <QRegularExpression>

namespace quarrow {

namespace {

// "SELECT * FROM name ..." reads one table whole; its name in group 1.
const QRegularExpression& wholeTableSelect() {
    static const QRegularExpression pattern =
        StatementPattern(QStringLiteral(R"(^\s*select\s+\*\s+from\s+%1(?=\s|;|$))"));
    return pattern;
}

}  // namespace

Query::Query(Connection* connection, const QString& name, QObject* parent)
    : QObject(parent), connection_(connection) {
    setObjectName(name);
}

void Query::clearSql() {
    close();
    sql_.clear();
}

void Query::addSql(const QString& line) { sql_.append(line); }

void Query::requireField(const QString& field, const QString& controlName) {
    requiredFields_.append({field, controlName});
}

void Query::open() {
    if (isOpen()) return;
    connection_->open();
    sqlite3* db = connection_->handle();

    QStringList literals;
    QString lifted = LiftStringLiterals(sqlText(), &literals);
    lifted = AvoidTrigramFault(lifted, literals);
    const QString indexed = UseTrigramIndex(db, lifted, literals);
    connection_->setPageCache(indexed != lifted ? Connection::PageCache::ForRowsById
                                                : Connection::PageCache::ForScans);
    lifted = indexed;
    QString table;
    QString statement = lifted;
    const QRegularExpressionMatch whole = wholeTableSelect().match(lifted);
    if (whole.hasMatch()) {
        table = UnquoteIdentifier(whole.captured(1));
        // The rowid travels in front of the columns so that rows can be
        // written back; a table without one leaves the result read-only.
        const qsizetype star = lifted.indexOf(u'*', whole.capturedStart(0));
        statement = lifted.left(star) + QStringLiteral("rowid, ") + lifted.mid(star);
    }

    const QByteArray utf8 = statement.toUtf8();
    std::unique_ptr<Statement> stmt;
    try {
        stmt = std::make_unique<Statement>(
            db, std::string_view(utf8.constData(), std::size_t(utf8.size())));
    } catch (const EOleException&) {
        if (table.isEmpty()) throw;
        table.clear();
        const QByteArray plain = lifted.toUtf8();
        stmt = std::make_unique<Statement>(
            db, std::string_view(plain.constData(), std::size_t(plain.size())));
    }
    for (int k = 0; k < literals.size(); ++k) stmt->bindText(k + 1, literals[k]);

    const int first = table.isEmpty() ? 0 : 1;
    QStringList columns;
    for (int c = first; c < stmt->columnCount(); ++c) columns.append(stmt->columnName(c));
    auto result = std::make_unique<ResultSet>(
        columns, table.isEmpty() ? ResultSet::RowReader() : rowReader(table), valueBudget_);
    std::vector<std::string_view> values(std::size_t(columns.size()));
    bool keepValues = true;
    while (stmt->step()) {
        if (!keepValues) {
            result->appendRowId(stmt->int64(0));
            continue;
        }
        for (int c = 0; c < columns.size(); ++c) values[std::size_t(c)] = stmt->utf8(c + first);
        keepValues = result->appendRow(first == 1 ? stmt->int64(0) : 0, values);
    }

    for (const auto& [field, control] : requiredFields_) {
        if (!columns.contains(field, Qt::CaseInsensitive)) {
            throw EDatabaseError(QStringLiteral("%1: Field '%2' not found").arg(control, field));
        }
    }

    emit aboutToReset();
    result_ = std::move(result);
    table_ = table;
    current_ = result_->rowCount() > 0 ? 0 : -1;
    emit resultReset();
    emit currentRowChanged(current_);
}

void Query::close() {
    if (!isOpen()) return;
    emit aboutToReset();
    result_.reset();
    table_.clear();
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
    if (table_.isEmpty())
        throw EDatabaseError(
            QStringLiteral("%1: Cannot modify a read-only dataset").arg(objectName()));
}

ResultSet::RowReader Query::rowReader(const QString& table) const {
    const QByteArray sql =
        QStringLiteral("SELECT * FROM %1 WHERE rowid = ?").arg(QuoteIdentifier(table)).toUtf8();
    auto read = std::make_shared<Statement>(
        connection_->handle(), std::string_view(sql.constData(), std::size_t(sql.size())));
    return [read](std::int64_t rowid, std::vector<std::string>& values) {
        values.clear();
        try {
            read->reset();
            read->bindInt64(1, rowid);
            if (!read->step()) return false;
            for (int c = 0; c < read->columnCount(); ++c) values.emplace_back(read->utf8(c));
            read->reset();
            return true;
        } catch (const Exception&) {
            // Shown rows must not fail; an unreadable row reads as empty.
            return false;
        }
    };
}

std::vector<std::string> Query::readRow(std::int64_t rowid) const {
    std::vector<std::string> row;
    rowReader(table_)(rowid, row);
    return row;
}

void Query::deleteCurrent() {
    ensureModifiable();
    if (current_ < 0)
        throw EDatabaseError(QStringLiteral("%1: Cannot perform this operation on an empty dataset")
                                 .arg(objectName()));
    const QByteArray sql =
        QStringLiteral("DELETE FROM %1 WHERE rowid = ?").arg(QuoteIdentifier(table_)).toUtf8();
    sqlite3* db = connection_->handle();
    Statement remove(db, std::string_view(sql.constData(), std::size_t(sql.size())));
    remove.bindInt64(1, result_->rowid(current_));
    remove.step();
    if (sqlite3_changes(db) == 0) {
        throw EOleException(
            QStringLiteral("Row cannot be located for updating. Some values may have been changed "
                           "since it was last read."));
    }
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
    const QString text = QStringLiteral("UPDATE %1 SET %2 WHERE rowid = ?")
                             .arg(QuoteIdentifier(table_), assignments.join(QStringLiteral(", ")));
    const QByteArray sql = text.toUtf8();
    const QByteArray returningSql = (text + QStringLiteral(" RETURNING rowid")).toUtf8();
    sqlite3* db = connection_->handle();
    std::int64_t rowid = result_->rowid(row);
    Transaction transaction(db);
    {
        // RETURNING tells where a change of an INTEGER PRIMARY KEY column
        // moved the row. Virtual tables have no such column and refuse it.
        std::unique_ptr<Statement> update;
        bool returning = true;
        try {
            update = std::make_unique<Statement>(
                db, std::string_view(returningSql.constData(), std::size_t(returningSql.size())));
        } catch (const EOleException&) {
            returning = false;
            update = std::make_unique<Statement>(
                db, std::string_view(sql.constData(), std::size_t(sql.size())));
        }
        int index = 1;
        for (const QString& value : changes) update->bindText(index++, value);
        update->bindInt64(index, rowid);
        const bool returned = update->step();
        if (returning ? !returned : sqlite3_changes(db) == 0) {
            throw EOleException(
                QStringLiteral("Row cannot be located for updating. Some values may have been "
                               "changed since it was last read."));
        }
        if (returning) rowid = update->int64(0);
    }
    const std::vector<std::string> stored = readRow(rowid);
    transaction.commit();
    result_->replaceRow(row, rowid, stored);
    emit rowChanged(row);
}

int Query::insertRow(int at, const QMap<int, QString>& values) {
    ensureModifiable();
    sqlite3* db = connection_->handle();
    QStringList names;
    QStringList marks;
    for (auto it = values.cbegin(); it != values.cend(); ++it) {
        names.append(QuoteIdentifier(result_->columns().at(it.key())));
        marks.append(QStringLiteral("?"));
    }
    const QString text =
        names.isEmpty()
            ? QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(QuoteIdentifier(table_))
            : QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                  .arg(QuoteIdentifier(table_), names.join(QStringLiteral(", ")),
                       marks.join(QStringLiteral(", ")));
    const QByteArray sql = text.toUtf8();
    Transaction transaction(db);
    {
        Statement insert(db, std::string_view(sql.constData(), std::size_t(sql.size())));
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
