#include "QuarrowApplication.h"

#include "forms/EventBoundary.h"

namespace quarrow {

QuarrowApplication::QuarrowApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool QuarrowApplication::notify(QObject* receiver, QEvent* event) {
    bool handled = false;
    guarded([&] { handled = QApplication::notify(receiver, event); });
    return handled;
}

}  // namespace quarrow
