#include "CatalogueWriter.h"
#include "DevicesFixture.h"
#include "ModalWindow.h"
#include "TestSupport.h"
#include "db/Connection.h"
#include "db/Query.h"
#include "devices/TForm4.h"
#include "forms/BusyCursor.h"
#include "forms/ShowModal.h"
#include "mainwindow/TForm1.h"
#include "program/Startup.h"
#include "shell/Endpoints.h"
#include "stores/DeviceCatalogue.h"
#include "widgets/EditableDBGrid.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QScrollBar>
#include <QStandardPaths>
#include <QtTest>
#include <limits>
#include <optional>

using namespace quarrow;
using namespace quarrow::test;

namespace {

const QString kEnterQuery = QStringLiteral("Внимание ! Введите поисковый запрос !");

// Код 6 has an empty device text, Код 7 none at all.
const QStringList kDevices{
    QStringLiteral("1|PCI\\VEN_10DE&DEV_0393 NVIDIA GeForce 7300 GT"),
    QStringLiteral("2|PCI\\VEN_8086&DEV_27DC Intel PRO/100 VE"),
    QStringLiteral("3|USB\\VID_046D&PID_C52B Logitech Unifying"),
    QStringLiteral("4|Видеоадаптер ВИДЕО 3D"),
    QStringLiteral("5|Dell O'Brien bridge"),
    QStringLiteral("6|"),
    QStringLiteral("7"),
    QStringLiteral("8|a   b"),
};

QStringList codesShown(const QAbstractItemModel* model) {
    QStringList codes;
    for (const QString& row : ShownRows(model)) codes.append(row.section(u'|', 0, 0));
    return codes;
}

}  // namespace

class DevicesWindowTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void declaredLayout_data();
    void declaredLayout();
    void windowDeclaration();
    void keyboardOrderAndFirstFocus();
    void gridColumns();
    void searchHandsLookupsOverAndMovesFocus_data();
    void searchHandsLookupsOverAndMovesFocus();
    void emptyTextWarnsAndKeepsEverything();
    void blankTextIsSearchedUnchanged();
    void matching_data();
    void matching();
    void enterInTextBoxDoesNotSearch();
    void linksOpenTheirPages();
    void unopenableCatalogueStillHandsLookupsOver_data();
    void unopenableCatalogueStillHandsLookupsOver();
    void catalogueHeldByAnotherProcess();
    void closingAndReopeningKeepsState();
    void longComparisonInOneRowIsBounded();
    void closingTheProgramWritesTheChangedRow_data();
    void closingTheProgramWritesTheChangedRow();

private:
    void createWindow();
    void search(const QString& text);
    QString catalogue() const { return folder_->filePath(QStringLiteral("dev.mdb")); }

    std::unique_ptr<TemporaryCurrentFolder> folder_;
    std::unique_ptr<RecordingLauncher> launcher_;
};

void DevicesWindowTest::init() {
    folder_ = std::make_unique<TemporaryCurrentFolder>();
    launcher_ = std::make_unique<RecordingLauncher>();
}

void DevicesWindowTest::cleanup() {
    DestroyWindowSet();
    delete Form4;
    Form4 = nullptr;
    launcher_.reset();
    folder_.reset();
}

void DevicesWindowTest::createWindow() {
    Form4 = new TForm4;
    Form4->show();
    QVERIFY(QTest::qWaitForWindowActive(Form4));
}

void DevicesWindowTest::search(const QString& text) {
    Form4->Edit1->setText(text);
    QTest::mouseClick(Form4->Button2, Qt::LeftButton);
}

