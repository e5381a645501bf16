#pragma once

#include <QString>
#include <QtGlobal>
#include <exception>

class QWidget;

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
    const char* module_ = nullptr;
};

// The silent abort: ends the running handler and every handler that called
// it, and shows nothing.
class EAbort : public Exception {
public:
    EAbort();
};

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

[[noreturn]] void SilentAbort();

// Shows an error caught at an event boundary: nothing for the silent abort,
// the error box for anything else.
void HandleError(const std::exception& error);
void HandleUnknownError();

// Runs a handler at an event boundary: whatever it throws is shown by
// HandleError and goes no further, so no exception ever crosses Qt's frames.
template <typename Handler>
void guarded(Handler&& handler) {
    try {
        handler();
    } catch (const std::exception& error) {
        HandleError(error);
    } catch (...) {
        HandleUnknownError();
    }
}

}  // namespace quarrow
