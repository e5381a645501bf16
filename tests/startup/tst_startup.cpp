#include "CatalogueWriter.h"
#include "TestSupport.h"
#include "about/TForm2.h"
#include "core/Exception.h"
#include "db/Connection.h"
#include "devices/TForm4.h"
#include "devices/TForm5.h"
#include "dialogs/Dialogs.h"
#include "forms/ShowModal.h"
#include "mainwindow/TForm1.h"
#include "program/Startup.h"
#include "stores/DriverCatalogue.h"
#include "vendors/TForm3.h"

#include <QFileInfo>
#include <QMessageBox>
#include <QRegularExpression>
#include <QScreen>
#include <QtTest>
#include <stdexcept>

using namespace quarrow;
using namespace quarrow::test;

namespace {

const QString kChoose = QStringLiteral("Выберите в таблице драйвер ,а за тем качать !!!");

void writeCatalogue(const QString& folder) {
    const QStringList columns{QStringLiteral("Наименование"), QStringLiteral("Устройство"),
                              QStringLiteral("os"),           QStringLiteral("Размер"),
                              QStringLiteral("Версия"),       QStringLiteral("url"),
                              QStringLiteral("URLdr"),        QStringLiteral("ver")};
    const QStringList row{QStringLiteral("GeForce 7300 GT"),
                          QStringLiteral("Видеокарта"),
                          QStringLiteral("Windows XP"),
                          QStringLiteral("12 МБ"),
                          QStringLiteral("1.0"),
                          QStringLiteral("example.com/d.zip"),
                          QStringLiteral("http://example.com/d.zip"),
                          QStringLiteral("2026.12")};
    WriteDriverCatalogue(folder + QStringLiteral("/vek.mdb"), QStringLiteral("kavrel"),
                         {columns, {row}});
}

QList<QWidget*> visibleWindows() {
    QList<QWidget*> result;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->isVisible()) result.append(widget);
    }
    return result;
}

// What the main window's catalogue connection reports when it cannot open.
QString connectionMessage() {
    Connection connection(MainCatalogueConnectionString());
    try {
        connection.open();
    } catch (const Exception& error) {
        return error.message();
    }
    return QString();
}

// How the window set looked once the message loop ran.
struct Running {
    QList<QWidget*> visible;
    QString form1Name, form1Title;
    QPoint form1Centre;
    QStringList hiddenNames;
};

Running observeRunning() {
    Running r;
    r.visible = visibleWindows();
    r.form1Name = Form1->objectName();
    r.form1Title = Form1->windowTitle();
    r.form1Centre = Form1->frameGeometry().center();
    for (QWidget* form : {static_cast<QWidget*>(Form2), static_cast<QWidget*>(Form3),
                          static_cast<QWidget*>(Form4), static_cast<QWidget*>(Form5)}) {
        if (form != nullptr && !form->isVisible()) r.hiddenNames.append(form->objectName());
    }
    return r;
}

// A window-creation function that builds the real window set and, once the
// message loop runs, calls `whileRunning` and closes the main window.
std::function<void()> createThenClose(std::function<void()> whileRunning) {
    return [whileRunning] {
        CreateWindowSet();
        QTimer::singleShot(0, Form1, [whileRunning] {
            whileRunning();
            Form1->close();
        });
    };
}

}  // namespace

class StartupTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup();

    void normalStartShowsOnlyTheMainWindow();
    void closingMainWindowEndsWithZeroAfterAnotherWindowWasShown();
    void missingCatalogueIsReportedBeforeTheMainWindowAndAtEverySearch();
    void errorWhileCreatingWindowsShowsStartupBox_data();
    void errorWhileCreatingWindowsShowsStartupBox();
};

void StartupTest::cleanup() { DestroyWindowSet(); }

