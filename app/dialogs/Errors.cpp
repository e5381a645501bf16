#include "Errors.h"

#include "Dialogs.h"

#include <dlfcn.h>
#include <QApplication>
#include <QFileInfo>
#include <QWidget>

namespace quarrow {

namespace {

struct CodeLocation {
    quintptr offset = 0;
    const char* module = nullptr;
};

CodeLocation locate(const void* address) {
    Dl_info info{};
    if (address != nullptr && dladdr(address, &info) != 0 && info.dli_fbase != nullptr) {
        return {reinterpret_cast<quintptr>(address) - reinterpret_cast<quintptr>(info.dli_fbase),
                info.dli_fname};
    }
    return {};
}

}  // namespace

Exception::Exception(QString message, const char* className)
    : message_(std::move(message)), utf8_(message_.toUtf8()), className_(className) {
    const CodeLocation where = locate(__builtin_return_address(0));
    address_ = where.offset;
    module_ = where.module;
}

QString Exception::moduleName() const {
    return module_ != nullptr ? QFileInfo(QString::fromLocal8Bit(module_)).fileName() : QString();
}

EAbort::EAbort() : Exception(QStringLiteral("Operation aborted"), "EAbort") {}

void SilentAbort() { throw EAbort(); }

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
