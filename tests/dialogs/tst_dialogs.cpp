#include "TestSupport.h"
#include "dialogs/Dialogs.h"
#include "forms/EventBoundary.h"

#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QTextBlock>
#include <QTextDocument>
#include <QVBoxLayout>
#include <QtTest>
#include <stdexcept>

using namespace quarrow;
using namespace quarrow::test;

namespace {

// How a test ends a dialog.
enum class Answer { Enter, Escape, Space, SpaceOnCancel, ClickOK, ClickCancel, CloseBox, AltF4 };

QString answerName(Answer answer) {
    switch (answer) {
        case Answer::Enter:
            return QStringLiteral("Enter");
        case Answer::Escape:
            return QStringLiteral("Esc");
        case Answer::Space:
            return QStringLiteral("Space");
        case Answer::SpaceOnCancel:
            return QStringLiteral("Space on Cancel");
        case Answer::ClickOK:
            return QStringLiteral("click OK");
        case Answer::ClickCancel:
            return QStringLiteral("click Cancel");
        case Answer::CloseBox:
            return QStringLiteral("close box");
        case Answer::AltF4:
            return QStringLiteral("Alt+F4");
    }
    return {};
}

// Ends `dialog` the way a user would; keys go to the widget that has focus.
void give(QWidget* dialog, Answer answer) {
    QWidget* focus = dialog->focusWidget() != nullptr ? dialog->focusWidget() : dialog;
    const auto button = [dialog](const char* name) {
        return dialog->findChild<QPushButton*>(QString::fromLatin1(name));
    };
    switch (answer) {
        case Answer::Enter:
            QTest::keyClick(focus, Qt::Key_Return);
            break;
        case Answer::Escape:
            QTest::keyClick(focus, Qt::Key_Escape);
            break;
        case Answer::Space:
            QTest::keyClick(focus, Qt::Key_Space);
            break;
        case Answer::SpaceOnCancel:
            button("Cancel")->setFocus();
            QTest::keyClick(button("Cancel"), Qt::Key_Space);
            break;
        case Answer::ClickOK:
            QTest::mouseClick(button("OK"), Qt::LeftButton);
            break;
        case Answer::ClickCancel:
            QTest::mouseClick(button("Cancel"), Qt::LeftButton);
            break;
        case Answer::CloseBox:
            dialog->close();
            break;
        case Answer::AltF4:
            QTest::keyClick(focus, Qt::Key_F4, Qt::AltModifier);
            break;
    }
}

// What the "Message" label shows: its markup as displayed, line breaks as
// LF, and the characters drawn underlined.
struct ShownText {
    QString text;
    QString underlined;
};

ShownText shownText(const QLabel* label) {
    QTextDocument document;
    document.setHtml(label->text());
    ShownText shown;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        if (block != document.begin()) shown.text += u'\n';
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            QString part = fragment.text();
            part.replace(QChar::LineSeparator, u'\n');
            shown.text += part;
            if (fragment.charFormat().fontUnderline()) shown.underlined += part;
        }
    }
    return shown;
}

QPixmap standardIcon(QStyle::StandardPixmap which) {
    const int size = qApp->style()->pixelMetric(QStyle::PM_MessageBoxIconSize);
    return qApp->style()->standardIcon(which).pixmap(size, size);
}

// Everything a test checks about an open message dialog, taken before the
// dialog is answered so that a failed check never leaves it open.
struct Observed {
    SeenDialog seen;
    bool hasImage = false;
    QImage image;
    QRect imageRect, messageRect, okRect, cancelRect, frame;
    int width = 0;
    QSize minimum, maximum;
    Qt::WindowFlags flags;
    Qt::WindowModality modality = Qt::NonModal;
    QWidget* parent = nullptr;
    QWidget* focus = nullptr;
    QWidget* okButton = nullptr;
    QFont font;
    ShownText shown;
    QString rawText;
    Qt::TextFormat format = Qt::AutoText;
    int lineSpacing = 0;
    bool textFits = false;
};