void StartupTest::normalStartShowsOnlyTheMainWindow() {
    TemporaryCurrentFolder folder;
    writeCatalogue(folder.path());
    ShownDialogs dialogs(true);

    Running running;
    QCOMPARE(RunQuarrow(createThenClose([&] { running = observeRunning(); })), 0);

    QCOMPARE(running.visible.size(), 1);
    QCOMPARE(running.form1Name, QStringLiteral("Form1"));
    QCOMPARE(running.form1Title, QStringLiteral("Quarrow  v1.3"));
    const QPoint offCentre =
        running.form1Centre - QGuiApplication::primaryScreen()->geometry().center();
    QVERIFY2(offCentre.manhattanLength() <= 1,
             qPrintable(QStringLiteral("%1,%2").arg(offCentre.x()).arg(offCentre.y())));
    QCOMPARE(running.hiddenNames, (QStringList{QStringLiteral("Form2"), QStringLiteral("Form3"),
                                               QStringLiteral("Form4"), QStringLiteral("Form5")}));
    QCOMPARE(ApplicationTitle(), QStringLiteral("Quarrow"));
    QCOMPARE(dialogs.dialogs.size(), 0);
    // The windows are gone with the end of the loop.
    QVERIFY(Form1 == nullptr && Form2 == nullptr && Form3 == nullptr && Form4 == nullptr &&
            Form5 == nullptr);
}

void StartupTest::closingMainWindowEndsWithZeroAfterAnotherWindowWasShown() {
    TemporaryCurrentFolder folder;
    writeCatalogue(folder.path());

    bool shownModally = false;
    bool hiddenAfterwards = false;
    QWidget* before = nullptr;
    QWidget* after = nullptr;
    const int exitCode = RunQuarrow(createThenClose([&] {
        before = Form3;
        QTimer::singleShot(0, Form3, [&] {
            shownModally = Form3->isVisible() && QApplication::activeModalWidget() == Form3;
            Form3->close();
        });
        ShowModal(Form3);
        hiddenAfterwards = !Form3->isVisible();
        after = Form3;
    }));
    QCOMPARE(exitCode, 0);
    QVERIFY(shownModally);
    QVERIFY(hiddenAfterwards);
    QCOMPARE(after, before);  // closing only hid it
}

void StartupTest::missingCatalogueIsReportedBeforeTheMainWindowAndAtEverySearch() {
    TemporaryCurrentFolder folder;
    const QString message = connectionMessage();
    QVERIFY(!message.isEmpty());

    ShownDialogs dialogs;
    SeenDialog atStart;
    QList<QWidget*> visibleAtStart;
    WhenNextDialogAppears([&](QWidget* dialog) {
        atStart = Describe(dialog);
        visibleAtStart = visibleWindows();
        QTest::keyClick(dialog, Qt::Key_Return);
    });

    qsizetype dialogsDuringStart = -1;
    bool mainWindowShown = false;
    auto atSearch = std::make_shared<SeenDialog>();
    QString searched, messages, count, countOnceThere;
    const int exitCode = RunQuarrow([&] {
        CreateWindowSet();
        dialogsDuringStart = dialogs.dialogs.size();
        QTimer::singleShot(0, Form1, [&] {
            mainWindowShown = Form1->isVisible();
            atSearch = AnswerNextDialog(QStringLiteral("OK"));
            QTest::keyClicks(Form1->Edit1, QStringLiteral("  7300 "));
            QTest::keyClick(Form1->Edit1, Qt::Key_Return);
            searched = Form1->Edit1->text();
            messages = Form1->sEdit1->text();
            count = Form1->sLabel3->text();
            // The catalogue appears: the next search opens it.
            writeCatalogue(folder.path());
            QTest::keyClick(Form1->Edit1, Qt::Key_Return);
            countOnceThere = Form1->sLabel3->text();
            Form1->close();
        });
    });
    QCOMPARE(exitCode, 0);

    QCOMPARE(dialogsDuringStart, 1);
    QCOMPARE(atStart.objectName, QStringLiteral("AppMessageBox"));
    QCOMPARE(atStart.title, QStringLiteral("Quarrow"));
    QCOMPARE(atStart.icon, int(QMessageBox::Critical));
    QVERIFY2(atStart.text.startsWith(QStringLiteral("Could not find file")),
             qPrintable(atStart.text));
    QVERIFY2(atStart.text == message || atStart.text == message + u'.', qPrintable(atStart.text));
    QCOMPARE(visibleAtStart.size(), 1);  // the box alone: no main window yet
    QVERIFY(mainWindowShown);

    QVERIFY(atSearch->seen);
    QCOMPARE(atSearch->title, QStringLiteral("Quarrow"));
    QCOMPARE(atSearch->text, atStart.text);
    QCOMPARE(searched, QStringLiteral("7300"));  // trimmed before the search, as always
    QCOMPARE(messages, kChoose);
    QCOMPARE(count, QString());
    QCOMPARE(countOnceThere, QStringLiteral("1"));
    QCOMPARE(dialogs.dialogs.size(), 2);
}

