#include "OpenInShell.h"

#include <QProcess>
#include <QStringList>

namespace quarrow {

namespace {
ShellLauncher& launcher() {
    static ShellLauncher current = StartDesktopOpener;
    return current;
}
}  // namespace

void StartDesktopOpener(const QString& target) {
    // The target travels as one argument, never through a shell, so blanks,
    // "&" and "#" reach the opener unchanged.
#if defined(Q_OS_MACOS)
    QProcess::startDetached(QStringLiteral("open"), {target});
#elif defined(Q_OS_WIN)
    QProcess::startDetached(QStringLiteral("explorer.exe"), {target});
#else
    QProcess::startDetached(QStringLiteral("xdg-open"), {target});
#endif
}

void SetShellLauncher(ShellLauncher newLauncher) {
    launcher() = newLauncher ? std::move(newLauncher) : ShellLauncher(StartDesktopOpener);
}

void OpenInShell(const QString& target) { launcher()(target); }

}  // namespace quarrow
