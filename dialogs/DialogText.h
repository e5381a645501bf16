#pragma once

#include <QString>

namespace quarrow {

// CR, LF and CR LF each end a line in every dialog and box; Qt's labels only
// know LF, so every break becomes one LF.
QString NormaliseLineBreaks(const QString& text);

// The text as label markup with "&" as an access-key marker: a single "&" is
// hidden and underlines the next character, "&&" shows one "&". Everything
// else is shown literally: blanks are kept, markup in the text is escaped,
// and each line break becomes one.
QString AccessKeyHtml(const QString& text);

// Values are shown in full up to this many characters; a longer one is cut
// there and ends in "…", so that no value can make a window lay out text for
// seconds. The data itself is never changed.
constexpr qsizetype kMostShownCharacters = 2000;
QString ElideLongText(const QString& text, qsizetype most = kMostShownCharacters);

// A message as a dialog shows it: every line elided, and runs without a
// blank too long for any screen given invisible break opportunities, so
// that they wrap instead of widening the dialog past the screen.
QString ShownMessageText(const QString& text);

}  // namespace quarrow
