#include "DisplayGuard.h"

#include <cstdio>
#include <cstdlib>

#if defined(Q_OS_WIN)
#include <windows.h>
#endif

namespace quarrow {

namespace {

DisplayGuard* gGuard = nullptr;

// Qt's last word before it gives up: "This application failed to start
// because no Qt platform plugin could be initialized. ..."
bool isPlatformFailure(QtMsgType type, const QString& message) {
    return type == QtFatalMsg && message.contains(QStringLiteral("platform plugin"));
}

}  // namespace

DisplayGuard::DisplayGuard() {
    gGuard = this;
    previous_ = qInstallMessageHandler(&DisplayGuard::handle);
}

DisplayGuard::~DisplayGuard() {
    qInstallMessageHandler(previous_);
    gGuard = nullptr;
    for (const Held& held : held_) {
        const QMessageLogContext context(nullptr, 0, nullptr, held.category.constData());
        qt_message_output(held.type, context, held.message);
    }
}

QString DisplayGuard::NoDisplayLine(const QString& qtMessage) {
    QString why;
#if defined(Q_OS_WIN)
    // Windows always has its desktop: only the platform plugin can fail.
    const bool noDisplayNamed = false;
#else
    const bool noDisplayNamed = qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") &&
                                qEnvironmentVariableIsEmpty("DISPLAY") &&
                                qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
#endif
    if (noDisplayNamed) {
        why = QStringLiteral("neither DISPLAY nor WAYLAND_DISPLAY is set");
    } else if (!qtMessage.isEmpty()) {
        why = qtMessage.section(u'\n', 0, 0).trimmed();
    } else {
        why = QStringLiteral("no Qt platform plugin could be started");
    }
    return QStringLiteral("quarrow: no graphical display: %1\n").arg(why);
}

QString DisplayGuard::reason() const {
    // The platform plugin's own word ("could not connect to display :1")
    // says more than Qt's general one that follows it.
    for (const Held& held : held_) {
        if (held.category.startsWith("qt.qpa")) return held.message;
    }
    return held_.isEmpty() ? QString() : held_.last().message;
}

void DisplayGuard::handle(QtMsgType type, const QMessageLogContext& context,
                          const QString& message) {
    if (isPlatformFailure(type, message)) {
        const QString text = NoDisplayLine(gGuard->reason());
        const QByteArray line = text.toLocal8Bit();
        std::fwrite(line.constData(), 1, std::size_t(line.size()), stderr);
        std::fflush(stderr);
#if defined(Q_OS_WIN)
        // A desktop program started from Explorer has no standard error to
        // read: the system's own message box says it there.
        const HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
        if (error == nullptr || error == INVALID_HANDLE_VALUE) {
            MessageBoxW(nullptr, reinterpret_cast<const wchar_t*>(text.trimmed().utf16()),
                        L"Quarrow", MB_OK | MB_ICONERROR);
        }
#endif
        // Qt would abort right after this handler; nothing of the program's
        // has started yet that needs ending.
        std::_Exit(1);
    }
    gGuard->held_.append(Held{type, QByteArray(context.category), message});
}

}  // namespace quarrow
