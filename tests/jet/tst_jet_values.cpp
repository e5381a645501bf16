#include "InputError.h"
#include "JetFixtures.h"
#include "JetHeader.h"
#include "JetReader.h"
#include "JetValueText.h"
#include "TestSupport.h"

#include <QtEndian>
#include <QtTest>
#include <cmath>
#include <limits>

using namespace quarrow;
using namespace quarrow::test;

namespace {

// Days since 30.12.1899 of a date and time.
double days(int year, int month, int day, int hours = 0, int minutes = 0, int seconds = 0) {
    return double(QDate(1899, 12, 30).daysTo(QDate(year, month, day))) +
           (hours * 3600 + minutes * 60 + seconds) / 86400.0;
}

QByteArray utf16(const QString& text) {
    QByteArray bytes;
    for (QChar c : text) {
        bytes.append(char(c.unicode() & 0xff));
        bytes.append(char(c.unicode() >> 8));
    }
    return bytes;
}

// A Decimal as Jet stores it: the sign byte, then the magnitude's four
// 32-bit little-endian words, the most significant first.
QByteArray decimal(bool negative, quint64 high, quint64 low) {
    QByteArray bytes(17, '\0');
    bytes[0] = negative ? char(0x80) : char(0);
    const quint32 words[4] = {quint32(high >> 32), quint32(high), quint32(low >> 32), quint32(low)};
    for (int w = 0; w < 4; ++w) qToLittleEndian(words[w], bytes.data() + 1 + 4 * w);
    return bytes;
}

// A row of values; a null pointer stands for an absent value.
QStringList row(std::initializer_list<const char*> values) {
    QStringList texts;
    for (const char* value : values) texts.append(value ? QString::fromUtf8(value) : QString());
    return texts;
}

QByteArray firstPage(const char* signature, char version) {
    QByteArray page(4096, '\0');
    page.replace(4, 16, QByteArray(signature, 16));
    page[0x14] = version;
    return page;
}

}  // namespace

class JetValuesTest : public QObject {
    Q_OBJECT

private slots:
    void numbers_data();
    void numbers();
    void dates_data();
    void dates();
    void moneyAndDecimals_data();
    void moneyAndDecimals();
    void storedText_data();
    void storedText();
    void otherTypes();
    void headerOfEachFixture_data();
    void headerOfEachFixture();
    void headerOfOtherFiles_data();
    void headerOfOtherFiles();
    void passwordAsTheEngineChecksIt();
    void filesAccessWroteAreRead_data();
    void filesAccessWroteAreRead();
    void jet3ValuesTakeTheSameForms();
    void unreadableFilesAreRefused_data();
    void unreadableFilesAreRefused();
};

void JetValuesTest::numbers_data() {
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("digits");
    QTest::addColumn<QString>("text");
    QTest::newRow("decimal comma") << 93.71 << 15 << "93,71";
    QTest::newRow("no trailing zeros") << 12.5 << 15 << "12,5";
    QTest::newRow("zero") << 0.0 << 15 << "0";
    QTest::newRow("negative zero") << -0.0 << 15 << "0";
    QTest::newRow("whole") << 100.0 << 15 << "100";
    QTest::newRow("negative") << -7.048 << 15 << "-7,048";
    QTest::newRow("binary fraction rounded") << 0.1 + 0.2 << 15 << "0,3";
    QTest::newRow("fifteen digits") << 123456789012345.0 << 15 << "123456789012345";
    QTest::newRow("sixteen digits") << 1234567890123456.0 << 15 << "1,23456789012346E15";
    QTest::newRow("large") << 1e20 << 15 << "1E20";
    QTest::newRow("smallest in full") << 0.00001 << 15 << "0,00001";
    QTest::newRow("small") << 1.5e-7 << 15 << "1,5E-7";
    QTest::newRow("single as stored") << double(1.1f) << 7 << "1,1";
    QTest::newRow("single, seven digits") << double(3.14159274f) << 7 << "3,141593";
    QTest::newRow("not a number") << std::numeric_limits<double>::quiet_NaN() << 15 << "NAN";
    QTest::newRow("infinity") << -std::numeric_limits<double>::infinity() << 15 << "-INF";
}

void JetValuesTest::numbers() {
    QFETCH(double, value);
    QFETCH(int, digits);
    QFETCH(QString, text);
    QCOMPARE(JetFloatText(value, digits), text);
}

