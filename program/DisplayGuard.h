#pragma once

#include <QList>
#include <QString>
#include <QtMessageHandler>

namespace quarrow {

// Guards the creation of the application object. Qt ends the process with
// an abort when no platform plugin can reach a display; while a guard lives,
// that ends it instead with one line on standard error,
//   quarrow: no graphical display: <why>
// and exit code 1. Qt's other messages meanwhile are held back and passed on
// when the guard ends, so a start that works prints what it always did.
class DisplayGuard {
public:
    DisplayGuard();
    ~DisplayGuard();
    DisplayGuard(const DisplayGuard&) = delete;
    DisplayGuard& operator=(const DisplayGuard&) = delete;

    // The line printed when Qt gives up, from the environment and what Qt
    // said before it.
    static QString NoDisplayLine(const QString& qtMessage);

private:
    QString reason() const;
    static void handle(QtMsgType type, const QMessageLogContext& context, const QString& message);

    struct Held {
        QtMsgType type;
        QByteArray category;
        QString message;
    };
    QtMessageHandler previous_ = nullptr;
    QList<Held> held_;
};

}  // namespace quarrow
