#pragma once

#include <QString>
#include <QtGlobal>
#include <cstddef>
#include <cstdint>

namespace quarrow {

// The few things the data layer does with files beside the engine and Qt,
// each on the system's own calls: reading and writing bytes at an offset,
// making a write durable, and asking whether another process holds one of
// the engine's lock bytes. The calls sit in NativeFile.cpp.
class NativeFile {
public:
    enum class Access { Read, ReadWrite };

    // Opening never waits: a pipe or device swapped in for the file fails or
    // opens at once.
    NativeFile(const QString& path, Access access);
    ~NativeFile();
    NativeFile(const NativeFile&) = delete;
    NativeFile& operator=(const NativeFile&) = delete;

    bool isOpen() const { return handle_ != kClosed; }
    // Each true only when all `bytes` were read or written.
    bool readAt(std::int64_t offset, void* into, std::size_t bytes) const;
    bool writeAt(std::int64_t offset, const void* from, std::size_t bytes);
    // Makes what was written durable.
    bool flush();
    // True when another process holds a write lock on a byte of the range:
    // the engine's lock of a live writer.
    bool lockedByOther(std::int64_t offset, std::int64_t length) const;
    // Takes a write lock on the range without waiting, held until this
    // object closes; false when anyone else, this process's engine included,
    // holds a lock there or the file is not open for writing.
    bool tryLock(std::int64_t offset, std::int64_t length);

private:
    static constexpr qintptr kClosed = -1;
    qintptr handle_ = kClosed;
};

// What the system says of the file a path leads to, after links.
struct FileStatus {
    bool exists = false;
    bool regular = false;  // neither a folder, nor a pipe, device or socket
    std::uint64_t device = 0;
    std::uint64_t inode = 0;  // the file's number on its device
    std::int64_t size = -1;
    std::int64_t modifiedNs = 0;
};

FileStatus StatusOf(const QString& path);
// The same for the entry at `path` itself: a symbolic link is not followed,
// and is not a regular file.
FileStatus EntryStatusOf(const QString& path);

}  // namespace quarrow
