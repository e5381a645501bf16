#include "DatabasePassword.h"

#include "Sqlite.h"
#include "core/Exception.h"

#include <QCryptographicHash>
#include <QRandomGenerator>

namespace quarrow {

namespace {

const char* const kCreateTable =
    "CREATE TABLE IF NOT EXISTS quarrow_password(salt BLOB NOT NULL, hash BLOB NOT NULL)";

QByteArray hashOf(const QByteArray& salt, const QString& password) {
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(salt);
    hash.addData(password.toUtf8());
    return hash.result();
}

bool hasPasswordTable(sqlite3* db) {
    Statement probe(db,
                    "SELECT 1 FROM sqlite_schema WHERE type='table' AND name='quarrow_password'");
    return probe.step();
}

}  // namespace

void RecordDatabasePassword(sqlite3* db, const QString& password) {
    Exec(db, kCreateTable);
    Exec(db, "DELETE FROM quarrow_password");
    QByteArray salt(16, Qt::Uninitialized);
    QRandomGenerator::system()->fillRange(reinterpret_cast<quint32*>(salt.data()),
                                          salt.size() / int(sizeof(quint32)));
    Statement insert(db, "INSERT INTO quarrow_password(salt, hash) VALUES(?, ?)");
    insert.bindBlob(1, salt);
    insert.bindBlob(2, hashOf(salt, password));
    insert.step();
}

bool DatabasePasswordMatches(sqlite3* db, const QString& password) {
    if (!hasPasswordTable(db)) return true;
    Statement read(db, "SELECT salt, hash FROM quarrow_password");
    while (read.step()) {
        if (hashOf(read.blob(0), password) == read.blob(1)) return true;
    }
    return false;
}

}  // namespace quarrow
