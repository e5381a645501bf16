#pragma once

#include <QApplication>

namespace quarrow {

// The application object. Its event dispatch is the message loop's own event
// boundary: an error that escapes there is shown and the loop goes on.
class QuarrowApplication : public QApplication {
public:
    QuarrowApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

}  // namespace quarrow
