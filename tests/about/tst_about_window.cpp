#include "CatalogueWriter.h"
#include "ModalWindow.h"
#include "TestSupport.h"
#include "about/TForm2.h"
#include "db/Connection.h"
#include "db/Query.h"
#include "mainwindow/TForm1.h"
#include "program/Startup.h"
#include "stores/DriverCatalogue.h"

#include <QMessageBox>
#include <QRegularExpression>
#include <QTextBlock>
#include <QtTest>

using namespace quarrow;
using namespace quarrow::test;

namespace {

const QStringList kColumns = quarrow::test::DriverCatalogueColumns();

QStringList driverWithVersion(const QString& name, const QString& ver) {
    return {name,
            QStringLiteral("Видеокарта"),
            QStringLiteral("Windows XP"),
            QStringLiteral("12 МБ"),
            QStringLiteral("1.0"),
            QStringLiteral("example.com/d.zip"),
            QStringLiteral("http://example.com/d.zip"),
            ver};
}

// Answers every message box that appears while it lives by closing it, and
// keeps what each one showed; so a test can tell that no box appeared at all.
class BoxWatcher : public QObject {
public:
    BoxWatcher() { qApp->installEventFilter(this); }
    ~BoxWatcher() override { qApp->removeEventFilter(this); }
    QList<SeenDialog> seen;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        auto* box = qobject_cast<QMessageBox*>(watched);
        if (box != nullptr && event->type() == QEvent::Show) {
            seen.append(Describe(box));
            QMetaObject::invokeMethod(box, &QDialog::reject, Qt::QueuedConnection);
        }
        return false;
    }
};

// What the About window showed while it was up.
struct Showing {
    QStringList lines;
    QString version;
    QWidget* focus = nullptr;
    bool centred = true;
};

void checkAboutText(const QStringList& lines) {
    QCOMPARE(lines.size(), 19);
    const QString empty;
    QCOMPARE(lines[0], QStringLiteral("Текущая версия базы:"));
    QCOMPARE(lines[1], empty);
    QCOMPARE(lines[2], QStringLiteral("Quarrow v1.3"));
    QCOMPARE(lines[3], QStringLiteral("Программа поиска драйверов"));
    QCOMPARE(lines[4], empty);
    const QString credits[] = {QStringLiteral("Автор: "), QStringLiteral("Страна: "),
                               QStringLiteral("Город: "), QStringLiteral("Сайт: "),
                               QStringLiteral("Mail: "),  QStringLiteral("ICQ: ")};
    for (int k = 0; k < 6; ++k) {
        QVERIFY2(lines[5 + k].startsWith(credits[k]), qPrintable(lines[5 + k]));
        QVERIFY(lines[5 + k].size() > credits[k].size());
    }
    QCOMPARE(lines[8], QStringLiteral("Сайт: ") + QStringLiteral(QUARROW_HOME_HOST));
    QCOMPARE(lines[11], empty);
    QCOMPARE(lines[12], QStringLiteral("Особая благодарность журналистам:"));
    QCOMPARE(lines[13], empty);
    QVERIFY2(QRegularExpression(QStringLiteral("^ {4}\\S+ {3}\\(\\S[^()]*\\)$"))
                 .match(lines[14])
                 .hasMatch(),
             qPrintable(lines[14]));
    QCOMPARE(lines[15], empty);
    QVERIFY2(QRegularExpression(QStringLiteral("^ {9}\\S+ {3}\\(\\S[^()]*\\)$"))
                 .match(lines[16])
                 .hasMatch(),
             qPrintable(lines[16]));
    QCOMPARE(lines[17], empty);
    QVERIFY(!lines[18].trimmed().isEmpty());
}

}  // namespace

class AboutWindowTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void declaredWindow();
    void declaredControls();
    void everyShowingReadsTheVersionAfresh();
    void missingCatalogueIsReportedAndTheWindowShownAnyway();
    void emptyTableShowsNoVersionAndNoError();
    void onlyOkCloses_data();
    void onlyOkCloses();
    void addressLabelOpensHomePageAndStaysOpen();

