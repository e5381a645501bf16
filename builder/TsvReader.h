#pragma once

#include "CatalogueWriter.h"

#include <QByteArrayView>
#include <QStringList>
#include <functional>

class QIODevice;

namespace quarrow {

// Reads UTF-8 tab-separated text line by line: the first line names the
// columns, every later line holds exactly one field per column. Lines end in
// "\n" or "\r\n"; a UTF-8 byte order mark before the header is dropped. A
// line that breaks these rules throws InputError "line N: ...", and so does
// a value or row larger than the program can read, a NUL byte, and text in
// UTF-16 or with lines ending in CR only.
class TsvReader {
public:
    using HeaderHandler = std::function<void(const QStringList& columns)>;
    using RowHandler = std::function<void(const QStringList& fields)>;

    TsvReader(HeaderHandler onHeader, RowHandler onRow);

    // One line without its "\n".
    void feed(QByteArrayView line);
    // Call at the end of the text: a text without a header is refused.
    void finish() const;

    qint64 lineNumber() const { return lineNumber_; }

private:
    QStringList split(QByteArrayView line) const;
    void checkSizes(const QList<QByteArrayView>& fields) const;
    [[noreturn]] void fail(const QString& message) const;
    template <typename Handler>
    void handle(const Handler& handler, const QStringList& values) const;

    HeaderHandler onHeader_;
    RowHandler onRow_;
    qint64 lineNumber_ = 0;
    QStringList columns_;
};

// The lines of a device, for a TsvReader. It reads blocks and cuts them
// into lines itself: a line may hold any byte, NUL included (which reading
// lines from a pipe would end it at), and one too long to be a row is cut
// short, never read whole.
class TsvLines {
public:
    explicit TsvLines(QIODevice& input) : input_(input) {}

    // The next line without its "\n"; false at the end. A line too long to
    // be a row comes cut short, and TsvReader::feed() refuses it.
    bool next(QByteArray& line);

private:
    QIODevice& input_;
    QByteArray buffer_;
    qsizetype start_ = 0;    // where the next line starts in the buffer
    qsizetype scanned_ = 0;  // the buffer holds no "\n" from start_ to here
    bool atEnd_ = false;
};

// Reads a whole device or text through a TsvReader.
void ReadTsv(QIODevice& input, const TsvReader::HeaderHandler& onHeader,
             const TsvReader::RowHandler& onRow);
void ReadTsv(QByteArrayView text, const TsvReader::HeaderHandler& onHeader,
             const TsvReader::RowHandler& onRow);

// The whole text as a table.
CatalogueTable ParseTsv(QByteArrayView text);

}  // namespace quarrow
