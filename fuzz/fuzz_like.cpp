// Checks our LIKE matcher, directly and as the engine's like(), against the
// plain reference matcher. Input: pattern NUL text [NUL escape [escape]];
// with an escape the engine runs one statement over two rows, one per escape.

#include "ReferenceLike.h"
#include "db/Like.h"

#include <sqlite3.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <vector>

namespace {

sqlite3* gDb = nullptr;
sqlite3_stmt* gLike = nullptr;
sqlite3_stmt* gLikeEscape = nullptr;

void printBytes(const char* label, std::string_view bytes) {
    std::fprintf(stderr, "%s (%zu bytes):", label, bytes.size());
    for (const char b : bytes) std::fprintf(stderr, " %02x", static_cast<unsigned char>(b));
    std::fprintf(stderr, "\n");
}

[[noreturn]] void differ(const char* what, std::string_view pattern, std::string_view text,
                         std::string_view escape, bool expected) {
    std::fprintf(stderr, "%s disagrees with the reference, which says %s\n", what,
                 expected ? "match" : "no match");
    printBytes("pattern", pattern);
    printBytes("text", text);
    printBytes("escape", escape);
    std::abort();
}

// An empty view may have no data pointer, which the engine would bind as NULL.
void bindText(sqlite3_stmt* stmt, int index, std::string_view bytes) {
    const char* text = bytes.empty() ? "" : bytes.data();
    sqlite3_bind_text(stmt, index, text, static_cast<int>(bytes.size()), SQLITE_STATIC);
}

// The engine's answer for "text LIKE pattern"; -1 for an error.
int engineLike(std::string_view pattern, std::string_view text) {
    bindText(gLike, 1, text);
    bindText(gLike, 2, pattern);
    int result = -1;
    if (sqlite3_step(gLike) == SQLITE_ROW && sqlite3_column_type(gLike, 0) == SQLITE_INTEGER) {
        result = sqlite3_column_int(gLike, 0);
    }
    sqlite3_reset(gLike);
    return result;
}

// The engine's answers for "text LIKE pattern ESCAPE e" over two rows, one
// per escape character, in one run of the statement.
std::vector<int> engineLikeEscapes(std::string_view pattern, std::string_view text,
                                   std::string_view first, std::string_view second) {
    bindText(gLikeEscape, 1, text);
    bindText(gLikeEscape, 2, pattern);
    bindText(gLikeEscape, 3, first);
    bindText(gLikeEscape, 4, second);
    std::vector<int> results;
    while (sqlite3_step(gLikeEscape) == SQLITE_ROW) {
        results.push_back(sqlite3_column_type(gLikeEscape, 0) == SQLITE_INTEGER
                              ? sqlite3_column_int(gLikeEscape, 0)
                              : -1);
    }
    sqlite3_reset(gLikeEscape);
    return results;
}

// The first character of `bytes` and its bytes; an empty view for none.
std::string_view firstCharacter(std::string_view bytes, char32_t& c) {
    c = 0;
    if (bytes.empty()) return bytes;
    std::size_t end = 0;
    c = quarrow::test::DecodeUtf8At(bytes, end);
    return bytes.substr(0, end);
}

std::string_view nextPart(std::string_view& input) {
    const std::size_t cut = input.find('\0');
    const std::string_view part = input.substr(0, cut);
    input = cut == std::string_view::npos ? std::string_view() : input.substr(cut + 1);
    return part;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    if (sqlite3_open_v2(":memory:", &gDb, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        std::abort();
    }
    quarrow::RegisterLike(gDb);
    if (sqlite3_prepare_v2(gDb, "SELECT ?1 LIKE ?2", -1, &gLike, nullptr) != SQLITE_OK ||
        sqlite3_prepare_v2(gDb, "SELECT ?1 LIKE ?2 ESCAPE column1 FROM (VALUES (?3), (?4))", -1,
                           &gLikeEscape, nullptr) != SQLITE_OK) {
        std::abort();
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::string_view pattern = nextPart(input);
    const std::string_view text = nextPart(input);
    char32_t escape = 0;
    const std::string_view escapeBytes = firstCharacter(input, escape);
    const bool expected = quarrow::test::ReferenceLike(pattern, text, escape);
    if (quarrow::LikePattern(pattern, escape).matches(text) != expected) {
        differ("LikePattern", pattern, text, escapeBytes, expected);
    }
    if (escapeBytes.empty()) {
        if (engineLike(pattern, text) != (expected ? 1 : 0)) {
            differ("like()", pattern, text, escapeBytes, expected);
        }
        return 0;
    }
    // A second escape character, "!" unless the input names one, for a
    // second row of the same statement.
    char32_t other = 0;
    std::string_view otherBytes = firstCharacter(input.substr(escapeBytes.size()), other);
    if (otherBytes.empty()) {
        otherBytes = "!";
        other = U'!';
    }
    const bool otherExpected = quarrow::test::ReferenceLike(pattern, text, other);
    const std::vector<int> results = engineLikeEscapes(pattern, text, escapeBytes, otherBytes);
    if (results.size() != 2 || results[0] != (expected ? 1 : 0)) {
        differ("like() with ESCAPE", pattern, text, escapeBytes, expected);
    }
    if (results[1] != (otherExpected ? 1 : 0)) {
        differ("like() with a second ESCAPE", pattern, text, otherBytes, otherExpected);
    }
    return 0;
}
