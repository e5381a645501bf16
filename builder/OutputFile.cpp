#include "OutputFile.h"

#include "db/CatalogueFile.h"
#include "db/Sqlite.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>
#include <QUrl>
#include <cstdio>
#include <cstring>

#if defined(Q_OS_WIN)
#include <windows.h>
#else
#include <sys/stat.h>
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
void removeOnEnding(const QString&, const BuildLock&) {}
void forgetPendingRemoval() {}

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

// What to remove should the process be ended while a build runs: the
// temporary file, and the lock file while it is still the one this build
// holds. Plain memory, because a signal handler may only call the few
// functions that the system allows there (unlink, stat, fstat).
char pendingRemoval[4096];
char pendingLock[4096];
int pendingLockDescriptor = -1;
const int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP};
struct sigaction previousActions[std::size(kEndingSignals)];

void removeAndEnd(int signal) {
    if (pendingRemoval[0] != '\0') ::unlink(pendingRemoval);
    struct stat held {};
    struct stat named {};
    if (pendingLock[0] != '\0' && ::fstat(pendingLockDescriptor, &held) == 0 &&
        ::stat(pendingLock, &named) == 0 && held.st_dev == named.st_dev &&
        held.st_ino == named.st_ino) {
        ::unlink(pendingLock);
    }
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

bool copyName(const QString& path, char (&into)[4096]) {
    const QByteArray native = QFile::encodeName(path);
    if (std::size_t(native.size()) >= sizeof into) return false;
    std::memcpy(into, native.constData(), std::size_t(native.size()) + 1);
    return true;
}

void removeOnEnding(const QString& temporary, const BuildLock& lock) {
    if (!copyName(temporary, pendingRemoval)) return;
    if (copyName(lock.path(), pendingLock)) pendingLockDescriptor = int(lock.handle());
    struct sigaction action {};
    action.sa_handler = removeAndEnd;
    sigemptyset(&action.sa_mask);
    for (std::size_t k = 0; k < std::size(kEndingSignals); ++k) {
        sigaction(kEndingSignals[k], &action, &previousActions[k]);
    }
}

void forgetPendingRemoval() {
    if (pendingRemoval[0] == '\0') return;
    for (std::size_t k = 0; k < std::size(kEndingSignals); ++k) {
        sigaction(kEndingSignals[k], &previousActions[k], nullptr);
    }
    pendingRemoval[0] = '\0';
    pendingLock[0] = '\0';
    pendingLockDescriptor = -1;
}

void replaceAtomically(const QString& from, const QString& to) {
    if (std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) != 0) {
        throw Exception(QStringLiteral("Cannot put the new catalogue in place of '%1': %2.")
                            .arg(to, QString::fromLocal8Bit(std::strerror(errno))));
    }
}

#endif

// Temporary files of this output that a build left behind when it was ended
// outright. Builds of one output take turns, so while this build holds the
// lock no other is writing one of them.
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

// The file a build of `path` writes: the output itself, or, when it is a
// symbolic link, the file the link leads to, so that the link stays.
QString fileToWrite(const QString& path) {
    const QFileInfo output(path);
    if (!output.isSymbolicLink()) return path;
    const QString target = output.canonicalFilePath();
    if (target.isEmpty()) {
        throw RefusedOutput(QStringLiteral("it is a symbolic link to '%1', which does not exist")
                                .arg(QDir::toNativeSeparators(output.symLinkTarget())));
    }
    return target;
}

// Whether the file at `path` is an SQLite database holding `table`. It is
// read as it lies on disk, without locks and without a look at any journal,
// so that looking changes nothing, whatever the file is.
bool holdsTable(const QString& path, const QString& table) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.read(16) != QByteArray("SQLite format 3", 16)) {
        return false;
    }
    file.close();
    const QByteArray uri =
        QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()).toEncoded() + "?immutable=1";
    sqlite3* db = nullptr;
    bool holds = false;
    if (sqlite3_open_v2(uri.constData(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, nullptr) ==
        SQLITE_OK) {
        try {
            Statement tables(db,
                             "SELECT 1 FROM sqlite_schema WHERE type = 'table' AND "
                             "lower(name) = lower(?1)");
            tables.bindText(1, table);
            holds = tables.step();
        } catch (const Exception&) {
            holds = false;
        }
    }
    sqlite3_close(db);
    return holds;
}

// Refuses to replace what is not a catalogue of the kind being built, unless
// forced; an empty file holds nothing to lose. What is not a regular file is
// never replaced.
void checkReplaceable(const QString& path, const QString& table, bool force) {
    const QFileInfo output(path);
    if (!output.exists()) return;
    if (output.isDir()) throw RefusedOutput(QStringLiteral("it is a folder"));
    if (!output.isFile()) {
        throw RefusedOutput(
            QStringLiteral("it is not a regular file but a device, pipe or socket, which a build "
                           "never replaces"));
    }
    if (force || output.size() == 0 || holdsTable(path, table)) return;
    throw RefusedOutput(
        QStringLiteral("it is not a catalogue of the kind being built (an SQLite database with "
                       "the table %1), so the build does not replace it; give --force to replace "
                       "it all the same")
            .arg(table));
}

}  // namespace

OutputFile::OutputFile(const QString& path, const QString& table, const OutputOptions& options)
    : target_(fileToWrite(path)) {
    const QFileInfo folder(QFileInfo(target_).absolutePath());
    if (!folder.isDir()) {
        throw Exception(QStringLiteral("its folder '%1' does not exist")
                            .arg(QDir::toNativeSeparators(folder.filePath())));
    }
    lock_ = std::make_unique<BuildLock>(target_, options.lockWait);
    // Looked at while this build holds the lock, so that a build that has
    // just put its catalogue in place is seen as the catalogue it is.
    checkReplaceable(target_, table, options.force);
    const QFileInfo output(target_);
    removeLeftovers(output);
    QTemporaryFile file(target_ + QString::fromLatin1(kTemporarySuffix));
    file.setAutoRemove(false);
    if (!file.open()) {
        throw Exception(QStringLiteral("Cannot write in the folder of '%1': %2.")
                            .arg(target_, file.errorString()));
    }
    temporary_ = file.fileName();
    // A catalogue is read by whoever runs the program, so it does not keep
    // the private permissions of a temporary file; one that replaces
    // another keeps that one's, which its users rely on.
    file.setPermissions(output.exists() ? output.permissions()
                                        : QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup |
                                              QFile::ReadOther);
    file.close();
    removeOnEnding(temporary_, *lock_);
}

OutputFile::~OutputFile() {
    if (!committed_) QFile::remove(temporary_);
    forgetPendingRemoval();
}

void OutputFile::commit() {
    // Every build gets a change counter of its own, so that a program that
    // has the old catalogue open sees at once that the file is another.
    StampFreshChangeCounter(temporary_);
    replaceAtomically(temporary_, target_);
    committed_ = true;
}

}  // namespace quarrow
