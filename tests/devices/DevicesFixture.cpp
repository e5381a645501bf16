#include "DevicesFixture.h"

#include "CatalogueWriter.h"

#include <sqlite3.h>
#include <QFile>

namespace quarrow::test {

void WriteDevices(const QString& path, const QStringList& rows, const QString& password) {
    CatalogueTable table{{QStringLiteral("Код"), QStringLiteral("device")}, {}};
    for (const QString& row : rows) {
        const qsizetype bar = row.indexOf(u'|');
        table.rows.append(bar < 0 ? QStringList{row, QString()}
                                  : QStringList{row.left(bar), row.mid(bar + 1)});
    }
    WriteDeviceCatalogue(path, password, table);
}

namespace {

class File {
public:
    File(const QString& path, int flags) {
        if (sqlite3_open_v2(path.toUtf8().constData(), &db_, flags, nullptr) != SQLITE_OK) {
            error_ = QString::fromUtf8(sqlite3_errmsg(db_));
        }
    }
    ~File() { sqlite3_close(db_); }
    sqlite3* db() const { return db_; }
    const QString& error() const { return error_; }

private:
    sqlite3* db_ = nullptr;
    QString error_;
};

}  // namespace

QStringList StoredDevices(const QString& path) {
    const File file(path, SQLITE_OPEN_READONLY);
    if (!file.error().isEmpty()) return {QStringLiteral("cannot open: ") + file.error()};
    sqlite3_stmt* read = nullptr;
    if (sqlite3_prepare_v2(file.db(), "SELECT \"Код\", device FROM device ORDER BY 1", -1, &read,
                           nullptr) != SQLITE_OK) {
        return {QStringLiteral("cannot read: ") + QString::fromUtf8(sqlite3_errmsg(file.db()))};
    }
    QStringList rows;
    while (sqlite3_step(read) == SQLITE_ROW) {
        rows.append(QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(read, 0))) +
                    u'|' +
                    QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(read, 1))));
    }
    sqlite3_finalize(read);
    return rows;
}

QString ExecOnFile(const QString& path, const QString& sql) {
    const File file(path, SQLITE_OPEN_READWRITE);
    if (!file.error().isEmpty()) return file.error();
    char* message = nullptr;
    if (sqlite3_exec(file.db(), sql.toUtf8().constData(), nullptr, nullptr, &message) !=
        SQLITE_OK) {
        const QString error = QString::fromUtf8(message);
        sqlite3_free(message);
        return error;
    }
    return {};
}

WriteLock::WriteLock(const QString& path) {
    held_ = sqlite3_open_v2(path.toUtf8().constData(), &db_, SQLITE_OPEN_READWRITE, nullptr) ==
                SQLITE_OK &&
            sqlite3_exec(db_, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr) == SQLITE_OK;
}

WriteLock::~WriteLock() {
    sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(db_);
}

QStringList ShownRows(const QAbstractItemModel* model) {
    QStringList rows;
    for (int r = 0; r < model->rowCount(); ++r) {
        rows.append(model->index(r, 0).data().toString() + u'|' +
                    model->index(r, 1).data().toString());
    }
    return rows;
}

}  // namespace quarrow::test
