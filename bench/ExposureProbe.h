#pragma once

#include <QCoreApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <cstdio>
#include <ctime>
#include <functional>

namespace quarrow::bench {

// The monotonic clock, which every process of the machine shares.
inline long long MonotonicNanoseconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * 1'000'000'000LL + now.tv_nsec;
}

// An application object that prints the monotonic clock, in nanoseconds, as
// soon as a window has handled its first exposure (it is then painted on
// the screen), and ends the message loop. The one who started the process
// knows when it did so.
template <typename Application>
class ExposureProbe : public Application {
public:
    ExposureProbe(int& argc, char** argv, std::function<QWidget*()> window)
        : Application(argc, argv), window_(std::move(window)) {}

    bool notify(QObject* receiver, QEvent* event) override {
        const bool handled = Application::notify(receiver, event);
        if (!reported_ && event->type() == QEvent::Expose && isExposedWindow(receiver)) {
            reported_ = true;
            std::printf("%lld\n", MonotonicNanoseconds());
            std::fflush(stdout);
            // Queued, so that it also ends a loop that has not started yet.
            QTimer::singleShot(0, this, &QCoreApplication::quit);
        }
        return handled;
    }

private:
    bool isExposedWindow(QObject* receiver) const {
        QWidget* widget = window_();
        return widget != nullptr && widget->windowHandle() == receiver &&
               widget->windowHandle()->isExposed();
    }

    std::function<QWidget*()> window_;
    bool reported_ = false;
};

}  // namespace quarrow::bench
