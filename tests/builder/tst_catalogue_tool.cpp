#include "TestSupport.h"
#include "ToolProcess.h"

#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

using namespace quarrow::test;

namespace {

QByteArray driverRow(const QString& name) {
    return (name +
            QStringLiteral("\tВидеокарта\tWindows XP, Vista, 7\t12,4 МБ\t6.14.13.1\t"
                           "www.nvidia.com/drivers\thttps://www.nvidia.com/drivers\t2026.12\n"))
        .toUtf8();
}

QList<QStringList> tsvRows(const QByteArray& text) {
    QList<QStringList> rows;
    for (const QString& line : QString::fromUtf8(text).split(u'\n', Qt::SkipEmptyParts)) {
        rows.append(line.split(u'\t'));
    }
    return rows;
}

}  // namespace

class TestCatalogueTool : public QObject {
    Q_OBJECT

private slots:
    void badDriverInputStopsTheBuild_data();
    void badDriverInputStopsTheBuild();
    void failedBuildKeepsThePreviousCatalogue();
    void driversThenExportGivesTheRowsBack_data();
    void driversThenExportGivesTheRowsBack();
    void exportRefusesAWrongPassword();
    void folderAndFileNamedInCyrillicWithBlanks();
    void usageErrors_data();
    void usageErrors();
    void helpNamesEveryCommand();
    void versionIsPrinted();
    void messagesNameTheirFile_data();
    void messagesNameTheirFile();
    void exportNeedsADriverOrDeviceTable();
    void progressIsShownOnlyOnATerminal();
    void sampleIsTheSameForTheSameSeed();
    void sampleLooksLikeADriverCatalogue();
    void smallSampleStillHasTheExampleModel();
    void sampleWithoutKnownDevicesIsRefused();
    void mixedNamesAddAKindOfDeviceInRussianToEveryName();

private:
    QTemporaryDir dir_;
};

void TestCatalogueTool::badDriverInputStopsTheBuild_data() {
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<int>("line");
    QTest::addColumn<QString>("message");

    const QByteArray header = DriverHeaderLine();
    const QByteArray good = driverRow(QStringLiteral("NVIDIA GeForce 7300 GT"));
    QByteArray manyRows = header;
    for (int i = 0; i < 1000; ++i) manyRows += good;

    QTest::newRow("too few fields") << header + good + "a\tb\n" << 3 << "2 field(s)";
    QTest::newRow("too many fields") << header + good.chopped(1) + "\textra\n" << 2 << "9 field(s)";
    QTest::newRow("blank line among rows") << header + good + "\n" + good << 3 << "1 field(s)";
    QTest::newRow("invalid UTF-8")
        << header + good + good + "GeForce \xC3\x28" + good.mid(7) << 4 << "not valid UTF-8";
    QTest::newRow("UTF-8 cut off at the end of a line") << header + good.chopped(1) + "\xD0\n"
                                                        << 2 << "not valid UTF-8";
    QTest::newRow("invalid UTF-8 in the header")
        << "\xFF" + header + good << 1 << "not valid UTF-8";
    QTest::newRow("error after many rows") << manyRows + "broken\n" << 1002 << "1 field(s)";
    QTest::newRow("positions 1 to 4 broken")
        << QStringLiteral("Устройство\tНаименование\tos\tРазмер\tВерсия\turl\tURLdr\tver\n")
                   .toUtf8() +
               good
        << 1 << "must be 'Устройство'";
    QTest::newRow("column missing")
        << QStringLiteral("Наименование\tУстройство\tos\tРазмер\tВерсия\turl\tURLdr\n").toUtf8()
        << 1 << "lacks the column 'ver'";
    QTest::newRow("column named twice") << header.chopped(1) + "\turl\n" << 1 << "named twice";
    QTest::newRow("column without a name") << header.chopped(1) + "\t\n" << 1 << "without a name";
    QTest::newRow("no header") << QByteArray() << 1 << "header line";
}

void TestCatalogueTool::badDriverInputStopsTheBuild() {
    QFETCH(QByteArray, input);
    QFETCH(int, line);
    QFETCH(QString, message);

    const ToolRun run = RunCatalogueTool({QStringLiteral("drivers"), QStringLiteral("--password"),
                                          QStringLiteral("kavrel"), QStringLiteral("out.mdb")},
                                         dir_.path(), input);

    QCOMPARE(run.exitCode, 2);
    QVERIFY2(run.err.contains(QStringLiteral("line %1: ").arg(line)), qPrintable(run.err));
    QVERIFY2(run.err.contains(message), qPrintable(run.err));
    QCOMPARE(FilesStartingWith(dir_.path(), QStringLiteral("out.mdb")), QStringList());
}

