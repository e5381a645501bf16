#pragma once

#include "BuildLock.h"
#include "core/Exception.h"

#include <QString>
#include <chrono>
#include <memory>

namespace quarrow {

// What a build may replace, and how long it waits for another build of the
// same output.
struct OutputOptions {
    // Replace an existing regular file even when it is not a catalogue of
    // the kind being built.
    bool force = false;
    std::chrono::seconds lockWait = kDefaultBuildLockWait;
};

// An output that a build does not replace: a folder or another file that
// is not a regular file, a symbolic link that leads nowhere, or (without
// OutputOptions::force) a file that is not a catalogue of the kind being
// built. Nothing is written then.
class RefusedOutput : public Exception {
public:
    explicit RefusedOutput(QString message) : Exception(std::move(message), "RefusedOutput") {}
};

// The file a build writes: a temporary file of its own beside the output,
// which replaces the output in one atomic step when the build commits, so
// that the output is at every moment either the old catalogue or the new
// one, never missing and never half written. An output that is a symbolic
// link stays one: the file it leads to is replaced, beside which the
// temporary file is written. The new file keeps the permissions of the one
// it replaces. The temporary file is removed when the build fails, and on
// Linux when the process is ended by SIGINT, SIGTERM or SIGHUP; one left
// behind by a build ended outright is removed by the next build of the same
// output. While it lives, other builds of the same output wait (BuildLock).
class OutputFile {
public:
    // `table` is the table that every catalogue of the kind being built
    // holds: an existing output without it is not replaced unless forced.
    OutputFile(const QString& path, const QString& table, const OutputOptions& options = {});
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    const QString& temporaryPath() const { return temporary_; }
    // Puts the finished temporary file in place of the output.
    void commit();

private:
    QString target_;  // the output, or the file its symbolic link leads to
    std::unique_ptr<BuildLock> lock_;
    QString temporary_;
    bool committed_ = false;
};

}  // namespace quarrow
