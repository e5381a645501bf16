#include "CatalogueWriter.h"
#include "ModalWindow.h"
#include "TestSupport.h"
#include "about/TForm2.h"
#include "db/Query.h"
#include "devices/TForm4.h"
#include "devices/TForm5.h"
#include "mainwindow/TForm1.h"
#include "program/Startup.h"
#include "shell/OpenInShell.h"
#include "vendors/TForm3.h"
#include "widgets/DBGrid.h"

#include <QHeaderView>
#include <QMessageBox>
#include <QtTest>

using namespace quarrow;
using namespace quarrow::test;

namespace {

const QStringList kColumns = quarrow::test::DriverCatalogueColumns();

// The maker's web catalogue as the build names it, spelled out here so that
// a wrong endpoint shows up as a wrong target.
const QString kCatalogueSearch = QStringLiteral("http://") +
                                 QStringLiteral(QUARROW_CATALOGUE_HOST) +
                                 QStringLiteral("/search/?q=");
const QString kCatalogueAddress = QStringLiteral("www.") + QStringLiteral(QUARROW_CATALOGUE_HOST);
const QString kCaption = QStringLiteral("ДРАЙВЕР НЕ НАЙДЕН !");

struct Driver {
    QString name;
    QString os = QStringLiteral("Windows XP, Windows 7");
    QString url = QStringLiteral("drivers.example.org/nv/7300.zip");
    QString urlDr = QStringLiteral("http://dl.example.org/7300.exe");

    QStringList row() const {
        return {name,
                QStringLiteral("Видеокарта"),
                os,
                QStringLiteral("12 МБ"),
                QStringLiteral("93.71"),
                url,
                urlDr,
                QStringLiteral("2026.1")};
    }
};

QString notFoundQuestion(const QString& searched, const QString& lastLineStart) {
    return QStringLiteral("ИЗВИНИТЕ,  ДРАЙВЕР \"") + searched +
           QStringLiteral(
               "\" НЕ НАЙДЕН :( \r\rРЕШЕНИЕ ПРОБЛЕМЫ:\r\r"
               "1.ИЗМИНИТЕ ПОИСКОВЫЙ ЗАПРОС ! \r2.ОБНОВИТЕ БАЗУ ДАННЫХ !\r\r") +
           lastLineStart + u'"' + searched + QStringLiteral("\" на сайте: ") + kCatalogueAddress +
           QStringLiteral(" ???");
}

QString missingDriverQuestion(const QString& name) {
    return QStringLiteral("ИЗВИНИТЕ, ПОКА ДРАЙВЕРА \" - ") + name +
           QStringLiteral(
               "\" НЕТ В  БАЗЕ :( \r\rРЕШЕНИЕ ПРОБЛЕМЫ:\r\r"
               "1.ПРОВЕРИТЬ - ВЫДЕЛЕН ЛИ ДРАЙВЕР В ТАБЛИЦЕ РЕЗУЛЬТАТОВ ?\r"
               "2.ПОПРОБУЙТЕ ЩЕЛКНУТЬ (МЕДЛЕННЫЙ) ВАРИАНТ ! \r"
               "3.ОБНОВИТЕ БАЗУ ДАННЫХ !\r\r Поискать на сайте: ") +
           kCatalogueAddress + QStringLiteral(" ???");
}

enum class GridAction { Click, DoubleClick };

}  // namespace

Q_DECLARE_METATYPE(GridAction)

class DownloadActionsTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void slowDownloadPutsHttpInFront_data();
    void slowDownloadPutsHttpInFront();
    void slowDownloadWithoutLink_data();
    void slowDownloadWithoutLink();
    void fastDownloadOpensWebAddressUnchanged_data();
    void fastDownloadOpensWebAddressUnchanged();
    void fastDownloadRefusesWhatIsNotAWebAddress_data();
    void fastDownloadRefusesWhatIsNotAWebAddress();
    void fastDownloadWithoutLinkOffersCatalogueSearch_data();
    void fastDownloadWithoutLinkOffersCatalogueSearch();
    void fastDownloadBeforeAnySearchNamesNothing();
    void gridWithoutADriverOffersCatalogueSearch_data();
    void gridWithoutADriverOffersCatalogueSearch();
    void gridBeforeAnySearchReportsMissingField_data();
    void gridBeforeAnySearchReportsMissingField();
    void singleClickOnRowWithDriverDoesNothing();
    void doubleClickShowsDetails();
    void catalogueSearchButton_data();
    void catalogueSearchButton();
    void fixedLinksIgnoreTheSearchText_data();
    void fixedLinksIgnoreTheSearchText();
    void windowButtonsShowTheirWindowModally_data();
    void windowButtonsShowTheirWindowModally();

private:
    void start(const QList<Driver>& drivers);
    void search(const QString& text);
    void gridAction(GridAction action, int row = 0);

    std::unique_ptr<TemporaryCurrentFolder> folder_;
    std::unique_ptr<RecordingLauncher> launcher_;
};

void DownloadActionsTest::init() {
    folder_ = std::make_unique<TemporaryCurrentFolder>();
    launcher_ = std::make_unique<RecordingLauncher>();
}

void DownloadActionsTest::cleanup() {
    DestroyWindowSet();
    launcher_.reset();
    folder_.reset();
}

void DownloadActionsTest::start(const QList<Driver>& drivers) {
    QList<QStringList> rows;
    for (const Driver& driver : drivers) rows.append(driver.row());
    WriteDriverCatalogue(folder_->filePath(QStringLiteral("vek.mdb")), QStringLiteral("kavrel"),
                         {kColumns, rows});
    CreateWindowSet();
    QVERIFY(QTest::qWaitForWindowExposed(Form1));
}

void DownloadActionsTest::search(const QString& text) {
    Form1->Edit1->setText(text);
    QTest::mouseClick(Form1->Button2, Qt::LeftButton);
}

void DownloadActionsTest::gridAction(GridAction action, int row) {
    DBGrid* grid = Form1->DBGrid1;
    const QModelIndex cell = grid->model()->index(row, 1);
    // Over the empty first row when the grid has no rows.
    const QPoint at = cell.isValid() ? grid->visualRect(cell).center()
                                     : QPoint(20, grid->verticalHeader()->defaultSectionSize() / 2);
    if (action == GridAction::Click) {
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, at);
    } else {
        QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, at);
    }
}

void DownloadActionsTest::slowDownloadPutsHttpInFront_data() {
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("target");
    QTest::newRow("host and path") << "drivers.example.org/nv/7300.zip"
                                   << "http://drivers.example.org/nv/7300.zip";
    QTest::newRow("path without host") << "/files/a b.zip"
                                       << "http:///files/a b.zip";
    QTest::newRow("already with a scheme") << "http://example.com/a.zip"
                                           << "http://http://example.com/a.zip";
    QTest::newRow("blank, & and Cyrillic") << "example.com/Драйвер 1.zip?a=1&b=#2"
                                           << "http://example.com/Драйвер 1.zip?a=1&b=#2";
}

void DownloadActionsTest::slowDownloadPutsHttpInFront() {
    QFETCH(QString, url);
    QFETCH(QString, target);
    Driver driver{QStringLiteral("GeForce 7300 GT")};
    driver.url = url;
    start({driver});
    search(QStringLiteral("7300"));

    QTest::mouseClick(Form1->Button1, Qt::LeftButton);
    QCOMPARE(launcher_->targets, QStringList{target});
    // Enter in the grid is the same slow download.
    QTest::keyClick(Form1->DBGrid1, Qt::Key_Return);
    QCOMPARE(launcher_->targets, (QStringList{target, target}));
}

void DownloadActionsTest::slowDownloadWithoutLink_data() {
    QTest::addColumn<bool>("searchFirst");
    QTest::addColumn<bool>("byEnterInGrid");
    QTest::newRow("row without url") << true << false;
    QTest::newRow("before any search") << false << false;
    QTest::newRow("before any search, Enter in the grid") << false << true;
}

