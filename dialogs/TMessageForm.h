#pragma once

#include "Dialogs.h"

#include <QDialog>

class QHBoxLayout;
class QLabel;
class QPushButton;

namespace quarrow {

// The message dialog: the kind's caption and icon at the top left, the text
// word-wrapped to at most half the screen's width with "&" as access-key
// marker, and the buttons in one centred row of equal widths. Each button
// ends the dialog with its result; the close box and Alt+F4 give mrCancel.
// The raw text is kept in the "Message" label's property "messageText", the
// icon as a QMessageBox::Icon in the dialog's property "iconKind".
class TMessageForm : public QDialog {
    Q_OBJECT
public:
    TMessageForm(const QString& text, MsgDlgType type, MsgDlgButtons buttons,
                 QWidget* parent = nullptr);

public slots:
    void reject() override;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    QLabel* addIcon(MsgDlgType type);
    QLabel* addMessage(const QString& text);
    QHBoxLayout* addButtons(MsgDlgButtons buttons);
    QPushButton* addButton(const QString& caption, int result);

    QPushButton* cancelButton_ = nullptr;
};

}  // namespace quarrow
