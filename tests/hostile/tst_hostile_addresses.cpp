#include "CatalogueWriter.h"
#include "StandInOpener.h"
#include "TestSupport.h"
#include "devices/TForm4.h"
#include "mainwindow/TForm1.h"
#include "shell/OpenInShell.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <algorithm>

using namespace quarrow;
using namespace quarrow::test;

namespace {

// The sites that take typed text, spelled out here so that a wrong endpoint
// shows up as a wrong address.
const QString kCatalogueSearch = QStringLiteral("http://") +
                                 QStringLiteral(QUARROW_CATALOGUE_HOST) +
                                 QStringLiteral("/search/?q=");
const QString kDeviceLookup =
    QStringLiteral("http://www.pcidatabase.com/search.php?device_search_str=");
const QString kVendorLookup =
    QStringLiteral("http://www.pcidatabase.com/search.php?vendor_search_str=");

// Sorted, as on Windows every hand-over starts the opener as a process of
// its own, and they record what they got in whatever order they run.
QList<QStringList> sorted(QList<QStringList> calls) {
    std::sort(calls.begin(), calls.end());
    return calls;
}

QList<QStringList> argumentsOf(const QList<StandInOpener::Call>& calls) {
    QList<QStringList> all;
    for (const StandInOpener::Call& call : calls) all.append(call.arguments);
    return sorted(all);
}

}  // namespace

class HostileAddressTest : public QObject {
    Q_OBJECT

private slots:
    void onlyWebAddressesReachTheOpener_data();
    void onlyWebAddressesReachTheOpener();
    void typedTextReachesTheSitesAsTyped_data();
    void typedTextReachesTheSitesAsTyped();
};

void HostileAddressTest::onlyWebAddressesReachTheOpener_data() {
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("direct");
    QTest::addColumn<QString>("slowTarget");  // empty: refused
    QTest::addColumn<QString>("fastTarget");  // empty: refused
    QTest::newRow("local program") << "/usr/bin/xterm"
                                   << "/usr/bin/xterm"
                                   << "http:///usr/bin/xterm"
                                   << "";
    QTest::newRow("windows program") << "C:\\Windows\\calc.exe"
                                     << "C:\\Windows\\calc.exe"
                                     << "http://C:\\Windows\\calc.exe"
                                     << "";
    QTest::newRow("file scheme") << "file:///etc/passwd"
                                 << "file:///etc/passwd"
                                 << "http://file:///etc/passwd"
                                 << "";
    QTest::newRow("javascript") << "javascript:alert(1)"
                                << "javascript:alert(1)"
                                << "http://javascript:alert(1)"
                                << "";
    QTest::newRow("option-like") << "-x"
                                 << "--help"
                                 << "http://-x"
                                 << "";
    QTest::newRow("embedded line break") << "example.com/a\n--b"
                                         << "http://example.com/a\n--b"
                                         << ""
                                         << "";
    const QString nul(QChar(0));
    QTest::newRow("embedded NUL") << QStringLiteral("example.com/a") + nul + u'b'
                                  << QStringLiteral("http://example.com/a") + nul + u'b' << ""
                                  << "";
    QTest::newRow("leading blank") << " example.com"
                                   << " http://example.com"
                                   << "http:// example.com"
                                   << "";
    QTest::newRow("web addresses") << "example.com/d 1&x#y.zip"
                                   << "HTTP://Example.com/d 1&x#y.zip"
                                   << "http://example.com/d 1&x#y.zip"
                                   << "HTTP://Example.com/d 1&x#y.zip";
    QTest::newRow("ftp and cyrillic") << "пример.рф/драйвер.zip"
                                      << "ftp://пример.рф/драйвер.zip"
                                      << "http://пример.рф/драйвер.zip"
                                      << "ftp://пример.рф/драйвер.zip";
}

void HostileAddressTest::onlyWebAddressesReachTheOpener() {
    QFETCH(QString, url);
    QFETCH(QString, direct);
    QFETCH(QString, slowTarget);
    QFETCH(QString, fastTarget);
    TemporaryCurrentFolder folder;
    WriteDriverCatalogue(
        folder.filePath(QStringLiteral("vek.mdb")), QStringLiteral("kavrel"),
        {{QStringLiteral("Наименование"), QStringLiteral("Устройство"), QStringLiteral("os"),
          QStringLiteral("Размер"), QStringLiteral("Версия"), QStringLiteral("url"),
          QStringLiteral("URLdr"), QStringLiteral("ver")},
         {{QStringLiteral("driver"), QStringLiteral("kind"), QStringLiteral("XP"),
           QStringLiteral("1"), QStringLiteral("1"), url, direct, QStringLiteral("1")}}});
    StandInOpener opener;
    if (!opener.unavailable().isEmpty()) QSKIP(qPrintable(opener.unavailable()));
    SetShellLauncher({});  // the real launcher
    Form1 = new TForm1;
    Form1->show();
    Form1->Edit1->setText(QStringLiteral("driver"));
    Form1->Button2->click();

    QStringList expected;
    for (const auto& [button, target] :
         {std::pair{Form1->Button1, slowTarget}, std::pair{Form1->Button9, fastTarget}}) {
        std::shared_ptr<SeenDialog> refusal;
        if (target.isEmpty()) {
            refusal = AnswerNextDialog(QStringLiteral("OK"));
        } else {
            expected.append(target);
        }
        button->click();
        if (refusal) {
            QTRY_VERIFY(refusal->seen);
            QCOMPARE(refusal->title, QStringLiteral("Quarrow"));
            QVERIFY(refusal->text.contains(QStringLiteral("не является веб-адресом")));
        }
    }
    QTRY_COMPARE(opener.calls().size(), expected.size());
    QTest::qWait(200);  // a refused address must not arrive late either
    QList<QStringList> expectedCalls;
    for (const QString& target : expected) expectedCalls.append({target});
    QCOMPARE(argumentsOf(opener.calls()), sorted(expectedCalls));
    for (const StandInOpener::Call& call : opener.calls()) {
        QVERIFY(!call.arguments.front().startsWith(u'-'));
    }
    delete Form1;
    Form1 = nullptr;
}