void TestCatalogueTool::failedBuildKeepsThePreviousCatalogue() {
    const QStringList arguments{QStringLiteral("drivers"), QStringLiteral("--password"),
                                QStringLiteral("kavrel"), QStringLiteral("keep.mdb")};
    const QByteArray first = DriverHeaderLine() + driverRow(QStringLiteral("Realtek RTL8139"));
    QCOMPARE(RunCatalogueTool(arguments, dir_.path(), first).exitCode, 0);

    QCOMPARE(RunCatalogueTool(arguments, dir_.path(), DriverHeaderLine() + "broken\n").exitCode, 2);

    const ToolRun exported =
        RunCatalogueTool({QStringLiteral("export"), QStringLiteral("keep.mdb"),
                          QStringLiteral("--password"), QStringLiteral("kavrel")},
                         dir_.path());
    QCOMPARE(exported.exitCode, 0);
    QCOMPARE(exported.out, first);
    QCOMPARE(FilesStartingWith(dir_.path(), QStringLiteral("keep.mdb")),
             QStringList{QStringLiteral("keep.mdb")});
}

void TestCatalogueTool::driversThenExportGivesTheRowsBack_data() {
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QByteArray>("expected");

    // A ninth column, Cyrillic, quotes, wildcards, empty values and a name
    // outside the Basic Multilingual Plane, in an order that is not sorted.
    const QByteArray table = QStringLiteral(
                                 "Наименование\tУстройство\tos\tРазмер\tВерсия\turl\tURLdr\tver\t"
                                 "Примечание\n"
                                 "Realtek HD Audio\tЗвуковая карта\tWindows 7\t250,0 МБ\t6.0.9\t"
                                 "www.realtek.com\t\t2026.12\tбез быстрой ссылки\n"
                                 "Драйвер «Ёлка» 100% O'Neil_\tДругое\t\t1 КБ\t1\tх.рф\t"
                                 "http://х.рф\t2026.12\t\"кавычки\"\n"
                                 "\t\t\t\t\t\t\t2026.12\t\n"
                                 "Emoji 🚀 driver\tВидеокарта\tWindows 11\t3,1 МБ\t2\ta.example\t"
                                 "https://a.example\t2026.12\t.\n")
                                 .toUtf8();
    QTest::newRow("trigram table") << QStringList() << table << table;
    QTest::newRow("plain table") << QStringList{QStringLiteral("--plain")} << table << table;

    QByteArray windows = "\xEF\xBB\xBF" + table;
    windows.replace("\n", "\r\n");
    QTest::newRow("byte order mark and CR LF") << QStringList() << windows << table;
}

void TestCatalogueTool::driversThenExportGivesTheRowsBack() {
    QFETCH(QStringList, options);
    QFETCH(QByteArray, input);
    QFETCH(QByteArray, expected);

    const ToolRun built =
        RunCatalogueTool(QStringList{QStringLiteral("drivers"), QStringLiteral("--password"),
                                     QStringLiteral("p w")} +
                             options + QStringList{QStringLiteral("round.mdb")},
                         dir_.path(), input);
    QVERIFY2(built.exitCode == 0, qPrintable(built.err));

    const ToolRun exported =
        RunCatalogueTool({QStringLiteral("export"), QStringLiteral("round.mdb"),
                          QStringLiteral("--password"), QStringLiteral("p w")},
                         dir_.path());
    QVERIFY2(exported.exitCode == 0, qPrintable(exported.err));
    QCOMPARE(QString::fromUtf8(exported.out), QString::fromUtf8(expected));
}

void TestCatalogueTool::exportRefusesAWrongPassword() {
    const QByteArray input = DriverHeaderLine() + driverRow(QStringLiteral("Intel I219-V"));
    QCOMPARE(RunCatalogueTool({QStringLiteral("drivers"), QStringLiteral("--password"),
                               QStringLiteral("kavrel"), QStringLiteral("locked.mdb")},
                              dir_.path(), input)
                 .exitCode,
             0);

    const ToolRun run = RunCatalogueTool({QStringLiteral("export"), QStringLiteral("locked.mdb"),
                                          QStringLiteral("--password"), QStringLiteral("Kavrel")},
                                         dir_.path());
    QCOMPARE(run.exitCode, 2);
    QVERIFY2(run.err.contains(QStringLiteral("locked.mdb: Not a valid password.")),
             qPrintable(run.err));
    QCOMPARE(run.out, QByteArray());
}