void DevicesWindowTest::declaredLayout_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("parent");
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("hint");
    QTest::addColumn<QString>("family");
    QTest::addColumn<int>("points");
    QTest::addColumn<bool>("bold");
    QTest::addColumn<QString>("section");
    QTest::addColumn<bool>("hand");

    const QString ms = QStringLiteral("MS Sans Serif");
    const QString arial = QStringLiteral("Arial");
    const QString form = QStringLiteral("Form4");
    const QString panel = QStringLiteral("PANEL");
    const auto row = [](const char* name) -> QTestData& {
        return QTest::newRow(name) << QString::fromUtf8(name);
    };
    row("sPanel5") << form << QRect(32, 554, 721, 41) << ""
                   << "" << ms << 8 << false << panel << false;
    row("sPanel4") << form << QRect(32, 189, 721, 228) << ""
                   << "" << ms << 8 << false << panel << false;
    row("sLabel2") << "sPanel4" << QRect(32, 8, 104, 13) << "Найдено устройств :"
                   << "" << ms << 8 << false << "" << false;
    row("sLabel3") << "sPanel4" << QRect(140, 8, 9, 16) << "0"
                   << "" << ms << 10 << true << "" << false;
    row("sPanel2") << form << QRect(0, 0, 785, 49) << ""
                   << "" << ms << 8 << false << panel << false;
    row("Label1") << "sPanel2" << QRect(624, 13, 143, 19) << HomeHost() << "" << arial << 12 << true
                  << "" << true;
    row("sPanel1") << form << QRect(32, 64, 545, 113) << ""
                   << "" << ms << 8 << false << panel << false;
    row("sLabel1") << "sPanel1" << QRect(24, 8, 160, 13) << "Поиск неизвесного устройства"
                   << "" << ms << 8 << false << "" << false;
    row("Edit1") << "sPanel1" << QRect(48, 33, 329, 30) << ""
                 << "Введите DEVICE или VENDOR устройства" << arial << 14 << false << "" << false;
    row("sButton1") << "sPanel1" << QRect(406, 76, 91, 17) << "VEN + DIV"
                    << "Полный код экземпляра устройства" << arial << 8 << false << "BUTTON"
                    << true;
    row("Button2") << form << QRect(424, 97, 121, 33) << "ПОИСК"
                   << "Поиск по базе устройств" << arial << 8 << false << "" << true;
    row("sPanel3") << form << QRect(592, 64, 161, 113) << ""
                   << "" << ms << 8 << false << panel << false;
    row("CheckBox1") << form << QRect(620, 128, 113, 17) << "DEVICE ПОИСК"
                     << "" << arial << 8 << false << "" << false;
    row("CheckBox2") << form << QRect(620, 96, 113, 17) << "VENDOR ПОИСК"
                     << "" << arial << 8 << false << "" << false;
    row("DBGrid1") << form << QRect(32, 216, 721, 353) << ""
                   << "" << ms << 8 << false << "" << false;
    row("Button3") << "sPanel2" << QRect(32, 8, 121, 33) << "ЭТОТ ПК"
                   << "Устройства этого компьютера" << arial << 8 << false << "" << true;
}

void DevicesWindowTest::declaredLayout() {
    QFETCH(QString, name);
    QFETCH(QString, parent);
    QFETCH(QRect, geometry);
    QFETCH(QString, text);
    QFETCH(QString, hint);
    QFETCH(QString, family);
    QFETCH(int, points);
    QFETCH(bool, bold);
    QFETCH(QString, section);
    QFETCH(bool, hand);
    createWindow();
    auto* control = Form4->findChild<QWidget*>(name);
    QVERIFY2(control != nullptr, qPrintable(name));
    QCOMPARE(control->parentWidget()->objectName(), parent);
    QCOMPARE(control->geometry(), geometry);
    QCOMPARE(control->toolTip(), hint);
    QCOMPARE(control->font().family(), family);
    QCOMPARE(control->font().pointSize(), points);
    QCOMPARE(control->font().bold(), bold);
    QCOMPARE(control->property("skinSection").toString(), section);
    QCOMPARE(control->cursor().shape() == Qt::PointingHandCursor, hand);
    if (auto* button = qobject_cast<QAbstractButton*>(control)) QCOMPARE(button->text(), text);
    if (auto* label = qobject_cast<QLabel*>(control)) QCOMPARE(label->text(), text);
    if (auto* edit = qobject_cast<QLineEdit*>(control)) QCOMPARE(edit->text(), text);
}

