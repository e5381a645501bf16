#include "StandInOpener.h"
#include "TestSupport.h"
#include "shell/Endpoints.h"
#include "shell/OpenInShell.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace quarrow;
using namespace quarrow::test;

namespace {

const QString kHome = QStringLiteral("http://") + QStringLiteral(QUARROW_HOME_HOST);
const QString kCatalogue = QStringLiteral("http://") + QStringLiteral(QUARROW_CATALOGUE_HOST);

QString canonical(const QString& folder) { return QFileInfo(folder).canonicalFilePath(); }

}  // namespace

class ShellLauncherTest : public QObject {
    Q_OBJECT

private slots:
    void endpoints_data();
    void endpoints();
    void typedTextIsAQueryValue_data();
    void typedTextIsAQueryValue();
    void targetsReachTheLauncherUnchanged_data();
    void targetsReachTheLauncherUnchanged();
    void sameTargetTwiceIsOpenedTwice();
    void desktopOpenerGetsTheTargetAsOneArgument_data();
    void desktopOpenerGetsTheTargetAsOneArgument();
};

void ShellLauncherTest::endpoints_data() {
    QTest::addColumn<QString>("actual");
    QTest::addColumn<QString>("expected");
    QTest::newRow("home page, no slash after the host") << HomePageUrl() << kHome;
    QTest::newRow("site search") << SiteSearchUrl()
                                 << kHome + QStringLiteral("/index.php?do=search");
    QTest::newRow("catalogue search")
        << CatalogueSearchUrl() << kCatalogue + QStringLiteral("/search/?q=");
    QTest::newRow("support page") << SupportPageUrl() << kCatalogue + QStringLiteral("/index/0-3");
    QTest::newRow("catalogue as the messages name it")
        << CatalogueAddress() << QStringLiteral("www.") + QStringLiteral(QUARROW_CATALOGUE_HOST);
    QTest::newRow("device lookup")
        << DeviceLookupUrl()
        << QStringLiteral("http://www.pcidatabase.com/search.php?device_search_str=");
    QTest::newRow("vendor lookup")
        << VendorLookupUrl()
        << QStringLiteral("http://www.pcidatabase.com/search.php?vendor_search_str=");
    QTest::newRow("hardware-ID site")
        << HardwareIdSiteUrl() << QStringLiteral("http://devid.info/ru/");
    QTest::newRow("device-manager script, bare name")
        << DeviceManagerScript() << QStringLiteral("dz.cmd");
}

void ShellLauncherTest::endpoints() {
    QFETCH(QString, actual);
    QFETCH(QString, expected);
    QCOMPARE(actual, expected);
}

// The windows' own tests check each character class through the windows;
// these are the edges of the encoding itself.
void ShellLauncherTest::typedTextIsAQueryValue_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("address");
    QTest::newRow("empty text: the bare endpoint, ending in =")
        << "" << kCatalogue + QStringLiteral("/search/?q=");
    QTest::newRow("blank, & and #")
        << "7300 GT & #1" << kCatalogue + QStringLiteral("/search/?q=7300%20GT%20%26%20%231");
    QTest::newRow("a letter beyond the basic plane, as its four UTF-8 bytes")
        << "x\U0001F600" << kCatalogue + QStringLiteral("/search/?q=x%F0%9F%98%80");
    // Not something a keyboard types, but a pasted text may hold one.
    QTest::newRow("a lone surrogate, as Qt's UTF-8 encoder writes it")
        << QString(QChar(0xD800)) << kCatalogue + QStringLiteral("/search/?q=%3F");
}

void ShellLauncherTest::typedTextIsAQueryValue() {
    QFETCH(QString, typed);
    QFETCH(QString, address);
    QCOMPARE(WithQueryText(CatalogueSearchUrl(), typed), address);
}

void ShellLauncherTest::targetsReachTheLauncherUnchanged_data() {
    QTest::addColumn<QString>("target");
    QTest::newRow("catalogue address with blanks, &, # and %")
        << QStringLiteral("http://example.org/Звуковая карта&v=1#a %20.zip");
    QTest::newRow("blanks at the ends") << QStringLiteral("  http://example.org/a.zip  ");
    QTest::newRow("endpoint with a query value")
        << CatalogueSearchUrl() + QStringLiteral("7300%20GT");
    QTest::newRow("script") << DeviceManagerScript();
}

void ShellLauncherTest::targetsReachTheLauncherUnchanged() {
    QFETCH(QString, target);
    RecordingLauncher launcher;
    OpenInShell(target);
    QCOMPARE(launcher.targets, QStringList{target});
}

void ShellLauncherTest::sameTargetTwiceIsOpenedTwice() {
    RecordingLauncher launcher;
    OpenInShell(HomePageUrl());
    OpenInShell(HomePageUrl());
    QCOMPARE(launcher.targets, (QStringList{HomePageUrl(), HomePageUrl()}));
}

void ShellLauncherTest::desktopOpenerGetsTheTargetAsOneArgument_data() {
    QTest::addColumn<QString>("target");
    QTest::newRow("catalogue address with blanks, &, # and Cyrillic")
        << QStringLiteral("http://example.org/GeForce 7300 GT & Радеон #1 ;$(id)'\"");
    QTest::newRow("blanks at the ends")
        << QStringLiteral("  ") + HomePageUrl() + QStringLiteral("  ");
    QTest::newRow("script by its bare name") << DeviceManagerScript();
}

// The real launcher, against a stand-in for the desktop's opener: the target
// must arrive as exactly one argument, unchanged, and run in the program's
// current folder, where the bare script name is looked for.
void ShellLauncherTest::desktopOpenerGetsTheTargetAsOneArgument() {
    QFETCH(QString, target);
#if defined(Q_OS_WIN)
    if (target.startsWith(u' ')) {
        QSKIP(
            "Windows' shell takes a target that starts with blanks for a file name, not a web "
            "address, and hands it to no browser.");
    }
#endif
    TemporaryCurrentFolder folder;
    StandInOpener opener;
    if (!opener.unavailable().isEmpty()) QSKIP(qPrintable(opener.unavailable()));

    OpenInShell(target);
    QTRY_COMPARE_WITH_TIMEOUT(opener.calls().size(), 1, 20000);
    const StandInOpener::Call call = opener.calls().constFirst();
    QCOMPARE(call.arguments, QStringList{target});
    QCOMPARE(canonical(call.folder), canonical(folder.path()));
}

QUARROW_TEST_MAIN(ShellLauncherTest)
#include "tst_shell_launcher.moc"
