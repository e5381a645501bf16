#pragma once

#include <QString>
#include <QStringList>

namespace quarrow {

// The body of an SQL string literal for `text`: apostrophes doubled, so that
// typed text is always searched for literally and never read as SQL.
QString QuoteLiteralBody(const QString& text);

// Replaces every string literal of a statement with a "?" parameter and
// collects the literals' values in order. The engine then never parses typed
// text, whatever its length or the characters in it (NUL included).
QString LiftStringLiterals(const QString& sql, QStringList* values);

}  // namespace quarrow