void DevicesWindowTest::windowDeclaration() {
    createWindow();
    QCOMPARE(Form4->objectName(), QStringLiteral("Form4"));
    QCOMPARE(Form4->windowTitle(), QStringLiteral("Quarrow  v1.3"));
    QCOMPARE(Form4->pos(), QPoint(311, 125));
    QCOMPARE(Form4->size(), QSize(785, 595));
    QCOMPARE(Form4->minimumSize(), Form4->maximumSize());
    const Qt::WindowFlags flags = Form4->windowFlags();
    QVERIFY(flags.testFlag(Qt::WindowCloseButtonHint));
    QVERIFY(flags.testFlag(Qt::WindowMinimizeButtonHint));
    QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));

    for (QLabel* label : {Form4->sLabel1, Form4->sLabel2, Form4->sLabel3}) {
        QCOMPARE(label->palette().color(QPalette::WindowText), QColor(206, 214, 235));
    }
    QCOMPARE(Form4->Label1->palette().color(QPalette::WindowText), QColor(Qt::black));
    QVERIFY(Form4->Label1->autoFillBackground());
    QCOMPARE(Form4->Edit1->maxLength(), std::numeric_limits<int>::max());
    QVERIFY(!Form4->CheckBox1->isChecked());
    QVERIFY(!Form4->CheckBox2->isChecked());

    // Nothing is opened before the first search.
    QVERIFY(!Form4->ADOConnection1->isOpen());
    QVERIFY(!Form4->ADOQuery1->isOpen());
    QCOMPARE(Form4->ADOQuery1->sqlText(), QStringLiteral("SELECT * FROM device"));
    QCOMPARE(Form4->ADOQuery2->sqlText(), QString());
    QCOMPARE(
        Form4->ADOConnection1->connectionString(),
        QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;User ID=Admin;Data Source=dev.mdb;"
                       "Mode=Share Deny Write;Extended Properties=\"\";Persist Security Info=False;"
                       "Jet OLEDB:System database=\"\";Jet OLEDB:Registry Path=\"\";"
                       "Jet OLEDB:Database Password=kavrel;Jet OLEDB:Engine Type=5;"
                       "Jet OLEDB:Database Locking Mode=1;Jet OLEDB:Global Partial Bulk Ops=2;"
                       "Jet OLEDB:Global Bulk Transactions=1;Jet OLEDB:New Database Password=\"\";"
                       "Jet OLEDB:Create System Database=False;Jet OLEDB:Encrypt Database=False;"
                       "Jet OLEDB:Don't Copy Locale on Compact=False;"
                       "Jet OLEDB:Compact Without Replica Repair=False;Jet OLEDB:SFP=False"));
}

void DevicesWindowTest::keyboardOrderAndFirstFocus() {
    createWindow();
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(Form4->Edit1));
    const QStringList expected{QStringLiteral("sButton1"),  QStringLiteral("Button2"),
                               QStringLiteral("CheckBox1"), QStringLiteral("CheckBox2"),
                               QStringLiteral("DBGrid1"),   QStringLiteral("Button3"),
                               QStringLiteral("Edit1")};
    QStringList order;
    for (int k = 0; k < expected.size(); ++k) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        order.append(QApplication::focusWidget()->objectName());
    }
    QCOMPARE(order, expected);
}

void DevicesWindowTest::gridColumns() {
    WriteDeviceCatalogue(
        catalogue(), QStringLiteral("kavrel"),
        {{QStringLiteral("Код"), QStringLiteral("device"), QStringLiteral("vendor")},
         {{QStringLiteral("1"), QStringLiteral("PCI\\VEN_10DE"), QStringLiteral("NVIDIA")}}});
    createWindow();
    const QAbstractItemModel* model = Form4->DBGrid1->model();
    QCOMPARE(model->rowCount(), 0);
    QCOMPARE(model->columnCount(), 2);
    QCOMPARE(model->headerData(0, Qt::Horizontal).toString(), QStringLiteral("ID"));
    QCOMPARE(model->headerData(1, Qt::Horizontal).toString(), QStringLiteral("УСТРОЙСТВО"));
    QCOMPARE(Form4->DBGrid1->columnWidth(1), 613);
    // ID takes its field's default width: any Код shows whole, and both
    // columns fit the grid side by side.
    QVERIFY(Form4->DBGrid1->columnWidth(0) >=
            Form4->DBGrid1->fontMetrics().horizontalAdvance(QStringLiteral("2147483647")));
    for (int c = 0; c < 2; ++c) {
        const QFont title = model->headerData(c, Qt::Horizontal, Qt::FontRole).value<QFont>();
        QCOMPARE(title.family(), QStringLiteral("MS Sans Serif"));
        QCOMPARE(title.pointSize(), 8);
        QVERIFY(title.bold());
        QCOMPARE(model->headerData(c, Qt::Horizontal, Qt::TextAlignmentRole).toInt(),
                 int(Qt::AlignCenter));
    }

    search(QStringLiteral("VEN"));
    // Every column is read; the grid shows its two.
    QCOMPARE(
        Form4->ADOQuery1->fieldNames(),
        (QStringList{QStringLiteral("Код"), QStringLiteral("device"), QStringLiteral("vendor")}));
    QCOMPARE(ShownRows(model), QStringList{QStringLiteral("1|PCI\\VEN_10DE")});
    // Cells are in the grid's own font, the window's.
    QVERIFY(!model->data(model->index(0, 1), Qt::FontRole).isValid());
    QCOMPARE(Form4->DBGrid1->font().family(), QStringLiteral("MS Sans Serif"));
    QVERIFY(!Form4->DBGrid1->horizontalScrollBar()->isVisible());
}