void DownloadActionsTest::slowDownloadWithoutLink() {
    QFETCH(bool, searchFirst);
    QFETCH(bool, byEnterInGrid);
    Driver driver{QStringLiteral("Radeon 9600")};
    driver.url.clear();
    start({driver});
    if (searchFirst) search(QStringLiteral("Radeon"));

    auto seen = AnswerNextDialog(QStringLiteral("OK"));
    if (byEnterInGrid) {
        QTest::keyClick(Form1->DBGrid1, Qt::Key_Return);
    } else {
        QTest::mouseClick(Form1->Button1, Qt::LeftButton);
    }
    QTRY_VERIFY(seen->seen);
    QCOMPARE(seen->objectName, QStringLiteral("TMessageForm"));
    QCOMPARE(seen->title, QStringLiteral("Quarrow"));
    QCOMPARE(seen->text, QStringLiteral("Нет ссылки на драйвер !"));
    QCOMPARE(seen->buttons, QStringList{QStringLiteral("OK")});
    QVERIFY(launcher_->targets.isEmpty());
}

void DownloadActionsTest::fastDownloadOpensWebAddressUnchanged_data() {
    QTest::addColumn<QString>("urlDr");
    QTest::newRow("http") << "http://dl.example.org/7300.exe";
    QTest::newRow("scheme in capitals") << "HTTP://Example.com/d.zip";
    QTest::newRow("https") << "https://dl.example.org/a b.zip";
    QTest::newRow("ftp") << "ftp://ftp.example.org/pub/drv.zip";
}

void DownloadActionsTest::fastDownloadOpensWebAddressUnchanged() {
    QFETCH(QString, urlDr);
    Driver driver{QStringLiteral("GeForce 7300 GT")};
    driver.urlDr = urlDr;
    start({driver});
    search(QStringLiteral("7300"));

    QTest::mouseClick(Form1->Button9, Qt::LeftButton);
    QCOMPARE(launcher_->targets, QStringList{urlDr});
}

void DownloadActionsTest::fastDownloadRefusesWhatIsNotAWebAddress_data() {
    QTest::addColumn<QString>("urlDr");
    QTest::addColumn<QString>("shown");
    QTest::newRow("local file") << "file:///bin/sh"
                                << "file:///bin/sh";
    QTest::newRow("script") << "javascript:alert(1)"
                            << "javascript:alert(1)";
    QTest::newRow("program") << "C:\\x.exe"
                             << "C:\\x.exe";
    QTest::newRow("option") << "-x"
                            << "-x";
    QTest::newRow("line break") << "http://ok\nnext"
                                << "http://ok?next";
    QTest::newRow("scheme alone") << "http://"
                                  << "http://";
}

// A catalogue comes from outside the program: only a web address may leave
// it through the fast download, never a local file, a program or an option.
void DownloadActionsTest::fastDownloadRefusesWhatIsNotAWebAddress() {
    QFETCH(QString, urlDr);
    QFETCH(QString, shown);
    Driver driver{QStringLiteral("GeForce 7300 GT")};
    driver.urlDr = urlDr;
    start({driver});
    search(QStringLiteral("7300"));

    auto seen = AnswerNextDialog(QStringLiteral("OK"));
    QTest::mouseClick(Form1->Button9, Qt::LeftButton);
    QVERIFY(seen->seen);
    QCOMPARE(seen->objectName, QStringLiteral("AppMessageBox"));
    QCOMPARE(seen->icon, int(QMessageBox::Critical));
    QVERIFY2(seen->text.contains(u'"' + shown + u'"'), qPrintable(seen->text));
    QVERIFY(launcher_->targets.isEmpty());
}

void DownloadActionsTest::fastDownloadWithoutLinkOffersCatalogueSearch_data() {
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QStringList>("targets");
    QTest::newRow("OK") << "OK" << QStringList{kCatalogueSearch + QStringLiteral("radeon%2096")};
    QTest::newRow("Cancel") << "Cancel" << QStringList();
    QTest::newRow("closed") << "" << QStringList();
}