Observed observe(QWidget* dialog) {
    Observed o;
    o.seen = Describe(dialog);
    const auto rectOf = [dialog](QWidget* w) {
        return w != nullptr ? QRect(w->mapTo(dialog, QPoint()), w->size()) : QRect();
    };
    auto* image = dialog->findChild<QLabel*>(QStringLiteral("Image"));
    auto* message = dialog->findChild<QLabel*>(QStringLiteral("Message"));
    o.hasImage = image != nullptr && image->isVisible();
    if (image != nullptr) o.image = image->pixmap().toImage();
    o.imageRect = rectOf(image);
    o.messageRect = rectOf(message);
    o.okRect = rectOf(dialog->findChild<QPushButton*>(QStringLiteral("OK")));
    o.cancelRect = rectOf(dialog->findChild<QPushButton*>(QStringLiteral("Cancel")));
    o.okButton = dialog->findChild<QPushButton*>(QStringLiteral("OK"));
    o.frame = dialog->frameGeometry();
    o.width = dialog->width();
    o.minimum = dialog->minimumSize();
    o.maximum = dialog->maximumSize();
    o.flags = dialog->windowFlags();
    o.modality = dialog->windowModality();
    o.parent = dialog->parentWidget();
    o.focus = dialog->focusWidget();
    o.font = dialog->font();
    if (message != nullptr) {
        o.shown = shownText(message);
        o.rawText = message->property("messageText").toString();
        o.format = message->textFormat();
        o.lineSpacing = message->fontMetrics().lineSpacing();
        QTextDocument layout;
        layout.setDefaultFont(message->font());
        layout.setDocumentMargin(0);
        layout.setHtml(message->text());
        layout.setTextWidth(message->width());
        o.textFits =
            layout.idealWidth() <= message->width() && layout.size().height() <= message->height();
    }
    return o;
}

// Shows a message dialog, observes it once it is up, answers it.
int showMessageDialog(const QString& text, MsgDlgType type, MsgDlgButtons buttons, Answer answer,
                      Observed* observed = nullptr, QPointer<QWidget>* shownDialog = nullptr) {
    WhenNextDialogAppears([=](QWidget* dialog) {
        if (observed != nullptr) *observed = observe(dialog);
        if (shownDialog != nullptr) *shownDialog = dialog;
        give(dialog, answer);
    });
    return ShowMessageDialog(text, type, buttons);
}

QRect screenRect() { return QGuiApplication::primaryScreen()->geometry(); }

}  // namespace

Q_DECLARE_METATYPE(Answer)
Q_DECLARE_METATYPE(MsgDlgType)

class DialogsTest : public QObject {
    Q_OBJECT

private slots:
    void messageDialogKinds_data();
    void messageDialogKinds();
    void messageDialogLayout_data();
    void messageDialogLayout();
    void messageDialogText_data();
    void messageDialogText();
    void plainMessageIsCustomWithOK();

    void messageBox_data();
    void messageBox();
    void messageBoxText_data();
    void messageBoxText();
    void messageBoxGivesActiveWindowAndFocusBack();
    void messageBoxWithoutActiveWindowHasNoOwner();

    void errorBoxFullStop_data();
    void errorBoxFullStop();
    void silentAbortShowsNothingAndEndsEveryCaller();
    void errorReleasesMouseCapture_data();
    void errorReleasesMouseCapture();
    void errorEscapingAnEventIsShownAndLoopGoesOn();
    void errorBoxNestsOverMessageDialog();

    void startupErrorText_data();
    void startupErrorText();
};

