#include "NativeFile.h"

#include <QFile>

#if defined(Q_OS_WIN)
#include <windows.h>

#include <QDir>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace quarrow {

#if defined(Q_OS_WIN)

namespace {

HANDLE handleOf(qintptr handle) { return reinterpret_cast<HANDLE>(handle); }

const wchar_t* wide(const QString& path) { return reinterpret_cast<const wchar_t*>(path.utf16()); }

OVERLAPPED at(std::int64_t offset) {
    OVERLAPPED position{};
    position.Offset = DWORD(std::uint64_t(offset));
    position.OffsetHigh = DWORD(std::uint64_t(offset) >> 32);
    return position;
}

// Every handle shares everything, so that it never stands in the way of the
// engine, of another program reading the file, or of the file's
// replacement.
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// 100-nanosecond ticks since 1601, as the system counts time.
std::int64_t nanoseconds(const FILETIME& time) {
    return std::int64_t(std::uint64_t(time.dwHighDateTime) << 32 | time.dwLowDateTime) * 100;
}

}  // namespace

NativeFile::NativeFile(const QString& path, Access access) {
    const DWORD rights = access == Access::Read ? GENERIC_READ : GENERIC_READ | GENERIC_WRITE;
    const HANDLE file = CreateFileW(wide(QDir::toNativeSeparators(path)), rights, kShareAll,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) handle_ = reinterpret_cast<qintptr>(file);
}

NativeFile::~NativeFile() {
    if (isOpen()) CloseHandle(handleOf(handle_));
}

bool NativeFile::readAt(std::int64_t offset, void* into, std::size_t bytes) const {
    OVERLAPPED position = at(offset);
    DWORD read = 0;
    return isOpen() && ReadFile(handleOf(handle_), into, DWORD(bytes), &read, &position) != 0 &&
           read == bytes;
}

bool NativeFile::writeAt(std::int64_t offset, const void* from, std::size_t bytes) {
    OVERLAPPED position = at(offset);
    DWORD written = 0;
    return isOpen() && WriteFile(handleOf(handle_), from, DWORD(bytes), &written, &position) != 0 &&
           written == bytes;
}

bool NativeFile::flush() { return isOpen() && FlushFileBuffers(handleOf(handle_)) != 0; }

bool NativeFile::lockedByOther(std::int64_t offset, std::int64_t length) const {
    if (!isOpen()) return false;
    // Windows cannot ask who holds a lock; a lock of our own that cannot be
    // had says it. A writer holds these bytes exclusively, so a shared lock
    // fails exactly then, and is given up at once.
    OVERLAPPED position = at(offset);
    const DWORD low = DWORD(std::uint64_t(length));
    const DWORD high = DWORD(std::uint64_t(length) >> 32);
    if (LockFileEx(handleOf(handle_), LOCKFILE_FAIL_IMMEDIATELY, 0, low, high, &position) == 0) {
        return true;
    }
    position = at(offset);
    UnlockFileEx(handleOf(handle_), 0, low, high, &position);
    return false;
}

bool NativeFile::tryLock(std::int64_t offset, std::int64_t length) {
    OVERLAPPED position = at(offset);
    return isOpen() &&
           LockFileEx(handleOf(handle_), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0,
                      DWORD(std::uint64_t(length)), DWORD(std::uint64_t(length) >> 32),
                      &position) != 0;
}

