#include "CatalogueWriter.h"
#include "StandInOpener.h"
#include "TestSupport.h"
#include "catalogue/TForm1.h"
#include "shell/OpenInShell.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace quarrow;
using namespace quarrow::test;

class HostileAddressTest : public QObject {
    Q_OBJECT

private slots:
    void onlyWebAddressesReachTheOpener_data();
    void onlyWebAddressesReachTheOpener();
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
    const QList<StandInOpener::Call> calls = opener.calls();
    QCOMPARE(calls.size(), expected.size());
    for (qsizetype k = 0; k < calls.size(); ++k) {
        QCOMPARE(calls[k].arguments, QStringList{expected[k]});
        QVERIFY(!calls[k].arguments.front().startsWith(u'-'));
    }
    delete Form1;
    Form1 = nullptr;
}

QUARROW_TEST_MAIN(HostileAddressTest)
#include "tst_hostile_addresses.moc"
