// The stand-in browser of the Windows tests (StandInOpener): appends to the
// log that QUARROW_STAND_IN_LOG names "1", everything on its command line
// after its own name, and its current folder, each ended by NUL.
#include <windows.h>

#include <cwchar>
#include <string>

namespace {

std::string utf8(const wchar_t* text, int length) {
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
    std::string result(std::size_t(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, length, result.data(), bytes, nullptr, nullptr);
    return result;
}

// The command line after the program's name and the one blank after it.
const wchar_t* afterProgramName(const wchar_t* line) {
    if (*line == L'"') {
        const wchar_t* end = std::wcschr(line + 1, L'"');
        line = end != nullptr ? end + 1 : line + std::wcslen(line);
    } else {
        while (*line != L'\0' && *line != L' ' && *line != L'\t') ++line;
    }
    return *line == L' ' ? line + 1 : line;
}

}  // namespace

int main() {
    wchar_t log[32768];
    if (GetEnvironmentVariableW(L"QUARROW_STAND_IN_LOG", log, 32768) == 0) return 2;
    const wchar_t* target = afterProgramName(GetCommandLineW());
    wchar_t folder[32768];
    const DWORD folderLength = GetCurrentDirectoryW(32768, folder);
    std::string record = "1";
    record += '\0';
    record += utf8(target, int(std::wcslen(target)));
    record += '\0';
    record += utf8(folder, int(folderLength));
    record += '\0';
    const HANDLE file = CreateFileW(log, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 1;
    DWORD written = 0;
    WriteFile(file, record.data(), DWORD(record.size()), &written, nullptr);
    CloseHandle(file);
    return 0;
}
