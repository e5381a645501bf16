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

// Counts the bytes one call of like() compares and hands them to the
// connection's LikeWork every so often. Loops that can compare much more
// than the text's length count as they go, so that a long comparison inside
// one row can be stopped.
class WorkTally {
public:
    explicit WorkTally(LikeWork* work) : work_(work) {}

    // False once the statement is to stop.
    bool add(std::uint64_t bytes) {
        if (work_ == nullptr) return true;
        work_->sinceLook += bytes;
        return work_->sinceLook < LikeWork::kBytesPerLook || look();
    }
    bool stopped() const { return stopped_; }

private:
    bool look() {
        const std::uint64_t bytes = work_->sinceLook;
        work_->sinceLook = 0;
        if (work_->look && !work_->look(bytes)) stopped_ = true;
        return !stopped_;
    }

    LikeWork* work_;
    bool stopped_ = false;
};

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

// The first place in text[from, end) where `part`, which has no "_" in
// it, lies whole; `end` when there is none. `unit` gives a unit of the text
// as the part holds it (folded). Each unit of the text is looked at a
// bounded number of times, whatever the part and the text hold (the
// Knuth-Morris-Pratt search), where trying every place in turn can compare
// the whole part at each of them.
template <typename Part, typename Text, typename Unit>
std::size_t firstPlaceOf(const Part& part, const Text& text, std::size_t from, std::size_t end,
                         Unit unit) {
    const std::size_t m = part.size();
    if (m == 0) return from;
    // border[k]: the longest proper border of part[0, k].
    std::vector<std::size_t> border(m + 1, 0);
    for (std::size_t k = 1, b = 0; k < m; ++k) {
        while (b > 0 && part[k] != part[b]) b = border[b];
        if (part[k] == part[b]) ++b;
        border[k + 1] = b;
    }
    std::size_t matched = 0;
    for (std::size_t i = from; i < end; ++i) {
        const auto c = unit(text[i]);
        while (matched > 0 && part[matched] != c) matched = border[matched];
        if (part[matched] == c) ++matched;
        if (matched == m) return i + 1 - m;
    }
    return end;
}

