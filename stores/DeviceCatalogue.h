#pragma once

#include <QString>

namespace quarrow {

// The device catalogue dev.mdb: how the unknown-device window connects to it
// and the statements it runs against its table `device`.
QString DeviceCatalogueConnectionString();

// The search and count statements for search text `text`. The text goes in
// as the body of a string literal, so an apostrophe is searched for
// literally; "%" and "_" stay wildcards.
QString DeviceSearchStatement(const QString& text);
QString DeviceCountStatement(const QString& text);

}  // namespace quarrow
