// Times the two search windows' statements against their yardsticks on the
// same rows, registered side by side so that --benchmark_enable_random_
// interleaving runs them interleaved:
//   - selective texts against ripgrep counting the matching lines of a text
//     file of the searched column (the whole rg process);
//   - short and wildcard texts against SQLite's own LIKE on a plain copy of
//     the table, through the C API, with no function of ours registered.
//
//   quarrow-bench [--prepare] [--table=FILE] [Google Benchmark options]
// --prepare builds every catalogue and exits; --table appends one line per
// comparison (medians when repeated) for bench/compare.sh.

#include "BenchData.h"
#include "ProcessRun.h"
#include "ResultTable.h"
#include "db/Connection.h"
#include "db/Query.h"
#include "stores/DeviceCatalogue.h"
#include "stores/DriverCatalogue.h"

#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <sys/resource.h>
#include <unistd.h>
#include <QDir>
#include <QFile>
#include <cstdio>
#include <cstring>
#include <map>

using namespace quarrow;
using namespace quarrow::bench;

namespace {

// What a search window runs against one catalogue: its search, and the
// table and column that SQLite's own LIKE scans for the yardstick.
struct SearchWindow {
    QString connectionString;
    qint64 (*search)(Connection&, Query& results, Query& counter, const QString& text);
    QString table;
    QString column;
};

const SearchWindow& mainWindow() {
    static const SearchWindow window{MainCatalogueConnectionString(), RunDriverSearch,
                                     QStringLiteral("table_1"), QStringLiteral("Наименование")};
    return window;
}

const SearchWindow& deviceWindow() {
    static const SearchWindow window{DeviceCatalogueConnectionString(), RunDeviceSearch,
                                     QStringLiteral("device"), QStringLiteral("device")};
    return window;
}

struct Subject {
    QString name;  // as the table shows it
    const SearchWindow* window;
    std::function<CatalogueFiles()> files;
};

// The program opens its catalogue from the current folder.
class CurrentFolder {
public:
    explicit CurrentFolder(const QString& folder) : previous_(QDir::currentPath()) {
        QDir::setCurrent(folder);
    }
    ~CurrentFolder() { QDir::setCurrent(previous_); }
    CurrentFolder(const CurrentFolder&) = delete;
    CurrentFolder& operator=(const CurrentFolder&) = delete;

private:
    QString previous_;
};

long minorFaults() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_minflt;
}

// Memory first touched costs a page fault each time; how many a search
// causes tells how much fresh memory it uses.
class FaultCounter {
public:
    explicit FaultCounter(benchmark::State& state) : state_(state), start_(minorFaults()) {}
    ~FaultCounter() {
        state_.counters["faults"] =
            benchmark::Counter(double(minorFaults() - start_), benchmark::Counter::kAvgIterations);
    }
    FaultCounter(const FaultCounter&) = delete;
    FaultCounter& operator=(const FaultCounter&) = delete;

private:
    benchmark::State& state_;
    long start_;
};

void quarrowSearch(benchmark::State& state, const Subject& subject, const QString& text) {
    const CatalogueFiles files = subject.files();
    const CurrentFolder here(files.folder);
    Connection connection(subject.window->connectionString);
    Query results(&connection, QStringLiteral("ADOQuery1"));
    Query counter(&connection, QStringLiteral("ADOQuery2"));
    qint64 found = 0;
    const FaultCounter faults(state);
    for (auto _ : state) {
        found = subject.window->search(connection, results, counter, text);
        benchmark::DoNotOptimize(found);
    }
    state.counters["found"] = double(found);
}

class RawDatabase {
public:
    explicit RawDatabase(const QString& path) {
        if (sqlite3_open_v2(QFile::encodeName(path).constData(), &db_, SQLITE_OPEN_READONLY,
                            nullptr) != SQLITE_OK) {
            throw std::runtime_error(sqlite3_errmsg(db_));
        }
    }
    ~RawDatabase() { sqlite3_close(db_); }
    RawDatabase(const RawDatabase&) = delete;
    RawDatabase& operator=(const RawDatabase&) = delete;

