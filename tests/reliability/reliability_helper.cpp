// Another process at work on a catalogue in the current folder, for the
// reliability tests:
//
//   reliability_helper write driver|device SEED
//       opens vek.mdb or dev.mdb the way its window does and changes rows
//       through the program's own Query, as the grids do (delete the current
//       row, change cells, add a row), at random, until it is killed. Each
//       write is announced on standard output before it starts and
//       confirmed once it has committed.
//   reliability_helper lock FILE
//       holds an exclusive write lock of the engine on FILE, as another
//       program in the middle of a write does, until standard input closes.
//   reliability_helper deny FILE
//       (Windows) holds FILE open without sharing it with anyone, until
//       standard input closes.
//   reliability_helper spill FILE TABLE COLUMN
//       another program's long change: appends to COLUMN in every row of
//       TABLE in one transaction, with so small a cache that the engine
//       writes changed pages into FILE before the commit, then waits to be
//       killed (or for standard input to close, and rolls back).
//   reliability_helper interrupt driver|device
//       deletes the first row of vek.mdb or dev.mdb through the program's own
//       Query and ends the process at the moment the engine, having written
//       the change into the file, would delete its journal: the state a
//       write of the program leaves when it is killed there.
#include "WriteLog.h"
#include "core/Exception.h"
#include "db/Connection.h"
#include "db/Query.h"
#include "stores/DeviceCatalogue.h"
#include "stores/DriverCatalogue.h"

#include <sqlite3.h>
#include <QFile>
#include <QMap>
#include <QRandomGenerator>
#include <cstdio>
#include <cstdlib>

#if defined(Q_OS_WIN)
#include <windows.h>

#include <fcntl.h>
#include <io.h>
#endif

using namespace quarrow;
using namespace quarrow::test;

namespace {

void say(const QByteArray& line) {
    std::fwrite(line.constData(), 1, std::size_t(line.size()), stdout);
    std::fflush(stdout);
}

class RandomWriter {
public:
    RandomWriter(Query& rows, bool devices, quint32 seed)
        : rows_(rows), devices_(devices), random_(seed), seed_(seed) {
        code_ = rows_.fieldIndex(QStringLiteral("Код"));
        for (int r = 0; r < rows_.rowCount(); ++r) {
            if (code_ >= 0)
                highestCode_ = std::max(highestCode_, rows_.value(r, code_).toLongLong());
        }
    }

    void writeOne(int number) {
        const int pick = int(random_.bounded(3));
        if (rows_.rowCount() == 0 || pick == 0) {
            insert(number);
        } else if (pick == 1) {
            update(number);
        } else {
            remove(number);
        }
    }

private:
    Row rowAt(int row) const {
        Row values;
        for (int c = 0; c < rows_.fieldNames().size(); ++c) values.append(rows_.value(row, c));
        return values;
    }

    // Unique to this write, with Latin and Cyrillic words so that the trigram
    // index has real text to follow.
    QString newValue(int number) {
        static const QStringList words{
            QStringLiteral("GeForce"), QStringLiteral("Radeon"),  QStringLiteral("Видеокарта"),
            QStringLiteral("Сетевой"), QStringLiteral("USB 3.0"), QStringLiteral("PCI\\VEN_10DE"),
            QStringLiteral("звук"),    QStringLiteral("7300 GT"), QStringLiteral("драйвер")};
        QString value = QStringLiteral("s%1w%2").arg(seed_).arg(number);
        for (quint32 k = random_.bounded(1u, 5u); k > 0; --k) {
            value += u' ' + words[qsizetype(random_.bounded(quint32(words.size())))];
        }
        return value;
    }

    void insert(int number) {
        QMap<int, QString> values;
        Row intended;
        for (int c = 0; c < rows_.fieldNames().size(); ++c) {
            if (c == code_) {
                intended.append(QString());  // numbered by the catalogue
                continue;
            }
            values.insert(c, newValue(number));
            intended.append(values.value(c));
        }
        say(BeginLine(number, WriteKind::Insert, {}, intended));
        const int at = int(random_.bounded(quint32(rows_.rowCount() + 1)));
        const int row = rows_.insertRow(at, values);
        const Row stored = rowAt(row);
        if (code_ >= 0) highestCode_ = std::max(highestCode_, stored[code_].toLongLong());
        say(DoneLine(number, stored));
    }

    void update(int number) {
        const int row = int(random_.bounded(quint32(rows_.rowCount())));
        const Row before = rowAt(row);
        Row intended = before;
        QMap<int, QString> changes;
        const int columns = int(before.size());
        for (quint32 k = random_.bounded(1u, devices_ ? 2u : 4u); k > 0; --k) {
            int c = int(random_.bounded(quint32(columns)));
            if (c == code_) c = rows_.fieldIndex(QStringLiteral("device"));
            changes.insert(c, newValue(number));
        }
        // Now and then a device row is given a new number, which moves it in the file.
        if (devices_ && random_.bounded(5u) == 0) {
            highestCode_ += 1 + random_.bounded(1000u);
            changes.insert(code_, QString::number(highestCode_));
        }
        for (auto it = changes.cbegin(); it != changes.cend(); ++it)
            intended[it.key()] = it.value();
        say(BeginLine(number, WriteKind::Update, before, intended));
        rows_.updateRow(row, changes);
        say(DoneLine(number, rowAt(row)));
    }

    void remove(int number) {
        const int row = int(random_.bounded(quint32(rows_.rowCount())));
        rows_.setCurrentRow(row);
        say(BeginLine(number, WriteKind::Delete, rowAt(row), {}));
        rows_.deleteCurrent();
        say(DoneLine(number, {}));
    }

