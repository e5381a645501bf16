#include "ReferenceLike.h"

#include "db/IndexFolding.h"

#include <QByteArray>
#include <algorithm>

namespace quarrow::test {

namespace {

struct Token {
    enum class Kind { AnyRun, AnyOne, Literal };
    Kind kind;
    char32_t c = 0;
};

// The length of the sequence a lead byte starts and the range its second
// byte must lie in; 0 for a byte that starts none.
struct Lead {
    int length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
};

Lead leadOf(unsigned char b) {
    if (b < 0x80) return {1};
    if (b >= 0xC2 && b <= 0xDF) return {2};
    if (b == 0xE0) return {3, 0xA0, 0xBF};
    if (b == 0xED) return {3, 0x80, 0x9F};
    if (b >= 0xE1 && b <= 0xEF) return {3};
    if (b == 0xF0) return {4, 0x90, 0xBF};
    if (b >= 0xF1 && b <= 0xF3) return {4};
    if (b == 0xF4) return {4, 0x80, 0x8F};
    return {};
}

char32_t folded(char32_t c) { return c >= kRawByte ? c : IndexFold(c); }

std::vector<Token> tokens(std::string_view pattern, char32_t escape) {
    const std::vector<char32_t> chars = DecodeUtf8(pattern);
    std::vector<Token> out;
    out.reserve(chars.size());
    for (std::size_t i = 0; i < chars.size(); ++i) {
        const char32_t c = chars[i];
        if (escape != 0 && c == escape) {
            if (i + 1 < chars.size()) out.push_back({Token::Kind::Literal, folded(chars[++i])});
        } else if (c == U'%') {
            out.push_back({Token::Kind::AnyRun});
        } else if (c == U'_') {
            out.push_back({Token::Kind::AnyOne});
        } else {
            out.push_back({Token::Kind::Literal, folded(c)});
        }
    }
    return out;
}

}  // namespace

char32_t DecodeUtf8At(std::string_view bytes, std::size_t& i) {
    const auto b0 = static_cast<unsigned char>(bytes[i]);
    const Lead lead = leadOf(b0);
    const auto at = [&bytes, i](int k) { return static_cast<unsigned char>(bytes[i + k]); };
    bool wellFormed = lead.length > 0 && i + lead.length <= bytes.size();
    if (wellFormed && lead.length > 1) wellFormed = at(1) >= lead.low && at(1) <= lead.high;
    for (int k = 2; wellFormed && k < lead.length; ++k) wellFormed = at(k) >= 0x80 && at(k) <= 0xBF;
    if (!wellFormed) {
        ++i;
        return kRawByte + b0;
    }
    static constexpr unsigned char kLeadBits[] = {0, 0x7F, 0x1F, 0x0F, 0x07};
    char32_t c = b0 & kLeadBits[lead.length];
    for (int k = 1; k < lead.length; ++k) c = (c << 6) | (at(k) & 0x3F);
    i += lead.length;
    return c;
}

std::vector<char32_t> DecodeUtf8(std::string_view bytes) {
    std::vector<char32_t> out;
    out.reserve(bytes.size());
    std::size_t i = 0;
    while (i < bytes.size()) out.push_back(DecodeUtf8At(bytes, i));
    return out;
}

bool ReferenceLike(std::string_view pattern, std::string_view text, char32_t escape) {
    const std::vector<Token> ts = tokens(pattern, escape);
    std::vector<char32_t> cs = DecodeUtf8(text);
    for (char32_t& c : cs) c = folded(c);

    // rest[j]: the tokens after the current one match text from j to the end.
    const std::size_t n = cs.size();
    std::vector<char> rest(n + 1, 0);
    rest[n] = 1;
    std::vector<char> here(n + 1, 0);
    for (auto t = ts.rbegin(); t != ts.rend(); ++t) {
        here[n] = t->kind == Token::Kind::AnyRun ? rest[n] : 0;
        for (std::size_t j = n; j-- > 0;) {
            switch (t->kind) {
                case Token::Kind::AnyRun:
                    here[j] = rest[j] || here[j + 1];
                    break;
                case Token::Kind::AnyOne:
                    here[j] = rest[j + 1];
                    break;
                case Token::Kind::Literal:
                    here[j] = cs[j] == t->c && rest[j + 1];
                    break;
            }
        }
        rest.swap(here);
        // From nowhere does the rest of the pattern match, and no token
        // before it can change that: a long pattern ends early.
        if (std::none_of(rest.begin(), rest.end(), [](char can) { return can != 0; })) return false;
    }
    return rest[0] != 0;
}

bool ReferenceLike(const QString& pattern, const QString& text) {
    const QByteArray p = pattern.toUtf8();
    const QByteArray t = text.toUtf8();
    return ReferenceLike(std::string_view(p.constData(), std::size_t(p.size())),
                         std::string_view(t.constData(), std::size_t(t.size())), 0);
}

}  // namespace quarrow::test