void DevicesWindowTest::searchHandsLookupsOverAndMovesFocus_data() {
    QTest::addColumn<bool>("device");
    QTest::addColumn<bool>("vendor");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("targets");
    QTest::addColumn<bool>("gridFocused");
    QTest::addColumn<QStringList>("codes");

    const QString id = QStringLiteral("10DE");
    QTest::newRow("neither") << false << false << id << QStringList() << true
                             << QStringList{QStringLiteral("1")};
    QTest::newRow("device only") << true << false << id << QStringList{DeviceLookupUrl() + id}
                                 << true << QStringList{QStringLiteral("1")};
    QTest::newRow("vendor only") << false << true << id << QStringList{VendorLookupUrl() + id}
                                 << false << QStringList{QStringLiteral("1")};
    QTest::newRow("both, device first")
        << true << true << id << QStringList{DeviceLookupUrl() + id, VendorLookupUrl() + id}
        << false << QStringList{QStringLiteral("1")};
    // The lookups get the text as a query value, blanks percent-encoded.
    const QString blanks = QStringLiteral("%20GeForce%20");
    QTest::newRow("blanks at the ends stay")
        << true << true << QStringLiteral(" GeForce ")
        << QStringList{DeviceLookupUrl() + blanks, VendorLookupUrl() + blanks} << false
        << QStringList{QStringLiteral("1")};
    QTest::newRow("no match") << true << false << QStringLiteral("no such device")
                              << QStringList{DeviceLookupUrl() +
                                             QStringLiteral("no%20such%20device")}
                              << true << QStringList();
}

void DevicesWindowTest::searchHandsLookupsOverAndMovesFocus() {
    QFETCH(bool, device);
    QFETCH(bool, vendor);
    QFETCH(QString, text);
    QFETCH(QStringList, targets);
    QFETCH(bool, gridFocused);
    QFETCH(QStringList, codes);
    WriteDevices(catalogue(), kDevices);
    createWindow();
    Form4->CheckBox1->setChecked(device);
    Form4->CheckBox2->setChecked(vendor);
    const ShownDialogs shown(true);

    search(text);

    QCOMPARE(launcher_->targets, targets);
    QWidget* focused = gridFocused ? static_cast<QWidget*>(Form4->DBGrid1) : Form4->Button2;
    QCOMPARE(QApplication::focusWidget(), focused);
    QCOMPARE(codesShown(Form4->DBGrid1->model()), codes);
    QCOMPARE(Form4->sLabel3->text(), QString::number(codes.size()));
    QCOMPARE(Form4->ADOQuery1->currentRow(), codes.isEmpty() ? -1 : 0);
    QVERIFY(Form4->ADOQuery1->sqlText().startsWith(
        QStringLiteral("SELECT * FROM device WHERE device LIKE ?")));
    QCOMPARE(Form4->ADOQuery1->parameters().value(0), u'%' + text + u'%');
    QVERIFY(Form4->ADOQuery2->sqlText().startsWith(
        QStringLiteral("select count(*) as device from device WHERE device LIKE ?")));
    QCOMPARE(Form4->ADOQuery2->parameters(), Form4->ADOQuery1->parameters());
    QVERIFY(!Form4->ADOQuery2->isOpen());
    QVERIFY(Form4->ADOConnection1->isOpen());
    QVERIFY(shown.dialogs.isEmpty());
}