// Windows hands such names to a program only in its wide-character command
// line, and opens them only through its wide-character calls.
void TestCatalogueTool::folderAndFileNamedInCyrillicWithBlanks() {
    QVERIFY(QDir(dir_.path()).mkpath(QStringLiteral("Драйверы и базы")));
    const QString file = QStringLiteral("Драйверы и базы/каталог драйверов.mdb");
    const QByteArray input = DriverHeaderLine() + driverRow(QStringLiteral("Радеон 9600"));
    const ToolRun built = RunCatalogueTool(
        {QStringLiteral("drivers"), QStringLiteral("--password"), QStringLiteral("kavrel"), file},
        dir_.path(), input);
    QVERIFY2(built.exitCode == 0, qPrintable(built.err));
    QVERIFY2(built.err.contains(file), qPrintable(built.err));
    QVERIFY(QFileInfo::exists(QDir(dir_.path()).filePath(file)));

    const ToolRun exported = RunCatalogueTool(
        {QStringLiteral("export"), file, QStringLiteral("--password"), QStringLiteral("kavrel")},
        dir_.path());
    QVERIFY2(exported.exitCode == 0, qPrintable(exported.err));
    QCOMPARE(exported.out, input);
}

void TestCatalogueTool::usageErrors_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("message");

    const QString password = QStringLiteral("--password");
    const QString out = QStringLiteral("usage.mdb");
    QTest::newRow("no command") << QStringList() << "a command is missing";
    QTest::newRow("unknown command")
        << QStringList{QStringLiteral("build"), out} << "unknown command 'build'";
    QTest::newRow("no file") << QStringList{QStringLiteral("drivers"), password,
                                            QStringLiteral("p")}
                             << "file name is missing";
    QTest::newRow("two files") << QStringList{QStringLiteral("export"), out, out, password,
                                              QStringLiteral("p")}
                               << "only one file name";
    QTest::newRow("no password") << QStringList{QStringLiteral("sample"), out}
                                 << "--password is missing";
    QTest::newRow("password without value")
        << QStringList{QStringLiteral("devices"), out, password} << "Missing value after";
    QTest::newRow("rows not a number")
        << QStringList{QStringLiteral("sample"), QStringLiteral("--rows"),
                       QStringLiteral("many"),   password,
                       QStringLiteral("p"),      out}
        << "--rows takes a whole number";
    QTest::newRow("no rows") << QStringList{QStringLiteral("sample"), QStringLiteral("--rows=0"),
                                            password, QStringLiteral("p"), out}
                             << "--rows takes a whole number";
    for (const char* command : {"drivers", "sample", "devices", "export"}) {
        QTest::newRow(qPrintable(QStringLiteral("empty password, %1").arg(QLatin1String(command))))
            << QStringList{QString::fromLatin1(command), QStringLiteral("--password="), out}
            << "--password may not be empty";
    }
    QTest::newRow("option of another command")
        << QStringList{QStringLiteral("sample"), QStringLiteral("--usb"),
                       QStringLiteral("x"),      password,
                       QStringLiteral("p"),      out}
        << "Unknown option 'usb'";
}

void TestCatalogueTool::usageErrors() {
    QFETCH(QStringList, arguments);
    QFETCH(QString, message);

    const ToolRun run = RunCatalogueTool(arguments, dir_.path());
    QCOMPARE(run.exitCode, 2);
    QVERIFY2(run.err.contains(message), qPrintable(run.err));
    QVERIFY2(run.err.contains(QStringLiteral("Usage:")), qPrintable(run.err));
    QCOMPARE(FilesStartingWith(dir_.path(), QStringLiteral("usage")), QStringList());
}

void TestCatalogueTool::helpNamesEveryCommand() {
    const ToolRun run = RunCatalogueTool({QStringLiteral("--help")}, dir_.path());
    QCOMPARE(run.exitCode, 0);
    const QString usage = QString::fromUtf8(run.out);
    for (const char* command : {"drivers", "sample", "export", "devices"}) {
        QVERIFY2(usage.contains(QStringLiteral("quarrow-catalogue ") + QLatin1String(command)),
                 command);
    }
}

void TestCatalogueTool::versionIsPrinted() {
    const ToolRun run = RunCatalogueTool({QStringLiteral("--version")}, dir_.path());
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.out, QByteArray("quarrow-catalogue (Quarrow) 1.3\n"));
}

