#pragma once

#include <QString>
#include <QtGlobal>
#include <chrono>

namespace quarrow {

// How long a build waits for another build of the same output by default.
// The longest a build holds the lock for is the time it takes to write the
// largest catalogue: 10 million rows (what the program's bound of work is
// sized for) took some 9 minutes on a shared 2-core machine. A lock held
// longer than that belongs, as good as surely, to a build that hangs or to
// another program, and waiting on would only hide it.
constexpr std::chrono::seconds kDefaultBuildLockWait{15 * 60};

// Builds of one output take turns through a lock on a file of their own
// beside it, ".<name>.quarrow-build-lock", never on the folder, which
// anyone who may read it could lock. On Linux and other Unix systems it is
// a POSIX record lock, which the system gives up however the process ends
// and whose holder the system names; the file is removed when the build
// ends. On Windows it is a byte-range lock on the same file, which stays.
class BuildLock {
public:
    // Takes the lock for the output at `target`, waiting at most `wait` for
    // a build that holds it and saying on standard error who holds it.
    // Throws Exception when the lock cannot be taken or the wait runs out.
    BuildLock(const QString& target, std::chrono::seconds wait);
    ~BuildLock();
    BuildLock(const BuildLock&) = delete;
    BuildLock& operator=(const BuildLock&) = delete;

    // The lock file of the output at `target`.
    static QString PathFor(const QString& target);

    const QString& path() const { return path_; }
    // The open lock file: a descriptor, on Windows a handle.
    qintptr handle() const { return handle_; }

private:
    QString path_;
    qintptr handle_ = -1;
};

}  // namespace quarrow
