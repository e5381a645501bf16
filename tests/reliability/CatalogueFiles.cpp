#include "CatalogueFiles.h"

#include "CatalogueWriter.h"
#include "TestSupport.h"

#include <sqlite3.h>
#include <QFile>
#include <QFileInfo>
#include <functional>

#if defined(Q_OS_WIN)
#include <windows.h>

#include <QDir>
#else
#include <fcntl.h>
#include <sys/stat.h>
#endif

namespace quarrow::test {

namespace {

QStringList driverRow(const QString& name) {
    return {name,
            QStringLiteral("Видеокарта"),
            QStringLiteral("Windows XP"),
            QStringLiteral("12 МБ"),
            QStringLiteral("1.0"),
            QStringLiteral("example.com/a.zip"),
            QStringLiteral("http://example.com/a.zip"),
            QStringLiteral("2026.4")};
}

void putBigEndian32(unsigned char* at, std::uint32_t value) {
    at[0] = static_cast<unsigned char>(value >> 24);
    at[1] = static_cast<unsigned char>(value >> 16);
    at[2] = static_cast<unsigned char>(value >> 8);
    at[3] = static_cast<unsigned char>(value);
}

}  // namespace

void WriteDrivers(const QString& path, const QStringList& names) {
    CatalogueTable table{DriverCatalogueColumns(), {}};
    for (const QString& name : names) table.rows.append(driverRow(name));
    WriteDriverCatalogue(path, QStringLiteral("kavrel"), table);
}

void WriteDevices(const QString& path, const QStringList& devices, const QList<int>& codes) {
    CatalogueTable table{{QStringLiteral("Код"), QStringLiteral("device")}, {}};
    for (int r = 0; r < devices.size(); ++r) {
        table.rows.append({QString::number(r < codes.size() ? codes[r] : r + 1), devices[r]});
    }
    WriteDeviceCatalogue(path, QStringLiteral("kavrel"), table);
}

QByteArray ReadWhole(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void WriteInPlace(const QString& path, const QByteArray& content) {
    QFile file(path);
    if (file.open(QIODevice::ReadWrite)) {
        file.write(content);
        file.resize(content.size());
    }
}

QString RunSql(const QString& path, const QString& sql) {
    sqlite3* db = nullptr;
    QString error;
    char* message = nullptr;
    if (sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr) !=
            SQLITE_OK ||
        sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, &message) != SQLITE_OK) {
        error =
            message != nullptr ? QString::fromUtf8(message) : QString::fromUtf8(sqlite3_errmsg(db));
    }
    sqlite3_free(message);
    sqlite3_close(db);
    return error;
}

FileState StateOf(const QString& path, const QString& table, const QString& column) {
    FileState state;
    sqlite3* db = nullptr;
    sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    const auto run = [&db](const QString& sql, const std::function<void(sqlite3_stmt*)>& row) {
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &stmt, nullptr) != SQLITE_OK) {
            return QString::fromUtf8(sqlite3_errmsg(db));
        }
        while (sqlite3_step(stmt) == SQLITE_ROW) row(stmt);
        const int rc = sqlite3_finalize(stmt);
        return rc == SQLITE_OK ? QString() : QString::fromUtf8(sqlite3_errmsg(db));
    };
    const auto text = [](sqlite3_stmt* s) {
        return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(s, 0)));
    };
    QStringList integrity;
    state.integrity = run(QStringLiteral("PRAGMA integrity_check"),
                          [&](sqlite3_stmt* s) { integrity.append(text(s)); });
    if (state.integrity.isEmpty()) state.integrity = integrity.join(u'\n');
    sqlite3_close(db);
    if (state.integrity == u"ok") {
        // The index's own check, which compares it with its table too.
        sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
        const QString check = run(QStringLiteral("INSERT INTO \"%1_trigram\"(\"%1_trigram\", rank) "
                                                 "VALUES ('integrity-check', 1)")
                                      .arg(table),
                                  {});
        if (!check.isEmpty()) state.integrity = QStringLiteral("index: ") + check;
        sqlite3_close(db);
    }
    sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    run(QStringLiteral("SELECT \"%1\" FROM \"%2\" ORDER BY rowid").arg(column, table),
        [&](sqlite3_stmt* s) { state.values.append(text(s)); });
    sqlite3_close(db);
    return state;
}

#if defined(Q_OS_WIN)

namespace {

HANDLE openForTimes(const QString& path) {
    return CreateFileW(reinterpret_cast<const wchar_t*>(QDir::toNativeSeparators(path).utf16()),
                       FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

std::int64_t ModifiedNs(const QString& path) {
    const HANDLE file = openForTimes(path);
    FILETIME written{};
    GetFileTime(file, nullptr, nullptr, &written);
    CloseHandle(file);
    return std::int64_t(std::uint64_t(written.dwHighDateTime) << 32 | written.dwLowDateTime) * 100;
}

bool SetModifiedNs(const QString& path, std::int64_t nanoseconds) {
    const HANDLE file = openForTimes(path);
    const std::uint64_t ticks = std::uint64_t(nanoseconds / 100);
    FILETIME written{DWORD(ticks), DWORD(ticks >> 32)};
    const bool done = SetFileTime(file, nullptr, nullptr, &written) != 0;
    CloseHandle(file);
    return done;
}

#else

std::int64_t ModifiedNs(const QString& path) {
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0) return 0;
    return std::int64_t(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec;
}

bool SetModifiedNs(const QString& path, std::int64_t nanoseconds) {
    const timespec times[2] = {
        {0, UTIME_OMIT}, {time_t(nanoseconds / 1'000'000'000), long(nanoseconds % 1'000'000'000)}};
    return ::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0) == 0;
}

#endif

std::uint32_t ChangeCounterOf(const QString& path) {
    const QByteArray header = ReadWhole(path).left(100);
    if (header.size() < 100) return 0;
    const auto* bytes = reinterpret_cast<const unsigned char*>(header.constData());
    return std::uint32_t(bytes[24]) << 24 | std::uint32_t(bytes[25]) << 16 |
           std::uint32_t(bytes[26]) << 8 | std::uint32_t(bytes[27]);
}

void SetChangeCounter(const QString& path, std::uint32_t counter) {
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite)) return;
    unsigned char bytes[4];
    putBigEndian32(bytes, counter);
    // The header's size in pages counts while the field at 92 holds the
    // change counter too.
    for (const qint64 offset : {24, 92}) {
        file.seek(offset);
        file.write(reinterpret_cast<const char*>(bytes), 4);
    }
}

HelperRun::HelperRun(const QStringList& arguments) {
    process_.start(QStringLiteral(RELIABILITY_HELPER), arguments);
    while (!line_.contains('\n') && process_.waitForReadyRead(30000)) {
        line_ += process_.readAllStandardOutput();
    }
    // Windows ends the helper's lines with CR LF.
    line_ = line_.trimmed();
}

HelperRun::~HelperRun() {
    if (process_.state() != QProcess::NotRunning) kill();
}

void HelperRun::kill() {
    process_.kill();
    process_.waitForFinished(30000);
}

int HelperRun::waitForExit() {
    process_.closeWriteChannel();
    process_.waitForFinished(30000);
    return process_.exitCode();
}

}  // namespace quarrow::test
