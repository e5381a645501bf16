#include "Progress.h"

#include <QIODevice>
#include <QLocale>
#include <cmath>
#include <cstdio>

#if defined(Q_OS_WIN)
#include <io.h>
#else
#include <unistd.h>
#endif

namespace quarrow {

namespace {

constexpr qint64 kRedrawMilliseconds = 200;

// 1,234,567: the C locale, with the thousands grouped.
QString count(qint64 value) {
    QLocale locale = QLocale::c();
    locale.setNumberOptions(QLocale::DefaultNumberOptions);
    return locale.toString(value);
}

QString duration(double seconds) {
    const qint64 s = qint64(std::ceil(seconds));
    if (s < 60) return QStringLiteral("%1 s").arg(s);
    if (s < 3600) return QStringLiteral("%1 min %2 s").arg(s / 60).arg(s % 60);
    return QStringLiteral("%1 h %2 min").arg(s / 3600).arg((s % 3600) / 60);
}

}  // namespace

bool StandardErrorIsTerminal() {
#if defined(Q_OS_WIN)
    return _isatty(_fileno(stderr)) != 0;
#else
    return isatty(fileno(stderr)) != 0;
#endif
}

Progress::Progress(QIODevice& terminal, QString file, bool enabled)
    : terminal_(terminal), file_(std::move(file)), enabled_(enabled) {
    clock_.start();
}

Progress::~Progress() { finish(); }

QString Progress::Line(const QString& file, qint64 rowsDone, double doneShare,
                       double elapsedSeconds) {
    if (doneShare >= 1.0) {
        return QStringLiteral("%1: %2 rows, building the search index").arg(file, count(rowsDone));
    }
    QString line = QStringLiteral("%1: %2 rows").arg(file, count(rowsDone));
    if (doneShare >= 0) line += QStringLiteral(" (%1%)").arg(int(doneShare * 100));
    if (elapsedSeconds > 0) {
        line += QStringLiteral(", %1 rows/s").arg(count(qint64(double(rowsDone) / elapsedSeconds)));
    }
    if (doneShare > 0 && elapsedSeconds > 0) {
        line +=
            QStringLiteral(", %1 left").arg(duration(elapsedSeconds * (1 - doneShare) / doneShare));
    }
    return line;
}

void Progress::update(qint64 rowsDone, double doneShare) {
    if (!enabled_ || rowsFinished_) return;
    const qint64 now = clock_.elapsed();
    const bool last = doneShare >= 1.0;
    if (!last && now - lastDrawn_ < kRedrawMilliseconds) return;
    lastDrawn_ = now;
    rowsFinished_ = last;
    draw(Line(file_, rowsDone, doneShare, double(now) / 1000));
}

void Progress::finish() {
    if (!enabled_ || drawnWidth_ == 0) return;
    terminal_.write("\r" + QByteArray(drawnWidth_, ' ') + "\r");
    drawnWidth_ = 0;
}

void Progress::draw(const QString& line) {
    QByteArray bytes = "\r" + line.toUtf8();
    // Blanks over what is left of a longer line before.
    const qsizetype width = line.size();
    if (width < drawnWidth_) bytes += QByteArray(drawnWidth_ - width, ' ');
    drawnWidth_ = std::max(width, drawnWidth_);
    terminal_.write(bytes);
}

}  // namespace quarrow
