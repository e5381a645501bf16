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

constexpr double kMostTimesEmptyWindow = 1.5;

// Milliseconds from just before the process is started to the moment the
// probe reports its window exposed.
double timeToWindow(const QString& program) {
    QByteArray printed;
    const long long started = MonotonicNanoseconds();
    const int code = RunProgram({program}, &printed);
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
    const QString quarrow = programs.filePath(QStringLiteral("quarrow-startup-probe"));
    const QString empty = programs.filePath(QStringLiteral("empty-window-probe"));
    std::vector<double> ours;
    std::vector<double> theirs;
    // Alternating which goes first evens out what one run leaves behind for
    // the next (caches, a busy core).
    for (int run = 0; run < runs; ++run) {
        if (run % 2 == 0) {
            ours.push_back(timeToWindow(quarrow));
            theirs.push_back(timeToWindow(empty));
        } else {
            theirs.push_back(timeToWindow(empty));
            ours.push_back(timeToWindow(quarrow));
        }
        std::fprintf(stderr, "start-up run %d: Quarrow %.1f ms, empty window %.1f ms\n", run + 1,
                     ours.back(), theirs.back());
    }
    QDir::setCurrent(previous);
    const double q = median(ours);
    const double e = median(theirs);
    const ResultRow row{
        QStringLiteral("5"),
        QStringLiteral("start-up to main window shown, vek.mdb 1,000,000 rows (median of %1)")
            .arg(runs),
        Milliseconds(q),
        Milliseconds(e) + QStringLiteral(" (empty window; at most x%1)").arg(kMostTimesEmptyWindow),
        Ratio(q, e),
        q <= kMostTimesEmptyWindow * e};
    return {row};
}

}  // namespace quarrow::bench
