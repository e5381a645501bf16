#include "CatalogueFile.h"

#include "core/Exception.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <array>

namespace quarrow {

namespace {

// Where the engine's header keeps the page size and the change counter.
constexpr off_t kPageSizeOffset = 16;
constexpr off_t kChangeCounterOffset = 24;
// The header's database size counts only while this equals the change
// counter.
constexpr off_t kVersionValidForOffset = 92;
// The engine's lock bytes: a writer holds the reserved byte, one about to
// commit the pending byte.
constexpr off_t kPendingByte = 0x40000000;
// A writer writes the file within moments of its journal; a file written
// much later than its journal was put there by someone else.
constexpr std::int64_t kJournalSlackNs = 2'000'000'000;
constexpr std::array<unsigned char, 8> kJournalMagic{0xd9, 0xd5, 0x05, 0xf9,
                                                     0x20, 0xa1, 0x63, 0xd7};

std::uint32_t bigEndian32(const unsigned char* bytes) {
    return std::uint32_t(bytes[0]) << 24 | std::uint32_t(bytes[1]) << 16 |
           std::uint32_t(bytes[2]) << 8 | std::uint32_t(bytes[3]);
}

class ReadOnlyFile {
public:
    explicit ReadOnlyFile(const QString& path)
        : fd_(::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC)) {}
    ~ReadOnlyFile() {
        if (fd_ >= 0) ::close(fd_);
    }
    ReadOnlyFile(const ReadOnlyFile&) = delete;
    ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;

    bool isOpen() const { return fd_ >= 0; }
    bool read(off_t offset, unsigned char* into, std::size_t bytes) const {
        return fd_ >= 0 && ::pread(fd_, into, bytes, offset) == ssize_t(bytes);
    }
    // True when another process holds the lock byte `at` (a live writer).
    bool lockedByOther(off_t at, off_t length) const {
        struct flock probe {};
        probe.l_type = F_WRLCK;
        probe.l_whence = SEEK_SET;
        probe.l_start = at;
        probe.l_len = length;
        return fd_ >= 0 && ::fcntl(fd_, F_GETLK, &probe) == 0 && probe.l_type != F_UNLCK;
    }

private:
    int fd_;
};

std::int64_t modifiedNs(const struct stat& info) {
    return std::int64_t(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec;
}

bool statOf(const QString& path, struct stat* info) {
    return ::stat(QFile::encodeName(path).constData(), info) == 0;
}

int pageSizeOf(const unsigned char bytes[2]) {
    const int size = bytes[0] << 8 | bytes[1];
    return size == 1 ? 65536 : size;
}

// Whether the journal beside `path` was written for another file than the
// one there now.
bool journalBelongsElsewhere(const QString& path, const QString& journalPath) {
    const ReadOnlyFile database(path);
    const ReadOnlyFile journal(journalPath);
    unsigned char header[28];
    if (!database.isOpen() || !journal.read(0, header, sizeof header)) return false;
    // A journal without its magic number is one the engine ignores anyway.
    if (!std::equal(kJournalMagic.begin(), kJournalMagic.end(), header)) return false;
    if (database.lockedByOther(kPendingByte, 2)) return false;  // a live writer's

    struct stat fileInfo {};
    struct stat journalInfo {};
    unsigned char pageSizeBytes[2];
    unsigned char counterBytes[4];
    if (!statOf(path, &fileInfo) || !statOf(journalPath, &journalInfo) ||
        !database.read(kPageSizeOffset, pageSizeBytes, 2) ||
        !database.read(kChangeCounterOffset, counterBytes, 4)) {
        return false;
    }
    if (modifiedNs(fileInfo) > modifiedNs(journalInfo) + kJournalSlackNs) return true;

    const std::uint32_t recordedPages = bigEndian32(header + 16);
    const std::uint32_t sectorSize = bigEndian32(header + 20);
    const std::uint32_t journalPageSize = bigEndian32(header + 24);
    const int pageSize = pageSizeOf(pageSizeBytes);
    if (journalPageSize != std::uint32_t(pageSize)) return true;
    if (std::int64_t(recordedPages) * pageSize > fileInfo.st_size) return true;

    // The first page a writer saves is the header page, whose change counter
    // the file then shows unchanged or one higher.
    unsigned char record[4 + 28];
    if (sectorSize >= 28 && journal.read(off_t(sectorSize), record, sizeof record) &&
        bigEndian32(record) == 1) {
        const std::uint32_t saved = bigEndian32(record + 4 + kChangeCounterOffset);
        const std::uint32_t now = bigEndian32(counterBytes);
        if (now != saved && now != saved + 1) return true;
    }
    return false;
}

}  // namespace

bool FileIdentity::operator==(const FileIdentity& other) const {
    return device == other.device && inode == other.inode && size == other.size &&
           modifiedNs == other.modifiedNs && changeCounter == other.changeCounter;
}

FileIdentity IdentityOf(const QString& path) {
    FileIdentity identity;
    struct stat info {};
    if (!statOf(path, &info) || !S_ISREG(info.st_mode)) return identity;
    identity.device = std::uint64_t(info.st_dev);
    identity.inode = std::uint64_t(info.st_ino);
    identity.size = std::int64_t(info.st_size);
    identity.modifiedNs = modifiedNs(info);
    unsigned char counter[4];
    if (ReadOnlyFile(path).read(kChangeCounterOffset, counter, 4)) {
        identity.changeCounter = bigEndian32(counter);
    }
    return identity;
}

void StampFreshChangeCounter(const QString& path) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CLOEXEC);
    unsigned char old[4];
    bool ok = fd >= 0 && ::pread(fd, old, 4, kChangeCounterOffset) == 4;
    if (ok) {
        std::uint32_t counter = QRandomGenerator::system()->generate();
        if (counter == bigEndian32(old)) ++counter;
        const unsigned char bytes[4] = {
            static_cast<unsigned char>(counter >> 24), static_cast<unsigned char>(counter >> 16),
            static_cast<unsigned char>(counter >> 8), static_cast<unsigned char>(counter)};
        ok = ::pwrite(fd, bytes, 4, kChangeCounterOffset) == 4 &&
             ::pwrite(fd, bytes, 4, kVersionValidForOffset) == 4 && ::fsync(fd) == 0;
    }
    if (fd >= 0) ::close(fd);
    if (!ok) {
        throw EOleException(QStringLiteral("Cannot finish writing '%1'.").arg(path));
    }
}

void RequireRegularFile(const QString& path) {
    struct stat info {};
    if (statOf(path, &info) && !S_ISREG(info.st_mode)) {
        throw EOleException(
            QStringLiteral("'%1' is not a regular file and cannot be opened as a database.")
                .arg(path));
    }
}

QString SetAsideStaleJournal(const QString& path) {
    const QString journal = path + QStringLiteral("-journal");
    if (!QFileInfo::exists(journal) || !journalBelongsElsewhere(path, journal)) return {};
    const QString aside =
        journal + QStringLiteral(".stale-") +
        QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss-zzz"));
    if (!QFile::rename(journal, aside)) {
        throw EOleException(
            QStringLiteral("A journal left beside '%1' by an earlier file could not be set aside "
                           "as '%2'; the file was not opened, so that the journal cannot damage "
                           "it.")
                .arg(path, aside));
    }
    return QStringLiteral(
               "A journal left beside '%1' by an earlier file was set aside as '%2'; the file "
               "was opened as it is.")
        .arg(path, QFileInfo(aside).fileName());
}

}  // namespace quarrow
