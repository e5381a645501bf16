#include "JetCatalogueConversion.h"

#include "ConversionSystem.h"
#include "core/Exception.h"
#include "db/ConnectionString.h"
#include "db/NativeFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QProcess>
#include <QTemporaryDir>
#include <array>

namespace quarrow {

namespace {

constexpr int kDefaultSilenceLimitMs = 120'000;
constexpr int kPollMs = 50;
constexpr int kStartLimitMs = 30'000;
// What the reader says last is what matters; libmdb may say much before.
constexpr qsizetype kKeptErrorBytes = 64 * 1024;
constexpr int kMostKeptNames = 1000;

QString gConverterPath;
int gSilenceLimitMs = kDefaultSilenceLimitMs;

const QString kToolPrefix = QStringLiteral("quarrow-catalogue: ");
const QString kWrongPassword = QStringLiteral("Not a valid password.");

// The first page of a Jet 3 or 4 database says "Standard Jet DB", that of
// an Access 2007 or later one "Standard ACE DB", after four bytes. Every
// search asks, so this is one open and one read (a pipe in the file's place
// opens at once and reads nothing).
bool saysJet(const QString& path) {
    const NativeFile file(path, NativeFile::Access::Read);
    std::array<char, 20> start{};
    if (!file.readAt(0, start.data(), start.size())) return false;
    const QByteArrayView signature(start.data() + 4, 16);
    return signature == QByteArrayView("Standard Jet DB", 16) ||
           signature == QByteArrayView("Standard ACE DB", 16);
}

// The settings of the windows' few connection strings, parsed once.
const ConnectionSettings& settingsOf(const QString& connectionString) {
    static QHash<QString, ConnectionSettings> parsed;
    auto known = parsed.constFind(connectionString);
    if (known == parsed.cend()) {
        known = parsed.insert(connectionString, ParseConnectionString(connectionString));
    }
    return *known;
}

bool sameFile(const FileStatus& a, const FileStatus& b) {
    return a.exists && b.exists && a.device == b.device && a.inode == b.inode && a.size == b.size &&
           a.modifiedNs == b.modifiedNs;
}

QString native(const QString& path) { return QDir::toNativeSeparators(path); }

[[noreturn]] void cannotConvert(const QString& path, const QString& reason) {
    throw EOleException(
        QStringLiteral("Cannot convert '%1' from the Jet format: %2").arg(native(path), reason));
}

// How the reader ended, as it left the folder: the converted file, or why
// there is none.
struct ReaderRun {
    bool cancelled = false;
    bool silent = false;
    bool crashed = false;
    int exitCode = 0;
    QString message;  // the reader's own last line, without the tool's name
};

class ConverterRun {
public:
    ConverterRun(const QString& path, const QString& fileName, const ConversionProgress& progress)
        : path_(path), fileName_(fileName), progress_(progress) {}

    ReaderRun run(const QStringList& arguments, const QString& folder) {
        QProcess child;
        child.setProgram(CatalogueConverterPath());
        child.setArguments(arguments);
        child.setWorkingDirectory(folder);
        child.setProcessChannelMode(QProcess::SeparateChannels);
        BoundedProcess bounds(child, ReaderBounds{});
        child.start(QIODevice::ReadOnly);
        if (!child.waitForStarted(kStartLimitMs)) {
            cannotConvert(path_, QStringLiteral("the converter '%1' does not start: %2")
                                     .arg(native(CatalogueConverterPath()), child.errorString()));
        }
        bounds.started();

        ReaderRun result;
        QElapsedTimer silence;
        silence.start();
        while (child.state() != QProcess::NotRunning) {
            child.waitForReadyRead(kPollMs);
            if (readProgress(child)) silence.restart();
            keepErrors(child);
            if (child.state() == QProcess::NotRunning) break;
            if (progress_ && !progress_(fileName_, rowsDone_, rowsInAll_)) {
                result.cancelled = true;
            } else if (silence.elapsed() > gSilenceLimitMs) {
                result.silent = true;
            } else {
                continue;
            }
            child.kill();
            child.waitForFinished(kStartLimitMs);
            return result;
        }
        keepErrors(child);
        result.crashed = child.exitStatus() == QProcess::CrashExit;
        result.exitCode = child.exitCode();
        result.message = lastMessage();
        return result;
    }

private:
    // Lines "rows N M" on the reader's standard output.
    bool readProgress(QProcess& child) {
        bool heard = false;
        while (child.canReadLine()) {
            const QList<QByteArray> words = child.readLine().trimmed().split(' ');
            if (words.size() == 3 && words[0] == "rows") {
                rowsDone_ = words[1].toLongLong();
                rowsInAll_ = words[2].toLongLong();
                heard = true;
            }
        }
        return heard;
    }

    void keepErrors(QProcess& child) {
        errors_ += child.readAllStandardError();
        if (errors_.size() > kKeptErrorBytes) errors_ = errors_.right(kKeptErrorBytes);
    }

    // The tool's last message ("quarrow-catalogue: vek.mdb: reason"),
    // without the tool's name and the file it names.
    QString lastMessage() const {
        const QStringList lines = QString::fromUtf8(errors_).split(u'\n', Qt::SkipEmptyParts);
        for (auto line = lines.crbegin(); line != lines.crend(); ++line) {
            if (!line->startsWith(kToolPrefix)) continue;
            QString message = line->mid(kToolPrefix.size()).trimmed();
            const QString about = fileName_ + QStringLiteral(": ");
            if (message.startsWith(about)) message = message.mid(about.size());
            return message;
        }
        return QString();
    }