void JetValuesTest::dates_data() {
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("midnight: the date alone") << days(2011, 5, 17) << "17.05.2011";
    QTest::newRow("with its time") << days(2011, 5, 17, 13, 45, 10) << "17.05.2011 13:45:10";
    QTest::newRow("hours in two digits") << days(2009, 11, 5, 7, 4, 3) << "05.11.2009 07:04:03";
    QTest::newRow("the first day") << 0.0 << "30.12.1899";
    QTest::newRow("a time alone") << 0.5 << "30.12.1899 12:00:00";
    QTest::newRow("before the first day") << -1.25 << "29.12.1899 06:00:00";
    QTest::newRow("rounds up to the next midnight")
        << days(2011, 5, 17) + 0.9999999 << "18.05.2011";
    QTest::newRow("the earliest Access stores") << -657434.0 << "01.01.0100";
    QTest::newRow("the latest Access stores")
        << days(9999, 12, 31, 23, 59, 59) << "31.12.9999 23:59:59";
    QTest::newRow("beyond Access: the number") << 1e7 << "10000000";
    QTest::newRow("no number") << std::numeric_limits<double>::quiet_NaN() << "NAN";
}

void JetValuesTest::dates() {
    QFETCH(double, value);
    QFETCH(QString, text);
    QCOMPARE(JetDateText(value), text);
}

void JetValuesTest::moneyAndDecimals_data() {
    QTest::addColumn<QByteArray>("decimalBytes");  // empty: a Currency value
    QTest::addColumn<qint64>("currency");
    QTest::addColumn<int>("scale");
    QTest::addColumn<QString>("text");
    QTest::newRow("currency") << QByteArray() << qint64(125000) << 4 << "12,5";
    QTest::newRow("currency zero") << QByteArray() << qint64(0) << 4 << "0";
    QTest::newRow("currency whole") << QByteArray() << qint64(10000) << 4 << "1";
    QTest::newRow("currency negative") << QByteArray() << qint64(-30001) << 4 << "-3,0001";
    QTest::newRow("currency smallest")
        << QByteArray() << std::numeric_limits<qint64>::min() << 4 << "-922337203685477,5808";
    QTest::newRow("decimal") << decimal(false, 0, 12345) << qint64(0) << 2 << "123,45";
    QTest::newRow("decimal trailing zeros") << decimal(true, 0, 12500) << qint64(0) << 3 << "-12,5";
    QTest::newRow("decimal below one") << decimal(false, 0, 5) << qint64(0) << 3 << "0,005";
    QTest::newRow("decimal zero") << decimal(true, 0, 0) << qint64(0) << 2 << "0";
    QTest::newRow("decimal beyond 64 bits") << decimal(false, 0x204FCE5E, 0x3E25026110000000)
                                            << qint64(0) << 0 << "10000000000000000000000000000";
}

void JetValuesTest::moneyAndDecimals() {
    QFETCH(QByteArray, decimalBytes);
    QFETCH(qint64, currency);
    QFETCH(int, scale);
    QFETCH(QString, text);
    QCOMPARE(
        decimalBytes.isEmpty() ? JetCurrencyText(currency) : JetDecimalText(decimalBytes, scale),
        text);
}

void JetValuesTest::storedText_data() {
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<QString>("text");
    QTest::newRow("UTF-16") << utf16(QStringLiteral("Видеокарта")) << "Видеокарта";
    QTest::newRow("surrogate pair") << utf16(QStringLiteral("Emoji 🙂")) << "Emoji 🙂";
    QTest::newRow("compressed") << QByteArray(
                                       "\xFF\xFE"
                                       "GeForce",
                                       9)
                                << "GeForce";
    QTest::newRow("compressed, then not") << QByteArray(
                                                 "\xFF\xFE"
                                                 "A",
                                                 3) +
                                                 QByteArray(1, '\0') + utf16(QStringLiteral("ЁЖ")) +
                                                 QByteArray(1, '\0') + QByteArray("b")
                                          << "AЁЖb";
    QTest::newRow("odd last byte dropped") << utf16(QStringLiteral("ab")) + 'c' << "ab";
    QTest::newRow("empty") << QByteArray() << "";
}

void JetValuesTest::storedText() {
    QFETCH(QByteArray, stored);
    QFETCH(QString, text);
    QCOMPARE(JetUnicodeText(stored), text);
}

void JetValuesTest::otherTypes() {
    QCOMPARE(JetBooleanText(true), QStringLiteral("True"));
    QCOMPARE(JetBooleanText(false), QStringLiteral("False"));
    const QByteArray guid = QByteArray::fromHex("33221100554477668899AABBCCDDEEFF");
    QCOMPARE(JetGuidText(guid), QStringLiteral("{00112233-4455-6677-8899-AABBCCDDEEFF}"));
    QCOMPARE(JetBinaryText(QByteArray::fromHex("00ff10")), QStringLiteral("00FF10"));
}

