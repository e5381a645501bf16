#include "ConversionSystem.h"

#include "core/Exception.h"

#include <QDir>
#include <QFile>
#include <QProcess>

#if defined(Q_OS_WIN)
#include <windows.h>
#else
#include <sys/resource.h>
#include <unistd.h>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#if defined(Q_OS_LINUX)
#include <sys/prctl.h>
#endif

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QUARROW_ADDRESS_SANITIZER 1
#endif
#endif
#endif

namespace quarrow {

namespace {

QString withFullStop(QString reason) {
    reason = reason.trimmed();
    return reason.endsWith(u'.') ? reason : reason + u'.';
}

}  // namespace

#if defined(Q_OS_WIN)

namespace {

const wchar_t* wide(const QString& path) { return reinterpret_cast<const wchar_t*>(path.utf16()); }

}  // namespace

struct BoundedProcess::Job {
    HANDLE handle = nullptr;
};

BoundedProcess::BoundedProcess(QProcess& process, const ReaderBounds& bounds)
    : process_(process), job_(std::make_unique<Job>()) {
    job_->handle = CreateJobObjectW(nullptr, nullptr);
    if (job_->handle == nullptr) return;
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    // A crash ends the child at once instead of showing the system's
    // dialog, and closing the job ends a child still running.
    limits.BasicLimitInformation.LimitFlags =
        JOB_OBJECT_LIMIT_PROCESS_MEMORY | JOB_OBJECT_LIMIT_PROCESS_TIME |
        JOB_OBJECT_LIMIT_DIE_ON_UNHANDLED_EXCEPTION | JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    limits.ProcessMemoryLimit = SIZE_T(bounds.memoryBytes);
    limits.BasicLimitInformation.PerProcessUserTimeLimit.QuadPart =
        LONGLONG(bounds.processorSeconds) * 10'000'000;
    SetInformationJobObject(job_->handle, JobObjectExtendedLimitInformation, &limits,
                            sizeof limits);
    process_.setCreateProcessArgumentsModifier([](QProcess::CreateProcessArguments* arguments) {
        // A console program started from a window opens no console of its
        // own, and its crash shows no error box of the system.
        arguments->flags |= CREATE_NO_WINDOW | CREATE_DEFAULT_ERROR_MODE;
    });
}

BoundedProcess::~BoundedProcess() {
    if (job_->handle != nullptr) CloseHandle(job_->handle);
}

void BoundedProcess::started() {
    if (job_->handle == nullptr) return;
    const HANDLE child =
        OpenProcess(PROCESS_SET_QUOTA | PROCESS_TERMINATE, FALSE, DWORD(process_.processId()));
    if (child == nullptr) return;
    AssignProcessToJobObject(job_->handle, child);
    CloseHandle(child);
}

bool KeepUnderSecondName(const QString& path, const QString& kept) {
    if (CreateHardLinkW(wide(QDir::toNativeSeparators(kept)), wide(QDir::toNativeSeparators(path)),
                        nullptr) != 0) {
        return true;
    }
    if (GetLastError() == ERROR_ALREADY_EXISTS) return false;
    // FAT volumes and some shares have no hard links.
    return CopyFileW(wide(QDir::toNativeSeparators(path)), wide(QDir::toNativeSeparators(kept)),
                     TRUE) != 0;
}

void ReplaceFile(const QString& from, const QString& to) {
    if (MoveFileExW(wide(QDir::toNativeSeparators(from)), wide(QDir::toNativeSeparators(to)),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) == 0) {
        throw EOleException(
            QStringLiteral("Cannot put the converted catalogue in place of '%1': %2")
                .arg(QDir::toNativeSeparators(to),
                     withFullStop(qt_error_string(int(GetLastError())))));
    }
}

#else

struct BoundedProcess::Job {};

BoundedProcess::BoundedProcess(QProcess& process, const ReaderBounds& bounds) : process_(process) {
    const rlim_t memory = rlim_t(bounds.memoryBytes);
    const rlim_t seconds = rlim_t(bounds.processorSeconds);
    // Runs in the child between fork and exec: system calls only.
    process_.setChildProcessModifier([memory, seconds] {
    // AddressSanitizer reserves far more address space than any limit
    // that bounds a reader, so a sanitized build bounds time only.
#if !defined(__SANITIZE_ADDRESS__) && !defined(QUARROW_ADDRESS_SANITIZER)
        const struct rlimit space { memory, memory };
        setrlimit(RLIMIT_AS, &space);
#else
        (void)memory;
#endif
        const struct rlimit processor { seconds, seconds };
        setrlimit(RLIMIT_CPU, &processor);
        // A crash leaves no core file in the catalogue's folder.
        const struct rlimit core { 0, 0 };
        setrlimit(RLIMIT_CORE, &core);
#if defined(Q_OS_LINUX)
        // The reader does not outlive the program that waits for it.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
#endif
    });
}

BoundedProcess::~BoundedProcess() = default;

void BoundedProcess::started() {}

bool KeepUnderSecondName(const QString& path, const QString& kept) {
    const QByteArray from = QFile::encodeName(path);
    const QByteArray to = QFile::encodeName(kept);
    if (::link(from.constData(), to.constData()) == 0) return true;
    if (errno == EEXIST) return false;
    // Some file systems (FAT, some shares) have no hard links.
    return QFile::copy(path, kept);
}

void ReplaceFile(const QString& from, const QString& to) {
    if (std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) != 0) {
        throw EOleException(
            QStringLiteral("Cannot put the converted catalogue in place of '%1': %2")
                .arg(to, withFullStop(QString::fromLocal8Bit(std::strerror(errno)))));
    }
}

#endif

}  // namespace quarrow
