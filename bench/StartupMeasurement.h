#pragma once

#include "ResultTable.h"

#include <QList>
#include <QString>

namespace quarrow::bench {

// Starts quarrow-startup-probe (Quarrow, in the folder of the 1,000,000-row
// vek.mdb) and empty-window-probe, with one line of text and without, `runs`
// times each, alternately, and compares the median times from process start
// to the window shown with the window showing one line of text.
// `programFolder` holds both probes.
QList<ResultRow> MeasureStartup(const QString& programFolder, int runs);

}  // namespace quarrow::bench