    QString path_;
    QString fileName_;
    const ConversionProgress& progress_;
    qint64 rowsDone_ = 0;
    qint64 rowsInAll_ = 0;
    QByteArray errors_;
};

[[noreturn]] void reportFailure(const QString& path, const ReaderRun& run) {
    const QString unchanged = QStringLiteral(" The file is left as it was.");
    if (run.cancelled) SilentAbort();
    if (run.silent) {
        cannotConvert(path, QStringLiteral("the Jet reader reported nothing for %1 s and was "
                                           "ended.%2")
                                .arg(gSilenceLimitMs / 1000.0)
                                .arg(unchanged));
    }
    if (run.crashed) {
        cannotConvert(path, QStringLiteral("the Jet reader crashed.") + unchanged);
    }
    if (run.message == kWrongPassword) throw EOleException(kWrongPassword);
    if (!run.message.isEmpty() && (run.exitCode == 1 || run.exitCode == 2)) {
        cannotConvert(path, run.message);
    }
    cannotConvert(path, QStringLiteral("the Jet reader ended with exit code %1.%2")
                            .arg(run.exitCode)
                            .arg(unchanged));
}

// Gives the original its second name; returns that name.
QString keepOriginal(const QString& path) {
    for (int n = 0; n < kMostKeptNames; ++n) {
        const QString kept =
            path + QStringLiteral(".jet") + (n == 0 ? QString() : QStringLiteral(".%1").arg(n));
        if (QFileInfo::exists(kept) || QFileInfo(kept).isSymLink()) continue;
        if (KeepUnderSecondName(path, kept)) return kept;
        if (!QFileInfo::exists(kept)) {
            cannotConvert(path, QStringLiteral("the original cannot be kept as '%1'. The file is "
                                               "left as it was.")
                                    .arg(native(kept)));
        }
    }
    cannotConvert(path, QStringLiteral("every name for keeping the original is taken, up to "
                                       "'%1.jet.%2'. The file is left as it was.")
                            .arg(native(path))
                            .arg(kMostKeptNames - 1));
}

}  // namespace

QString CatalogueConverterPath() {
    if (!gConverterPath.isEmpty()) return gConverterPath;
    QString program = QCoreApplication::applicationDirPath() + QStringLiteral("/quarrow-catalogue");
#if defined(Q_OS_WIN)
    program += QStringLiteral(".exe");
#endif
    return program;
}

void SetCatalogueConverterPath(const QString& path) { gConverterPath = path; }

int ConverterSilenceLimitMs() { return gSilenceLimitMs; }

void SetConverterSilenceLimitMs(int milliseconds) { gSilenceLimitMs = milliseconds; }

QString ConvertJetCatalogueBeforeOpening(const QString& connectionString, ConvertedCatalogue kind,
                                         const ConversionProgress& progress) {
    const ConnectionSettings& settings = settingsOf(connectionString);
    if (settings.dataSource.isEmpty()) return QString();
    const QFileInfo file(QDir::current(), settings.dataSource);
    const QString path = QDir::cleanPath(file.absoluteFilePath());
    if (!saysJet(path)) return QString();
    const FileStatus before = StatusOf(path);
    if (!before.regular) return QString();
    const QString folder = QFileInfo(path).absolutePath();
    const QString name = QFileInfo(path).fileName();

    // Everything the reader writes stays in a folder of its own until the
    // conversion is whole.
    QTemporaryDir work(folder + u'/' + name + QStringLiteral(".converting-XXXXXX"));
    if (!work.isValid()) {
        cannotConvert(path, QStringLiteral("no folder for the conversion can be made beside it: "
                                           "%1. The file is left as it was.")
                                .arg(work.errorString()));
    }
    const QString output = QDir(work.path()).filePath(name);
    // The reader is given names relative to the catalogue's folder: libmdb
    // opens files by narrow names, which on Windows cannot spell every
    // folder.
    const QString relativeOutput = QDir(folder).relativeFilePath(output);
    const QStringList arguments{
        QStringLiteral("convert"),
        QStringLiteral("--password"),
        settings.password,
        kind == ConvertedCatalogue::Drivers ? QStringLiteral("--drivers")
                                            : QStringLiteral("--devices"),
        QStringLiteral("--progress-lines"),
        name,
        relativeOutput,
    };
    const ReaderRun run = ConverterRun(path, name, progress).run(arguments, folder);
    if (run.cancelled || run.silent || run.crashed || run.exitCode != 0 ||
        !QFileInfo(output).isFile()) {
        reportFailure(path, run);
    }

    // Someone else may have put another file there meanwhile; theirs stays.
    if (!sameFile(before, StatusOf(path))) return QString();
    const QString kept = keepOriginal(path);
    try {
        ReplaceFile(output, path);
    } catch (...) {
        QFile::remove(kept);
        throw;
    }
    return QStringLiteral(
               "Каталог %1 был базой данных Access (Jet) и переведён в формат Quarrow; "
               "исходный файл сохранён как %2")
        .arg(name, native(kept));
}

}  // namespace quarrow
