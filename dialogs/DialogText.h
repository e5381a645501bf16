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

}  // namespace quarrow
