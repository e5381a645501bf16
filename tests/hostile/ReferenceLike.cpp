#include "ReferenceLike.h"

#include "db/IndexFolding.h"

#include <QList>
#include <vector>

namespace quarrow::test {

namespace {

std::vector<char32_t> folded(const QString& text) {
    std::vector<char32_t> out;
    for (const char32_t c : QString::fromUtf8(text.toUtf8()).toUcs4()) out.push_back(IndexFold(c));
    return out;
}

}  // namespace

bool ReferenceLike(const QString& pattern, const QString& text) {
    const std::vector<char32_t> p = folded(pattern);
    const std::vector<char32_t> t = folded(text);
    // can[j]: the pattern read so far matches the first j characters.
    std::vector<char> can(t.size() + 1, 0);
    can[0] = 1;
    for (const char32_t pc : p) {
        std::vector<char> next(t.size() + 1, 0);
        if (pc == U'%') {
            char any = 0;
            for (std::size_t j = 0; j <= t.size(); ++j) {
                any = any || can[j];
                next[j] = any;
            }
        } else {
            for (std::size_t j = 0; j < t.size(); ++j) {
                if (can[j] && (pc == U'_' || pc == t[j])) next[j + 1] = 1;
            }
        }
        can.swap(next);
    }
    return can[t.size()] != 0;
}

}  // namespace quarrow::test
