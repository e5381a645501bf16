#include "CatalogueWriter.h"
#include "ReferenceLike.h"
#include "SearchConnection.h"
#include "TestSupport.h"
#include "core/Exception.h"
#include "db/Connection.h"
#include "db/ConnectionString.h"
#include "db/IndexFolding.h"
#include "db/Like.h"
#include "db/Query.h"
#include "db/Sqlite.h"
#include "db/TrigramIndex.h"
#include "stores/DeviceCatalogue.h"
#include "stores/DriverCatalogue.h"

#include <sqlite3.h>
#include <QCryptographicHash>
#include <QFile>
#include <QRandomGenerator>
#include <QtTest>

using namespace quarrow;
using quarrow::test::TemporaryCurrentFolder;
using quarrow::test::TemporaryDriverCatalogue;

namespace {

const QStringList kDriverColumns = quarrow::test::DriverCatalogueColumns();

QStringList row(const QString& name) {
    return {name,
            QStringLiteral("Видеокарта"),
            QStringLiteral("Windows XP"),
            QStringLiteral("1 МБ"),
            QStringLiteral("1.0"),
            QStringLiteral("example.com/d.zip"),
            QStringLiteral("http://example.com/d.zip"),
            QStringLiteral("2026.12")};
}

QByteArray checksum(const QString& path) {
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256);
}

QString withPassword(const QString& password) {
    return QStringLiteral(
               "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=vek.mdb;"
               "Jet OLEDB:Database Password=%1")
        .arg(password);
}

}  // namespace

class DataLayerTest : public QObject {
    Q_OBJECT

private slots:
    void likeMatchesLikeTheEngineWould_data();
    void likeMatchesLikeTheEngineWould();
    void onlyTheKelvinSignAndTheLongSFoldOntoAscii();
    void connectionStringsParseKeyByKey();
    void malformedConnectionStringsAreRefused_data();
    void malformedConnectionStringsAreRefused();
    void openingChecksProviderFileAndPassword_data();
    void openingChecksProviderFileAndPassword();
    void openingNeverModifiesTheFile();
    void searchFindsEveryLetterCase_data();
    void searchFindsEveryLetterCase();
    void typedTextNeverBecomesSql_data();
    void typedTextNeverBecomesSql();
    void fieldsByNameAndPosition();
    void deletionRemovesFromResultAndFile();
    void refusedDeletionKeepsTheRow();
    void denyWriteConnectionsExcludeEachOther();
    void readOnlyConnectionsReadBesideDenyWrite();
    void trigramIndexIsUsedAndFollowsEveryWrite();
    void shortTextsAreCountedFromTheNamesIndex();
    void largeResultsReadRowsBackById_data();
    void largeResultsReadRowsBackById();
    void longValuesAreKeptByTheirHeads_data();
    void longValuesAreKeptByTheirHeads();
    void likeReportsTheBytesItCompares_data();
    void likeReportsTheBytesItCompares();
    void longTypedTextIsFoundInLinearTime_data();
    void longTypedTextIsFoundInLinearTime();
    void likeAgreesWithTheReferenceOnRepetitiveTexts();
    void scansSeeWhatAnotherConnectionWroteBetweenThem();
    void cataloguesInAFolderWithCyrillicAndBlanks();
};

