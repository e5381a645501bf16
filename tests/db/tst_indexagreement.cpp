#include "CatalogueWriter.h"
#include "TestSupport.h"
#include "db/Connection.h"
#include "db/Query.h"
#include "stores/DriverCatalogue.h"

#include <QRandomGenerator>
#include <QtTest>

using namespace quarrow;
using quarrow::test::TemporaryCurrentFolder;

namespace {

// Letters whose case folding is unusual sit beside everyday Cyrillic and
// Latin text: the long s, Kelvin and Angstrom signs, final sigma, capital
// sharp s, dotted and dotless i, Georgian, Cherokee, Deseret, Osage, Adlam,
// fullwidth letters and a combining accent.
const char32_t kAlphabet[] = {
    U'а',    U'б',    U'в',    U'е',   U'ё',   U'ж',   U'я',   U'А',   U'Б',    U'В',    U'Е',
    U'Ё',    U'Ж',    U'Я',    U'a',   U'b',   U'e',   U'k',   U's',   U'A',    U'B',    U'E',
    U'K',    U'S',    U'0',    U'7',   U'3',   U' ',   U'-',   U'.',   U'\'',   U'(',    U'ſ',
    0x212A,  0x212B,  U'å',    U'Å',   U'ς',   U'σ',   U'Σ',   0x1E9E, U'ß',    0x0130,  0x0131,
    U'i',    U'I',    0x10A0,  0x2D00, 0x10D0, 0x1C90, 0x13A0, 0xAB70, 0x10400, 0x10428, 0x104B0,
    0x104D8, 0x1E900, 0x1E922, 0xFF21, 0xFF41, 0x0301};

QString randomText(QRandomGenerator& random, int maxLength) {
    QString text;
    const int length = random.bounded(maxLength + 1);
    for (int k = 0; k < length; ++k) {
        const char32_t c = kAlphabet[random.bounded(int(std::size(kAlphabet)))];
        text += QString::fromUcs4(&c, 1);
    }
    return text;
}

// A pattern made from a piece of a stored name with its letter case changed,
// "_" standing for some characters, or a random text.
QString randomPattern(QRandomGenerator& random, const QStringList& names) {
    if (random.bounded(4) == 0) return randomText(random, 4);
    const QString& name = names[random.bounded(int(names.size()))];
    const QList<uint> ucs = name.toUcs4();
    if (ucs.isEmpty()) return {};
    const int from = random.bounded(int(ucs.size()));
    const int length = 1 + random.bounded(std::min<int>(5, int(ucs.size()) - from));
    QString pattern;
    for (int k = from; k < from + length; ++k) {
        const char32_t c = ucs[k];
        QString piece = QString::fromUcs4(&c, 1);
        switch (random.bounded(5)) {
            case 0:
                piece = piece.toUpper();
                break;
            case 1:
                piece = piece.toLower();
                break;
            case 2:
                if (random.bounded(3) == 0) piece = QStringLiteral("_");
                break;
            default:
                break;
        }
        pattern += piece;
    }
    return pattern;
}

QList<qint64> search(Connection& connection, const QString& pattern) {
    Query query(&connection, QStringLiteral("ADOQuery1"));
    Query counter(&connection, QStringLiteral("ADOQuery2"));
    RunDriverSearch(connection, query, counter, pattern);
    QList<qint64> ids;
    for (int r = 0; r < query.rowCount(); ++r) ids.append(query.value(r, 1).toLongLong());
    std::sort(ids.begin(), ids.end());
    return ids;
}

}  // namespace

class IndexAgreementTest : public QObject {
    Q_OBJECT

private slots:
    void indexedSearchEqualsPlainScan();
};

void IndexAgreementTest::indexedSearchEqualsPlainScan() {
    TemporaryCurrentFolder folder;
    QRandomGenerator random(20261210);
    const QStringList columns{QStringLiteral("Наименование"), QStringLiteral("id")};
    CatalogueTable table{columns, {}};
    QStringList names;
    for (int k = 0; k < 3000; ++k) {
        names.append(randomText(random, 14));
        table.rows.append({names.back(), QString::number(k)});
    }
    WriteDriverCatalogue(folder.filePath(QStringLiteral("indexed.mdb")), {}, table);
    WriteDriverCatalogue(folder.filePath(QStringLiteral("plain.mdb")), {}, table,
                         DriverTableLayout::Plain);
    const QString prefix = QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=");
    Connection indexed(prefix + QStringLiteral("indexed.mdb"));
    Connection plain(prefix + QStringLiteral("plain.mdb"));

    int nonEmpty = 0;
    for (int k = 0; k < 1500; ++k) {
        const QString pattern = randomPattern(random, names);
        const QList<qint64> expected = search(plain, pattern);
        if (!expected.isEmpty()) ++nonEmpty;
        QVERIFY2(search(indexed, pattern) == expected,
                 qPrintable(QStringLiteral("pattern [%1] %2")
                                .arg(pattern, QString::number(pattern.toUcs4().value(0), 16))));
    }
    // The comparison means something only if many patterns find rows.
    QVERIFY(nonEmpty > 1000);
}

QUARROW_TEST_MAIN(IndexAgreementTest)
#include "tst_indexagreement.moc"
