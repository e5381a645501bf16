#pragma once

#include <QByteArrayView>
#include <QString>

namespace quarrow {

// The text forms in which a Jet catalogue's values reached the user of a
// Russian Windows desktop, who read every value as text. The program reads
// a catalogue's values as text too, so a converted catalogue stores these
// forms. An absent value is no text at all and is not formatted here.

// Text as stored in a Jet 4 file: UTF-16 little-endian, or in the
// compressed form that starts with FF FE (a zero byte switches between one
// byte per character, for characters up to U+00FF, and two). Surrogate
// pairs stay pairs; a last odd byte is dropped.
QString JetUnicodeText(QByteArrayView stored);

// Date/Time, stored as days since 30.12.1899 with the time of day as the
// fraction (before that date the fraction still counts forward from
// midnight): "ДД.ММ.ГГГГ", followed by " ЧЧ:ММ:СС" when the time, rounded
// to the second, is not midnight. A number outside the years 100 to 9999,
// which Access does not store, is written as a Double.
QString JetDateText(double days);

// Single and Double: the shortest text with at most `significantDigits`
// digits (7 for Single, 15 for Double), a decimal comma and no trailing
// zeros ("93,71", "12,5", "0"); in powers of ten ("1E20", "1,5E-7") when
// the whole part has more digits than that or the value is below 0,00001.
QString JetFloatText(double value, int significantDigits);

// Currency: a 64-bit count of ten-thousandths, with a decimal comma and no
// trailing zeros ("12,5", "0", "-3,0001").
QString JetCurrencyText(qint64 tenThousandths);

// Decimal: a sign byte (bit 7 set for negative) and a 128-bit magnitude as
// four 32-bit little-endian words, the most significant first, scaled by
// 10^scale; written like Currency. `stored` holds the 17 bytes.
QString JetDecimalText(QByteArrayView stored, int scale);

// Yes/No.
QString JetBooleanText(bool value);

// Replication ID: "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" from the 16 bytes
// of a GUID as Windows stores it.
QString JetGuidText(QByteArrayView stored);

// Binary and OLE Object values have no text form of their own: their bytes
// in upper-case hexadecimal, so that none is lost.
QString JetBinaryText(QByteArrayView stored);

}  // namespace quarrow
