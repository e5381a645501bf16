#include "TsvReader.h"

#include "InputError.h"
#include "db/EngineLimits.h"

#include <QIODevice>
#include <QLocale>
#include <QStringDecoder>

namespace quarrow {

namespace {

// The longest line a readable row can take: its values, a tab between two
// of them, and a CR before the LF.
constexpr qsizetype kMaxLineBytes = qsizetype(kMaxValueBytes) + kMaxColumns + 1;

QString byteCount(qint64 bytes) {
    return QLocale(QLocale::English).toString(bytes) + QStringLiteral(" bytes");
}

// How many bytes the engine takes to write `value` as a variable-length
// integer in a row's header.
int varintLength(quint64 value) {
    int length = 1;
    while ((value >>= 7) != 0 && length < 9) ++length;
    return length;
}

// The size of the row the engine makes of these text values: a header with
// the type and length of each, then the values themselves.
qint64 rowBytes(const QList<QByteArrayView>& fields) {
    qint64 header = 0;
    qint64 values = 0;
    for (const QByteArrayView& field : fields) {
        header += varintLength(quint64(field.size()) * 2 + 13);
        values += field.size();
    }
    header += varintLength(quint64(header) + 1);
    return header + values;
}

QList<QByteArrayView> tabSeparated(QByteArrayView line) {
    QList<QByteArrayView> fields;
    qsizetype start = 0;
    for (;;) {
        const qsizetype tab = line.indexOf('\t', start);
        if (tab < 0) break;
        fields.append(line.sliced(start, tab - start));
        start = tab + 1;
    }
    fields.append(line.sliced(start));
    return fields;
}

}  // namespace

TsvReader::TsvReader(HeaderHandler onHeader, RowHandler onRow)
    : onHeader_(std::move(onHeader)), onRow_(std::move(onRow)) {}

void TsvReader::fail(const QString& message) const {
    throw InputError(QStringLiteral("line %1: %2").arg(lineNumber_).arg(message));
}

void TsvReader::checkSizes(const QList<QByteArrayView>& fields) const {
    for (qsizetype c = 0; c < fields.size(); ++c) {
        if (fields[c].size() > kMaxValueBytes) {
            fail(QStringLiteral("the value in column '%1' takes %2; the program reads values of "
                                "at most %3")
                     .arg(columns_.value(c), byteCount(fields[c].size()),
                          byteCount(kMaxValueBytes)));
        }
    }
    const qint64 bytes = rowBytes(fields);
    if (bytes > kMaxValueBytes) {
        fail(QStringLiteral("the row takes %1 with its values together; the program handles rows "
                            "of at most %2")
                 .arg(byteCount(bytes), byteCount(kMaxValueBytes)));
    }
}

// Tabs are single bytes that UTF-8 never uses inside a character, so the
// fields are cut apart, and their sizes known, before any is decoded.
QStringList TsvReader::split(QByteArrayView line) const {
    const QList<QByteArrayView> fields = tabSeparated(line);
    if (lineNumber_ > 1) {
        if (fields.size() != columns_.size()) {
            fail(QStringLiteral("%1 field(s) where the header names %2 columns")
                     .arg(fields.size())
                     .arg(columns_.size()));
        }
        checkSizes(fields);
    }
    // A byte order mark inside the text is a character of its value.
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless |
                                                     QStringDecoder::Flag::ConvertInitialBom);
    QStringList values;
    values.reserve(fields.size());
    for (const QByteArrayView& field : fields) {
        // An empty field is empty text, which the writer tells from an
        // absent value.
        values.append(field.isEmpty() ? QStringLiteral("") : decoder(field));
    }
    if (decoder.hasError()) fail(QStringLiteral("the text is not valid UTF-8"));
    return values;
}

void TsvReader::feed(QByteArrayView line) {
    ++lineNumber_;
    if (lineNumber_ == 1 && (line.startsWith("\xFF\xFE") || line.startsWith("\xFE\xFF"))) {
        fail(
            QStringLiteral("the text is UTF-16 (it starts with a UTF-16 byte order mark); save "
                           "it as UTF-8"));
    }
    if (line.endsWith('\r')) line.chop(1);
    if (line.contains('\r')) {
        fail(lineNumber_ == 1
                 ? QStringLiteral("the lines end in CR only (as in old Mac OS text); save the text "
                                  "with LF or CR LF line ends")
                 : QStringLiteral("the line holds a CR (carriage return) before its end; lines "
                                  "end in LF or CR LF, and values cannot hold line breaks"));
    }
    if (line.size() > kMaxLineBytes) {
        fail(QStringLiteral("the line is longer than %1, more than a row the program can read "
                            "takes")
                 .arg(byteCount(kMaxLineBytes)));
    }
    if (line.contains('\0')) {
        fail(
            QStringLiteral("the line holds a NUL byte, which text values cannot hold; is the "
                           "text UTF-16? It must be UTF-8"));
    }
    if (lineNumber_ == 1) {
        if (line.startsWith("\xEF\xBB\xBF")) line = line.sliced(3);
        const QStringList columns = split(line);
        for (qsizetype c = 0; c < columns.size(); ++c) {
            if (columns[c].isEmpty()) {
                fail(QStringLiteral("the header leaves column %1 without a name").arg(c + 1));
            }
        }
        columns_ = columns;
        handle(onHeader_, columns);
        return;
    }
    // An empty line is an empty value only in a table of one column.
    if (line.isEmpty() && columns_.size() > 1) {
        fail(QStringLiteral("the line is empty, where the header names %1 columns; every line "
                            "after the header holds a row")
                 .arg(columns_.size()));
    }
    handle(onRow_, split(line));
}

template <typename Handler>
void TsvReader::handle(const Handler& handler, const QStringList& values) const {
    try {
        handler(values);
    } catch (const InputError& error) {
        fail(error.message());
    }
}

bool TsvLines::next(QByteArray& line) {
    constexpr qsizetype kBlockBytes = qsizetype(1) << 20;
    for (;;) {
        const qsizetype newline = buffer_.indexOf('\n', scanned_);
        if (newline >= 0) {
            line = buffer_.mid(start_, newline - start_);
            start_ = scanned_ = newline + 1;
            return true;
        }
        scanned_ = buffer_.size();
        // A line past the longest row is not read to its end: what is read
        // is enough to refuse it.
        if (atEnd_ || buffer_.size() - start_ > kMaxLineBytes) {
            if (start_ == buffer_.size()) return false;
            line = buffer_.mid(start_);
            start_ = scanned_ = buffer_.size();
            return true;
        }
        buffer_.remove(0, start_);
        scanned_ -= start_;
        start_ = 0;
        // read() blocks on files and pipes until it has something and
        // returns nothing only at the end; atEnd() can report the end of a
        // pipe too early.
        const qsizetype filled = buffer_.size();
        buffer_.resize(filled + kBlockBytes);
        const qint64 read = input_.read(buffer_.data() + filled, kBlockBytes);
        buffer_.resize(filled + qsizetype(std::max<qint64>(read, 0)));
        if (read < 0) {
            throw InputError(QStringLiteral("cannot read it: %1").arg(input_.errorString()));
        }
        atEnd_ = read == 0;
    }
}

void TsvReader::finish() const {
    if (lineNumber_ == 0) {
        throw InputError(QStringLiteral("line 1: the header line naming the columns is missing"));
    }
}

void ReadTsv(QIODevice& input, const TsvReader::HeaderHandler& onHeader,
             const TsvReader::RowHandler& onRow) {
    TsvReader reader(onHeader, onRow);
    TsvLines lines(input);
    QByteArray line;
    while (lines.next(line)) reader.feed(line);
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
