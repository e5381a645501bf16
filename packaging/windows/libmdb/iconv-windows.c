// See iconv.h.
#include "iconv.h"

#include <errno.h>
#include <limits.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>

enum { UTF16_LE = 1200, UTF7 = 65000 };

struct WindowsIconv {
    UINT from;
    UINT to;
};

static int starts_with(const char* text, const char* prefix, const char** rest) {
    size_t length = strlen(prefix);
    if (_strnicmp(text, prefix, length) != 0) return 0;
    *rest = text + length;
    return 1;
}

static UINT number_of(const char* digits) {
    char* end = NULL;
    unsigned long number = strtoul(digits, &end, 10);
    return (*digits != '\0' && *end == '\0' && number > 0 && number < 65536) ? (UINT)number : 0;
}

// The names libmdb gives (mdb_iconv_name_from_code_page) and their usual
// spellings, as Windows code page identifiers; 0 when Windows has none.
static UINT code_page_of(const char* name) {
    static const struct {
        const char* name;
        UINT code_page;
    } named[] = {
        {"UTF-8", CP_UTF8}, {"UTF8", CP_UTF8}, {"UCS-2LE", UTF16_LE},  {"UTF-16LE", UTF16_LE},
        {"UTF-7", UTF7},    {"KOI8-R", 20866}, {"KOI8-U", 21866},      {"SHIFT-JIS", 932},
        {"SHIFT_JIS", 932}, {"BIG-5", 950},    {"BIG5", 950},          {"EUC-JP", 20932},
        {"EUC-CN", 936},    {"EUC-KR", 949},   {"ISO-8859-13", 28603}, {"ISO-8859-15", 28605},
    };
    for (size_t i = 0; i < sizeof named / sizeof named[0]; ++i) {
        if (_stricmp(name, named[i].name) == 0) return named[i].code_page;
    }
    const char* rest = NULL;
    if (starts_with(name, "ISO-8859-", &rest)) {
        UINT part = number_of(rest);
        return part >= 1 && part <= 9 ? 28590 + part : 0;
    }
    if (starts_with(name, "WINDOWS-", &rest) || starts_with(name, "CP", &rest) ||
        starts_with(name, "IBM", &rest)) {
        return number_of(rest);
    }
    return 0;
}

// These code pages take no flags in the conversion calls (Windows' rule).
static int takes_no_flags(UINT code_page) {
    return code_page == UTF7 || code_page == 42 || (code_page >= 50220 && code_page <= 50229) ||
           (code_page >= 57002 && code_page <= 57011);
}

iconv_t iconv_open(const char* tocode, const char* fromcode) {
    UINT to = code_page_of(tocode);
    UINT from = code_page_of(fromcode);
    if (to == 0 || from == 0 || (to != UTF16_LE && !IsValidCodePage(to)) ||
        (from != UTF16_LE && !IsValidCodePage(from))) {
        errno = EINVAL;
        return (iconv_t)-1;
    }
    iconv_t cd = malloc(sizeof *cd);
    if (cd == NULL) {
        errno = ENOMEM;
        return (iconv_t)-1;
    }
    cd->from = from;
    cd->to = to;
    return cd;
}

int iconv_close(iconv_t cd) {
    if (cd == (iconv_t)-1 || cd == NULL) {
        errno = EBADF;
        return -1;
    }
    free(cd);
    return 0;
}

// The source text as UTF-16 in *wide (which the caller frees); the number of
// UTF-16 units, or -1 when the source is not valid in its code page.
static int to_utf16(UINT from, const char* in, size_t length, WCHAR** wide) {
    if (length > INT_MAX / 2) return -1;
    if (from == UTF16_LE) {
        if (length % 2 != 0) return -1;
        int units = (int)(length / 2);
        *wide = malloc((size_t)units * sizeof(WCHAR));
        if (*wide == NULL) return -1;
        memcpy(*wide, in, (size_t)units * sizeof(WCHAR));
        return units;
    }
    DWORD flags = takes_no_flags(from) ? 0 : MB_ERR_INVALID_CHARS;
    int units = MultiByteToWideChar(from, flags, in, (int)length, NULL, 0);
    if (units <= 0) return -1;
    *wide = malloc((size_t)units * sizeof(WCHAR));
    if (*wide == NULL) return -1;
    return MultiByteToWideChar(from, flags, in, (int)length, *wide, units) == units ? units : -1;
}

