#include "StartupMeasurement.h"

#include "BenchData.h"
#include "ExposureProbe.h"
#include "ProcessRun.h"

#include <QDir>
#include <algorithm>
#include <cstdio>
#include <stdexcept>
#include <vector>

namespace quarrow::bench {

namespace {

constexpr double kMostTimesWindowWithText = 1.5;

// Milliseconds from just before the process is started to the moment the
// probe reports its window exposed.
double timeToWindow(const QStringList& command) {
    const QString& program = command.front();
    QByteArray printed;
    const long long started = MonotonicNanoseconds();
    const int code = RunProgram(command, &printed);
    bool ok = false;
    const long long shown = printed.trimmed().toLongLong(&ok);
    if (code != 0 || !ok) {
        throw std::runtime_error(qPrintable(QStringLiteral("%1 ended with %2 and printed '%3'")
                                                .arg(program)
                                                .arg(code)
                                                .arg(QString::fromUtf8(printed))));
    }
    return double(shown - started) / 1e6;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

}  // namespace

QList<ResultRow> MeasureStartup(const QString& programFolder, int runs) {
    const CatalogueFiles catalogue = DriverCatalogue(1'000'000);
    const QString previous = QDir::currentPath();
    QDir::setCurrent(catalogue.folder);
    const QDir programs(programFolder);
    struct Probe {
        QStringList command;
        std::vector<double> times;
    };
    const QString empty = programs.filePath(QStringLiteral("empty-window-probe"));
    Probe quarrow{{programs.filePath(QStringLiteral("quarrow-startup-probe"))}, {}};
    Probe emptyWindow{{empty}, {}};
    Probe withText{{empty, QStringLiteral("--text")}, {}};
    // Rotating which goes first evens out what one run leaves behind for
    // the next (caches, a busy core).
    for (int run = 0; run < runs; ++run) {
        Probe* order[] = {&quarrow, &emptyWindow, &withText};
        std::rotate(std::begin(order), std::begin(order) + run % 3, std::end(order));
        for (Probe* probe : order) probe->times.push_back(timeToWindow(probe->command));
        std::fprintf(stderr,
                     "start-up run %d: Quarrow %.1f ms, empty window %.1f ms, "
                     "one line of text %.1f ms\n",
                     run + 1, quarrow.times.back(), emptyWindow.times.back(),
                     withText.times.back());
    }
    QDir::setCurrent(previous);
    const double t = median(withText.times);
    const auto beside = [&](const QString& what, double ms, bool reference) {
        return ResultRow{
            QStringLiteral("5"),
            QStringLiteral("%1 (median of %2)").arg(what).arg(runs),
            Milliseconds(ms),
            Milliseconds(t) +
                QStringLiteral(" (one line of text; at most x%1)").arg(kMostTimesWindowWithText),
            Ratio(ms, t),
            ms <= kMostTimesWindowWithText * t,
            reference};
    };
    return {beside(QStringLiteral("start-up to main window shown, vek.mdb 1,000,000 rows"),
                   median(quarrow.times), false),
            beside(QStringLiteral("the same window empty, without any text"),
                   median(emptyWindow.times), true)};
}

}  // namespace quarrow::bench