void DownloadActionsTest::fastDownloadWithoutLinkOffersCatalogueSearch() {
    QFETCH(QString, answer);
    QFETCH(QStringList, targets);
    Driver driver{QStringLiteral("ATI Radeon 9600 \"Pro\"")};
    driver.urlDr.clear();
    start({driver});
    search(QStringLiteral("  radeon 96 "));

    auto seen = AnswerNextDialog(answer);
    QTest::mouseClick(Form1->Button9, Qt::LeftButton);
    QVERIFY(seen->seen);
    QCOMPARE(seen->title, kCaption);
    // The question names the row; the web search uses the search box.
    QCOMPARE(seen->text, missingDriverQuestion(driver.name));
    QCOMPARE(seen->buttons, (QStringList{QStringLiteral("OK"), QStringLiteral("Cancel")}));
    QCOMPARE(seen->icon, int(QMessageBox::Question));
    QCOMPARE(launcher_->targets, targets);
    QCOMPARE(Form1->Edit1->text(), QStringLiteral("radeon 96"));
}

void DownloadActionsTest::fastDownloadBeforeAnySearchNamesNothing() {
    start({Driver{QStringLiteral("GeForce 7300 GT")}});
    Form1->Edit1->setText(QStringLiteral("7300 GT"));

    auto seen = AnswerNextDialog(QStringLiteral("OK"));
    QTest::mouseClick(Form1->Button9, Qt::LeftButton);
    QVERIFY(seen->seen);
    QCOMPARE(seen->text, missingDriverQuestion(QString()));
    QCOMPARE(launcher_->targets, QStringList{kCatalogueSearch + QStringLiteral("7300%20GT")});
}

void DownloadActionsTest::gridWithoutADriverOffersCatalogueSearch_data() {
    QTest::addColumn<QString>("searched");
    QTest::addColumn<int>("found");
    QTest::addColumn<GridAction>("action");
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QString>("lastLineStart");
    QTest::addColumn<bool>("opens");
    QTest::addColumn<QString>("query");  // the search text as the web search gets it
    // A row without operating systems has no usable driver; an empty result
    // none at all.
    const QString noDriver = QStringLiteral("звук real");
    const QString noDriverQuery = QStringLiteral("%D0%B7%D0%B2%D1%83%D0%BA%20real");
    const QString nothing = QStringLiteral("Нет & такого #1");
    const QString nothingQuery =
        QStringLiteral("%D0%9D%D0%B5%D1%82%20%26%20%D1%82%D0%B0%D0%BA%D0%BE%D0%B3%D0%BE%20%231");
    const QString click = QStringLiteral("Поискать ");
    const QString doubleClick = QStringLiteral(" Поискать ");
    QTest::newRow("row without driver, click, OK")
        << noDriver << 1 << GridAction::Click << "OK" << click << true << noDriverQuery;
    QTest::newRow("row without driver, click, Cancel")
        << noDriver << 1 << GridAction::Click << "Cancel" << click << false << noDriverQuery;
    QTest::newRow("row without driver, double click, OK")
        << noDriver << 1 << GridAction::DoubleClick << "OK" << doubleClick << true << noDriverQuery;
    QTest::newRow("row without driver, double click, Cancel")
        << noDriver << 1 << GridAction::DoubleClick << "Cancel" << doubleClick << false
        << noDriverQuery;
    QTest::newRow("empty result, click, OK")
        << nothing << 0 << GridAction::Click << "OK" << click << true << nothingQuery;
    QTest::newRow("empty result, double click, OK")
        << nothing << 0 << GridAction::DoubleClick << "OK" << doubleClick << true << nothingQuery;
}

