// Memory of a result whose values are long, through the real main window on
// the offscreen platform:
//   quarrow-long-values [--rows=N] [--bytes=B] [--pages=P]
// A driver catalogue of N names (default 1,000) of B bytes each (default
// 1,000,000), generated once into the bench data folder, is searched for
// the word that every name holds; then Ctrl+End and P presses of Page Up
// (default 40) in the grid, each followed by a full paint of the grid.
// Prints the process's resident and peak memory after each step.

#include "BenchData.h"
#include "CatalogueWriter.h"
#include "db/Query.h"
#include "mainwindow/TForm1.h"
#include "program/QuarrowApplication.h"
#include "program/Startup.h"
#include "widgets/DBGrid.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <cstdio>
#include <stdexcept>

using namespace quarrow;

namespace {

struct Options {
    qint64 rows = 1000;
    qint64 bytes = 1'000'000;
    int pages = 40;
};

Options readOptions(const QStringList& arguments) {
    Options options;
    for (const QString& argument : arguments.mid(1)) {
        const QString value = argument.section(u'=', 1);
        if (argument.startsWith(u"--rows=")) {
            options.rows = std::max<qint64>(1, value.toLongLong());
        } else if (argument.startsWith(u"--bytes=")) {
            options.bytes = std::max<qint64>(16, value.toLongLong());
        } else if (argument.startsWith(u"--pages=")) {
            options.pages = std::max(0, value.toInt());
        } else {
            throw std::runtime_error(qPrintable(QStringLiteral("unknown option ") + argument));
        }
    }
    return options;
}

// The catalogue's folder, the catalogue written into it on first use.
QString catalogueFolder(const Options& options) {
    const QString folder =
        bench::DataFolder() +
        QStringLiteral("/long-values-%1x%2").arg(options.rows).arg(options.bytes);
    const QString file = folder + QStringLiteral("/vek.mdb");
    if (QFileInfo::exists(file)) return folder;
    QDir().mkpath(folder);
    std::fprintf(stderr, "Generating %s\n", qPrintable(file));
    const QString filler = QStringLiteral("GeForce 7300 GT Windows XP ");
    const auto rows = [&options, &filler](const RowSink& insert) {
        for (qint64 k = 0; k < options.rows; ++k) {
            QString name = QStringLiteral("driver %1 ").arg(k);
            name += filler.repeated(options.bytes / filler.size() + 1);
            name.truncate(options.bytes);
            insert({name, QStringLiteral("Видеокарта"), QStringLiteral("Windows XP"),
                    QStringLiteral("1 МБ"), QStringLiteral("1.0"),
                    QStringLiteral("example.com/%1.zip").arg(k),
                    QStringLiteral("http://example.com/%1.zip").arg(k), QStringLiteral("1")});
        }
    };
    const QString part = file + QStringLiteral(".part");
    WriteDriverCatalogue(part, bench::CataloguePassword(),
                         {QStringLiteral("Наименование"), QStringLiteral("Устройство"),
                          QStringLiteral("os"), QStringLiteral("Размер"), QStringLiteral("Версия"),
                          QStringLiteral("url"), QStringLiteral("URLdr"), QStringLiteral("ver")},
                         rows, DriverTableLayout::Plain);
    if (!QFile::rename(part, file)) throw std::runtime_error("cannot write the catalogue");
    return folder;
}

double megabytes(const QByteArray& field) {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() >= 2 && fields[0] == field) return fields[1].toDouble() / 1024;
    }
    return -1;
}

void paintGrid() {
    QCoreApplication::processEvents();
    if (Form1->DBGrid1->viewport()->grab().isNull()) {
        throw std::runtime_error("the grid painted nothing");
    }
}

void report(const char* step) {
    std::printf("%-40s resident %8.1f MB   peak %8.1f MB   result holds %8.1f MB\n", step,
                megabytes("VmRSS:"), megabytes("VmHWM:"),
                double(Form1->ADOQuery1->heldValueBytes()) / (1 << 20));
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", QByteArrayLiteral("offscreen"));
    }
    QuarrowApplication application(argc, argv);
    try {
        const Options options = readOptions(QCoreApplication::arguments());
        QDir::setCurrent(catalogueFolder(options));
        std::printf("%lld names of %lld bytes\n", options.rows, options.bytes);
        CreateWindowSet();
        if (!QTest::qWaitForWindowExposed(Form1)) throw std::runtime_error("Form1 is not shown");
        paintGrid();
        report("window shown");

        Form1->Edit1->setText(QStringLiteral("driver"));
        Form1->Button2->click();
        paintGrid();
        std::printf("found %s\n", qPrintable(Form1->sLabel3->text()));
        report("searched, first screen painted");

        QTest::keyClick(Form1->DBGrid1, Qt::Key_End, Qt::ControlModifier);
        paintGrid();
        report("Ctrl+End, painted");

        for (int page = 0; page < options.pages; ++page) {
            QTest::keyClick(Form1->DBGrid1, Qt::Key_PageUp);
            paintGrid();
        }
        report(qPrintable(QStringLiteral("%1 x Page Up, each painted").arg(options.pages)));
        DestroyWindowSet();
    } catch (const std::exception& error) {
        std::fprintf(stderr, "quarrow-long-values: %s\n", error.what());
        return 1;
    }
    return 0;
}
