// The proof by which a rollback journal is found to belong to another file
// than the one beside it, on journals written byte by byte as the engine
// writes them: only a journal that the file cannot have come from is set
// aside; every other one is left for the engine to roll back.
#include "CatalogueWriter.h"
#include "TestSupport.h"
#include "db/CatalogueFile.h"
#include "db/RollbackJournal.h"

#include <QFile>
#include <QtTest>

using namespace quarrow;

namespace {

constexpr std::uint32_t kSector = 512;

void put32(QByteArray& bytes, qsizetype at, std::uint32_t value) {
    bytes[at] = char(value >> 24);
    bytes[at + 1] = char(value >> 16);
    bytes[at + 2] = char(value >> 8);
    bytes[at + 3] = char(value);
}

std::uint32_t get32(const QByteArray& bytes, qsizetype at) {
    return std::uint32_t(quint8(bytes[at])) << 24 | std::uint32_t(quint8(bytes[at + 1])) << 16 |
           std::uint32_t(quint8(bytes[at + 2])) << 8 | std::uint32_t(quint8(bytes[at + 3]));
}

struct Record {
    std::uint32_t page;
    QByteArray content;
    bool torn = false;  // its checksum does not fit
};

// A journal as the engine writes it: a header padded to a sector, then each
// record's page number, the page as it was, and its checksum.
QByteArray journalOf(std::uint32_t originalPages, std::uint32_t pageSize,
                     const QList<Record>& records) {
    constexpr std::uint32_t kChecksumInit = 0x12345678;
    QByteArray journal(kSector, '\0');
    const char magic[] = "\xd9\xd5\x05\xf9\x20\xa1\x63\xd7";
    journal.replace(0, 8, QByteArray(magic, 8));
    put32(journal, 8, std::uint32_t(records.size()));
    put32(journal, 12, kChecksumInit);
    put32(journal, 16, originalPages);
    put32(journal, 20, kSector);
    put32(journal, 24, pageSize);
    for (const Record& record : records) {
        QByteArray bytes(8 + qsizetype(pageSize), '\0');
        put32(bytes, 0, record.page);
        bytes.replace(4, record.content.size(), record.content);
        std::uint32_t sum = kChecksumInit;
        for (qsizetype i = qsizetype(pageSize) - 200; i > 0; i -= 200) sum += quint8(bytes[4 + i]);
        put32(bytes, 4 + qsizetype(pageSize), record.torn ? sum + 1 : sum);
        journal += bytes;
    }
    return journal;
}

enum class Verdict { LeftToTheEngine, SetAside };

}  // namespace

Q_DECLARE_METATYPE(Verdict)

class JournalRulesTest : public QObject {
    Q_OBJECT

private slots:
    void journalsBesideACatalogue_data();
    void journalsBesideACatalogue();
    void journalWithoutTheEnginesHeaderIsLeft();
};

void JournalRulesTest::journalsBesideACatalogue_data() {
    // How the journal is made from the file: the saved page 1's change
    // counter relative to the file's (no page 1 when absent), the page size
    // (0: the file's), the original page count relative to the file's, and
    // records before page 1.
    QTest::addColumn<int>("counterOffset");
    QTest::addColumn<bool>("savesPageOne");
    QTest::addColumn<bool>("pageOneTorn");
    QTest::addColumn<int>("otherPagesFirst");
    QTest::addColumn<int>("pageSize");
    QTest::addColumn<int>("pagesOffset");
    QTest::addColumn<int>("grownPages");  // added to the file since the start
    QTest::addColumn<Verdict>("verdict");
    const auto row = [](const char* name, int counterOffset, bool savesPageOne, bool torn,
                        int otherPagesFirst, int pageSize, int pagesOffset, Verdict verdict,
                        int grownPages = 0) {
        QTest::newRow(name) << counterOffset << savesPageOne << torn << otherPagesFirst << pageSize
                            << pagesOffset << grownPages << verdict;
    };
    row("page 1 saved with the file's counter", 0, true, false, 0, 0, 0, Verdict::LeftToTheEngine);
    row("page 1 saved with the counter before the file's", -1, true, false, 0, 0, 0,
        Verdict::LeftToTheEngine);
    row("page 1 saved with another counter", 7, true, false, 0, 0, 0, Verdict::SetAside);
    row("page 1 saved after other pages, with another counter", 7, true, false, 3, 0, 0,
        Verdict::SetAside);
    row("page 1 saved with the file's counter, another page size", 0, true, false, 0, 8192, 0,
        Verdict::LeftToTheEngine);
    row("no page 1, the file's page size and pages", 0, false, false, 2, 0, 0,
        Verdict::LeftToTheEngine);
    row("no page 1, the file grown since the start", 0, false, false, 2, 0, 0,
        Verdict::LeftToTheEngine, 3);
    row("no page 1, the file's header counting more pages than at the start", 0, false, false, 2, 0,
        -2, Verdict::SetAside);
    row("no page 1, another page size", 0, false, false, 2, 8192, 0, Verdict::SetAside);
    row("no page 1, fewer pages in the file than at the start", 0, false, false, 2, 0, 5,
        Verdict::SetAside);
    row("page 1 torn, fewer pages in the file than at the start", 7, true, true, 0, 0, 5,
        Verdict::LeftToTheEngine);
    row("only a header, the file's pages", 0, false, false, 0, 0, 0, Verdict::LeftToTheEngine);
    row("only a header, fewer pages in the file than at the start", 0, false, false, 0, 0, 3,
        Verdict::SetAside);
}

