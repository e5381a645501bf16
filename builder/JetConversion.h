#pragma once

#include "CatalogueWriter.h"
#include "JetHeader.h"

#include <QString>

class QIODevice;

namespace quarrow {

// Which catalogue a Jet file must hold: the driver table table_1, the
// device table device, or whichever it has (table_1 first).
enum class JetCatalogueKind { Any, Drivers, Devices };

struct JetConversionReport {
    QString table;  // table_1 or device
    qint64 rows = 0;
};

// Checks the Jet file at `path` before any table is read: a Jet 3 or Jet 4
// file whose database password lets `password` in, as the engine decides
// (a file without a password opens with any). Returns its header. Throws
// InputError "<path>: ...": the password's message is the engine's, "Not a
// valid password."; an Access 2007 or later file (ACE) is refused, since
// the Jet 4 engine that catalogues are made for cannot open it.
JetHeader RequireOpenableJetFile(const QString& path, const QString& password);

// Converts the catalogue in the Jet file `jetPath` into Quarrow's catalogue
// format at `path`, exactly as `quarrow-catalogue drivers` (trigram index
// and names index included) or the device builder writes those rows, with
// the Jet file's own password recorded (none when it has none). Every value
// is stored in its text form (JetValueText.h); rows keep the table's column
// order and its order of rows. Column names that differ from the declared
// ones only in letter case, which the engine does not tell apart, get the
// declared spelling.
//
// A file that RequireOpenableJetFile refuses, that lacks the table, or whose
// table does not fit the catalogue throws InputError "<jetPath>: ..."
// before anything is written; a row that cannot be read throws it too, and
// leaves nothing behind. The Jet file is only read.
JetConversionReport ConvertJetCatalogue(const QString& jetPath, const QString& path,
                                        const QString& password, JetCatalogueKind kind,
                                        const BuildProgress& progress = {});

// Writes the driver or device table of a Jet catalogue as tab-separated text
// in the form and with the refusals of ExportCatalogue, reading the file
// directly and leaving it as it is. Returns the number of rows written.
qint64 ExportJetCatalogue(const QString& jetPath, const QString& password, QIODevice& out);

}  // namespace quarrow
