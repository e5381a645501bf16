#include "Connection.h"

#include "CatalogueSchema.h"
#include "DatabasePassword.h"
#include "EngineLimits.h"
#include "Like.h"
#include "ReadAheadVfs.h"
#include "Sqlite.h"
#include "TrigramIndex.h"
#include "core/Exception.h"

#include <QDir>
#include <QFileInfo>

namespace quarrow {

namespace {

// How long a statement waits for another process's write to finish before
// reporting the file as locked.
constexpr int kBusyTimeoutMs = 250;

// How many steps of the engine's program pass between two looks at the work
// a statement has done.
constexpr int kStepsPerLook = 10000;

// The engine's limits, lowered to what a catalogue and the program's own
// statements need, so that a file from outside cannot make the engine build
// huge values, statements or expressions.
void limitEngine(sqlite3* db) {
    const std::pair<int, int> limits[] = {
        {SQLITE_LIMIT_LENGTH, kMaxValueBytes}, {SQLITE_LIMIT_SQL_LENGTH, kMaxStatementBytes},
        {SQLITE_LIMIT_COLUMN, kMaxColumns},    {SQLITE_LIMIT_EXPR_DEPTH, 100},
        {SQLITE_LIMIT_COMPOUND_SELECT, 10},    {SQLITE_LIMIT_VDBE_OP, 100'000},
        {SQLITE_LIMIT_FUNCTION_ARG, 8},        {SQLITE_LIMIT_ATTACHED, 0},
        {SQLITE_LIMIT_VARIABLE_NUMBER, 1000},  {SQLITE_LIMIT_TRIGGER_DEPTH, 2},
        {SQLITE_LIMIT_WORKER_THREADS, 0},
    };
    for (const auto& [limit, value] : limits) sqlite3_limit(db, limit, value);
    // Defensive mode keeps statements from corrupting the file on purpose
    // (writable schema, raw page access). The schema stays trusted: the
    // trigram index's triggers write into the index, a virtual table that
    // does not declare itself innocuous, and with trusted_schema off SQLite
    // 3.40 refuses every delete, change and insert with "unsafe use of
    // virtual table". CheckCatalogueSchema admits no trigger but those.
    sqlite3_db_config(db, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
}

// Asks the engine to map the whole file into memory, with room for it to
// grow; the engine keeps to its own limit (SQLITE_MAX_MMAP_SIZE, none where
// it cannot map files) and reads what lies beyond as before.
void mapWholeFile(sqlite3* db, qint64 fileBytes) {
    constexpr qint64 kRoomToGrow = qint64(64) << 20;
    const QByteArray sql = "PRAGMA mmap_size = " + QByteArray::number(fileBytes + kRoomToGrow);
    Statement pragma(db, sql.constData());
    pragma.step();
}

// A connection that only reads cannot roll a journal back. A short
// connection that may write lets the engine do it first, as any program
// opening the file for writing would; where it cannot write, the reading
// meets the engine's refusal, which names the journal (EngineMessage). A
// journal of another file is not the engine's to roll back, and a reading
// connection moves nothing aside.
void readyForReading(const QString& enginePath) {
    switch (HotJournalBeside(enginePath)) {
        case HotJournal::None:
            return;
        case HotJournal::OfAnotherFile:
            throw EOleException(
                QStringLiteral(
                    "The catalogue '%1' cannot be read: the journal '%2' beside it was left "
                    "by another file. A connection that may write sets it aside (the "
                    "program's searches do); one that only reads leaves it where it is.")
                    .arg(enginePath, JournalPathOf(enginePath)));
        case HotJournal::OfThisFile: {
            sqlite3* db = nullptr;
            if (sqlite3_open_v2(enginePath.toUtf8().constData(), &db,
                                SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX,
                                GuardedVfsName()) == SQLITE_OK) {
                sqlite3_busy_timeout(db, kBusyTimeoutMs);
                sqlite3_exec(db, "SELECT count(*) FROM sqlite_schema", nullptr, nullptr, nullptr);
            }
            sqlite3_close_v2(db);
            return;
        }
    }
}

qint64 schemaVersionOf(sqlite3* db) {
    Statement version(db, "PRAGMA schema_version");
    return version.step() ? version.int64(0) : 0;
}

// Writes page 1 without changing it: see WriteTransaction.
void rewriteHeaderPage(sqlite3* db) {
    Statement read(db, "PRAGMA user_version");
    const qint64 version = read.step() ? read.int64(0) : 0;
    const QByteArray sql = "PRAGMA user_version = " + QByteArray::number(version);
    Exec(db, sql.constData());
}

}  // namespace

Connection::Connection(QString connectionString, QObject* parent)
    : QObject(parent), connectionString_(std::move(connectionString)) {}

Connection::~Connection() { close(); }

sqlite3* Connection::handle() const {
    if (db_ == nullptr) throw EOleException(QStringLiteral("The connection is closed."));
    return db_;
}

void Connection::open() {
    if (isOpen()) {
        reopenIfReplaced();
        return;
    }
    openFile();
}

void Connection::reopenIfReplaced() {
    if (!isOpen()) return;
    if (IdentityOf(filePath_) != identity_) {
        close();
        openFile();
        return;
    }
    checkBesideFile();
}

void Connection::checkBesideFile() {
    RequireOrdinaryCompanions(enginePath_);
    if (readOnly_) {
        readyForReading(enginePath_);
        return;
    }
    const QString notice = SetAsideStaleJournal(enginePath_);
    if (!notice.isEmpty()) emit noticed(notice);
}

void Connection::noteOwnWrite() {
    if (isOpen()) identity_ = IdentityOf(filePath_);
}

void Connection::beginWrite() {
    handle();
    reopenIfReplaced();
    // With no transaction open every cached page is unused, and the engine
    // gives them all up.
    sqlite3_db_release_memory(db_);
    Exec(db_, "BEGIN IMMEDIATE");
    try {
        // The schema was checked when the file was opened; one changed since
        // is checked again before anything is written under it.
        if (schemaVersionOf(db_) != schemaVersion_) {
            sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
            close();
            openFile();
            Exec(db_, "BEGIN IMMEDIATE");
        }
        rewriteHeaderPage(db_);
    } catch (...) {
        if (db_ != nullptr) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
}

Connection::WriteTransaction::WriteTransaction(Connection& connection) : connection_(connection) {
    connection_.beginWrite();
}

Connection::WriteTransaction::~WriteTransaction() {
    if (!done_ && connection_.isOpen()) {
        sqlite3_exec(connection_.db_, "ROLLBACK", nullptr, nullptr, nullptr);
    }
}

void Connection::WriteTransaction::commit() {
    Exec(connection_.handle(), "COMMIT");
    done_ = true;
    connection_.noteOwnWrite();
}

void Connection::openFile() {
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
    RequireRegularFile(path);

    ShareMode mode = settings.mode;
    if (!settings.values.contains(QStringLiteral("mode")) && hasExplicitMode_) mode = explicitMode_;
    const bool readOnly = mode == ShareMode::ReadOnly;

    // The engine takes file names in UTF-8 on every system.
    const QByteArray utf8Path = path.toUtf8();
    const QString enginePath = EnginePathOf(path);
    takeShareLock(utf8Path, file.fileName(), mode);
    sqlite3* db = nullptr;
    QString notice;
    qint64 schemaVersion = 0;
    TrigramIndexes indexes;
    try {
        RequireOrdinaryCompanions(enginePath);
        if (readOnly) {
            readyForReading(enginePath);
        } else {
            notice = SetAsideStaleJournal(enginePath);
        }
        const int flags = (readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE) |
                          SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_PRIVATECACHE;
        if (sqlite3_open_v2(utf8Path.constData(), &db, flags,
                            fileAccess_ == FileAccess::ReadAhead ? ReadAheadVfsName()
                                                                 : GuardedVfsName()) != SQLITE_OK) {
            ThrowEngineError(db);
        }
        sqlite3_busy_timeout(db, kBusyTimeoutMs);
        sqlite3_extended_result_codes(db, 1);
        limitEngine(db);
        watchWork(db);
        // Reading the schema proves the file is a database we can read.
        Exec(db, "SELECT count(*) FROM sqlite_schema");
        indexes = CheckCatalogueSchema(db, path);
        if (!DatabasePasswordMatches(db, settings.password)) {
            throw EOleException(QStringLiteral("Not a valid password."));
        }
        RegisterLike(db, &likeWork_);
        if (fileAccess_ == FileAccess::MemoryMapped) mapWholeFile(db, file.size());
        schemaVersion = schemaVersionOf(db);
    } catch (...) {
        sqlite3_close_v2(db);
        shareLock_.release();
        throw;
    }
    db_ = db;
    filePath_ = path;
    enginePath_ = enginePath;
    readOnly_ = readOnly;
    identity_ = IdentityOf(path);
    schemaVersion_ = schemaVersion;
    password_ = settings.password;
    trigramIndexes_.clear();
    for (auto it = indexes.cbegin(); it != indexes.cend(); ++it) {
        trigramIndexes_.insert(it.key(), {it.value(), false});
    }
    pageCache_ = PageCache::Default;
    setPageCache(PageCache::ForScans);
    if (!notice.isEmpty()) emit noticed(notice);
}

QString Connection::trigramIndexedColumn(const QString& table) {
    const auto index = trigramIndexes_.find(table.toLower());
    if (index == trigramIndexes_.end()) return {};
    if (!index->checked) {
        // An index that lists other rows than the table holds, emptied or
        // left behind by a tool that wrote around its triggers, would make
        // searches miss rows. Its own count of rows against the table's
        // tells such an index cheaply; searches then read the table.
        Statement count(db_, QStringLiteral("SELECT count(*) FROM ") + QuoteIdentifier(table));
        const qint64 rows = count.step() ? count.int64(0) : -1;
        const qint64 listed = TrigramIndexRows(db_, table);
        index->checked = true;
        if (listed != rows) {
            index->column.clear();
            emit noticed(
                QStringLiteral("The search index of the catalogue '%1' is incomplete (%2 lists %3 "
                               "rows, the table holds %4), so searches read every row instead. "
                               "To rebuild it: quarrow-catalogue reindex --password %5 \"%1\"")
                    .arg(filePath_, TrigramIndexName(table))
                    .arg(listed)
                    .arg(rows)
                    .arg(password_.isEmpty() ? QStringLiteral("P") : password_));
        }
    }
    return index->column;
}

void Connection::watchWork(sqlite3* db) {
    sqlite3_trace_v2(
        db, SQLITE_TRACE_STMT,
        [](unsigned, void* self, void*, void*) {
            statementStarted(static_cast<Connection*>(self));
            return 0;
        },
        this);
    sqlite3_progress_handler(db, kStepsPerLook, &Connection::workDone, this);
    // One call of like() over a long value is one step of the program but
    // may compare billions of bytes; it reports them as it goes.
    likeWork_.look = [this](std::uint64_t bytes) { return countWork(bytes); };
}

void Connection::statementStarted(Connection* self) {
    self->workSteps_ = 0;
    self->likeWork_.sinceLook = 0;
    self->slowWorkShown_ = false;
    self->statementClock_.start();
}

int Connection::workDone(void* context) {
    return static_cast<Connection*>(context)->countWork(kStepsPerLook) ? 0 : 1;
}

bool Connection::countWork(quint64 units) {
    workSteps_ += units;
    if (workSteps_ > workLimit_) return false;
    if (!slowWorkShown_ && slowWorkHandler_ && statementClock_.elapsed() >= slowAfterMs_) {
        slowWorkShown_ = true;
        slowWorkHandler_();
    }
    return true;
}

void Connection::setPageCache(PageCache kind) {
    if (db_ == nullptr || kind == pageCache_ || !pageCacheByStatement_) return;
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

void Connection::takeShareLock(const QByteArray& enginePath, const QString& fileName,
                               ShareMode mode) {
    // Share modes between processes: a deny-write or exclusive connection
    // holds an exclusive lock for as long as it is open, every other
    // connection a shared one. The engine's own locks are separate, so tools
    // that only read the file are never blocked by these. A read-only
    // connection is such a reader: it can change nothing that a deny-write
    // connection protects, and it denies nothing to anyone. An unreadable
    // file is left to the engine to report.
    if (mode == ShareMode::ReadOnly) return;
    const bool exclusive =
        mode == ShareMode::DenyWrite || mode == ShareMode::Exclusive || mode == ShareMode::DenyRead;
    if (shareLock_.take(enginePath,
                        exclusive ? FileShareLock::Kind::Exclusive : FileShareLock::Kind::Shared) ==
        FileShareLock::Result::HeldByAnother) {
        throw EOleException(
            QStringLiteral(
                "The file '%1' is already in use by another program that denies it to others. "
                "Try again when that program has closed it.")
                .arg(fileName));
    }
}

void Connection::close() {
    if (db_ != nullptr) {
        sqlite3_close_v2(db_);
        db_ = nullptr;
    }
    shareLock_.release();
    filePath_.clear();
    enginePath_.clear();
    identity_ = {};
    trigramIndexes_.clear();
    password_.clear();
}

}  // namespace quarrow
