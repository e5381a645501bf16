#include "FileShareLock.h"

#include <QtGlobal>

#if defined(Q_OS_WIN)
#include <windows.h>

#include <QDir>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

namespace quarrow {

#if defined(Q_OS_WIN)

namespace {

// Windows locks byte ranges, and a locked range cannot be read or written
// through any other handle, the engine's own included. The lock therefore
// covers one byte far beyond the end of any catalogue and of the engine's
// lock bytes, where nobody reads or writes.
constexpr DWORD kLockOffsetHigh = 0x7fff0000;

HANDLE openForLocking(const QByteArray& nativePath) {
    const QString path = QDir::toNativeSeparators(QString::fromUtf8(nativePath));
    // Sharing everything: the lock, not the handle, is what denies.
    return CreateFileW(reinterpret_cast<const wchar_t*>(path.utf16()), GENERIC_READ,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

FileShareLock::Result FileShareLock::take(const QByteArray& nativePath, Kind kind) {
    release();
    const HANDLE file = openForLocking(nativePath);
    if (file == INVALID_HANDLE_VALUE) return Result::FileUnreadable;
    OVERLAPPED at{};
    at.OffsetHigh = kLockOffsetHigh;
    const DWORD flags = LOCKFILE_FAIL_IMMEDIATELY |
                        (kind == Kind::Exclusive ? DWORD(LOCKFILE_EXCLUSIVE_LOCK) : DWORD(0));
    if (LockFileEx(file, flags, 0, 1, 0, &at) == 0) {
        CloseHandle(file);
        return Result::HeldByAnother;
    }
    handle_ = reinterpret_cast<qintptr>(file);
    return Result::Taken;
}

void FileShareLock::release() noexcept {
    if (handle_ != -1) {
        // Closing the handle gives the lock up.
        CloseHandle(reinterpret_cast<HANDLE>(handle_));
        handle_ = -1;
    }
}

#else

FileShareLock::Result FileShareLock::take(const QByteArray& nativePath, Kind kind) {
    release();
    // Never blocks: should the file have been swapped for a pipe since it
    // was found to be a regular one, opening does not wait for a writer.
    const int fd = ::open(nativePath.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return Result::FileUnreadable;
    if (::flock(fd, (kind == Kind::Exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB) != 0) {
        ::close(fd);
        return Result::HeldByAnother;
    }
    handle_ = fd;
    return Result::Taken;
}

void FileShareLock::release() noexcept {
    if (handle_ != -1) {
        ::close(int(handle_));
        handle_ = -1;
    }
}

#endif

}  // namespace quarrow
