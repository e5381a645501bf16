#include "BenchData.h"

#include "CatalogueWriter.h"
#include "DeviceCatalogueBuild.h"
#include "IdsReader.h"
#include "SampleCatalogue.h"
#include "db/Sqlite.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <cstdio>
#include <functional>

namespace quarrow::bench {

namespace {

QByteArray utf8(const QString& text) { return text.toUtf8(); }

std::string_view view(const QByteArray& bytes) {
    return std::string_view(bytes.constData(), std::size_t(bytes.size()));
}

class Database {
public:
    Database(const QString& path, int flags) {
        if (sqlite3_open_v2(QFile::encodeName(path).constData(), &db_, flags, nullptr) !=
            SQLITE_OK) {
            const QString message = EngineMessage(db_);
            sqlite3_close(db_);
            throw std::runtime_error(qPrintable(message));
        }
    }
    ~Database() { sqlite3_close(db_); }
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;
    sqlite3* get() const { return db_; }

private:
    sqlite3* db_ = nullptr;
};

// Builds `file` through a temporary name unless it is already there, so
// that an interrupted build is never taken for a finished one.
void ensure(const QString& file, const std::function<void(const QString& part)>& build) {
    if (QFileInfo::exists(file)) return;
    QDir().mkpath(QFileInfo(file).absolutePath());
    std::fprintf(stderr, "Generating %s\n", qPrintable(file));
    QElapsedTimer timer;
    timer.start();
    const QString part = file + QStringLiteral(".part");
    QFile::remove(part);
    build(part);
    if (!QFile::rename(part, file)) {
        throw std::runtime_error(qPrintable(QStringLiteral("Cannot write %1").arg(file)));
    }
    std::fprintf(stderr, "  done in %.1f s\n", double(timer.elapsed()) / 1000.0);
}

void writePlainCopy(const CatalogueFiles& files, const QString& part) {
    if (!QFile::copy(files.catalogue, part)) {
        throw std::runtime_error(qPrintable(QStringLiteral("Cannot copy %1").arg(files.catalogue)));
    }
    Database db(part, SQLITE_OPEN_READWRITE);
    QStringList triggers;
    {
        Statement list(db.get(),
                       "SELECT name FROM sqlite_schema WHERE type = 'trigger' AND tbl_name = ?");
        const QByteArray table = utf8(files.table);
        list.bindText(1, view(table));
        while (list.step()) triggers.append(list.text(0));
    }
    for (const QString& trigger : triggers) {
        Exec(db.get(),
             utf8(QStringLiteral("DROP TRIGGER %1").arg(QuoteIdentifier(trigger))).constData());
    }
    const QString index = QuoteIdentifier(files.table + QStringLiteral("_trigram"));
    Exec(db.get(), utf8(QStringLiteral("DROP TABLE IF EXISTS %1").arg(index)).constData());
    Exec(db.get(), "VACUUM");
}

void writeTexts(const CatalogueFiles& files, const QString& part) {
    QFile out(part);
    if (!out.open(QIODevice::WriteOnly)) {
        throw std::runtime_error(qPrintable(QStringLiteral("Cannot write %1").arg(part)));
    }
    Database db(files.catalogue, SQLITE_OPEN_READONLY);
    const QByteArray sql = utf8(QStringLiteral("SELECT %1 FROM %2 WHERE %1 IS NOT NULL")
                                    .arg(QuoteIdentifier(files.column), files.table));
    Statement read(db.get(), view(sql));
    QByteArray buffer;
    while (read.step()) {
        const std::string_view value = read.utf8(0);
        buffer.append(value.data(), qsizetype(value.size()));
        buffer.append('\n');
        if (buffer.size() > (1 << 20)) {
            out.write(buffer);
            buffer.clear();
        }
    }
    out.write(buffer);
}

CatalogueFiles filesIn(const QString& name, const QString& catalogue, const QString& table,
                       const QString& column) {
    const QDir folder(QDir(DataFolder()).filePath(name));
    return CatalogueFiles{folder.path(),
                          folder.filePath(catalogue),
                          folder.filePath(QStringLiteral("plain.db")),
                          folder.filePath(QStringLiteral("texts.txt")),
                          table,
                          column};
}

// The yardsticks' files follow from the catalogue.
CatalogueFiles withYardsticks(const CatalogueFiles& files) {
    ensure(files.plainCopy, [&](const QString& part) { writePlainCopy(files, part); });
    ensure(files.texts, [&](const QString& part) { writeTexts(files, part); });
    return files;
}

CatalogueFiles deviceFiles(const QString& name) {
    return filesIn(name, QStringLiteral("dev.mdb"), QStringLiteral("device"),
                   QStringLiteral("device"));
}

// The registry's entries with every device code changed the same way, so
// that each round lists devices the others do not.
IdsList withDeviceCodesVaried(IdsList list, quint16 variation) {
    for (IdsEntry& entry : list.entries) {
        if (entry.kind != IdsEntry::Kind::Vendor) entry.device ^= variation;
    }
    return list;
}

void writeLargeDeviceCatalogue(const QString& path, qint64 rows) {
    const IdsList pci = ReadIds(ReadInputFile(DefaultPciIdsPath()), IdsKind::Pci);
    const IdsList usb = ReadIds(ReadInputFile(DefaultUsbIdsPath()), IdsKind::Usb);
    CatalogueTable table;
    table.columns = QStringList{QStringLiteral("Код"), QStringLiteral("device")};
    table.rows.reserve(rows);
    for (int round = 0; table.rows.size() < rows; ++round) {
        const auto variation = quint16(round * 0x1001);
        for (const auto& [list, kind] : {std::pair{&pci, IdsKind::Pci}, {&usb, IdsKind::Usb}}) {
            const IdsRows texts =
                DeviceCatalogueRows(withDeviceCodesVaried(*list, variation), kind);
            for (const QString& text : texts.rows) {
                if (table.rows.size() == rows) break;
                table.rows.append(QStringList{QString(), text});
            }
        }
    }
    WriteDeviceCatalogue(path, CataloguePassword(), table);
}

}  // namespace

QString DataFolder() {
    const QString configured = qEnvironmentVariable("QUARROW_BENCH_DATA");
    return configured.isEmpty() ? QStringLiteral(QUARROW_BENCH_DATA) : configured;
}

QString CataloguePassword() { return QStringLiteral("kavrel"); }

const QList<qint64>& DriverCatalogueSizes() {
    static const QList<qint64> sizes{10'000, 100'000, 1'000'000};
    return sizes;
}

CatalogueFiles DriverCatalogue(qint64 rows) {
    const CatalogueFiles files =
        filesIn(QStringLiteral("drivers-%1").arg(rows), QStringLiteral("vek.mdb"),
                QStringLiteral("table_1"), QStringLiteral("Наименование"));
    ensure(files.catalogue, [rows](const QString& part) {
        SampleOptions options;
        options.rows = rows;
        WriteSampleCatalogue(part, CataloguePassword(), options);
    });
    return withYardsticks(files);
}

CatalogueFiles ShippedDeviceCatalogue() {
    const CatalogueFiles files = deviceFiles(QStringLiteral("devices-shipped"));
    ensure(files.catalogue, [](const QString& part) {
        BuildDeviceCatalogue(part, CataloguePassword(), DefaultPciIdsPath(), DefaultUsbIdsPath());
    });
    return withYardsticks(files);
}

CatalogueFiles LargeDeviceCatalogue(qint64 rows) {
    const CatalogueFiles files = deviceFiles(QStringLiteral("devices-%1").arg(rows));
    ensure(files.catalogue, [rows](const QString& part) { writeLargeDeviceCatalogue(part, rows); });
    return withYardsticks(files);
}

void PrepareAll() {
    for (const qint64 rows : DriverCatalogueSizes()) DriverCatalogue(rows);
    ShippedDeviceCatalogue();
    LargeDeviceCatalogue(kLargeDeviceRows);
}

}  // namespace quarrow::bench
