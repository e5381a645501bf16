#pragma once

#include <QByteArray>
#include <QtGlobal>

namespace quarrow {

// A lock on a file between processes, held for as long as the object
// lives: shared, or exclusive against every other holder. The engine's own
// locks are separate, so programs that only read the file through the engine
// are never blocked by these. The system calls sit in FileShareLock.cpp.
class FileShareLock {
public:
    enum class Kind { Shared, Exclusive };
    enum class Result { Taken, HeldByAnother, FileUnreadable };

    FileShareLock() = default;
    ~FileShareLock() { release(); }
    FileShareLock(const FileShareLock&) = delete;
    FileShareLock& operator=(const FileShareLock&) = delete;

    // Takes the lock without waiting; a lock already held is given up first.
    // The path is in UTF-8, as the engine takes it.
    Result take(const QByteArray& nativePath, Kind kind);
    void release() noexcept;

private:
    qintptr handle_ = -1;  // a descriptor, or on Windows a handle
};

}  // namespace quarrow