void StartupTest::errorWhileCreatingWindowsShowsStartupBox_data() {
    QTest::addColumn<int>("what");
    QTest::addColumn<bool>("afterMainWindow");
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("knownAddress");

    QTest::newRow("our error, before any window") << 0 << false << QStringLiteral("EOleException")
                                                  << QStringLiteral("Provider failed.") << true;
    QTest::newRow("our error, message without full stop")
        << 1 << false << QStringLiteral("EDatabaseError") << QStringLiteral("Field not found.")
        << true;
    QTest::newRow("our error, after the main window is up")
        << 0 << true << QStringLiteral("EOleException") << QStringLiteral("Provider failed.")
        << true;
    QTest::newRow("standard error") << 2 << false << QStringLiteral("std::runtime_error")
                                    << QStringLiteral("disk full.") << false;
    QTest::newRow("anything else")
        << 3 << false << QStringLiteral("Exception") << QString() << false;
}

void StartupTest::errorWhileCreatingWindowsShowsStartupBox() {
    QFETCH(int, what);
    QFETCH(bool, afterMainWindow);
    QFETCH(QString, type);
    QFETCH(QString, message);
    QFETCH(bool, knownAddress);

    TemporaryCurrentFolder folder;
    writeCatalogue(folder.path());

    SeenDialog seen;
    QWidget* owner = nullptr;
    Qt::WindowModality modality = Qt::NonModal;
    WhenNextDialogAppears([&](QWidget* dialog) {
        seen = Describe(dialog);
        owner = dialog->parentWidget();
        modality = dialog->windowModality();
        QTest::keyClick(dialog, Qt::Key_Return);
    });
    const int exitCode = RunQuarrow([what, afterMainWindow] {
        if (afterMainWindow) CreateWindowSet();
        switch (what) {
            case 0:
                throw EOleException(QStringLiteral("Provider failed."));
            case 1:
                throw EDatabaseError(QStringLiteral("Field not found"));
            case 2:
                throw std::runtime_error("disk full.");
            default:
                throw 42;
        }
    });

    QCOMPARE(exitCode, 1);
    QVERIFY(seen.seen);
    QCOMPARE(seen.objectName, QStringLiteral("StartupErrorBox"));
    QCOMPARE(seen.title, QStringLiteral("Application Error"));
    QCOMPARE(seen.icon, int(QMessageBox::Critical));
    QCOMPARE(seen.buttons, QStringList{QStringLiteral("OK")});
    QCOMPARE(owner, nullptr);
    QCOMPARE(modality, Qt::ApplicationModal);

    const QString module = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
    const QRegularExpression format(
        QStringLiteral("^Exception %1 in module %2 at ([0-9A-F]{8})\\.\r\n%3\r\n$")
            .arg(QRegularExpression::escape(type), QRegularExpression::escape(module),
                 QRegularExpression::escape(message)));
    const QRegularExpressionMatch match = format.match(seen.text);
    QVERIFY2(match.hasMatch(), qPrintable(seen.text));
    QCOMPARE(match.captured(1) != QStringLiteral("00000000"), knownAddress);
    // The box ended the run: the windows are gone.
    QVERIFY(Form1 == nullptr && Form2 == nullptr && Form3 == nullptr && Form4 == nullptr &&
            Form5 == nullptr);
}

QUARROW_TEST_MAIN(StartupTest)
#include "tst_startup.moc"
