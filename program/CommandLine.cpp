#include "CommandLine.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <cstdio>
#include <vector>

#if defined(Q_OS_WIN)
#include <windows.h>
#endif

namespace quarrow {

namespace {

constexpr int kExitUsage = 2;

// The options QGuiApplication and QApplication take for themselves, hidden
// from the help text.
void addToolkitOptions(QCommandLineParser& parser) {
    for (const char* name : {"platform", "platformpluginpath", "platformtheme", "plugin",
                             "qwindowgeometry", "qwindowicon", "qwindowtitle", "session", "display",
                             "geometry", "style", "stylesheet", "qmljsdebugger"}) {
        QCommandLineOption option(QString::fromLatin1(name), QString(), QStringLiteral("value"));
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }
    for (const char* name : {"reverse", "widgetcount", "nograb", "dograb", "sync"}) {
        QCommandLineOption option(QString::fromLatin1(name));
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }
}

QString usageError(const QString& problem) {
    return QStringLiteral("quarrow: %1\nTry 'quarrow --help' for more information.\n").arg(problem);
}

// On Windows the program is a desktop program, which has no console of its
// own: started from a command prompt without redirection, it writes into
// that prompt's console.
void reachConsole(std::FILE* stream) {
#if defined(Q_OS_WIN)
    const HANDLE handle = GetStdHandle(stream == stdout ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
    if ((handle == nullptr || handle == INVALID_HANDLE_VALUE) &&
        (AttachConsole(ATTACH_PARENT_PROCESS) != 0 || GetLastError() == ERROR_ACCESS_DENIED)) {
        std::freopen("CONOUT$", "w", stream);
    }
#else
    Q_UNUSED(stream);
#endif
}

void print(std::FILE* stream, const QString& text) {
    reachConsole(stream);
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), stream);
    std::fflush(stream);
}

}  // namespace

CommandLineOutcome ParseCommandLine(const QStringList& arguments) {
    QCommandLineParser parser;
    // Qt's own options are spelled with one dash ("-platform offscreen").
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setApplicationDescription(
        QStringLiteral("Quarrow looks hardware drivers up in the driver catalogue vek.mdb and the "
                       "device catalogue dev.mdb of the current folder."));
    const QCommandLineOption help(
        {QStringLiteral("h"), QStringLiteral("help"), QStringLiteral("?")},
        QStringLiteral("Displays this help."));
    parser.addOption(help);
    const QCommandLineOption version = parser.addVersionOption();
    QCommandLineOption showError(QStringLiteral("show-error"), QString(), QStringLiteral("text"));
    showError.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOption(showError);
    addToolkitOptions(parser);

    CommandLineOutcome outcome;
    if (!parser.parse(arguments)) {
        outcome.runProgram = false;
        outcome.exitCode = kExitUsage;
        outcome.error = usageError(parser.errorText());
        return outcome;
    }
    if (parser.isSet(help)) {
        outcome.runProgram = false;
        outcome.output = parser.helpText();
        return outcome;
    }
    if (parser.isSet(version)) {
        outcome.runProgram = false;
        outcome.output = QStringLiteral("Quarrow %1\n").arg(QStringLiteral(QUARROW_VERSION));
        return outcome;
    }
    if (parser.isSet(showError)) {
        outcome.runProgram = false;
        outcome.errorBox = parser.value(showError);
        return outcome;
    }
    if (!parser.positionalArguments().isEmpty()) {
        outcome.runProgram = false;
        outcome.exitCode = kExitUsage;
        outcome.error = usageError(
            QStringLiteral("unexpected argument '%1': Quarrow takes no file names; it reads its "
                           "catalogues from the current folder")
                .arg(parser.positionalArguments().constFirst()));
    }
    return outcome;
}

CommandLineOutcome HandleCommandLine(int argc, char** argv) {
    // The usual start, from the desktop, has no arguments and costs nothing.
    if (argc <= 1) return {};
    CommandLineOutcome outcome;
    {
        // The parser names the program in its help text through the
        // application object; a core one needs no display.
        QCoreApplication::setApplicationName(QStringLiteral("Quarrow"));
        QCoreApplication::setApplicationVersion(QStringLiteral(QUARROW_VERSION));
        // Named "quarrow" in the usage line however it was started.
        std::vector<char*> arguments(argv, argv + argc);
        char name[] = "quarrow";
        arguments[0] = name;
        int coreArgc = argc;
        QCoreApplication core(coreArgc, arguments.data());
        outcome = ParseCommandLine(QCoreApplication::arguments());
    }
    if (!outcome.output.isEmpty()) print(stdout, outcome.output);
    if (!outcome.error.isEmpty()) print(stderr, outcome.error);
    return outcome;
}

}  // namespace quarrow