void DataLayerTest::likeMatchesLikeTheEngineWould_data() {
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("matches");
    QTest::newRow("containment") << "%7300 GT%"
                                 << "NVIDIA GeForce 7300 GT" << true;
    QTest::newRow("latin case") << "%7300 gt%"
                                << "NVIDIA GeForce 7300 GT" << true;
    QTest::newRow("cyrillic case") << "%ВИДЕО%"
                                   << "видеокарта" << true;
    QTest::newRow("cyrillic lower pattern") << "%видео%"
                                            << "ВИДЕОКАРТА" << true;
    QTest::newRow("yo stays apart from ye") << "%Ё%"
                                            << "Е" << false;
    QTest::newRow("yo folds with its own case") << "%ё%"
                                                << "ЁЛКА" << true;
    QTest::newRow("underscore one char") << "a_c"
                                         << "abc" << true;
    QTest::newRow("underscore not zero chars") << "a_c"
                                               << "ac" << false;
    QTest::newRow("underscore one cyrillic char") << "%а_в%"
                                                  << "абв" << true;
    QTest::newRow("percent inside") << "%Ge%GT%"
                                    << "GeForce 7300 GT" << true;
    QTest::newRow("order matters") << "%GT%Ge%"
                                   << "GeForce 7300 GT" << false;
    QTest::newRow("empty matches empty") << "%%"
                                         << "" << true;
    QTest::newRow("anchored start") << "Ge%"
                                    << "xGe" << false;
    QTest::newRow("anchored end") << "%GT"
                                  << "GTx" << false;
    QTest::newRow("exact") << "abc"
                           << "ABC" << true;
    QTest::newRow("apostrophe") << "%o'b%"
                                << "O'Brien" << true;
    QTest::newRow("greek final sigma folds") << "%Σ%"
                                             << "ς" << true;
    QTest::newRow("no-break space is not a blank") << "% %" << QString(QChar(0xA0)) << false;
    QTest::newRow("overlapping prefix") << "%aab%"
                                        << "aaab" << true;
    QTest::newRow("latin pattern in cyrillic text") << "%gt%"
                                                    << "Видео GT" << true;
    QTest::newRow("kelvin sign folds onto k") << "%k%" << QStringLiteral("\u212A") << true;
    QTest::newRow("long s folds onto s") << "%S%" << QStringLiteral("\u017F") << true;
    QTest::newRow("underscore over a cyrillic letter") << "a_c"
                                                       << "aжc" << true;
    QTest::newRow("underscore over a four-byte letter")
        << "a_c" << QStringLiteral("a\U0001F600c") << true;
    QTest::newRow("underscore is one whole letter") << "a__c"
                                                    << "aжc" << false;
    // Middle pieces are first looked for sixteen bytes at a time; these put
    // the piece before, across and after such a stretch, in either case.
    const QString longText = QStringLiteral("0123456789abcdefghijklmnopqrstuvwxyz-0123456789");
    QTest::newRow("piece in the second stretch") << "%QRS%" << longText << true;
    QTest::newRow("piece across two stretches") << "%nopq%" << longText << true;
    QTest::newRow("piece in the tail") << "%-012%" << longText << true;
    QTest::newRow("piece cut by the end") << "%789x%" << longText << false;
    QTest::newRow("piece ending where the suffix begins") << "%xyz%-0123456789" << longText << true;
    QTest::newRow("piece overlapping the suffix") << "%z-0%-0123456789" << longText << false;
    QTest::newRow("first byte repeated before the hit")
        << "%gt%" << QStringLiteral("ggggggggggggggggggggggggggggggggGT") << true;
    QTest::newRow("underscore before the first byte looked for")
        << "%_3_0%" << QStringLiteral("NVIDIA GeForce 7300 GT and a 7400") << true;
    QTest::newRow("underscore only piece") << "%__%"
                                           << "a" << false;
    QTest::newRow("letter search does not take the other symbol")
        << "%@x%" << QStringLiteral("````````````````````````````````x") << false;
    QTest::newRow("digit search is exact") << "%7%" << QString(40, QChar(0x17)) << false;
    // ASCII patterns over names that mix Latin and Cyrillic words are
    // compared byte by byte; "_" takes one whole letter of either script.
    const QString mixed = QStringLiteral("NVIDIA GeForce 7300 GT видеокарта");
    QTest::newRow("underscore piece in a mixed name") << "%73_0%" << mixed << true;
    QTest::newRow("underscore over a cyrillic letter in a piece") << "%t_в%" << mixed << true;
    QTest::newRow("two underscores are two cyrillic letters") << "%a__c%"
                                                              << "xaжжcx" << true;
    QTest::newRow("two underscores are not one cyrillic letter") << "%a__c%"
                                                                 << "xaжcx" << false;
    QTest::newRow("underscores before the byte looked for") << "%__gt%"
                                                            << "жжgt" << true;
    QTest::newRow("underscores before the byte looked for, too few") << "%__gt%"
                                                                     << "жgt" << false;
    QTest::newRow("underscore piece ending the text") << "%t_%"
                                                      << "GTж" << true;
    QTest::newRow("underscore piece past the text") << "%t__%"
                                                    << "GTж" << false;
    QTest::newRow("underscore prefix over a cyrillic letter") << "_b%"
                                                              << "жbc" << true;
    QTest::newRow("underscore prefix, too few letters") << "__b%"
                                                        << "жb" << false;
    QTest::newRow("whole text of underscores") << "a_"
                                               << "aж" << true;
    QTest::newRow("whole text of underscores, one letter more") << "a_"
                                                                << "aжж" << false;
    QTest::newRow("underscore suffix over a cyrillic letter") << "%a_"
                                                              << "жaж" << true;
    QTest::newRow("underscore suffix, one letter more") << "%a_"
                                                        << "aжж" << false;
    QTest::newRow("kelvin sign in a mixed name") << "%k%" << QStringLiteral("ж\u212A") << true;
    QTest::newRow("long s in a mixed name") << "%s_%" << QStringLiteral("ж\u017Fж") << true;
    QTest::newRow("k in a mixed name without a kelvin sign") << "%k%"
                                                             << "жK" << true;
    QTest::newRow("s absent from a mixed name") << "%s%" << QStringLiteral("ж\u2014") << false;
}

void DataLayerTest::likeMatchesLikeTheEngineWould() {
    QFETCH(QString, pattern);
    QFETCH(QString, text);
    QFETCH(bool, matches);
    const QByteArray p = pattern.toUtf8();
    const QByteArray t = text.toUtf8();
    QCOMPARE(LikePattern(std::string_view(p.constData(), std::size_t(p.size())))
                 .matches(std::string_view(t.constData(), std::size_t(t.size()))),
             matches);
}

// like() compares ASCII patterns with the text byte by byte unless the text
// holds one of these two characters; any other character folding onto an
// ASCII one would make it miss rows.
void DataLayerTest::onlyTheKelvinSignAndTheLongSFoldOntoAscii() {
    QList<uint> foldingOntoAscii;
    for (char32_t c = 0x80; c <= 0x10FFFF; ++c) {
        if (c >= 0xD800 && c <= 0xDFFF) continue;
        if (IndexFold(c) < 0x80) foldingOntoAscii.append(uint(c));
    }
    QCOMPARE(foldingOntoAscii, (QList<uint>{0x017F, 0x212A}));
    QCOMPARE(uint(IndexFold(0x017F)), uint('s'));
    QCOMPARE(uint(IndexFold(0x212A)), uint('k'));
}

void DataLayerTest::connectionStringsParseKeyByKey() {
    const ConnectionSettings main = ParseConnectionString(MainCatalogueConnectionString());
    QCOMPARE(main.provider, QStringLiteral("Microsoft.Jet.OLEDB.4.0"));
    QCOMPARE(main.dataSource, QStringLiteral("vek.mdb"));
    QCOMPARE(main.password, QStringLiteral("kavrel"));
    QCOMPARE(main.mode, ShareMode::DenyNone);
    QCOMPARE(main.values.value(QStringLiteral("extended properties")), QString());
    QCOMPARE(main.values.value(QStringLiteral("jet oledb:don't copy locale on compact")),
             QStringLiteral("False"));
    QCOMPARE(main.values.size(), 19);

    const ConnectionSettings about = ParseConnectionString(AboutCatalogueConnectionString());
    QCOMPARE(about.dataSource, QStringLiteral("vek.mdb"));
    QCOMPARE(about.password, QStringLiteral("kavrel"));

    const ConnectionSettings quoted = ParseConnectionString(QStringLiteral(
        "Provider=X;Data Source='my;file.mdb';Jet OLEDB:Database Password=\"a\"\"b\""));
    QCOMPARE(quoted.dataSource, QStringLiteral("my;file.mdb"));
    QCOMPARE(quoted.password, QStringLiteral("a\"b"));
}

