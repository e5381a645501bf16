#include "TsvReader.h"

#include "InputError.h"

#include <QIODevice>
#include <QStringDecoder>

namespace quarrow {

namespace {

QByteArrayView withoutCarriageReturn(QByteArrayView line) {
    return line.endsWith('\r') ? line.chopped(1) : line;
}

}  // namespace

TsvReader::TsvReader(HeaderHandler onHeader, RowHandler onRow)
    : onHeader_(std::move(onHeader)), onRow_(std::move(onRow)) {}

void TsvReader::fail(const QString& message) const {
    throw InputError(QStringLiteral("line %1: %2").arg(lineNumber_).arg(message));
}

QStringList TsvReader::split(QByteArrayView line) const {
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder(line);
    if (decoder.hasError()) fail(QStringLiteral("the text is not valid UTF-8"));
    return text.split(u'\t');
}

void TsvReader::feed(QByteArrayView line) {
    ++lineNumber_;
    line = withoutCarriageReturn(line);
    if (lineNumber_ == 1) {
        if (line.startsWith("\xEF\xBB\xBF")) line = line.sliced(3);
        const QStringList columns = split(line);
        for (qsizetype c = 0; c < columns.size(); ++c) {
            if (columns[c].isEmpty()) {
                fail(QStringLiteral("the header leaves column %1 without a name").arg(c + 1));
            }
        }
        columns_ = columns.size();
        handle(onHeader_, columns);
        return;
    }
    const QStringList fields = split(line);
    if (fields.size() != columns_) {
        fail(QStringLiteral("%1 field(s) where the header names %2 columns")
                 .arg(fields.size())
                 .arg(columns_));
    }
    handle(onRow_, fields);
}

template <typename Handler>
void TsvReader::handle(const Handler& handler, const QStringList& values) const {
    try {
        handler(values);
    } catch (const InputError& error) {
        fail(error.message());
    }
}

bool TsvReader::nextLine(QIODevice& input, QByteArray& line) {
    // readLine() blocks on files and pipes and returns nothing only at the
    // end; atEnd() can report the end of a pipe too early.
    line = input.readLine();
    if (line.isEmpty()) return false;
    if (line.endsWith('\n')) line.chop(1);
    return true;
}

void TsvReader::finish() const {
    if (lineNumber_ == 0) {
        throw InputError(QStringLiteral("line 1: the header line naming the columns is missing"));
    }
}

void ReadTsv(QIODevice& input, const TsvReader::HeaderHandler& onHeader,
             const TsvReader::RowHandler& onRow) {
    TsvReader reader(onHeader, onRow);
    QByteArray line;
    while (TsvReader::nextLine(input, line)) reader.feed(line);
    reader.finish();
}

void ReadTsv(QByteArrayView text, const TsvReader::HeaderHandler& onHeader,
             const TsvReader::RowHandler& onRow) {
    TsvReader reader(onHeader, onRow);
    qsizetype start = 0;
    while (start < text.size()) {
        const qsizetype end = text.indexOf('\n', start);
        const qsizetype stop = end < 0 ? text.size() : end;
        reader.feed(text.sliced(start, stop - start));
        start = stop + 1;
    }
    reader.finish();
}

CatalogueTable ParseTsv(QByteArrayView text) {
    CatalogueTable table;
    ReadTsv(
        text, [&table](const QStringList& columns) { table.columns = columns; },
        [&table](const QStringList& fields) { table.rows.append(fields); });
    return table;
}

}  // namespace quarrow
