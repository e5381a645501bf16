#include "CatalogueWriter.h"
#include "ModalWindow.h"
#include "TestSupport.h"
#include "mainwindow/TForm1.h"
#include "program/Startup.h"
#include "vendors/TForm3.h"

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QtTest>

using namespace quarrow;
using namespace quarrow::test;

class VendorLinksTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void declaredWindow();
    void headerAndGroupBox();
    void vendorButtonOpensItsOwnPage_data();
    void vendorButtonOpensItsOwnPage();
    void keyboardWalksTheButtonsInDeclaredOrder();
    void focusReturnsToTheButtonThatHadIt();
    void addressLabelOpensHomePage();

private:
    // Shows the window from the main window's "Производители" and runs
    // `action` while it is up; the action's last step closes it.
    void showVendors(const std::function<void()>& action);

    std::unique_ptr<TemporaryCurrentFolder> folder_;
    std::unique_ptr<RecordingLauncher> launcher_;
};

void VendorLinksTest::init() {
    folder_ = std::make_unique<TemporaryCurrentFolder>();
    launcher_ = std::make_unique<RecordingLauncher>();
    WriteDriverCatalogue(folder_->filePath(QStringLiteral("vek.mdb")), QStringLiteral("kavrel"),
                         {{QStringLiteral("Наименование"), QStringLiteral("Устройство"),
                           QStringLiteral("os"), QStringLiteral("Размер"), QStringLiteral("Версия"),
                           QStringLiteral("url"), QStringLiteral("URLdr"), QStringLiteral("ver")},
                          {}});
    CreateWindowSet();
    QVERIFY(QTest::qWaitForWindowExposed(Form1));
    // The tests look at its controls before it is first shown, which would
    // make them.
    Form3->makeContents();
}

void VendorLinksTest::cleanup() {
    DestroyWindowSet();
    launcher_.reset();
    folder_.reset();
}

void VendorLinksTest::showVendors(const std::function<void()>& action) {
    WhenShownModally(Form3, action);
    QTest::mouseClick(Form1->Button7, Qt::LeftButton);
    QVERIFY(!Form3->isVisible());
}

void VendorLinksTest::declaredWindow() {
    QCOMPARE(Form3->windowTitle(), QStringLiteral("Quarrow v1.3 "));
    QCOMPARE(Form3->font().family(), QStringLiteral("MS Sans Serif"));
    QCOMPARE(Form3->font().pointSize(), 8);
    const Qt::WindowFlags flags = Form3->windowFlags();
    QVERIFY(flags.testFlag(Qt::WindowCloseButtonHint));
    QVERIFY(flags.testFlag(Qt::WindowMinimizeButtonHint));
    QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));
    QCOMPARE(Form3->minimumSize(), QSize(561, 440));
    QCOMPARE(Form3->maximumSize(), QSize(561, 440));

    for (int showing = 0; showing < 2; ++showing) {
        QPoint shownAt;
        showVendors([&] {
            shownAt = Form3->pos();
            Form3->move(10, 10);
            Form3->close();
        });
        // Not centred, and back at its place after the user moved it.
        QCOMPARE(shownAt, QPoint(444, 224));
    }
}

void VendorLinksTest::headerAndGroupBox() {
    auto* panel = Form3->findChild<QFrame*>(QStringLiteral("sPanel2"));
    QVERIFY(panel != nullptr);
    QCOMPARE(panel->geometry(), QRect(0, 0, 561, 49));
    QCOMPARE(panel->property("skinSection").toString(), QStringLiteral("PANEL"));
    QCOMPARE(panel->focusPolicy(), Qt::NoFocus);

    auto* label = Form3->findChild<QLabel*>(QStringLiteral("Label2"));
    QVERIFY(label != nullptr);
    QCOMPARE(label->parentWidget(), panel);
    QCOMPARE(label->geometry(), QRect(401, 13, 143, 19));
    QCOMPARE(label->text(), QStringLiteral(QUARROW_HOME_HOST).toLower());
    QCOMPARE(label->font().family(), QStringLiteral("Arial"));
    QVERIFY(label->font().bold());
    QCOMPARE(label->font().pointSize(), 12);
    QCOMPARE(label->cursor().shape(), Qt::PointingHandCursor);
    QVERIFY(label->autoFillBackground());
    QCOMPARE(label->palette().color(QPalette::WindowText), QColor(Qt::black));

    auto* group = Form3->findChild<QGroupBox*>(QStringLiteral("GroupBox1"));
    QVERIFY(group != nullptr);
    QCOMPARE(group->geometry(), QRect(8, 57, 545, 383));
    QCOMPARE(group->title(), QStringLiteral("Производители"));
    QCOMPARE(group->focusPolicy(), Qt::NoFocus);
    QVERIFY(group->findChildren<QPushButton*>().isEmpty());
}