void DataLayerTest::malformedConnectionStringsAreRefused_data() {
    QTest::addColumn<QString>("text");
    QTest::newRow("no equals") << "Provider";
    QTest::newRow("unterminated quote") << "Provider=\"abc";
    QTest::newRow("text after quote") << "Provider=\"abc\"x;";
    QTest::newRow("unknown mode") << "Provider=X;Mode=Sideways";
}

void DataLayerTest::malformedConnectionStringsAreRefused() {
    QFETCH(QString, text);
    QVERIFY_THROWS_EXCEPTION(EOleException, ParseConnectionString(text));
}

void DataLayerTest::openingChecksProviderFileAndPassword_data() {
    QTest::addColumn<QString>("connectionString");
    QTest::addColumn<bool>("createFile");
    QTest::addColumn<QString>("recordedPassword");
    QTest::addColumn<QString>("expectedError");
    QTest::newRow("right password") << withPassword(QStringLiteral("kavrel")) << true << "kavrel"
                                    << "";
    QTest::newRow("wrong password") << withPassword(QStringLiteral("nope")) << true << "kavrel"
                                    << "Not a valid password.";
    QTest::newRow("no password given")
        << QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=vek.mdb") << true
        << "kavrel"
        << "Not a valid password.";
    QTest::newRow("file records none") << withPassword(QStringLiteral("anything")) << true << ""
                                       << "";
    QTest::newRow("missing file") << withPassword(QStringLiteral("kavrel")) << false << "kavrel"
                                  << "Could not find file";
    QTest::newRow("unknown provider")
        << QStringLiteral("Provider=SQLOLEDB;Data Source=vek.mdb") << true << "kavrel"
        << "Provider cannot be found. It may not be properly installed.";
}

void DataLayerTest::openingChecksProviderFileAndPassword() {
    QFETCH(QString, connectionString);
    QFETCH(bool, createFile);
    QFETCH(QString, recordedPassword);
    QFETCH(QString, expectedError);
    TemporaryCurrentFolder folder;
    if (createFile) {
        WriteDriverCatalogue(folder.filePath(QStringLiteral("vek.mdb")), recordedPassword,
                             {kDriverColumns, {row(QStringLiteral("a"))}});
    }
    Connection connection(connectionString);
    try {
        connection.open();
        QVERIFY2(expectedError.isEmpty(), "opening should have failed");
        QVERIFY(connection.isOpen());
        connection.open();  // a second open does nothing
        QVERIFY(connection.isOpen());
    } catch (const EOleException& error) {
        QVERIFY2(!expectedError.isEmpty(), qPrintable(error.message()));
        QVERIFY2(error.message().startsWith(expectedError), qPrintable(error.message()));
        QVERIFY(!connection.isOpen());
    }
}

void DataLayerTest::openingNeverModifiesTheFile() {
    TemporaryDriverCatalogue catalogue({row(QStringLiteral("a"))});
    const QByteArray before = checksum(catalogue.file());
    QCOMPARE(catalogue.searchDrivers(QStringLiteral("a")), 1);
    catalogue.results.close();
    catalogue.counter.close();
    catalogue.connection.close();
    QCOMPARE(checksum(catalogue.file()), before);
}

// Whether a search narrowed by the trigram index finds what a scan of a
// plain table finds is tst_indexagreement's to check.
void DataLayerTest::searchFindsEveryLetterCase_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("expected");
    const QStringList geforce{QStringLiteral("NVIDIA GeForce 7300 GT"),
                              QStringLiteral("geforce 7300 gt (mobile)")};
    QTest::newRow("7300 GT") << "7300 GT" << geforce;
    QTest::newRow("7300 gt") << "7300 gt" << geforce;
    QTest::newRow("cyrillic") << "ВИДЕО" << QStringList{QStringLiteral("Видеокарта Radeon")};
    QTest::newRow("two cyrillic letters")
        << "ЕО" << QStringList{QStringLiteral("Видеокарта Radeon")};
    QTest::newRow("nothing") << "zzz" << QStringList();
    QTest::newRow("wildcard underscore") << "73_0 G" << geforce;
    QTest::newRow("everything but null")
        << ""
        << QStringList{QStringLiteral("NVIDIA GeForce 7300 GT"),
                       QStringLiteral("Видеокарта Radeon"),
                       QStringLiteral("geforce 7300 gt (mobile)"), QString()};
}

void DataLayerTest::searchFindsEveryLetterCase() {
    QFETCH(QString, text);
    QFETCH(QStringList, expected);
    QStringList nullName = row(QString());
    nullName[0] = QString();
    QStringList emptyName = row(QString());
    emptyName[0] = QStringLiteral("");
    TemporaryDriverCatalogue catalogue(
        {row(QStringLiteral("NVIDIA GeForce 7300 GT")), row(QStringLiteral("Видеокарта Radeon")),
         row(QStringLiteral("geforce 7300 gt (mobile)")), nullName, emptyName});
    const qint64 count = catalogue.searchDrivers(text);
    const Query& results = catalogue.results;
    QStringList names;
    for (int r = 0; r < results.rowCount(); ++r) names.append(results.value(r, 0));
    // The empty name stands in the expectation as a null QString: both read as empty text.
    QCOMPARE(names, expected);
    QCOMPARE(count, qint64(expected.size()));
    QVERIFY(results.canModify());
}

void DataLayerTest::typedTextNeverBecomesSql_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("found");
    QTest::newRow("injection") << "x' OR '1'='1" << 1;
    QTest::newRow("apostrophe") << "O'Brien" << 1;
    QTest::newRow("lone apostrophe") << "'" << 2;
    QTest::newRow("statement end") << "'; DROP TABLE table_1; --" << 0;
    QTest::newRow("double quote") << "\"" << 0;
    QTest::newRow("nul") << QString(QChar(0)) << 0;
    QTest::newRow("long") << QString(100000, u'x') << 0;
}

