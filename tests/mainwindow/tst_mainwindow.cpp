#include "CatalogueWriter.h"
#include "TestSupport.h"
#include "db/Query.h"
#include "mainwindow/TForm1.h"
#include "widgets/DBGrid.h"

#include <QAbstractItemModelTester>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyleOptionButton>
#include <QtTest>

using namespace quarrow;
using namespace quarrow::test;

namespace {

const QStringList kColumns = quarrow::test::DriverCatalogueColumns();

QStringList driver(const QString& name, const QString& url = QStringLiteral("example.com/d.zip")) {
    return {name,
            QStringLiteral("Видеокарта"),
            QStringLiteral("Windows XP"),
            QStringLiteral("12 МБ"),
            QStringLiteral("1.0"),
            url,
            QStringLiteral("http://") + url,
            QStringLiteral("2026.12")};
}

const QString kChoose = QStringLiteral("Выберите в таблице драйвер ,а за тем качать !!!");
const QString kEnter = QStringLiteral("Внимание ! Введите поисковый запрос !");
const QString kNothing =
    QStringLiteral("Драйвер не найден измените поисковый запрос, либо сообщите в службу поддержки");

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void declaredLayout_data();
    void declaredLayout();
    void focusOrderAndFirstFocus();
    void buttonCaptionsAreNotCut();
    void gridColumnsAndFonts();
    void searchTrimsAndFindsEveryCase();
    void trimRemovesControlCharactersOnly_data();
    void trimRemovesControlCharactersOnly();
    void blankTextFindsEveryNamedRow();
    void emptyBoxWarnsAndKeepsEverything_data();
    void emptyBoxWarnsAndKeepsEverything();
    void searchThatFindsNothing();
    void secondSearchReplacesTheResult();
    void enterInGridDownloadsTheCurrentRow();
    void otherCharactersDoNothingInTheGrid();
    void deletionAsksAndRemovesFromFile_data();
    void deletionAsksAndRemovesFromFile();
    void deletionOnEmptyGridDoesNothing();

private:
    void makeCatalogue(const QList<QStringList>& rows);
    void createWindow();
    void search(const QString& text);

    std::unique_ptr<TemporaryCurrentFolder> folder_;
};

void MainWindowTest::init() { folder_ = std::make_unique<TemporaryCurrentFolder>(); }

void MainWindowTest::cleanup() {
    delete Form1;
    Form1 = nullptr;
    folder_.reset();
}

void MainWindowTest::makeCatalogue(const QList<QStringList>& rows) {
    WriteDriverCatalogue(folder_->filePath(QStringLiteral("vek.mdb")), QStringLiteral("kavrel"),
                         {kColumns, rows});
}

void MainWindowTest::createWindow() {
    Form1 = new TForm1;
    // Every reset, removal and row change the grid's model makes is checked.
    new QAbstractItemModelTester(Form1->DBGrid1->model(),
                                 QAbstractItemModelTester::FailureReportingMode::QtTest, Form1);
    Form1->show();
    QVERIFY(QTest::qWaitForWindowExposed(Form1));
}

void MainWindowTest::search(const QString& text) {
    Form1->Edit1->setText(text);
    QTest::mouseClick(Form1->Button2, Qt::LeftButton);
}