void VendorLinksTest::vendorButtonOpensItsOwnPage_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<QString>("page");
    QTest::newRow("ACER") << "sButton1"
                          << "ACER" << QRect(41, 81, 76, 39)
                          << "http://www.acer.ru/acer/"
                             "service.do?LanguageISOCtxParam=ru&miu10einu24.current.attN2B2F2EEF="
                             "907&sp=page15e&ctx2.c2att1=21&miu10ekcond13.attN2B2F2EEF=907&"
                             "CountryISOCtxParam=RU&ctx1.att21k=1&CRC=916410076";
    QTest::newRow("AMD") << "sButton11"
                         << "AMD" << QRect(121, 81, 76, 39)
                         << "http://search.amd.com/uk/_layouts/search/search.aspx";
    QTest::newRow("ASRock") << "sButton12"
                            << "ASRock" << QRect(201, 81, 76, 39)
                            << "http://www.asrock.com/support/download.ru.asp?Keyword";
    QTest::newRow("ASUS") << "sButton13"
                          << "ASUS" << QRect(281, 81, 76, 39)
                          << "http://support.asus.com/download/download.aspx";
    QTest::newRow("ATI") << "sButton16"
                         << "ATI" << QRect(361, 81, 76, 39)
                         << "http://game.amd.com/us/game/downloads/Pages/downloads.aspx";
    QTest::newRow("BIOSTAR") << "sButton14"
                             << "BIOSTAR" << QRect(441, 81, 76, 39)
                             << "http://www.biostar-usa.com/quicksearch.asp";
    QTest::newRow("BROTHER") << "sButton10"
                             << "BROTHER" << QRect(41, 123, 76, 39)
                             << "http://solutions.brother.com/bsc/public/SearchResult.aspx?";
    QTest::newRow("BROADCOM") << "sButton19"
                              << "BROADCOM" << QRect(121, 123, 76, 39)
                              << "http://www.broadcom.com/support/ethernet_nic/downloaddrivers.php";
    QTest::newRow("CANON") << "sButton9"
                           << "CANON" << QRect(201, 123, 76, 39)
                           << "http://software.canon-europe.com/";
    QTest::newRow("CREATIVE") << "sButton20"
                              << "CREATIVE" << QRect(281, 123, 76, 39)
                              << "http://support.creative.com/";
    QTest::newRow("GIGABYTE") << "sButton6"
                              << "GIGABYTE" << QRect(361, 123, 76, 39)
                              << "http://www.gigabyte.ru/search/";
    QTest::newRow("FOXCONN") << "sButton7"
                             << "FOXCONN" << QRect(441, 123, 76, 39)
                             << "http://www.foxconnchannel.com/searcher.aspx";
    QTest::newRow("LOGITECH") << "sButton24"
                              << "LOGITECH" << QRect(41, 165, 76, 39)
                              << "http://www.logitech.com/ru-ru/support-downloads";
    QTest::newRow("LENOVO") << "sButton2"
                            << "LENOVO" << QRect(121, 165, 76, 39)
                            << "http://download.lenovo.com/lenovo/content/vru/websupport_ru.html";
    QTest::newRow("MSI") << "sButton15"
                         << "MSI" << QRect(201, 165, 76, 39)
                         << "http://ru.msi.com/program/support/spt_index.php";
    QTest::newRow("NVIDIA") << "sButton4"
                            << "NVIDIA" << QRect(281, 165, 76, 39)
                            << "http://www.nvidia.ru/Download/index.aspx?lang=ru";
    QTest::newRow("LEXMARK")
        << "sButton23"
        << "LEXMARK" << QRect(361, 165, 76, 39)
        << "http://support.lexmark.com/"
           "index?page=productSelection&linkSelected=node0&userlocale=RU_RU&locale=RU";
    QTest::newRow("SAMSUNG") << "sButton18"
                             << "SAMSUNG" << QRect(440, 165, 76, 39)
                             << "http://www.samsung.com/ru/function/search/espsearchResult.do";
    QTest::newRow("SONY") << "sButton21"
                          << "SONY" << QRect(40, 207, 76, 39)
                          << "http://support.sony-europe.com/main/index.aspx?site=odw_ru_RU";
    QTest::newRow("EPSON") << "sButton26"
                           << "EPSON" << QRect(120, 207, 76, 39) << "http://support.epson.ru/";
    QTest::newRow("HP") << "sButton5"
                        << "HP" << QRect(200, 207, 76, 39)
                        << "http://search.hp.com/gwrurus/query.html";
    QTest::newRow("EPoX") << "sButton8"
                          << "EPoX" << QRect(280, 207, 76, 39) << "http://www.epox.ru/products/mb/";
    QTest::newRow("REALTEK") << "sButton17"
                             << "REALTEK" << QRect(360, 207, 76, 39)
                             << "http://www.realtek.com.tw/downloads/searchView.aspx";
    QTest::newRow("INTEL") << "sButton3"
                           << "INTEL" << QRect(440, 207, 76, 39)
                           << "http://downloadcenter.intel.com/SearchResult.aspx";
    QTest::newRow("OKI") << "sButton22"
                         << "OKI" << QRect(39, 249, 76, 39)
                         << "http://www.oki.ua/support/printer-drivers/index.aspx";
    QTest::newRow("XEROX") << "sButton25"
                           << "XEROX" << QRect(119, 249, 76, 39)
                           << "http://support.xerox.com/support/enza.html";
}

