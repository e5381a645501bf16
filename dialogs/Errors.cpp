#include "Errors.h"

#include "Dialogs.h"

#include <QApplication>
#include <QWidget>

namespace quarrow {

namespace {

void releaseMouseCapture() {
    if (QWidget* grabber = QWidget::mouseGrabber()) {
        grabber->releaseMouse();
    }
}

// A message that ends in a letter or a digit gets a full stop; one that ends
// in ".", "!", ")", a blank or a line break does not.
QString withFullStop(QString message) {
    if (!message.isEmpty() && message.back().unicode() > u'.') {
        message += u'.';
    }
    return message;
}

}  // namespace

void HandleError(const std::exception& error) {
    releaseMouseCapture();
    if (dynamic_cast<const EAbort*>(&error) != nullptr) {
        return;
    }
    const auto* own = dynamic_cast<const Exception*>(&error);
    const QString message = own != nullptr ? own->message() : QString::fromUtf8(error.what());
    AppMessageBox(withFullStop(message), ApplicationTitle(), MB_OK | MB_ICONSTOP);
}

void HandleUnknownError() {
    releaseMouseCapture();
    AppMessageBox(QStringLiteral("Unknown error."), ApplicationTitle(), MB_OK | MB_ICONSTOP);
}

}  // namespace quarrow
