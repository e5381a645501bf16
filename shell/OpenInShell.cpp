#include "OpenInShell.h"

#include <QProcess>
#include <QStringList>

#if defined(Q_OS_WIN)
// <shellapi.h> needs the types that <windows.h> declares, so it comes after
// it in a block of its own, where sorting cannot move it.
#include <windows.h>

#include <shellapi.h>
#endif

namespace quarrow {

namespace {
ShellLauncher& launcher() {
    static ShellLauncher current = StartDesktopOpener;
    return current;
}
}  // namespace

void StartDesktopOpener(const QString& target) {
    // The target travels as one argument, never through a command line that a
    // shell would split, so blanks, "&", "#" and any letters arrive unchanged.
    // What the opener makes of it is not our business: the result is ignored.
#if defined(Q_OS_WIN)
    ShellExecuteW(nullptr, L"open", reinterpret_cast<const wchar_t*>(target.utf16()), nullptr,
                  nullptr, SW_HIDE);
#elif defined(Q_OS_MACOS)
    QProcess::startDetached(QStringLiteral("open"), {target});
#else
    QProcess::startDetached(QStringLiteral("xdg-open"), {target});
#endif
}

bool DesktopRunsDeviceManagerScript() {
#if defined(Q_OS_WIN)
    return true;
#else
    return false;
#endif
}

void SetShellLauncher(ShellLauncher newLauncher) {
    launcher() = newLauncher ? std::move(newLauncher) : ShellLauncher(StartDesktopOpener);
}

void OpenInShell(const QString& target) { launcher()(target); }

}  // namespace quarrow
