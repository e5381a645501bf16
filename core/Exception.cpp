#include "Exception.h"

#include <dlfcn.h>
#include <QFileInfo>

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

}  // namespace quarrow
