#include "ReadAheadVfs.h"

#include "NativeFile.h"

#include <sqlite3.h>
#include <QString>

#include <algorithm>
#include <cstring>
#include <mutex>

namespace quarrow {

namespace {

constexpr sqlite3_int64 kPieceBytes = 256 * 1024;

// Laid out by the engine in memory of the size the layer declares; the
// underlying file's own structure follows it.
struct ReadAheadFile {
    sqlite3_file base;
    sqlite3_file* real;
    bool readsAhead;
    char* piece;  // kPieceBytes, allocated on the first read ahead
    sqlite3_int64 pieceOffset;
    sqlite3_int64 pieceBytes;  // 0: nothing read ahead
    sqlite3_int64 lastReadEnd;
    sqlite3_int64 fileSize;  // -1: not known in this lock state
};

sqlite3_vfs* underlyingVfs = nullptr;

ReadAheadFile* of(sqlite3_file* file) { return reinterpret_cast<ReadAheadFile*>(file); }
const sqlite3_io_methods* realMethods(sqlite3_file* file) { return of(file)->real->pMethods; }

void forget(ReadAheadFile* f) {
    f->pieceBytes = 0;
    f->fileSize = -1;
    f->lastReadEnd = -1;
}

int closeFile(sqlite3_file* file) {
    ReadAheadFile* f = of(file);
    sqlite3_free(f->piece);
    f->piece = nullptr;
    return realMethods(file)->xClose(f->real);
}

bool inPiece(const ReadAheadFile* f, sqlite3_int64 offset, int amount) {
    return f->pieceBytes > 0 && offset >= f->pieceOffset &&
           offset + amount <= f->pieceOffset + f->pieceBytes;
}

// Reads the piece starting at `offset`; false when that cannot be done, and
// the caller reads what it needs directly.
bool readPiece(ReadAheadFile* f, sqlite3_int64 offset, int amount) {
    if (f->fileSize < 0 && realMethods(&f->base)->xFileSize(f->real, &f->fileSize) != SQLITE_OK) {
        f->fileSize = -1;
        return false;
    }
    const sqlite3_int64 bytes = std::min(kPieceBytes, f->fileSize - offset);
    if (bytes <= amount) return false;
    if (f->piece == nullptr) {
        f->piece = static_cast<char*>(sqlite3_malloc64(kPieceBytes));
        if (f->piece == nullptr) return false;
    }
    f->pieceBytes = 0;
    if (realMethods(&f->base)->xRead(f->real, f->piece, int(bytes), offset) != SQLITE_OK) {
        return false;
    }
    f->pieceOffset = offset;
    f->pieceBytes = bytes;
    return true;
}

int readFile(sqlite3_file* file, void* buffer, int amount, sqlite3_int64 offset) {
    ReadAheadFile* f = of(file);
    if (f->readsAhead) {
        // The next page in the file, or one a page or two further on, as the
        // tree's inner pages interrupt the run of its leaves.
        const bool inOrder = f->lastReadEnd >= 0 && offset >= f->lastReadEnd &&
                             offset <= f->lastReadEnd + 2 * sqlite3_int64(amount);
        f->lastReadEnd = offset + amount;
        if (inPiece(f, offset, amount) || (inOrder && readPiece(f, offset, amount))) {
            std::memcpy(buffer, f->piece + (offset - f->pieceOffset), std::size_t(amount));
            return SQLITE_OK;
        }
    }
    return realMethods(file)->xRead(f->real, buffer, amount, offset);
}

int writeFile(sqlite3_file* file, const void* buffer, int amount, sqlite3_int64 offset) {
    forget(of(file));
    return realMethods(file)->xWrite(of(file)->real, buffer, amount, offset);
}

int truncateFile(sqlite3_file* file, sqlite3_int64 size) {
    forget(of(file));
    return realMethods(file)->xTruncate(of(file)->real, size);
}

int syncFile(sqlite3_file* file, int flags) {
    return realMethods(file)->xSync(of(file)->real, flags);
}

int fileSize(sqlite3_file* file, sqlite3_int64* size) {
    return realMethods(file)->xFileSize(of(file)->real, size);
}

int lockFile(sqlite3_file* file, int level) {
    forget(of(file));
    return realMethods(file)->xLock(of(file)->real, level);
}

int unlockFile(sqlite3_file* file, int level) {
    forget(of(file));
    return realMethods(file)->xUnlock(of(file)->real, level);
}

int checkReservedLock(sqlite3_file* file, int* reserved) {
    return realMethods(file)->xCheckReservedLock(of(file)->real, reserved);
}

int fileControl(sqlite3_file* file, int op, void* arg) {
    forget(of(file));
    return realMethods(file)->xFileControl(of(file)->real, op, arg);
}

int sectorSize(sqlite3_file* file) { return realMethods(file)->xSectorSize(of(file)->real); }

int deviceCharacteristics(sqlite3_file* file) {
    return realMethods(file)->xDeviceCharacteristics(of(file)->real);
}

int shmMap(sqlite3_file* file, int region, int size, int extend, void volatile** memory) {
    ReadAheadFile* f = of(file);
    // In write-ahead log mode a checkpoint may rewrite the file while this
    // connection reads it.
    f->readsAhead = false;
    forget(f);
    if (realMethods(file)->iVersion < 2) return SQLITE_IOERR;
    return realMethods(file)->xShmMap(f->real, region, size, extend, memory);
}

int shmLock(sqlite3_file* file, int offset, int n, int flags) {
    if (realMethods(file)->iVersion < 2) return SQLITE_IOERR;
    return realMethods(file)->xShmLock(of(file)->real, offset, n, flags);
}

void shmBarrier(sqlite3_file* file) {
    if (realMethods(file)->iVersion >= 2) realMethods(file)->xShmBarrier(of(file)->real);
}

int shmUnmap(sqlite3_file* file, int deleteFlag) {
    if (realMethods(file)->iVersion < 2) return SQLITE_IOERR;
    return realMethods(file)->xShmUnmap(of(file)->real, deleteFlag);
}

int fetch(sqlite3_file* file, sqlite3_int64 offset, int amount, void** page) {
    if (realMethods(file)->iVersion < 3) {
        *page = nullptr;
        return SQLITE_OK;
    }
    return realMethods(file)->xFetch(of(file)->real, offset, amount, page);
}

int unfetch(sqlite3_file* file, sqlite3_int64 offset, void* page) {
    if (realMethods(file)->iVersion < 3) return SQLITE_OK;
    return realMethods(file)->xUnfetch(of(file)->real, offset, page);
}

const sqlite3_io_methods readAheadMethods = {
    3,
    closeFile,
    readFile,
    writeFile,
    truncateFile,
    syncFile,
    fileSize,
    lockFile,
    unlockFile,
    checkReservedLock,
    fileControl,
    sectorSize,
    deviceCharacteristics,
    shmMap,
    shmLock,
    shmBarrier,
    shmUnmap,
    fetch,
    unfetch,
};

// Journals and logs beside a database: a name that stands for anything but
// a regular file there is not the engine's to open.
bool refusedCompanion(const char* name, int flags) {
    constexpr int kCompanions = SQLITE_OPEN_MAIN_JOURNAL | SQLITE_OPEN_WAL |
                                SQLITE_OPEN_SUPER_JOURNAL | SQLITE_OPEN_SUBJOURNAL;
    if (name == nullptr || (flags & kCompanions) == 0) return false;
    const FileStatus status = EntryStatusOf(QString::fromUtf8(name));
    return status.exists && !status.regular;
}

int openFile(sqlite3_vfs* vfs, const char* name, sqlite3_file* file, int flags, int* outFlags) {
    ReadAheadFile* f = of(file);
    f->real = reinterpret_cast<sqlite3_file*>(f + 1);
    f->readsAhead = (flags & SQLITE_OPEN_MAIN_DB) != 0 && vfs->pAppData != nullptr;
    f->piece = nullptr;
    forget(f);
    file->pMethods = nullptr;
    if (refusedCompanion(name, flags)) return SQLITE_CANTOPEN;
    const int rc = underlyingVfs->xOpen(underlyingVfs, name, f->real, flags, outFlags);
    // The engine closes a file whose methods are set, even when opening failed.
    if (f->real->pMethods != nullptr) file->pMethods = &readAheadMethods;
    return rc;
}

int deleteFile(sqlite3_vfs*, const char* name, int syncDir) {
    return underlyingVfs->xDelete(underlyingVfs, name, syncDir);
}

int accessFile(sqlite3_vfs*, const char* name, int flags, int* result) {
    return underlyingVfs->xAccess(underlyingVfs, name, flags, result);
}

int fullPathname(sqlite3_vfs*, const char* name, int size, char* out) {
    return underlyingVfs->xFullPathname(underlyingVfs, name, size, out);
}

void* dlOpen(sqlite3_vfs*, const char* name) { return underlyingVfs->xDlOpen(underlyingVfs, name); }

void dlError(sqlite3_vfs*, int size, char* message) {
    underlyingVfs->xDlError(underlyingVfs, size, message);
}

void (*dlSym(sqlite3_vfs*, void* library, const char* symbol))(void) {
    return underlyingVfs->xDlSym(underlyingVfs, library, symbol);
}

void dlClose(sqlite3_vfs*, void* library) { underlyingVfs->xDlClose(underlyingVfs, library); }

int randomness(sqlite3_vfs*, int size, char* out) {
    return underlyingVfs->xRandomness(underlyingVfs, size, out);
}

int sleepFor(sqlite3_vfs*, int microseconds) {
    return underlyingVfs->xSleep(underlyingVfs, microseconds);
}

int currentTime(sqlite3_vfs*, double* now) {
    return underlyingVfs->xCurrentTime(underlyingVfs, now);
}

int lastError(sqlite3_vfs*, int size, char* message) {
    return underlyingVfs->xGetLastError(underlyingVfs, size, message);
}

int currentTimeInt64(sqlite3_vfs*, sqlite3_int64* now) {
    if (underlyingVfs->iVersion >= 2 && underlyingVfs->xCurrentTimeInt64 != nullptr) {
        return underlyingVfs->xCurrentTimeInt64(underlyingVfs, now);
    }
    double days = 0;
    const int rc = underlyingVfs->xCurrentTime(underlyingVfs, &days);
    *now = sqlite3_int64(days * 86400000.0);
    return rc;
}

constexpr const char* kReadAheadName = "quarrow-read-ahead";
constexpr const char* kGuardedName = "quarrow-guarded";

void registerLayers() {
    static std::once_flag registered;
    std::call_once(registered, [] {
        underlyingVfs = sqlite3_vfs_find(nullptr);
        static sqlite3_vfs readAhead{};
        readAhead.iVersion = 2;
        readAhead.szOsFile = int(sizeof(ReadAheadFile)) + underlyingVfs->szOsFile;
        readAhead.mxPathname = underlyingVfs->mxPathname;
        readAhead.zName = kReadAheadName;
        // Marks the layer that reads ahead.
        readAhead.pAppData = &readAhead;
        readAhead.xOpen = openFile;
        readAhead.xDelete = deleteFile;
        readAhead.xAccess = accessFile;
        readAhead.xFullPathname = fullPathname;
        readAhead.xDlOpen = dlOpen;
        readAhead.xDlError = dlError;
        readAhead.xDlSym = dlSym;
        readAhead.xDlClose = dlClose;
        readAhead.xRandomness = randomness;
        readAhead.xSleep = sleepFor;
        readAhead.xCurrentTime = currentTime;
        readAhead.xGetLastError = lastError;
        readAhead.xCurrentTimeInt64 = currentTimeInt64;
        sqlite3_vfs_register(&readAhead, 0);
        static sqlite3_vfs guarded = readAhead;
        guarded.zName = kGuardedName;
        guarded.pAppData = nullptr;
        sqlite3_vfs_register(&guarded, 0);
    });
}

}  // namespace

const char* ReadAheadVfsName() {
    registerLayers();
    return kReadAheadName;
}

const char* GuardedVfsName() {
    registerLayers();
    return kGuardedName;
}

}  // namespace quarrow
