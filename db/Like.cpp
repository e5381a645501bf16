#include "Like.h"

#include <sqlite3.h>
#include "IndexFolding.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace quarrow {

namespace {

constexpr char32_t kInvalidByteBase = 0x110000;

// Decodes one UTF-8 sequence; a byte that does not start a valid sequence is
// returned as kInvalidByteBase + byte and consumes one byte.
char32_t decodeOne(std::string_view s, std::size_t& i) {
    const auto b0 = static_cast<unsigned char>(s[i]);
    if (b0 < 0x80) {
        ++i;
        return b0;
    }
    int length = 0;
    char32_t c = 0;
    char32_t min = 0;
    if ((b0 & 0xE0) == 0xC0) {
        length = 2;
        c = b0 & 0x1F;
        min = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        length = 3;
        c = b0 & 0x0F;
        min = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        length = 4;
        c = b0 & 0x07;
        min = 0x10000;
    } else {
        ++i;
        return kInvalidByteBase + b0;
    }
    if (i + length > s.size()) {
        ++i;
        return kInvalidByteBase + b0;
    }
    for (int k = 1; k < length; ++k) {
        const auto b = static_cast<unsigned char>(s[i + k]);
        if ((b & 0xC0) != 0x80) {
            ++i;
            return kInvalidByteBase + b0;
        }
        c = (c << 6) | (b & 0x3F);
    }
    if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
        ++i;
        return kInvalidByteBase + b0;
    }
    i += length;
    return c;
}

}  // namespace