private:
    void start(const QList<QStringList>& rows);
    // Shows the window from the main window's "О программе ? ", notes what
    // it shows and closes it with OK.
    Showing showAbout();

    std::unique_ptr<TemporaryCurrentFolder> folder_;
    std::unique_ptr<RecordingLauncher> launcher_;
};

void AboutWindowTest::init() {
    folder_ = std::make_unique<TemporaryCurrentFolder>();
    launcher_ = std::make_unique<RecordingLauncher>();
}

void AboutWindowTest::cleanup() {
    DestroyWindowSet();
    launcher_.reset();
    folder_.reset();
}

void AboutWindowTest::start(const QList<QStringList>& rows) {
    WriteDriverCatalogue(folder_->filePath(QStringLiteral("vek.mdb")), QStringLiteral("kavrel"),
                         {kColumns, rows});
    CreateWindowSet();
    QVERIFY(QTest::qWaitForWindowExposed(Form1));
}

Showing AboutWindowTest::showAbout() {
    Showing showing;
    WhenShownModally(Form2, [&] {
        showing.lines = Form2->memo->toPlainText().split(u'\n');
        showing.version = Form2->DBEdit1->text();
        showing.focus = Form2->focusWidget();
        for (QTextBlock block = Form2->memo->document()->begin(); block.isValid();
             block = block.next()) {
            const Qt::Alignment alignment =
                block.blockFormat().hasProperty(QTextFormat::BlockAlignment)
                    ? block.blockFormat().alignment()
                    : Form2->memo->document()->defaultTextOption().alignment();
            if (!(alignment & Qt::AlignHCenter)) showing.centred = false;
        }
        QTest::mouseClick(Form2->sButton1, Qt::LeftButton);
    });
    QTest::mouseClick(Form1->Button3, Qt::LeftButton);
    return showing;
}

void AboutWindowTest::declaredWindow() {
    start({driverWithVersion(QStringLiteral("GeForce"), QStringLiteral("2026.1"))});
    // What the window makes when first shown, made before it is shown.
    Form2->makeContents();
    // The letter before "программе" is the Latin O.
    QCOMPARE(Form2->windowTitle(),
             QStringLiteral("Quarrow v1.3  ") + QChar(0x4F) + QStringLiteral(" программе !"));
    QCOMPARE(Form2->font().family(), QStringLiteral("MS Sans Serif"));
    QCOMPARE(Form2->font().pointSize(), 8);
    const Qt::WindowFlags flags = Form2->windowFlags();
    QVERIFY(flags.testFlag(Qt::CustomizeWindowHint));
    QVERIFY(flags.testFlag(Qt::WindowTitleHint));
    for (Qt::WindowType button : {Qt::WindowSystemMenuHint, Qt::WindowCloseButtonHint,
                                  Qt::WindowMinimizeButtonHint, Qt::WindowMaximizeButtonHint}) {
        QVERIFY(!flags.testFlag(button));
    }
    QCOMPARE(Form2->minimumSize(), QSize(500, 382));
    QCOMPARE(Form2->maximumSize(), QSize(500, 382));

    QPoint shownAt;
    WhenShownModally(Form2, [&] {
        shownAt = Form2->pos();
        QTest::mouseClick(Form2->sButton1, Qt::LeftButton);
    });
    QTest::mouseClick(Form1->Button3, Qt::LeftButton);
    QCOMPARE(shownAt, QPoint(474, 243));
}

