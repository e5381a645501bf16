#pragma once

namespace quarrow {

// Folds one character the way the catalogue's trigram index folds it:
// Unicode simple case folding as the database engine ships it. Matching
// with the same folding as the index means an indexed search and a plain
// scan always return the same rows.
char32_t IndexFold(char32_t c);

}  // namespace quarrow
