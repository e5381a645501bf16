#pragma once

#include <QString>

namespace quarrow {

// Rebuilds the trigram index of the catalogue at `path` from its table, in
// one transaction: the file holds the old index or the whole new one, never
// a part. The file is opened the way the program opens it, beside other
// connections that read and write it. Returns the number of rows indexed.
// A catalogue that cannot be opened or has no trigram index throws
// InputError "<path>: ...".
qint64 ReindexCatalogue(const QString& path, const QString& password);

}  // namespace quarrow
