#pragma once

#include <sqlite3.h>
#include <QByteArray>
#include <QString>
#include <string_view>

namespace quarrow {

// The engine's message for the last failure on a connection.
QString EngineMessage(sqlite3* db);
[[noreturn]] void ThrowEngineError(sqlite3* db);

// Runs statements that return no rows; throws EOleException on failure.
void Exec(sqlite3* db, const char* sql);

// An identifier in double quotes, inner quotes doubled.
QString QuoteIdentifier(const QString& name);

// A prepared statement that finalizes itself; failures throw EOleException
// with the engine's message.
class Statement {
public:
    Statement(sqlite3* db, std::string_view sql);
    Statement(sqlite3* db, const char* sql) : Statement(db, std::string_view(sql)) {}
    Statement(sqlite3* db, const QString& sql);
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    void bindText(int index, const QString& value);
    void bindText(int index, std::string_view utf8);
    void bindBlob(int index, const QByteArray& value);
    void bindInt64(int index, sqlite3_int64 value);
    void bindNull(int index);
    // Returns true while a row is available.
    bool step();
    void reset();

    int columnCount() const;
    QString columnName(int column) const;
    QString text(int column) const;
    std::string_view utf8(int column) const;
    QByteArray blob(int column) const;
    sqlite3_int64 int64(int column) const;
    sqlite3_stmt* handle() const { return stmt_; }

private:
    void prepare(std::string_view sql);

    sqlite3* db_;
    sqlite3_stmt* stmt_ = nullptr;
};

// Commits when `commit()` is called, rolls back otherwise.
class Transaction {
public:
    explicit Transaction(sqlite3* db);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    void commit();

private:
    sqlite3* db_;
    bool done_ = false;
};

}  // namespace quarrow