void DataLayerTest::typedTextNeverBecomesSql() {
    QFETCH(QString, text);
    QFETCH(int, found);
    TemporaryDriverCatalogue catalogue({row(QStringLiteral("name x' OR '1'='1 here")),
                                        row(QStringLiteral("O'Brien")),
                                        row(QStringLiteral("plain"))});
    QCOMPARE(catalogue.searchDrivers(text), qint64(found));
    QCOMPARE(catalogue.results.rowCount(), found);
    QCOMPARE(catalogue.searchDrivers(QString()), qint64(3));
}

void DataLayerTest::fieldsByNameAndPosition() {
    TemporaryDriverCatalogue catalogue({row(QStringLiteral("a"))});
    Query& query = catalogue.results;
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, query.fieldByName(QStringLiteral("os")));
    query.setSelect(QStringLiteral("table_1"));
    query.open();
    QCOMPARE(query.fieldByName(QStringLiteral("OS")), QStringLiteral("Windows XP"));
    QCOMPARE(query.field(1), QStringLiteral("Видеокарта"));
    try {
        query.fieldByName(QStringLiteral("missing"));
        QFAIL("expected an error");
    } catch (const EDatabaseError& error) {
        QCOMPARE(error.message(), QStringLiteral("ADOQuery1: Field 'missing' not found"));
    }
    try {
        query.field(8);
        QFAIL("expected an error");
    } catch (const EDatabaseError& error) {
        QCOMPARE(error.message(), QStringLiteral("List index out of bounds (8)"));
    }
}

void DataLayerTest::deletionRemovesFromResultAndFile() {
    TemporaryDriverCatalogue catalogue(
        {row(QStringLiteral("a1")), row(QStringLiteral("a2")), row(QStringLiteral("a3"))});
    Query& results = catalogue.results;
    catalogue.searchDrivers(QStringLiteral("a"));
    results.setCurrentRow(2);
    results.deleteCurrent();
    QCOMPARE(results.rowCount(), 2);
    QCOMPARE(results.currentRow(), 1);  // the last row went, its neighbour is current
    results.setCurrentRow(0);
    results.deleteCurrent();
    QCOMPARE(results.fieldByName(QStringLiteral("Наименование")), QStringLiteral("a2"));
    QCOMPARE(catalogue.searchDrivers(QStringLiteral("a")), qint64(1));
}

void DataLayerTest::refusedDeletionKeepsTheRow() {
    if (!quarrow::test::FilePermissionsBind())
        QSKIP("file permissions do not bind this process (the superuser)");
    TemporaryDriverCatalogue catalogue({row(QStringLiteral("a"))});
    QFile::setPermissions(catalogue.file(), QFile::ReadOwner);
    catalogue.searchDrivers(QStringLiteral("a"));
    QVERIFY_THROWS_EXCEPTION(EOleException, catalogue.results.deleteCurrent());
    QCOMPARE(catalogue.results.rowCount(), 1);
    QCOMPARE(catalogue.searchDrivers(QStringLiteral("a")), qint64(1));
}

void DataLayerTest::denyWriteConnectionsExcludeEachOther() {
    TemporaryCurrentFolder folder;
    WriteDeviceCatalogue(folder.filePath(QStringLiteral("dev.mdb")), QStringLiteral("kavrel"),
                         {{QStringLiteral("Код"), QStringLiteral("device")},
                          {{QStringLiteral("1"), QStringLiteral("x")}}});
    const QString text = QStringLiteral(
        "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=dev.mdb;Mode=Share Deny Write;"
        "Jet OLEDB:Database Password=kavrel");
    Connection first(text);
    first.open();
    Connection second(text);
    QVERIFY_THROWS_EXCEPTION(EOleException, second.open());
    first.close();
    second.open();
    QVERIFY(second.isOpen());
}

void DataLayerTest::readOnlyConnectionsReadBesideDenyWrite() {
    TemporaryCurrentFolder folder;
    WriteDeviceCatalogue(folder.filePath(QStringLiteral("dev.mdb")), QStringLiteral("kavrel"),
                         {{QStringLiteral("Код"), QStringLiteral("device")},
                          {{QStringLiteral("1"), QStringLiteral("x")}}});
    const QString denyWrite = QStringLiteral(
        "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=dev.mdb;Mode=Share Deny Write;"
        "Jet OLEDB:Database Password=kavrel");
    const QString readOnly = QStringLiteral(
        "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=dev.mdb;Mode=Read;"
        "Jet OLEDB:Database Password=kavrel");
    const auto count = [](Connection& connection) {
        Query query(&connection, QStringLiteral("ADOQuery2"));
        query.setSql(QStringLiteral("SELECT count(*) AS n FROM device"));
        query.open();
        return query.fieldByNameAsInteger(QStringLiteral("n"));
    };
    // Either may come first; the reader writes nothing the other protects.
    for (const bool readerFirst : {false, true}) {
        Connection holder(denyWrite);
        Connection reader(readOnly);
        if (readerFirst) reader.open();
        holder.open();
        reader.open();
        QCOMPARE(count(reader), qint64(1));
        QCOMPARE(sqlite3_db_readonly(reader.handle(), "main"), 1);
        QCOMPARE(count(holder), qint64(1));
    }
    // Writers other than the holder are still kept out.
    Connection holder(denyWrite);
    holder.open();
    Connection writer(
        QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=dev.mdb;Mode=Share Deny None;"
                       "Jet OLEDB:Database Password=kavrel"));
    QVERIFY_THROWS_EXCEPTION(EOleException, writer.open());
}