void DialogsTest::messageDialogKinds_data() {
    QTest::addColumn<MsgDlgType>("type");
    QTest::addColumn<bool>("withCancel");
    QTest::addColumn<Answer>("answer");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<int>("icon");
    QTest::addColumn<int>("result");

    struct Kind {
        MsgDlgType type;
        const char* name;
        QString caption;
        QMessageBox::Icon icon;
    };
    const Kind kinds[] = {
        {MsgDlgType::Warning, "warning", QStringLiteral("Warning"), QMessageBox::Warning},
        {MsgDlgType::Error, "error", QStringLiteral("Error"), QMessageBox::Critical},
        {MsgDlgType::Information, "information", QStringLiteral("Information"),
         QMessageBox::Information},
        {MsgDlgType::Confirmation, "confirmation", QStringLiteral("Confirm"),
         QMessageBox::Question},
        {MsgDlgType::Custom, "custom", QStringLiteral("Quarrow"), QMessageBox::NoIcon},
    };
    // With OK alone, OK is also the cancel button: every way out but the
    // title bar gives 1.
    const QList<QPair<Answer, int>> okOnly = {
        {Answer::Enter, mrOk},   {Answer::Escape, mrOk},       {Answer::Space, mrOk},
        {Answer::ClickOK, mrOk}, {Answer::CloseBox, mrCancel}, {Answer::AltF4, mrCancel},
    };
    const QList<QPair<Answer, int>> okCancel = {
        {Answer::Enter, mrOk},        {Answer::Escape, mrCancel},
        {Answer::Space, mrOk},        {Answer::SpaceOnCancel, mrCancel},
        {Answer::ClickOK, mrOk},      {Answer::ClickCancel, mrCancel},
        {Answer::CloseBox, mrCancel}, {Answer::AltF4, mrCancel},
    };
    for (const Kind& kind : kinds) {
        for (bool withCancel : {false, true}) {
            for (const auto& [answer, result] : withCancel ? okCancel : okOnly) {
                QTest::addRow("%s %s %s", kind.name, withCancel ? "OK+Cancel" : "OK",
                              qPrintable(answerName(answer)))
                    << kind.type << withCancel << answer << kind.caption << int(kind.icon)
                    << result;
            }
        }
    }
}

void DialogsTest::messageDialogKinds() {
    QFETCH(MsgDlgType, type);
    QFETCH(bool, withCancel);
    QFETCH(Answer, answer);
    QFETCH(QString, caption);
    QFETCH(int, icon);
    QFETCH(int, result);

    const MsgDlgButtons buttons =
        withCancel ? MsgDlgButtons(MsgDlgBtn::OK | MsgDlgBtn::Cancel) : MsgDlgBtn::OK;
    Observed o;
    QPointer<QWidget> dialog;
    QCOMPARE(showMessageDialog(QStringLiteral("Text"), type, buttons, answer, &o, &dialog), result);

    QVERIFY(o.seen.seen);
    QVERIFY2(dialog.isNull(), "the dialog outlives the call");
    QCOMPARE(o.seen.objectName, QStringLiteral("TMessageForm"));
    QCOMPARE(o.seen.title, caption);
    QCOMPARE(o.seen.text, QStringLiteral("Text"));
    QCOMPARE(o.seen.icon, icon);
    const QStringList expectedButtons =
        withCancel ? QStringList{QStringLiteral("OK"), QStringLiteral("Cancel")}
                   : QStringList{QStringLiteral("OK")};
    QCOMPARE(o.seen.buttons, expectedButtons);
    QCOMPARE(o.seen.defaultButton, QStringLiteral("OK"));
    QCOMPARE(o.focus, o.okButton);
    QCOMPARE(o.hasImage, icon != QMessageBox::NoIcon);
    static const QHash<int, QStyle::StandardPixmap> pixmaps = {
        {QMessageBox::Warning, QStyle::SP_MessageBoxWarning},
        {QMessageBox::Critical, QStyle::SP_MessageBoxCritical},
        {QMessageBox::Information, QStyle::SP_MessageBoxInformation},
        {QMessageBox::Question, QStyle::SP_MessageBoxQuestion},
    };
    if (o.hasImage) QCOMPARE(o.image, standardIcon(pixmaps.value(icon)).toImage());
}

void DialogsTest::messageDialogLayout_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("wraps");
    QTest::addColumn<bool>("halfScreen");
    QTest::newRow("short") << QStringLiteral("Delete record?") << false << true;
    QString paragraph;
    for (int i = 0; i < 60; ++i) paragraph += QStringLiteral("driver catalogue ");
    QTest::newRow("long") << paragraph.trimmed() << true << true;
    // A word wider than half the screen widens the text rather than being cut.
    QTest::newRow("word wider than half the screen")
        << QStringLiteral("Could not find file 'C:\\") + QString(80, u'x') + u'\'' << true << false;
}

