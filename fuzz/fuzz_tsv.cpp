// Tab-separated catalogue sources: any bytes either read as a table or are
// refused with InputError "line N: ..." naming a line the text has, the
// same whether read from memory or from a device. A source with a driver
// catalogue header builds a catalogue that exports back to the same table;
// any other is refused by the builder with the reader's message, or with
// the header's fault on line 1, and leaves no file behind.

#include "CatalogueWriter.h"
#include "DriverCatalogueFiles.h"
#include "InputError.h"
#include "TsvReader.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>

namespace {

using quarrow::CatalogueTable;
using quarrow::InputError;

QTemporaryDir* gDir = nullptr;

[[noreturn]] void fail(const char* what, const QString& detail = QString()) {
    std::fprintf(stderr, "%s %s\n", what, detail.toUtf8().constData());
    std::abort();
}

// What reading a text gave: the header if its line was read, the rows read
// so far, and the error that stopped it, if any.
struct Outcome {
    std::optional<QStringList> header;
    QList<QStringList> rows;
    std::optional<QString> error;

    bool operator==(const Outcome& other) const {
        return header == other.header && rows == other.rows && error == other.error;
    }
};

template <typename Source>
Outcome read(Source& source) {
    Outcome outcome;
    try {
        quarrow::ReadTsv(
            source, [&outcome](const QStringList& columns) { outcome.header = columns; },
            [&outcome](const QStringList& fields) { outcome.rows.append(fields); });
    } catch (const InputError& error) {
        outcome.error = error.message();
    }
    return outcome;
}

void checkLineNumber(const QString& error, QByteArrayView text) {
    static const QRegularExpression form(QStringLiteral("^line ([1-9][0-9]*): \\S"));
    const QRegularExpressionMatch match = form.match(error);
    if (!match.hasMatch()) fail("an error that names no line:", error);
    const qsizetype lines = text.count('\n') + 1;
    if (match.captured(1).toLongLong() > lines) fail("an error past the last line:", error);
}

bool holdsCarriageReturn(const QList<QStringList>& rows) {
    for (const QStringList& row : rows) {
        for (const QString& field : row) {
            if (field.contains(u'\r')) return true;
        }
    }
    return false;
}

// Column names come back from the engine through QString::fromUtf8, which
// drops a byte order mark at the start of each name.
QStringList withoutLeadingBom(QStringList names) {
    for (QString& name : names) {
        if (name.startsWith(QChar(0xFEFF))) name.remove(0, 1);
    }
    return names;
}

// The error the builder must give for a header it cannot take, if any.
std::optional<QString> headerError(const QStringList& columns) {
    try {
        quarrow::CheckDriverColumns(columns);
        return std::nullopt;
    } catch (const InputError& error) {
        return QStringLiteral("line 1: ") + error.message();
    }
}

void checkBuild(QByteArrayView text, Outcome outcome) {
    if (outcome.header) {
        if (std::optional<QString> error = headerError(*outcome.header)) {
            outcome.error = error;
            outcome.rows.clear();
        }
    }
    const QString path = gDir->filePath(QStringLiteral("vek.mdb"));
    QByteArray bytes = text.toByteArray();
    QBuffer source(&bytes);
    source.open(QIODevice::ReadOnly);
    qint64 rows = -1;
    try {
        rows = quarrow::BuildDriverCatalogue(source, path, QStringLiteral("kavrel"),
                                             quarrow::DriverTableLayout::TrigramIndexed);
    } catch (const InputError& error) {
        if (error.message() != outcome.error)
            fail("the build refuses it otherwise:", error.message());
        if (!QDir(gDir->path()).isEmpty()) fail("a refused build left a file behind");
        return;
    } catch (const quarrow::Exception& error) {
        fail("the build fails without naming a line:", error.message());
    }
    if (outcome.error) fail("the build takes what the reader refuses:", *outcome.error);
    if (rows != outcome.rows.size()) fail("the build wrote another number of rows");

    QByteArray exported;
    QBuffer out(&exported);
    out.open(QIODevice::WriteOnly);
    try {
        quarrow::ExportCatalogue(path, QStringLiteral("kavrel"), out);
    } catch (const InputError& error) {
        // A carriage return inside a field reads as part of its value, and
        // the export refuses values that tab-separated text cannot carry.
        if (!holdsCarriageReturn(outcome.rows)) {
            fail("the built catalogue does not export:", error.message());
        }
        QFile::remove(path);
        return;
    } catch (const quarrow::Exception& error) {
        fail("the built catalogue does not export:", error.message());
    }
    QFile::remove(path);
    // Column names come back without a leading byte order mark, and the
    // export writes them as they are, so one ending in a carriage return
    // reads back without it; a name that was only either comes back empty.
    const QStringList& header = *outcome.header;
    const bool namesChange = withoutLeadingBom(header) != header || holdsCarriageReturn({header});
    CatalogueTable table;
    try {
        table = quarrow::ParseTsv(exported);
    } catch (const InputError& error) {
        if (!namesChange) fail("the exported text does not read back:", error.message());
        return;
    }
    if ((!namesChange && table.columns != header) || table.rows != outcome.rows) {
        fail("the catalogue exports another table:", QString::fromUtf8(exported));
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    gDir = new QTemporaryDir();
    if (!gDir->isValid()) fail("no temporary folder");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArrayView text(data, static_cast<qsizetype>(size));
    const Outcome fromText = read(text);
    if (fromText.error) checkLineNumber(*fromText.error, text);

    QByteArray bytes = text.toByteArray();
    QBuffer device(&bytes);
    device.open(QIODevice::ReadOnly);
    if (!(read(device) == fromText)) fail("reading from a device differs from reading the text");

    checkBuild(text, fromText);
    return 0;
}
