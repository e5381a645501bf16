// iconv for mdbtools' libmdb on Windows, where the C runtime has none.
//
// Conversions go through UTF-16 with the Windows API's own code page tables
// (MultiByteToWideChar, WideCharToMultiByte), which covers what libmdb asks
// for: UTF-8 from and to UCS-2LE (Jet 4 text) and from and to a Jet 3 file's
// code page, such as WINDOWS-1251. It is compiled into libmdb's DLL and not
// exported; programs that include mdbtools.h see these declarations only.
#ifndef QUARROW_WINDOWS_ICONV_H
#define QUARROW_WINDOWS_ICONV_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct WindowsIconv* iconv_t;

// (iconv_t)-1 with errno EINVAL for a character set without a Windows code page.
iconv_t iconv_open(const char* tocode, const char* fromcode);
// As POSIX says: converts whole characters, stops with EILSEQ before one that
// is invalid in the source or has no form in the target, with E2BIG when the
// output is full and with EINVAL before a character cut off at the input's end.
size_t iconv(iconv_t cd, char** inbuf, size_t* inbytesleft, char** outbuf, size_t* outbytesleft);
int iconv_close(iconv_t cd);

#ifdef __cplusplus
}
#endif

#endif