void DataLayerTest::trigramIndexIsUsedAndFollowsEveryWrite() {
    TemporaryDriverCatalogue catalogue({row(QStringLiteral("GeForce 7300 GT")),
                                        row(QStringLiteral("Radeon 9600")),
                                        row(QStringLiteral("geforce 7300 gt go"))});
    Connection& connection = catalogue.connection;
    connection.open();

    Query& results = catalogue.results;
    Query& counter = catalogue.counter;
    RunDriverSearch(connection, results, counter, QStringLiteral("gt"));
    QCOMPARE(results.sqlText(), QStringLiteral("SELECT * FROM table_1 WHERE Наименование LIKE ?"));
    QCOMPARE(results.parameters(), QStringList{QStringLiteral("%gt%")});
    QCOMPARE(RunDriverSearch(connection, results, counter, QStringLiteral("7300 GT")), qint64(2));
    const QString narrowed = QStringLiteral(
        "Наименование LIKE ? AND rowid IN (SELECT rowid FROM \"table_1_trigram\" WHERE "
        "\"table_1_trigram\" MATCH ?)");
    QCOMPARE(results.sqlText(), QStringLiteral("SELECT * FROM table_1 WHERE ") + narrowed);
    QCOMPARE(counter.sqlText(),
             QStringLiteral("select count(*) as url from table_1 WHERE ") + narrowed);
    const QStringList parameters{QStringLiteral("%7300 GT%"),
                                 QStringLiteral("\"730\" \"300\" \"00 \" \"0 G\" \" GT\"")};
    QCOMPARE(results.parameters(), parameters);
    QCOMPARE(counter.parameters(), parameters);
    results.deleteCurrent();
    results.updateRow(0, {{0, QStringLiteral("Quadro 7300 GTX")}});
    QCOMPARE(RunDriverSearch(connection, results, counter, QStringLiteral("7300 GT")), qint64(1));
    QCOMPARE(results.fieldByName(QStringLiteral("Наименование")),
             QStringLiteral("Quadro 7300 GTX"));
    QCOMPARE(RunDriverSearch(connection, results, counter, QStringLiteral("GeForce")), qint64(0));
    results.insertRow(0, {{0, QStringLiteral("GeForce 6200")}});
    QCOMPARE(RunDriverSearch(connection, results, counter, QStringLiteral("eforce")), qint64(1));
    Exec(connection.handle(),
         "INSERT INTO table_1_trigram(table_1_trigram, rank) VALUES ('integrity-check', 1)");
}

namespace {

// How the engine runs a statement, its plan's lines joined.
QString queryPlan(sqlite3* db, const QString& sql, const QStringList& parameters) {
    Statement plan(db, QStringLiteral("EXPLAIN QUERY PLAN ") + sql);
    for (int k = 0; k < parameters.size(); ++k) plan.bindText(k + 1, parameters[k]);
    QStringList lines;
    while (plan.step()) lines.append(plan.text(3));
    return lines.join(u'\n');
}

}  // namespace

void DataLayerTest::shortTextsAreCountedFromTheNamesIndex() {
    TemporaryCurrentFolder folder;
    WriteDriverCatalogue(folder.filePath(QStringLiteral("vek.mdb")), QStringLiteral("kavrel"),
                         {kDriverColumns,
                          {row(QStringLiteral("Radeon 9600 GT")), row(QStringLiteral("GeForce GT")),
                           row(QStringLiteral("Atheros")), row(QStringLiteral("ASMedia gt"))}});
    Connection connection(MainCatalogueConnectionString());
    Query results(&connection, QStringLiteral("ADOQuery1"));
    Query counter(&connection, QStringLiteral("ADOQuery2"));
    QCOMPARE(RunDriverSearch(connection, results, counter, QStringLiteral("gt")), qint64(3));
    // The rows come from the table in its order; only the count reads the
    // names, which the index holds sorted.
    QCOMPARE(results.value(0, 0), QStringLiteral("Radeon 9600 GT"));
    QCOMPARE(results.value(2, 0), QStringLiteral("ASMedia gt"));
    const QStringList pattern{QStringLiteral("%gt%")};
    const QString countPlan = queryPlan(connection.handle(), counter.sqlText(), pattern);
    QVERIFY2(countPlan.contains(QStringLiteral("COVERING INDEX table_1_names")),
             qPrintable(countPlan));
    const QString selectPlan = queryPlan(connection.handle(), results.sqlText(), pattern);
    QVERIFY2(!selectPlan.contains(QStringLiteral("INDEX")), qPrintable(selectPlan));

    // The index follows every write.
    results.deleteCurrent();
    results.updateRow(0, {{0, QStringLiteral("GeForce 7300")}});
    results.insertRow(0, {{0, QStringLiteral("Quadro GT")}});
    QCOMPARE(RunDriverSearch(connection, results, counter, QStringLiteral("gt")), qint64(2));
    Statement check(connection.handle(), "PRAGMA integrity_check");
    QVERIFY(check.step());
    QCOMPARE(check.text(0), QStringLiteral("ok"));
}

void DataLayerTest::largeResultsReadRowsBackById_data() {
    QTest::addColumn<int>("budget");
    QTest::newRow("all rows kept") << int(ResultSet::kDefaultValueBudget);
    QTest::newRow("first rows kept") << 4000;
    QTest::newRow("only ids kept") << 0;
}