void DialogsTest::messageDialogLayout() {
    QFETCH(QString, text);
    QFETCH(bool, wraps);
    QFETCH(bool, halfScreen);

    Observed o;
    showMessageDialog(text, MsgDlgType::Confirmation, MsgDlgBtn::OK | MsgDlgBtn::Cancel,
                      Answer::ClickCancel, &o);
    QVERIFY(o.seen.seen);

    // Icon at the top left, text to its right.
    QVERIFY(o.imageRect.right() < o.messageRect.left());
    QVERIFY(o.imageRect.top() <= o.messageRect.top());
    // One centred row of equal buttons under the text, OK first.
    QCOMPARE(o.okRect.width(), o.cancelRect.width());
    QCOMPARE(o.okRect.top(), o.cancelRect.top());
    QVERIFY(o.okRect.right() < o.cancelRect.left());
    QVERIFY(o.okRect.top() > o.messageRect.bottom());
    QVERIFY(o.okRect.top() > o.imageRect.bottom());
    const int leftGap = o.okRect.left();
    const int rightGap = o.width - 1 - o.cancelRect.right();
    QVERIFY2(qAbs(leftGap - rightGap) <= 1,
             qPrintable(QStringLiteral("%1 vs %2").arg(leftGap).arg(rightGap)));
    // Word-wrapped to at most half the screen's width.
    QCOMPARE(o.messageRect.width() <= screenRect().width() / 2, halfScreen);
    QVERIFY2(o.textFits, "part of the text is cut off");
    if (wraps) {
        QVERIFY(o.messageRect.height() >= 2 * o.lineSpacing);
    } else {
        QVERIFY(o.messageRect.height() < 2 * o.lineSpacing);
        QVERIFY(o.messageRect.width() < screenRect().width() / 2);
    }
    // A fixed dialog frame, the message font, centred, modal, owned by no window.
    QCOMPARE(o.minimum, o.maximum);
    QVERIFY(o.flags.testFlag(Qt::MSWindowsFixedSizeDialogHint));
    QVERIFY(o.flags.testFlag(Qt::WindowCloseButtonHint));
    QVERIFY(!o.flags.testFlag(Qt::WindowMaximizeButtonHint));
    QVERIFY(!o.flags.testFlag(Qt::WindowContextHelpButtonHint));
    QCOMPARE(o.font, QApplication::font("QMessageBoxLabel"));
    QVERIFY2((o.frame.center() - screenRect().center()).manhattanLength() <= 1,
             qPrintable(QStringLiteral("frame centre %1,%2")
                            .arg(o.frame.center().x())
                            .arg(o.frame.center().y())));
    QCOMPARE(o.modality, Qt::ApplicationModal);
    QCOMPARE(o.parent, nullptr);
}

void DialogsTest::messageDialogText_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("underlined");

    QTest::newRow("single & underlines the next character")
        << QStringLiteral("&Save all") << QStringLiteral("Save all") << QStringLiteral("S");
    QTest::newRow("&& shows &") << QStringLiteral("R&&D") << QStringLiteral("R&D") << QString();
    QTest::newRow("&&& shows & and underlines")
        << QStringLiteral("a&&&bc") << QStringLiteral("a&bc") << QStringLiteral("b");
    QTest::newRow("& at the end is hidden")
        << QStringLiteral("end&") << QStringLiteral("end") << QString();
    QTest::newRow("Cyrillic access key")
        << QStringLiteral("Д&райвер") << QStringLiteral("Драйвер") << QStringLiteral("р");
    QTest::newRow("CR alone ends a line")
        << QStringLiteral("First.\rSecond.") << QStringLiteral("First.\nSecond.") << QString();
    QTest::newRow("LF ends a line")
        << QStringLiteral("First.\nSecond.") << QStringLiteral("First.\nSecond.") << QString();
    QTest::newRow("CR LF ends one line")
        << QStringLiteral("First.\r\nSecond.") << QStringLiteral("First.\nSecond.") << QString();
    QTest::newRow("CR CR gives an empty line")
        << QStringLiteral("a\r\rb") << QStringLiteral("a\n\nb") << QString();
    QTest::newRow("& before a line break")
        << QStringLiteral("a&\rb") << QStringLiteral("a\nb") << QString();
    QTest::newRow("blanks are kept")
        << QStringLiteral(" НЕТ В  БАЗЕ :( ") << QStringLiteral(" НЕТ В  БАЗЕ :( ") << QString();
    QTest::newRow("markup is shown as text")
        << QStringLiteral("<b>bold</b> &amp;") << QStringLiteral("<b>bold</b> amp;")
        << QStringLiteral("a");
}

