#include "BusyCursor.h"

#include <QApplication>
#include <QCursor>

namespace quarrow {

namespace {

int scopes = 0;
bool shown = false;

}  // namespace

BusyScope::BusyScope() { ++scopes; }

BusyScope::~BusyScope() {
    if (--scopes == 0 && shown) {
        QApplication::restoreOverrideCursor();
        shown = false;
    }
}

void ShowBusyCursor() {
    if (scopes == 0 || shown) return;
    // The window system takes the cursor at once; no events are handled, so
    // nothing else runs while the work goes on.
    QApplication::setOverrideCursor(Qt::WaitCursor);
    shown = true;
}

}  // namespace quarrow