void DevicesWindowTest::emptyTextWarnsAndKeepsEverything() {
    WriteDevices(catalogue(), kDevices);
    createWindow();
    search(QStringLiteral("VEN_"));
    QCOMPARE(Form4->sLabel3->text(), QStringLiteral("2"));
    const QString statement = Form4->ADOQuery1->sqlText();
    QTest::keyClick(Form4->DBGrid1, Qt::Key_Down);

    Form4->CheckBox1->setChecked(true);
    Form4->CheckBox2->setChecked(true);
    Form4->CheckBox1->setFocus();
    const auto seen = AnswerNextDialog(QStringLiteral("OK"));
    search(QString());

    QVERIFY(seen->seen);
    QCOMPARE(seen->objectName, QStringLiteral("TMessageForm"));
    QCOMPARE(seen->title, QStringLiteral("Information"));
    QCOMPARE(seen->text, kEnterQuery);
    QCOMPARE(seen->buttons, QStringList{QStringLiteral("OK")});
    QCOMPARE(Form4->focusWidget(), static_cast<QWidget*>(Form4->Edit1));
    Form4->activateWindow();
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(Form4->Edit1));
    QVERIFY(launcher_->targets.isEmpty());
    QCOMPARE(Form4->ADOQuery1->sqlText(), statement);
    QCOMPARE(codesShown(Form4->DBGrid1->model()),
             (QStringList{QStringLiteral("1"), QStringLiteral("2")}));
    QCOMPARE(Form4->ADOQuery1->currentRow(), 1);
    QCOMPARE(Form4->sLabel3->text(), QStringLiteral("2"));
}

void DevicesWindowTest::blankTextIsSearchedUnchanged() {
    WriteDevices(catalogue(), kDevices);
    createWindow();
    Form4->CheckBox1->setChecked(true);
    Form4->CheckBox2->setChecked(true);
    const QString blanks = QStringLiteral("   ");
    search(blanks);
    const QString encoded = QStringLiteral("%20%20%20");
    QCOMPARE(launcher_->targets,
             (QStringList{DeviceLookupUrl() + encoded, VendorLookupUrl() + encoded}));
    QCOMPARE(Form4->Edit1->text(), blanks);
    QCOMPARE(ShownRows(Form4->DBGrid1->model()), QStringList{QStringLiteral("8|a   b")});
    QCOMPARE(Form4->sLabel3->text(), QStringLiteral("1"));
}

void DevicesWindowTest::matching_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("codes");
    const auto codes = [](const char* list) {
        return QString::fromLatin1(list).split(u',', Qt::SkipEmptyParts);
    };
    QTest::newRow("% finds every row with a value, an empty one too")
        << QStringLiteral("%") << codes("1,2,3,4,5,6,8");
    QTest::newRow("_ finds every row with at least one character")
        << QStringLiteral("_") << codes("1,2,3,4,5,8");
    QTest::newRow("wildcards inside the text") << QStringLiteral("VEN_10DE%DEV_039_") << codes("1");
    QTest::newRow("Latin letters in any case") << QStringLiteral("geFORCE") << codes("1");
    QTest::newRow("Cyrillic letters in any case") << QStringLiteral("видео") << codes("4");
    QTest::newRow("apostrophe is searched for") << QStringLiteral("O'Brien") << codes("5");
    QTest::newRow("a lone apostrophe") << QStringLiteral("'") << codes("5");
    QTest::newRow("quote and statement text") << QStringLiteral("' OR 1=1 --") << codes("");
    QTest::newRow("nothing matches") << QStringLiteral("VEN_FFFF") << codes("");
}

void DevicesWindowTest::matching() {
    QFETCH(QString, text);
    QFETCH(QStringList, codes);
    WriteDevices(catalogue(), kDevices);
    createWindow();
    const ShownDialogs shown(true);
    search(text);
    QVERIFY(shown.dialogs.isEmpty());
    QCOMPARE(codesShown(Form4->DBGrid1->model()), codes);
    QCOMPARE(Form4->ADOQuery1->rowCount(), codes.size());
    QCOMPARE(Form4->sLabel3->text(), QString::number(codes.size()));
}

void DevicesWindowTest::enterInTextBoxDoesNotSearch() {
    WriteDevices(catalogue(), kDevices);
    createWindow();
    Form4->CheckBox1->setChecked(true);
    Form4->CheckBox2->setChecked(true);
    const ShownDialogs shown(true);
    QTest::keyClicks(Form4->Edit1, QStringLiteral("VEN"));
    QTest::keyClick(Form4->Edit1, Qt::Key_Return);
    QTest::keyClick(Form4->Edit1, Qt::Key_Enter);
    QCOMPARE(Form4->Edit1->text(), QStringLiteral("VEN"));
    QVERIFY(launcher_->targets.isEmpty());
    QVERIFY(shown.dialogs.isEmpty());
    QVERIFY(!Form4->ADOConnection1->isOpen());
    QCOMPARE(Form4->DBGrid1->model()->rowCount(), 0);
    QCOMPARE(Form4->sLabel3->text(), QStringLiteral("0"));
}