void DialogsTest::messageDialogText() {
    QFETCH(QString, text);
    QFETCH(QString, shown);
    QFETCH(QString, underlined);

    Observed o;
    showMessageDialog(text, MsgDlgType::Information, MsgDlgBtn::OK, Answer::Enter, &o);
    QVERIFY(o.seen.seen);
    QCOMPARE(o.rawText, text);
    QCOMPARE(o.format, Qt::RichText);
    QCOMPARE(o.shown.text, shown);
    QCOMPARE(o.shown.underlined, underlined);
    const int lines = int(shown.count(u'\n')) + 1;
    QVERIFY(o.messageRect.height() >= lines * o.lineSpacing);
    QVERIFY(o.messageRect.height() < (lines + 1) * o.lineSpacing);
}

void DialogsTest::plainMessageIsCustomWithOK() {
    const auto seen = AnswerNextDialog(QStringLiteral("OK"));
    ShowPlainMessage(QStringLiteral("Нет ссылки на драйвер !"));
    QVERIFY(seen->seen);
    QCOMPARE(seen->objectName, QStringLiteral("TMessageForm"));
    QCOMPARE(seen->title, QStringLiteral("Quarrow"));
    QCOMPARE(seen->text, QStringLiteral("Нет ссылки на драйвер !"));
    QCOMPARE(seen->icon, int(QMessageBox::NoIcon));
    QCOMPARE(seen->buttons, QStringList{QStringLiteral("OK")});
    QCOMPARE(seen->defaultButton, QStringLiteral("OK"));
}

void DialogsTest::messageBox_data() {
    QTest::addColumn<int>("flags");
    QTest::addColumn<Answer>("answer");
    QTest::addColumn<QStringList>("buttons");
    QTest::addColumn<int>("icon");
    QTest::addColumn<int>("result");

    const QStringList ok{QStringLiteral("OK")};
    const QStringList okCancel{QStringLiteral("OK"), QStringLiteral("Cancel")};
    const int question = MB_OKCANCEL | MB_ICONQUESTION;
    QTest::newRow("question: click OK")
        << question << Answer::ClickOK << okCancel << int(QMessageBox::Question) << IDOK;
    QTest::newRow("question: Enter")
        << question << Answer::Enter << okCancel << int(QMessageBox::Question) << IDOK;
    QTest::newRow("question: Space")
        << question << Answer::Space << okCancel << int(QMessageBox::Question) << IDOK;
    QTest::newRow("question: click Cancel")
        << question << Answer::ClickCancel << okCancel << int(QMessageBox::Question) << IDCANCEL;
    QTest::newRow("question: Esc")
        << question << Answer::Escape << okCancel << int(QMessageBox::Question) << IDCANCEL;
    QTest::newRow("question: close box")
        << question << Answer::CloseBox << okCancel << int(QMessageBox::Question) << IDCANCEL;
    QTest::newRow("stop: click OK")
        << MB_ICONSTOP << Answer::ClickOK << ok << int(QMessageBox::Critical) << IDOK;
    QTest::newRow("stop: Esc") << MB_ICONSTOP << Answer::Escape << ok << int(QMessageBox::Critical)
                               << IDOK;
    QTest::newRow("stop: close box")
        << MB_ICONSTOP << Answer::CloseBox << ok << int(QMessageBox::Critical) << IDOK;
    QTest::newRow("task-modal stop: Enter") << (MB_ICONSTOP | MB_TASKMODAL) << Answer::Enter << ok
                                            << int(QMessageBox::Critical) << IDOK;
    QTest::newRow("OK, no icon") << MB_OK << Answer::Enter << ok << int(QMessageBox::NoIcon)
                                 << IDOK;
    QTest::newRow("OK and Cancel, no icon")
        << MB_OKCANCEL << Answer::Escape << okCancel << int(QMessageBox::NoIcon) << IDCANCEL;
}