char32_t LikePattern::fold(char32_t c) {
    if (c < 0x80) {
        return (c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c;
    }
    if (c >= kInvalidByteBase) return c;
    return IndexFold(c);
}

void LikePattern::decodeFolded(std::string_view utf8, std::vector<char32_t>& out) {
    out.clear();
    out.reserve(utf8.size());
    std::size_t i = 0;
    while (i < utf8.size()) {
        out.push_back(fold(decodeOne(utf8, i)));
    }
}

LikePattern::LikePattern(std::string_view pattern, char32_t escape) : parts_(1) {
    std::size_t i = 0;
    while (i < pattern.size()) {
        const char32_t c = decodeOne(pattern, i);
        if (escape != 0 && c == escape) {
            if (i < pattern.size()) parts_.back().push_back(fold(decodeOne(pattern, i)));
        } else if (c == '%') {
            parts_.emplace_back();
        } else {
            parts_.back().push_back(c == '_' ? kAnyOne : fold(c));
        }
    }
    prepareByteMatching();
    matchesAnyText_ =
        parts_.size() > 1 &&
        std::all_of(parts_.begin(), parts_.end(), [](const auto& part) { return part.empty(); });
}

namespace {

// Matches text against a pattern split at its "%" signs: the first part
// anchors at the start, the last at the end, the others in order between.
// Leftmost placement of each middle part is always the best one, since only
// "%" can absorb a variable run. `seek(s, from, last)` gives the first place
// in [from, last] where middle part s may start, or a place past `last`.
template <typename Part, typename Text, typename Same, typename Seek>
bool matchParts(const std::vector<Part>& parts, const Text& text, Same same, Seek seek) {
    const auto partAt = [&](const Part& part, std::size_t at) {
        for (std::size_t k = 0; k < part.size(); ++k) {
            if (!same(part[k], text[at + k])) return false;
        }
        return true;
    };
    const Part& prefix = parts.front();
    if (parts.size() == 1) return prefix.size() == text.size() && partAt(prefix, 0);
    const Part& suffix = parts.back();
    if (prefix.size() + suffix.size() > text.size()) return false;
    if (!partAt(prefix, 0)) return false;
    const std::size_t end = text.size() - suffix.size();
    if (!partAt(suffix, end)) return false;
    std::size_t pos = prefix.size();
    for (std::size_t s = 1; s + 1 < parts.size(); ++s) {
        const Part& part = parts[s];
        if (part.empty()) continue;
        if (pos + part.size() > end) return false;
        const std::size_t last = end - part.size();
        bool found = false;
        for (pos = seek(s, pos, last); pos <= last; pos = seek(s, pos + 1, last)) {
            if (partAt(part, pos)) {
                found = true;
                break;
            }
        }
        if (!found) return false;
        pos += part.size();
    }
    return true;
}

constexpr unsigned char kAnyByte = 0xFF;

unsigned char lowerAscii(unsigned char b) { return (b >= 'A' && b <= 'Z') ? b + ('a' - 'A') : b; }

bool isAscii(std::string_view text) {
    std::size_t i = 0;
    for (; i + 8 <= text.size(); i += 8) {
        std::uint64_t word = 0;
        std::memcpy(&word, text.data() + i, 8);
        if ((word & 0x8080808080808080u) != 0) return false;
    }
    for (; i < text.size(); ++i) {
        if (static_cast<unsigned char>(text[i]) >= 0x80) return false;
    }
    return true;
}

// Compares a byte of the text with a lower-case pattern byte: letters in
// either case, other bytes exactly. Setting the case bit of a byte yields a
// lower-case letter only when the byte is that letter in one of its cases.
struct FoldedByte {
    explicit FoldedByte(unsigned char lower)
        : lower(lower), caseBit(lower >= 'a' && lower <= 'z' ? 0x20 : 0) {}
    bool matches(char byte) const { return (static_cast<unsigned char>(byte) | caseBit) == lower; }
    unsigned char lower;
    unsigned char caseBit;
};

// The first place p in [from, to) where text[p] matches `first` and, when
// given, text[p + 1] matches `second`; `to` when there is none. The caller
// guarantees that text[p + 1] exists for every such p when `second` is
// given. Sixteen places are tried at a time, as the engine's own LIKE does
// with strcspn; looking for two bytes at once skips most false starts.
std::size_t findFolded(std::string_view text, std::size_t from, std::size_t to, FoldedByte first,
                       const FoldedByte* second) {
#ifdef __SSE2__
    const auto splat = [](unsigned char byte) { return _mm_set1_epi8(static_cast<char>(byte)); };
    const auto hitsAt = [&](std::size_t at, FoldedByte wanted) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + at));
        return _mm_movemask_epi8(
            _mm_cmpeq_epi8(_mm_or_si128(bytes, splat(wanted.caseBit)), splat(wanted.lower)));
    };
    for (; from + 16 <= to; from += 16) {
        int hits = hitsAt(from, first);
        if (hits != 0 && second != nullptr) hits &= hitsAt(from + 1, *second);
        if (hits != 0) return from + std::size_t(__builtin_ctz(unsigned(hits)));
    }
#endif
    for (; from < to; ++from) {
        if (first.matches(text[from]) && (second == nullptr || second->matches(text[from + 1]))) {
            return from;
        }
    }
    return to;
}

}  // namespace

void LikePattern::prepareByteMatching() {
    // Only "k" and "s" have non-ASCII letters folding onto them (the Kelvin
    // sign and the long s), and "_" must step over whole characters; a
    // pattern free of all three compares raw UTF-8 bytes exactly, since no
    // byte of a non-ASCII character equals an ASCII one.
    bytesOnlyWhenAscii_ = false;
    for (const auto& part : parts_) {
        std::string bytes;
        for (const char32_t c : part) {
            if (c == kAnyOne) {
                bytes += char(kAnyByte);
                bytesOnlyWhenAscii_ = true;
                continue;
            }
            if (c >= 0x80) {
                byteParts_.clear();
                byteAnchors_.clear();
                return;
            }
            if (c == 'k' || c == 's') bytesOnlyWhenAscii_ = true;
            bytes += char(c);
        }
        const std::size_t at = bytes.find_first_not_of(char(kAnyByte));
        const bool pair = at != std::string::npos && at + 1 < bytes.size() &&
                          static_cast<unsigned char>(bytes[at + 1]) != kAnyByte;
        byteAnchors_.push_back({at, pair});
        byteParts_.push_back(std::move(bytes));
    }
}

