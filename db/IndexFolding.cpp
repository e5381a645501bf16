#include "IndexFolding.h"

#include <sqlite3.h>

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace quarrow {

namespace {

constexpr char32_t kUnknown = 0xFFFFFFFFu;

void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xC0 | (c >> 6));
        out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += char(0xE0 | (c >> 12));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    } else {
        out += char(0xF0 | (c >> 18));
        out += char(0x80 | ((c >> 12) & 0x3F));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    }
}

char32_t firstCharacter(const char* utf8, int size) {
    if (size <= 0) return kUnknown;
    const auto b0 = static_cast<unsigned char>(utf8[0]);
    if (b0 < 0x80) return b0;
    int length = (b0 & 0xE0) == 0xC0 ? 2 : (b0 & 0xF0) == 0xE0 ? 3 : (b0 & 0xF8) == 0xF0 ? 4 : 0;
    if (length == 0 || length > size) return kUnknown;
    char32_t c = b0 & (0x7F >> length);
    for (int k = 1; k < length; ++k) c = (c << 6) | (static_cast<unsigned char>(utf8[k]) & 0x3F);
    return c;
}

// Asks the engine's own trigram tokenizer how it folds a character, once
// per character, by tokenizing three copies of it.
class TrigramFolder {
public:
    TrigramFolder() {
        if (sqlite3_open_v2(":memory:", &db_, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) return;
        fts5_api* api = nullptr;
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(db_, "SELECT fts5(?1)", -1, &stmt, nullptr) == SQLITE_OK) {
            sqlite3_bind_pointer(stmt, 1, static_cast<void*>(&api), "fts5_api_ptr", nullptr);
            sqlite3_step(stmt);
        }
        sqlite3_finalize(stmt);
        if (api == nullptr) return;
        void* context = nullptr;
        if (api->xFindTokenizer(api, "trigram", &context, &tokenizer_) != SQLITE_OK) return;
        if (tokenizer_.xCreate(context, nullptr, 0, &instance_) != SQLITE_OK) instance_ = nullptr;
    }

    ~TrigramFolder() {
        if (instance_ != nullptr) tokenizer_.xDelete(instance_);
        sqlite3_close(db_);
    }

    char32_t fold(char32_t c) {
        if (instance_ == nullptr) return c;
        std::string text;
        for (int k = 0; k < 3; ++k) appendUtf8(text, c);
        char32_t folded = kUnknown;
        tokenizer_.xTokenize(instance_, &folded, FTS5_TOKENIZE_DOCUMENT, text.data(),
                             int(text.size()), &TrigramFolder::onToken);
        return folded == kUnknown ? c : folded;
    }

private:
    static int onToken(void* context, int, const char* token, int size, int, int) {
        auto* folded = static_cast<char32_t*>(context);
        if (*folded == kUnknown) *folded = firstCharacter(token, size);
        return SQLITE_OK;
    }

    sqlite3* db_ = nullptr;
    fts5_tokenizer tokenizer_{};
    Fts5Tokenizer* instance_ = nullptr;
};

}  // namespace

char32_t IndexFold(char32_t c) {
    if (c < 0x80) return (c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c;
    if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return c;
    static std::vector<char32_t> basic(0x10000, kUnknown);
    static std::unordered_map<char32_t, char32_t> supplementary;
    if (c < 0x10000 && basic[c] != kUnknown) return basic[c];
    if (c >= 0x10000) {
        const auto it = supplementary.find(c);
        if (it != supplementary.end()) return it->second;
    }
    static TrigramFolder folder;
    const char32_t folded = folder.fold(c);
    if (c < 0x10000) {
        basic[c] = folded;
    } else {
        supplementary.emplace(c, folded);
    }
    return folded;
}

}  // namespace quarrow