    // Steps through every row and reads every column as text, as a program
    // showing the rows would; returns the rows and the bytes read.
    std::pair<qint64, std::size_t> readAll(const QByteArray& sql, const QByteArray& pattern) const {
        sqlite3_stmt* stmt = prepare(sql, pattern);
        qint64 rows = 0;
        std::size_t bytes = 0;
        const int columns = sqlite3_column_count(stmt);
        while (sqlite3_step(stmt) == SQLITE_ROW) {
            ++rows;
            for (int c = 0; c < columns; ++c) {
                const unsigned char* text = sqlite3_column_text(stmt, c);
                if (text != nullptr) bytes += std::size_t(sqlite3_column_bytes(stmt, c));
            }
        }
        sqlite3_finalize(stmt);
        return {rows, bytes};
    }

    qint64 count(const QByteArray& sql, const QByteArray& pattern) const {
        sqlite3_stmt* stmt = prepare(sql, pattern);
        const qint64 n = sqlite3_step(stmt) == SQLITE_ROW ? sqlite3_column_int64(stmt, 0) : -1;
        sqlite3_finalize(stmt);
        return n;
    }

private:
    sqlite3_stmt* prepare(const QByteArray& sql, const QByteArray& pattern) const {
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(db_, sql.constData(), int(sql.size()), &stmt, nullptr) !=
                SQLITE_OK ||
            sqlite3_bind_text(stmt, 1, pattern.constData(), int(pattern.size()), SQLITE_STATIC) !=
                SQLITE_OK) {
            throw std::runtime_error(sqlite3_errmsg(db_));
        }
        return stmt;
    }

    sqlite3* db_ = nullptr;
};

void builtinLike(benchmark::State& state, const Subject& subject, const QString& text) {
    const CatalogueFiles files = subject.files();
    const RawDatabase db(files.plainCopy);
    const SearchWindow& window = *subject.window;
    const QByteArray search = QStringLiteral("SELECT * FROM %1 WHERE %2 LIKE ?")
                                  .arg(window.table, window.column)
                                  .toUtf8();
    const QByteArray count = QStringLiteral("SELECT count(*) FROM %1 WHERE %2 LIKE ?")
                                 .arg(window.table, window.column)
                                 .toUtf8();
    const QByteArray pattern = (u'%' + text + u'%').toUtf8();
    qint64 found = 0;
    const FaultCounter faults(state);
    for (auto _ : state) {
        benchmark::DoNotOptimize(db.readAll(search, pattern));
        found = db.count(count, pattern);
    }
    state.counters["found"] = double(found);
}

QStringList ripgrep(const QString& pattern, const QString& file) {
    return {QStringLiteral("rg"),
            QStringLiteral("-c"),
            QStringLiteral("-i"),
            QStringLiteral("--"),
            pattern,
            file};
}

void ripgrepCount(benchmark::State& state, const Subject& subject, const QString& text) {
    const CatalogueFiles files = subject.files();
    QByteArray counted;
    if (RunProgram(ripgrep(text, files.texts), &counted) > 1) {
        state.SkipWithError("rg failed");
        return;
    }
    for (auto _ : state) RunProgram(ripgrep(text, files.texts));
    state.counters["found"] = counted.trimmed().toDouble();
}

using Measure = void (*)(benchmark::State&, const Subject&, const QString&);

struct Comparison {
    QString target;
    QString description;
    QString yardstickName;
    std::string quarrowName;
    std::string yardstickRun;
};

std::vector<Comparison>& comparisons() {
    static std::vector<Comparison> all;
    return all;
}

void registerRun(const std::string& name, Measure measure, const Subject& subject,
                 const QString& text) {
    benchmark::RegisterBenchmark(name.c_str(),
                                 [measure, subject, text](benchmark::State& state) {
                                     try {
                                         measure(state, subject, text);
                                     } catch (const std::exception& error) {
                                         state.SkipWithError(error.what());
                                     }
                                 })
        ->UseRealTime()
        ->Unit(benchmark::kMillisecond);
}

void compare(const QString& target, const Subject& subject, const QString& text, bool selective) {
    const std::string base =
        (target + u'/' + subject.name + QStringLiteral("/\"") + text + u'"').toStdString();
    Comparison c{target, QStringLiteral("%1, \"%2\"").arg(subject.name, text),
                 selective ? QStringLiteral("rg -c -i") : QStringLiteral("SQLite LIKE"),
                 base + "/quarrow", base + (selective ? "/rg" : "/sqlite-like")};
    registerRun(c.quarrowName, quarrowSearch, subject, text);
    registerRun(c.yardstickRun, selective ? ripgrepCount : builtinLike, subject, text);
    comparisons().push_back(std::move(c));
}

QStringList texts(std::initializer_list<const char16_t*> list) {
    QStringList all;
    for (const char16_t* text : list) all.append(QString::fromUtf16(text));
    return all;
}

