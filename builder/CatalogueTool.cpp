#include "CatalogueTool.h"

#include "CatalogueReindex.h"
#include "DeviceCatalogueBuild.h"
#include "DriverCatalogueFiles.h"
#include "InputError.h"
#include "JetConversion.h"
#include "Progress.h"
#include "SampleCatalogue.h"

#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QFileDevice>
#include <QIODevice>
#include <optional>

namespace quarrow {

namespace {

constexpr int kExitFailure = 1;
constexpr int kExitBadInput = 2;

class UsageError : public Exception {
public:
    explicit UsageError(QString message) : Exception(std::move(message), "UsageError") {}
};

void print(QIODevice& device, const QString& text) { device.write(text.toUtf8()); }

QCommandLineOption valueOption(const QString& name, const QString& value) {
    return QCommandLineOption(name, QString(), value);
}

// One command's options and its single file argument.
struct Invocation {
    QString file;
    QString password;
    QCommandLineParser parser;
};

void parse(Invocation& call, const QStringList& arguments, const QList<QCommandLineOption>& extra) {
    call.parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    call.parser.addOption(valueOption(QStringLiteral("password"), QStringLiteral("P")));
    call.parser.addOptions(extra);
    // The parser takes the program name first.
    if (!call.parser.parse(QStringList{QStringLiteral("quarrow-catalogue")} + arguments)) {
        throw UsageError(call.parser.errorText());
    }
    const QStringList files = call.parser.positionalArguments();
    if (files.size() != 1) {
        throw UsageError(files.isEmpty() ? QStringLiteral("the file name is missing")
                                         : QStringLiteral("only one file name is expected"));
    }
    if (!call.parser.isSet(QStringLiteral("password"))) {
        throw UsageError(QStringLiteral("--password is missing"));
    }
    call.file = files.front();
    call.password = call.parser.value(QStringLiteral("password"));
    // A catalogue without a password opens with any, which is not what a
    // user who typed an empty one meant.
    if (call.password.isEmpty()) throw UsageError(QStringLiteral("--password may not be empty"));
}

// What the standard streams are called in messages.
QString standardInput() { return QStringLiteral("standard input"); }
QString standardOutput() { return QStringLiteral("standard output"); }

// Runs one build. Input it cannot use is reported as it comes (its message
// names the input); any other failure is about the catalogue being written.
template <typename Build>
auto writing(const QString& file, Build build) {
    try {
        return build();
    } catch (const InputError&) {
        throw;
    } catch (const RefusedOutput& error) {
        throw RefusedOutput(QStringLiteral("%1: %2").arg(file, error.message()));
    } catch (const Exception& error) {
        throw Exception(QStringLiteral("%1: %2").arg(file, error.message()));
    }
}

// Shows a build's progress while standard error is a terminal.
class BuildProgressLine {
public:
    BuildProgressLine(QIODevice& err, const QString& file)
        : progress_(err, file, StandardErrorIsTerminal()) {}

