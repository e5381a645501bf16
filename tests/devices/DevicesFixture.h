#pragma once

#include <QAbstractItemModel>
#include <QString>
#include <QStringList>

struct sqlite3;

namespace quarrow::test {

// Device rows are written and compared as "Код|device". A row written
// without "|" has no device value at all (null).
void WriteDevices(const QString& path, const QStringList& rows,
                  const QString& password = QStringLiteral("kavrel"));

// The rows of table `device` as the file holds them, by Код, read through a
// plain read-only connection of the engine: the share mode lets readers in.
QStringList StoredDevices(const QString& path);

// Runs statements on the file beside the program's own connection; returns
// the engine's message, empty on success.
QString ExecOnFile(const QString& path, const QString& sql);

// Another writer holding the file's exclusive lock while it lives, so that
// every write of the program is refused ("database is locked").
class WriteLock {
public:
    explicit WriteLock(const QString& path);
    ~WriteLock();
    WriteLock(const WriteLock&) = delete;
    WriteLock& operator=(const WriteLock&) = delete;
    bool isHeld() const { return held_; }

private:
    sqlite3* db_ = nullptr;
    bool held_ = false;
};

// The rows a grid shows, "ID|УСТРОЙСТВО".
QStringList ShownRows(const QAbstractItemModel* model);

}  // namespace quarrow::test
