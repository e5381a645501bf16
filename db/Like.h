#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

struct sqlite3;

namespace quarrow {

// Where like() reports the bytes it compares, so that a long comparison
// inside one row counts toward a statement's bound of work as the engine's
// own steps do. `look` gets the bytes compared since its last call, after
// every kBytesPerLook of them; false stops the statement.
struct LikeWork {
    static constexpr std::uint64_t kBytesPerLook = std::uint64_t(1) << 20;
    std::uint64_t sinceLook = 0;
    std::function<bool(std::uint64_t bytes)> look;
};

class WorkTally;

// A compiled LIKE pattern over UTF-8 text: "%" matches any run of characters,
// "_" exactly one, and letters compare by Unicode simple case folding, so
// Cyrillic and Latin letter case are both ignored. The folding is the one the
// catalogue's trigram index uses, so indexed and plain searches agree. Bytes that are not valid
// UTF-8 stand for themselves and match only "_" or the same byte.
class LikePattern {
public:
    LikePattern(std::string_view pattern, char32_t escape = 0);
    bool matches(std::string_view text) const;
    // The same, reporting its work to `work`; *stopped tells whether `work`
    // stopped it, in which case the answer means nothing.
    bool matches(std::string_view text, LikeWork* work, bool* stopped) const;

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

    // The same parts as lower-case ASCII bytes, "_" as one byte of its own,
    // for patterns made of ASCII characters only; empty otherwise. They are
    // compared with the UTF-8 text byte by byte, "_" stepping over one whole
    // character.
    void prepareByteMatching();
    bool bytesMatchExactly(std::string_view text) const;
    bool matchesBytes(std::string_view text, WorkTally& tally) const;
    std::vector<std::string> byteParts_;
    // Where in each byte part the first byte that is not "_" lies, the one
    // searched for first (npos for parts of "_" only), and whether the byte
    // after it is searched for with it.
    struct ByteAnchor {
        std::size_t at;
        bool pair;
    };
    std::vector<ByteAnchor> byteAnchors_;
    // Bytes that the text must not hold for byte matching to be exact: the
    // first bytes of the characters outside ASCII that fold onto a letter of
    // the pattern.
    std::string foreignLeadBytes_;
    bool bytesOnlyWhenAscii_ = false;  // "_" at the anchored end needs ASCII text
};

// Registers like(pattern, text) and like(pattern, text, escape) on a
// connection, replacing the engine's ASCII-only LIKE. With `work`, the
// comparisons report to it and a call it stops ends its statement with
// SQLITE_INTERRUPT, as the engine's progress handler would.
void RegisterLike(sqlite3* db, LikeWork* work = nullptr);

}  // namespace quarrow