    BuildProgress report() {
        return [this](qint64 done, qint64 inAll) {
            progress_.update(done, inAll > 0 ? double(done) / double(inAll) : -1);
        };
    }
    Progress& progress() { return progress_; }

private:
    Progress progress_;
};

quint64 number(const Invocation& call, const QString& option, quint64 fallback, quint64 min,
               quint64 max) {
    if (!call.parser.isSet(option)) return fallback;
    bool ok = false;
    const quint64 value = call.parser.value(option).toULongLong(&ok);
    if (!ok || value < min || value > max) {
        throw UsageError(QStringLiteral("--%1 takes a whole number from %2 to %3")
                             .arg(option)
                             .arg(min)
                             .arg(max));
    }
    return value;
}

DriverTableLayout layoutOf(const Invocation& call) {
    return call.parser.isSet(QStringLiteral("plain")) ? DriverTableLayout::Plain
                                                      : DriverTableLayout::TrigramIndexed;
}

QCommandLineOption plainOption() { return QCommandLineOption(QStringLiteral("plain")); }

// The options of every command that writes a catalogue.
QList<QCommandLineOption> outputOptions() {
    return {QCommandLineOption(QStringLiteral("force")),
            valueOption(QStringLiteral("wait"), QStringLiteral("SECONDS"))};
}

OutputOptions outputOf(const Invocation& call) {
    OutputOptions output;
    output.force = call.parser.isSet(QStringLiteral("force"));
    // A day: longer than any build, short of what the clock can count.
    output.lockWait = std::chrono::seconds(
        number(call, QStringLiteral("wait"), quint64(kDefaultBuildLockWait.count()), 0, 86400));
    return output;
}

int drivers(const QStringList& arguments, QIODevice& in, QIODevice& err) {
    Invocation call;
    parse(call, arguments, QList<QCommandLineOption>{plainOption()} + outputOptions());
    const OutputOptions output = outputOf(call);
    BuildProgressLine line(err, call.file);
    // Rows are read and written as they come, so the share done is the
    // share of the input read, where its size is known.
    const qint64 inputSize = in.isSequential() ? 0 : in.size();
    const RowProgress progress = [&](qint64 done) {
        line.progress().update(done, inputSize > 0 ? double(in.pos()) / double(inputSize) : -1);
    };
    qint64 rows = 0;
    try {
        rows = writing(call.file, [&] {
            return BuildDriverCatalogue(in, call.file, call.password, layoutOf(call), progress,
                                        output);
        });
    } catch (const InputError& error) {
        throw InputError(QStringLiteral("%1: %2").arg(standardInput(), error.message()));
    }
    line.progress().finish();
    print(err, QStringLiteral("quarrow-catalogue: wrote %1 rows to %2\n").arg(rows).arg(call.file));
    return 0;
}

int sample(const QStringList& arguments, QIODevice& err) {
    Invocation call;
    parse(
        call, arguments,
        QList<QCommandLineOption>{valueOption(QStringLiteral("rows"), QStringLiteral("N")),
                                  valueOption(QStringLiteral("seed"), QStringLiteral("S")),
                                  valueOption(QStringLiteral("pci"), QStringLiteral("FILE")),
                                  plainOption(), QCommandLineOption(QStringLiteral("mixed-names")),
                                  QCommandLineOption(QStringLiteral("known-only"))} +
            outputOptions());
    SampleOptions options;
    options.rows = qint64(number(call, QStringLiteral("rows"), 5000, 1, 100'000'000));
    options.seed = number(call, QStringLiteral("seed"), 1, 0, ~quint64(0));
    options.pciIdsPath = call.parser.value(QStringLiteral("pci"));
    options.layout = layoutOf(call);
    options.output = outputOf(call);
    if (call.parser.isSet(QStringLiteral("mixed-names"))) {
        options.names = SampleNames::LatinAndCyrillic;
    }
    options.knownOnly = call.parser.isSet(QStringLiteral("known-only"));
    BuildProgressLine line(err, call.file);
    const qint64 rows = writing(call.file, [&] {
        return WriteSampleCatalogue(call.file, call.password, options, line.report());
    });
    line.progress().finish();
    print(
        err,
        QStringLiteral("quarrow-catalogue: wrote %1 sample rows to %2\n").arg(rows).arg(call.file));
    return 0;
}

int exportTable(const QStringList& arguments, QIODevice& out) {
    Invocation call;
    parse(call, arguments, {});
    try {
        // A Jet catalogue is read as it is, and stays as it is.
        if (ReadJetHeaderOf(call.file).format != JetFormat::NotJet) {
            ExportJetCatalogue(call.file, call.password, out);
            return 0;
        }
        ExportCatalogue(call.file, call.password, out);
    } catch (const InputError&) {
        throw;
    } catch (const Exception& error) {
        throw Exception(QStringLiteral("%1: %2").arg(standardOutput(), error.message()));
    }
    return 0;
}

int reindex(const QStringList& arguments, QIODevice& err) {
    Invocation call;
    parse(call, arguments, {});
    const qint64 rows = ReindexCatalogue(call.file, call.password);
    print(err, QStringLiteral("quarrow-catalogue: rebuilt the search index of %1 over %2 rows\n")
                   .arg(call.file)
                   .arg(rows));
    return 0;
}

// Progress as lines "rows N M" on standard output, for a program that shows
// it: N rows converted of about M, at most ten lines a second and the last.
class ProgressLines {
public:
    explicit ProgressLines(QIODevice& out) : out_(out) { clock_.start(); }

