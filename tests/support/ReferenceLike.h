#pragma once

#include <QString>
#include <cstddef>
#include <string_view>
#include <vector>

// LIKE written the plain way, to check the program's matcher and its search
// results against: the suites and the fuzz target share it.
namespace quarrow::test {

// A byte that does not start a well-formed UTF-8 sequence stands for itself
// as kRawByte + byte, apart from every character.
constexpr char32_t kRawByte = 0x110000;

// Decodes the character at `i` by the Unicode table of well-formed UTF-8
// byte sequences and moves `i` past it.
char32_t DecodeUtf8At(std::string_view bytes, std::size_t& i);
std::vector<char32_t> DecodeUtf8(std::string_view bytes);

// "%" any run, "_" one character, the escape (compared unfolded) makes the
// next character literal, and characters compare after IndexFold. An escape
// with nothing after it stands for nothing. No escape: 0.
bool ReferenceLike(std::string_view pattern, std::string_view text, char32_t escape);

// The same without an escape, for texts as the engine receives them: in
// UTF-8 as QString::toUtf8 makes it, an unpaired surrogate becoming "?".
bool ReferenceLike(const QString& pattern, const QString& text);

}  // namespace quarrow::test