void DialogsTest::messageBox() {
    QFETCH(int, flags);
    QFETCH(Answer, answer);
    QFETCH(QStringList, buttons);
    QFETCH(int, icon);
    QFETCH(int, result);

    QPointer<QWidget> shown;
    Qt::WindowModality modality = Qt::NonModal;
    SeenDialog seen;
    WhenNextDialogAppears([&](QWidget* dialog) {
        seen = Describe(dialog);
        shown = dialog;
        modality = dialog->windowModality();
        give(dialog, answer);
    });
    QCOMPARE(AppMessageBox(QStringLiteral("Поискать на сайте ???"),
                           QStringLiteral("ДРАЙВЕР НЕ НАЙДЕН !"), flags),
             result);
    QVERIFY(seen.seen);
    QVERIFY(shown.isNull());
    QCOMPARE(seen.objectName, QStringLiteral("AppMessageBox"));
    QCOMPARE(seen.title, QStringLiteral("ДРАЙВЕР НЕ НАЙДЕН !"));
    QCOMPARE(seen.text, QStringLiteral("Поискать на сайте ???"));
    QCOMPARE(seen.buttons, buttons);
    QCOMPARE(seen.defaultButton, QStringLiteral("OK"));
    QCOMPARE(seen.icon, icon);
    QCOMPARE(modality, Qt::ApplicationModal);
}

void DialogsTest::messageBoxText_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("shown");
    QTest::newRow("& unchanged") << QStringLiteral("R&D && &Co") << QStringLiteral("R&D && &Co");
    QTest::newRow("markup unchanged") << QStringLiteral("<b>x</b>") << QStringLiteral("<b>x</b>");
    QTest::newRow("CR alone") << QStringLiteral("First.\rSecond.")
                              << QStringLiteral("First.\nSecond.");
    QTest::newRow("CR LF") << QStringLiteral("First.\r\nSecond.")
                           << QStringLiteral("First.\nSecond.");
    QTest::newRow("CR CR") << QStringLiteral("a\r\rb") << QStringLiteral("a\n\nb");
}

void DialogsTest::messageBoxText() {
    QFETCH(QString, text);
    QFETCH(QString, shown);

    QString labelText;
    Qt::TextFormat format = Qt::AutoText;
    SeenDialog seen;
    WhenNextDialogAppears([&](QWidget* dialog) {
        seen = Describe(dialog);
        if (auto* label = dialog->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"))) {
            labelText = label->text();
            format = label->textFormat();
        }
        give(dialog, Answer::Enter);
    });
    AppMessageBox(text, QStringLiteral("Quarrow"), MB_OK);
    QCOMPARE(seen.text, text);
    QCOMPARE(format, Qt::PlainText);
    QCOMPARE(labelText, shown);
}

void DialogsTest::messageBoxGivesActiveWindowAndFocusBack() {
    QWidget window;
    auto* first = new QLineEdit(&window);
    auto* second = new QLineEdit(&window);
    auto* layout = new QVBoxLayout(&window);
    layout->addWidget(first);
    layout->addWidget(second);
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    second->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), second);

    QWidget* owner = nullptr;
    WhenNextDialogAppears([&](QWidget* dialog) {
        owner = dialog->parentWidget();
        give(dialog, Answer::ClickCancel);
    });
    QCOMPARE(AppMessageBox(QStringLiteral("?"), QStringLiteral("Q"), 33), IDCANCEL);
    QCOMPARE(owner, &window);
    QTRY_COMPARE(QApplication::activeWindow(), &window);
    QCOMPARE(QApplication::focusWidget(), second);
}

