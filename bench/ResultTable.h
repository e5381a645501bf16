#pragma once

#include <QList>
#include <QString>

namespace quarrow::bench {

// One line of the comparison table that bench/compare.sh prints: what was
// measured, Quarrow's figure beside its yardstick's, and whether the goal
// was reached.
struct ResultRow {
    QString target;
    QString description;
    QString quarrow;
    QString yardstick;
    QString ratio;
    bool met = false;
    bool reference = false;  // a figure that explains others, with no goal of its own
};

// Tab-separated, one row a line, in the columns above ("met" / "not met" /
// "for reference").
void WriteRows(const QList<ResultRow>& rows, const QString& path);

QString Milliseconds(double ms);
QString Megabytes(double mb);
QString Ratio(double value, double yardstick);
// 1234567 -> "1,234,567"
QString Thousands(qint64 n);

}  // namespace quarrow::bench