void TestCatalogueTool::messagesNameTheirFile_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message");

    const QString password = QStringLiteral("--password=kavrel");
    QTest::newRow("bad row on standard input")
        << QStringList{QStringLiteral("drivers"), password, QStringLiteral("named.mdb")}
        << DriverHeaderLine() + "a\tb\n"
        << 2 << "standard input: line 2: 2 field(s)";
    QTest::newRow("catalogue in a folder that is not there")
        << QStringList{QStringLiteral("drivers"), password, QStringLiteral("no/such/named.mdb")}
        << DriverHeaderLine() + driverRow(QStringLiteral("Intel I219-V")) << 1
        << "no/such/named.mdb: ";
    QTest::newRow("registry not there")
        << QStringList{QStringLiteral("sample"), QStringLiteral("--pci=missing.ids"), password,
                       QStringLiteral("named.mdb")}
        << QByteArray() << 2 << "missing.ids: cannot read it";
    QTest::newRow("catalogue not there")
        << QStringList{QStringLiteral("export"), QStringLiteral("named-missing.mdb"), password}
        << QByteArray() << 2 << "named-missing.mdb: ";
    QTest::newRow("registry of no vendor")
        << QStringList{QStringLiteral("devices"), QStringLiteral("--pci=/etc/passwd"), password,
                       QStringLiteral("named.mdb")}
        << QByteArray() << 2 << "/etc/passwd: no vendor could be read from it";
}

void TestCatalogueTool::messagesNameTheirFile() {
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, input);
    QFETCH(int, exitCode);
    QFETCH(QString, message);

    const ToolRun run = RunCatalogueTool(arguments, dir_.path(), input);
    QCOMPARE(run.exitCode, exitCode);
    QVERIFY2(run.err.startsWith(QStringLiteral("quarrow-catalogue: ") + message),
             qPrintable(run.err));
    QCOMPARE(run.out, QByteArray());
    QCOMPARE(FilesStartingWith(dir_.path(), QStringLiteral("named")), QStringList());
}

void TestCatalogueTool::exportNeedsADriverOrDeviceTable() {
    // An empty file is an empty database, which opens with any password.
    QFile empty(dir_.filePath(QStringLiteral("blank.mdb")));
    QVERIFY(empty.open(QIODevice::WriteOnly));
    empty.close();

    const ToolRun run = RunCatalogueTool({QStringLiteral("export"), QStringLiteral("blank.mdb"),
                                          QStringLiteral("--password=kavrel")},
                                         dir_.path());
    QCOMPARE(run.exitCode, 2);
    QCOMPARE(run.err,
             QStringLiteral("quarrow-catalogue: blank.mdb: it holds neither a driver table "
                            "(table_1) nor a device table (device)\n"));
    QCOMPARE(run.out, QByteArray());
}

void TestCatalogueTool::progressIsShownOnlyOnATerminal() {
    const QStringList arguments{QStringLiteral("sample"), QStringLiteral("--rows=200000"),
                                QStringLiteral("--password=kavrel"), QStringLiteral("long.mdb")};
    const ToolRun piped = RunCatalogueTool(arguments, dir_.path());
    QVERIFY2(piped.exitCode == 0, qPrintable(piped.err));
    QCOMPARE(piped.err,
             QStringLiteral("quarrow-catalogue: wrote 200000 sample rows to long.mdb\n"));

#if defined(Q_OS_WIN)
    QSKIP(
        "The piped half ran; for the terminal half this suite has no console of Windows to "
        "give the tool (script(1) gives it a terminal on Linux).");
#endif
    // script(1) gives the tool a terminal and copies what it shows.
    const QString script = QStandardPaths::findExecutable(QStringLiteral("script"));
    if (script.isEmpty()) QSKIP("script (util-linux) is not installed");
    QStringList command{QDir(BuildDir()).filePath(QStringLiteral("quarrow-catalogue"))};
    command += arguments;
    command.last() = QStringLiteral("long-terminal.mdb");
    QProcess process;
    process.setWorkingDirectory(dir_.path());
    process.start(script,
                  {QStringLiteral("-qec"), command.join(u' '), QStringLiteral("/dev/null")});
    QVERIFY(process.waitForFinished(120000));
    QCOMPARE(process.exitCode(), 0);
    const QString shown = QString::fromUtf8(process.readAllStandardOutput());
    const QRegularExpression progress(QStringLiteral(
        "\\rlong-terminal\\.mdb: [0-9,]+ rows \\(\\d+%\\), [0-9,]+ rows/s, \\d+ s left"));
    QVERIFY2(progress.match(shown).hasMatch(), qPrintable(shown));
    QVERIFY2(shown.contains(
                 QStringLiteral("long-terminal.mdb: 200,000 rows, building the search index")),
             qPrintable(shown));
    QVERIFY2(shown.contains(QStringLiteral("wrote 200000 sample rows to long-terminal.mdb")),
             qPrintable(shown));
}

