#pragma once

#include <QString>
#include <functional>

namespace quarrow {

// Hands a target (a web address or a script's file name) to the desktop's
// opener and returns at once. The result is never examined and nothing is
// reported when the target cannot be opened.
void OpenInShell(const QString& target);

// What OpenInShell calls. Tests put a recorder here; the default starts the
// desktop's opener detached.
using ShellLauncher = std::function<void(const QString& target)>;
void SetShellLauncher(ShellLauncher launcher);
void StartDesktopOpener(const QString& target);

// Whether the desktop runs the device-manager script dz.cmd, a Windows
// command script. Elsewhere the script could at best be opened in an editor,
// so the program shows its own list of the computer's devices instead.
bool DesktopRunsDeviceManagerScript();

}  // namespace quarrow
