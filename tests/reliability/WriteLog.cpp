#include "WriteLog.h"

#include <QHash>

namespace quarrow::test {

namespace {

// Values go out as base64 of their UTF-8, so that any text survives the line
// format; an unknown value as "*".
QByteArray encodeRow(const Row& row) {
    if (row.isEmpty()) return QByteArrayLiteral("-");
    QByteArrayList values;
    for (const QString& value : row) {
        values.append(value.isNull() ? QByteArrayLiteral("*")
                                     : QByteArrayLiteral("=") + value.toUtf8().toBase64());
    }
    return values.join(',');
}

bool decodeRow(const QByteArray& text, Row* row) {
    row->clear();
    if (text == "-") return true;
    for (const QByteArray& value : text.split(',')) {
        if (value == "*") {
            row->append(QString());
        } else if (value.startsWith('=')) {
            const auto decoded = QByteArray::fromBase64Encoding(
                value.mid(1), QByteArray::AbortOnBase64DecodingErrors);
            if (!decoded) return false;
            row->append(QString::fromUtf8(*decoded));
            if (row->back().isNull()) row->back() = QStringLiteral("");
        } else {
            return false;
        }
    }
    return true;
}

const QHash<QByteArray, WriteKind>& kindNames() {
    static const QHash<QByteArray, WriteKind> names{{"delete", WriteKind::Delete},
                                                    {"update", WriteKind::Update},
                                                    {"insert", WriteKind::Insert}};
    return names;
}

}  // namespace

QByteArray ReadyLine() { return QByteArrayLiteral("ready\n"); }

QByteArray BeginLine(int number, WriteKind kind, const Row& before, const Row& intended) {
    return "begin " + QByteArray::number(number) + ' ' + kindNames().key(kind) + ' ' +
           encodeRow(before) + ' ' + encodeRow(intended) + '\n';
}

QByteArray DoneLine(int number, const Row& stored) {
    return "done " + QByteArray::number(number) + ' ' + encodeRow(stored) + '\n';
}

WriteLog ParseWriteLog(const QByteArray& output) {
    WriteLog log;
    QByteArrayList lines = output.split('\n');
    lines.removeLast();  // empty after the last newline, or a line the kill cut short
    for (const QByteArray& line : lines) {
        const QByteArrayList words = line.split(' ');
        bool parsed = false;
        if (words.size() == 1 && words[0] == "ready") {
            log.ready = true;
            parsed = true;
        } else if (words.size() == 5 && words[0] == "begin" && kindNames().contains(words[2])) {
            LoggedWrite write;
            write.number = words[1].toInt(&parsed);
            write.kind = kindNames().value(words[2]);
            parsed = parsed && (log.writes.isEmpty() || log.writes.back().confirmed) &&
                     decodeRow(words[3], &write.before) && decodeRow(words[4], &write.intended);
            log.writes.append(write);
        } else if (words.size() == 3 && words[0] == "done" && !log.writes.isEmpty()) {
            LoggedWrite& write = log.writes.back();
            parsed = !write.confirmed && words[1].toInt() == write.number &&
                     decodeRow(words[2], &write.stored);
            write.confirmed = true;
        }
        if (!parsed) {
            log.error = QStringLiteral("unexpected line from the writer: ") +
                        QString::fromUtf8(line.left(200));
            return log;
        }
    }
    return log;
}

bool Fulfils(const Row& row, const Row& intended) {
    if (row.size() != intended.size()) return false;
    for (qsizetype c = 0; c < row.size(); ++c) {
        if (!intended[c].isNull() && row[c] != intended[c]) return false;
    }
    return true;
}

}  // namespace quarrow::test
