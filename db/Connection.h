#pragma once

#include "CatalogueFile.h"
#include "ConnectionString.h"
#include "FileShareLock.h"
#include "Like.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <functional>

struct sqlite3;

namespace quarrow {

// A connection to a catalogue file, opened from an OLE DB style connection
// string. The file name is resolved against the current folder when the
// connection opens. Opening an open connection does nothing, unless the file
// has been replaced or changed by someone else since: then the connection
// opens it afresh, so that it never works from pages of another file.
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

    // Opens the file afresh when it is not the one opened, or has been
    // changed by someone else since (see FileIdentity). Writes call this
    // first, and noteOwnWrite() once they are committed.
    void reopenIfReplaced();
    void noteOwnWrite();

    // Every statement runs under a bound of work far above what the largest
    // catalogue needs; past it the statement is stopped with an error
    // instead of freezing the window. In steps of the engine's program, and
    // bytes that like() compares, each counting as one step.
    void setWorkLimit(quint64 steps) { workLimit_ = steps; }
    static constexpr quint64 kDefaultWorkLimit = 20'000'000'000;
    // Called once while a statement has been running for `afterMs`, so that
    // the window can show that it is busy.
    void setSlowWorkHandler(std::function<void()> handler, int afterMs = 100) {
        slowWorkHandler_ = std::move(handler);
        slowAfterMs_ = afterMs;
    }

    // The absolute path of the open file.
    const QString& filePath() const { return filePath_; }

    // How many pages the open connection keeps, chosen by how the next
    // statement reads the table.
    enum class PageCache { Default, ForScans, ForRowsById };
    void setPageCache(PageCache kind);
    // Whether setPageCache() changes anything; otherwise the engine's
    // default cache stays.
    void setPageCacheByStatement(bool on) { pageCacheByStatement_ = on; }

    // How the file is read: ahead in large pieces by a file layer of our
    // own, through the engine's memory mapping of the whole file, or page by
    // page. Takes effect at the next opening.
    enum class FileAccess { ReadAhead, MemoryMapped, PageByPage };
    void setFileAccess(FileAccess access) { fileAccess_ = access; }

signals:
    // Something the user should know about the file that is not an error,
    // such as a stale journal set aside.
    void noticed(const QString& message);

private:
    void openFile();
    void takeShareLock(const QByteArray& enginePath, const QString& fileName, ShareMode mode);
    void watchWork(sqlite3* db);
    static void statementStarted(Connection* self);
    static int workDone(void* self);
    // False once the statement has passed the bound.
    bool countWork(quint64 units);

    QString connectionString_;
    ShareMode explicitMode_ = ShareMode::ReadWrite;
    bool hasExplicitMode_ = false;
    sqlite3* db_ = nullptr;
    FileShareLock shareLock_;
    QString filePath_;
    FileIdentity identity_;
    PageCache pageCache_ = PageCache::Default;
    FileAccess fileAccess_ = FileAccess::ReadAhead;
    bool pageCacheByStatement_ = true;

    quint64 workLimit_ = kDefaultWorkLimit;
    quint64 workSteps_ = 0;
    std::function<void()> slowWorkHandler_;
    int slowAfterMs_ = 100;
    bool slowWorkShown_ = false;
    QElapsedTimer statementClock_;
    LikeWork likeWork_;
};

}  // namespace quarrow
