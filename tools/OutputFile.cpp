#include "OutputFile.h"

#include "core/Exception.h"
#include "db/CatalogueFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>
#include <csignal>
#include <cstdio>
#include <cstring>

namespace quarrow {

namespace {

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

void removeOnEndingSignals(const QString& path) {
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

// Builds into one folder take turns, so two builds of the same output
// never race to put their files in place.
int lockFolder(const QString& folder) {
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return -1;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        std::fprintf(stderr, "Waiting for another build in '%s' to finish...\n",
                     QFile::encodeName(folder).constData());
        ::flock(fd, LOCK_EX);
    }
    return fd;
}

void replaceAtomically(const QString& from, const QString& to) {
    if (std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) != 0) {
        throw Exception(QStringLiteral("Cannot put the new catalogue in place of '%1': %2.")
                            .arg(to, QString::fromLocal8Bit(std::strerror(errno))));
    }
}

}  // namespace

OutputFile::OutputFile(const QString& path) : path_(path) {
    const QFileInfo output(path);
    folderLock_ = lockFolder(output.absolutePath());
    QTemporaryFile file(path + QStringLiteral(".part-XXXXXX"));
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
    removeOnEndingSignals(temporary_);
}

OutputFile::~OutputFile() {
    if (!committed_) QFile::remove(temporary_);
    forgetPendingRemoval();
    if (folderLock_ >= 0) ::close(folderLock_);
}

void OutputFile::commit() {
    // Every build gets a change counter of its own, so that a program that
    // has the old catalogue open sees at once that the file is another.
    StampFreshChangeCounter(temporary_);
    replaceAtomically(temporary_, path_);
    committed_ = true;
}

}  // namespace quarrow
