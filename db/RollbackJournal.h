#pragma once

#include "NativeFile.h"

#include <QString>
#include <cstdint>

namespace quarrow {

// The engine's rollback journal as the data layer reads it, without the
// engine: a header (page size, the file's size in pages when the
// transaction began), then records of the pages the transaction changed,
// each as it was before. The engine writes a record of a page before it
// writes the page into the file, and rolls a journal that no writer holds
// back into the file at the next reading.
class RollbackJournal {
public:
    explicit RollbackJournal(const QString& path);

    // Whether the journal has the engine's header, with a page size and a
    // sector size the engine accepts; the engine ignores a journal without
    // the header and refuses one with other sizes.
    bool hasHeader() const { return hasHeader_; }
    // The page size the journal was written with; 0 when it left it to the
    // file (the engine then takes the file's).
    std::uint32_t pageSize() const { return pageSize_; }
    // How many pages the file had when the transaction began.
    std::uint32_t originalPages() const { return originalPages_; }
    // The page number of the first record; 0 when there is none.
    std::uint32_t firstRecordPage(std::uint32_t filePageSize) const;

    // Looks for the record of page 1 among the records, in the engine's
    // order. Found: `changeCounter` is the change counter page 1 held when
    // the transaction began. Absent: the records end without it. Unclear:
    // its record is cut short or fails its checksum.
    enum class PageOne { Found, Absent, Unclear };
    PageOne findPageOne(std::uint32_t filePageSize, std::uint32_t& changeCounter) const;

private:
    std::uint32_t recordPageSize(std::uint32_t filePageSize) const {
        return pageSize_ != 0 ? pageSize_ : filePageSize;
    }

    NativeFile file_;
    std::int64_t size_ = 0;
    bool hasHeader_ = false;
    std::uint32_t records_ = 0;
    std::uint32_t checksumInit_ = 0;
    std::uint32_t originalPages_ = 0;
    std::uint32_t sectorSize_ = 0;
    std::uint32_t pageSize_ = 0;
};

}  // namespace quarrow
