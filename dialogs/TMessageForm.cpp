#include "TMessageForm.h"

#include "DialogText.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QTextDocument>
#include <QTextOption>
#include <QVBoxLayout>
#include <QtMath>

namespace quarrow {

namespace {

struct Kind {
    QString caption;
    QMessageBox::Icon icon;
    QStyle::StandardPixmap pixmap;
};

Kind kindOf(MsgDlgType type) {
    switch (type) {
        case MsgDlgType::Warning:
            return {QStringLiteral("Warning"), QMessageBox::Warning, QStyle::SP_MessageBoxWarning};
        case MsgDlgType::Error:
            return {QStringLiteral("Error"), QMessageBox::Critical, QStyle::SP_MessageBoxCritical};
        case MsgDlgType::Information:
            return {QStringLiteral("Information"), QMessageBox::Information,
                    QStyle::SP_MessageBoxInformation};
        case MsgDlgType::Confirmation:
            return {QStringLiteral("Confirm"), QMessageBox::Question,
                    QStyle::SP_MessageBoxQuestion};
        case MsgDlgType::Custom:
            break;
    }
    return {ApplicationTitle(), QMessageBox::NoIcon, QStyle::SP_CustomBase};
}

int maximumTextWidth() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen != nullptr ? screen->geometry().width() / 2 : QWIDGETSIZE_MAX;
}

}  // namespace

TMessageForm::TMessageForm(const QString& text, MsgDlgType type, MsgDlgButtons buttons,
                           QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("TMessageForm"));
    setProperty("skinSection", QStringLiteral("FORM"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setWindowModality(Qt::ApplicationModal);
    setFont(QApplication::font("QMessageBoxLabel"));
    setWindowTitle(kindOf(type).caption);
    setProperty("iconKind", int(kindOf(type).icon));

    auto* body = new QHBoxLayout;
    if (QLabel* image = addIcon(type)) body->addWidget(image, 0, Qt::AlignTop);
    body->addWidget(addMessage(text), 0, Qt::AlignTop);

    auto* layout = new QVBoxLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->addLayout(body);
    layout->addLayout(addButtons(buttons));

    // A closed dialog that no button ended answers as its close box does.
    setResult(mrCancel);
    adjustSize();
    CentreOnScreen(this);
}

QLabel* TMessageForm::addIcon(MsgDlgType type) {
    const Kind kind = kindOf(type);
    if (kind.icon == QMessageBox::NoIcon) return nullptr;
    auto* image = new QLabel(this);
    image->setObjectName(QStringLiteral("Image"));
    const int size = style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, this);
    image->setPixmap(style()->standardIcon(kind.pixmap, nullptr, this).pixmap(size, size));
    return image;
}

QLabel* TMessageForm::addMessage(const QString& text) {
    auto* message = new QLabel(this);
    message->setObjectName(QStringLiteral("Message"));
    message->setProperty("messageText", text);
    message->setTextFormat(Qt::RichText);
    message->setTextInteractionFlags(Qt::NoTextInteraction);
    message->setText(AccessKeyHtml(ShownMessageText(text)));
    message->ensurePolished();

    // The label breaks lines between words only: a word wider than the wrap
    // width widens the text rather than being cut off.
    QTextDocument lines;
    lines.setDefaultFont(message->font());
    lines.setDocumentMargin(0);
    QTextOption wrap = lines.defaultTextOption();
    wrap.setWrapMode(QTextOption::WordWrap);
    lines.setDefaultTextOption(wrap);
    lines.setHtml(message->text());
    lines.setTextWidth(qMin(message->sizeHint().width(), maximumTextWidth()));
    const int width = qCeil(qMax(lines.textWidth(), lines.idealWidth()));

    message->setWordWrap(true);
    message->setFixedSize(width, message->heightForWidth(width));
    return message;
}

QHBoxLayout* TMessageForm::addButtons(MsgDlgButtons buttons) {
    // Every dialog has a button: without Cancel, OK is always there.
    if (!buttons.testFlag(MsgDlgBtn::Cancel)) buttons |= MsgDlgBtn::OK;
    QList<QPushButton*> row;
    if (buttons.testFlag(MsgDlgBtn::OK)) row.append(addButton(QStringLiteral("OK"), mrOk));
    if (buttons.testFlag(MsgDlgBtn::Cancel)) {
        row.append(addButton(QStringLiteral("Cancel"), mrCancel));
    }
    cancelButton_ = row.back();
    row.front()->setDefault(true);
    row.front()->setFocus();

    auto* layout = new QHBoxLayout;
    layout->addStretch();
    int width = 0;
    for (QPushButton* button : row) width = qMax(width, button->sizeHint().width());
    for (QPushButton* button : row) {
        button->setFixedWidth(width);
        layout->addWidget(button);
    }
    layout->addStretch();
    return layout;
}

QPushButton* TMessageForm::addButton(const QString& caption, int result) {
    auto* button = new QPushButton(caption, this);
    button->setObjectName(caption);
    connect(button, &QPushButton::clicked, this, [this, result] { done(result); });
    return button;
}

void TMessageForm::reject() { done(mrCancel); }

void TMessageForm::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::Cancel)) {
        cancelButton_->click();
        return;
    }
    // Where no window manager closes the window on Alt+F4, the dialog does.
    if (event->key() == Qt::Key_F4 && event->modifiers() == Qt::AltModifier) {
        close();
        return;
    }
    QDialog::keyPressEvent(event);
}

}  // namespace quarrow