void DataLayerTest::largeResultsReadRowsBackById() {
    QFETCH(int, budget);
    // Rows read back make many times the budget, so they are dropped and
    // read again; "driver 12" finds 1,111 of them.
    const int rows = 18000;
    QList<QStringList> table;
    for (int k = 0; k < rows; ++k) table.append(row(QStringLiteral("driver %1").arg(k)));
    TemporaryDriverCatalogue catalogue(table);
    Connection& connection = catalogue.connection;
    Query& results = catalogue.results;
    results.setValueBudget(std::size_t(budget));
    Query& counter = catalogue.counter;
    QCOMPARE(RunDriverSearch(connection, results, counter, QStringLiteral("driver")), qint64(rows));

    for (int pass = 0; pass < 2; ++pass) {
        for (int r = 0; r < rows; r += 97) {
            QCOMPARE(results.value(r, 0), QStringLiteral("driver %1").arg(r));
            QCOMPARE(results.value(r, 6), QStringLiteral("http://example.com/d.zip"));
        }
    }
    results.setCurrentRow(rows - 2);
    results.deleteCurrent();
    QCOMPARE(results.rowCount(), rows - 1);
    QCOMPARE(results.fieldByName(QStringLiteral("Наименование")),
             QStringLiteral("driver %1").arg(rows - 1));
    results.updateRow(rows - 2, {{2, QStringLiteral("Linux")}});
    QCOMPARE(results.value(rows - 2, 2), QStringLiteral("Linux"));
    QCOMPARE(results.value(rows - 2, 0), QStringLiteral("driver %1").arg(rows - 1));
    QCOMPARE(results.value(5, 0), QStringLiteral("driver 5"));
    QCOMPARE(RunDriverSearch(connection, results, counter, QStringLiteral("driver")),
             qint64(rows - 1));

    // A smaller search reuses the memory of the large result it replaces.
    QCOMPARE(RunDriverSearch(connection, results, counter, QStringLiteral("driver 7")),
             qint64(1111));
    QCOMPARE(results.rowCount(), 1111);
    QCOMPARE(results.value(0, 0), QStringLiteral("driver 7"));
    QCOMPARE(results.value(1, 0), QStringLiteral("driver 70"));
    QCOMPARE(RunDriverSearch(connection, results, counter, QStringLiteral("driver 12")),
             qint64(1111));
    QCOMPARE(results.value(0, 0), QStringLiteral("driver 12"));
    QCOMPARE(results.value(results.rowCount() - 1, 0), QStringLiteral("driver 12999"));
}

void DataLayerTest::longValuesAreKeptByTheirHeads_data() {
    QTest::addColumn<int>("budget");
    QTest::newRow("rows kept") << int(ResultSet::kDefaultValueBudget);
    QTest::newRow("rows read back") << int(ResultSet::kHeadBytes * 4);
}

