#pragma once

#include <QByteArrayView>
#include <QString>

namespace quarrow {

// The formats a file can say it has on its first page.
enum class JetFormat {
    NotJet,
    Jet3,  // Access 97
    Jet4,  // Access 2000 to 2003
    Ace,   // Access 2007 and later (.accdb), in any of its versions
    UnknownJetVersion,
};

// What the first page of a Jet database tells without reading any table.
struct JetHeader {
    JetFormat format = JetFormat::NotJet;
    // The database password the engine asks for; empty when there is none.
    QString password;
};

// The bytes a file must start with to be read by ReadJetHeader: the first
// page's header, up to the end of the creation date that masks the password.
constexpr qsizetype kJetHeaderSize = 0x7a;

// Reads the header from the start of a file. Fewer than kJetHeaderSize bytes,
// or a file that does not say "Standard Jet DB" or "Standard ACE DB", is
// NotJet.
JetHeader ReadJetHeader(QByteArrayView start);

// The same for the file at `path`; NotJet when it cannot be read.
JetHeader ReadJetHeaderOf(const QString& path);

// Whether a database with the password `stored` (empty: none) opens with
// `given`, as the engine decides: a database without a password opens with
// any, one with a password only with exactly that one.
bool JetPasswordAccepts(const QString& stored, const QString& given);

}  // namespace quarrow