void DownloadActionsTest::gridWithoutADriverOffersCatalogueSearch() {
    QFETCH(QString, searched);
    QFETCH(int, found);
    QFETCH(GridAction, action);
    QFETCH(QString, answer);
    QFETCH(QString, lastLineStart);
    QFETCH(bool, opens);
    QFETCH(QString, query);
    Driver withoutDriver{QStringLiteral("Звук Realtek AC97")};
    withoutDriver.os.clear();
    start({withoutDriver, Driver{QStringLiteral("GeForce 7300 GT")}});
    search(searched);
    QCOMPARE(Form1->ADOQuery1->rowCount(), found);

    auto seen = AnswerNextDialog(answer);
    gridAction(action);
    QVERIFY(seen->seen);
    QCOMPARE(seen->title, kCaption);
    QCOMPARE(seen->text, notFoundQuestion(searched, lastLineStart));
    QCOMPARE(seen->buttons, (QStringList{QStringLiteral("OK"), QStringLiteral("Cancel")}));
    QCOMPARE(seen->icon, int(QMessageBox::Question));
    QCOMPARE(launcher_->targets, opens ? QStringList{kCatalogueSearch + query} : QStringList());
    QCOMPARE(Form1->ADOQuery1->rowCount(), found);
}

void DownloadActionsTest::gridBeforeAnySearchReportsMissingField_data() {
    QTest::addColumn<GridAction>("action");
    QTest::newRow("click on the empty first row") << GridAction::Click;
    QTest::newRow("double click") << GridAction::DoubleClick;
}

void DownloadActionsTest::gridBeforeAnySearchReportsMissingField() {
    QFETCH(GridAction, action);
    start({Driver{QStringLiteral("GeForce 7300 GT")}});

    auto seen = AnswerNextDialog(QStringLiteral("OK"));
    gridAction(action);
    QVERIFY(seen->seen);
    QCOMPARE(seen->objectName, QStringLiteral("AppMessageBox"));
    QCOMPARE(seen->icon, int(QMessageBox::Critical));
    QCOMPARE(seen->text, QStringLiteral("ADOQuery1: Field 'os' not found."));
    QVERIFY(launcher_->targets.isEmpty());
}

void DownloadActionsTest::singleClickOnRowWithDriverDoesNothing() {
    start({Driver{QStringLiteral("GeForce 7300 GT")}, Driver{QStringLiteral("GeForce 7300 LE")}});
    search(QStringLiteral("7300"));

    gridAction(GridAction::Click, 1);
    QCOMPARE(Form1->ADOQuery1->currentRow(), 1);
    QVERIFY(launcher_->targets.isEmpty());
    QCOMPARE(QApplication::activeModalWidget(), nullptr);
}

void DownloadActionsTest::doubleClickShowsDetails() {
    Driver first{QStringLiteral("GeForce 7300 GT")};
    Driver second{QStringLiteral("GeForce 7300 LE")};
    second.os = QStringLiteral("Windows 98/ME");
    start({first, second});
    search(QStringLiteral("7300"));
    gridAction(GridAction::Click, 1);

    auto seen = AnswerNextDialog(QStringLiteral("OK"));
    gridAction(GridAction::DoubleClick, 1);
    QVERIFY(seen->seen);
    QCOMPARE(seen->objectName, QStringLiteral("TMessageForm"));
    QCOMPARE(seen->text, QStringLiteral("ОБЩАЯ ИНФОРМАЦИЯ ! \r\r"
                                        "Устройство - Видеокарта\r"
                                        "Наименование - GeForce 7300 LE\r"
                                        "Операционная система - \r\nWindows 98/ME\r\n"
                                        "Размер - 12 МБ\r"
                                        "Версия - 93.71"));
    QCOMPARE(seen->buttons, QStringList{QStringLiteral("OK")});
    QVERIFY(launcher_->targets.isEmpty());
}

void DownloadActionsTest::catalogueSearchButton_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QStringList>("targets");
    QTest::addColumn<QString>("messages");
    QTest::newRow("empty box") << "" << QStringList() << "Внимание ! Введите поисковый запрос !";
    QTest::newRow("7300 GT") << "7300 GT"
                             << QStringList{kCatalogueSearch + QStringLiteral("7300%20GT")} << "";
    QTest::newRow("untrimmed, Cyrillic, & and #")
        << " Звук & видео #2 "
        << QStringList{kCatalogueSearch + QStringLiteral("%20%D0%97%D0%B2%D1%83%D0%BA%20%26%20%D0%"
                                                         "B2%D0%B8%D0%B4%D0%B5%D0%BE%20%232%20")}
        << "";
}