void DataLayerTest::longValuesAreKeptByTheirHeads() {
    QFETCH(int, budget);
    // Names of 200 KB, with characters of two and three bytes that the
    // heads cut through.
    const int rows = 40;
    const auto longName = [](int k) {
        return QStringLiteral("driver %1 ").arg(k) +
               QStringLiteral("Видео€x").repeated(200'000 / 15) + QString::number(k);
    };
    QList<QStringList> table;
    for (int k = 0; k < rows; ++k) table.append(row(longName(k)));
    table.append(row(QStringLiteral("driver short")));
    TemporaryDriverCatalogue catalogue(table, DriverTableLayout::Plain);
    Query& results = catalogue.results;
    results.setValueBudget(std::size_t(budget));
    QCOMPARE(
        RunDriverSearch(catalogue.connection, results, catalogue.counter, QStringLiteral("driver")),
        qint64(rows + 1));

    // What the grid shows of every row, read twice: never a whole value.
    const std::size_t wholeValues = std::size_t(rows) * 200'000 * 2;
    // Heads and bookkeeping of every row, or twice the budget if less, with
    // room for the rows that pass it.
    const std::size_t rowHeads = ResultSet::kHeadBytes + 1024;
    const std::size_t bound =
        std::min(std::size_t(2 * budget), std::size_t(rows + 1) * rowHeads) + 2 * rowHeads;
    for (int pass = 0; pass < 2; ++pass) {
        for (int r = 0; r <= rows; ++r) {
            const QString name = r < rows ? longName(r) : QStringLiteral("driver short");
            QCOMPARE(results.valueHead(r, 0, 2000), name.left(2001));
            QCOMPARE(results.value(r, 2), QStringLiteral("Windows XP"));
        }
        QVERIFY2(results.heldValueBytes() < bound,
                 qPrintable(QString::number(results.heldValueBytes())));
    }
    QVERIFY(bound < wholeValues / 10);

    // Whole values are read again, one row at a time, where they are asked for.
    for (int r = rows - 1; r >= 0; r -= 7) {
        QCOMPARE(results.value(r, 0), longName(r));
        QVERIFY(results.heldValueBytes() < bound + 400'000);
    }
    results.setCurrentRow(3);
    QCOMPARE(results.fieldByName(QStringLiteral("Наименование")), longName(3));
    results.updateRow(3, {{2, QStringLiteral("Linux")}});
    QCOMPARE(results.value(3, 0), longName(3));
    QCOMPARE(results.value(3, 2), QStringLiteral("Linux"));

    // Another program changes a long name far past its head. A row kept
    // since the search is no longer the one shown and is not written; a row
    // read back is read as the file holds it when it is shown, and written
    // without undoing the other program's change.
    sqlite3* other = nullptr;
    QCOMPARE(sqlite3_open(catalogue.file().toUtf8().constData(), &other), SQLITE_OK);
    const int changed = sqlite3_exec(
        other,
        "UPDATE table_1 SET \"Наименование\" = substr(\"Наименование\", 1, 50000) || 'Z' || "
        "substr(\"Наименование\", 50002) WHERE \"Наименование\" LIKE 'driver 5 %'",
        nullptr, nullptr, nullptr);
    sqlite3_close(other);
    QCOMPARE(changed, SQLITE_OK);
    QCOMPARE(results.valueHead(5, 0, 2000), longName(5).left(2001));
    const bool readBack = budget < int(ResultSet::kHeadBytes) * (rows + 1);
    if (readBack) {
        results.updateRow(5, {{2, QStringLiteral("Linux")}});
        QString changedName = longName(5);
        changedName[50'000] = u'Z';
        QCOMPARE(results.value(5, 0), changedName);
        QCOMPARE(results.value(5, 2), QStringLiteral("Linux"));
    } else {
        QVERIFY_THROWS_EXCEPTION(EOleException,
                                 results.updateRow(5, {{2, QStringLiteral("Linux")}}));
        results.setCurrentRow(5);
        QVERIFY_THROWS_EXCEPTION(EOleException, results.deleteCurrent());
        QCOMPARE(results.value(5, 2), QStringLiteral("Windows XP"));
    }
    QCOMPARE(results.rowCount(), rows + 1);
}

void DataLayerTest::likeReportsTheBytesItCompares_data() {
    QTest::addColumn<QString>("unit");
    QTest::newRow("ASCII") << QStringLiteral("ab");
    QTest::newRow("Cyrillic") << QStringLiteral("аб");
}

void DataLayerTest::likeReportsTheBytesItCompares() {
    QFETCH(QString, unit);
    // Every other place of the text begins the pattern's long middle part,
    // which fails only at its end; with "_" in it, every place is tried in
    // turn: some 37 million characters compared. The text holds every three
    // characters of the pattern, so that an index of them cannot leave it
    // out.
    const QByteArray text = (unit + QStringLiteral("c") + unit.repeated(10'000)).toUtf8();
    const QString typed = unit.repeated(2'500) + QStringLiteral("_c");
    const QByteArray pattern = (u'%' + typed + u'%').toUtf8();
    const LikePattern like(std::string_view(pattern.constData(), std::size_t(pattern.size())));
    const std::string_view subject(text.constData(), std::size_t(text.size()));

    std::uint64_t reported = 0;
    LikeWork work;
    work.look = [&reported](std::uint64_t bytes) {
        reported += bytes;
        return true;
    };
    bool stopped = true;
    QVERIFY(!like.matches(subject, &work, &stopped));
    QVERIFY(!stopped);
    QVERIFY2(reported + work.sinceLook > 30'000'000, qPrintable(QString::number(reported)));

    // Stopped at the first look.
    int looks = 0;
    work.sinceLook = 0;
    work.look = [&looks](std::uint64_t) { return ++looks > 1; };
    QVERIFY(!like.matches(subject, &work, &stopped));
    QVERIFY(stopped);
    QCOMPARE(looks, 1);

    // In a statement: stopped with the bound's message.
    TemporaryDriverCatalogue catalogue(
        {row(QString::fromUtf8(text)), row(QString::fromUtf8(text))});
    catalogue.connection.open();
    catalogue.connection.setWorkLimit(5'000'000);
    int slow = 0;
    catalogue.connection.setSlowWorkHandler([&slow] { ++slow; }, 0);
    try {
        catalogue.searchDrivers(typed);
        QFAIL("The search was not stopped");
    } catch (const EOleException& error) {
        QCOMPARE(error.message(),
                 QStringLiteral("The statement was stopped: it took far more work than reading "
                                "any catalogue needs, so the file cannot be what it seems."));
    }
    QVERIFY(slow > 0);
    catalogue.connection.setWorkLimit(Connection::kDefaultWorkLimit);
    QCOMPARE(catalogue.searchDrivers(typed), qint64(0));
    QCOMPARE(catalogue.searchDrivers(unit.repeated(2'500)), qint64(2));
}

void DataLayerTest::longTypedTextIsFoundInLinearTime_data() {
    QTest::addColumn<QString>("unit");
    QTest::addColumn<QString>("typedUnit");
    QTest::newRow("ASCII") << QStringLiteral("ab") << QStringLiteral("ab");
    QTest::newRow("ASCII, other case") << QStringLiteral("ab") << QStringLiteral("AB");
    QTest::newRow("Cyrillic") << QStringLiteral("аб") << QStringLiteral("аб");
    QTest::newRow("Cyrillic, other case") << QStringLiteral("аб") << QStringLiteral("АБ");
}

void DataLayerTest::longTypedTextIsFoundInLinearTime() {
    QFETCH(QString, unit);
    QFETCH(QString, typedUnit);
    // 400 names of 20 KB, a typed text of 5,001 characters whose every
    // three characters each name holds, and which begins at every other
    // place of each name but lies whole in none, or at the very end of one.
    const QString typed = typedUnit.repeated(2'500) + u'c';
    const QString name = unit + u'c' + unit.repeated(10'000);
    const QString last = name + typed.toLower();

    const auto work = [](const QString& pattern, const QString& text, bool* matched) {
        const QByteArray p = pattern.toUtf8();
        const QByteArray t = text.toUtf8();
        std::uint64_t bytes = 0;
        LikeWork counted;
        counted.look = [&bytes](std::uint64_t more) {
            bytes += more;
            return true;
        };
        bool stopped = false;
        *matched = LikePattern(std::string_view(p.constData(), std::size_t(p.size())))
                       .matches(std::string_view(t.constData(), std::size_t(t.size())), &counted,
                                &stopped);
        return bytes + counted.sinceLook;
    };
    bool matched = true;
    const std::uint64_t none = work(u'%' + typed + u'%', name, &matched);
    QVERIFY(!matched);
    QVERIFY2(none < 4 * std::uint64_t(name.toUtf8().size()), qPrintable(QString::number(none)));
    const std::uint64_t one = work(u'%' + typed + u'%', last, &matched);
    QVERIFY(matched);
    QVERIFY2(one < 4 * std::uint64_t(last.toUtf8().size()), qPrintable(QString::number(one)));

    QList<QStringList> table;
    for (int k = 0; k < 399; ++k) table.append(row(name));
    table.append(row(last));
    // A plain table: every name goes through like().
    TemporaryDriverCatalogue catalogue(table, DriverTableLayout::Plain);
    catalogue.connection.open();
    // A bound that a search trying every place in turn would pass many
    // times over: four times the names' bytes.
    catalogue.connection.setWorkLimit(4 * 400 * std::uint64_t(last.toUtf8().size()));
    QCOMPARE(catalogue.searchDrivers(typed), qint64(1));
    QCOMPARE(catalogue.results.valueHead(0, 0, 10), last.left(11));
    QCOMPARE(catalogue.searchDrivers(typed.chopped(1) + u'x'), qint64(0));
}

void DataLayerTest::likeAgreesWithTheReferenceOnRepetitiveTexts() {
    // Texts of few letters make a long part begin at many places, so that
    // the search for it goes over to the linear one within each text.
    const QStringList letters{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("A"),
                              QStringLiteral("B"), QStringLiteral("а"), QStringLiteral("б"),
                              QStringLiteral("Б"), QStringLiteral("c")};
    QRandomGenerator random(20);
    const auto run = [&random, &letters](int length, int kinds) {
        QString text;
        for (int k = 0; k < length; ++k) text += letters[random.bounded(kinds)];
        return text;
    };
    int matched = 0;
    for (int round = 0; round < 20'000; ++round) {
        // Latin only in half the rounds: such patterns compare bytes.
        const int kinds = round % 2 == 0 ? 4 : int(letters.size());
        const QString text = run(50 + random.bounded(350), kinds);
        QString pattern = random.bounded(4) == 0 ? QString() : QStringLiteral("%");
        const int parts = 1 + random.bounded(3);
        for (int part = 0; part < parts; ++part) {
            QString piece = random.bounded(2) == 0 ? text.mid(random.bounded(text.size()), 40)
                                                   : run(1 + random.bounded(40), kinds);
            if (random.bounded(10) == 0) piece[random.bounded(piece.size())] = u'_';
            pattern += piece;
            if (part + 1 < parts || random.bounded(4) != 0) pattern += u'%';
        }
        const QByteArray p = pattern.toUtf8();
        const QByteArray t = text.toUtf8();
        const bool expected = quarrow::test::ReferenceLike(pattern, text);
        const bool actual = LikePattern(std::string_view(p.constData(), std::size_t(p.size())))
                                .matches(std::string_view(t.constData(), std::size_t(t.size())));
        if (actual != expected) {
            QFAIL(qPrintable(QStringLiteral("'%1' LIKE '%2': %3").arg(text, pattern).arg(actual)));
        }
        if (expected) ++matched;
    }
    QVERIFY2(matched > 2'000, qPrintable(QString::number(matched)));
}

void DataLayerTest::scansSeeWhatAnotherConnectionWroteBetweenThem() {
    // Scans read the file ahead in large pieces; what was read ahead must
    // not outlive the read that another writer could change the file after.
    const int rows = 6000;  // a file of several read-ahead pieces
    QList<QStringList> table;
    for (int k = 0; k < rows; ++k) table.append(row(QStringLiteral("driver %1").arg(k)));
    TemporaryDriverCatalogue catalogue(table);
    const QString path = catalogue.file();
    Connection& connection = catalogue.connection;
    Query& results = catalogue.results;
    Query& counter = catalogue.counter;
    QCOMPARE(RunDriverSearch(connection, results, counter, QStringLiteral("d")), qint64(rows));

    sqlite3* other = nullptr;
    QCOMPARE(sqlite3_open(path.toUtf8().constData(), &other), SQLITE_OK);
    const auto otherExec = [other](const char* sql) {
        QCOMPARE(sqlite3_exec(other, sql, nullptr, nullptr, nullptr), SQLITE_OK);
    };
    // The last rows lie in the piece the scan read last.
    otherExec("UPDATE table_1 SET \"Наименование\" = 'moved driver' WHERE rowid = 6000");
    otherExec("DELETE FROM table_1 WHERE rowid = 11");
    otherExec("INSERT INTO table_1 (\"Наименование\") VALUES ('added driver')");
    sqlite3_close(other);

    QCOMPARE(RunDriverSearch(connection, results, counter, QStringLiteral("moved")), qint64(1));
    QCOMPARE(results.value(0, 0), QStringLiteral("moved driver"));
    QCOMPARE(RunDriverSearch(connection, results, counter, QStringLiteral("d")), qint64(rows));
    QCOMPARE(results.rowCount(), rows);
    QCOMPARE(results.value(9, 0), QStringLiteral("driver 9"));
    QCOMPARE(results.value(10, 0), QStringLiteral("driver 11"));
    QCOMPARE(results.value(rows - 2, 0), QStringLiteral("moved driver"));
    QCOMPARE(results.value(rows - 1, 0), QStringLiteral("added driver"));
}

// Windows reaches such a folder only through its wide-character calls, which
// the engine, the share locks and the file checks must all use.
void DataLayerTest::cataloguesInAFolderWithCyrillicAndBlanks() {
    quarrow::test::TemporaryCurrentFolder base;
    const QString name = QStringLiteral("Драйверы и базы");
    QVERIFY(QDir(base.path()).mkdir(name));
    QVERIFY(QDir::setCurrent(base.filePath(name)));
    WriteDriverCatalogue(
        QStringLiteral("vek.mdb"), QStringLiteral("kavrel"),
        {kDriverColumns,
         {row(QStringLiteral("GeForce 7300 GT")), row(QStringLiteral("Радеон 9600"))}});
    WriteDeviceCatalogue(QStringLiteral("dev.mdb"), QStringLiteral("kavrel"),
                         {{QStringLiteral("Код"), QStringLiteral("device")},
                          {{QStringLiteral("1"), QStringLiteral("PCI\\VEN_10DE&DEV_0393")}}});

    quarrow::test::SearchConnection drivers(MainCatalogueConnectionString());
    QCOMPARE(drivers.searchDrivers(QStringLiteral("радеон")), qint64(1));
    QCOMPARE(QFileInfo(drivers.connection.filePath()).dir().dirName(), name);
    drivers.results.deleteCurrent();
    QCOMPARE(drivers.searchDrivers(QStringLiteral("радеон")), qint64(0));
    QCOMPARE(drivers.searchDrivers(QStringLiteral("GT")), qint64(1));

    Connection devices(DeviceCatalogueConnectionString());
    devices.open();
    Connection second(DeviceCatalogueConnectionString());
    QVERIFY_THROWS_EXCEPTION(EOleException, second.open());
    devices.close();
    second.open();
    QVERIFY(second.isOpen());
    QVERIFY(!QFile::exists(QStringLiteral("vek.mdb-journal")));
}

QUARROW_TEST_MAIN(DataLayerTest)
#include "tst_datalayer.moc"