void JetValuesTest::headerOfEachFixture_data() {
    QTest::addColumn<QString>("fixture");
    QTest::addColumn<int>("format");
    QTest::addColumn<QString>("password");
    const int jet4 = int(JetFormat::Jet4);
    QTest::newRow("kavrel") << "vek-jet4.mdb" << jet4 << "kavrel";
    QTest::newRow("devices") << "dev-jet4.mdb" << jet4 << "kavrel";
    QTest::newRow("none") << "vek-jet4-nopassword.mdb" << jet4 << "";
    QTest::newRow("another") << "vek-jet4-otherpassword.mdb" << jet4 << "secret";
    QTest::newRow("Access 2000") << "access-written/test2V2000.mdb" << jet4 << "";
    QTest::newRow("Access 97") << "access-written/testV1997.mdb" << int(JetFormat::Jet3) << "";
}

void JetValuesTest::headerOfEachFixture() {
    QFETCH(QString, fixture);
    QFETCH(int, format);
    QFETCH(QString, password);
    const JetHeader header = ReadJetHeaderOf(JetFixture(fixture));
    QCOMPARE(int(header.format), format);
    QCOMPARE(header.password, password);
}

void JetValuesTest::headerOfOtherFiles_data() {
    QTest::addColumn<QByteArray>("start");
    QTest::addColumn<int>("format");
    QTest::newRow("ACE") << firstPage("Standard ACE DB", 2) << int(JetFormat::Ace);
    QTest::newRow("Jet of another version")
        << firstPage("Standard Jet DB", 2) << int(JetFormat::UnknownJetVersion);
    QTest::newRow("SQLite") << QByteArray("SQLite format 3\0", 16) + QByteArray(4080, '\0')
                            << int(JetFormat::NotJet);
    QTest::newRow("cut short") << firstPage("Standard Jet DB", 1).left(0x40)
                               << int(JetFormat::NotJet);
    QTest::newRow("empty") << QByteArray() << int(JetFormat::NotJet);
}

void JetValuesTest::headerOfOtherFiles() {
    QFETCH(QByteArray, start);
    QFETCH(int, format);
    const JetHeader header = ReadJetHeader(start);
    QCOMPARE(int(header.format), format);
    QVERIFY(header.password.isEmpty());
}

void JetValuesTest::passwordAsTheEngineChecksIt() {
    QVERIFY(JetPasswordAccepts(QString(), QStringLiteral("kavrel")));
    QVERIFY(JetPasswordAccepts(QString(), QString()));
    QVERIFY(JetPasswordAccepts(QStringLiteral("kavrel"), QStringLiteral("kavrel")));
    QVERIFY(!JetPasswordAccepts(QStringLiteral("kavrel"), QStringLiteral("Kavrel")));
    QVERIFY(!JetPasswordAccepts(QStringLiteral("secret"), QStringLiteral("kavrel")));
    QVERIFY(!JetPasswordAccepts(QStringLiteral("secret"), QString()));
}