void MainWindowTest::declaredLayout_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("hint");
    QTest::newRow("Image1") << "Image1" << QRect(664, 64, 209, 89) << ""
                            << "";
    QTest::newRow("sPanel1") << "sPanel1" << QRect(13, 64, 644, 89) << ""
                             << "";
    QTest::newRow("sPanel2") << "sPanel2" << QRect(0, 0, 889, 49) << ""
                             << "";
    QTest::newRow("sPanel3") << "sPanel3" << QRect(53, 165, 785, 228) << ""
                             << "";
    QTest::newRow("sLabel2") << "sLabel2" << QRect(8, 4, 128, 16) << "Найдено драйверов :"
                             << "";
    QTest::newRow("sLabel1") << "sLabel1" << QRect(24, 8, 177, 13)
                             << "Поиск по наименованию драйвера"
                             << "";
    QTest::newRow("sLabel4") << "sLabel4" << QRect(344, 16, 61, 13) << "Cообщения:"
                             << "";
    QTest::newRow("sButton1") << "sButton1" << QRect(577, 28, 57, 33) << "Ostrel"
                              << "Поиск посайту Ostrel";
    QTest::newRow("Button6") << "Button6" << QRect(82, 6, 31, 38) << "ДУ"
                             << "Диспетчер устройств";
    QTest::newRow("DBGrid1") << "DBGrid1" << QRect(53, 189, 785, 244) << ""
                             << "";
    QTest::newRow("Button1") << "Button1" << QRect(181, 485, 161, 49) << "КАЧАТЬ МЕДЛЕННО"
                             << "";
    QTest::newRow("Edit1") << "Edit1" << QRect(109, 92, 329, 32) << ""
                           << "Введите название драйвера например: 7300 GT";
    QTest::newRow("Button2") << "Button2" << QRect(453, 92, 89, 33) << "ПОИСК"
                             << "Поиск по базе драйверов";
    QTest::newRow("Button3") << "Button3" << QRect(239, 6, 85, 38) << "О программе ? "
                             << "";
    QTest::newRow("sButton2") << "sButton2" << QRect(6, 6, 75, 38) << "Служба поддержки"
                              << "Служба поддержки";
    QTest::newRow("Button5") << "Button5" << QRect(548, 92, 41, 33) << "VEK"
                             << "Поиск по сайту Vek";
    QTest::newRow("Button7") << "Button7" << QRect(114, 6, 92, 38) << "Производители"
                             << "Поиск по производителям";
    QTest::newRow("Button8") << "Button8" << QRect(207, 6, 31, 38) << "НУ"
                             << "Поиск неизвестного устройства";
    QTest::newRow("Button9") << "Button9" << QRect(526, 484, 161, 49) << "КАЧАТЬ БЫСТРО"
                             << "";
}

void MainWindowTest::declaredLayout() {
    QFETCH(QString, name);
    QFETCH(QRect, geometry);
    QFETCH(QString, text);
    QFETCH(QString, hint);
    makeCatalogue({driver(QStringLiteral("a"))});
    createWindow();
    QCOMPARE(Form1->windowTitle(), QStringLiteral("Quarrow  v1.3"));
    QCOMPARE(Form1->size(), QSize(889, 554));
    QWidget* control = Form1->findChild<QWidget*>(name);
    QVERIFY2(control != nullptr, qPrintable(name));
    QCOMPARE(control->geometry(), geometry);
    QCOMPARE(control->toolTip(), hint);
    if (auto* button = qobject_cast<QAbstractButton*>(control)) QCOMPARE(button->text(), text);
    if (auto* label = qobject_cast<QLabel*>(control)) {
        if (!text.isEmpty()) QCOMPARE(label->text(), text);
    }
}

void MainWindowTest::focusOrderAndFirstFocus() {
    makeCatalogue({driver(QStringLiteral("a"))});
    createWindow();
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(Form1->DBGrid1));
    const QStringList expected{
        QStringLiteral("DBGrid1"), QStringLiteral("Button1"),  QStringLiteral("Edit1"),
        QStringLiteral("Button2"), QStringLiteral("Button3"),  QStringLiteral("Button6"),
        QStringLiteral("sEdit1"),  QStringLiteral("sButton1"), QStringLiteral("sButton2"),
        QStringLiteral("Button5"), QStringLiteral("Button7"),  QStringLiteral("Button8"),
        QStringLiteral("Button9"), QStringLiteral("DBGrid1")};
    QStringList order{Form1->DBGrid1->objectName()};
    QWidget* w = Form1->DBGrid1;
    for (int k = 0; k < 500 && order.size() < expected.size(); ++k) {
        w = w->nextInFocusChain();
        if (w->isVisible() && w->focusPolicy() & Qt::TabFocus &&
            !w->objectName().startsWith(u"qt_")) {
            order.append(w->objectName());
        }
    }
    QCOMPARE(order.join(u','), expected.join(u','));
    QVERIFY(Form1->sEdit1->isReadOnly());
    QVERIFY(!Form1->DBEdit1->isVisible());
    QVERIFY(!Form1->DBEdit2->isVisible());
    QVERIFY(!Form1->DBEdit3->isVisible());
}