void VendorLinksTest::vendorButtonOpensItsOwnPage() {
    QFETCH(QString, name);
    QFETCH(QString, caption);
    QFETCH(QRect, geometry);
    QFETCH(QString, page);
    auto* button = Form3->findChild<QPushButton*>(name);
    QVERIFY(button != nullptr);
    QCOMPARE(button->text(), caption);
    QCOMPARE(button->parentWidget(), Form3);
    QCOMPARE(button->geometry(), geometry);
    QCOMPARE(button->property("skinSection").toString(), QStringLiteral("SPEEDBUTTON"));
    QCOMPARE(button->cursor().shape(), Qt::PointingHandCursor);
    QVERIFY(button->toolTip().isEmpty());

    QWidget* atCentre = nullptr;
    showVendors([&] {
        atCentre = Form3->childAt(geometry.center());
        QTest::mouseClick(button, Qt::LeftButton);
        QTest::mouseClick(button, Qt::LeftButton);
        Form3->close();
    });
    // Drawn in front of the group box, so the click reaches the button.
    QCOMPARE(atCentre, button);
    QCOMPARE(launcher_->targets, (QStringList{page, page}));
}

void VendorLinksTest::keyboardWalksTheButtonsInDeclaredOrder() {
    QStringList visited;
    showVendors([&] {
        for (int step = 0; step <= 26; ++step) {
            auto* focused = qobject_cast<QPushButton*>(Form3->focusWidget());
            if (focused == nullptr) break;
            visited.append(focused->text());
            QTest::keyClick(focused, Qt::Key_Space);
            QTest::keyClick(focused, Qt::Key_Tab);
        }
        Form3->close();
    });
    const QStringList order{
        QStringLiteral("ACER"),     QStringLiteral("LENOVO"),   QStringLiteral("INTEL"),
        QStringLiteral("NVIDIA"),   QStringLiteral("HP"),       QStringLiteral("GIGABYTE"),
        QStringLiteral("FOXCONN"),  QStringLiteral("EPoX"),     QStringLiteral("CANON"),
        QStringLiteral("BROTHER"),  QStringLiteral("AMD"),      QStringLiteral("ASRock"),
        QStringLiteral("ASUS"),     QStringLiteral("BIOSTAR"),  QStringLiteral("MSI"),
        QStringLiteral("ATI"),      QStringLiteral("SAMSUNG"),  QStringLiteral("REALTEK"),
        QStringLiteral("BROADCOM"), QStringLiteral("CREATIVE"), QStringLiteral("SONY"),
        QStringLiteral("OKI"),      QStringLiteral("EPSON"),    QStringLiteral("LEXMARK"),
        QStringLiteral("LOGITECH"), QStringLiteral("XEROX"),    QStringLiteral("ACER")};
    QCOMPARE(visited, order);
    // Space clicked each button once more: 27 hand-overs, 26 different pages.
    QCOMPARE(launcher_->targets.size(), 27);
    QCOMPARE(QSet<QString>(launcher_->targets.begin(), launcher_->targets.end()).size(), 26);
}

void VendorLinksTest::focusReturnsToTheButtonThatHadIt() {
    QWidget* firstFocus = nullptr;
    showVendors([&] {
        firstFocus = Form3->focusWidget();
        for (int step = 0; step < 3; ++step) QTest::keyClick(Form3->focusWidget(), Qt::Key_Tab);
        Form3->close();
    });
    QCOMPARE(firstFocus, Form3->sButton1);

    QWidget* secondFocus = nullptr;
    showVendors([&] {
        secondFocus = Form3->focusWidget();
        QTest::keyClick(Form3->focusWidget(), Qt::Key_Return);
        Form3->close();
    });
    QCOMPARE(secondFocus, Form3->sButton4);
    QCOMPARE(launcher_->targets,
             QStringList{QStringLiteral("http://www.nvidia.ru/Download/index.aspx?lang=ru")});
}

void VendorLinksTest::addressLabelOpensHomePage() {
    bool stayedOpen = false;
    showVendors([&] {
        QTest::mouseClick(Form3->Label2, Qt::LeftButton);
        stayedOpen = Form3->isVisible();
        Form3->close();
    });
    QVERIFY(stayedOpen);
    QCOMPARE(launcher_->targets,
             QStringList{QStringLiteral("http://") + QStringLiteral(QUARROW_HOME_HOST)});
}

QUARROW_TEST_MAIN(VendorLinksTest)
#include "tst_vendor_links.moc"
