#pragma once

#include <QString>

namespace quarrow {

// True for an address the program may hand to the desktop from a catalogue
// row: scheme http, https or ftp (any letter case) and no control
// characters, so it can open nothing but a web page.
bool IsWebAddress(const QString& address);

// Hands a download address taken from a catalogue row to the desktop, or,
// when it is not a web address, refuses it with an error naming it: a
// catalogue comes from outside and must not be able to start programs.
void OpenCatalogueAddress(const QString& address);

}  // namespace quarrow
