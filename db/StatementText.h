#pragma once

#include <QRegularExpression>
#include <QString>
#include <QStringList>

namespace quarrow {

// The body of an SQL string literal for `text`: apostrophes doubled, so that
// typed text is always searched for literally and never read as SQL.
QString QuoteLiteralBody(const QString& text);

// An identifier in double quotes, inner quotes doubled; and back, for an
// identifier written plain, in double quotes or in brackets.
QString QuoteIdentifier(const QString& name);
QString UnquoteIdentifier(const QString& identifier);

// A regular expression over statement text, letter case ignored, in which
// "%1" stands for an identifier (plain, in double quotes or in brackets),
// captured as a group of its own.
QRegularExpression StatementPattern(const QString& pattern);

// Replaces every string literal of a statement with a numbered parameter
// ("?1", "?2", ...) and collects the literals' values in order. The engine then never parses typed
// text, whatever its length or the characters in it (NUL included).
QString LiftStringLiterals(const QString& sql, QStringList* values);

// The engine's trigram index (SQLite 3.40) finds nothing for a LIKE pattern
// with a literal run of three or more bytes but fewer than three characters,
// such as "%жж%". For statements whose lifted literals include such a
// pattern, this keeps the engine from using the index for the comparison
// ("+column LIKE ?"), so it scans instead and the result stays right.
QString AvoidTrigramFault(const QString& liftedSql, const QStringList& values);

}  // namespace quarrow
