// Times the main window's search sequence (search and count statements, the
// whole result fetched) on sample catalogues of growing size.

#include "DriverCatalogue.h"
#include "SampleCatalogue.h"
#include "db/Connection.h"
#include "db/Query.h"

#include <benchmark/benchmark.h>
#include <QDir>
#include <QFileInfo>
#include <cstdio>

namespace {

using quarrow::DriverTableLayout;

QString dataFolder() {
    const QString configured = qEnvironmentVariable("QUARROW_BENCH_DATA");
    return configured.isEmpty() ? QStringLiteral(QUARROW_BENCH_DATA) : configured;
}

QString layoutName(DriverTableLayout layout) {
    return layout == DriverTableLayout::Plain ? QStringLiteral("plain") : QStringLiteral("trigram");
}

// The folder whose vek.mdb holds `rows` sample rows; the catalogue is
// generated on first use and kept for later runs.
QString catalogueFolder(qint64 rows, DriverTableLayout layout) {
    const QString folder =
        QDir(dataFolder()).filePath(QStringLiteral("%1-%2").arg(layoutName(layout)).arg(rows));
    const QString file = QDir(folder).filePath(QStringLiteral("vek.mdb"));
    if (!QFileInfo::exists(file)) {
        QDir().mkpath(folder);
        std::fprintf(stderr, "Generating %s\n", qPrintable(file));
        quarrow::SampleOptions options;
        options.rows = rows;
        options.layout = layout;
        quarrow::WriteSampleCatalogue(file, QStringLiteral("kavrel"), options);
    }
    return folder;
}

void driverSearch(benchmark::State& state, const char* text) {
    const auto layout = static_cast<DriverTableLayout>(state.range(1));
    QString folder;
    try {
        folder = catalogueFolder(state.range(0), layout);
    } catch (const std::exception& error) {
        state.SkipWithError(error.what());
        return;
    }
    // The program opens vek.mdb from its current folder.
    const QString previous = QDir::currentPath();
    QDir::setCurrent(folder);
    quarrow::Connection connection(quarrow::MainCatalogueConnectionString());
    quarrow::Query results(&connection, QStringLiteral("ADOQuery1"));
    quarrow::Query counter(&connection, QStringLiteral("ADOQuery2"));
    connection.open();
    const QString search = QString::fromUtf8(text);
    qint64 found = 0;
    for (auto _ : state) {
        found = quarrow::RunDriverSearch(connection, results, counter, search);
        benchmark::DoNotOptimize(found);
    }
    state.counters["found"] = double(found);
    state.counters["rows"] = double(state.range(0));
    QDir::setCurrent(previous);
}

void sizes(benchmark::internal::Benchmark* benchmark) {
    for (const auto layout : {DriverTableLayout::TrigramIndexed, DriverTableLayout::Plain}) {
        for (const int rows : {10'000, 100'000, 1'000'000}) {
            benchmark->Args({rows, static_cast<int>(layout)});
        }
    }
    benchmark->ArgNames({"rows", "plain"})->Unit(benchmark::kMillisecond);
}

}  // namespace

BENCHMARK_CAPTURE(driverSearch, example, "7300 GT")->Apply(sizes);
BENCHMARK_CAPTURE(driverSearch, everything, "")->Apply(sizes);

BENCHMARK_MAIN();
