#pragma once

#include <QString>
#include <QtGlobal>
#include <memory>

class QProcess;

namespace quarrow {

// What converting a Jet catalogue asks of the system, each on the system's
// own calls; the calls sit in ConversionSystem.cpp.

// Bounds on the reader's process: the memory it may take and the processor
// time it may use. A process that passes either is ended by the system.
struct ReaderBounds {
    quint64 memoryBytes = quint64(2) << 30;
    int processorSeconds = 30 * 60;
};

// Holds a started process to its bounds for as long as it lives. Create it
// before the process starts and call started() once it has; on Linux the
// limits are set in the child before the reader runs, on Windows the child
// is put into a job that holds the limits and ends the child when the job
// closes. Ending a process that crashes never waits for a crash dialog or
// leaves a core file behind.
class BoundedProcess {
public:
    BoundedProcess(QProcess& process, const ReaderBounds& bounds);
    ~BoundedProcess();
    BoundedProcess(const BoundedProcess&) = delete;
    BoundedProcess& operator=(const BoundedProcess&) = delete;

    void started();

private:
    struct Job;
    QProcess& process_;
    std::unique_ptr<Job> job_;
};

// Gives the file at `path` the second name `kept` without copying where the
// volume allows it (a hard link), else as a byte-for-byte copy. Never
// replaces an existing `kept`. Returns false when neither works.
bool KeepUnderSecondName(const QString& path, const QString& kept);

// Puts the file `from` in the place of `to` in one step: whoever looks at
// `to` finds either the old file or the new one. Throws EOleException.
void ReplaceFile(const QString& from, const QString& to);

}  // namespace quarrow