void DevicesWindowTest::linksOpenTheirPages() {
    createWindow();
    Form4->Edit1->setText(QStringLiteral("VEN_10DE"));
    QTest::mouseClick(Form4->sButton1, Qt::LeftButton);
    QTest::mouseClick(Form4->Label1, Qt::LeftButton);
    QCOMPARE(launcher_->targets, (QStringList{HardwareIdSiteUrl(), HomePageUrl()}));
    QVERIFY(HardwareIdSiteUrl().endsWith(QStringLiteral("/ru/")));
    QVERIFY(!HomePageUrl().endsWith(u'/'));
}

void DevicesWindowTest::unopenableCatalogueStillHandsLookupsOver_data() {
    QTest::addColumn<QString>("password");  // empty: no file at all
    QTest::addColumn<QString>("message");
    QTest::newRow("missing") << QString() << QStringLiteral("Could not find file '%1'.");
    QTest::newRow("wrong password")
        << QStringLiteral("other") << QStringLiteral("Not a valid password.");
}

void DevicesWindowTest::unopenableCatalogueStillHandsLookupsOver() {
    QFETCH(QString, password);
    QFETCH(QString, message);
    if (!password.isEmpty()) WriteDevices(catalogue(), kDevices, password);
    createWindow();
    Form4->CheckBox1->setChecked(true);
    Form4->CheckBox2->setChecked(true);
    const auto seen = AnswerNextDialog(QStringLiteral("OK"));
    search(QStringLiteral("10DE"));

    QVERIFY(seen->seen);
    QCOMPARE(seen->objectName, QStringLiteral("AppMessageBox"));
    QCOMPARE(seen->title, QStringLiteral("Quarrow"));
    QCOMPARE(seen->text,
             message.contains(QStringLiteral("%1"))
                 ? message.arg(QDir(folder_->path()).filePath(QStringLiteral("dev.mdb")))
                 : message);
    QCOMPARE(launcher_->targets, (QStringList{DeviceLookupUrl() + QStringLiteral("10DE"),
                                              VendorLookupUrl() + QStringLiteral("10DE")}));
    QVERIFY(!Form4->ADOConnection1->isOpen());
    QVERIFY(!Form4->ADOQuery1->isOpen());
    QCOMPARE(Form4->DBGrid1->model()->rowCount(), 0);
    QCOMPARE(Form4->sLabel3->text(), QStringLiteral("0"));

    // The next search tries again.
    WriteDevices(catalogue(), kDevices);
    search(QStringLiteral("10DE"));
    QVERIFY(Form4->ADOConnection1->isOpen());
    QCOMPARE(codesShown(Form4->DBGrid1->model()), QStringList{QStringLiteral("1")});
    QCOMPARE(Form4->sLabel3->text(), QStringLiteral("1"));
}