void MainWindowTest::buttonCaptionsAreNotCut() {
    makeCatalogue({driver(QStringLiteral("a"))});
    createWindow();
    for (QPushButton* button : Form1->findChildren<QPushButton*>()) {
        QStyleOptionButton option;
        option.initFrom(button);
        const QRect contents =
            button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button);
        const bool wraps = button->inherits("quarrow::TsButton");
        const QRect needed = button->fontMetrics().boundingRect(
            contents, Qt::AlignCenter | (wraps ? Qt::TextWordWrap : 0), button->text());
        QVERIFY2(needed.width() <= contents.width() + 2 && needed.height() <= contents.height() + 2,
                 qPrintable(button->objectName()));
    }
}

void MainWindowTest::gridColumnsAndFonts() {
    makeCatalogue({driver(QStringLiteral("a"))});
    createWindow();
    auto* model = Form1->DBGrid1->model();
    const QStringList titles{QStringLiteral("Устройство"), QStringLiteral("Наименование"),
                             QStringLiteral("os"), QStringLiteral("Размер"),
                             QStringLiteral("Версия")};
    const QList<int> widths{101, 174, 277, 109, 80};
    const QList<int> titleSizes{9, 9, 10, 8, 9};
    QCOMPARE(model->columnCount(), 5);
    for (int c = 0; c < 5; ++c) {
        QCOMPARE(model->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString(), titles[c]);
        QCOMPARE(Form1->DBGrid1->columnWidth(c), widths[c]);
        const QFont title = model->headerData(c, Qt::Horizontal, Qt::FontRole).value<QFont>();
        QCOMPARE(title.family(), QStringLiteral("MS Sans Serif"));
        QVERIFY(title.bold());
        QCOMPARE(title.pointSize(), titleSizes[c]);
    }
    QCOMPARE(Form1->DBGrid1->font().family(), QStringLiteral("MS Sans Serif"));
    search(QStringLiteral("a"));
    QCOMPARE(Form1->DBGrid1->font().family(), QStringLiteral("Arial"));
    QCOMPARE(Form1->DBGrid1->font().pointSize(), 10);
    QCOMPARE(model->data(model->index(0, 2), Qt::FontRole).value<QFont>().family(),
             QStringLiteral("Arial"));
    // The result holds eight columns; the grid shows its five.
    QCOMPARE(model->data(model->index(0, 1)).toString(), QStringLiteral("a"));
    QCOMPARE(model->data(model->index(0, 0)).toString(), QStringLiteral("Видеокарта"));
}

void MainWindowTest::searchTrimsAndFindsEveryCase() {
    makeCatalogue({driver(QStringLiteral("NVIDIA GeForce 7300 GT")),
                   driver(QStringLiteral("Radeon")), driver(QStringLiteral("geforce 7300 gt go"))});
    createWindow();
    QTest::keyClicks(Form1->Edit1, QStringLiteral("  7300 GT  "));
    QTest::keyClick(Form1->Edit1, Qt::Key_Return);
    QCOMPARE(Form1->Edit1->text(), QStringLiteral("7300 GT"));
    QCOMPARE(Form1->DBGrid1->model()->rowCount(), 2);
    QCOMPARE(Form1->sLabel3->text(), QStringLiteral("2"));
    QCOMPARE(Form1->sEdit1->text(), kChoose);
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(Form1->DBGrid1));
    QCOMPARE(Form1->ADOQuery1->currentRow(), 0);
    QCOMPARE(Form1->DBEdit2->text(), QStringLiteral("NVIDIA GeForce 7300 GT"));
    // The typed text is bound, never written into the statement.
    QVERIFY(Form1->ADOQuery1->sqlText().startsWith(
        QStringLiteral("SELECT * FROM table_1 WHERE Наименование LIKE ?")));
    QVERIFY(!Form1->ADOQuery1->sqlText().contains(QStringLiteral("7300")));
    QCOMPARE(Form1->ADOQuery1->parameters().value(0), QStringLiteral("%7300 GT%"));
    QVERIFY(!Form1->ADOQuery2->isOpen());
}