void DialogsTest::messageBoxWithoutActiveWindowHasNoOwner() {
    QTRY_COMPARE(QApplication::activeWindow(), nullptr);
    bool shown = false;
    QWidget* owner = nullptr;
    WhenNextDialogAppears([&](QWidget* dialog) {
        shown = true;
        owner = dialog->parentWidget();
        give(dialog, Answer::Enter);
    });
    QCOMPARE(AppMessageBox(QStringLiteral("x"), QStringLiteral("Quarrow"), MB_OK), IDOK);
    QVERIFY(shown);
    QCOMPARE(owner, nullptr);
}

void DialogsTest::errorBoxFullStop_data() {
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("standardError");
    QTest::addColumn<QString>("shown");

    QTest::newRow("letter") << QStringLiteral("Could not open") << false
                            << QStringLiteral("Could not open.");
    QTest::newRow("Cyrillic letter")
        << QStringLiteral("Ошибка") << false << QStringLiteral("Ошибка.");
    QTest::newRow("digit") << QStringLiteral("Error 42") << false << QStringLiteral("Error 42.");
    QTest::newRow("full stop") << QStringLiteral("Done.") << false << QStringLiteral("Done.");
    QTest::newRow("exclamation") << QStringLiteral("Stop!") << false << QStringLiteral("Stop!");
    QTest::newRow("bracket") << QStringLiteral("(none)") << false << QStringLiteral("(none)");
    QTest::newRow("blank") << QStringLiteral("trailing ") << false << QStringLiteral("trailing ");
    QTest::newRow("line break") << QStringLiteral("line\r\n") << false
                                << QStringLiteral("line\r\n");
    QTest::newRow("question mark is past the full stop")
        << QStringLiteral("Why?") << false << QStringLiteral("Why?.");
    QTest::newRow("empty") << QString() << false << QString();
    QTest::newRow("standard error")
        << QStringLiteral("bad allocation") << true << QStringLiteral("bad allocation.");
}

void DialogsTest::errorBoxFullStop() {
    QFETCH(QString, message);
    QFETCH(bool, standardError);
    QFETCH(QString, shown);

    const auto seen = AnswerNextDialog(QStringLiteral("OK"));
    bool after = false;
    guarded([&] {
        if (standardError) throw std::runtime_error(message.toStdString());
        throw EOleException(message);
        after = true;
    });
    QVERIFY(!after);
    QVERIFY(seen->seen);
    QCOMPARE(seen->objectName, QStringLiteral("AppMessageBox"));
    QCOMPARE(seen->title, QStringLiteral("Quarrow"));
    QCOMPARE(seen->text, shown);
    QCOMPARE(seen->icon, int(QMessageBox::Critical));
    QCOMPARE(seen->buttons, QStringList{QStringLiteral("OK")});
}

void DialogsTest::silentAbortShowsNothingAndEndsEveryCaller() {
    ShownDialogs shown(true);
    bool innerRest = false;
    bool outerRest = false;
    const auto inner = [&] {
        SilentAbort();
        innerRest = true;
    };
    guarded([&] {
        inner();
        outerRest = true;
    });
    QVERIFY(!innerRest);
    QVERIFY(!outerRest);
    QCOMPARE(shown.dialogs.size(), 0);

    try {
        SilentAbort();
    } catch (const Exception& abort) {
        QCOMPARE(abort.className(), "EAbort");
        QCOMPARE(abort.message(), QStringLiteral("Operation aborted"));
    }
}

void DialogsTest::errorReleasesMouseCapture_data() {
    QTest::addColumn<bool>("silent");
    QTest::newRow("error box") << false;
    QTest::newRow("silent abort") << true;
}

void DialogsTest::errorReleasesMouseCapture() {
    QFETCH(bool, silent);
    QWidget window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.grabMouse();
    QCOMPARE(QWidget::mouseGrabber(), &window);

    if (!silent) AnswerNextDialog(QStringLiteral("OK"));
    guarded([&] {
        if (silent) SilentAbort();
        throw Exception(QStringLiteral("dragging"));
    });
    QCOMPARE(QWidget::mouseGrabber(), nullptr);
}

