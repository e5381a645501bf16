#include "TestSupport.h"
#include "program/Startup.h"

#include <QFile>
#include <QtTest>
#include <cstdint>
#include <memory>
#include <vector>

using namespace quarrow;

// A suite of its own: the heap must be as fresh as at the start of the
// program, before other tests free blocks that change how it grows.

// Where the heap is glibc's own, in huge pages where the system has them.
#if defined(Q_OS_LINUX) && defined(__GLIBC__) && !defined(__SANITIZE_ADDRESS__)
#define QUARROW_GLIBC_HEAP 1
#endif

namespace {

#if defined(QUARROW_GLIBC_HEAP)
// Whether the mapping holding `address` was asked for huge pages, from the
// "VmFlags" line ("hg") of its entry in /proc/self/smaps.
bool InHugePageMapping(const void* address) {
    QFile smaps(QStringLiteral("/proc/self/smaps"));
    if (!smaps.open(QIODevice::ReadOnly)) return false;
    const auto wanted = reinterpret_cast<std::uintptr_t>(address);
    bool inside = false;
    for (const QByteArray& line : smaps.readAll().split('\n')) {
        const int dash = line.indexOf('-');
        const int blank = line.indexOf(' ');
        if (dash > 0 && blank > dash && !line.left(blank).contains(':')) {
            const auto from = line.left(dash).toULongLong(nullptr, 16);
            const auto to = line.mid(dash + 1, blank - dash - 1).toULongLong(nullptr, 16);
            inside = from <= wanted && wanted < to;
        } else if (inside && line.startsWith("VmFlags:")) {
            return line.split(' ').contains("hg");
        }
    }
    return false;
}
#endif

}  // namespace

class StartupHeapTest : public QObject {
    Q_OBJECT

private slots:
    void whatStartupAllocatesLiesInHugePages();
};

void StartupHeapTest::whatStartupAllocatesLiesInHugePages() {
    const bool reserved = PrepareStartupHeap();
#if defined(QUARROW_GLIBC_HEAP)
    if (!QFile::exists(QStringLiteral("/sys/kernel/mm/transparent_hugepage/enabled"))) {
        QSKIP("this system has no huge pages");
    }
    QVERIFY(reserved);
    // Blocks the size of a window's pieces, enough to use up what freed
    // memory the heap held before the reserve.
    std::vector<std::unique_ptr<char[]>> blocks;
    bool reached = false;
    for (int i = 0; i < 96 && !reached; ++i) {
        blocks.push_back(std::make_unique<char[]>(64 * 1024));
        reached = InHugePageMapping(blocks.back().get());
    }
    QVERIFY(reached);
#else
    QVERIFY(!reserved);
#endif
}

QUARROW_TEST_MAIN(StartupHeapTest)
#include "tst_startup_heap.moc"
