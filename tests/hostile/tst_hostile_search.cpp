#include "CatalogueWriter.h"
#include "ReferenceLike.h"
#include "TestSupport.h"
#include "db/Query.h"
#include "devices/TForm4.h"
#include "mainwindow/TForm1.h"
#include "stores/DriverCatalogue.h"

#include <sqlite3.h>
#include <QCryptographicHash>
#include <QFile>
#include <QRandomGenerator>
#include <QtTest>

using namespace quarrow;
using namespace quarrow::test;

namespace {

// Names that hostile text could meet half-way: quotes, statement and comment
// marks, wildcards, control characters, mixed scripts and letter case.
const QStringList kNames{
    QStringLiteral("NVIDIA GeForce 7300 GT"),
    QStringLiteral("geforce 7300 gt (ноутбук)"),
    QStringLiteral("O'Brien's \"Turbo\" Card"),
    QStringLiteral("x' OR '1'='1"),
    QStringLiteral("'; DROP TABLE table_1; --"),
    QStringLiteral("/* comment */ driver"),
    QStringLiteral("100% compatible_driver"),
    QStringLiteral("ВИДЕОКАРТА Радеон"),
    QStringLiteral("видеокарта радеон"),
    QStringLiteral("Ёлка и Елка"),
    QStringLiteral("tab\there"),
    QStringLiteral("no\u00a0break space"),
    QStringLiteral("\u200fright-to-left \u202emark"),
    QStringLiteral("emoji \U0001F600 driver"),
    QStringLiteral("semi;colon;separated"),
    QStringLiteral("back\\slash"),
    QStringLiteral(""),
    QString(),
};

const QStringList kPieces{
    QStringLiteral("'"),
    QStringLiteral("''"),
    QStringLiteral("\""),
    QStringLiteral(";"),
    QStringLiteral("--"),
    QStringLiteral("/*"),
    QStringLiteral("*/"),
    QStringLiteral("%"),
    QStringLiteral("_"),
    QStringLiteral("\\"),
    QString(QChar(0)),
    QStringLiteral("\x01"),
    QStringLiteral("\x1f"),
    QStringLiteral("\t"),
    QStringLiteral("\r\n"),
    QStringLiteral(" "),
    QStringLiteral("DROP TABLE table_1"),
    QStringLiteral(" OR 1=1"),
    QStringLiteral("' OR '1'='1"),
    QStringLiteral("\u200f"),
    QStringLiteral("\u202e"),
    QString(QChar(0xD800)),
    QString(QChar(0xDC00)),
    QStringLiteral("\u00a0"),
    QStringLiteral("в"),
    QStringLiteral("Д"),
    QStringLiteral("ё"),
    QStringLiteral("Ё"),
    QStringLiteral("gt"),
    QStringLiteral("7300"),
    QStringLiteral("\U0001F600"),
    QStringLiteral("secret"),
    QStringLiteral("?1"),
    QStringLiteral("\"table_1_trigram\""),
    QStringLiteral("MATCH"),
    QStringLiteral("*"),
};

QString hostileText(QRandomGenerator& random) {
    QString text;
    if (random.bounded(3) == 0) {
        // A piece of a stored name, so that many texts find something.
        const QString& name = kNames[random.bounded(int(kNames.size()))];
        const int from = name.isEmpty() ? 0 : random.bounded(int(name.size()));
        text = name.mid(from, 1 + random.bounded(8));
    }
    const int pieces = random.bounded(6);
    for (int k = 0; k < pieces; ++k) {
        const QString& piece = kPieces[random.bounded(int(kPieces.size()))];
        if (random.bounded(2) == 0) {
            text.prepend(piece);
        } else {
            text.append(piece);
        }
    }
    return text;
}

QByteArray checksum(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256);
}

// A table of another program's in the same file: nothing typed may reach it.
void addCanaryTable(const QString& path) {
    sqlite3* db = nullptr;
    sqlite3_open(path.toUtf8().constData(), &db);
    sqlite3_exec(db, "CREATE TABLE secrets(value TEXT); INSERT INTO secrets VALUES('secret');",
                 nullptr, nullptr, nullptr);
    sqlite3_close(db);
}

int textCount() {
    bool ok = false;
    const int configured = qEnvironmentVariableIntValue("QUARROW_HOSTILE_TEXTS", &ok);
    return ok && configured > 0 ? configured : 100000;
}

QStringList expectedNames(const QString& text) {
    QStringList names;
    const QString pattern = u'%' + text + u'%';
    for (const QString& name : kNames) {
        if (!name.isNull() && ReferenceLike(pattern, name)) names.append(name);
    }
    return names;
}

QStringList shownNames(const Query* query, const QString& field) {
    QStringList names;
    const int column = query->fieldIndex(field);
    for (int r = 0; r < query->rowCount(); ++r) names.append(query->value(r, column));
    return names;
}

}  // namespace

class HostileSearchTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void referenceAgreesWithKnownCases();
    void hostileTextsSearchLiterallyInBothWindows();

private:
    std::unique_ptr<TemporaryCurrentFolder> folder_;
};

