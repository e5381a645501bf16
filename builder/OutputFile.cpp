#include "OutputFile.h"

#include "core/Exception.h"
#include "db/CatalogueFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryFile>
#include <cstdio>
#include <cstring>

#if defined(Q_OS_WIN)
#include <windows.h>

#include "db/NativeFile.h"
#else
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#include <csignal>
#endif

namespace quarrow {

namespace {

constexpr char kTemporarySuffix[] = ".part-XXXXXX";

#if defined(Q_OS_WIN)

// Windows ends a console program at Ctrl+C or when its window closes, and
// another program ends it only outright. None of these can remove the
// temporary file: the engine holds it open without letting it be deleted.
// The next build of the same output removes it (see removeLeftovers).
void removeOnEnding(const QString&) {}
void forgetPendingRemoval() {}

// A named mutex of the folder's identity (volume and file number, so that
// every spelling of its path meets); the system gives it up when the process
// ends, however it ends.
qintptr lockFolder(const QString& folder) {
    const FileStatus status = StatusOf(folder);
    const QString name = QStringLiteral("Global\\quarrow-catalogue-folder-%1-%2")
                             .arg(status.device, 0, 16)
                             .arg(status.inode, 0, 16);
    const HANDLE mutex =
        CreateMutexW(nullptr, FALSE, reinterpret_cast<const wchar_t*>(name.utf16()));
    if (mutex == nullptr) return -1;
    DWORD waited = WaitForSingleObject(mutex, 0);
    if (waited == WAIT_TIMEOUT) {
        std::fprintf(stderr, "Waiting for another build in '%s' to finish...\n",
                     QDir::toNativeSeparators(folder).toLocal8Bit().constData());
        waited = WaitForSingleObject(mutex, INFINITE);
    }
    // An abandoned mutex is owned all the same: its build ended.
    if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED) {
        CloseHandle(mutex);
        return -1;
    }
    return reinterpret_cast<qintptr>(mutex);
}

void unlockFolder(qintptr lock) {
    ReleaseMutex(reinterpret_cast<HANDLE>(lock));
    CloseHandle(reinterpret_cast<HANDLE>(lock));
}

// Replacing a file that another program holds open fails on Windows, where
// Linux would let that program keep the old one; the builder then says so.
void replaceAtomically(const QString& from, const QString& to) {
    if (MoveFileExW(reinterpret_cast<const wchar_t*>(QDir::toNativeSeparators(from).utf16()),
                    reinterpret_cast<const wchar_t*>(QDir::toNativeSeparators(to).utf16()),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) == 0) {
        const QString reason = qt_error_string(int(GetLastError())).trimmed();
        throw Exception(
            QStringLiteral("Cannot put the new catalogue in place of '%1': %2")
                .arg(QDir::toNativeSeparators(to), reason.endsWith(u'.') ? reason : reason + u'.'));
    }
}

#else

// The temporary file to remove should the process be ended while a build
// runs. Plain memory, because the signal handler may only call unlink().
char pendingRemoval[4096];
const int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP};
struct sigaction previousActions[std::size(kEndingSignals)];

void removeAndEnd(int signal) {
    if (pendingRemoval[0] != '\0') ::unlink(pendingRemoval);
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

void removeOnEnding(const QString& path) {
    const QByteArray native = QFile::encodeName(path);
    if (std::size_t(native.size()) >= sizeof pendingRemoval) return;
    std::memcpy(pendingRemoval, native.constData(), std::size_t(native.size()) + 1);
    struct sigaction action {};
    action.sa_handler = removeAndEnd;
    sigemptyset(&action.sa_mask);
    for (std::size_t k = 0; k < std::size(kEndingSignals); ++k) {
        sigaction(kEndingSignals[k], &action, &previousActions[k]);
    }
}

void forgetPendingRemoval() {
    for (std::size_t k = 0; k < std::size(kEndingSignals); ++k) {
        sigaction(kEndingSignals[k], &previousActions[k], nullptr);
    }
    pendingRemoval[0] = '\0';
}

qintptr lockFolder(const QString& folder) {
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return -1;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        std::fprintf(stderr, "Waiting for another build in '%s' to finish...\n",
                     QFile::encodeName(folder).constData());
        ::flock(fd, LOCK_EX);
    }
    return fd;
}

void unlockFolder(qintptr lock) { ::close(int(lock)); }

void replaceAtomically(const QString& from, const QString& to) {
    if (std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) != 0) {
        throw Exception(QStringLiteral("Cannot put the new catalogue in place of '%1': %2.")
                            .arg(to, QString::fromLocal8Bit(std::strerror(errno))));
    }
}

#endif

// Temporary files of this output that a build left behind when it was ended
// outright. Builds into one folder take turns, so while this build holds the
// folder no other is writing one of them.
void removeLeftovers(const QFileInfo& output) {
    const QString suffix = QString::fromLatin1(kTemporarySuffix);
    const QString prefix = output.fileName() + suffix.chopped(6);
    const QDir folder = output.absoluteDir();
    for (const QString& name : folder.entryList(QDir::Files | QDir::Hidden | QDir::System)) {
        if (name.size() == prefix.size() + 6 && name.startsWith(prefix)) {
            QFile::remove(folder.filePath(name));
        }
    }
}

}  // namespace

OutputFile::OutputFile(const QString& path) : path_(path) {
    const QFileInfo output(path);
    folderLock_ = lockFolder(output.absolutePath());
    if (folderLock_ != -1) removeLeftovers(output);
    QTemporaryFile file(path + QString::fromLatin1(kTemporarySuffix));
    file.setAutoRemove(false);
    if (!file.open()) {
        throw Exception(QStringLiteral("Cannot write in the folder of '%1': %2.")
                            .arg(path, file.errorString()));
    }
    temporary_ = file.fileName();
    // A catalogue is read by whoever runs the program, so it does not keep
    // the private permissions of a temporary file.
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
    file.close();
    removeOnEnding(temporary_);
}

OutputFile::~OutputFile() {
    if (!committed_) QFile::remove(temporary_);
    forgetPendingRemoval();
    if (folderLock_ != -1) unlockFolder(folderLock_);
}

void OutputFile::commit() {
    // Every build gets a change counter of its own, so that a program that
    // has the old catalogue open sees at once that the file is another.
    StampFreshChangeCounter(temporary_);
    replaceAtomically(temporary_, path_);
    committed_ = true;
}

}  // namespace quarrow
