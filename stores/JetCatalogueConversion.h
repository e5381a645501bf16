#pragma once

#include <QString>
#include <functional>

namespace quarrow {

// The catalogue a Jet file is converted into, and the table it must hold.
enum class ConvertedCatalogue {
    Drivers,  // table_1
    Devices,  // device
};

// Called about twenty times a second while a conversion runs, with the file
// being converted, the rows done and about how many there are in all (0
// while unknown). Returning false cancels the conversion.
using ConversionProgress =
    std::function<bool(const QString& file, qint64 rowsDone, qint64 rowsInAll)>;

// The step before a connection opens its catalogue, whatever the
// connection's mode. When the file that `connectionString` names (resolved
// against the current folder, as the connection resolves it) is a Jet
// database, as its first page says, it is converted into Quarrow's
// catalogue format by `quarrow-catalogue convert` beside the program, in a
// child process bounded in memory and time (ConversionSystem.h), so that a
// fault in the reader cannot reach the window or the files:
//  - the converted catalogue is built in a folder of its own beside the
//    file, which is removed whatever happens;
//  - the original stays as it is, under a second name: "<file>.jet", or
//    "<file>.jet.1", ... when that is taken (an existing file is never
//    replaced);
//  - the converted catalogue then takes the file's name in one step, so
//    that the folder holds at every moment either the untouched Jet file or
//    the finished conversion beside the kept original.
// Returns what was done, for the user; empty when there was nothing to
// convert (a missing file is left to the connection to report).
//
// Throws EOleException naming the file when the file is refused (the
// password's message is the engine's own, "Not a valid password.") or the
// reader fails, crashes, stops answering or passes its bounds; and the
// silent abort when `progress` cancels. Either way every file is as it was.
QString ConvertJetCatalogueBeforeOpening(const QString& connectionString, ConvertedCatalogue kind,
                                         const ConversionProgress& progress = {});

// Where the converter is: quarrow-catalogue in the program's folder, unless
// another program has been named (the test suites name the one they built,
// or a stand-in).
QString CatalogueConverterPath();
void SetCatalogueConverterPath(const QString& path);

// How long the converter may go without reporting progress before it is
// taken for hung and ended (building the search index of a large catalogue
// reports nothing for a while). The test suites shorten it.
int ConverterSilenceLimitMs();
void SetConverterSilenceLimitMs(int milliseconds);

}  // namespace quarrow