    void update(qint64 done, qint64 inAll, bool last = false) {
        if (!last && clock_.isValid() && clock_.elapsed() - written_ < 100) return;
        written_ = clock_.elapsed();
        out_.write(QStringLiteral("rows %1 %2\n").arg(done).arg(inAll).toLatin1());
        if (auto* file = qobject_cast<QFileDevice*>(&out_)) file->flush();
    }

private:
    QIODevice& out_;
    QElapsedTimer clock_;
    qint64 written_ = -1000;
};

int convert(const QStringList& arguments, QIODevice& out, QIODevice& err) {
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption password =
        valueOption(QStringLiteral("password"), QStringLiteral("P"));
    const QCommandLineOption drivers(QStringLiteral("drivers"));
    const QCommandLineOption devices(QStringLiteral("devices"));
    const QCommandLineOption progressLines(QStringLiteral("progress-lines"));
    parser.addOptions({password, drivers, devices, progressLines});
    if (!parser.parse(QStringList{QStringLiteral("quarrow-catalogue")} + arguments)) {
        throw UsageError(parser.errorText());
    }
    const QStringList files = parser.positionalArguments();
    if (files.size() != 2) {
        throw UsageError(QStringLiteral("convert takes the Jet file and the file to write"));
    }
    if (!parser.isSet(password)) throw UsageError(QStringLiteral("--password is missing"));
    if (parser.isSet(drivers) && parser.isSet(devices)) {
        throw UsageError(QStringLiteral("--drivers and --devices exclude each other"));
    }
    const JetCatalogueKind kind = parser.isSet(drivers)   ? JetCatalogueKind::Drivers
                                  : parser.isSet(devices) ? JetCatalogueKind::Devices
                                                          : JetCatalogueKind::Any;
    const QString& jetFile = files[0];
    const QString& file = files[1];
    BuildProgressLine line(err, file);
    std::optional<ProgressLines> lines;
    if (parser.isSet(progressLines)) lines.emplace(out);
    const JetConversionReport report = writing(file, [&] {
        return ConvertJetCatalogue(jetFile, file, parser.value(password), kind,
                                   [&](qint64 done, qint64 inAll) {
                                       line.progress().update(done, double(done) / double(inAll));
                                       if (lines) lines->update(done, inAll);
                                   });
    });
    if (lines) lines->update(report.rows, report.rows, true);
    line.progress().finish();
    print(err, QStringLiteral("quarrow-catalogue: converted %1 rows of %2 from %3 to %4\n")
                   .arg(report.rows)
                   .arg(report.table, jetFile, file));
    return 0;
}

QString countsLine(const QString& path, const IdsCounts& counts, bool subsystems) {
    QString line = QStringLiteral("quarrow-catalogue: %1: %2 vendor rows, %3 device rows")
                       .arg(path)
                       .arg(counts.vendors)
                       .arg(counts.devices);
    if (subsystems) line += QStringLiteral(", %1 subsystem rows").arg(counts.subsystems);
    return line + QStringLiteral(", %1 lines skipped\n").arg(counts.skippedLines);
}

int devices(const QStringList& arguments, QIODevice& err) {
    Invocation call;
    parse(call, arguments,
          QList<QCommandLineOption>{valueOption(QStringLiteral("pci"), QStringLiteral("FILE")),
                                    valueOption(QStringLiteral("usb"), QStringLiteral("FILE"))} +
              outputOptions());
    const OutputOptions output = outputOf(call);
    const QString pci = call.parser.isSet(QStringLiteral("pci"))
                            ? call.parser.value(QStringLiteral("pci"))
                            : DefaultPciIdsPath();
    const QString usb = call.parser.isSet(QStringLiteral("usb"))
                            ? call.parser.value(QStringLiteral("usb"))
                            : DefaultUsbIdsPath();
    BuildProgressLine line(err, call.file);
    const DeviceCatalogueReport report = writing(call.file, [&] {
        return BuildDeviceCatalogue(call.file, call.password, pci, usb, line.report(), output);
    });
    line.progress().finish();
    print(err, countsLine(pci, report.pci, true) + countsLine(usb, report.usb, false) +
                   QStringLiteral("quarrow-catalogue: wrote %1 rows to %2\n")
                       .arg(report.rows)
                       .arg(call.file));
    return 0;
}

}  // namespace

QString CatalogueToolUsage() {
    return QStringLiteral(
               "Usage:\n"
               "  quarrow-catalogue drivers --password P [--plain] [--force] [--wait S] OUT.mdb "
               "< rows.tsv\n"
               "      Builds a driver catalogue from UTF-8 tab-separated text. The first line "
               "names\n"
               "      the columns in table order: Устройство, os, Размер, Версия at positions 1 to "
               "4\n"
               "      (counting from 0), and Наименование, url, URLdr, ver anywhere else.\n"
               "  quarrow-catalogue sample --password P [--rows N] [--seed S] [--pci FILE] "
               "[--plain] "
               "[--mixed-names] [--known-only] [--force] [--wait S] OUT.mdb\n"
               "      Builds a sample driver catalogue of N rows (default 5000) for devices of "
               "pci.ids;\n"
               "      the same seed gives the same rows. --mixed-names adds a Russian word for "
               "the kind\n"
               "      of device to every name. --known-only keeps to what is known: each device\n"
               "      once, with its maker's driver page and no made-up operating systems,\n"
               "      sizes or versions (the sample that ships).\n"
               "  quarrow-catalogue export IN.mdb --password P\n"
               "      Writes the table of a driver or device catalogue as tab-separated text to\n"
               "      standard output.\n"
               "  quarrow-catalogue reindex --password P FILE.mdb\n"
               "      Rebuilds the search index of a driver or device catalogue from its table,\n"
               "      in one transaction.\n"
               "  quarrow-catalogue devices --password P [--pci FILE] [--usb FILE] [--force] "
               "[--wait S] OUT.mdb\n"
               "      Builds a device catalogue from pci.ids and usb.ids\n"
               "      (defaults %1 and %2).\n"
               "  quarrow-catalogue convert --password P [--drivers | --devices] "
               "[--progress-lines] IN.mdb OUT.mdb\n"
               "      Converts a driver or device catalogue kept as a Jet 3 or Jet 4 database\n"
               "      (Access 97 to 2003) into a catalogue like those drivers and devices build,\n"
               "      with the Jet file's own password; P opens it as the engine would (a file\n"
               "      without a password opens with any). --drivers or --devices demand table_1\n"
               "      or device; otherwise table_1 is taken, else device. --progress-lines\n"
               "      writes the rows done as lines \"rows N M\" to standard output.\n"
               "      export reads a Jet catalogue directly and leaves it as it is.\n"
               "  quarrow-catalogue --help | --version\n"
               "\n"
               "--plain stores table_1 as a plain table instead of a trigram-indexed one.\n"
               "The password may not be empty; Quarrow opens its catalogues with kavrel.\n"
               "A build replaces OUT.mdb in one step when it is complete; when OUT.mdb is a "
               "symbolic link,\n"
               "the file it leads to is replaced. An existing OUT.mdb that is not a catalogue of "
               "the kind\n"
               "built is not replaced unless --force is given; a folder, device or pipe never "
               "is.\n"
               "Builds of one output take turns; --wait S sets how long a build waits for "
               "another\n"
               "(default %3 s) before it gives up.\n"
               "While standard error is a terminal, builds show their progress there.\n"
               "Exit codes: 0 done, 2 usage error, unusable input or an output not replaced (no "
               "file is\n"
               "written), 1 other failure.\n")
        .arg(DefaultPciIdsPath(), DefaultUsbIdsPath())
        .arg(qint64(kDefaultBuildLockWait.count()));
}

int RunCatalogueTool(const QStringList& arguments, QIODevice& in, QIODevice& out, QIODevice& err) {
    const QString command = arguments.value(0);
    const QStringList rest = arguments.mid(1);
    try {
        if (command == u"--help" || command == u"-h" || command == u"help") {
            print(out, CatalogueToolUsage());
            return 0;
        }
        if (command == u"--version") {
            print(out, QStringLiteral("quarrow-catalogue (Quarrow) %1\n")
                           .arg(QStringLiteral(QUARROW_VERSION)));
            return 0;
        }
        if (command == u"drivers") return drivers(rest, in, err);
        if (command == u"sample") return sample(rest, err);
        if (command == u"export") return exportTable(rest, out);
        if (command == u"devices") return devices(rest, err);
        if (command == u"reindex") return reindex(rest, err);
        if (command == u"convert") return convert(rest, out, err);
        throw UsageError(command.isEmpty() ? QStringLiteral("a command is missing")
                                           : QStringLiteral("unknown command '%1'").arg(command));
    } catch (const UsageError& error) {
        print(err, QStringLiteral("quarrow-catalogue: %1\n\n").arg(error.message()) +
                       CatalogueToolUsage());
        return kExitBadInput;
    } catch (const InputError& error) {
        print(err, QStringLiteral("quarrow-catalogue: %1\n").arg(error.message()));
        return kExitBadInput;
    } catch (const RefusedOutput& error) {
        print(err, QStringLiteral("quarrow-catalogue: %1\n").arg(error.message()));
        return kExitBadInput;
    } catch (const std::exception& error) {
        print(err, QStringLiteral("quarrow-catalogue: %1\n").arg(QString::fromUtf8(error.what())));
        return kExitFailure;
    }
}

}  // namespace quarrow
