#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <exception>

namespace quarrow {

// Every failure in Quarrow is an exception of this family. The class name is
// what the start-up error box reports as the kind of error.
class Exception : public std::exception {
public:
    explicit Exception(QString message, const char* className = "Exception");
    const QString& message() const { return message_; }
    const char* className() const { return className_; }
    // Where the error was raised, as an offset into the module that raised it,
    // and that module's file name without folder (empty when unknown).
    quintptr address() const { return address_; }
    QString moduleName() const;
    const char* what() const noexcept override { return utf8_.constData(); }

private:
    QString message_;
    QByteArray utf8_;
    const char* className_;
    quintptr address_ = 0;
    const void* module_ = nullptr;  // the address the module is loaded at
};

// The silent abort: ends the running handler and every handler that called
// it, and shows nothing.
class EAbort : public Exception {
public:
    EAbort();
};

[[noreturn]] void SilentAbort();

// Errors of the data layer itself (unknown field, bad position, closed query).
class EDatabaseError : public Exception {
public:
    explicit EDatabaseError(QString message) : Exception(std::move(message), "EDatabaseError") {}
};

// Errors reported by the database engine (file, password, statement, write).
class EOleException : public Exception {
public:
    explicit EOleException(QString message) : Exception(std::move(message), "EOleException") {}
};

}  // namespace quarrow
