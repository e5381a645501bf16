#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <cstdint>

namespace quarrow::test {

// Driver catalogues whose table_1 names are `names`, in this order; device
// catalogues whose device texts are `devices`, numbered from 1 (or by
// `codes`).
void WriteDrivers(const QString& path, const QStringList& names);
void WriteDevices(const QString& path, const QStringList& devices, const QList<int>& codes = {});

QByteArray ReadWhole(const QString& path);
// Writes `content` over the file in place, as copying a file over another
// does.
void WriteInPlace(const QString& path, const QByteArray& content);

// Runs statements on the file through the engine alone, as another program
// does; returns the engine's error, empty when they ran.
QString RunSql(const QString& path, const QString& sql);

// The engine's and the trigram index's own checks ("ok" when both pass), and
// the values of `column` by row id.
struct FileState {
    QString integrity;
    QStringList values;
};
FileState StateOf(const QString& path, const QString& table, const QString& column);

// The file's modification time in nanoseconds, and setting it to the
// nanosecond, as a copy that keeps times does.
std::int64_t ModifiedNs(const QString& path);
bool SetModifiedNs(const QString& path, std::int64_t nanoseconds);

// The change counter in the file's header, and giving the file another,
// with the header's size in pages kept valid.
std::uint32_t ChangeCounterOf(const QString& path);
void SetChangeCounter(const QString& path, std::uint32_t counter);

// reliability_helper run with `arguments`; waits for its first line.
class HelperRun {
public:
    explicit HelperRun(const QStringList& arguments);
    ~HelperRun();
    HelperRun(const HelperRun&) = delete;
    HelperRun& operator=(const HelperRun&) = delete;
    // The first line it printed, without the line end.
    const QByteArray& firstLine() const { return line_; }
    // Ends it as a kill does (SIGKILL, TerminateProcess) and waits for it.
    void kill();
    // Waits for it to end by itself; its exit code.
    int waitForExit();

private:
    QProcess process_;
    QByteArray line_;
};

}  // namespace quarrow::test
