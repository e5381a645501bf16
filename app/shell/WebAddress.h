#pragma once

#include <QString>

namespace quarrow {

// True for an address the program may hand to the desktop from a catalogue
// row: scheme http, https or ftp (any letter case) and no control
// characters, so it can open nothing but a web page.
bool IsWebAddress(const QString& address);

}  // namespace quarrow
