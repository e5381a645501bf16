#pragma once

#include <QString>
#include <QtGlobal>

namespace quarrow {

// The file a build writes: a temporary file of its own beside the output,
// which replaces the output in one atomic step when the build commits, so
// that the output is at every moment either the old catalogue or the new
// one, never missing and never half written. The temporary file is removed
// when the build fails, and on Linux when the process is ended by SIGINT,
// SIGTERM or SIGHUP; one left behind by a build ended outright is removed by
// the next build of the same output. While it lives, other builds into the
// same folder wait.
class OutputFile {
public:
    explicit OutputFile(const QString& path);
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    const QString& temporaryPath() const { return temporary_; }
    // Puts the finished temporary file in place of the output.
    void commit();

private:
    QString path_;
    QString temporary_;
    qintptr folderLock_ = -1;  // a descriptor, or on Windows a mutex
    bool committed_ = false;
};

}  // namespace quarrow
