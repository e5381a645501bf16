#include "RollbackJournal.h"

#include <algorithm>
#include <array>
#include <vector>

namespace quarrow {

namespace {

constexpr std::array<unsigned char, 8> kMagic{0xd9, 0xd5, 0x05, 0xf9, 0x20, 0xa1, 0x63, 0xd7};
constexpr std::size_t kHeaderBytes = 28;
// A header whose record count is this was written without syncing: its
// records run to the end of the journal, as do those of a header whose
// count is still 0, not yet synced.
constexpr std::uint32_t kRecordsToTheEnd = 0xffffffff;
// The engine's lock bytes live on this page, which is never written.
constexpr std::int64_t kPendingByte = 0x40000000;
constexpr std::int64_t kChangeCounterOffset = 24;

std::uint32_t bigEndian32(const unsigned char* bytes) {
    return std::uint32_t(bytes[0]) << 24 | std::uint32_t(bytes[1]) << 16 |
           std::uint32_t(bytes[2]) << 8 | std::uint32_t(bytes[3]);
}

bool powerOfTwoWithin(std::uint32_t value, std::uint32_t least, std::uint32_t most) {
    return value >= least && value <= most && (value & (value - 1)) == 0;
}

// The engine's checksum of a record: every 200th byte of the page, from the
// end, added to the header's initial value.
std::uint32_t recordChecksum(std::uint32_t init, const unsigned char* page, std::uint32_t size) {
    std::uint32_t sum = init;
    for (std::int64_t i = std::int64_t(size) - 200; i > 0; i -= 200) sum += page[i];
    return sum;
}

}  // namespace

RollbackJournal::RollbackJournal(const QString& path) : file_(path, NativeFile::Access::Read) {
    const FileStatus status = StatusOf(path);
    size_ = status.regular ? status.size : 0;
    unsigned char header[kHeaderBytes];
    if (size_ < std::int64_t(kHeaderBytes) || !file_.readAt(0, header, sizeof header) ||
        !std::equal(kMagic.begin(), kMagic.end(), header)) {
        return;
    }
    records_ = bigEndian32(header + 8);
    checksumInit_ = bigEndian32(header + 12);
    originalPages_ = bigEndian32(header + 16);
    sectorSize_ = bigEndian32(header + 20);
    pageSize_ = bigEndian32(header + 24);
    hasHeader_ = powerOfTwoWithin(sectorSize_, 32, 65536) &&
                 (pageSize_ == 0 || powerOfTwoWithin(pageSize_, 512, 65536));
}

std::uint32_t RollbackJournal::firstRecordPage(std::uint32_t filePageSize) const {
    unsigned char page[4];
    const std::int64_t recordEnd = std::int64_t(sectorSize_) + 8 + recordPageSize(filePageSize);
    if (!hasHeader_ || recordEnd > size_ || !file_.readAt(sectorSize_, page, sizeof page)) return 0;
    return bigEndian32(page);
}

RollbackJournal::PageOne RollbackJournal::findPageOne(std::uint32_t filePageSize,
                                                      std::uint32_t& changeCounter) const {
    const std::uint32_t pageSize = recordPageSize(filePageSize);
    if (!hasHeader_ || !powerOfTwoWithin(pageSize, 512, 65536)) return PageOne::Unclear;
    const std::int64_t recordSize = std::int64_t(pageSize) + 8;
    const std::uint32_t lockPage = std::uint32_t(kPendingByte / pageSize) + 1;
    std::int64_t header = 0;
    std::uint32_t records = records_;
    std::uint32_t checksumInit = checksumInit_;
    while (true) {
        const bool toTheEnd = records == 0 || records == kRecordsToTheEnd;
        std::int64_t at = header + sectorSize_;
        for (std::uint32_t k = 0; toTheEnd || k < records; ++k, at += recordSize) {
            unsigned char number[4];
            if (at + recordSize > size_ || !file_.readAt(at, number, sizeof number)) {
                return PageOne::Absent;
            }
            const std::uint32_t page = bigEndian32(number);
            // The engine ends the rollback at either.
            if (page == 0 || page == lockPage) return PageOne::Absent;
            if (page != 1) continue;
            std::vector<unsigned char> saved(std::size_t(pageSize) + 4);
            if (!file_.readAt(at + 4, saved.data(), saved.size()) ||
                bigEndian32(saved.data() + pageSize) !=
                    recordChecksum(checksumInit, saved.data(), pageSize)) {
                return PageOne::Unclear;
            }
            changeCounter = bigEndian32(saved.data() + kChangeCounterOffset);
            return PageOne::Found;
        }
        if (toTheEnd) return PageOne::Absent;
        // A synced part is followed by the next header at a sector boundary.
        header = (at + sectorSize_ - 1) / sectorSize_ * sectorSize_;
        unsigned char next[16];
        if (header + std::int64_t(sectorSize_) > size_ ||
            !file_.readAt(header, next, sizeof next) ||
            !std::equal(kMagic.begin(), kMagic.end(), next)) {
            return PageOne::Absent;
        }
        records = bigEndian32(next + 8);
        checksumInit = bigEndian32(next + 12);
    }
}

}  // namespace quarrow
