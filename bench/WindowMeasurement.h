#pragma once

#include "ResultTable.h"

#include <QList>

namespace quarrow::bench {

// Drives the real window set, created in a folder holding a working copy of
// the 1,000,000-row vek.mdb, as a user would (an application object must
// exist):
//   - blanks typed into the search box and ПОИСК clicked, `searches` times:
//     the time to the grid's first screen painted and the counter set, and
//     the growth of resident memory;
//   - scrolling to the end of that result and paging back, a full paint of
//     the grid after every step;
//   - Ctrl+Delete answered with OK in the real confirmation dialog, in that
//     result and in a selective one, then searching again for each row.
QList<ResultRow> MeasureMainWindow(int searches);

}  // namespace quarrow::bench