void HostileSearchTest::initTestCase() {
    folder_ = std::make_unique<TemporaryCurrentFolder>();
    const QStringList columns{QStringLiteral("Наименование"), QStringLiteral("Устройство"),
                              QStringLiteral("os"),           QStringLiteral("Размер"),
                              QStringLiteral("Версия"),       QStringLiteral("url"),
                              QStringLiteral("URLdr"),        QStringLiteral("ver")};
    CatalogueTable drivers{columns, {}};
    CatalogueTable devices{{QStringLiteral("Код"), QStringLiteral("device")}, {}};
    for (int k = 0; k < kNames.size(); ++k) {
        drivers.rows.append({kNames[k], QStringLiteral("Видеокарта"), QStringLiteral("XP"),
                             QStringLiteral("1"), QStringLiteral("1"), QStringLiteral("a"),
                             QStringLiteral("http://a"), QStringLiteral("1")});
        devices.rows.append({QString::number(k + 1), kNames[k]});
    }
    WriteDriverCatalogue(folder_->filePath(QStringLiteral("vek.mdb")), QStringLiteral("kavrel"),
                         drivers);
    WriteDeviceCatalogue(folder_->filePath(QStringLiteral("dev.mdb")), QStringLiteral("kavrel"),
                         devices);
    addCanaryTable(folder_->filePath(QStringLiteral("vek.mdb")));
    addCanaryTable(folder_->filePath(QStringLiteral("dev.mdb")));
    Form1 = new TForm1;
    Form4 = new TForm4;
    Form4->makeContents();  // searched without being shown
    Form1->show();
}

void HostileSearchTest::cleanupTestCase() {
    delete Form4;
    Form4 = nullptr;
    delete Form1;
    Form1 = nullptr;
    folder_.reset();
}

void HostileSearchTest::referenceAgreesWithKnownCases() {
    QVERIFY(ReferenceLike(QStringLiteral("%7300 gt%"), QStringLiteral("GeForce 7300 GT")));
    QVERIFY(ReferenceLike(QStringLiteral("%видео%"), QStringLiteral("ВИДЕОКАРТА")));
    QVERIFY(!ReferenceLike(QStringLiteral("%ё%"), QStringLiteral("Е")));
    QVERIFY(ReferenceLike(QStringLiteral("a_c"), QStringLiteral("aжc")));
    QVERIFY(!ReferenceLike(QStringLiteral("a_c"), QStringLiteral("ac")));
    QVERIFY(ReferenceLike(QStringLiteral("%'%"), QStringLiteral("O'Brien")));
    QVERIFY(ReferenceLike(QStringLiteral("%%"), QString()));
}

void HostileSearchTest::hostileTextsSearchLiterallyInBothWindows() {
    const QString vek = folder_->filePath(QStringLiteral("vek.mdb"));
    const QString dev = folder_->filePath(QStringLiteral("dev.mdb"));
    const QByteArray vekBefore = checksum(vek);
    const QByteArray devBefore = checksum(dev);
    ShownDialogs dialogs(/*closeEach=*/true);

    QRandomGenerator random(7);
    QStringList texts;
    const int count = textCount();
    while (texts.size() < count) {
        const QString text = hostileText(random);
        // An empty box is the search's own warning path, tested elsewhere.
        if (!text.isEmpty()) texts.append(text);
    }
    // Pasted pages of text, a megabyte each.
    for (const QString& seed :
         {QStringLiteral("'\"; --%_"), QStringLiteral("ж\u200f'"), QStringLiteral("7300 GT")}) {
        QString huge;
        while (huge.size() < (1 << 20)) huge += seed;
        texts.append(huge);
    }

    int searched = 0;
    int withMatches = 0;
    for (const QString& text : texts) {
        Form1->Edit1->setText(text);
        Form1->Button2->click();
        const QString searchedText = Form1->Edit1->text();
        QCOMPARE(searchedText, TrimControlCharacters(text));
        const QStringList expected = expectedNames(searchedText);
        const QStringList shown = shownNames(Form1->ADOQuery1, QStringLiteral("Наименование"));
        if (shown != expected || Form1->sLabel3->text() != QString::number(expected.size())) {
            QFAIL(qPrintable(
                QStringLiteral("main window, text %1: shown %2, expected %3")
                    .arg(QString::fromLatin1(text.left(200).toUtf8().toPercentEncoding()))
                    .arg(shown.size())
                    .arg(expected.size())));
        }

        Form4->Edit1->setText(text);
        Form4->Button2->click();
        const QStringList deviceExpected = expectedNames(text);
        const QStringList deviceShown = shownNames(Form4->ADOQuery1, QStringLiteral("device"));
        if (deviceShown != deviceExpected ||
            Form4->sLabel3->text() != QString::number(deviceExpected.size())) {
            QFAIL(qPrintable(
                QStringLiteral("device window, text %1: shown %2, expected %3")
                    .arg(QString::fromLatin1(text.left(200).toUtf8().toPercentEncoding()))
                    .arg(deviceShown.size())
                    .arg(deviceExpected.size())));
        }
        if (!expected.isEmpty()) ++withMatches;
        ++searched;
        if (!dialogs.dialogs.isEmpty()) {
            QFAIL(qPrintable(
                QStringLiteral("a dialog came up: %1").arg(dialogs.dialogs.first().text)));
        }
    }
    qInfo("hostile texts searched in both windows: %d (%d with matches)", searched, withMatches);
    QVERIFY(withMatches > searched / 10);

    delete Form4;  // closes the device catalogue, so the files can be compared whole
    Form4 = nullptr;
    delete Form1;
    Form1 = nullptr;
    QCOMPARE(checksum(vek), vekBefore);
    QCOMPARE(checksum(dev), devBefore);
    QVERIFY(!QFile::exists(vek + QStringLiteral("-journal")));
    QVERIFY(!QFile::exists(dev + QStringLiteral("-journal")));
}

QUARROW_TEST_MAIN(HostileSearchTest)
#include "tst_hostile_search.moc"
