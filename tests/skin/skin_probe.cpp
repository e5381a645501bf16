// Starts Quarrow as the program does, from wherever this file was copied to,
// answers every dialog that comes up, and reports what the skin did:
//   dialog <caption>|<text>|skinned or plain, as it was shown
//   stylesheet set|none
//   active 1|0
//   visible <window> 1|0
//   section <window>.<control> <section>
// then ends the message loop; with --stay-up it prints "up" and runs on
// until it is ended from outside.
#include "TestSupport.h"
#include "about/TForm2.h"
#include "devices/TForm4.h"
#include "mainwindow/TForm1.h"
#include "program/QuarrowApplication.h"
#include "program/Startup.h"
#include "skin/SkinManager.h"
#include "vendors/TForm3.h"

#include <QTest>
#include <QTextStream>
#include <QTimer>

using namespace quarrow;
using namespace quarrow::test;

namespace {

QStringList dialogs;

void answerEveryDialog() {
    WhenNextDialogAppears([](QWidget* dialog) {
        const SeenDialog seen = Describe(dialog);
        const bool skinned = !qApp->styleSheet().isEmpty();
        dialogs << seen.title + u'|' + QString(seen.text).replace(u'\n', u' ') +
                       (skinned ? QStringLiteral("|skinned") : QStringLiteral("|plain"));
        answerEveryDialog();
        QTest::keyClick(dialog, Qt::Key_Escape);
    });
}

void report() {
    QTextStream out(stdout);
    for (const QString& dialog : dialogs) out << "dialog " << dialog << '\n';
    out << "stylesheet " << (qApp->styleSheet().isEmpty() ? "none" : "set") << '\n';
    out << "active " << int(Form1->sSkinManager1->active()) << '\n';
    for (QWidget* window : {static_cast<QWidget*>(Form1), static_cast<QWidget*>(Form2),
                            static_cast<QWidget*>(Form3), static_cast<QWidget*>(Form4)}) {
        out << "visible " << window->objectName() << ' ' << int(window->isVisible()) << '\n';
        // The windows that stay hidden make their controls and are skinned
        // when they are first shown; showing polishes every control.
        if (auto* deferred = qobject_cast<DeferredWindow*>(window)) deferred->makeContents();
        QList<QWidget*> widgets = window->findChildren<QWidget*>();
        widgets.prepend(window);
        for (QWidget* widget : widgets) widget->ensurePolished();
        for (QWidget* widget : widgets) {
            const QString section = widget->property("skinSection").toString();
            if (section.isEmpty()) continue;
            out << "section " << window->objectName() << '.' << widget->objectName() << ' '
                << section << '\n';
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    QuarrowApplication application(argc, argv);
    const bool stayUp = QCoreApplication::arguments().contains(QStringLiteral("--stay-up"));
    answerEveryDialog();
    return RunQuarrow([stayUp] {
        CreateWindowSet();
        QTimer::singleShot(0, [stayUp] {
            report();
            if (!stayUp) {
                QApplication::quit();
                return;
            }
            QTextStream(stdout) << "up\n";
        });
    });
}
