#include "Sqlite.h"

#include "CatalogueFile.h"
#include "core/Exception.h"

namespace quarrow {

QString EngineMessage(sqlite3* db) {
    // Only the bound of work on every connection interrupts a statement.
    if (sqlite3_errcode(db) == SQLITE_INTERRUPT) {
        return QStringLiteral(
            "The statement was stopped: it took far more work than reading any catalogue needs, "
            "so the file cannot be what it seems.");
    }
    const char* file = db != nullptr ? sqlite3_db_filename(db, "main") : nullptr;
    if (file != nullptr && *file != 0) {
        const QString path = QString::fromUtf8(file);
        const int code = sqlite3_extended_errcode(db);
        if (code == SQLITE_READONLY_ROLLBACK) {
            return QStringLiteral(
                       "The catalogue '%1' cannot be read: a change to it was left unfinished, and "
                       "the engine restores it from '%2' only with write access to the catalogue "
                       "and its folder.")
                .arg(path, JournalPathOf(path));
        }
        // The file layer refuses a journal or log that is not a regular file.
        if ((code & 0xff) == SQLITE_CANTOPEN) {
            try {
                RequireOrdinaryCompanions(path);
            } catch (const EOleException& refusal) {
                return refusal.message();
            }
        }
    }
    return QString::fromUtf8(sqlite3_errmsg(db));
}

void ThrowEngineError(sqlite3* db) { throw EOleException(EngineMessage(db)); }

void Exec(sqlite3* db, const char* sql) {
    if (sqlite3_exec(db, sql, nullptr, nullptr, nullptr) != SQLITE_OK) ThrowEngineError(db);
}

QString QuoteIdentifier(const QString& name) {
    QString quoted = name;
    quoted.replace(u'"', QStringLiteral("\"\""));
    return u'"' + quoted + u'"';
}

Statement::Statement(sqlite3* db, const QString& sql) : db_(db) {
    const QByteArray utf8 = sql.toUtf8();
    prepare(std::string_view(utf8.constData(), std::size_t(utf8.size())));
}

Statement::Statement(sqlite3* db, std::string_view sql) : db_(db) { prepare(sql); }

void Statement::prepare(std::string_view sql) {
    if (sqlite3_prepare_v2(db_, sql.data(), static_cast<int>(sql.size()), &stmt_, nullptr) !=
        SQLITE_OK) {
        ThrowEngineError(db_);
    }
    if (stmt_ == nullptr) {
        throw EOleException(QStringLiteral("Command text was not set for the command object."));
    }
}

Statement::~Statement() { sqlite3_finalize(stmt_); }

void Statement::bindText(int index, const QString& value) {
    const QByteArray bytes = value.toUtf8();
    bindText(index, std::string_view(bytes.constData(), std::size_t(bytes.size())));
}

void Statement::bindText(int index, std::string_view utf8) {
    if (sqlite3_bind_text64(stmt_, index, utf8.data(), utf8.size(), SQLITE_TRANSIENT,
                            SQLITE_UTF8) != SQLITE_OK) {
        ThrowEngineError(db_);
    }
}

void Statement::bindBlob(int index, const QByteArray& value) {
    if (sqlite3_bind_blob64(stmt_, index, value.constData(), sqlite3_uint64(value.size()),
                            SQLITE_TRANSIENT) != SQLITE_OK) {
        ThrowEngineError(db_);
    }
}

void Statement::bindInt64(int index, sqlite3_int64 value) {
    if (sqlite3_bind_int64(stmt_, index, value) != SQLITE_OK) ThrowEngineError(db_);
}

void Statement::bindNull(int index) {
    if (sqlite3_bind_null(stmt_, index) != SQLITE_OK) ThrowEngineError(db_);
}

bool Statement::step() {
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    // The message must be read before reset clears it.
    const QString message = EngineMessage(db_);
    sqlite3_reset(stmt_);
    throw EOleException(message);
}

void Statement::reset() { sqlite3_reset(stmt_); }

int Statement::columnCount() const { return sqlite3_column_count(stmt_); }

QString Statement::columnName(int column) const {
    return QString::fromUtf8(sqlite3_column_name(stmt_, column));
}

std::string_view Statement::utf8(int column) const {
    const auto* bytes = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
    const int size = sqlite3_column_bytes(stmt_, column);
    return bytes != nullptr ? std::string_view(bytes, static_cast<std::size_t>(size))
                            : std::string_view();
}

QString Statement::text(int column) const {
    const std::string_view bytes = utf8(column);
    return QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
}

QByteArray Statement::blob(int column) const {
    const auto* bytes = static_cast<const char*>(sqlite3_column_blob(stmt_, column));
    return QByteArray(bytes, sqlite3_column_bytes(stmt_, column));
}

sqlite3_int64 Statement::int64(int column) const { return sqlite3_column_int64(stmt_, column); }

Transaction::Transaction(sqlite3* db) : db_(db) { Exec(db, "BEGIN IMMEDIATE"); }

Transaction::~Transaction() {
    if (!done_) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
}

void Transaction::commit() {
    Exec(db_, "COMMIT");
    done_ = true;
}

}  // namespace quarrow