enum Outcome { CONVERTED, INVALID, NO_ROOM };

// Converts LENGTH source bytes of whole characters into OUT, all or nothing.
static enum Outcome convert(const struct WindowsIconv* cd, const char* in, size_t length, char* out,
                            size_t room, size_t* written) {
    WCHAR* wide = NULL;
    int units = to_utf16(cd->from, in, length, &wide);
    enum Outcome outcome = INVALID;
    if (units > 0 && cd->to == UTF16_LE) {
        size_t bytes = (size_t)units * sizeof(WCHAR);
        outcome = bytes > room ? NO_ROOM : CONVERTED;
        if (outcome == CONVERTED) {
            memcpy(out, wide, bytes);
            *written = bytes;
        }
    } else if (units > 0) {
        DWORD flags = 0;
        BOOL defaulted = FALSE;
        BOOL* used_default = NULL;
        if (cd->to == CP_UTF8) {
            flags = WC_ERR_INVALID_CHARS;
        } else if (!takes_no_flags(cd->to)) {
            flags = WC_NO_BEST_FIT_CHARS;
            used_default = &defaulted;
        }
        int needed = WideCharToMultiByte(cd->to, flags, wide, units, NULL, 0, NULL, used_default);
        if (needed > 0 && !defaulted) {
            outcome = (size_t)needed > room ? NO_ROOM : CONVERTED;
        }
        if (outcome == CONVERTED) {
            *written =
                (size_t)WideCharToMultiByte(cd->to, flags, wide, units, out, needed, NULL, NULL);
        }
    }
    free(wide);
    return outcome;
}

// How many bytes the source character at IN takes (at least 1).
static size_t character_length(UINT from, const unsigned char* in, size_t left) {
    if (from == UTF16_LE) {
        WCHAR unit = (WCHAR)(in[0] | (left > 1 ? in[1] << 8 : 0));
        return (unit >= 0xD800 && unit <= 0xDBFF) ? 4 : 2;
    }
    if (from == CP_UTF8) {
        return in[0] >= 0xF8 ? 1 : in[0] >= 0xF0 ? 4 : in[0] >= 0xE0 ? 3 : in[0] >= 0xC0 ? 2 : 1;
    }
    return IsDBCSLeadByteEx(from, in[0]) ? 2 : 1;
}

size_t iconv(iconv_t cd, char** inbuf, size_t* inbytesleft, char** outbuf, size_t* outbytesleft) {
    if (cd == (iconv_t)-1 || cd == NULL) {
        errno = EBADF;
        return (size_t)-1;
    }
    // No shift states: nothing to reset or to flush.
    if (inbuf == NULL || *inbuf == NULL || *inbytesleft == 0) return 0;

    size_t written = 0;
    // Mostly the whole text converts in one go; otherwise character by
    // character, to stop exactly where the fault is.
    if (convert(cd, *inbuf, *inbytesleft, *outbuf, *outbytesleft, &written) == CONVERTED) {
        *inbuf += *inbytesleft;
        *inbytesleft = 0;
        *outbuf += written;
        *outbytesleft -= written;
        return 0;
    }
    while (*inbytesleft > 0) {
        size_t length = character_length(cd->from, (const unsigned char*)*inbuf, *inbytesleft);
        if (length > *inbytesleft) {
            // A high surrogate with no low one after it is itself the fault.
            int lone_surrogate = cd->from == UTF16_LE && *inbytesleft >= 2;
            errno = lone_surrogate ? EILSEQ : EINVAL;
            return (size_t)-1;
        }
        enum Outcome outcome = convert(cd, *inbuf, length, *outbuf, *outbytesleft, &written);
        if (outcome != CONVERTED) {
            errno = outcome == NO_ROOM ? E2BIG : EILSEQ;
            return (size_t)-1;
        }
        *inbuf += length;
        *inbytesleft -= length;
        *outbuf += written;
        *outbytesleft -= written;
    }
    return 0;
}
