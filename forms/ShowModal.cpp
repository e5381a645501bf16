#include "ShowModal.h"

#include <QEvent>
#include <QEventLoop>
#include <QPointer>
#include <QWidget>

namespace quarrow {

namespace {

class HideWatcher : public QObject {
public:
    HideWatcher(QWidget* window, QEventLoop* loop) : window_(window), loop_(loop) {
        window->installEventFilter(this);
    }
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == window_ && event->type() == QEvent::Hide) loop_->quit();
        return false;
    }

private:
    QWidget* window_;
    QEventLoop* loop_;
};

}  // namespace

void ShowModal(QWidget* window) {
    if (window == nullptr) return;
    QPointer<QWidget> guard(window);
    window->setWindowModality(Qt::ApplicationModal);
    QEventLoop loop;
    HideWatcher watcher(window, &loop);
    window->show();
    window->raise();
    window->activateWindow();
    if (window->isVisible()) loop.exec();
    if (guard) guard->removeEventFilter(&watcher);
}

void ShowOrUncover(QWidget* window, QWidget* current) {
    if (window == nullptr) return;
    if (window->isVisible()) {
        current->close();
    } else {
        ShowModal(window);
    }
}

}  // namespace quarrow
