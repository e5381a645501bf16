#pragma once

#include <QStringList>

namespace quarrow {

// The nineteen lines of the About window: the program, its purpose, the
// credits and the acknowledgements. Its first line is followed, on screen, by
// the catalogue's version.
QStringList AboutTextLines();

}  // namespace quarrow