void MainWindowTest::trimRemovesControlCharactersOnly_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("trimmed");
    QTest::newRow("blanks") << "  a  "
                            << "a";
    QTest::newRow("tab and breaks") << "\t\r\na\n"
                                    << "a";
    QTest::newRow("control characters") << QStringLiteral(
                                               "\x01\x1f"
                                               "a\x7f")
                                        << QStringLiteral("a\x7f");
    QTest::newRow("inner blanks stay") << " a  b "
                                       << "a  b";
    QTest::newRow("no-break space stays")
        << QStringLiteral(" \u00a0a\u00a0 ") << QStringLiteral("\u00a0a\u00a0");
    QTest::newRow("only blanks") << "   "
                                 << "";
}

void MainWindowTest::trimRemovesControlCharactersOnly() {
    QFETCH(QString, typed);
    QFETCH(QString, trimmed);
    makeCatalogue({driver(QStringLiteral("a"))});
    createWindow();
    search(typed);
    QCOMPARE(Form1->Edit1->text(), trimmed);
}

void MainWindowTest::blankTextFindsEveryNamedRow() {
    QStringList unnamed = driver(QString());
    unnamed[0] = QString();
    makeCatalogue({driver(QStringLiteral("a")), unnamed, driver(QStringLiteral("b"))});
    createWindow();
    search(QStringLiteral("   "));
    QCOMPARE(Form1->Edit1->text(), QString());
    QCOMPARE(Form1->sLabel3->text(), QStringLiteral("2"));
    QCOMPARE(Form1->DBGrid1->model()->rowCount(), 2);
}

void MainWindowTest::emptyBoxWarnsAndKeepsEverything_data() {
    QTest::addColumn<bool>("byEnter");
    QTest::newRow("button") << false;
    QTest::newRow("enter") << true;
}

void MainWindowTest::emptyBoxWarnsAndKeepsEverything() {
    QFETCH(bool, byEnter);
    makeCatalogue({driver(QStringLiteral("a")), driver(QStringLiteral("ab"))});
    createWindow();
    search(QStringLiteral("a"));
    Form1->Edit1->clear();
    bool returnReachedTheBox = false;
    connect(Form1->Edit1, &QLineEdit::returnPressed, this, [&] { returnReachedTheBox = true; });
    if (byEnter) {
        Form1->Edit1->setFocus();
        QTest::keyClick(Form1->Edit1, Qt::Key_Return);
    } else {
        QTest::mouseClick(Form1->Button2, Qt::LeftButton);
    }
    QCOMPARE(Form1->sEdit1->text(), kEnter);
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(Form1->Edit1));
    QCOMPARE(Form1->sLabel3->text(), QStringLiteral("2"));
    QCOMPARE(Form1->DBGrid1->model()->rowCount(), 2);
    QVERIFY(!returnReachedTheBox);
    QVERIFY(QApplication::activeModalWidget() == nullptr);
}

void MainWindowTest::searchThatFindsNothing() {
    makeCatalogue({driver(QStringLiteral("a"))});
    createWindow();
    search(QStringLiteral("zzz"));
    QCOMPARE(Form1->sLabel3->text(), QStringLiteral("0"));
    QCOMPARE(Form1->sEdit1->text(), kNothing);
    QVERIFY(Form1->ADOQuery1->isOpen());
    QCOMPARE(Form1->DBGrid1->model()->rowCount(), 0);
    QCOMPARE(Form1->DBEdit1->text(), QString());
}

void MainWindowTest::secondSearchReplacesTheResult() {
    QList<QStringList> rows;
    for (int k = 0; k < 12; ++k) rows.append(driver(QStringLiteral("match %1").arg(k)));
    rows.append(driver(QStringLiteral("other")));
    makeCatalogue(rows);
    createWindow();
    search(QStringLiteral("match"));
    QCOMPARE(Form1->sLabel3->text(), QStringLiteral("12"));
    Form1->DBGrid1->setCurrentIndex(Form1->DBGrid1->model()->index(5, 1));
    QCOMPARE(Form1->DBEdit2->text(), QStringLiteral("match 5"));
    search(QStringLiteral("other"));
    QCOMPARE(Form1->sLabel3->text(), QStringLiteral("1"));
    QCOMPARE(Form1->ADOQuery1->currentRow(), 0);
    QCOMPARE(Form1->DBEdit2->text(), QStringLiteral("other"));
}