void DevicesWindowTest::catalogueHeldByAnotherProcess() {
    WriteDevices(catalogue(), kDevices);
    QProcess holder;
    holder.setWorkingDirectory(folder_->path());
    holder.start(QStringLiteral(CATALOGUE_HOLDER), {});
    QVERIFY(holder.waitForReadyRead());
    QCOMPARE(holder.readLine().trimmed(), QByteArray("held"));

    // Readers are not kept out.
    QCOMPARE(StoredDevices(catalogue()).size(), kDevices.size());
    QProcess reader;
    reader.setWorkingDirectory(folder_->path());
#if defined(Q_OS_WIN)
    // There the reading program is the catalogue builder's export, which
    // reads through the engine alone as any such tool does.
    reader.start(QDir(BuildDir()).filePath(QStringLiteral("quarrow-catalogue")),
                 {QStringLiteral("export"), QStringLiteral("dev.mdb"), QStringLiteral("--password"),
                  QStringLiteral("kavrel")});
    QVERIFY(reader.waitForFinished());
    const QByteArray table = reader.readAllStandardOutput().trimmed();
    QCOMPARE(table.count('\n'), kDevices.size());  // the rows below the header line
#else
    const QString cli = QStandardPaths::findExecutable(QStringLiteral("sqlite3"));
    QVERIFY2(!cli.isEmpty(), "sqlite3 is installed by scripts/setup.sh");
    reader.start(cli, {QStringLiteral("-readonly"), QStringLiteral("dev.mdb"),
                       QStringLiteral("SELECT count(*) FROM device")});
    QVERIFY(reader.waitForFinished());
    QCOMPARE(reader.readAllStandardOutput().trimmed(), QByteArray::number(kDevices.size()));
#endif

    createWindow();
    Form4->CheckBox1->setChecked(true);
    const auto seen = AnswerNextDialog(QStringLiteral("OK"));
    search(QStringLiteral("VEN_"));
    QVERIFY(seen->seen);
    QCOMPARE(seen->title, QStringLiteral("Quarrow"));
    QVERIFY2(seen->text.contains(QStringLiteral("'dev.mdb' is already in use by another program")),
             qPrintable(seen->text));
    QCOMPARE(launcher_->targets, QStringList{DeviceLookupUrl() + QStringLiteral("VEN_")});
    QCOMPARE(Form4->DBGrid1->model()->rowCount(), 0);
    QCOMPARE(Form4->sLabel3->text(), QStringLiteral("0"));

    holder.closeWriteChannel();
    QVERIFY(holder.waitForFinished());
    QCOMPARE(holder.exitCode(), 0);
    search(QStringLiteral("VEN_"));
    QCOMPARE(codesShown(Form4->DBGrid1->model()),
             (QStringList{QStringLiteral("1"), QStringLiteral("2")}));
    QCOMPARE(Form4->sLabel3->text(), QStringLiteral("2"));

    // Now the window keeps other writers out.
    QProcess second;
    second.setWorkingDirectory(folder_->path());
    second.start(QStringLiteral(CATALOGUE_HOLDER), {});
    QVERIFY(second.waitForFinished());
    QCOMPARE(second.exitCode(), 2);
    QVERIFY(second.readAllStandardOutput().startsWith("refused: "));
}

void DevicesWindowTest::closingAndReopeningKeepsState() {
    WriteDevices(catalogue(), kDevices);
    Form4 = new TForm4;

    struct Seen {
        QPoint place;
        QWidget* focus = nullptr;
    };
    Seen first;
    QTimer::singleShot(0, Form4, [&first] {
        if (QTest::qWaitForWindowActive(Form4)) {
            first.place = Form4->pos();
            first.focus = QApplication::focusWidget();
            Form4->CheckBox1->setChecked(true);
            Form4->Edit1->setText(QStringLiteral("VEN_"));
            QTest::mouseClick(Form4->Button2, Qt::LeftButton);
            QTest::keyClick(Form4->DBGrid1, Qt::Key_Down);
            Form4->move(400, 210);
            Form4->CheckBox2->setFocus();
        }
        Form4->close();
    });
    ShowModal(Form4);
    QVERIFY(!Form4->isVisible());
    QCOMPARE(first.place, QPoint(311, 125));
    QCOMPARE(first.focus, static_cast<QWidget*>(Form4->Edit1));

    Seen second;
    QTimer::singleShot(0, Form4, [&second] {
        if (QTest::qWaitForWindowActive(Form4)) {
            second.place = Form4->pos();
            second.focus = QApplication::focusWidget();
        }
        Form4->close();
    });
    ShowModal(Form4);
    QCOMPARE(second.place, QPoint(400, 210));
    QCOMPARE(second.focus, static_cast<QWidget*>(Form4->CheckBox2));
    QCOMPARE(Form4->Edit1->text(), QStringLiteral("VEN_"));
    QVERIFY(Form4->CheckBox1->isChecked());
    QVERIFY(!Form4->CheckBox2->isChecked());
    QCOMPARE(codesShown(Form4->DBGrid1->model()),
             (QStringList{QStringLiteral("1"), QStringLiteral("2")}));
    QCOMPARE(Form4->ADOQuery1->currentRow(), 1);
    QCOMPARE(Form4->sLabel3->text(), QStringLiteral("2"));
    QCOMPARE(launcher_->targets, QStringList{DeviceLookupUrl() + QStringLiteral("VEN_")});
    QVERIFY(Form4->ADOConnection1->isOpen());
}

