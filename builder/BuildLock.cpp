#include "BuildLock.h"

#include "core/Exception.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <cstdio>

#if defined(Q_OS_WIN)
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>
#endif

namespace quarrow {

namespace {

// How often a waiting build tries the lock again.
constexpr int kRetryMs = 100;

QString shown(const QString& path) { return QDir::toNativeSeparators(path); }

void sayWaiting(const QString& target, const QString& lock, const QString& holder,
                std::chrono::seconds wait) {
    const QString line = QStringLiteral(
                             "quarrow-catalogue: waiting for another build of '%1' to finish: "
                             "its lock '%2' is held by %3; giving up after %4 s\n")
                             .arg(shown(target), shown(lock), holder)
                             .arg(qint64(wait.count()));
    std::fputs(line.toLocal8Bit().constData(), stderr);
    std::fflush(stderr);
}

[[noreturn]] void giveUp(const QString& lock, const QString& holder, std::chrono::seconds wait) {
    throw Exception(QStringLiteral("gave up after waiting %1 s for another build of it: its lock "
                                   "'%2' is held by %3. Build again once that build has ended, or "
                                   "wait longer with --wait SECONDS.")
                        .arg(qint64(wait.count()))
                        .arg(shown(lock), holder));
}

[[noreturn]] void cannotOpen(const QString& lock, const QString& reason) {
    throw Exception(QStringLiteral("Cannot open the build lock '%1': %2")
                        .arg(shown(lock), reason.endsWith(u'.') ? reason : reason + u'.'));
}

#if defined(Q_OS_WIN)

HANDLE openLockFile(const QString& path) {
    // Not shared for deleting, so that the file cannot vanish under a build
    // that holds it.
    const HANDLE file = CreateFileW(
        reinterpret_cast<const wchar_t*>(shown(path).utf16()), GENERIC_READ | GENERIC_WRITE,
        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_HIDDEN, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        cannotOpen(path, qt_error_string(int(GetLastError())).trimmed());
    }
    return file;
}

bool tryLock(HANDLE file, const QString& path) {
    OVERLAPPED whole{};
    if (LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &whole)) {
        return true;
    }
    const DWORD error = GetLastError();
    if (error == ERROR_LOCK_VIOLATION || error == ERROR_IO_PENDING) return false;
    CloseHandle(file);
    cannotOpen(path, qt_error_string(int(error)).trimmed());
}

#else

QByteArray native(const QString& path) { return QFile::encodeName(path); }

QString systemError() { return QString::fromLocal8Bit(std::strerror(errno)); }

// Readable and writable by those who may write in the folder, who may build
// there, and by nobody else: whoever may only read the folder cannot open
// the file, let alone lock it.
mode_t lockFileMode(const QString& folder) {
    mode_t mode = S_IRUSR | S_IWUSR;
    struct stat status {};
    if (::stat(native(folder).constData(), &status) == 0) {
        if ((status.st_mode & S_IWGRP) != 0) mode |= S_IRGRP | S_IWGRP;
        if ((status.st_mode & S_IWOTH) != 0) mode |= S_IROTH | S_IWOTH;
    }
    return mode;
}

// Opens the lock file, creating it when it is not there. Whatever else is
// found under its name (a link, a pipe, a folder) is refused.
int openLockFile(const QString& path, mode_t mode) {
    const QByteArray name = native(path);
    for (;;) {
        int fd = ::open(name.constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, mode);
        if (fd >= 0) {
            // The mode as asked, whatever the process's umask.
            ::fchmod(fd, mode);
            return fd;
        }
        if (errno != EEXIST) cannotOpen(path, systemError());
        fd = ::open(name.constData(), O_RDWR | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
        if (fd < 0) {
            // Removed meanwhile by the build that held it: create it anew.
            if (errno == ENOENT) continue;
            cannotOpen(path, systemError());
        }
        struct stat status {};
        if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
            ::close(fd);
            cannotOpen(path, QStringLiteral("it is not a regular file"));
        }
        return fd;
    }
}

struct flock wholeFile(short type) {
    struct flock lock {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    lock.l_start = 0;
    lock.l_len = 0;
    return lock;
}

bool tryLock(int fd, const QString& path) {
    struct flock lock = wholeFile(F_WRLCK);
    if (::fcntl(fd, F_SETLK, &lock) == 0) return true;
    if (errno == EACCES || errno == EAGAIN) return false;
    const QString reason = systemError();
    ::close(fd);
    cannotOpen(path, reason);
}

// A build that ends removes its lock file; a build that waited on the
// removed file must take the lock of the file now under that name.
bool stillNamed(int fd, const QString& path) {
    struct stat open {};
    struct stat named {};
    return ::fstat(fd, &open) == 0 && ::stat(native(path).constData(), &named) == 0 &&
           open.st_dev == named.st_dev && open.st_ino == named.st_ino;
}

// The name a process was started under, printable; empty where the system
// does not tell.
QString programName(pid_t pid) {
    QFile commandLine(QStringLiteral("/proc/%1/cmdline").arg(pid));
    if (!commandLine.open(QIODevice::ReadOnly)) return {};
    const QByteArray first = commandLine.read(4096).split('\0').value(0);
    QString name = QFileInfo(QFile::decodeName(first)).fileName();
    for (QChar& c : name) {
        if (!c.isPrint()) c = u'?';
    }
    return name;
}

// Who holds the lock, for the user; empty when nobody does any longer.
QString holderOf(int fd) {
    struct flock lock = wholeFile(F_WRLCK);
    if (::fcntl(fd, F_GETLK, &lock) != 0) return QStringLiteral("another process");
    if (lock.l_type == F_UNLCK) return {};
    // No process id for a lock of an open file description, nor for a
    // process the system does not show this one.
    if (lock.l_pid <= 0) return QStringLiteral("another process");
    const QString name = programName(lock.l_pid);
    return name.isEmpty() ? QStringLiteral("process %1").arg(lock.l_pid)
                          : QStringLiteral("process %1 (%2)").arg(lock.l_pid).arg(name);
}

#endif

}  // namespace

QString BuildLock::PathFor(const QString& target) {
    const QFileInfo output(target);
    const QString name = u'.' + output.fileName() + QStringLiteral(".quarrow-build-lock");
    return output.path() == u"." ? name : output.dir().filePath(name);
}

#if defined(Q_OS_WIN)

BuildLock::BuildLock(const QString& target, std::chrono::seconds wait) : path_(PathFor(target)) {
    const QDeadlineTimer deadline(wait);
    const HANDLE file = openLockFile(path_);
    // The system does not tell who holds a lock on a file.
    const QString holder = QStringLiteral("another build");
    bool said = false;
    while (!tryLock(file, path_)) {
        if (deadline.hasExpired()) {
            CloseHandle(file);
            giveUp(path_, holder, wait);
        }
        if (!said) sayWaiting(target, path_, holder, wait);
        said = true;
        QThread::msleep(kRetryMs);
    }
    handle_ = reinterpret_cast<qintptr>(file);
}

BuildLock::~BuildLock() {
    const auto file = reinterpret_cast<HANDLE>(handle_);
    OVERLAPPED whole{};
    UnlockFileEx(file, 0, 1, 0, &whole);
    CloseHandle(file);
}

#else

BuildLock::BuildLock(const QString& target, std::chrono::seconds wait) : path_(PathFor(target)) {
    const QDeadlineTimer deadline(wait);
    const mode_t mode = lockFileMode(QFileInfo(target).absolutePath());
    QString said;
    for (;;) {
        const int fd = openLockFile(path_, mode);
        bool locked = tryLock(fd, path_);
        while (!locked && stillNamed(fd, path_)) {
            const QString holder = holderOf(fd);
            if (!holder.isEmpty()) {
                if (deadline.hasExpired()) {
                    ::close(fd);
                    giveUp(path_, holder, wait);
                }
                if (holder != said) sayWaiting(target, path_, holder, wait);
                said = holder;
                QThread::msleep(kRetryMs);
            }
            locked = tryLock(fd, path_);
        }
        if (locked && stillNamed(fd, path_)) {
            handle_ = fd;
            return;
        }
        ::close(fd);
    }
}

BuildLock::~BuildLock() {
    const int fd = int(handle_);
    // Removed while still held, so that no build takes the lock of a file
    // that is no longer there.
    if (stillNamed(fd, path_)) ::unlink(native(path_).constData());
    ::close(fd);
}

#endif

}  // namespace quarrow