namespace {

class ThrowingWidget : public QWidget {
public:
    int handled = 0;

protected:
    bool event(QEvent* event) override {
        if (event->type() == QEvent::User) {
            ++handled;
            throw Exception(QStringLiteral("Handler failed"));
        }
        return QWidget::event(event);
    }
};

}  // namespace

void DialogsTest::errorEscapingAnEventIsShownAndLoopGoesOn() {
    ThrowingWidget widget;
    const auto seen = AnswerNextDialog(QStringLiteral("OK"));
    QCoreApplication::postEvent(&widget, new QEvent(QEvent::User));
    QTRY_VERIFY(seen->seen);
    QCOMPARE(seen->text, QStringLiteral("Handler failed."));
    QCOMPARE(seen->title, QStringLiteral("Quarrow"));

    const auto again = AnswerNextDialog(QStringLiteral("OK"));
    QCoreApplication::postEvent(&widget, new QEvent(QEvent::User));
    QTRY_VERIFY(again->seen);
    QCOMPARE(widget.handled, 2);
}

void DialogsTest::errorBoxNestsOverMessageDialog() {
    SeenDialog box;
    QWidget* boxOwner = nullptr;
    QPointer<QWidget> beneath;
    QWidget* activeAfterBox = nullptr;
    WhenNextDialogAppears([&](QWidget* message) {
        beneath = message;
        // A user acts in a dialog once it is active; on a busy machine the
        // offscreen platform activates it a little after showing it.
        (void)QTest::qWaitForWindowActive(message);
        WhenNextDialogAppears([&](QWidget* dialog) {
            box = Describe(dialog);
            boxOwner = dialog->parentWidget();
            give(dialog, Answer::Enter);
        });
        guarded([] { throw Exception(QStringLiteral("Nested")); });
        activeAfterBox = QApplication::activeModalWidget();
        give(message, Answer::ClickCancel);
    });
    QCOMPARE(ShowMessageDialog(QStringLiteral("Delete record?"), MsgDlgType::Confirmation,
                               MsgDlgBtn::OK | MsgDlgBtn::Cancel),
             mrCancel);
    QCOMPARE(box.text, QStringLiteral("Nested."));
    QVERIFY(boxOwner != nullptr);
    QCOMPARE(activeAfterBox, boxOwner);
}

void DialogsTest::startupErrorText_data() {
    QTest::addColumn<QString>("type");
    QTest::addColumn<quintptr>("address");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("text");

    QTest::newRow("letter") << QStringLiteral("EOleException") << quintptr(0xabcd)
                            << QStringLiteral("Boom")
                            << QStringLiteral(
                                   "Exception EOleException in module quarrow at 0000ABCD.\r\n"
                                   "Boom.\r\n");
    QTest::newRow("full stop") << QStringLiteral("EDatabaseError") << quintptr(0x1234F0)
                               << QStringLiteral("Field 'x' not found.")
                               << QStringLiteral(
                                      "Exception EDatabaseError in module quarrow at 001234F0.\r\n"
                                      "Field 'x' not found.\r\n");
    QTest::newRow("exclamation gets a full stop")
        << QStringLiteral("Exception") << quintptr(0) << QStringLiteral("Stop!")
        << QStringLiteral("Exception Exception in module quarrow at 00000000.\r\nStop!.\r\n");
    QTest::newRow("empty") << QStringLiteral("EAbort") << quintptr(0xFFFFFFFF) << QString()
                           << QStringLiteral(
                                  "Exception EAbort in module quarrow at FFFFFFFF.\r\n\r\n");
    QTest::newRow("percent signs stay")
        << QStringLiteral("E%1") << quintptr(1) << QStringLiteral("100% %2")
        << QStringLiteral(
               "Exception E%1 in module quarrow at 00000001.\r\n"
               "100% %2.\r\n");
}

void DialogsTest::startupErrorText() {
    QFETCH(QString, type);
    QFETCH(quintptr, address);
    QFETCH(QString, message);
    QFETCH(QString, text);
    QCOMPARE(StartupErrorText(type, QStringLiteral("quarrow"), address, message), text);
}

QUARROW_TEST_MAIN(DialogsTest)
#include "tst_dialogs.moc"
