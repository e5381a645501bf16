#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

struct sqlite3;

namespace quarrow {

// A compiled LIKE pattern over UTF-8 text: "%" matches any run of characters,
// "_" exactly one, and letters compare by Unicode simple case folding, so
// Cyrillic and Latin letter case are both ignored. The folding is the one the
// catalogue's trigram index uses, so indexed and plain searches agree. Bytes that are not valid
// UTF-8 stand for themselves and match only "_" or the same byte.
class LikePattern {
public:
    LikePattern(std::string_view pattern, char32_t escape = 0);
    bool matches(std::string_view text) const;

    // One character of the text or pattern after folding; invalid bytes are
    // kept apart from every real character.
    static char32_t fold(char32_t c);
    static void decodeFolded(std::string_view utf8, std::vector<char32_t>& out);

private:
    static constexpr char32_t kAnyOne = 0xFFFFFFFFu;
    // The pattern split at every unescaped "%": the first part anchors at the
    // start, the last at the end, the others must follow in order.
    std::vector<std::vector<char32_t>> parts_;
    bool matchesAnyText_ = false;  // only "%" signs: every text matches

    // The same parts as lower-case ASCII bytes, for patterns made of ASCII
    // characters only; empty otherwise.
    void prepareByteMatching();
    std::vector<std::string> byteParts_;
    // Where in each byte part the first byte that is not "_" lies, the one
    // searched for first (npos for parts of "_" only), and whether the byte
    // after it is searched for with it.
    struct ByteAnchor {
        std::size_t at;
        bool pair;
    };
    std::vector<ByteAnchor> byteAnchors_;
    bool bytesOnlyWhenAscii_ = false;  // byte matching needs ASCII text
};

// Registers like(pattern, text) and like(pattern, text, escape) on a
// connection, replacing the engine's ASCII-only LIKE.
void RegisterLike(sqlite3* db);

}  // namespace quarrow
