#pragma once

#include <QElapsedTimer>
#include <QString>

class QIODevice;

namespace quarrow {

// True when standard error is a terminal: progress is shown only there, so
// that logs and pipes get the final lines alone.
bool StandardErrorIsTerminal();

// The progress of a long build, redrawn on one line of a terminal at most
// five times a second: rows done, rows per second and the time left.
class Progress {
public:
    // `file` is the catalogue being written. A disabled progress prints
    // nothing.
    Progress(QIODevice& terminal, QString file, bool enabled);
    ~Progress();
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    // Rows done, and the share of the work done from 0 to 1 (negative when
    // unknown: the time left is not shown then).
    void update(qint64 rowsDone, double doneShare);
    // Clears the line.
    void finish();

    static QString Line(const QString& file, qint64 rowsDone, double doneShare,
                        double elapsedSeconds);

private:
    void draw(const QString& line);

    QIODevice& terminal_;
    QString file_;
    bool enabled_;
    QElapsedTimer clock_;
    qint64 lastDrawn_ = 0;
    qsizetype drawnWidth_ = 0;
    bool rowsFinished_ = false;
};

}  // namespace quarrow
