#pragma once

#include <QString>
#include <QStringList>

namespace quarrow {

// What the command line asks for. Quarrow takes no arguments of its own but
// --help and --version, and --show-error TEXT for its launcher; the Qt
// toolkit's options (-platform, -style, ...) are left for the application
// object.
struct CommandLineOutcome {
    bool runProgram = true;
    int exitCode = 0;  // when not running the program
    QString output;    // for standard output
    QString error;     // for standard error
    // --show-error: instead of the program, an error box with this text. The
    // launcher that starts Quarrow from the desktop menu shows what stops it
    // this way, where standard error reaches nobody.
    QString errorBox;
};

// `arguments` with the program's name first, as QCoreApplication::arguments()
// gives them.
CommandLineOutcome ParseCommandLine(const QStringList& arguments);

// Reads the command line of the process before the application object
// exists, so that --help, --version and a usage error need no display.
// Prints what there is to print; returns the outcome.
CommandLineOutcome HandleCommandLine(int argc, char** argv);

}  // namespace quarrow