void TestCatalogueTool::sampleIsTheSameForTheSameSeed() {
    auto sample = [this](const QString& file, const QString& seed) {
        const ToolRun built =
            RunCatalogueTool({QStringLiteral("sample"), QStringLiteral("--rows"),
                              QStringLiteral("3000"), QStringLiteral("--seed"), seed,
                              QStringLiteral("--password"), QStringLiteral("kavrel"), file},
                             dir_.path());
        if (built.exitCode != 0) qWarning("%s", qPrintable(built.err));
        return RunCatalogueTool({QStringLiteral("export"), file, QStringLiteral("--password"),
                                 QStringLiteral("kavrel")},
                                dir_.path())
            .out;
    };
    const QByteArray first = sample(QStringLiteral("seed-a.mdb"), QStringLiteral("7"));
    const QByteArray again = sample(QStringLiteral("seed-b.mdb"), QStringLiteral("7"));
    const QByteArray other = sample(QStringLiteral("seed-c.mdb"), QStringLiteral("8"));

    QCOMPARE(tsvRows(first).size(), 3001);
    QVERIFY(first == again);
    QVERIFY(first != other);
}

void TestCatalogueTool::sampleLooksLikeADriverCatalogue() {
    const ToolRun built = RunCatalogueTool({QStringLiteral("sample"), QStringLiteral("--password"),
                                            QStringLiteral("kavrel"), QStringLiteral("look.mdb")},
                                           dir_.path());
    QVERIFY2(built.exitCode == 0, qPrintable(built.err));
    const QList<QStringList> rows =
        tsvRows(RunCatalogueTool({QStringLiteral("export"), QStringLiteral("look.mdb"),
                                  QStringLiteral("--password"), QStringLiteral("kavrel")},
                                 dir_.path())
                    .out);

    QCOMPARE(rows.value(0), tsvRows(DriverHeaderLine()).value(0));
    QCOMPARE(rows.size(), 5001);
    const QSet<QString> kinds{QStringLiteral("Видеокарта"),
                              QStringLiteral("Сетевая карта"),
                              QStringLiteral("Звуковая карта"),
                              QStringLiteral("Контроллер USB"),
                              QStringLiteral("Wi-Fi адаптер"),
                              QStringLiteral("Bluetooth-адаптер"),
                              QStringLiteral("Контроллер SATA/RAID"),
                              QStringLiteral("Кардридер"),
                              QStringLiteral("Контроллер FireWire"),
                              QStringLiteral("ТВ-тюнер"),
                              QStringLiteral("Модем"),
                              QStringLiteral("Чипсет")};
    const QRegularExpression size(QStringLiteral("^\\d+(,\\d)? (МБ|КБ)$"));
    const QRegularExpression version(QStringLiteral("^\\d+\\.\\d+\\.\\d+\\.\\d+$"));
    int noSystems = 0;
    int noFastAddress = 0;
    int example = 0;
    int notebook = 0;
    QSet<QString> names;
    for (const QStringList& row : rows.mid(1)) {
        QCOMPARE(row.size(), 8);
        names.insert(row[0]);
        if (row[0].contains(QStringLiteral("7300 GT"))) ++example;
        if (row[0].contains(QStringLiteral("НОУТБУК"), Qt::CaseInsensitive)) ++notebook;
        QVERIFY2(kinds.contains(row[1]), qPrintable(row[1]));
        if (row[2].isEmpty()) ++noSystems;
        QVERIFY2(size.match(row[3]).hasMatch(), qPrintable(row[3]));
        QVERIFY2(version.match(row[4]).hasMatch(), qPrintable(row[4]));
        QVERIFY2(!row[5].isEmpty() && !row[5].contains(QStringLiteral("://")), qPrintable(row[5]));
        if (row[6].isEmpty()) {
            ++noFastAddress;
        } else {
            QVERIFY2(row[6] == QStringLiteral("https://") + row[5] ||
                         row[6] == QStringLiteral("http://") + row[5],
                     qPrintable(row[6]));
        }
        QCOMPARE(row[7], QStringLiteral("2026.12"));
    }
    // One in twenty and one in ten, with room for chance.
    QVERIFY2(noSystems > 150 && noSystems < 400, qPrintable(QString::number(noSystems)));
    QVERIFY2(noFastAddress > 350 && noFastAddress < 700,
             qPrintable(QString::number(noFastAddress)));
    QVERIFY2(example >= 10, qPrintable(QString::number(example)));
    // About one name in 200 has a Russian qualifier, half of them for notebooks.
    QVERIFY2(notebook >= 5 && notebook <= 25, qPrintable(QString::number(notebook)));
    QVERIFY2(names.size() > 500, qPrintable(QString::number(names.size())));
}