void AboutWindowTest::declaredControls() {
    start({driverWithVersion(QStringLiteral("GeForce"), QStringLiteral("2026.1"))});
    Form2->makeContents();

    QCOMPARE(Form2->sPanel2->geometry(), QRect(0, 0, 500, 49));
    QCOMPARE(Form2->sPanel2->property("skinSection").toString(), QStringLiteral("PANEL"));
    QCOMPARE(Form2->Label1->parentWidget(), Form2->sPanel2);
    QCOMPARE(Form2->Label1->geometry(), QRect(301, 16, 180, 19));
    QCOMPARE(Form2->Label1->text(), QStringLiteral(QUARROW_HOME_HOST).toUpper());
    QCOMPARE(Form2->Label1->font().family(), QStringLiteral("Arial"));
    QCOMPARE(Form2->Label1->font().pointSize(), 12);
    QVERIFY(Form2->Label1->font().bold());
    QCOMPARE(Form2->Label1->cursor().shape(), Qt::PointingHandCursor);
    QVERIFY(Form2->Label1->autoFillBackground());

    QCOMPARE(Form2->sButton1->text(), QStringLiteral("OK"));
    QCOMPARE(Form2->sButton1->geometry(), QRect(197, 349, 97, 33));
    QCOMPARE(Form2->sButton1->font().family(), QStringLiteral("Arial"));
    QCOMPARE(Form2->sButton1->font().pointSize(), 10);
    QVERIFY(Form2->sButton1->font().bold());
    QCOMPARE(Form2->sButton1->cursor().shape(), Qt::PointingHandCursor);
    QCOMPARE(Form2->sButton1->property("skinSection").toString(), QStringLiteral("BUTTON"));

    QCOMPARE(Form2->GroupBox3->geometry(), QRect(22, 64, 457, 281));
    // One blank on each side, and a Cyrillic О.
    QCOMPARE(Form2->GroupBox3->title(),
             QStringLiteral(" ") + QChar(0x41E) + QStringLiteral(" программе ! "));

    QTextEdit* memo = Form2->memo;
    QCOMPARE(memo->parentWidget(), Form2->GroupBox3);
    QCOMPARE(memo->geometry(), QRect(8, 15, 441, 257));
    QVERIFY(memo->isReadOnly());
    QVERIFY(memo->toPlainText().isEmpty());
    QCOMPARE(memo->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    QCOMPARE(memo->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    QCOMPARE(memo->frameShadow(), QFrame::Sunken);
    QCOMPARE(memo->palette().color(QPalette::Base), QColor(197, 207, 235));
    QCOMPARE(memo->palette().color(QPalette::Text), QColor(Qt::black));
    QCOMPARE(memo->font().family(), QStringLiteral("MS Sans Serif"));
    QCOMPARE(memo->font().pointSize(), 8);
    QCOMPARE(memo->property("skinSection").toString(), QStringLiteral("EDIT"));

    QCOMPARE(Form2->DBEdit1->parentWidget(), Form2->GroupBox3);
    QCOMPARE(Form2->DBEdit1->geometry(), QRect(297, 18, 121, 19));
    QVERIFY(!Form2->DBEdit1->hasFrame());
    QVERIFY(Form2->DBEdit1->isReadOnly());
    QCOMPARE(Form2->GroupBox3->childAt(Form2->DBEdit1->geometry().center()), Form2->DBEdit1);

    QList<QWidget*> tabOrder;
    for (QWidget* w = Form2->sButton1; tabOrder.size() < 3; w = w->nextInFocusChain()) {
        if (w->focusPolicy() & Qt::TabFocus) tabOrder.append(w);
    }
    QCOMPARE(tabOrder, (QList<QWidget*>{Form2->sButton1, memo, Form2->DBEdit1}));

    // Nothing is read before the first showing.
    QVERIFY(!Form2->ADOConnection1->isOpen());
    QVERIFY(!Form2->ADOQuery1->isOpen());
}

void AboutWindowTest::everyShowingReadsTheVersionAfresh() {
    start({driverWithVersion(QStringLiteral("GeForce"), QStringLiteral("2026.1")),
           driverWithVersion(QStringLiteral("Radeon"), QStringLiteral("2025.9"))});
    BoxWatcher boxes;

    const Showing first = showAbout();
    checkAboutText(first.lines);
    QCOMPARE(first.version, QStringLiteral("2026.1"));
    QCOMPARE(first.focus, Form2->sButton1);
    QVERIFY(first.centred);
    // Hiding closes neither the connection nor the query.
    QVERIFY(Form2->ADOConnection1->isOpen());
    QVERIFY(Form2->ADOQuery1->isOpen());
    QCOMPARE(Form2->ADOQuery1->sqlText(), QStringLiteral("SELECT * FROM table_1 "));

    {
        // The catalogue changes between the showings: its first row goes.
        Connection writer(AboutCatalogueConnectionString());
        writer.setMode(ShareMode::DenyNone);
        Query rows(&writer, QStringLiteral("writer"));
        rows.setSelect(QStringLiteral("table_1"));
        rows.open();
        rows.deleteCurrent();
    }

    const Showing second = showAbout();
    checkAboutText(second.lines);
    QCOMPARE(second.lines, first.lines);
    QCOMPARE(second.version, QStringLiteral("2025.9"));
    QCOMPARE(second.focus, Form2->sButton1);
    QVERIFY(boxes.seen.isEmpty());
    QVERIFY(launcher_->targets.isEmpty());
}

void AboutWindowTest::missingCatalogueIsReportedAndTheWindowShownAnyway() {
    start({driverWithVersion(QStringLiteral("GeForce"), QStringLiteral("2026.1"))});
    // The main window's connection lets go of the file first: Windows deletes
    // no file that a program holds open.
    Form1->ADOConnection1->close();
    QVERIFY(QFile::remove(folder_->filePath(QStringLiteral("vek.mdb"))));
    BoxWatcher boxes;

    for (int showing = 1; showing <= 2; ++showing) {
        const Showing shown = showAbout();
        QCOMPARE(boxes.seen.size(), showing);
        const SeenDialog& box = boxes.seen.back();
        QCOMPARE(box.objectName, QStringLiteral("AppMessageBox"));
        QCOMPARE(box.icon, int(QMessageBox::Critical));
        QVERIFY(!box.text.isEmpty());
        checkAboutText(shown.lines);
        QVERIFY(shown.version.isEmpty());
        QVERIFY(!Form2->ADOConnection1->isOpen());
    }
}

void AboutWindowTest::emptyTableShowsNoVersionAndNoError() {
    start({});
    BoxWatcher boxes;
    const Showing shown = showAbout();
    QVERIFY(boxes.seen.isEmpty());
    checkAboutText(shown.lines);
    QVERIFY(shown.version.isEmpty());
    QVERIFY(Form2->ADOQuery1->isOpen());
}

void AboutWindowTest::onlyOkCloses_data() {
    QTest::addColumn<int>("key");
    QTest::newRow("Enter") << int(Qt::Key_Return);
    QTest::newRow("Space") << int(Qt::Key_Space);
}

void AboutWindowTest::onlyOkCloses() {
    QFETCH(int, key);
    start({driverWithVersion(QStringLiteral("GeForce"), QStringLiteral("2026.1"))});
    bool openAfterClose = false;
    bool openAfterEscape = false;
    WhenShownModally(Form2, [&] {
        Form2->close();
        QCloseEvent fromTitleBar;
        QApplication::sendEvent(Form2, &fromTitleBar);
        openAfterClose = Form2->isVisible();
        QTest::keyClick(Form2->focusWidget(), Qt::Key_Escape);
        openAfterEscape = Form2->isVisible();
        QTest::keyClick(Form2->focusWidget(), Qt::Key(key));
    });
    QTest::mouseClick(Form1->Button3, Qt::LeftButton);
    QVERIFY(openAfterClose);
    QVERIFY(openAfterEscape);
    QVERIFY(!Form2->isVisible());
}

void AboutWindowTest::addressLabelOpensHomePageAndStaysOpen() {
    start({driverWithVersion(QStringLiteral("GeForce"), QStringLiteral("2026.1"))});
    bool stayedOpen = false;
    WhenShownModally(Form2, [&] {
        QTest::mouseClick(Form2->Label1, Qt::LeftButton);
        stayedOpen = Form2->isVisible();
        QTest::mouseClick(Form2->sButton1, Qt::LeftButton);
    });
    QTest::mouseClick(Form1->Button3, Qt::LeftButton);
    QVERIFY(stayedOpen);
    QCOMPARE(launcher_->targets,
             QStringList{QStringLiteral("http://") + QStringLiteral(QUARROW_HOME_HOST)});
}

QUARROW_TEST_MAIN(AboutWindowTest)
#include "tst_about_window.moc"
