#pragma once

#include <QString>

namespace quarrow::test {

// A plain LIKE for checking the program's results: "%" any run, "_" one
// character, every other character literally, letter case folded as the
// catalogue's index folds it. Texts compare as the engine receives them,
// in UTF-8, with invalid UTF-16 replaced.
bool ReferenceLike(const QString& pattern, const QString& text);

}  // namespace quarrow::test
