#include "CatalogueWriter.h"
#include "JetFixtures.h"
#include "ModalWindow.h"
#include "TestSupport.h"
#include "about/TForm2.h"
#include "db/Connection.h"
#include "db/Query.h"
#include "devices/DeviceListModel.h"
#include "devices/TForm4.h"
#include "devices/TForm5.h"
#include "forms/ShowModal.h"
#include "hardware/HardwareDevice.h"
#include "mainwindow/TForm1.h"
#include "program/Startup.h"
#include "stores/JetCatalogueConversion.h"
#include "widgets/DBGrid.h"

#include <QDialog>
#include <QDir>
#include <QPushButton>
#include <QtTest>

using namespace quarrow;
using namespace quarrow::test;

namespace {

const QString kNoticeStart = QStringLiteral(
    "Каталог %1 был базой данных Access (Jet) и переведён в "
    "формат Quarrow; исходный файл сохранён как %2");

// Records the text of every dialog that shows while it lives and closes it
// at once, but for the conversion's progress dialog, which it notes and, if
// asked to, cancels.
class Dialogs : public QObject {
public:
    explicit Dialogs(bool cancelProgress = false) : cancelProgress_(cancelProgress) {
        qApp->installEventFilter(this);
    }
    ~Dialogs() override { qApp->removeEventFilter(this); }

    QStringList texts;
    bool progressShown = false;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        auto* dialog = qobject_cast<QDialog*>(watched);
        if (event->type() != QEvent::Show || dialog == nullptr || !dialog->isWindow()) {
            return false;
        }
        if (dialog->objectName() == u"ConversionProgress") {
            progressShown = true;
            if (cancelProgress_) {
                QMetaObject::invokeMethod(
                    dialog,
                    [dialog] {
                        if (auto* cancel = dialog->findChild<QPushButton*>()) cancel->click();
                    },
                    Qt::QueuedConnection);
            }
            return false;
        }
        texts.append(Describe(dialog).text);
        QMetaObject::invokeMethod(dialog, &QDialog::reject, Qt::QueuedConnection);
        return false;
    }

private:
    bool cancelProgress_;
};

// The path the program names a file of the current folder by.
QString inCurrentFolder(const QString& name) {
    return QDir::toNativeSeparators(QDir::cleanPath(QDir::current().absoluteFilePath(name)));
}

QString notice(const QString& catalogue, const QString& kept) {
    return kNoticeStart.arg(catalogue, inCurrentFolder(kept));
}

// Every row of a query's result, absent values as the empty text they read as.
QList<QStringList> resultRows(const Query& query) {
    QList<QStringList> rows;
    for (int row = 0; row < query.rowCount(); ++row) {
        QStringList values;
        for (int column = 0; column < query.fieldNames().size(); ++column) {
            values.append(query.value(row, column));
        }
        rows.append(values);
    }
    std::sort(rows.begin(), rows.end());
    return rows;
}

// The rows of a fixture's table whose `column` holds `text`, absent values
// as empty text.
QList<QStringList> fixtureRows(const QString& tsv, int column, const QString& text) {
    QList<QStringList> rows;
    for (QStringList row : JetFixtureTable(tsv).rows) {
        if (row[column].isNull() || !row[column].contains(text, Qt::CaseInsensitive)) continue;
        for (QString& value : row) {
            if (value.isNull()) value = QStringLiteral("");
        }
        rows.append(row);
    }
    std::sort(rows.begin(), rows.end());
    return rows;
}

}  // namespace

class JetWindowsTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void mainWindowConvertsAtStartUp();
    void everyRowOfTheCatalogueIsShown();
    void deletedRowStaysDeletedAfterARestart();
    void valuesShowInTheirTextForms_data();
    void valuesShowInTheirTextForms();
    void aboutConvertsWhenShown();
    void unknownDeviceWindowConvertsAtItsSearch();
    void deviceListConvertsWhenShown();
    void refusedFilesAreReportedAndLeftAlone_data();
    void refusedFilesAreReportedAndLeftAlone();
    void faultyReaderLeavesEveryFile_data();
    void faultyReaderLeavesEveryFile();
    void cancelLeavesTheFolderAsItWas();
    void keptOriginalNeverReplacesAFile();

