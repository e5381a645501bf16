#include "Dialogs.h"

#include "Errors.h"

#include <QApplication>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>

namespace quarrow {

namespace {
QString& titleStorage() {
    static QString title = QStringLiteral("Quarrow");
    return title;
}
}  // namespace

QString ApplicationTitle() { return titleStorage(); }
void SetApplicationTitle(const QString& title) { titleStorage() = title; }

int ShowMessageDialog(const QString& text, MsgDlgType type, MsgDlgButtons buttons, int) {
    QMessageBox box;
    box.setObjectName(QStringLiteral("TMessageForm"));
    box.setText(text);
    switch (type) {
        case MsgDlgType::Warning:
            box.setWindowTitle(QStringLiteral("Warning"));
            box.setIcon(QMessageBox::Warning);
            break;
        case MsgDlgType::Error:
            box.setWindowTitle(QStringLiteral("Error"));
            box.setIcon(QMessageBox::Critical);
            break;
        case MsgDlgType::Information:
            box.setWindowTitle(QStringLiteral("Information"));
            box.setIcon(QMessageBox::Information);
            break;
        case MsgDlgType::Confirmation:
            box.setWindowTitle(QStringLiteral("Confirm"));
            box.setIcon(QMessageBox::Question);
            break;
        case MsgDlgType::Custom:
            box.setWindowTitle(ApplicationTitle());
            break;
    }
    QPushButton* ok = box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
    QPushButton* cancel = nullptr;
    if (buttons.testFlag(MsgDlgBtn::Cancel)) {
        cancel = box.addButton(QStringLiteral("Cancel"), QMessageBox::RejectRole);
    }
    box.setDefaultButton(ok);
    box.setEscapeButton(cancel != nullptr ? cancel : ok);
    box.exec();
    return box.clickedButton() == ok ? mrOk : mrCancel;
}

void ShowPlainMessage(const QString& text) {
    ShowMessageDialog(text, MsgDlgType::Custom, MsgDlgBtn::OK);
}

int AppMessageBox(const QString& text, const QString& caption, int flags) {
    QMessageBox box(QApplication::activeWindow());
    box.setObjectName(QStringLiteral("AppMessageBox"));
    box.setWindowTitle(caption);
    box.setText(text);
    box.setTextFormat(Qt::PlainText);
    if ((flags & 0xF0) == MB_ICONSTOP) box.setIcon(QMessageBox::Critical);
    if ((flags & 0xF0) == MB_ICONQUESTION) box.setIcon(QMessageBox::Question);
    QPushButton* ok = box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
    QPushButton* cancel = nullptr;
    if ((flags & 0xF) == MB_OKCANCEL) {
        cancel = box.addButton(QStringLiteral("Cancel"), QMessageBox::RejectRole);
    }
    box.setDefaultButton(ok);
    box.setEscapeButton(cancel != nullptr ? cancel : ok);
    box.exec();
    return box.clickedButton() == ok ? IDOK : IDCANCEL;
}

QString StartupErrorText(const std::exception& error) {
    const auto* own = dynamic_cast<const Exception*>(&error);
    const QString kind = own != nullptr ? QString::fromLatin1(own->className())
                                        : QStringLiteral("Exception");
    const QString message = own != nullptr ? own->message() : QString::fromUtf8(error.what());
    const quintptr address = own != nullptr ? own->address() : 0;
    const QString module = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
    return QStringLiteral("Exception %1 in module %2 at %3.\r\n%4%5\r\n")
        .arg(kind, module,
             QStringLiteral("%1").arg(quint32(address), 8, 16, QLatin1Char('0')).toUpper(),
             message,
             (!message.isEmpty() && !message.endsWith(u'.')) ? QStringLiteral(".") : QString());
}

void ShowStartupErrorBox(const std::exception& error) {
    QMessageBox box;
    box.setObjectName(QStringLiteral("StartupErrorBox"));
    box.setWindowTitle(QStringLiteral("Application Error"));
    box.setText(StartupErrorText(error));
    box.setTextFormat(Qt::PlainText);
    box.setIcon(QMessageBox::Critical);
    box.setWindowModality(Qt::ApplicationModal);
    box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
    box.exec();
}

}  // namespace quarrow
