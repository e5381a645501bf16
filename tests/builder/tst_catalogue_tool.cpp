#include "CatalogueWriter.h"
#include "TestSupport.h"
#include "ToolProcess.h"
#include "TsvReader.h"

#include <QCryptographicHash>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#if !defined(Q_OS_WIN)
#include <sys/stat.h>
#endif

using namespace quarrow;
using namespace quarrow::test;

namespace {

QByteArray driverRow(const QString& name) {
    return (name +
            QStringLiteral("\tВидеокарта\tWindows XP, Vista, 7\t12,4 МБ\t6.14.13.1\t"
                           "www.nvidia.com/drivers\thttps://www.nvidia.com/drivers\t2026.12\n"))
        .toUtf8();
}

QByteArray contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// What an existing output is before a build is pointed at it.
enum class Existing {
    TextFile,
    EmptyFile,
    DriverCatalogue,
    DeviceCatalogue,
    Folder,
    Fifo,
    DeadLink
};

// Makes `path` what `kind` says; false where this system cannot.
bool makeExisting(Existing kind, const QString& path) {
    switch (kind) {
        case Existing::TextFile:
        case Existing::EmptyFile: {
            QFile file(path);
            if (!file.open(QIODevice::WriteOnly)) return false;
            if (kind == Existing::TextFile) file.write("notes that are not a catalogue\n");
            return true;
        }
        case Existing::DriverCatalogue:
            WriteDriverCatalogue(
                path, QStringLiteral("kavrel"),
                ParseTsv(DriverHeaderLine() + driverRow(QStringLiteral("Intel I219-V"))));
            return true;
        case Existing::DeviceCatalogue:
            WriteDeviceCatalogue(path, QStringLiteral("kavrel"),
                                 {{QStringLiteral("Код"), QStringLiteral("device")},
                                  {{QStringLiteral("1"), QStringLiteral("PCI\\VEN_8086")}}});
            return true;
        case Existing::Folder:
            return QDir().mkpath(path);
        case Existing::Fifo:
#if defined(Q_OS_WIN)
            return false;
#else
            return ::mkfifo(QFile::encodeName(path).constData(), 0644) == 0;
#endif
        case Existing::DeadLink:
#if defined(Q_OS_WIN)
            return false;
#else
            return QFile::link(QStringLiteral("nowhere.mdb"), path);
#endif
    }
    return false;
}

// The bytes of a file, or what a folder, pipe or link is.
QByteArray stateOf(const QString& path) {
    const QFileInfo info(path);
    if (info.isSymLink()) return "link to " + info.symLinkTarget().toUtf8();
    if (info.isDir()) return "folder";
    if (!info.isFile()) return "not a regular file";
    return QCryptographicHash::hash(contents(path), QCryptographicHash::Sha256);
}

QList<QStringList> tsvRows(const QByteArray& text) {
    QList<QStringList> rows;
    for (const QString& line : QString::fromUtf8(text).split(u'\n', Qt::SkipEmptyParts)) {
        rows.append(line.split(u'\t'));
    }
    return rows;
}

}  // namespace

