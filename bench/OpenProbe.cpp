// What opening the driver catalogue costs, and what the check that its
// search index covers the table adds to the first search: the index's own
// count of rows (one page) and the table's count (the smallest index of the
// table, read whole).
//
//   quarrow-open-probe FOLDER [ROUNDS]
// FOLDER holds vek.mdb (quarrow-catalogue sample --rows 1000000 makes one).
// Prints the median of ROUNDS (default 15) with the file's pages in the
// system's cache and, where the system can drop them, without.

#include "db/Connection.h"
#include "db/Sqlite.h"
#include "db/TrigramIndex.h"
#include "stores/DriverCatalogue.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

#if !defined(Q_OS_WIN)
#include <fcntl.h>
#include <unistd.h>
#endif

using namespace quarrow;

namespace {

// Asks the system to forget the file's cached pages; false where it cannot.
bool dropCachedPages(const QString& path) {
#if defined(Q_OS_WIN)
    Q_UNUSED(path);
    return false;
#else
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool dropped = ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED) == 0;
    ::close(fd);
    return dropped;
#endif
}

double medianMs(int rounds, const std::function<void()>& before, const std::function<void()>& run) {
    std::vector<double> times;
    for (int k = 0; k < rounds; ++k) {
        before();
        QElapsedTimer clock;
        clock.start();
        run();
        times.push_back(double(clock.nsecsElapsed()) / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

qint64 tableRows(sqlite3* db) {
    Statement count(db, "SELECT count(*) FROM table_1");
    return count.step() ? count.int64(0) : -1;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s FOLDER [ROUNDS]\n", argv[0]);
        return 64;
    }
    QDir::setCurrent(QString::fromLocal8Bit(argv[1]));
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 15;
    const QString file = QDir::current().filePath(QStringLiteral("vek.mdb"));
    Connection probe(MainCatalogueConnectionString());
    probe.open();
    sqlite3* db = probe.handle();
    std::printf("rows %lld, listed by the index %lld\n", static_cast<long long>(tableRows(db)),
                static_cast<long long>(TrigramIndexRows(db, QStringLiteral("table_1"))));

    for (const bool cold : {false, true}) {
        if (cold && !dropCachedPages(file)) break;
        const auto before = [cold, &file] {
            if (cold) dropCachedPages(file);
        };
        const double open = medianMs(rounds, before, [] {
            Connection connection(MainCatalogueConnectionString());
            connection.open();
        });
        const double listed =
            medianMs(rounds, before, [db] { TrigramIndexRows(db, QStringLiteral("table_1")); });
        const double counted = medianMs(rounds, before, [db] { tableRows(db); });
        std::printf(
            "%s: opening %.2f ms; the check: the index's count %.3f ms, the table's "
            "count %.2f ms\n",
            cold ? "pages not cached" : "pages cached", open, listed, counted);
    }
    return 0;
}
