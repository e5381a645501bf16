#include "CatalogueFile.h"

#include "NativeFile.h"
#include "RollbackJournal.h"
#include "core/Exception.h"

#include <sqlite3.h>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <algorithm>
#include <chrono>
#include <thread>
#include <vector>

namespace quarrow {

namespace {

// Where the engine's header keeps the page size, the change counter and the
// file's size in pages.
constexpr std::int64_t kPageSizeOffset = 16;
constexpr std::int64_t kChangeCounterOffset = 24;
constexpr std::int64_t kHeaderPagesOffset = 28;
// The header's size in pages counts only while this equals the change
// counter.
constexpr std::int64_t kVersionValidForOffset = 92;
constexpr std::size_t kHeaderBytes = 100;
// The engine's lock bytes: a writer holds the reserved byte, one about to
// commit or rolling a journal back the pending byte.
constexpr std::int64_t kPendingByte = 0x40000000;
constexpr std::int64_t kPendingAndReservedBytes = 2;
// How long a reader's momentary hold on the pending byte is waited out.
constexpr int kLockAttempts = 20;
constexpr auto kLockPause = std::chrono::milliseconds(2);

std::uint32_t bigEndian32(const unsigned char* bytes) {
    return std::uint32_t(bytes[0]) << 24 | std::uint32_t(bytes[1]) << 16 |
           std::uint32_t(bytes[2]) << 8 | std::uint32_t(bytes[3]);
}

// The parts of a database file's header that tell which journal can be its.
struct DatabaseHeader {
    bool readable = false;
    std::uint32_t pageSize = 0;
    std::uint32_t changeCounter = 0;
    std::uint32_t headerPages = 0;  // 0 unless the header's count is valid
};

DatabaseHeader headerOf(const NativeFile& database) {
    static const char kFormat[] = "SQLite format 3";
    DatabaseHeader result;
    unsigned char header[kHeaderBytes];
    if (!database.readAt(0, header, sizeof header) ||
        !std::equal(kFormat, kFormat + sizeof kFormat, header)) {
        return result;
    }
    const std::uint32_t size =
        std::uint32_t(header[kPageSizeOffset]) << 8 | header[kPageSizeOffset + 1];
    result.pageSize = size == 1 ? 65536 : size;
    if (result.pageSize < 512 || (result.pageSize & (result.pageSize - 1)) != 0) return result;
    result.readable = true;
    result.changeCounter = bigEndian32(header + kChangeCounterOffset);
    if (result.changeCounter == bigEndian32(header + kVersionValidForOffset)) {
        result.headerPages = bigEndian32(header + kHeaderPagesOffset);
    }
    return result;
}

// Whether the journal provably belongs to another file than `database`.
// The engine saves a page in the journal before it writes the page into the
// file, and writes page 1 with the change counter it saved plus one; it
// shrinks a file only after saving page 1, and changes the page size only
// by writing page 1. So, for a journal of this file:
//  - a saved page 1 holds the file's change counter or one less (every
//    write of the program saves page 1 first, so its journals always tell);
//  - without a saved page 1, the file has the journal's page size, at least
//    as many pages as when the transaction began, and a header counting no
//    more than those.
// A journal that shows none of these is left to the engine.
bool journalBelongsElsewhere(const NativeFile& database, std::int64_t databaseSize,
                             const QString& journalPath) {
    const DatabaseHeader file = headerOf(database);
    const RollbackJournal journal(journalPath);
    if (!file.readable || !journal.hasHeader()) return false;
    std::uint32_t saved = 0;
    const RollbackJournal::PageOne pageOne = journal.findPageOne(file.pageSize, saved);
    if (pageOne == RollbackJournal::PageOne::Found) {
        return file.changeCounter != saved && file.changeCounter != saved + 1;
    }
    if (journal.pageSize() != 0 && journal.pageSize() != file.pageSize) return true;
    if (pageOne == RollbackJournal::PageOne::Absent) {
        const std::int64_t filePages = (databaseSize + file.pageSize - 1) / file.pageSize;
        return filePages < std::int64_t(journal.originalPages()) ||
               file.headerPages > journal.originalPages();
    }
    return false;
}

// Holds the engine's reserved and pending bytes of the file, so that no
// writer can begin and no reader can roll a journal back; false when a live
// writer holds them. A reader takes the pending byte for a moment on its way
// to reading, which is waited out.
bool holdEngineWriters(NativeFile& database) {
    if (!database.isOpen() || database.lockedByOther(kPendingByte, kPendingAndReservedBytes)) {
        return false;
    }
    for (int attempt = 0; attempt < kLockAttempts; ++attempt) {
        if (database.tryLock(kPendingByte, kPendingAndReservedBytes)) return true;
        std::this_thread::sleep_for(kLockPause);
    }
    return false;
}

// The engine takes a journal into account only when its first byte is not 0.
bool journalBegun(const QString& journalPath) {
    const NativeFile journal(journalPath, NativeFile::Access::Read);
    unsigned char first = 0;
    return journal.readAt(0, &first, 1) && first != 0;
}

}  // namespace

bool FileIdentity::operator==(const FileIdentity& other) const {
    return device == other.device && inode == other.inode && size == other.size &&
           modifiedNs == other.modifiedNs && changeCounter == other.changeCounter;
}

FileIdentity IdentityOf(const QString& path) {
    FileIdentity identity;
    const FileStatus status = StatusOf(path);
    if (!status.regular) return identity;
    identity.device = status.device;
    identity.inode = status.inode;
    identity.size = status.size;
    identity.modifiedNs = status.modifiedNs;
    unsigned char counter[4];
    if (NativeFile(path, NativeFile::Access::Read).readAt(kChangeCounterOffset, counter, 4)) {
        identity.changeCounter = bigEndian32(counter);
    }
    return identity;
}

void StampFreshChangeCounter(const QString& path) {
    NativeFile file(path, NativeFile::Access::ReadWrite);
    unsigned char old[4];
    bool ok = file.readAt(kChangeCounterOffset, old, 4);
    if (ok) {
        std::uint32_t counter = QRandomGenerator::system()->generate();
        if (counter == bigEndian32(old)) ++counter;
        const unsigned char bytes[4] = {
            static_cast<unsigned char>(counter >> 24), static_cast<unsigned char>(counter >> 16),
            static_cast<unsigned char>(counter >> 8), static_cast<unsigned char>(counter)};
        ok = file.writeAt(kChangeCounterOffset, bytes, 4) &&
             file.writeAt(kVersionValidForOffset, bytes, 4) && file.flush();
    }
    if (!ok) {
        throw EOleException(QStringLiteral("Cannot finish writing '%1'.").arg(path));
    }
}

void RequireRegularFile(const QString& path) {
    const FileStatus status = StatusOf(path);
    if (status.exists && !status.regular) {
        throw EOleException(
            QStringLiteral("'%1' is not a regular file and cannot be opened as a database.")
                .arg(path));
    }
}

QString EnginePathOf(const QString& path) {
    sqlite3_vfs* vfs = sqlite3_vfs_find(nullptr);
    const QByteArray name = path.toUtf8();
    std::vector<char> full(std::size_t(vfs->mxPathname) + 1);
    // The engine reports a path with links resolved as SQLITE_OK_SYMLINK.
    if (vfs->xFullPathname(vfs, name.constData(), int(full.size()), full.data()) & 0xff) {
        return path;
    }
    return QString::fromUtf8(full.data());
}

QString JournalPathOf(const QString& enginePath) { return enginePath + QStringLiteral("-journal"); }

void RequireOrdinaryCompanions(const QString& enginePath) {
    static const std::pair<const char*, const char*> companions[] = {
        {"-journal", "journal"}, {"-wal", "write-ahead log"}, {"-shm", "shared-memory index"}};
    for (const auto& [suffix, what] : companions) {
        const QString companion = enginePath + QLatin1String(suffix);
        const FileStatus status = EntryStatusOf(companion);
        if (status.exists && !status.regular) {
            throw EOleException(
                QStringLiteral("'%1' is not a regular file: the catalogue '%2' is not opened or "
                               "changed while it stands where the engine keeps the catalogue's "
                               "%3.")
                    .arg(companion, enginePath, QLatin1String(what)));
        }
    }
}

QString SetAsideStaleJournal(const QString& enginePath) {
    const QString journal = JournalPathOf(enginePath);
    if (!EntryStatusOf(journal).exists || !journalBegun(journal)) return {};
    // A file that cannot be written cannot be rolled back either: the
    // engine then refuses to read it, and nothing needs moving.
    NativeFile database(enginePath, NativeFile::Access::ReadWrite);
    if (!holdEngineWriters(database) ||
        !journalBelongsElsewhere(database, StatusOf(enginePath).size, journal)) {
        return {};
    }
    const QString aside =
        journal + QStringLiteral(".stale-") +
        QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss-zzz"));
    if (!QFile::rename(journal, aside)) {
        throw EOleException(
            QStringLiteral("A journal left beside '%1' by an earlier file could not be set aside "
                           "as '%2'; the file was not opened, so that the journal cannot damage "
                           "it.")
                .arg(enginePath, aside));
    }
    return QStringLiteral(
               "A journal left beside '%1' by an earlier file was set aside as '%2'; the file "
               "was opened as it is.")
        .arg(enginePath, QFileInfo(aside).fileName());
}

HotJournal HotJournalBeside(const QString& enginePath) {
    const QString journalPath = JournalPathOf(enginePath);
    // The engine rolls a journal back only when the file is not empty and
    // no writer holds the file.
    if (!EntryStatusOf(journalPath).exists || !journalBegun(journalPath)) return HotJournal::None;
    const NativeFile database(enginePath, NativeFile::Access::Read);
    const std::int64_t size = StatusOf(enginePath).size;
    if (!database.isOpen() || size <= 0 ||
        database.lockedByOther(kPendingByte, kPendingAndReservedBytes)) {
        return HotJournal::None;
    }
    return journalBelongsElsewhere(database, size, journalPath) ? HotJournal::OfAnotherFile
                                                                : HotJournal::OfThisFile;
}

}  // namespace quarrow