    Query& rows_;
    bool devices_;
    QRandomGenerator random_;
    quint32 seed_;
    int code_ = -1;
    qint64 highestCode_ = 0;
};

int writeUntilKilled(bool devices, quint32 seed) {
    Connection connection(devices ? DeviceCatalogueConnectionString()
                                  : MainCatalogueConnectionString());
    if (!devices) connection.setMode(ShareMode::DenyNone);
    Query rows(&connection, QStringLiteral("ADOQuery1"));
    rows.setSelect(devices ? QStringLiteral("device") : QStringLiteral("table_1"));
    rows.open();
    say(ReadyLine());
    RandomWriter writer(rows, devices, seed);
    // Far more than a run lives to do; the test kills the writer long before.
    for (int number = 0; number < 1000000; ++number) writer.writeOne(number);
    say(QByteArrayLiteral("finished\n"));
    return 0;
}

int holdWriteLock(const QString& file) {
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(file.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr) !=
            SQLITE_OK ||
        sqlite3_exec(db, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr) != SQLITE_OK) {
        say("refused " + QByteArray(sqlite3_errmsg(db)) + '\n');
        sqlite3_close(db);
        return 2;
    }
    say(QByteArrayLiteral("locked\n"));
    while (std::getchar() != EOF) {
    }
    sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    return 0;
}

int spillUntilKilled(const QString& file, const QString& table, const QString& column) {
    sqlite3* db = nullptr;
    const QString change =
        QStringLiteral(
            "PRAGMA cache_size = 1; BEGIN; UPDATE \"%1\" SET \"%2\" = \"%2\" || ' (changed)';")
            .arg(table, column);
    if (sqlite3_open_v2(file.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr) !=
            SQLITE_OK ||
        sqlite3_exec(db, change.toUtf8().constData(), nullptr, nullptr, nullptr) != SQLITE_OK) {
        say("refused " + QByteArray(sqlite3_errmsg(db)) + '\n');
        sqlite3_close(db);
        return 2;
    }
    say(QByteArrayLiteral("spilled\n"));
    while (std::getchar() != EOF) {
    }
    sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    return 0;
}

// The engine's own file layer, but the process ends where the engine would
// delete a journal.
sqlite3_vfs* engineLayer = nullptr;

int endInsteadOfDeleting(sqlite3_vfs*, const char* name, int syncDirectory) {
    if (QByteArray(name).endsWith("-journal")) {
        say(QByteArrayLiteral("interrupted\n"));
        std::_Exit(3);
    }
    return engineLayer->xDelete(engineLayer, name, syncDirectory);
}

int deleteAndBeInterrupted(bool devices) {
    // Registered as the default before any connection, so that the
    // program's own file layer is built over it.
    engineLayer = sqlite3_vfs_find(nullptr);
    static sqlite3_vfs interrupting = *engineLayer;
    interrupting.zName = "interrupting";
    interrupting.xDelete = endInsteadOfDeleting;
    sqlite3_vfs_register(&interrupting, 1);

    Connection connection(devices ? DeviceCatalogueConnectionString()
                                  : MainCatalogueConnectionString());
    Query rows(&connection, QStringLiteral("ADOQuery1"));
    rows.setSelect(devices ? QStringLiteral("device") : QStringLiteral("table_1"));
    rows.open();
    rows.setCurrentRow(0);
    rows.deleteCurrent();
    say(QByteArrayLiteral("not interrupted\n"));
    return 1;
}

int holdUnshared(const QString& file) {
#if defined(Q_OS_WIN)
    const HANDLE held = CreateFileW(reinterpret_cast<const wchar_t*>(file.utf16()), GENERIC_READ, 0,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (held == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        say(error == ERROR_SHARING_VIOLATION
                ? QByteArrayLiteral("in use\n")
                : "refused " + QByteArray::number(qulonglong(error)) + '\n');
        return 2;
    }
    say(QByteArrayLiteral("held\n"));
    while (std::getchar() != EOF) {
    }
    CloseHandle(held);
    return 0;
#else
    Q_UNUSED(file);
    say(QByteArrayLiteral("refused: only Windows holds files without sharing them\n"));
    return 2;
#endif
}

}  // namespace

int main(int argc, char** argv) {
#if defined(Q_OS_WIN)
    // The lines are read back byte for byte: no CR before each LF.
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    const QByteArray mode = argc > 1 ? QByteArray(argv[1]) : QByteArray();
    try {
        if (argc == 4 && mode == "write") {
            return writeUntilKilled(QByteArray(argv[2]) == "device",
                                    quint32(QByteArray(argv[3]).toUInt()));
        }
        if (argc == 3 && mode == "lock") return holdWriteLock(QFile::decodeName(argv[2]));
        if (argc == 3 && mode == "deny") return holdUnshared(QFile::decodeName(argv[2]));
        if (argc == 5 && mode == "spill") {
            return spillUntilKilled(QFile::decodeName(argv[2]), QString::fromUtf8(argv[3]),
                                    QString::fromUtf8(argv[4]));
        }
        if (argc == 3 && mode == "interrupt") {
            return deleteAndBeInterrupted(QByteArray(argv[2]) == "device");
        }
    } catch (const Exception& error) {
        say("failed " + QByteArray(error.what()) + '\n');
        return 1;
    }
    std::fprintf(stderr,
                 "usage: %s write driver|device SEED | lock FILE | deny FILE | "
                 "spill FILE TABLE COLUMN | interrupt driver|device\n",
                 argv[0]);
    return 64;
}