void MainWindowTest::enterInGridDownloadsTheCurrentRow() {
    makeCatalogue({driver(QStringLiteral("a1"), QStringLiteral("one.example/a1.zip")),
                   driver(QStringLiteral("a2"), QStringLiteral("two.example/a 2.zip"))});
    createWindow();
    RecordingLauncher launcher;
    search(QStringLiteral("a"));
    QTest::keyClick(Form1->DBGrid1, Qt::Key_Down);
    QTest::keyClick(Form1->DBGrid1, Qt::Key_Return);
    QCOMPARE(launcher.targets, QStringList{QStringLiteral("http://two.example/a 2.zip")});
}

void MainWindowTest::otherCharactersDoNothingInTheGrid() {
    // Each name begins with a character typed below: a view's search by
    // typed text would move to it.
    makeCatalogue({driver(QStringLiteral("GeForce 7300")), driver(QStringLiteral("Radeon 9600")),
                   driver(QStringLiteral("7800 GTX")), driver(QStringLiteral("ATI 9600"))});
    createWindow();
    RecordingLauncher launcher;
    search(QStringLiteral("0"));
    QCOMPARE(Form1->sLabel3->text(), QStringLiteral("4"));
    DBGrid* grid = Form1->DBGrid1;
    grid->setCurrentIndex(grid->model()->index(0, 1));
    QTest::keyClicks(grid, QStringLiteral("R7A r"));
    QCOMPARE(grid->currentIndex(), grid->model()->index(0, 1));
    QCOMPARE(Form1->ADOQuery1->currentRow(), 0);
    QCOMPARE(Form1->DBEdit2->text(), QStringLiteral("GeForce 7300"));
    QVERIFY(launcher.targets.isEmpty());
    QVERIFY(QApplication::activeModalWidget() == nullptr);
}

void MainWindowTest::deletionAsksAndRemovesFromFile_data() {
    QTest::addColumn<QString>("answer");
    QTest::addColumn<int>("remaining");
    QTest::newRow("OK") << "OK" << 1;
    QTest::newRow("Cancel") << "Cancel" << 2;
    QTest::newRow("Esc") << "" << 2;
}

void MainWindowTest::deletionAsksAndRemovesFromFile() {
    QFETCH(QString, answer);
    QFETCH(int, remaining);
    makeCatalogue({driver(QStringLiteral("a1")), driver(QStringLiteral("a2"))});
    createWindow();
    search(QStringLiteral("a"));
    auto seen = AnswerNextDialog(answer);
    QTest::keyClick(Form1->DBGrid1, Qt::Key_Delete, Qt::ControlModifier);
    QTRY_VERIFY(seen->seen);
    QCOMPARE(seen->title, QStringLiteral("Confirm"));
    QCOMPARE(seen->text, QStringLiteral("Delete record?"));
    QCOMPARE(seen->buttons, (QStringList{QStringLiteral("OK"), QStringLiteral("Cancel")}));
    QCOMPARE(Form1->DBGrid1->model()->rowCount(), remaining);
    QCOMPARE(Form1->sLabel3->text(), QStringLiteral("2"));  // the counter keeps the number found
    search(QStringLiteral("a"));
    QCOMPARE(Form1->sLabel3->text(), QString::number(remaining));
    if (remaining == 1) QCOMPARE(Form1->DBEdit2->text(), QStringLiteral("a2"));
}

void MainWindowTest::deletionOnEmptyGridDoesNothing() {
    makeCatalogue({driver(QStringLiteral("a"))});
    createWindow();
    QTest::keyClick(Form1->DBGrid1, Qt::Key_Delete, Qt::ControlModifier);  // not yet searched
    search(QStringLiteral("zzz"));
    QTest::keyClick(Form1->DBGrid1, Qt::Key_Delete, Qt::ControlModifier);  // empty result
    QTest::qWait(50);
    QVERIFY(QApplication::activeModalWidget() == nullptr);
}

QUARROW_TEST_MAIN(MainWindowTest)
#include "tst_mainwindow.moc"
