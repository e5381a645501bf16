#include "DeferredWindow.h"

namespace quarrow {

DeferredWindow::DeferredWindow(QWidget* parent) : QWidget(parent) {}

void DeferredWindow::makeContents() {
    if (hasContents_) return;
    hasContents_ = true;
    buildContents();
}

void DeferredWindow::setVisible(bool visible) {
    // Before the window is shown, so that its controls are shown with it.
    if (visible) makeContents();
    QWidget::setVisible(visible);
}

}  // namespace quarrow