// Matches decoded text against a pattern split at its "%" signs: the first
// part anchors at the start, the last at the end, the others in order
// between. Leftmost placement of each middle part is always the best one,
// since only "%" can absorb a variable run.
// `exact` tells whether a part has no "_" in it.
template <typename Part, typename Text, typename Same, typename Exact>
bool matchParts(const std::vector<Part>& parts, const Text& text, Same same, Exact exact,
                WorkTally& tally) {
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
        // A place whose first character differs costs no more than the
        // pass over the text; only the others are counted. Once they have
        // cost more than the text is long, a part without "_" is searched
        // for in linear time instead.
        std::uint64_t compared = 0;
        std::uint64_t wasted = 0;
        while (pos <= last) {
            if (same(part[0], text[pos])) {
                if (partAt(part, pos)) break;
                compared += part.size();
                wasted += part.size();
                if (wasted > text.size() && exact(part)) {
                    if (!tally.add(compared + (text.size() - pos))) return false;
                    compared = 0;
                    pos = firstPlaceOf(part, text, pos + 1, end, [](auto c) { return c; });
                    if (pos == end) return false;
                    break;
                }
                if (compared >= LikeWork::kBytesPerLook) {
                    if (!tally.add(compared)) return false;
                    compared = 0;
                }
            }
            ++pos;
        }
        if (!tally.add(compared)) return false;
        if (pos > last) return false;
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

namespace {

constexpr std::size_t kNone = std::string::npos;

// The characters outside ASCII that fold onto an ASCII letter, with the
// letter and the first byte of their UTF-8 form: the Kelvin sign and the
// long s. Every other character folds outside ASCII (the data layer's tests
// check this against the folding for every character), so a text without
// these first bytes compares with an ASCII pattern byte by byte, and no byte
// of a character outside ASCII equals an ASCII byte.
struct ForeignFolding {
    char letter;
    char leadByte;
};
constexpr ForeignFolding kForeignFoldings[] = {{'k', char(0xE2)}, {'s', char(0xC5)}};

// How many bytes the character at text[at] takes, as decodeOne reads it.
std::size_t characterBytes(std::string_view text, std::size_t at) {
    if (static_cast<unsigned char>(text[at]) < 0x80) return 1;
    std::size_t next = at;
    decodeOne(text, next);
    return next - at;
}

// Where `count` characters after text[at] end; kNone when they would pass
// `limit`, which lies between two characters.
std::size_t skipCharacters(std::string_view text, std::size_t at, std::size_t count,
                           std::size_t limit) {
    for (; count > 0; --count) {
        if (at >= limit) return kNone;
        at += characterBytes(text, at);
    }
    return at <= limit ? at : kNone;
}

// Matches part[from, end) at text[at] without passing `limit`; returns where
// the match ends, or kNone.
std::size_t matchBytesAt(const std::string& part, std::size_t from, std::string_view text,
                         std::size_t at, std::size_t limit) {
    for (std::size_t k = from; k < part.size(); ++k) {
        if (at >= limit) return kNone;
        const auto p = static_cast<unsigned char>(part[k]);
        if (p == kAnyByte) {
            at += characterBytes(text, at);
            if (at > limit) return kNone;
        } else if (lowerAscii(static_cast<unsigned char>(text[at])) != p) {
            return kNone;
        } else {
            ++at;
        }
    }
    return at;
}

}  // namespace

void LikePattern::prepareByteMatching() {
    bytesOnlyWhenAscii_ = false;
    for (const auto& part : parts_) {
        std::string bytes;
        for (const char32_t c : part) {
            if (c == kAnyOne) {
                bytes += char(kAnyByte);
                continue;
            }
            if (c >= 0x80) {
                byteParts_.clear();
                byteAnchors_.clear();
                foreignLeadBytes_.clear();
                return;
            }
            for (const ForeignFolding& foreign : kForeignFoldings) {
                if (c == char32_t(foreign.letter) &&
                    foreignLeadBytes_.find(foreign.leadByte) == std::string::npos) {
                    foreignLeadBytes_ += foreign.leadByte;
                }
            }
            bytes += char(c);
        }
        const std::size_t at = bytes.find_first_not_of(char(kAnyByte));
        const bool pair = at != std::string::npos && at + 1 < bytes.size() &&
                          static_cast<unsigned char>(bytes[at + 1]) != kAnyByte;
        byteAnchors_.push_back({at, pair});
        byteParts_.push_back(std::move(bytes));
    }
    // The part anchored at the end is placed by its length in bytes, which
    // "_" leaves open unless every character is one byte.
    const std::string& suffix = byteParts_.back();
    bytesOnlyWhenAscii_ = byteParts_.size() > 1 && suffix.find(char(kAnyByte)) != std::string::npos;
}

bool LikePattern::matchesBytes(std::string_view text, WorkTally& tally) const {
    const std::size_t size = text.size();
    if (byteParts_.size() == 1) return matchBytesAt(byteParts_.front(), 0, text, 0, size) == size;
    std::size_t pos = matchBytesAt(byteParts_.front(), 0, text, 0, size);
    if (pos == kNone) return false;
    // Here each "_" of the suffix stands for one byte (see bytesOnlyWhenAscii_).
    const std::string& suffix = byteParts_.back();
    if (suffix.size() > size - pos) return false;
    const std::size_t end = size - suffix.size();
    if (matchBytesAt(suffix, 0, text, end, size) != size) return false;
    // Each middle part at its first place: a later one could only leave less
    // room for the parts after it.
    for (std::size_t s = 1; s + 1 < byteParts_.size(); ++s) {
        const std::string& part = byteParts_[s];
        if (part.empty()) continue;
        const auto [at, pair] = byteAnchors_[s];
        if (at == kNone) {
            pos = skipCharacters(text, pos, part.size(), end);
            if (pos == kNone) return false;
            continue;
        }
        // The "_" before the anchor take the characters just before it, so
        // the anchor lies at least that many characters on.
        std::size_t from = skipCharacters(text, pos, at, end);
        if (from == kNone || part.size() - at > end - from) return false;
        const std::size_t to = end - (part.size() - at) + 1;
        const FoldedByte first(static_cast<unsigned char>(part[at]));
        const FoldedByte second(pair ? static_cast<unsigned char>(part[at + 1]) : 0);
        const bool exact = part.find(char(kAnyByte)) == std::string::npos;
        std::uint64_t wasted = 0;
        for (;;) {
            const std::size_t hit = findFolded(text, from, to, first, pair ? &second : nullptr);
            if (hit >= to) return false;
            const std::size_t matched = matchBytesAt(part, at, text, hit, end);
            if (matched != kNone) {
                pos = matched;
                break;
            }
            // Each false start compares up to the rest of the part. Once
            // they have cost more than the text is long, a part without "_"
            // is searched for in linear time instead.
            if (!tally.add(part.size() - at)) return false;
            wasted += part.size() - at;
            if (exact && wasted > size) {
                if (!tally.add(end - hit)) return false;
                const std::size_t place = firstPlaceOf(part, text, hit + 1, end, [](char c) {
                    return char(lowerAscii(static_cast<unsigned char>(c)));
                });
                if (place == end) return false;
                pos = place + part.size();
                break;
            }
            from = hit + 1;
        }
    }
    return true;
}

bool LikePattern::bytesMatchExactly(std::string_view text) const {
    if (byteParts_.empty()) return false;
    if (bytesOnlyWhenAscii_ && !isAscii(text)) return false;
    return text.empty() ||
           std::none_of(foreignLeadBytes_.begin(), foreignLeadBytes_.end(), [&](char lead) {
               return std::memchr(text.data(), lead, text.size()) != nullptr;
           });
}

bool LikePattern::matches(std::string_view utf8) const { return matches(utf8, nullptr, nullptr); }

bool LikePattern::matches(std::string_view utf8, LikeWork* work, bool* stopped) const {
    if (matchesAnyText_) return true;
    WorkTally tally(work);
    bool result = false;
    // The passes over the text (checks, decoding, the search for each
    // part's first bytes) count as one.
    if (tally.add(utf8.size())) {
        if (bytesMatchExactly(utf8)) {
            result = matchesBytes(utf8, tally);
        } else {
            thread_local std::vector<char32_t> text;
            decodeFolded(utf8, text);
            result = matchParts(
                parts_, text, [](char32_t p, char32_t t) { return p == kAnyOne || p == t; },
                [](const std::vector<char32_t>& part) {
                    return std::find(part.begin(), part.end(), kAnyOne) == part.end();
                },
                tally);
        }
    }
    if (stopped != nullptr) *stopped = tally.stopped();
    return result && !tally.stopped();
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
    auto* work = static_cast<LikeWork*>(sqlite3_user_data(context));
    const auto answer = [context, work](const LikePattern& pattern, std::string_view text) {
        bool stopped = false;
        const bool matched = pattern.matches(text, work, &stopped);
        if (stopped) {
            sqlite3_result_error_code(context, SQLITE_INTERRUPT);
        } else {
            sqlite3_result_int(context, matched ? 1 : 0);
        }
    };
    auto* compiled = static_cast<CompiledLike*>(sqlite3_get_auxdata(context, 0));
    if (compiled == nullptr || compiled->escape != escape) {
        compiled = new CompiledLike{LikePattern(textOf(argv[0]), escape), escape};
        sqlite3_set_auxdata(context, 0, compiled, destroyPattern);
        // sqlite3_set_auxdata may have destroyed it already on failure.
        compiled = static_cast<CompiledLike*>(sqlite3_get_auxdata(context, 0));
        if (compiled == nullptr) {
            answer(LikePattern(textOf(argv[0]), escape), textOf(argv[1]));
            return;
        }
    }
    answer(compiled->pattern, textOf(argv[1]));
}

}  // namespace

void RegisterLike(sqlite3* db, LikeWork* work) {
    // Deterministic and free of side effects: the engine may use it in
    // indexes and in a catalogue's own schema.
    const int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS;
    sqlite3_create_function_v2(db, "like", 2, flags, work, likeFunction, nullptr, nullptr, nullptr);
    sqlite3_create_function_v2(db, "like", 3, flags, work, likeFunction, nullptr, nullptr, nullptr);
}

}  // namespace quarrow
