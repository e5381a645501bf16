#include "ModalWindow.h"

#include <QApplication>
#include <QPointer>
#include <QTimer>

namespace quarrow::test {

void WhenShownModally(QWidget* window, std::function<void()> action) {
    auto* timer = new QTimer;
    auto polls = std::make_shared<int>(0);
    QPointer<QWidget> target(window);
    QObject::connect(timer, &QTimer::timeout, [timer, target, action, polls] {
        const bool up =
            target && target->isVisible() && QApplication::activeModalWidget() == target.data();
        if (!up && ++*polls <= 1000) return;  // about ten seconds
        timer->stop();
        timer->deleteLater();
        if (up) {
            action();
        } else {
            qWarning("The window was not shown modally");
            if (target) target->hide();
        }
    });
    timer->start(10);
}

}  // namespace quarrow::test