void DownloadActionsTest::catalogueSearchButton() {
    QFETCH(QString, typed);
    QFETCH(QStringList, targets);
    QFETCH(QString, messages);
    start({Driver{QStringLiteral("GeForce 7300 GT")}});
    Form1->Edit1->setText(typed);
    Form1->sEdit1->clear();
    Form1->DBGrid1->setFocus();

    QTest::mouseClick(Form1->Button5, Qt::LeftButton);
    QCOMPARE(launcher_->targets, targets);
    QCOMPARE(Form1->sEdit1->text(), messages);
    QCOMPARE(Form1->Edit1->text(), typed);
    QCOMPARE(Form1->focusWidget(), Form1->Edit1);
}

void DownloadActionsTest::fixedLinksIgnoreTheSearchText_data() {
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("target");
    const QString home = QStringLiteral("http://") + QStringLiteral(QUARROW_HOME_HOST);
    const QString catalogue = QStringLiteral("http://") + QStringLiteral(QUARROW_CATALOGUE_HOST);
    QTest::newRow("Label1") << "Label1" << home;
    QTest::newRow("sButton1 Ostrel") << "sButton1" << home + QStringLiteral("/index.php?do=search");
    QTest::newRow("sButton2 support") << "sButton2" << catalogue + QStringLiteral("/index/0-3");
    if (DesktopRunsDeviceManagerScript()) {
        QTest::newRow("Button6 device manager") << "Button6"
                                                << "dz.cmd";
    }
}

void DownloadActionsTest::fixedLinksIgnoreTheSearchText() {
    QFETCH(QString, control);
    QFETCH(QString, target);
    start({Driver{QStringLiteral("GeForce 7300 GT")}});
    search(QStringLiteral("7300 GT"));

    QWidget* widget = Form1->findChild<QWidget*>(control);
    QVERIFY(widget != nullptr);
    QTest::mouseClick(widget, Qt::LeftButton);
    QTest::mouseClick(widget, Qt::LeftButton);
    QCOMPARE(launcher_->targets, (QStringList{target, target}));
    QCOMPARE(QApplication::activeModalWidget(), nullptr);
}

void DownloadActionsTest::windowButtonsShowTheirWindowModally_data() {
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("window");
    QTest::newRow("О программе") << "Button3"
                                 << "Form2";
    QTest::newRow("Производители") << "Button7"
                                   << "Form3";
    QTest::newRow("НУ") << "Button8"
                        << "Form4";
    if (!DesktopRunsDeviceManagerScript()) {
        QTest::newRow("ДУ shows this computer's devices") << "Button6"
                                                          << "Form5";
    }
}

void DownloadActionsTest::windowButtonsShowTheirWindowModally() {
    QFETCH(QString, button);
    QFETCH(QString, window);
    start({Driver{QStringLiteral("GeForce 7300 GT")}});
    // The device list reads no hardware here.
    Form5->setDeviceReader([] { return HardwareScan{}; });
    QWidget* const windows[] = {Form2, Form3, Form4, Form5};
    QWidget* shown = nullptr;
    for (QWidget* candidate : windows) {
        if (candidate->objectName() == window) shown = candidate;
    }
    QVERIFY(shown != nullptr);

    for (int showing = 0; showing < 2; ++showing) {
        bool wasModal = false;
        bool mainWindowBlocked = false;
        WhenShownModally(shown, [&] {
            wasModal = shown->isModal();
            mainWindowBlocked = QApplication::activeModalWidget() != Form1;
            shown->hide();
        });
        QTest::mouseClick(Form1->findChild<QPushButton*>(button), Qt::LeftButton);
        QVERIFY(wasModal);
        QVERIFY(mainWindowBlocked);
        QVERIFY(!shown->isVisible());
    }
    QVERIFY(launcher_->targets.isEmpty());
}

QUARROW_TEST_MAIN(DownloadActionsTest)
#include "tst_download_actions.moc"
