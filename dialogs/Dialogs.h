#pragma once

#include <QFlags>
#include <QString>
#include <exception>

class QWidget;

namespace quarrow {

// The program's title: caption of the plain message and of the error box.
QString ApplicationTitle();
void SetApplicationTitle(const QString& title);

enum class MsgDlgType { Warning, Error, Information, Confirmation, Custom };

enum class MsgDlgBtn { OK = 0x1, Cancel = 0x2 };
Q_DECLARE_FLAGS(MsgDlgButtons, MsgDlgBtn)
Q_DECLARE_OPERATORS_FOR_FLAGS(MsgDlgButtons)

constexpr int mrOk = 1;
constexpr int mrCancel = 2;

// Flag values of the desktop message box.
constexpr int MB_OK = 0;
constexpr int MB_OKCANCEL = 1;
constexpr int MB_ICONSTOP = 16;
constexpr int MB_ICONQUESTION = 32;
constexpr int MB_ICONEXCLAMATION = 48;
constexpr int MB_ICONINFORMATION = 64;
constexpr int MB_TASKMODAL = 8192;
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;

// The message dialog (object name "TMessageForm"): returns the pressed
// button's result, mrCancel when closed from the title bar or with Alt+F4.
int ShowMessageDialog(const QString& text, MsgDlgType type, MsgDlgButtons buttons,
                      int helpContext = 0);

// The plain message: the custom-kind message dialog with a single OK.
void ShowPlainMessage(const QString& text);

// The desktop message box (object name "AppMessageBox"), owned by the active
// window, showing the text as it is. Returns IDOK or IDCANCEL; afterwards the
// window that was active is active again, with the focus where it was.
int AppMessageBox(const QString& text, const QString& caption, int flags);

// Text of the start-up error box.
QString StartupErrorText(const QString& typeName, const QString& moduleName, quintptr address,
                         const QString& message);
// Shows the start-up error box (object name "StartupErrorBox", no owner,
// caption "Application Error") for the error in `error`.
void ShowStartupErrorBox(const std::exception_ptr& error);

// Moves a window so that its frame is centred on the primary screen.
void CentreOnScreen(QWidget* window);

}  // namespace quarrow
