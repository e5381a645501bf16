#include "Dialogs.h"

#include "DialogText.h"
#include "Errors.h"
#include "TMessageForm.h"

#include <QApplication>
#include <QFileInfo>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QScopeGuard>
#include <QScreen>
#include <QWindow>
#if defined(__GNUC__)
#include <cxxabi.h>
#endif
#include <cstdlib>
#include <memory>
#include <typeinfo>

namespace quarrow {

namespace {

QString& titleStorage() {
    static QString title = QStringLiteral("Quarrow");
    return title;
}

QMessageBox::Icon iconOf(int flags) {
    switch (flags & 0xF0) {
        case MB_ICONSTOP:
            return QMessageBox::Critical;
        case MB_ICONQUESTION:
            return QMessageBox::Question;
        case MB_ICONEXCLAMATION:
            return QMessageBox::Warning;
        case MB_ICONINFORMATION:
            return QMessageBox::Information;
        default:
            return QMessageBox::NoIcon;
    }
}

// Shows a desktop message box modally and returns its answer. The box is
// owned by `owner`, which may go away while the box is open.
int execMessageBox(QWidget* owner, const QString& objectName, const QString& text,
                   const QString& caption, int flags) {
    QPointer<QMessageBox> box = new QMessageBox(owner);
    const auto deleteBox = qScopeGuard([&box] { delete box.data(); });
    box->setObjectName(objectName);
    box->setProperty("skinSection", QStringLiteral("DIALOG"));
    box->setProperty("messageText", text);
    box->setWindowTitle(caption);
    box->setTextFormat(Qt::PlainText);
    box->setText(NormaliseLineBreaks(ShownMessageText(text)));
    box->setIcon(iconOf(flags));
    box->setProperty("iconKind", int(iconOf(flags)));
    box->setWindowModality(Qt::ApplicationModal);

    // Both buttons share one role, so that OK stands left of Cancel whatever
    // the platform's usual order.
    QPushButton* ok = box->addButton(QStringLiteral("OK"), QMessageBox::ActionRole);
    ok->setObjectName(QStringLiteral("OK"));
    QPushButton* cancel = nullptr;
    if ((flags & 0xF) == MB_OKCANCEL) {
        cancel = box->addButton(QStringLiteral("Cancel"), QMessageBox::ActionRole);
        cancel->setObjectName(QStringLiteral("Cancel"));
    }
    box->setDefaultButton(ok);
    box->setEscapeButton(cancel != nullptr ? cancel : ok);
    const int escapeAnswer = cancel != nullptr ? IDCANCEL : IDOK;

    box->exec();
    if (box.isNull()) return escapeAnswer;
    QAbstractButton* clicked = box->clickedButton();
    if (clicked == ok) return IDOK;
    if (clicked == cancel) return IDCANCEL;
    return escapeAnswer;
}

// Makes the window that was active when it was created active again, with
// the focus where it was, however the scope is left.
class ActiveWindowKeeper {
public:
    ActiveWindowKeeper()
        : window_(QApplication::activeWindow()), focus_(QApplication::focusWidget()) {}
    ~ActiveWindowKeeper() {
        if (window_ && window_->isVisible()) window_->activateWindow();
        if (focus_ && focus_->isVisible()) focus_->setFocus(Qt::ActiveWindowFocusReason);
    }
    QWidget* window() const { return window_; }
    ActiveWindowKeeper(const ActiveWindowKeeper&) = delete;
    ActiveWindowKeeper& operator=(const ActiveWindowKeeper&) = delete;

private:
    QPointer<QWidget> window_;
    QPointer<QWidget> focus_;
};

QString typeName(const std::type_info& type) {
#if defined(__GNUC__)
    int status = 0;
    std::unique_ptr<char, void (*)(void*)> name(
        abi::__cxa_demangle(type.name(), nullptr, nullptr, &status), std::free);
    if (status == 0 && name != nullptr) return QString::fromUtf8(name.get());
#endif
    return QString::fromUtf8(type.name());
}

QString startupErrorText(const std::exception_ptr& error) {
    const QString module = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
    try {
        std::rethrow_exception(error);
    } catch (const Exception& own) {
        return StartupErrorText(QString::fromLatin1(own.className()),
                                own.moduleName().isEmpty() ? module : own.moduleName(),
                                own.address(), own.message());
    } catch (const std::exception& other) {
        return StartupErrorText(typeName(typeid(other)), module, 0,
                                QString::fromUtf8(other.what()));
    } catch (...) {
        return StartupErrorText(QStringLiteral("Exception"), module, 0, QString());
    }
}

}  // namespace

QString ApplicationTitle() { return titleStorage(); }
void SetApplicationTitle(const QString& title) { titleStorage() = title; }

int ShowMessageDialog(const QString& text, MsgDlgType type, MsgDlgButtons buttons, int) {
    // An error box right after this dialog must find the window it came from
    // active again.
    const ActiveWindowKeeper keeper;
    TMessageForm form(text, type, buttons);
    return form.exec();
}

void ShowPlainMessage(const QString& text) {
    ShowMessageDialog(text, MsgDlgType::Custom, MsgDlgBtn::OK);
}

int AppMessageBox(const QString& text, const QString& caption, int flags) {
    const ActiveWindowKeeper keeper;
    return execMessageBox(keeper.window(), QStringLiteral("AppMessageBox"), text, caption, flags);
}

QString StartupErrorText(const QString& typeName, const QString& moduleName, quintptr address,
                         const QString& message) {
    const QString hex = QStringLiteral("%1").arg(address, 8, 16, QLatin1Char('0')).toUpper();
    const QString fullStop =
        !message.isEmpty() && !message.endsWith(u'.') ? QStringLiteral(".") : QString();
    return QStringLiteral("Exception %1 in module %2 at %3.\r\n%4%5\r\n")
        .arg(typeName, moduleName, hex, message, fullStop);
}

void ShowStartupErrorBox(const std::exception_ptr& error) {
    execMessageBox(nullptr, QStringLiteral("StartupErrorBox"), startupErrorText(error),
                   QStringLiteral("Application Error"), MB_OK | MB_ICONSTOP | MB_TASKMODAL);
}

void CentreOnScreen(QWidget* window) {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) return;
    QRect frame = window->frameGeometry();
    if (!window->isVisible()) {
        // A hidden window's frame is known to its platform window only.
        window->winId();
        if (const QWindow* handle = window->windowHandle()) {
            frame = window->geometry().marginsAdded(handle->frameMargins());
        }
    }
    frame.moveCenter(screen->geometry().center());
    window->move(frame.topLeft());
}

}  // namespace quarrow