void DevicesWindowTest::longComparisonInOneRowIsBounded() {
    // Every place of each text begins the typed text, which differs only at
    // its end and, with "_" in it, is tried at each place in turn: millions
    // of characters compared in each row, while the engine takes a few
    // steps. The texts hold every three characters typed, so the index
    // cannot leave them out.
    const QString unit = QStringLiteral("ab");
    QStringList devices;
    for (int k = 1; k <= 3; ++k) {
        devices.append(QStringLiteral("%1|").arg(k) + unit + u'c' + unit.repeated(10'000));
    }
    WriteDevices(catalogue(), devices);
    const QString typed = unit.repeated(2'500) + QStringLiteral("_c");
    createWindow();
    // Opened by a first search, so that the bound can be set on it.
    search(QStringLiteral("c"));
    QCOMPARE(Form4->sLabel3->text(), QStringLiteral("3"));
    Form4->ADOConnection1->setWorkLimit(20'000'000);
    std::optional<Qt::CursorShape> during;
    // Slow from the first look at the work done.
    Form4->ADOConnection1->setSlowWorkHandler(
        [&during] {
            ShowBusyCursor();
            if (QGuiApplication::overrideCursor() != nullptr) {
                during = QGuiApplication::overrideCursor()->shape();
            }
        },
        0);

    const auto seen = AnswerNextDialog(QStringLiteral("OK"));
    search(typed);
    QVERIFY(seen->seen);
    QCOMPARE(seen->text,
             QStringLiteral("The statement was stopped: it took far more work than reading any "
                            "catalogue needs, so the file cannot be what it seems."));
    QCOMPARE(during, std::optional<Qt::CursorShape>(Qt::WaitCursor));
    QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
    QCOMPARE(Form4->sLabel3->text(), QStringLiteral("3"));

    Form4->ADOConnection1->setWorkLimit(Connection::kDefaultWorkLimit);
    search(typed);
    QCOMPARE(Form4->sLabel3->text(), QStringLiteral("0"));
    search(unit.repeated(2'500));
    QCOMPARE(Form4->sLabel3->text(), QStringLiteral("3"));
}

void DevicesWindowTest::closingTheProgramWritesTheChangedRow_data() {
    QTest::addColumn<bool>("escape");
    QTest::addColumn<bool>("allAtOnce");
    QTest::newRow("Enter; this window, then the main one") << false << false;
    QTest::newRow("Enter; every window, as the session ends") << false << true;
    QTest::newRow("Enter, Esc; this window, then the main one") << true << false;
}

void DevicesWindowTest::closingTheProgramWritesTheChangedRow() {
    QFETCH(bool, escape);
    QFETCH(bool, allAtOnce);
    WriteDevices(catalogue(), kDevices);
    WriteDriverCatalogue(folder_->filePath(QStringLiteral("vek.mdb")), QStringLiteral("kavrel"),
                         {DriverCatalogueColumns(), {}});
    const QString typed = QStringLiteral("PCI\\VEN_8086&DEV_24C2 Intel 82801DB USB");
    QStringList expected = StoredDevices(catalogue());
    if (!escape) expected[1] = QStringLiteral("2|") + typed;
    ShownDialogs dialogs(true);
    bool typedShown = false;
    const int exitCode = RunQuarrow([&] {
        CreateWindowSet();
        QTimer::singleShot(0, Form1, [&] {
            WhenShownModally(Form4, [&] {
                search(QStringLiteral("Intel"));
                QTest::keyClick(Form4->DBGrid1, Qt::Key_Right);
                QTest::keyClick(Form4->DBGrid1, Qt::Key_F2);
                auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
                if (editor == nullptr) {
                    Form4->hide();
                    return;
                }
                editor->selectAll();
                QTest::keyClicks(editor, typed);
                QTest::keyClick(editor, Qt::Key_Return);
                QCoreApplication::processEvents();
                typedShown = Form4->DBGrid1->model()->index(0, 1).data().toString() == typed;
                if (escape) QTest::keyClick(Form4->DBGrid1, Qt::Key_Escape);
                if (allAtOnce) {
                    QApplication::closeAllWindows();
                } else {
                    Form4->close();
                }
            });
            QTest::mouseClick(Form1->Button8, Qt::LeftButton);
            if (!allAtOnce) Form1->close();
        });
    });
    QCOMPARE(exitCode, 0);
    QVERIFY(typedShown);
    QCOMPARE(dialogs.dialogs.size(), 0);
    QCOMPARE(StoredDevices(catalogue()), expected);
}

QUARROW_TEST_MAIN(DevicesWindowTest)
#include "tst_devices_window.moc"