FileStatus StatusOf(const QString& path) {
    FileStatus status;
    // Attributes only, and folders too (backup semantics), so that any path
    // can be asked about; links are followed.
    const HANDLE file =
        CreateFileW(wide(QDir::toNativeSeparators(path)), FILE_READ_ATTRIBUTES, kShareAll, nullptr,
                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) return status;
    BY_HANDLE_FILE_INFORMATION info{};
    if (GetFileInformationByHandle(file, &info) != 0) {
        status.exists = true;
        status.regular = GetFileType(file) == FILE_TYPE_DISK &&
                         (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
        status.device = info.dwVolumeSerialNumber;
        status.inode = std::uint64_t(info.nFileIndexHigh) << 32 | info.nFileIndexLow;
        status.size = std::int64_t(std::uint64_t(info.nFileSizeHigh) << 32 | info.nFileSizeLow);
        status.modifiedNs = nanoseconds(info.ftLastWriteTime);
    } else {
        // A device such as NUL answers to its name but has no file
        // information.
        status.exists = true;
    }
    CloseHandle(file);
    return status;
}

FileStatus EntryStatusOf(const QString& path) {
    FileStatus status;
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (GetFileAttributesExW(wide(QDir::toNativeSeparators(path)), GetFileExInfoStandard, &data) ==
        0) {
        return status;
    }
    status.exists = true;
    status.regular =
        (data.dwFileAttributes &
         (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE)) == 0;
    status.size = std::int64_t(std::uint64_t(data.nFileSizeHigh) << 32 | data.nFileSizeLow);
    status.modifiedNs = nanoseconds(data.ftLastWriteTime);
    return status;
}

#else

namespace {
int fdOf(qintptr handle) { return int(handle); }
}  // namespace

NativeFile::NativeFile(const QString& path, Access access) {
    const int flags = (access == Access::Read ? O_RDONLY | O_NONBLOCK : O_RDWR) | O_CLOEXEC;
    const int fd = ::open(QFile::encodeName(path).constData(), flags);
    if (fd >= 0) handle_ = fd;
}

NativeFile::~NativeFile() {
    if (isOpen()) ::close(fdOf(handle_));
}

bool NativeFile::readAt(std::int64_t offset, void* into, std::size_t bytes) const {
    return isOpen() && ::pread(fdOf(handle_), into, bytes, off_t(offset)) == ssize_t(bytes);
}

bool NativeFile::writeAt(std::int64_t offset, const void* from, std::size_t bytes) {
    return isOpen() && ::pwrite(fdOf(handle_), from, bytes, off_t(offset)) == ssize_t(bytes);
}

bool NativeFile::flush() { return isOpen() && ::fsync(fdOf(handle_)) == 0; }

bool NativeFile::lockedByOther(std::int64_t offset, std::int64_t length) const {
    struct flock probe {};
    probe.l_type = F_WRLCK;
    probe.l_whence = SEEK_SET;
    probe.l_start = off_t(offset);
    probe.l_len = off_t(length);
    return isOpen() && ::fcntl(fdOf(handle_), F_GETLK, &probe) == 0 && probe.l_type != F_UNLCK;
}

bool NativeFile::tryLock(std::int64_t offset, std::int64_t length) {
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    lock.l_start = off_t(offset);
    lock.l_len = off_t(length);
#if defined(F_OFD_SETLK)
    // A lock of this open file rather than of the process: it meets the
    // engine's locks in this process too, and closing another descriptor of
    // the file, which drops every lock the process holds the classic way,
    // leaves it alone.
    return isOpen() && ::fcntl(fdOf(handle_), F_OFD_SETLK, &lock) == 0;
#else
    return isOpen() && ::fcntl(fdOf(handle_), F_SETLK, &lock) == 0;
#endif
}

namespace {

FileStatus statusFrom(const struct stat& info) {
    FileStatus status;
    status.exists = true;
    status.regular = S_ISREG(info.st_mode);
    status.device = std::uint64_t(info.st_dev);
    status.inode = std::uint64_t(info.st_ino);
    status.size = std::int64_t(info.st_size);
    status.modifiedNs = std::int64_t(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec;
    return status;
}

}  // namespace

FileStatus StatusOf(const QString& path) {
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0) return {};
    return statusFrom(info);
}

FileStatus EntryStatusOf(const QString& path) {
    struct stat info {};
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0) return {};
    return statusFrom(info);
}

#endif

}  // namespace quarrow