void JetValuesTest::filesAccessWroteAreRead_data() {
    QTest::addColumn<QString>("fixture");
    QTest::addColumn<QString>("table");
    QTest::addColumn<QStringList>("columns");
    QTest::addColumn<QList<QStringList>>("rows");
    const char* n = nullptr;  // absent
    QTest::newRow("compressed Unicode")
        << "testUnicodeCompV2003.mdb"
        << "Table" << QStringList{QStringLiteral("ID"), QStringLiteral("Unicode")}
        << QList<QStringList>{
               row({"1", "only ascii chars"}), row({"2", "ääkkösiä"}), row({"3", "Мир"}),
               // Greek with the accents as stored (U+1F79, U+1F7B),
               // which some tools fold into others.
               row({"4",
                    "\u03f0\u03b1\u1f76 \u03c4\u1f79\u03c4' "
                    "\u1f10\u03b3\u1f7c \u039a\u1f7b\u03f0\u03bb\u03c9\u03c0\u03b1"}),
               row({"5", "漢字仮名交じり文"}),
               // Control characters among the others.
               row({"6",
                    "3L9\x1d"
                    "52\x02"
                    "_AB(\u00a5\x05"
                    "!!V"}),
               row({"7", "ümlaut"})};
    QTest::newRow("deleted rows") << "delTestV2003.mdb"
                                  << "Table"
                                  << QStringList{QStringLiteral("a"), QStringLiteral("b")}
                                  << QList<QStringList>{row({"z", "y"}), row({"v", "u"})};
    QTest::newRow("overflow rows")
        << "overflowTestV2000.mdb"
        << "Table1"
        << QStringList{QStringLiteral("data1"), QStringLiteral("data3"), QStringLiteral("data4"),
                       QStringLiteral("data5"), QStringLiteral("data6"), QStringLiteral("data7"),
                       QStringLiteral("data8"), QStringLiteral("data9"), QStringLiteral("data10")}
        << QList<QStringList>{row({"row1col1", n, n, n, n, n, n, n, n}),
                              row({"row2col1", "row2col3", n, n, n, n, n, n, n}),
                              row({"row4col1", "row4col2", n, n, n, n, n, n, n}),
                              row({n, "row6col2", "row6col3", n, n, n, n, n, n}),
                              row({"row7col1", n, n, n, n, "row7col7", n, n, n}),
                              row({n, "row3col3", n, n, n, n, n, "row3col9", n}),
                              row({n, "row5col2", n, n, n, n, n, n, n})};
    QTest::newRow("fixed-length text, dates with times")
        << "fixedTextTestV2000.mdb"
        << "users" << QStringList{QStringLiteral("i_user_id"),   QStringLiteral("c_user_login"),
                                  QStringLiteral("c_user_pwd"),  QStringLiteral("c_user_session"),
                                  QStringLiteral("c_user_name"), QStringLiteral("i_user_flags"),
                                  QStringLiteral("i_user_type"), QStringLiteral("i_user_merch"),
                                  QStringLiteral("c_flag_"),     QStringLiteral("d_stamp_")}
        << QList<QStringList>{row({"1", "CORE USER", " ", "-1", "Core User", "1", "16408", "-1",
                                   "N", "05.11.2009 23:41:28"}),
                              row({"2", "admin", "X03MO1qnZdYdgyfeuILPmQ==", "-1", "Admin User",
                                   "1", "81928", "120", "N", "22.10.2009 03:57:13"})};
}

void JetValuesTest::filesAccessWroteAreRead() {
    QFETCH(QString, fixture);
    QFETCH(QString, table);
    QFETCH(QStringList, columns);
    QFETCH(QList<QStringList>, rows);
    JetReader reader(JetFixture(QStringLiteral("access-written/") + fixture));
    QCOMPARE(reader.findTable(table.toUpper()), table);
    reader.openTable(table);
    CatalogueTable read;
    read.columns = reader.columns();
    const qint64 rowsRead = reader.readRows([&](const QStringList& row) { read.rows.append(row); });
    QCOMPARE(rowsRead, qint64(read.rows.size()));
    // The Unicode table's last row holds every printable character; the
    // rows before it are the ones compared.
    read.rows = read.rows.mid(0, rows.size());
    const QString difference = TableDifference({columns, rows}, read);
    QVERIFY2(difference.isEmpty(), qPrintable(difference));
}

void JetValuesTest::jet3ValuesTakeTheSameForms() {
    JetReader reader(JetFixture(QStringLiteral("access-written/testV1997.mdb")));
    QCOMPARE(reader.tableNames(),
             (QStringList{QStringLiteral("Table1"), QStringLiteral("Table2"),
                          QStringLiteral("Table3"), QStringLiteral("Table4")}));
    reader.openTable(QStringLiteral("Table1"));
    QList<QStringList> rows;
    reader.readRows([&](const QStringList& row) { rows.append(row); });
    const QList<QStringList> expected{
        row({"a", "b", "0", "0", "0", "0", "12.12.1981", "0", "False"}),
        row({"abcdefg", "hijklmnop", "2", "222", "333333333", "444,555", "21.09.1974", "3,5",
             "True"})};
    QCOMPARE(rows, expected);
}

void JetValuesTest::unreadableFilesAreRefused_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("first page only") << firstPage("Standard Jet DB", 1);
    QTest::newRow("first pages of a real file cut off")
        << JetFixtureBytes(QStringLiteral("vek-jet4.mdb")).left(3 * 4096);
}

void JetValuesTest::unreadableFilesAreRefused() {
    QFETCH(QByteArray, bytes);
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("vek.mdb"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    file.close();
    try {
        JetReader reader(path);
        reader.openTable(QStringLiteral("table_1"));
        reader.readRows([](const QStringList&) {});
        QFAIL("the file was read");
    } catch (const InputError& error) {
        QVERIFY2(error.message().startsWith(path + QStringLiteral(": ")),
                 qPrintable(error.message()));
    }
}

QUARROW_TEST_MAIN(JetValuesTest)
#include "tst_jet_values.moc"