private:
    void copyIn(const QString& fixture, const QString& name = QStringLiteral("vek.mdb"));
    void createWindows();
    void search(const QString& text);
    QString showAboutVersion();

    std::unique_ptr<TemporaryCurrentFolder> folder_;
    std::unique_ptr<RecordingLauncher> launcher_;
};

void JetWindowsTest::initTestCase() { SetCatalogueConverterPath(BuiltCatalogueTool()); }

void JetWindowsTest::init() {
    folder_ = std::make_unique<TemporaryCurrentFolder>();
    launcher_ = std::make_unique<RecordingLauncher>();
}

void JetWindowsTest::cleanup() {
    DestroyWindowSet();
    SetCatalogueConverterPath(BuiltCatalogueTool());
    SetConverterSilenceLimitMs(120'000);
    qunsetenv("QUARROW_STAND_IN");
    launcher_.reset();
    folder_.reset();
}

void JetWindowsTest::copyIn(const QString& fixture, const QString& name) {
    CopyJetFixture(fixture, folder_->path(), name);
}

void JetWindowsTest::createWindows() {
    CreateWindowSet();
    QVERIFY(QTest::qWaitForWindowExposed(Form1));
}

void JetWindowsTest::search(const QString& text) {
    Form1->Edit1->setText(text);
    QTest::mouseClick(Form1->Button2, Qt::LeftButton);
}

QString JetWindowsTest::showAboutVersion() {
    QString version;
    WhenShownModally(Form2, [&] {
        version = Form2->DBEdit1->text();
        QTest::mouseClick(Form2->sButton1, Qt::LeftButton);
    });
    QTest::mouseClick(Form1->Button3, Qt::LeftButton);
    return version;
}

void JetWindowsTest::mainWindowConvertsAtStartUp() {
    copyIn(QStringLiteral("vek-jet4.mdb"));
    Dialogs dialogs;
    createWindows();
    QCOMPARE(dialogs.texts, QStringList());
    QCOMPARE(Form1->sEdit1->text(),
             notice(QStringLiteral("vek.mdb"), QStringLiteral("vek.mdb.jet")));
    QVERIFY(Form1->ADOConnection1->isOpen());
    const QMap<QString, QByteArray> files = FolderContents(folder_->path());
    QCOMPARE(files.keys(), (QStringList{QStringLiteral("vek.mdb"), QStringLiteral("vek.mdb.jet")}));
    QVERIFY(files.value(QStringLiteral("vek.mdb.jet")) ==
            JetFixtureBytes(QStringLiteral("vek-jet4.mdb")));
    QVERIFY(files.value(QStringLiteral("vek.mdb")).startsWith("SQLite format 3"));

    search(QStringLiteral("7300 GT"));
    const QList<QStringList> expected =
        fixtureRows(QStringLiteral("vek-jet4.tsv"), 0, QStringLiteral("7300 GT"));
    QVERIFY(expected.size() > 1);
    QCOMPARE(resultRows(*Form1->ADOQuery1), expected);
    QCOMPARE(Form1->sLabel3->text(), QString::number(expected.size()));
    QCOMPARE(showAboutVersion(), QStringLiteral("2011.05"));
    QCOMPARE(dialogs.texts, QStringList());
}

void JetWindowsTest::everyRowOfTheCatalogueIsShown() {
    copyIn(QStringLiteral("vek-jet4.mdb"));
    createWindows();
    // Blanks trim to nothing: every row with a name is found, the rows
    // beyond the basic plane and in CJK among them.
    search(QStringLiteral(" "));
    const QList<QStringList> expected = fixtureRows(QStringLiteral("vek-jet4.tsv"), 0, QString());
    QCOMPARE(expected.size(), 2010);
    QCOMPARE(resultRows(*Form1->ADOQuery1), expected);
    search(QStringLiteral("🙂"));
    QCOMPARE(Form1->sLabel3->text(), QStringLiteral("1"));
    QCOMPARE(Form1->DBEdit2->text(), QStringLiteral("Emoji 🙂 and CJK 漢字 name"));
}

void JetWindowsTest::deletedRowStaysDeletedAfterARestart() {
    copyIn(QStringLiteral("vek-jet4.mdb"));
    createWindows();
    search(QStringLiteral("7300 GT"));
    const int found = Form1->ADOQuery1->rowCount();
    const QString deletedUrl = Form1->DBEdit1->text();
    auto confirm = AnswerNextDialog(QStringLiteral("OK"));
    QTest::keyClick(Form1->DBGrid1, Qt::Key_Delete, Qt::ControlModifier);
    QTRY_VERIFY(confirm->seen);
    QCOMPARE(confirm->text, QStringLiteral("Delete record?"));
    QCOMPARE(Form1->ADOQuery1->rowCount(), found - 1);

    // The window set again, as at the next start: nothing left to convert.
    DestroyWindowSet();
    Dialogs dialogs;
    createWindows();
    QVERIFY(!Form1->sEdit1->text().startsWith(QStringLiteral("Каталог")));
    QCOMPARE(FolderContents(folder_->path()).keys(),
             (QStringList{QStringLiteral("vek.mdb"), QStringLiteral("vek.mdb.jet")}));
    search(QStringLiteral("7300 GT"));
    QCOMPARE(Form1->sLabel3->text(), QString::number(found - 1));
    for (int row = 0; row < Form1->ADOQuery1->rowCount(); ++row) {
        QVERIFY(Form1->ADOQuery1->value(row, 5) != deletedUrl);
    }
    QCOMPARE(dialogs.texts, QStringList());
}

void JetWindowsTest::valuesShowInTheirTextForms_data() {
    // Whose name the search finds, and every value of its row as text; an
    // absent value is a null QString (the grid shows it as empty text).
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("values");
    const QString absent;
    const QString empty = QStringLiteral("");
    // Наименование, Устройство, os, Размер (Long Integer), Версия (Double),
    // url, URLdr, ver (Date/Time), Проверен (Yes/No), Цена (Currency).
    QTest::newRow("numbers, a date at midnight, Yes")
        << "NVIDIA GeForce 7300 GT"
        << QStringList{QStringLiteral("NVIDIA GeForce 7300 GT"),
                       QStringLiteral("Видеокарта"),
                       QStringLiteral("Windows XP"),
                       QStringLiteral("85123"),
                       QStringLiteral("93,71"),
                       QStringLiteral("drivers.example.org/nv/7300gt.exe"),
                       QStringLiteral("http://drivers.example.org/fast/7300gt.exe"),
                       QStringLiteral("17.05.2011"),
                       QStringLiteral("True"),
                       QStringLiteral("0")};
    QTest::newRow("absent values, a date with its time, No")
        << "Realtek RTL8111E"
        << QStringList{QStringLiteral("Realtek RTL8111E"),
                       QStringLiteral("Сетевая карта"),
                       absent,
                       absent,
                       QStringLiteral("7,048"),
                       QStringLiteral("drivers.example.org/rt/8111.zip"),
                       absent,
                       QStringLiteral("17.05.2011 13:45:10"),
                       QStringLiteral("False"),
                       absent};
    QTest::newRow("empty text, zeros, money") << "Intel 82540EM"
                                              << QStringList{QStringLiteral("Intel 82540EM"),
                                                             absent,
                                                             empty,
                                                             QStringLiteral("0"),
                                                             QStringLiteral("0"),
                                                             empty,
                                                             empty,
                                                             absent,
                                                             QStringLiteral("False"),
                                                             QStringLiteral("12,5")};
}

void JetWindowsTest::valuesShowInTheirTextForms() {
    QFETCH(QString, name);
    QFETCH(QStringList, values);
    copyIn(QStringLiteral("vek-jet4-types.mdb"));
    createWindows();
    search(name);
    QCOMPARE(Form1->ADOQuery1->rowCount(), 1);
    const QStringList columns = Form1->ADOQuery1->fieldNames();
    QCOMPARE(columns.size(), values.size());
    for (int c = 0; c < columns.size(); ++c) {
        // An absent value reads as empty text.
        QCOMPARE(Form1->ADOQuery1->fieldByName(columns[c]), values[c]);
    }
    // Absent values stay absent in the file.
    const CatalogueTable stored =
        ReadCatalogueTable(folder_->filePath(QStringLiteral("vek.mdb")), QStringLiteral("table_1"));
    const auto row = std::find_if(stored.rows.begin(), stored.rows.end(),
                                  [&](const QStringList& r) { return r[0] == name; });
    QVERIFY(row != stored.rows.end());
    const QString difference = TableDifference({columns, {values}}, {stored.columns, {*row}});
    QVERIFY2(difference.isEmpty(), qPrintable(difference));
}

void JetWindowsTest::aboutConvertsWhenShown() {
    // The main window finds no catalogue at start-up; one is copied in
    // before About is shown.
    Dialogs dialogs;
    createWindows();
    QCOMPARE(dialogs.texts.size(), 1);
    copyIn(QStringLiteral("vek-jet4.mdb"));
    QCOMPARE(showAboutVersion(), QStringLiteral("2011.05"));
    QCOMPARE(dialogs.texts.size(), 2);
    QCOMPARE(dialogs.texts.last(),
             notice(QStringLiteral("vek.mdb"), QStringLiteral("vek.mdb.jet")));
    QVERIFY(FolderContents(folder_->path()).value(QStringLiteral("vek.mdb.jet")) ==
            JetFixtureBytes(QStringLiteral("vek-jet4.mdb")));
}

void JetWindowsTest::unknownDeviceWindowConvertsAtItsSearch() {
    WriteDriverCatalogue(folder_->filePath(QStringLiteral("vek.mdb")), QStringLiteral("kavrel"),
                         {DriverCatalogueColumns(), {}});
    copyIn(QStringLiteral("dev-jet4.mdb"), QStringLiteral("dev.mdb"));
    createWindows();
    Form4->makeContents();
    Dialogs dialogs;
    Form4->Edit1->setText(QStringLiteral("%"));
    Form4->Button2->click();
    QCOMPARE(dialogs.texts,
             QStringList{notice(QStringLiteral("dev.mdb"), QStringLiteral("dev.mdb.jet"))});
    QVERIFY(FolderContents(folder_->path()).value(QStringLiteral("dev.mdb.jet")) ==
            JetFixtureBytes(QStringLiteral("dev-jet4.mdb")));
    QCOMPARE(resultRows(*Form4->ADOQuery1),
             fixtureRows(QStringLiteral("dev-jet4.tsv"), 1, QString()));
    QCOMPARE(Form4->sLabel3->text(), QStringLiteral("528"));
}

void JetWindowsTest::deviceListConvertsWhenShown() {
    WriteDriverCatalogue(folder_->filePath(QStringLiteral("vek.mdb")), QStringLiteral("kavrel"),
                         {DriverCatalogueColumns(), {}});
    copyIn(QStringLiteral("dev-jet4.mdb"), QStringLiteral("dev.mdb"));
    createWindows();
    // A device that the catalogue's first row names.
    Form5->setDeviceReader([] {
        HardwareScan scan;
        HardwareDevice device;
        device.vendor = 0x0795;
        device.device = 0x6663;
        device.location = QStringLiteral("0000:00:01.0");
        scan.devices.append(device);
        return scan;
    });
    Dialogs dialogs;
    QString name;
    WhenShownModally(Form5, [&] {
        name = Form5->Grid1Model->index(0, DeviceListModel::NameColumn).data().toString();
        Form5->close();
    });
    ShowModal(Form5);
    QCOMPARE(dialogs.texts,
             QStringList{notice(QStringLiteral("dev.mdb"), QStringLiteral("dev.mdb.jet"))});
    QCOMPARE(name, QStringLiteral("Wired Inc. Butane II (MPEG2 encoder board)"));
}

void JetWindowsTest::refusedFilesAreReportedAndLeftAlone_data() {
    QTest::addColumn<QString>("fixture");
    QTest::addColumn<QString>("reason");  // empty: the password's message alone
    QTest::newRow("another password") << "vek-jet4-otherpassword.mdb" << QString();
    QTest::newRow("no table_1") << "vek-jet4-notable.mdb"
                                << "it holds no table 'table_1'";
    for (const QString& file : QDir(JetFixture(QStringLiteral("access-written")))
                                   .entryList({QStringLiteral("*.mdb")}, QDir::Files)) {
        QTest::newRow(qPrintable(file))
            << QStringLiteral("access-written/") + file << "it holds no table 'table_1'";
    }
}

void JetWindowsTest::refusedFilesAreReportedAndLeftAlone() {
    QFETCH(QString, fixture);
    QFETCH(QString, reason);
    copyIn(fixture);
    const QMap<QString, QByteArray> before = FolderContents(folder_->path());
    const QString message = reason.isEmpty()
                                ? QStringLiteral("Not a valid password.")
                                : QStringLiteral("Cannot convert '%1' from the Jet format: %2")
                                      .arg(inCurrentFolder(QStringLiteral("vek.mdb")), reason);
    Dialogs dialogs;
    createWindows();
    QCOMPARE(dialogs.texts, QStringList{message});
    QVERIFY(!Form1->ADOConnection1->isOpen());
    QVERIFY(FolderContents(folder_->path()) == before);
    // Each search tries again, and ends the same way.
    search(QStringLiteral("7300 GT"));
    QCOMPARE(dialogs.texts, (QStringList{message, message}));
    QVERIFY(FolderContents(folder_->path()) == before);
}

void JetWindowsTest::faultyReaderLeavesEveryFile_data() {
    QTest::addColumn<QString>("how");
    QTest::addColumn<QString>("reason");
    // A reader that aborts crashes on Linux; on Windows it ends with exit
    // code 3. Either way the box says what became of it.
    QTest::newRow("crash") << "crash"
                           << "the Jet reader (crashed|ended with exit code 3)";
    QTest::newRow("crash with part of the output written")
        << "partial"
        << "the Jet reader (crashed|ended with exit code 3)";
    QTest::newRow("no answer") << "silent"
                               << "the Jet reader reported nothing for 2 s and was ended";
}

void JetWindowsTest::faultyReaderLeavesEveryFile() {
    QFETCH(QString, how);
    QFETCH(QString, reason);
    copyIn(QStringLiteral("vek-jet4.mdb"));
    const QMap<QString, QByteArray> before = FolderContents(folder_->path());
    SetCatalogueConverterPath(StandInConverter());
    SetConverterSilenceLimitMs(2000);
    qputenv("QUARROW_STAND_IN", how.toUtf8());
    Dialogs dialogs;
    createWindows();
    QCOMPARE(dialogs.texts.size(), 1);
    const QRegularExpression expected(
        QStringLiteral("^Cannot convert '%1' from the Jet format: %2\\.? The file is left as it "
                       "was\\.$")
            .arg(QRegularExpression::escape(inCurrentFolder(QStringLiteral("vek.mdb"))), reason));
    QVERIFY2(expected.match(dialogs.texts.first()).hasMatch(), qPrintable(dialogs.texts.first()));
    QVERIFY(!Form1->ADOConnection1->isOpen());
    QCOMPARE(FolderContents(folder_->path()).keys(), before.keys());
    QVERIFY(FolderContents(folder_->path()) == before);
}

void JetWindowsTest::cancelLeavesTheFolderAsItWas() {
    copyIn(QStringLiteral("vek-jet4.mdb"));
    const QMap<QString, QByteArray> before = FolderContents(folder_->path());
    SetCatalogueConverterPath(StandInConverter());
    qputenv("QUARROW_STAND_IN", "slow");
    Dialogs dialogs(true);
    createWindows();
    QVERIFY(dialogs.progressShown);
    // Cancelling is the user's own choice: no box follows it.
    QCOMPARE(dialogs.texts, QStringList());
    QVERIFY(!Form1->ADOConnection1->isOpen());
    QCOMPARE(FolderContents(folder_->path()).keys(), before.keys());
    QVERIFY(FolderContents(folder_->path()) == before);
}

void JetWindowsTest::keptOriginalNeverReplacesAFile() {
    copyIn(QStringLiteral("vek-jet4.mdb"));
    QFile taken(folder_->filePath(QStringLiteral("vek.mdb.jet")));
    QVERIFY(taken.open(QIODevice::WriteOnly));
    taken.write("someone else's");
    taken.close();
    Dialogs dialogs;
    createWindows();
    QCOMPARE(dialogs.texts, QStringList());
    QCOMPARE(Form1->sEdit1->text(),
             notice(QStringLiteral("vek.mdb"), QStringLiteral("vek.mdb.jet.1")));
    const QMap<QString, QByteArray> files = FolderContents(folder_->path());
    QCOMPARE(files.keys(), (QStringList{QStringLiteral("vek.mdb"), QStringLiteral("vek.mdb.jet"),
                                        QStringLiteral("vek.mdb.jet.1")}));
    QCOMPARE(files.value(QStringLiteral("vek.mdb.jet")), QByteArray("someone else's"));
    QVERIFY(files.value(QStringLiteral("vek.mdb.jet.1")) ==
            JetFixtureBytes(QStringLiteral("vek-jet4.mdb")));
}

QUARROW_TEST_MAIN(JetWindowsTest)
#include "tst_jet_windows.moc"
