#!/usr/bin/env bash
# Runs a program of the Windows build under Wine:
#
#   scripts/lib/wine-run.sh CACHE PROGRAM.exe [ARGUMENT...]
#
# CACHE is the cache of scripts/build-windows.sh: the program finds the DLLs
# of Qt, SQLite, libzip, zlib, libmdb and the MinGW runtime there, and Wine
# keeps its Windows folder in CACHE/wine (WINEPREFIX, unless that is set).
# The Windows build runs its tools and tests through this script (CMake's
# CMAKE_CROSSCOMPILING_EMULATOR). The exit code is the program's.
set -euo pipefail

if [ $# -lt 2 ]; then
  sed -n '2,10p' "$0" | sed 's/^# \{0,1\}//' >&2
  exit 2
fi
cache=$1
shift

# Wine shows the folders of this machine as drive Z:.
windows_path() {
  local path
  path=$(realpath -m "$1")
  printf 'Z:%s' "${path//\//\\}"
}

export WINEPREFIX=${WINEPREFIX:-$cache/wine}
export WINEDEBUG=${WINEDEBUG:--all}
# Neither .NET nor Wine's web view is needed; without this a new Windows
# folder would stop to offer their installation.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}

dll_folders=()
for folder in qt/bin sqlite3/bin libzip/bin zlib/bin libmdb/bin mingw-runtime/bin; do
  dll_folders+=("$(windows_path "$cache/$folder")")
done
WINEPATH=$(IFS=';' && echo "${dll_folders[*]}")
export WINEPATH

# Wine keeps this machine's QT_ variables from Windows programs, for they
# would mislead a Windows Qt; it passes WINEQT_... on as QT_....
while IFS= read -r name; do
  export "WINE$name=${!name}"
done < <(compgen -e | grep '^QT_' || true)
# The programs get this machine's pipes and terminal, not a Windows console;
# without a console Qt (and Qt Test's log) would write to the debugger only.
export WINEQT_FORCE_STDERR_LOGGING=${WINEQT_FORCE_STDERR_LOGGING:-1}

# A new Windows folder is made once (about a minute); its temporary folder is
# moved onto drive Z:, where the build's folders are, so that a program whose
# current folder is a temporary one still finds the build's files by the
# Linux paths the build gives it (Windows reads "/work/..." on the current
# drive).
if [ ! -f "$WINEPREFIX/quarrow-ready" ]; then
  mkdir -p "$WINEPREFIX"
  (
    flock 9
    if [ ! -f "$WINEPREFIX/quarrow-ready" ]; then
      echo "wine-run.sh: making the Windows folder $WINEPREFIX (once)" >&2
      wineboot --init >/dev/null 2>&1 || true
      mkdir -p "$WINEPREFIX/temp"
      for name in TEMP TMP; do
        wine reg add 'HKCU\Environment' /v "$name" /d "$(windows_path "$WINEPREFIX/temp")" /f \
          >/dev/null
      done
      wineserver --wait
      touch "$WINEPREFIX/quarrow-ready"
    fi
  ) 9>"$WINEPREFIX.lock"
fi

# Windows' faces that the windows ask for are Wine's to stand in for: the
# metric-compatible Liberation faces (Debian's fonts-liberation) show each
# text as wide as Windows does, which Wine's own stand-ins do not.
if [ ! -f "$WINEPREFIX/quarrow-fonts" ]; then
  (
    flock 9
    if [ ! -f "$WINEPREFIX/quarrow-fonts" ]; then
      for pair in "Arial=Liberation Sans" "Times New Roman=Liberation Serif" \
                  "Courier New=Liberation Mono"; do
        wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "${pair%%=*}" /d "${pair#*=}" /f \
          >/dev/null
      done
      wineserver --wait
      touch "$WINEPREFIX/quarrow-fonts"
    fi
  ) 9>"$WINEPREFIX.lock"
fi

# Qt's offscreen platform, which the tests use, reads its fonts from one
# folder (QT_QPA_FONTDIR) rather than from Windows: Liberation (Debian's
# fonts-liberation), which has Arial's widths, as the Linux build draws with.
# Nothing else, or Qt would draw Cyrillic text with another face.
fonts=$WINEPREFIX/offscreen-fonts
if [ ! -d "$fonts" ]; then
  mkdir -p "$fonts.new"
  ln -sf /usr/share/fonts/truetype/liberation/*.ttf "$fonts.new/"
  mv "$fonts.new" "$fonts" 2>/dev/null || rm -rf "$fonts.new"
fi
export WINEQT_QPA_FONTDIR=${WINEQT_QPA_FONTDIR:-$(windows_path "$fonts")}

# Wine's server and its background services outlive the program that
# started them and keep the standard streams they were given: started by the
# program itself, they would hold its pipes open long after it ended (ctest
# waits for those). So they are started first, without the caller's streams,
# and stay a minute after the last program.
wineserver -p60 </dev/null >/dev/null 2>&1 || true
wine cmd /c exit </dev/null >/dev/null 2>&1 || true

exec wine "$@"
