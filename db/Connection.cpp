#include "Connection.h"

#include "DatabasePassword.h"
#include "Like.h"
#include "ReadAheadVfs.h"
#include "Sqlite.h"
#include "core/Exception.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#include <QDir>
#include <QFileInfo>

namespace quarrow {

namespace {

// How long a statement waits for another process's write to finish before
// reporting the file as locked.
constexpr int kBusyTimeoutMs = 250;

}  // namespace

Connection::Connection(QString connectionString, QObject* parent)
    : QObject(parent), connectionString_(std::move(connectionString)) {}

Connection::~Connection() { close(); }

sqlite3* Connection::handle() const {
    if (db_ == nullptr) throw EOleException(QStringLiteral("The connection is closed."));
    return db_;
}

bool Connection::isReadOnly() const {
    return db_ != nullptr && sqlite3_db_readonly(db_, "main") == 1;
}

void Connection::open() {
    if (isOpen()) return;
    const ConnectionSettings settings = ParseConnectionString(connectionString_);
    if (settings.provider.compare(EngineProviderName(), Qt::CaseInsensitive) != 0) {
        throw EOleException(
            QStringLiteral("Provider cannot be found. It may not be properly installed."));
    }
    if (settings.dataSource.isEmpty()) {
        throw EOleException(QStringLiteral("The connection string names no data source."));
    }
    const QFileInfo file(QDir::current(), settings.dataSource);
    const QString path = QDir::cleanPath(file.absoluteFilePath());
    if (!file.exists()) {
        throw EOleException(QStringLiteral("Could not find file '%1'.").arg(path));
    }
    if (file.isDir()) {
        throw EOleException(QStringLiteral("'%1' is a folder, not a database file.").arg(path));
    }

    ShareMode mode = settings.mode;
    if (!settings.values.contains(QStringLiteral("mode")) && hasExplicitMode_) mode = explicitMode_;
    const bool readOnly = mode == ShareMode::ReadOnly;

    const QByteArray nativePath = QFile::encodeName(path);
    takeShareLock(nativePath, file.fileName(), mode);
    sqlite3* db = nullptr;
    const int flags = (readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE) |
                      SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_PRIVATECACHE;
    const int rc = sqlite3_open_v2(nativePath.constData(), &db, flags, ReadAheadVfsName());
    try {
        if (rc != SQLITE_OK) {
            ThrowEngineError(db);
        }
        sqlite3_busy_timeout(db, kBusyTimeoutMs);
        sqlite3_extended_result_codes(db, 1);
        // Reading the schema proves the file is a database we can read.
        Exec(db, "SELECT count(*) FROM sqlite_schema");
        if (!DatabasePasswordMatches(db, settings.password)) {
            throw EOleException(QStringLiteral("Not a valid password."));
        }
        RegisterLike(db);
    } catch (...) {
        sqlite3_close_v2(db);
        if (lockFd_ >= 0) {
            ::close(lockFd_);
            lockFd_ = -1;
        }
        throw;
    }
    db_ = db;
    filePath_ = path;
    pageCache_ = PageCache::Default;
    setPageCache(PageCache::ForScans);
}

void Connection::setPageCache(PageCache kind) {
    if (db_ == nullptr || kind == pageCache_) return;
    // A statement narrowed by the trigram index reads its rows by id from
    // all over the file, and the count statement after it reads the same
    // pages again: 16 MB keeps those of a search finding thousands of rows.
    // A scan reads every page in file order, which read-ahead makes cheap;
    // filling a large cache with pages that are not read again would only
    // cost memory and page faults.
    Exec(db_, kind == PageCache::ForRowsById ? "PRAGMA cache_size = -16384"
                                             : "PRAGMA cache_size = -2048");
    pageCache_ = kind;
}

void Connection::takeShareLock(const QByteArray& nativePath, const QString& fileName,
                               ShareMode mode) {
    // Share modes between processes: a deny-write or exclusive connection
    // holds an exclusive lock for as long as it is open, every other
    // connection a shared one. The engine's own locks are separate, so tools
    // that only read the file are never blocked by these. A read-only
    // connection is such a reader: it can change nothing that a deny-write
    // connection protects, and it denies nothing to anyone.
    if (mode == ShareMode::ReadOnly) return;
    const int fd = ::open(nativePath.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return;  // the engine reports an unreadable file itself
    const bool exclusive =
        mode == ShareMode::DenyWrite || mode == ShareMode::Exclusive || mode == ShareMode::DenyRead;
    if (::flock(fd, (exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB) != 0) {
        ::close(fd);
        throw EOleException(
            QStringLiteral(
                "The file '%1' is already in use by another program that denies it to others. "
                "Try again when that program has closed it.")
                .arg(fileName));
    }
    lockFd_ = fd;
}

void Connection::close() {
    if (db_ != nullptr) {
        sqlite3_close_v2(db_);
        db_ = nullptr;
    }
    if (lockFd_ >= 0) {
        ::close(lockFd_);
        lockFd_ = -1;
    }
    filePath_.clear();
}

}  // namespace quarrow
