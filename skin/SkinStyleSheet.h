#pragma once

#include "SkinDescription.h"

#include <QHash>
#include <QString>

namespace quarrow {

// Turns a skin's looks into the one application style sheet, keyed on the
// `skinSection` property that every skinned widget carries. `images` maps
// the skin's picture names to files on disk; every picture a look names must
// be there.
QString BuildSkinStyleSheet(const QList<SkinLook>& looks, const QHash<QString, QString>& images);

// `control` with every value `section` sets and `control` does not: the
// look of one named control is its section's, changed where it says so.
SkinLook MergedLook(const SkinLook& section, const SkinLook& control);

}  // namespace quarrow
