#include "DriverCatalogueFiles.h"
#include "ReferenceLike.h"
#include "SampleCatalogue.h"
#include "SearchConnection.h"
#include "TestSupport.h"
#include "stores/DriverCatalogue.h"

#include <QFile>
#include <QtTest>

using namespace quarrow;
using namespace quarrow::test;

namespace {

// Names that the sample, taken from pci.ids, does not have: Cyrillic in both
// letter cases, and ё beside е.
const char16_t* const kCyrillicNames[] = {
    u"Драйвер видеокарты NVIDIA GeForce 7300 GT",
    u"ДРАЙВЕР ЗВУКОВОЙ КАРТЫ Realtek",
    u"Ёмкий пакет драйверов",
    u"ёмкость и Емкость",
    u"Сетевая карта D-Link DGE-528T",
    u"Утилита для ТВ-тюнера AVerMedia",
};

struct Found {
    qint64 count = -1;
    QStringList rows;  // every value of every row, in result order
};

Found search(const QString& connectionString, const QString& text) {
    SearchConnection catalogue(connectionString);
    Found found;
    found.count = catalogue.searchDrivers(text);
    const Query& results = catalogue.results;
    for (int r = 0; r < results.rowCount(); ++r) {
        QStringList values;
        for (int c = 0; c < results.fieldNames().size(); ++c) values.append(results.value(r, c));
        found.rows.append(values.join(u'|'));
    }
    return found;
}

}  // namespace

class TestCatalogueSearch : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void programFindsTheExampleInAnyLetterCase_data();
    void programFindsTheExampleInAnyLetterCase();
    void searchFindsWhatThePlainMatcherFinds_data();
    void searchFindsWhatThePlainMatcherFinds();

private:
    TemporaryCurrentFolder folder_;
    QList<QStringList> written_;  // the catalogue's rows in table order
};

void TestCatalogueSearch::initTestCase() {
    QFile ids(QStringLiteral("/usr/share/misc/pci.ids"));
    QVERIFY2(ids.open(QIODevice::ReadOnly), "the pci.ids package is needed");
    const SampleCatalogue sample(ids.readAll());
    // vek.mdb in the current folder is what the program's connection opens.
    WriteDriverCatalogue(folder_.filePath(QStringLiteral("vek.mdb")), QStringLiteral("kavrel"),
                         SampleCatalogue::columns(), [this, &sample](const RowSink& insert) {
                             const RowSink keep = [this, &insert](const QStringList& row) {
                                 written_.append(row);
                                 insert(row);
                             };
                             sample.generate(20000, 3, keep);
                             for (const char16_t* name : kCyrillicNames) {
                                 keep({QString::fromUtf16(name), QStringLiteral("Другое"),
                                       QStringLiteral("Windows 7"), QStringLiteral("1,0 МБ"),
                                       QStringLiteral("1.0.0.1"), QStringLiteral("www.example.com"),
                                       QString(), SampleCatalogue::version()});
                             }
                         });
}

void TestCatalogueSearch::programFindsTheExampleInAnyLetterCase_data() {
    QTest::addColumn<QString>("text");
    QTest::newRow("as the hint writes it") << QStringLiteral("7300 GT");
    QTest::newRow("lower case") << QStringLiteral("7300 gt");
    QTest::newRow("mixed case") << QStringLiteral("gEfOrCe 7300 Gt");
}

void TestCatalogueSearch::programFindsTheExampleInAnyLetterCase() {
    QFETCH(QString, text);
    const Found found = search(MainCatalogueConnectionString(), text);
    const Found exact = search(MainCatalogueConnectionString(), QStringLiteral("GeForce 7300 GT"));

    QVERIFY(exact.count >= 20);
    QCOMPARE(found.count, qint64(found.rows.size()));
    for (const QString& row : found.rows) {
        QVERIFY2(row.section(u'|', 0, 0).contains(text, Qt::CaseInsensitive), qPrintable(row));
    }
    // The sample's 7300 GT rows all say "GeForce 7300 GT"; one Cyrillic row
    // says it too.
    QCOMPARE(found.count, exact.count);
}

// The texts that the index narrows and those it cannot, on realistic rows:
// every row the plain reference LIKE takes, whole and in table order, and the
// count of them.
void TestCatalogueSearch::searchFindsWhatThePlainMatcherFinds_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("findsSome");
    QTest::newRow("the example") << QStringLiteral("7300 GT") << true;
    QTest::newRow("everything") << QString() << true;
    QTest::newRow("two letters, below the index's trigrams") << QStringLiteral("gt") << true;
    QTest::newRow("word in another case") << QStringLiteral("RADEON hd") << true;
    QTest::newRow("percent inside") << QStringLiteral("GeForce%GT") << true;
    QTest::newRow("underscore") << QStringLiteral("73_0") << true;
    QTest::newRow("no match") << QStringLiteral("no such driver anywhere") << false;
    QTest::newRow("Cyrillic lower case") << QStringLiteral("драйвер") << true;
    QTest::newRow("Cyrillic upper case") << QStringLiteral("ЗВУКОВОЙ карты") << true;
    QTest::newRow("ё is its own letter") << QStringLiteral("ёмк") << true;
    QTest::newRow("Cyrillic and Latin") << QStringLiteral("карта d-link") << true;
    QTest::newRow("apostrophe") << QStringLiteral("O'Neil") << false;
}

void TestCatalogueSearch::searchFindsWhatThePlainMatcherFinds() {
    QFETCH(QString, text);
    QFETCH(bool, findsSome);

    const Found found = search(MainCatalogueConnectionString(), text);

    QStringList expected;
    const QString pattern = u'%' + text + u'%';
    for (const QStringList& row : written_) {
        if (!row[0].isNull() && ReferenceLike(pattern, row[0])) expected.append(row.join(u'|'));
    }
    QCOMPARE(found.count, qint64(expected.size()));
    QCOMPARE(found.rows, expected);
    QCOMPARE(found.count > 0, findsSome);
}

QUARROW_TEST_MAIN(TestCatalogueSearch)
#include "tst_catalogue_search.moc"
