#include "CatalogueFile.h"

#include "NativeFile.h"
#include "core/Exception.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <array>

namespace quarrow {

namespace {

// Where the engine's header keeps the page size and the change counter.
constexpr std::int64_t kPageSizeOffset = 16;
constexpr std::int64_t kChangeCounterOffset = 24;
// The header's database size counts only while this equals the change
// counter.
constexpr std::int64_t kVersionValidForOffset = 92;
// The engine's lock bytes: a writer holds the reserved byte, one about to
// commit the pending byte.
constexpr std::int64_t kPendingByte = 0x40000000;
// A writer writes the file within moments of its journal; a file written
// much later than its journal was put there by someone else.
constexpr std::int64_t kJournalSlackNs = 2'000'000'000;
constexpr std::array<unsigned char, 8> kJournalMagic{0xd9, 0xd5, 0x05, 0xf9,
                                                     0x20, 0xa1, 0x63, 0xd7};

std::uint32_t bigEndian32(const unsigned char* bytes) {
    return std::uint32_t(bytes[0]) << 24 | std::uint32_t(bytes[1]) << 16 |
           std::uint32_t(bytes[2]) << 8 | std::uint32_t(bytes[3]);
}

int pageSizeOf(const unsigned char bytes[2]) {
    const int size = bytes[0] << 8 | bytes[1];
    return size == 1 ? 65536 : size;
}

// Whether the journal beside `path` was written for another file than the
// one there now.
bool journalBelongsElsewhere(const QString& path, const QString& journalPath) {
    const NativeFile database(path, NativeFile::Access::Read);
    const NativeFile journal(journalPath, NativeFile::Access::Read);
    unsigned char header[28];
    if (!database.isOpen() || !journal.readAt(0, header, sizeof header)) return false;
    // A journal without its magic number is one the engine ignores anyway.
    if (!std::equal(kJournalMagic.begin(), kJournalMagic.end(), header)) return false;
    if (database.lockedByOther(kPendingByte, 2)) return false;  // a live writer's

    const FileStatus fileInfo = StatusOf(path);
    const FileStatus journalInfo = StatusOf(journalPath);
    unsigned char pageSizeBytes[2];
    unsigned char counterBytes[4];
    if (!fileInfo.exists || !journalInfo.exists ||
        !database.readAt(kPageSizeOffset, pageSizeBytes, 2) ||
        !database.readAt(kChangeCounterOffset, counterBytes, 4)) {
        return false;
    }
    if (fileInfo.modifiedNs > journalInfo.modifiedNs + kJournalSlackNs) return true;

    const std::uint32_t recordedPages = bigEndian32(header + 16);
    const std::uint32_t sectorSize = bigEndian32(header + 20);
    const std::uint32_t journalPageSize = bigEndian32(header + 24);
    const int pageSize = pageSizeOf(pageSizeBytes);
    if (journalPageSize != std::uint32_t(pageSize)) return true;
    if (std::int64_t(recordedPages) * pageSize > fileInfo.size) return true;

    // The first page a writer saves is the header page, whose change counter
    // the file then shows unchanged or one higher.
    unsigned char record[4 + 28];
    if (sectorSize >= 28 && journal.readAt(sectorSize, record, sizeof record) &&
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
