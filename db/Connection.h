#pragma once

#include "CatalogueFile.h"
#include "CatalogueSchema.h"
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

    // Opens the connection; on an open one, checks the file as
    // reopenIfReplaced() does.
    void open();
    void close();
    bool isOpen() const { return db_ != nullptr; }
    sqlite3* handle() const;

    // Checks what lies at the file's path before the connection reads from
    // it again: refuses a journal or log beside it that is not a regular
    // file, deals with a journal left there (see openFile), and opens the
    // file afresh when it is not the one opened or has been changed by
    // someone else since (see FileIdentity).
    void reopenIfReplaced();

    // A transaction of the program's own writes, committed by commit() and
    // rolled back otherwise. It starts from the file as it is on disk now:
    // the file is checked as reopenIfReplaced() does, the pages the
    // connection keeps are dropped (a file copied in with the same size,
    // time and change counter would otherwise get pages of the old one
    // written into it), and the schema is opened afresh when it changed. Its
    // first change rewrites the header page unchanged, so that the journal
    // of an interrupted write always begins with page 1 and the change
    // counter it held: a journal left beside a file moved in later is told
    // from the file's own by it.
    class WriteTransaction {
    public:
        explicit WriteTransaction(Connection& connection);
        ~WriteTransaction();
        WriteTransaction(const WriteTransaction&) = delete;
        WriteTransaction& operator=(const WriteTransaction&) = delete;
        void commit();

    private:
        Connection& connection_;
        bool done_ = false;
    };

    // The column that the trigram index beside `table` covers, for
    // narrowing a search; empty when the table has none whose schema is
    // complete (learnt when the file was opened), or when the index does not
    // list as many rows as the table holds. That is checked at the first
    // search of the table after opening, which emits noticed() with how to
    // rebuild the index.
    QString trigramIndexedColumn(const QString& table);

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
    // such as a stale journal set aside or an incomplete search index.
    void noticed(const QString& message);

private:
    void openFile();
    void checkBesideFile();
    void beginWrite();
    void noteOwnWrite();
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
    QString enginePath_;
    bool readOnly_ = false;
    FileIdentity identity_;
    qint64 schemaVersion_ = 0;
    QString password_;
    struct TrigramIndex {
        QString column;  // empty once found incomplete
        bool checked = false;
    };
    QHash<QString, TrigramIndex> trigramIndexes_;
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