void registerAll() {
    const QStringList driverSelective = texts({u"7300 GT", u"RTL8111", u"ноутбук", u"НОУТБУК"});
    const QStringList driverShort = texts({u"a", u"gt", u"%", u"73_0"});
    const QStringList deviceSelective = texts({u"0393", u"046d:c52b", u"VEN_10DE&DEV_0393"});
    const QStringList deviceShort = texts({u"10", u"%"});

    for (const qint64 rows : DriverCatalogueSizes()) {
        const Subject drivers{QStringLiteral("vek.mdb %1 rows").arg(Thousands(rows)), &mainWindow(),
                              [rows] { return DriverCatalogue(rows); }};
        for (const QString& text : driverSelective)
            compare(QStringLiteral("1"), drivers, text, true);
        for (const QString& text : driverShort) compare(QStringLiteral("2"), drivers, text, false);
    }
    const Subject shipped{QStringLiteral("dev.mdb shipped"), &deviceWindow(),
                          [] { return ShippedDeviceCatalogue(); }};
    const Subject large{QStringLiteral("dev.mdb %1 rows").arg(Thousands(kLargeDeviceRows)),
                        &deviceWindow(), [] { return LargeDeviceCatalogue(kLargeDeviceRows); }};
    for (const Subject& devices : {shipped, large}) {
        for (const QString& text : deviceSelective) {
            compare(QStringLiteral("6 (as 1)"), devices, text, true);
        }
        for (const QString& text : deviceShort)
            compare(QStringLiteral("6 (as 2)"), devices, text, false);
    }
}

struct Figure {
    double ms = -1;
    double found = -1;
};

// Keeps the median of every run (or its only time when not repeated) beside
// the usual console output.
class CollectingReporter : public benchmark::ConsoleReporter {
public:
    // Colours only for a terminal, so that a log stays readable.
    CollectingReporter() : ConsoleReporter(isatty(STDOUT_FILENO) ? OO_Defaults : OO_Tabular) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.error_occurred) continue;
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            if (!median && run.run_type == Run::RT_Aggregate) continue;
            Figure& figure = figures[run.run_name.function_name];
            if (!median && figure.ms >= 0 && run.repetitions > 1) continue;
            figure.ms = run.GetAdjustedRealTime();
            const auto found = run.counters.find("found");
            if (found != run.counters.end()) figure.found = found->second.value;
        }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, Figure> figures;
};

QList<ResultRow> tableRows(const std::map<std::string, Figure>& figures) {
    QList<ResultRow> rows;
    for (const Comparison& c : comparisons()) {
        const auto q = figures.find(c.quarrowName);
        const auto y = figures.find(c.yardstickRun);
        if (q == figures.end() || y == figures.end()) continue;
        const Figure& ours = q->second;
        const Figure& theirs = y->second;
        QString description =
            c.description + QStringLiteral(", %1 found").arg(Thousands(qint64(ours.found)));
        if (theirs.found != ours.found) {
            description += QStringLiteral(" (%1 counts %2)")
                               .arg(c.yardstickName, Thousands(qint64(theirs.found)));
        }
        rows.append({c.target, description, Milliseconds(ours.ms),
                     Milliseconds(theirs.ms) + QStringLiteral(" (") + c.yardstickName + u')',
                     Ratio(ours.ms, theirs.ms), ours.ms <= theirs.ms});
    }
    return rows;
}

// Takes our own options out of the command line before Google Benchmark
// reads it.
struct Options {
    bool prepare = false;
    QString table;
};

Options takeOptions(int& argc, char** argv) {
    Options options;
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--prepare") == 0) {
            options.prepare = true;
        } else if (std::strncmp(argv[i], "--table=", 8) == 0) {
            options.table = QString::fromLocal8Bit(argv[i] + 8);
        } else {
            argv[kept++] = argv[i];
        }
    }
    argc = kept;
    return options;
}

}  // namespace

int main(int argc, char** argv) {
    const Options options = takeOptions(argc, argv);
    try {
        if (options.prepare) {
            PrepareAll();
            return 0;
        }
        benchmark::Initialize(&argc, argv);
        if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
        registerAll();
        CollectingReporter reporter;
        benchmark::RunSpecifiedBenchmarks(&reporter);
        benchmark::Shutdown();
        if (!options.table.isEmpty()) WriteRows(tableRows(reporter.figures), options.table);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "quarrow-bench: %s\n", error.what());
        return 1;
    }
    return 0;
}