Q_DECLARE_METATYPE(Existing)

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
    void valuesTheProgramCannotReadAreRefused_data();
    void valuesTheProgramCannotReadAreRefused();
    void anOutputThatIsNotACatalogueIsKept_data();
    void anOutputThatIsNotACatalogueIsKept();
    void aSymbolicLinkKeepsLeadingToTheNewCatalogue();
    void aReplacedCatalogueKeepsItsPermissions();

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
    QTest::newRow("blank line among rows") << header + good + "\n" + good << 3 << "line is empty";
    QTest::newRow("blank line at the end") << header + good + "\n" << 3 << "line is empty";
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

    QByteArray crOnly = header + good + good;
    crOnly.replace('\n', '\r');
    QTest::newRow("lines ending in CR only") << crOnly << 1 << "the lines end in CR only";
    QTest::newRow("CR inside a row")
        << header + good + good.left(10) + "\r" + good.mid(10) << 3 << "holds a CR";
    const QString text = QString::fromUtf8(header + good);
    QByteArray utf16(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
    QTest::newRow("UTF-16 with a byte order mark")
        << QByteArray("\xFF\xFE") + utf16 << 1 << "the text is UTF-16";
    QTest::newRow("UTF-16 without one") << utf16 << 1 << "is the text UTF-16?";
    QTest::newRow("NUL in a value")
        << header + good + good.left(5) + QByteArray(1, '\0') + good.mid(5) << 3 << "NUL byte";
    QByteArray columns501 = header.chopped(1);
    for (int c = 0; c < 493; ++c) columns501 += "\tc" + QByteArray::number(c);
    QTest::newRow("501 columns") << columns501 + "\n"
                                 << 1
                                 << "the header names 501 columns; the program reads tables of "
                                    "at most 500 columns";
    QByteArray columns3000 = header.chopped(1);
    for (int c = 0; c < 2992; ++c) columns3000 += "\tc" + QByteArray::number(c);
    QTest::newRow("3000 columns") << columns3000 + "\n" << 1 << "names 3000 columns";
    QTest::newRow("names too long together")
        << header.chopped(1) + "\t" + QByteArray(25000, 'n') + "\n"
        << 1 << "bytes together; the program reads tables whose names take at most 25000 bytes";
    for (const char* name : {"oid", "_ROWID_", "rowid"}) {
        QTest::newRow(qPrintable(QStringLiteral("column named %1").arg(QLatin1String(name))))
            << header.chopped(1) + "\t" + name + "\n"
            << 1 << "reserved by the database engine";
    }
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
    QTest::newRow("wait not a number")
        << QStringList{QStringLiteral("drivers"), QStringLiteral("--wait=soon"), password,
                       QStringLiteral("p"), out}
        << "--wait takes a whole number from 0 to 86400";
    QTest::newRow("force for export")
        << QStringList{QStringLiteral("export"), out, QStringLiteral("--force"), password,
                       QStringLiteral("p")}
        << "Unknown option 'force'";
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
    QVERIFY2(usage.contains(QStringLiteral("is not replaced unless --force is given")),
             qPrintable(usage));
    QVERIFY2(usage.contains(QStringLiteral("--wait S sets how long a build waits")),
             qPrintable(usage));
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

void TestCatalogueTool::valuesTheProgramCannotReadAreRefused_data() {
    QTest::addColumn<qsizetype>("nameBytes");
    QTest::addColumn<qsizetype>("otherBytes");
    QTest::addColumn<QString>("message");
    // The program's connections read values and rows of up to 100,000,000
    // bytes; a row of eight text values takes 12 bytes of its own besides.
    QTest::newRow("a name one byte over")
        << qsizetype(100'000'001) << qsizetype(0)
        << "line 2: the value in column 'Наименование' takes 100,000,001 bytes; the program "
           "reads values of at most 100,000,000 bytes";
    QTest::newRow("a row one byte over")
        << qsizetype(99'999'989) << qsizetype(0)
        << "line 2: the row takes 100,000,001 bytes with its values together";
    QTest::newRow("two values of half the most")
        << qsizetype(50'000'000) << qsizetype(50'000'000) << "line 2: the row takes 100,000,";
}

void TestCatalogueTool::valuesTheProgramCannotReadAreRefused() {
    QFETCH(qsizetype, nameBytes);
    QFETCH(qsizetype, otherBytes);
    QFETCH(QString, message);

    const QByteArray input = DriverHeaderLine() + QByteArray(nameBytes, 'n') + '\t' +
                             QByteArray(otherBytes, 'd') + "\t\t\t\t\t\t\n";
    const ToolRun run = RunCatalogueTool({QStringLiteral("drivers"), QStringLiteral("--password"),
                                          QStringLiteral("kavrel"), QStringLiteral("huge.mdb")},
                                         dir_.path(), input);
    QCOMPARE(run.exitCode, 2);
    QVERIFY2(run.err.contains(QStringLiteral("standard input: ") + message), qPrintable(run.err));
    QCOMPARE(FilesStartingWith(dir_.path(), QStringLiteral("huge.mdb")), QStringList());
}

void TestCatalogueTool::anOutputThatIsNotACatalogueIsKept_data() {
    QTest::addColumn<Existing>("existing");
    QTest::addColumn<QString>("command");
    QTest::addColumn<bool>("force");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message");

    const QString notReplaced = QStringLiteral(
        "it is not a catalogue of the kind being built (an SQLite database with the table %1), "
        "so the build does not replace it; give --force to replace it all the same");
    const QString drivers = notReplaced.arg(QStringLiteral("table_1"));
    QTest::newRow("a text file") << Existing::TextFile << "drivers" << false << 2 << drivers;
    QTest::newRow("a text file, forced") << Existing::TextFile << "drivers" << true << 0 << "";
    QTest::newRow("an empty file") << Existing::EmptyFile << "sample" << false << 0 << "";
    QTest::newRow("a device catalogue for drivers")
        << Existing::DeviceCatalogue << "sample" << false << 2 << drivers;
    QTest::newRow("a driver catalogue for devices")
        << Existing::DriverCatalogue << "devices" << false << 2
        << notReplaced.arg(QStringLiteral("device"));
    QTest::newRow("a driver catalogue")
        << Existing::DriverCatalogue << "drivers" << false << 0 << "";
    for (const bool force : {false, true}) {
        const QString forced = force ? QStringLiteral(", forced") : QString();
        QTest::newRow(qPrintable(QStringLiteral("a folder") + forced))
            << Existing::Folder << "drivers" << force << 2 << "it is a folder";
        QTest::newRow(qPrintable(QStringLiteral("a named pipe") + forced))
            << Existing::Fifo << "drivers" << force << 2
            << "it is not a regular file but a device, pipe or socket, which a build never "
               "replaces";
        QTest::newRow(qPrintable(QStringLiteral("a link to nothing") + forced))
            << Existing::DeadLink << "drivers" << force << 2
            << "it is a symbolic link to '<folder>/nowhere.mdb', which does not exist";
    }
}

void TestCatalogueTool::anOutputThatIsNotACatalogueIsKept() {
    QFETCH(Existing, existing);
    QFETCH(QString, command);
    QFETCH(bool, force);
    QFETCH(int, exitCode);
    QFETCH(QString, message);

    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    const QString output = folder.filePath(QStringLiteral("out.mdb"));
    if (!makeExisting(existing, output)) QSKIP("This system has no such file.");
    const QByteArray before = stateOf(output);
    QStringList arguments{command, QStringLiteral("--password"), QStringLiteral("kavrel"),
                          QStringLiteral("out.mdb")};
    if (force) arguments.append(QStringLiteral("--force"));
    QByteArray input;
    if (command == u"drivers") input = DriverHeaderLine() + driverRow(QStringLiteral("Realtek"));
    if (command == u"sample") arguments.append(QStringLiteral("--rows=10"));
    if (command == u"devices") {
        // Registries of one vendor, wherever the system keeps its own.
        for (const char* kind : {"pci", "usb"}) {
            const QString registry =
                dir_.filePath(QStringLiteral("one-vendor.%1.ids").arg(QLatin1String(kind)));
            QFile file(registry);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("8086  Intel Corporation\n\t1533  I210 Gigabit Network Connection\n");
            file.close();
            arguments.append(QStringLiteral("--%1=%2").arg(QLatin1String(kind), registry));
        }
    }

    const ToolRun run = RunCatalogueTool(arguments, folder.path(), input);
    QCOMPARE(run.exitCode, exitCode);
    if (exitCode == 0) {
        QVERIFY(stateOf(output) != before);
        const ToolRun exported =
            RunCatalogueTool({QStringLiteral("export"), QStringLiteral("out.mdb"),
                              QStringLiteral("--password"), QStringLiteral("kavrel")},
                             folder.path());
        QVERIFY2(exported.exitCode == 0, qPrintable(exported.err));
    } else {
        message.replace(QStringLiteral("<folder>"), folder.path());
        QCOMPARE(run.err, QStringLiteral("quarrow-catalogue: out.mdb: ") + message + u'\n');
        QCOMPARE(stateOf(output), before);
    }
    // Nothing else is left beside it: no temporary file, and no lock but on
    // Windows, where the lock file stays.
    QStringList left =
        QDir(folder.path())
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
#if defined(Q_OS_WIN)
    left.removeOne(QStringLiteral(".out.mdb.quarrow-build-lock"));
#endif
    QCOMPARE(left, QStringList{QStringLiteral("out.mdb")});
}

void TestCatalogueTool::aSymbolicLinkKeepsLeadingToTheNewCatalogue() {
#if defined(Q_OS_WIN)
    QSKIP("Symbolic links on Windows need a privilege that users do not have by default.");
#endif
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    QVERIFY(QDir(folder.path()).mkpath(QStringLiteral("shared")));
    const QString target = folder.filePath(QStringLiteral("shared/vek.mdb"));
    const QString link = folder.filePath(QStringLiteral("vek.mdb"));
    QVERIFY(makeExisting(Existing::DriverCatalogue, target));
    QVERIFY(QFile::link(QStringLiteral("shared/vek.mdb"), link));

    const QByteArray rows = DriverHeaderLine() + driverRow(QStringLiteral("Radeon 9600"));
    const ToolRun run = RunCatalogueTool({QStringLiteral("drivers"), QStringLiteral("--password"),
                                          QStringLiteral("kavrel"), QStringLiteral("vek.mdb")},
                                         folder.path(), rows);
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));

    QVERIFY(QFileInfo(link).isSymLink());
    QCOMPARE(QFileInfo(link).symLinkTarget(), target);
    const ToolRun exported =
        RunCatalogueTool({QStringLiteral("export"), QStringLiteral("vek.mdb"),
                          QStringLiteral("--password"), QStringLiteral("kavrel")},
                         folder.path());
    QCOMPARE(exported.out, rows);
    QCOMPARE(QDir(folder.path())
                 .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot),
             (QStringList{QStringLiteral("shared"), QStringLiteral("vek.mdb")}));
    QCOMPARE(QDir(folder.filePath(QStringLiteral("shared")))
                 .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot),
             QStringList{QStringLiteral("vek.mdb")});
}

void TestCatalogueTool::aReplacedCatalogueKeepsItsPermissions() {
#if defined(Q_OS_WIN)
    QSKIP("Windows keeps permissions in access lists, which a replaced file inherits anyway.");
#endif
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    const QString output = folder.filePath(QStringLiteral("vek.mdb"));
    QVERIFY(makeExisting(Existing::DriverCatalogue, output));
    // Shared with a group that deletes rows too.
    const QFile::Permissions shared =
        QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::WriteGroup;
    QVERIFY(QFile::setPermissions(output, shared));

    const ToolRun run =
        RunCatalogueTool({QStringLiteral("sample"), QStringLiteral("--rows=10"),
                          QStringLiteral("--password=kavrel"), QStringLiteral("vek.mdb")},
                         folder.path());
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    QCOMPARE(QFile::permissions(output) & ~(QFile::ReadUser | QFile::WriteUser), shared);
}

QUARROW_TEST_MAIN(TestCatalogueTool)
#include "tst_catalogue_tool.moc"
