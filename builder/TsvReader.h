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
// line that breaks these rules throws InputError "line N: ...".
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

    // The next line of `input` without its "\n"; false at the end.
    static bool nextLine(QIODevice& input, QByteArray& line);

private:
    QStringList split(QByteArrayView line) const;
    [[noreturn]] void fail(const QString& message) const;
    template <typename Handler>
    void handle(const Handler& handler, const QStringList& values) const;

    HeaderHandler onHeader_;
    RowHandler onRow_;
    qint64 lineNumber_ = 0;
    qsizetype columns_ = 0;
};

// Reads a whole device or text through a TsvReader.
void ReadTsv(QIODevice& input, const TsvReader::HeaderHandler& onHeader,
             const TsvReader::RowHandler& onRow);
void ReadTsv(QByteArrayView text, const TsvReader::HeaderHandler& onHeader,
             const TsvReader::RowHandler& onRow);

// The whole text as a table.
CatalogueTable ParseTsv(QByteArrayView text);

}  // namespace quarrow
