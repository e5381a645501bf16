#pragma once

#include <QStringList>

class QIODevice;

namespace quarrow {

// The command line of quarrow-catalogue: `arguments` without the program
// name. Returns the exit code: 0 on success, 2 for a usage error or input
// the tool cannot use (nothing is written then), 1 when writing fails.
int RunCatalogueTool(const QStringList& arguments, QIODevice& in, QIODevice& out, QIODevice& err);

QString CatalogueToolUsage();

}  // namespace quarrow
