#include "FileShareLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace quarrow {

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
    if (handle_ >= 0) {
        ::close(handle_);
        handle_ = -1;
    }
}

}  // namespace quarrow