void HostileAddressTest::typedTextReachesTheSitesAsTyped_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("query");  // what follows the endpoint's "="
    QTest::newRow("& and # would cut the query") << "GeForce 7300 GT & #1"
                                                 << "GeForce%207300%20GT%20%26%20%231";
    QTest::newRow("device code with &") << "VEN_10DE&DEV_0393"
                                        << "VEN_10DE%26DEV_0393";
    QTest::newRow("% and + would change it") << "100% + 50%"
                                             << "100%25%20%2B%2050%25";
    QTest::newRow("already encoded-looking") << "%20%26"
                                             << "%2520%2526";
    QTest::newRow("blanks at the ends stay") << "  7300 GT  "
                                             << "%20%207300%20GT%20%20";
    QTest::newRow("blanks only") << "   "
                                 << "%20%20%20";
    QTest::newRow("Cyrillic as UTF-8")
        << "Звуковая карта"
        << "%D0%97%D0%B2%D1%83%D0%BA%D0%BE%D0%B2%D0%B0%D1%8F%20%D0%BA%D0%B0%D1%80%D1%82%D0%B0";
    QTest::newRow("beyond the basic plane") << "\U0001F600"
                                            << "%F0%9F%98%80";
    QTest::newRow("? = and / would start a new part") << "a?b=c/d;e:f@g"
                                                      << "a%3Fb%3Dc%2Fd%3Be%3Af%40g";
    QTest::newRow("other reserved and quotes")
        << "!*'()$,[]\"<>\\^`{|}"
        << "%21%2A%27%28%29%24%2C%5B%5D%22%3C%3E%5C%5E%60%7B%7C%7D";
    QTest::newRow("control characters") << "a\tb\nc\rd\x7f"
                                        << "a%09b%0Ac%0Dd%7F";
    QTest::newRow("unreserved stay as they are") << "AZaz09-._~"
                                                 << "AZaz09-._~";
}

// Every address built from typed text, through the windows that build it and
// the real launcher: the catalogue search of the main window's "VEK" and of
// its not-found question, and the unknown-device window's two lookups.
void HostileAddressTest::typedTextReachesTheSitesAsTyped() {
    QFETCH(QString, typed);
    QFETCH(QString, query);
    TemporaryCurrentFolder folder;
    WriteDriverCatalogue(folder.filePath(QStringLiteral("vek.mdb")), QStringLiteral("kavrel"),
                         {DriverCatalogueColumns(),
                          {{QStringLiteral("driver"), QStringLiteral("kind"), QStringLiteral("XP"),
                            QStringLiteral("1"), QStringLiteral("1"),
                            QStringLiteral("example.com/d.zip"), QString(), QStringLiteral("1")}}});
    WriteDeviceCatalogue(folder.filePath(QStringLiteral("dev.mdb")), QStringLiteral("kavrel"),
                         {{QStringLiteral("Код"), QStringLiteral("device")},
                          {{QStringLiteral("1"), QStringLiteral("PCI\\VEN_10DE&DEV_0393")}}});
    StandInOpener opener;
    if (!opener.unavailable().isEmpty()) QSKIP(qPrintable(opener.unavailable()));
    SetShellLauncher({});  // the real launcher
    Form1 = new TForm1;
    Form1->show();
    Form1->Edit1->setText(QStringLiteral("driver"));
    Form1->Button2->click();

    // The user types after the search; both hand-overs take the box's text.
    Form1->Edit1->setText(typed);
    QCOMPARE(Form1->Edit1->text(), typed);
    Form1->Button5->click();
    const auto question = AnswerNextDialog(QStringLiteral("OK"));
    Form1->Button9->click();  // the row has no direct link
    QTRY_VERIFY(question->seen);

    Form4 = new TForm4;
    Form4->show();
    Form4->Edit1->setText(typed);
    QCOMPARE(Form4->Edit1->text(), typed);
    Form4->CheckBox1->setChecked(true);
    Form4->CheckBox2->setChecked(true);
    const ShownDialogs shown(true);
    Form4->Button2->click();
    QVERIFY(shown.dialogs.isEmpty());

    const QList<QStringList> expected{{kCatalogueSearch + query},
                                      {kCatalogueSearch + query},
                                      {kDeviceLookup + query},
                                      {kVendorLookup + query}};
    QTRY_COMPARE(opener.calls().size(), expected.size());
    QCOMPARE(argumentsOf(opener.calls()), sorted(expected));
    delete Form4;
    Form4 = nullptr;
    delete Form1;
    Form1 = nullptr;
}

QUARROW_TEST_MAIN(HostileAddressTest)
#include "tst_hostile_addresses.moc"
