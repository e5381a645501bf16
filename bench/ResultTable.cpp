#include "ResultTable.h"

#include <QFile>
#include <QTextStream>
#include <stdexcept>

namespace quarrow::bench {

void WriteRows(const QList<ResultRow>& rows, const QString& path) {
    QFile file(path);
    const bool opened = path == u"-" ? file.open(stdout, QIODevice::WriteOnly)
                                     : file.open(QIODevice::WriteOnly | QIODevice::Append);
    if (!opened) throw std::runtime_error(qPrintable(QStringLiteral("Cannot write ") + path));
    QTextStream out(&file);
    for (const ResultRow& row : rows) {
        out << row.target << '\t' << row.description << '\t' << row.quarrow << '\t' << row.yardstick
            << '\t' << row.ratio << '\t'
            << (row.reference ? QStringLiteral("for reference")
                : row.met     ? QStringLiteral("met")
                              : QStringLiteral("not met"))
            << '\n';
    }
}

QString Milliseconds(double ms) {
    return QStringLiteral("%1 ms").arg(ms, 0, 'f', ms < 10 ? 2 : ms < 100 ? 1 : 0);
}

QString Megabytes(double mb) { return QStringLiteral("%1 MB").arg(mb, 0, 'f', 1); }

QString Ratio(double value, double yardstick) {
    if (yardstick <= 0) return QStringLiteral("-");
    return QString::number(value / yardstick, 'f', 2);
}

QString Thousands(qint64 n) {
    QString digits = QString::number(n);
    for (qsizetype at = digits.size() - 3; at > 0; at -= 3) digits.insert(at, u',');
    return digits;
}

}  // namespace quarrow::bench
