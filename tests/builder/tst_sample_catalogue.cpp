#include "TestSupport.h"
#include "ToolProcess.h"

#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QtTest>

using namespace quarrow::test;

namespace {

QList<QStringList> exportedRows(const QString& folder, const QString& file) {
    const ToolRun run = RunCatalogueTool(
        {QStringLiteral("export"), file, QStringLiteral("--password=kavrel")}, folder);
    QList<QStringList> rows;
    for (const QString& line :
         QString::fromUtf8(run.out).remove(u'\r').split(u'\n', Qt::SkipEmptyParts)) {
        rows.append(line.split(u'\t'));
    }
    return rows.mid(1);
}

}  // namespace

// The sample catalogue that ships (sample --known-only) holds only what is
// known: the registry's device names and the makers' real driver pages.
class SampleCatalogueTest : public QObject {
    Q_OBJECT

private slots:
    void shippedSampleMakesNothingUp();
    void fewRowsStillHoldTheExampleModel();

private:
    QTemporaryDir dir_;
};

void SampleCatalogueTest::shippedSampleMakesNothingUp() {
    const ToolRun built = RunCatalogueTool(
        {QStringLiteral("sample"), QStringLiteral("--known-only"), QStringLiteral("--rows=5000"),
         QStringLiteral("--password=kavrel"), QStringLiteral("known.mdb")},
        dir_.path());
    QVERIFY2(built.exitCode == 0, qPrintable(built.err));
    const QList<QStringList> rows = exportedRows(dir_.path(), QStringLiteral("known.mdb"));
    QCOMPARE(
        built.err,
        QStringLiteral("quarrow-catalogue: wrote %1 sample rows to known.mdb\n").arg(rows.size()));
    QVERIFY2(rows.size() > 1000 && rows.size() <= 5000, qPrintable(QString::number(rows.size())));
    QSet<QString> names;
    bool example = false;
    static const QRegularExpression cyrillic(QStringLiteral("[\\x{0400}-\\x{04FF}]"));
    static const QRegularExpression page(QStringLiteral("^[a-z0-9.-]+\\.[a-z]+(/\\S*)?$"));
    for (const QStringList& row : rows) {
        QCOMPARE(row.size(), 8);
        // Each device once, its name as pci.ids has it: no Russian
        // qualifier such as " (для ноутбуков)" made up for it.
        QVERIFY2(!names.contains(row[0]), qPrintable(row[0]));
        names.insert(row[0]);
        QVERIFY2(!cyrillic.match(row[0]).hasMatch(), qPrintable(row[0]));
        if (row[0].contains(QStringLiteral("7300 GT"))) example = true;
        QVERIFY(!row[1].isEmpty());
        // No operating systems, sizes or versions: no registry gives them.
        QCOMPARE(row[2], QString());
        QCOMPARE(row[3], QString());
        QCOMPARE(row[4], QString());
        // The maker's driver page, for both downloads.
        QVERIFY2(page.match(row[5]).hasMatch(), qPrintable(row[5]));
        QVERIFY2(row[6] == QStringLiteral("https://") + row[5] ||
                     row[6] == QStringLiteral("http://") + row[5],
                 qPrintable(row[6]));
        QCOMPARE(row[7], QStringLiteral("2026.12"));
    }
    QVERIFY(example);
}

void SampleCatalogueTest::fewRowsStillHoldTheExampleModel() {
    const ToolRun built = RunCatalogueTool(
        {QStringLiteral("sample"), QStringLiteral("--known-only"), QStringLiteral("--rows=10"),
         QStringLiteral("--password=kavrel"), QStringLiteral("few.mdb")},
        dir_.path());
    QVERIFY2(built.exitCode == 0, qPrintable(built.err));
    const QList<QStringList> rows = exportedRows(dir_.path(), QStringLiteral("few.mdb"));
    QCOMPARE(rows.size(), 10);
    QVERIFY(std::any_of(rows.begin(), rows.end(), [](const QStringList& row) {
        return row[0].contains(QStringLiteral("7300 GT"));
    }));
}

QUARROW_TEST_MAIN(SampleCatalogueTest)
#include "tst_sample_catalogue.moc"
