// Measures Quarrow through its real windows on the offscreen platform:
//   quarrow-measure [--window] [--startup] [--searches=N] [--startup-runs=N]
//                   [--table=FILE]
// --window: the main window on the 1,000,000-row catalogue (search, memory,
// scrolling, deletion); --startup: start-up against a window showing one
// line of text. Both when neither is given. --table appends the comparison
// lines for bench/compare.sh; they are printed in any case.

#include "StartupMeasurement.h"
#include "WindowMeasurement.h"
#include "program/QuarrowApplication.h"
#include "program/Startup.h"

#include <QCoreApplication>
#include <cstdio>

using namespace quarrow::bench;

namespace {

struct Options {
    bool window = false;
    bool startup = false;
    int searches = 5;
    int startupRuns = 15;
    QString table;
};

Options readOptions(const QStringList& arguments) {
    Options options;
    for (const QString& argument : arguments.mid(1)) {
        const QString value = argument.section(u'=', 1);
        if (argument == u"--window") {
            options.window = true;
        } else if (argument == u"--startup") {
            options.startup = true;
        } else if (argument.startsWith(u"--searches=")) {
            options.searches = std::max(1, value.toInt());
        } else if (argument.startsWith(u"--startup-runs=")) {
            options.startupRuns = std::max(1, value.toInt());
        } else if (argument.startsWith(u"--table=")) {
            options.table = value;
        } else {
            throw std::runtime_error(qPrintable(QStringLiteral("unknown option ") + argument));
        }
    }
    if (!options.window && !options.startup) options.window = options.startup = true;
    return options;
}

}  // namespace

int main(int argc, char** argv) {
    quarrow::PrepareStartupHeap();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", QByteArrayLiteral("offscreen"));
    }
    quarrow::QuarrowApplication application(argc, argv);
    try {
        const Options options = readOptions(QCoreApplication::arguments());
        QList<ResultRow> rows;
        if (options.startup) {
            rows += MeasureStartup(QCoreApplication::applicationDirPath(), options.startupRuns);
        }
        if (options.window) rows += MeasureMainWindow(options.searches);
        WriteRows(rows, QStringLiteral("-"));
        if (!options.table.isEmpty()) WriteRows(rows, options.table);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "quarrow-measure: %s\n", error.what());
        return 1;
    }
    return 0;
}
