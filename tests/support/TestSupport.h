#pragma once

#include "program/QuarrowApplication.h"

#include <QDir>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QWidget>
#include <functional>
#include <memory>

namespace quarrow::test {

// What a modal dialog or message box showed when it was answered.
struct SeenDialog {
    bool seen = false;
    QString objectName;  // "TMessageForm" for message dialogs, "AppMessageBox" for boxes
    QString title;
    QString text;         // the message as given, "&" and line breaks included
    QStringList buttons;  // captions, left to right
    QString defaultButton;
    int icon = 0;  // QMessageBox::Icon for boxes; the dialog's own for message dialogs
};

// Waits for the next modal dialog to appear (from a timer, while the code
// under test runs its nested loop), records it, and presses the button with
// `caption`. An empty caption closes it with Esc. Returns the record, filled
// once the dialog has been answered.
std::shared_ptr<SeenDialog> AnswerNextDialog(const QString& caption);

// The same with a free action on the dialog widget.
void WhenNextDialogAppears(std::function<void(QWidget* dialog)> action);

// Describes a dialog widget (message dialog or message box).
SeenDialog Describe(QWidget* dialog);

// Records every target handed to the desktop while it lives.
class RecordingLauncher {
public:
    RecordingLauncher();
    ~RecordingLauncher();
    QStringList targets;
};

// A fresh temporary folder made the current folder while the object lives.
class TemporaryCurrentFolder {
public:
    TemporaryCurrentFolder();
    ~TemporaryCurrentFolder();
    QString path() const { return dir_.path(); }
    QString filePath(const QString& name) const { return dir_.filePath(name); }

private:
    QTemporaryDir dir_;
    QString previous_;
};

// The columns of a driver catalogue's table_1, in an order the program
// accepts (Устройство, os, Размер and Версия at positions 1 to 4).
QStringList DriverCatalogueColumns();

// The folder with the built programs (quarrow, quarrow-catalogue).
QString BuildDir();

// Whether a file without write permission refuses this process's writes:
// not for Linux's superuser, nor for Wine run by it.
bool FilePermissionsBind();

// Records every dialog that is shown while it lives, in order. With
// `closeEach`, each one is rejected as soon as it shows, so that a dialog
// that should not have appeared cannot hold a test up.
class ShownDialogs : public QObject {
public:
    explicit ShownDialogs(bool closeEach = false);
    ~ShownDialogs() override;
    QList<SeenDialog> dialogs;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool closeEach_;
};

}  // namespace quarrow::test

// Every suite's main: its application object is Quarrow's own, so that the
// message loop's error boundary is the one that ships.
#define QUARROW_TEST_MAIN(TestObject)                \
    int main(int argc, char** argv) {                \
        quarrow::QuarrowApplication app(argc, argv); \
        app.setAttribute(Qt::AA_Use96Dpi, true);     \
        TestObject tc;                               \
        QTEST_SET_MAIN_SOURCE_PATH                   \
        return QTest::qExec(&tc, argc, argv);        \
    }