bool LikePattern::matches(std::string_view utf8) const {
    if (matchesAnyText_) return true;
    if (!byteParts_.empty() && (!bytesOnlyWhenAscii_ || isAscii(utf8))) {
        const auto same = [](char p, char t) {
            const auto pb = static_cast<unsigned char>(p);
            return pb == kAnyByte || pb == lowerAscii(static_cast<unsigned char>(t));
        };
        const auto seek = [&](std::size_t s, std::size_t from, std::size_t last) {
            const auto [at, pair] = byteAnchors_[s];
            if (at == std::string::npos) return from;
            const std::string& part = byteParts_[s];
            const FoldedByte first(static_cast<unsigned char>(part[at]));
            const FoldedByte second(pair ? static_cast<unsigned char>(part[at + 1]) : 0);
            return findFolded(utf8, from + at, last + at + 1, first, pair ? &second : nullptr) - at;
        };
        return matchParts(byteParts_, utf8, same, seek);
    }
    thread_local std::vector<char32_t> text;
    decodeFolded(utf8, text);
    return matchParts(
        parts_, text, [](char32_t p, char32_t t) { return p == kAnyOne || p == t; },
        [](std::size_t, std::size_t from, std::size_t) { return from; });
}

namespace {

// The engine keeps a compiled pattern while the pattern argument stays the
// same, even when the escape argument changes from row to row, so the
// escape it was compiled with is kept beside it.
struct CompiledLike {
    LikePattern pattern;
    char32_t escape;
};

void destroyPattern(void* p) { delete static_cast<CompiledLike*>(p); }

std::string_view textOf(sqlite3_value* value) {
    const auto* bytes = reinterpret_cast<const char*>(sqlite3_value_text(value));
    const int size = sqlite3_value_bytes(value);
    return bytes != nullptr ? std::string_view(bytes, static_cast<std::size_t>(size))
                            : std::string_view();
}

void likeFunction(sqlite3_context* context, int argc, sqlite3_value** argv) {
    for (int k = 0; k < argc; ++k) {
        if (sqlite3_value_type(argv[k]) == SQLITE_NULL) return;  // result stays NULL
    }
    char32_t escape = 0;
    if (argc == 3) {
        const std::string_view e = textOf(argv[2]);
        std::vector<char32_t> chars;
        LikePattern::decodeFolded(e, chars);
        if (chars.size() != 1) {
            sqlite3_result_error(context, "ESCAPE expression must be a single character", -1);
            return;
        }
        // The escape character is compared before folding.
        std::size_t i = 0;
        escape = decodeOne(e, i);
    }
    auto* compiled = static_cast<CompiledLike*>(sqlite3_get_auxdata(context, 0));
    if (compiled == nullptr || compiled->escape != escape) {
        compiled = new CompiledLike{LikePattern(textOf(argv[0]), escape), escape};
        sqlite3_set_auxdata(context, 0, compiled, destroyPattern);
        // sqlite3_set_auxdata may have destroyed it already on failure.
        compiled = static_cast<CompiledLike*>(sqlite3_get_auxdata(context, 0));
        if (compiled == nullptr) {
            LikePattern once(textOf(argv[0]), escape);
            sqlite3_result_int(context, once.matches(textOf(argv[1])) ? 1 : 0);
            return;
        }
    }
    sqlite3_result_int(context, compiled->pattern.matches(textOf(argv[1])) ? 1 : 0);
}

}  // namespace

void RegisterLike(sqlite3* db) {
    // Deterministic and free of side effects: the engine may use it in
    // indexes and in a catalogue's own schema.
    const int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS;
    sqlite3_create_function_v2(db, "like", 2, flags, nullptr, likeFunction, nullptr, nullptr,
                               nullptr);
    sqlite3_create_function_v2(db, "like", 3, flags, nullptr, likeFunction, nullptr, nullptr,
                               nullptr);
}

}  // namespace quarrow
