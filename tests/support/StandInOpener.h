#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace quarrow::test {

// A stand-in for the desktop's opener, put where the system looks for the
// real one, that records every target it is handed and the folder it runs
// in, for tests of the real launcher:
// - Linux: an `xdg-open` first on PATH, which records its arguments.
// - Windows: a program registered to open web addresses (http and ftp), and
//   the script dz.cmd in the current folder, which calls it. Windows builds
//   the program's command line from the registration, `"stand-in" %1`; the
//   stand-in records everything after its own name as the one argument.
class StandInOpener {
public:
    StandInOpener();
    ~StandInOpener();
    StandInOpener(const StandInOpener&) = delete;
    StandInOpener& operator=(const StandInOpener&) = delete;

    // Empty when the stand-in is in place; else why it cannot be.
    const QString& unavailable() const { return unavailable_; }

    struct Call {
        QStringList arguments;
        QString folder;
    };
    QList<Call> calls() const;

private:
    QString logPath() const { return dir_.filePath(QStringLiteral("calls.log")); }

    QTemporaryDir dir_;
    QString unavailable_;
    QByteArray previousPath_;
    QStringList previousHandlers_;
};

}  // namespace quarrow::test