void TestCatalogueTool::smallSampleStillHasTheExampleModel() {
    const ToolRun built = RunCatalogueTool(
        {QStringLiteral("sample"), QStringLiteral("--rows"), QStringLiteral("10"),
         QStringLiteral("--password"), QStringLiteral("kavrel"), QStringLiteral("small.mdb")},
        dir_.path());
    QVERIFY2(built.exitCode == 0, qPrintable(built.err));
    const QByteArray text =
        RunCatalogueTool({QStringLiteral("export"), QStringLiteral("small.mdb"),
                          QStringLiteral("--password"), QStringLiteral("kavrel")},
                         dir_.path())
            .out;
    QCOMPARE(tsvRows(text).size(), 11);
    QVERIFY2(text.count("7300 GT") >= 3, text.constData());
}

void TestCatalogueTool::sampleWithoutKnownDevicesIsRefused() {
    QFile ids(dir_.filePath(QStringLiteral("unknown.ids")));
    QVERIFY(ids.open(QIODevice::WriteOnly));
    ids.write("0001  SafeNet (wrong ID)\n\t0001  Some Ethernet controller\n");
    ids.close();

    const ToolRun run = RunCatalogueTool(
        {QStringLiteral("sample"), QStringLiteral("--pci"), QStringLiteral("unknown.ids"),
         QStringLiteral("--password"), QStringLiteral("kavrel"), QStringLiteral("none.mdb")},
        dir_.path());
    QCOMPARE(run.exitCode, 2);
    QVERIFY2(run.err.contains(QStringLiteral("lists no device")), qPrintable(run.err));
    QCOMPARE(FilesStartingWith(dir_.path(), QStringLiteral("none.mdb")), QStringList());
}

void TestCatalogueTool::mixedNamesAddAKindOfDeviceInRussianToEveryName() {
    const auto sample = [this](const QString& file, const QStringList& extra) {
        const ToolRun built = RunCatalogueTool(
            QStringList{QStringLiteral("sample"), QStringLiteral("--rows"), QStringLiteral("500"),
                        QStringLiteral("--password"), QStringLiteral("kavrel"), file} +
                extra,
            dir_.path());
        if (built.exitCode != 0) return QList<QStringList>();
        return tsvRows(RunCatalogueTool({QStringLiteral("export"), file,
                                         QStringLiteral("--password"), QStringLiteral("kavrel")},
                                        dir_.path())
                           .out);
    };
    const QList<QStringList> maker = sample(QStringLiteral("maker.mdb"), {});
    const QList<QStringList> mixed =
        sample(QStringLiteral("mixed.mdb"), {QStringLiteral("--mixed-names")});
    QCOMPARE(mixed.size(), 501);
    QCOMPARE(maker.size(), mixed.size());
    const QRegularExpression latin(QStringLiteral("[A-Za-z]"));
    const QRegularExpression cyrillicWord(QStringLiteral(" [а-яё]+( [а-яё]+)?( \\(|$)"));
    for (qsizetype r = 1; r < mixed.size(); ++r) {
        const QString& name = mixed[r][0];
        QVERIFY2(latin.match(name).hasMatch() && cyrillicWord.match(name).hasMatch(),
                 qPrintable(name));
        // The same rows otherwise: only the name has the word added.
        QVERIFY2(name.startsWith(maker[r][0].section(QStringLiteral(" ("), 0, 0) + u' '),
                 qPrintable(name + QStringLiteral(" / ") + maker[r][0]));
        QCOMPARE(mixed[r].mid(1), maker[r].mid(1));
    }
}

QUARROW_TEST_MAIN(TestCatalogueTool)
#include "tst_catalogue_tool.moc"
