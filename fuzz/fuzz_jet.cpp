// Jet databases from outside, read the way `quarrow-catalogue convert` reads
// them: any bytes, written as a file, either pass the header's checks and
// have every user table read through libmdb, or are refused with
// InputError "<path>: ..."; nothing else may come out. The header read from
// memory and from the file agree, a password never holds a NUL, and every
// row has one value per column. libmdb itself is the system's and not
// instrumented: its faults show as crashes, hangs or memory errors that
// AddressSanitizer sees in the calls it intercepts.

#include "InputError.h"
#include "JetConversion.h"
#include "JetHeader.h"
#include "JetReader.h"

#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

QTemporaryDir* gDir = nullptr;

// Enough rows of a table to reach past its first pages; a mutated file can
// make libmdb walk far more, which only costs time.
constexpr qint64 kMostRows = 20000;

[[noreturn]] void fail(const char* what, const QString& detail = QString()) {
    std::fprintf(stderr, "%s %s\n", what, detail.toUtf8().constData());
    std::abort();
}

struct EnoughRows {};

void readEveryTable(const QString& path) {
    quarrow::JetReader reader(path);
    for (const QString& table : reader.tableNames()) {
        if (reader.findTable(table) != table) fail("a listed table is not found:", table);
        reader.openTable(table);
        const qsizetype columns = reader.columns().size();
        qint64 rows = 0;
        try {
            reader.readRows([&](const QStringList& row) {
                if (row.size() != columns) fail("a row with another number of values in", table);
                if (++rows > kMostRows) throw EnoughRows{};
            });
        } catch (const EnoughRows&) {
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    gDir = new QTemporaryDir();
    if (!gDir->isValid()) fail("no temporary folder");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const QString path = gDir->filePath(QStringLiteral("vek.mdb"));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
            fail("cannot write the input");
        }
    }
    const quarrow::JetHeader header = quarrow::ReadJetHeader(bytes);
    const quarrow::JetHeader fromFile = quarrow::ReadJetHeaderOf(path);
    if (header.format != fromFile.format || header.password != fromFile.password) {
        fail("the header reads otherwise from the file");
    }
    if (header.password.contains(QChar(u'\0'))) fail("a password with a NUL");
    try {
        // The program's password, which a file without one lets in too.
        quarrow::RequireOpenableJetFile(path, header.password);
        readEveryTable(path);
    } catch (const quarrow::InputError& error) {
        if (!error.message().startsWith(path + QStringLiteral(": "))) {
            fail("a refusal that does not name the file:", error.message());
        }
    }
    return 0;
}
