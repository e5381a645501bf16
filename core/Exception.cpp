#include "Exception.h"

#include <QFileInfo>

#if defined(Q_OS_WIN)
#include <windows.h>

#include <string>
#else
#include <dlfcn.h>
#endif

namespace quarrow {

namespace {

// Where a code address lies: its offset from the start of the module that
// holds it, and that module's file name, which the system keeps for as long
// as the module is loaded.
struct CodeLocation {
    quintptr offset = 0;
    const void* module = nullptr;
};

#if defined(Q_OS_WIN)

CodeLocation locate(const void* address) {
    HMODULE module = nullptr;
    if (address != nullptr && GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                                     GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                                 static_cast<LPCWSTR>(address), &module) != 0) {
        // A module's handle is the address it is loaded at.
        return {reinterpret_cast<quintptr>(address) - reinterpret_cast<quintptr>(module), module};
    }
    return {};
}

QString moduleFileName(const void* module) {
    // Long paths have room: the name is cut to the buffer otherwise.
    std::wstring name(32768, L'\0');
    const DWORD length = GetModuleFileNameW(static_cast<HMODULE>(const_cast<void*>(module)),
                                            name.data(), DWORD(name.size()));
    if (length == 0 || length >= name.size()) return {};
    return QString::fromWCharArray(name.data(), int(length));
}

#else

CodeLocation locate(const void* address) {
    Dl_info info{};
    if (address != nullptr && dladdr(address, &info) != 0 && info.dli_fbase != nullptr) {
        return {reinterpret_cast<quintptr>(address) - reinterpret_cast<quintptr>(info.dli_fbase),
                info.dli_fbase};
    }
    return {};
}

QString moduleFileName(const void* module) {
    Dl_info info{};
    if (dladdr(module, &info) == 0 || info.dli_fname == nullptr) return {};
    return QString::fromLocal8Bit(info.dli_fname);
}

#endif

}  // namespace

Exception::Exception(QString message, const char* className)
    : message_(std::move(message)), utf8_(message_.toUtf8()), className_(className) {
    const CodeLocation where = locate(__builtin_return_address(0));
    address_ = where.offset;
    module_ = where.module;
}

QString Exception::moduleName() const {
    return module_ != nullptr ? QFileInfo(moduleFileName(module_)).fileName() : QString();
}

EAbort::EAbort() : Exception(QStringLiteral("Operation aborted"), "EAbort") {}

void SilentAbort() { throw EAbort(); }

}  // namespace quarrow