void JournalRulesTest::journalsBesideACatalogue() {
    QFETCH(int, counterOffset);
    QFETCH(bool, savesPageOne);
    QFETCH(bool, pageOneTorn);
    QFETCH(int, otherPagesFirst);
    QFETCH(int, pageSize);
    QFETCH(int, pagesOffset);
    QFETCH(int, grownPages);
    QFETCH(Verdict, verdict);
    quarrow::test::TemporaryCurrentFolder folder;
    const QString path = EnginePathOf(folder.filePath(QStringLiteral("vek.mdb")));
    CatalogueTable table{quarrow::test::DriverCatalogueColumns(), {}};
    for (int r = 0; r < 200; ++r) {
        table.rows.append({QStringLiteral("GeForce %1").arg(r), QStringLiteral("Видеокарта"),
                           QStringLiteral("Windows XP"), QStringLiteral("1 МБ"),
                           QStringLiteral("1.0"), QString(), QString(), QStringLiteral("1")});
    }
    WriteDriverCatalogue(path, QStringLiteral("kavrel"), table);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadWrite));
    const QByteArray original = file.readAll();
    const std::uint32_t filePageSize = get32(original, 14) & 0xffff;
    const std::uint32_t journalPageSize = pageSize != 0 ? std::uint32_t(pageSize) : filePageSize;
    const std::uint32_t filePages = std::uint32_t(original.size()) / filePageSize;
    QCOMPARE(get32(original, 28), filePages);
    // Pages a transaction adds leave the header's count as it was.
    file.write(QByteArray(grownPages * qsizetype(filePageSize), '\0'));
    file.close();
    const QByteArray content = original + QByteArray(grownPages * qsizetype(filePageSize), '\0');

    QList<Record> records;
    for (int k = 0; k < otherPagesFirst; ++k) {
        records.append(
            {std::uint32_t(k + 2), content.mid((k + 1) * filePageSize, journalPageSize)});
    }
    if (savesPageOne) {
        QByteArray pageOne = content.left(journalPageSize);
        put32(pageOne, 24, get32(content, 24) + std::uint32_t(counterOffset));
        records.append({1, pageOne, pageOneTorn});
    }
    const QByteArray journal =
        journalOf(filePages + std::uint32_t(pagesOffset), journalPageSize, records);
    const QString journalPath = JournalPathOf(path);
    QFile out(journalPath);
    QVERIFY(out.open(QIODevice::WriteOnly) && out.write(journal) == journal.size());
    out.close();

    const HotJournal found = HotJournalBeside(path);
    const QString notice = SetAsideStaleJournal(path);
    if (verdict == Verdict::SetAside) {
        QCOMPARE(found, HotJournal::OfAnotherFile);
        QVERIFY2(notice.contains(QStringLiteral("was set aside")), qPrintable(notice));
        QVERIFY(!QFileInfo::exists(journalPath));
    } else {
        QCOMPARE(found, HotJournal::OfThisFile);
        QCOMPARE(notice, QString());
        QVERIFY(QFileInfo::exists(journalPath));
    }
    QFile again(path);
    QVERIFY(again.open(QIODevice::ReadOnly));
    QCOMPARE(again.readAll(), content);
}

void JournalRulesTest::journalWithoutTheEnginesHeaderIsLeft() {
    quarrow::test::TemporaryCurrentFolder folder;
    const QString path = EnginePathOf(folder.filePath(QStringLiteral("vek.mdb")));
    WriteDriverCatalogue(path, QStringLiteral("kavrel"),
                         {quarrow::test::DriverCatalogueColumns(), {}});
    QFile journal(JournalPathOf(path));
    QVERIFY(journal.open(QIODevice::WriteOnly));
    journal.write(QByteArray(4096, 'x'));
    journal.close();
    QVERIFY(!RollbackJournal(JournalPathOf(path)).hasHeader());
    QCOMPARE(SetAsideStaleJournal(path), QString());
    QVERIFY(QFileInfo::exists(JournalPathOf(path)));
}

QUARROW_TEST_MAIN(JournalRulesTest)
#include "tst_journal_rules.moc"
