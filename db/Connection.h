#pragma once

#include "ConnectionString.h"

#include <QObject>
#include <QString>

struct sqlite3;

namespace quarrow {

// A connection to a catalogue file, opened from an OLE DB style connection
// string. The file name is resolved against the current folder when the
// connection opens. Opening an open connection does nothing.
class Connection : public QObject {
    Q_OBJECT
public:
    explicit Connection(QString connectionString = {}, QObject* parent = nullptr);
    ~Connection() override;

    void setConnectionString(const QString& text) { connectionString_ = text; }
    const QString& connectionString() const { return connectionString_; }
    // A share mode set on the connection itself; the string's Mode wins when
    // both are given, as the data layer has always done.
    void setMode(ShareMode mode) {
        explicitMode_ = mode;
        hasExplicitMode_ = true;
    }

    void open();
    void close();
    bool isOpen() const { return db_ != nullptr; }
    sqlite3* handle() const;
    // The absolute path of the open file.
    const QString& filePath() const { return filePath_; }

    // How many pages the open connection keeps, chosen by how the next
    // statement reads the table.
    enum class PageCache { Default, ForScans, ForRowsById };
    void setPageCache(PageCache kind);

private:
    void takeShareLock(const QByteArray& nativePath, const QString& fileName, ShareMode mode);

    QString connectionString_;
    ShareMode explicitMode_ = ShareMode::ReadWrite;
    bool hasExplicitMode_ = false;
    sqlite3* db_ = nullptr;
    int lockFd_ = -1;
    QString filePath_;
    PageCache pageCache_ = PageCache::Default;
};

}  // namespace quarrow
