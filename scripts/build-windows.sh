#!/usr/bin/env bash
# Cross-builds Quarrow for 64-bit Windows on a Debian machine, with Debian's
# MinGW-w64 compilers.
#
#   scripts/build-windows.sh          the libraries, then Quarrow and its
#                                     portable folder build-windows/Quarrow-<version>-win64/
#                                     and that folder's zip
#   scripts/build-windows.sh deps     only the libraries
#   scripts/build-windows.sh test     the libraries, then Quarrow with its tests,
#                                     and the tests run under Wine
#   scripts/build-windows.sh --check  with the libraries already built: as test;
#                                     without them: say so and exit 0
#   scripts/build-windows.sh screenshots
#                                     the portable folder's program under Wine on a
#                                     virtual display, into docs/screenshots/windows-*.png
#
# The libraries Quarrow links (zlib, SQLite, libzip and Qt) are built from
# Debian's own source packages, so that the Windows program runs the same
# library code, patched the same way, as the Linux one. They go into a cache
# outside the tree, QUARROW_WINDOWS_CACHE (default ~/.cache/quarrow-windows),
# because Qt alone takes more than half an hour on two cores. Each library's
# folder there holds build-key.txt: the source package's version, the
# toolchain's versions and the options it was built with. A run rebuilds a
# library only when that text would change.
set -euo pipefail

usage() {
  sed -n '2,16p' "$0" | sed 's/^# \{0,1\}//'
}

command=all
case "${1:-}" in
  "") ;;
  deps) command=deps ;;
  test) command=test ;;
  screenshots) command=screenshots ;;
  --check) command=check ;;
  -h | --help) usage; exit 0 ;;
  *) usage >&2; exit 2 ;;
esac

repo=$(cd "$(dirname "$0")/.." && pwd)
# Qt writes its install prefix into the files it installs (qt-cmake among
# them), so the cache must be named by an absolute path.
cache=$(realpath -m "${QUARROW_WINDOWS_CACHE:-$HOME/.cache/quarrow-windows}")

target=x86_64-w64-mingw32
cc=$target-gcc-posix
# Two cores here; a lower priority leaves the machine usable meanwhile.
jobs=2
slow=(nice -n 10)

# ---------------------------------------------------------------- reporting

step_names=()
step_times=()
current_step=""
step_started=0

now_ms() { date +%s%3N; }

duration() {
  local ms=$1
  if [ "$ms" -lt 60000 ]; then
    printf '%d.%d s' $((ms / 1000)) $((ms % 1000 / 100))
  else
    printf '%d min %d s' $((ms / 60000)) $((ms % 60000 / 1000))
  fi
}

step_begin() {
  current_step=$1
  step_started=$(now_ms)
  echo
  echo "==> $current_step"
}

step_end() {
  local took=$(($(now_ms) - step_started))
  step_names+=("$current_step")
  step_times+=("$took")
  echo "<== $current_step: $(duration "$took")"
  current_step=""
}

on_exit() {
  local status=$?
  if [ "$status" -ne 0 ] && [ -n "$current_step" ]; then
    echo >&2
    echo "build-windows.sh: failed in step '$current_step' (exit $status)" >&2
    echo "  the unfinished work, if any, is in $cache/work" >&2
  fi
}
trap on_exit EXIT

die() {
  echo "build-windows.sh: $*" >&2
  exit 1
}

# ---------------------------------------------------------------- packages

# The Debian packages are scripts/setup.sh's "windows" set, installed only
# when missing.
install_packages() {
  "$repo/scripts/setup.sh" windows
  echo "The Debian packages for the Windows build are installed."
}

# ---------------------------------------------------------------- version keys

toolchain_file=$cache/toolchain/mingw-w64-x86_64.cmake

toolchain_key() {
  local versions
  versions=$(dpkg-query -W -f='${Package} ${Version}, ' \
    g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix \
    gcc-mingw-w64-x86-64-posix-runtime binutils-mingw-w64-x86-64 mingw-w64-x86-64-dev)
  echo "toolchain: ${versions%, }"
  echo "toolchain file: sha256 $(sha256sum <"$repo/cmake/mingw-w64-x86_64.cmake" | cut -d' ' -f1)"
}

# key NAME: the text build-key.txt of NAME must hold for the build to be kept.
key() {
  local name=$1
  echo "# Written by scripts/build-windows.sh after building $name; $name is"
  echo "# rebuilt whenever the text below would change."
  echo "source: ${source_package[$name]} ${source_version[$name]}"
  toolchain_key
  case $name in
    sqlite3) echo "options: amalgamation; Debian's CFLAGS from debian/rules; ${sqlite_extra[*]}" ;;
    libzip) echo "options: ${libzip_options[*]}"
            echo "zlib: $(key zlib | sha256sum | cut -d' ' -f1)" ;;
    qt) echo "host tools: qt6-base-dev-tools $(dpkg-query -W -f='${Version}' qt6-base-dev-tools)"
        echo "options: ${qt_options[*]}" ;;
  esac
}

is_built() {
  local name=$1
  [ -f "$cache/$name/build-key.txt" ] && [ "$(cat "$cache/$name/build-key.txt")" = "$(key "$name")" ]
}

mark_built() {
  local name=$1
  key "$name" >"$cache/$name/build-key.txt.new"
  mv "$cache/$name/build-key.txt.new" "$cache/$name/build-key.txt"
}

# ---------------------------------------------------------------- sources

# Source packages come through a private apt configuration: a deb-src line of
# the archive and release suite that the machine's own binary packages come
# from, with lists of its own. The machine's apt sources stay as they are.
aptdir=$cache/apt
apt_options=(
  -o "Dir::Etc::sourcelist=$aptdir/sources.list"
  -o Dir::Etc::sourceparts=-
  -o "Dir::State::Lists=$aptdir/lists"
  -o "Dir::Cache=$aptdir/cache"
)
# apt's download user cannot enter a home folder that is private to root.
if [ "$(id -u)" -eq 0 ]; then apt_options+=(-o APT::Sandbox::User=root); fi

declare -A source_package=([zlib]=zlib [sqlite3]=sqlite3 [libzip]=libzip [qt]=qt6-base)
declare -A source_version=()
declare -A source_request=()

# The release suite only: the updates and security suites of debian.sources
# are left out because their pools are not always mirrored (here,
# debian-security answered 404 for zlib's source), and the release suite
# carries the point-release versions the machine's binaries have.
private_sources_line() {
  local file=/etc/apt/sources.list.d/debian.sources
  [ -r "$file" ] || die "$file is missing: cannot tell which Debian archive this machine uses"
  awk '
    BEGIN { RS = ""; FS = "\n" }
    {
      types = uris = suites = comps = signed = ""; enabled = "yes"
      for (i = 1; i <= NF; i++) {
        line = $i
        if (line ~ /^#/) continue
        field = tolower(substr(line, 1, index(line, ":") - 1))
        value = substr(line, index(line, ":") + 1)
        gsub(/^[ \t]+|[ \t]+$/, "", value)
        if (field == "types") types = value
        else if (field == "uris") uris = value
        else if (field == "suites") suites = value
        else if (field == "components") comps = value
        else if (field == "signed-by") signed = value
        else if (field == "enabled") enabled = tolower(value)
      }
      if (enabled == "no" || (" " types " ") !~ / deb /) next
      split(uris, u, /[ \t]+/); split(suites, s, /[ \t]+/)
      options = signed != "" ? "[signed-by=" signed "] " : ""
      print "deb-src " options u[1] " " s[1] " " (comps != "" ? comps : "main")
      exit
    }' "$file"
}

# The private lists are fetched again whenever the machine's own lists are
# newer than them, so source and binary versions come from the same view of
# the archive; otherwise a run needs no network once everything is built.
refresh_private_lists() {
  local line
  line=$(private_sources_line)
  [ -n "$line" ] || die "no binary 'deb' entry in /etc/apt/sources.list.d/debian.sources"
  mkdir -p "$aptdir/lists/partial" "$aptdir/cache"
  local stale=no
  if [ ! -f "$aptdir/sources.list" ] || [ "$(cat "$aptdir/sources.list")" != "$line" ]; then
    echo "$line" >"$aptdir/sources.list"
    stale=yes
  fi
  if [ ! -f "$aptdir/updated" ] || ! compgen -G "$aptdir/lists/*_Sources*" >/dev/null; then
    stale=yes
  elif [ -n "$(find /var/lib/apt/lists -maxdepth 1 -name '*Release' -newer "$aptdir/updated" 2>/dev/null)" ]; then
    stale=yes
  fi
  echo "Private apt sources: $line"
  if [ $stale = yes ]; then
    apt-get "${apt_options[@]}" update
    touch "$aptdir/updated"
  else
    echo "Private source lists are current (fetched $(date -r "$aptdir/updated" '+%F %T'))."
  fi
}

# Qt's host tools must be the same Qt version as the Qt being built, so Qt's
# source is taken at exactly the installed tools' version.
resolve_source_versions() {
  local host_qt host_qt_dev
  host_qt=$(dpkg-query -W -f='${source:Version}' qt6-base-dev-tools)
  host_qt_dev=$(dpkg-query -W -f='${source:Version}' qt6-base-dev)
  [ "$host_qt" = "$host_qt_dev" ] ||
    die "qt6-base-dev-tools ($host_qt) and qt6-base-dev ($host_qt_dev) differ; install the same version of both"
  source_request=([zlib]=zlib [sqlite3]=sqlite3 [libzip]=libzip [qt]="qt6-base=$host_qt")

  local uris name pkg dsc
  if ! uris=$(apt-get "${apt_options[@]}" source --print-uris "${source_request[@]}" 2>&1); then
    echo "$uris" >&2
    die "the private source lists lack one of: ${source_request[*]}"
  fi
  for name in "${!source_package[@]}"; do
    pkg=${source_package[$name]}
    dsc=$(grep -o "^'[^']*' ${pkg}_[^ ]*\.dsc " <<<"$uris" | awk '{ print $2 }' | head -n 1)
    [ -n "$dsc" ] || die "no source package $pkg in the private source lists"
    dsc=${dsc#"${pkg}_"}
    source_version[$name]=${dsc%.dsc}
  done
  [ "${source_version[qt]}" = "${host_qt#*:}" ] ||
    die "Qt's source is ${source_version[qt]} but the host tools are $host_qt"
}

# unpack NAME: fetches NAME's source package (apt skips files it already has
# and checks their hashes against the signed lists) and unpacks it with
# Debian's patches applied into $cache/work/NAME/src. A build that failed or
# was stopped leaves its work folder behind; when the source and the toolchain
# are still the same it is kept, so that Qt's build resumes instead of
# starting over.
unpack() {
  local name=$1 pkg=${source_package[$1]} version=${source_version[$1]}
  local resume=$cache/work/$name/resume-key.txt
  local resume_key
  resume_key=$(echo "source: $pkg $version"; toolchain_key)
  if [ -f "$resume" ] && [ "$(cat "$resume")" = "$resume_key" ]; then
    echo "Resuming the unfinished build in $cache/work/$name."
    return
  fi
  local log=$cache/downloads/apt-get-source.log
  mkdir -p "$cache/downloads"
  if ! (cd "$cache/downloads" &&
        apt-get "${apt_options[@]}" source --download-only "${source_request[$name]}") >"$log" 2>&1; then
    cat "$log" >&2
    die "could not download $pkg $version"
  fi
  # apt's advice to clone the packaging repository is not for us.
  grep -v '^NOTICE\|salsa\.debian\.org\|^Please use:\|^git clone\|^to retrieve' "$log" || true
  [ -f "$cache/downloads/${pkg}_$version.dsc" ] || die "apt fetched no ${pkg}_$version.dsc"
  rm -rf "$cache/work/$name"
  mkdir -p "$cache/work/$name"
  dpkg-source -x "$cache/downloads/${pkg}_$version.dsc" "$cache/work/$name/src"
  echo "$resume_key" >"$resume"
}

# ---------------------------------------------------------------- builds

build_runtime() {
  # Whatever the compilers build needs these DLLs at run time; the portable
  # folder and the Wine runs take them from here.
  local dir=$cache/mingw-runtime/bin dll path
  rm -rf "$cache/mingw-runtime"
  mkdir -p "$dir"
  for dll in libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll; do
    path=$($target-g++-posix -print-file-name="$dll")
    [ -f "$path" ] || die "the toolchain has no $dll"
    cp "$path" "$dir/"
    echo "  $path"
  done
}

build_zlib() {
  unpack zlib
  local src=$cache/work/zlib/src prefix=$cache/zlib
  # Debian's source leaves out zlib's win32/ folder (its resource and
  # makefile), which zlib's own CMake build needs on MinGW, so the fifteen
  # files are compiled here. ZLIB_DLL exports exactly zlib's API, and the DLL
  # takes the usual Windows names.
  local files=() file
  for file in adler32 compress crc32 deflate gzclose gzlib gzread gzwrite \
              infback inffast inflate inftrees trees uncompr zutil; do
    files+=("$src/$file.c")
  done
  rm -rf "$prefix"
  mkdir -p "$prefix/bin" "$prefix/lib" "$prefix/include" "$cache/work/zlib/build"
  (cd "$cache/work/zlib/build" &&
    "${slow[@]}" "$cc" -O2 -Wall -DZLIB_DLL -shared -I"$src" \
      "${files[@]}" \
      -o zlib1.dll -Wl,--out-implib,libz.dll.a 2>&1) || die "zlib did not compile"
  cp "$cache/work/zlib/build/zlib1.dll" "$prefix/bin/"
  cp "$cache/work/zlib/build/libz.dll.a" "$prefix/lib/"
  cp "$src/zlib.h" "$src/zconf.h" "$prefix/include/"
  mark_built zlib
  rm -rf "$cache/work/zlib"
}

# Beyond Debian's CFLAGS, its configure switches these on (--enable-fts4,
# --enable-fts5 and the default math functions); Quarrow's search depends on
# FTS5 with the trigram tokenizer.
sqlite_extra=(-DSQLITE_ENABLE_FTS4 -DSQLITE_ENABLE_FTS5 -DSQLITE_ENABLE_MATH_FUNCTIONS)

build_sqlite3() {
  unpack sqlite3
  local src=$cache/work/sqlite3/src gen=$cache/work/sqlite3/amalgamation prefix=$cache/sqlite3
  # The same compile-time options as Debian's Linux library, read from the
  # debian/rules of this very version: some of them (UPDATE ... LIMIT) change
  # the generated parser, and the column metadata API is one of them.
  local debian_flags
  debian_flags=$(sed -n '/^export CFLAGS += /,/[^\\]$/p' "$src/debian/rules" |
    grep -o -- '-DSQLITE_[A-Za-z0-9_]*\(=[^ \\]*\)\{0,1\}' | tr '\n' ' ')
  case " $debian_flags " in
    *" -DSQLITE_ENABLE_COLUMN_METADATA "*) ;;
    *) die "could not read SQLite's compile options from $src/debian/rules" ;;
  esac
  echo "Debian's SQLite options: $debian_flags"
  echo "Added: ${sqlite_extra[*]}"
  # shellcheck disable=SC2206
  local flags=(-O2 -fno-strict-aliasing $debian_flags "${sqlite_extra[@]}")

  # Debian's source is SQLite's full tree; the single-file sqlite3.c is
  # generated from it on this machine, with the options above given to the
  # parser generator.
  mkdir -p "$gen"
  (cd "$gen" &&
    "${slow[@]}" "$src/configure" CFLAGS="${flags[*]}" --disable-tcl \
      --enable-threadsafe --enable-load-extension --enable-json --enable-fts4 --enable-fts5 >configure.log &&
    "${slow[@]}" make -j"$jobs" sqlite3.c sqlite3.h >make.log 2>&1) ||
    { tail -n 30 "$gen/configure.log" "$gen/make.log" >&2 || true; die "could not generate sqlite3.c"; }

  rm -rf "$prefix"
  mkdir -p "$prefix/bin" "$prefix/lib" "$prefix/include"
  # Only the API is exported; programs use sqlite3.h unchanged.
  (cd "$gen" &&
    "${slow[@]}" "$cc" "${flags[@]}" '-DSQLITE_API=__declspec(dllexport)' -shared sqlite3.c \
      -o sqlite3.dll -Wl,--out-implib,libsqlite3.dll.a) || die "sqlite3.dll did not compile"
  cp "$gen/sqlite3.dll" "$prefix/bin/"
  cp "$gen/libsqlite3.dll.a" "$prefix/lib/"
  cp "$gen/sqlite3.h" "$gen/sqlite3ext.h" "$prefix/include/"
  mark_built sqlite3
  rm -rf "$cache/work/sqlite3"
}

# zlib is libzip's only dependency here: the crypto, bzip2, lzma and zstd
# back ends would each need another library, and Quarrow reads plain deflated
# skins. (ENABLE_ZSTD only exists from libzip 1.8 on.)
libzip_options=(
  -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=ON
  -DENABLE_COMMONCRYPTO=OFF -DENABLE_GNUTLS=OFF -DENABLE_MBEDTLS=OFF
  -DENABLE_OPENSSL=OFF -DENABLE_WINDOWS_CRYPTO=OFF
  -DENABLE_BZIP2=OFF -DENABLE_LZMA=OFF -DENABLE_ZSTD=OFF
  -DBUILD_TOOLS=OFF -DBUILD_REGRESS=OFF -DBUILD_EXAMPLES=OFF -DBUILD_DOC=OFF
)

build_libzip() {
  unpack libzip
  local src=$cache/work/libzip/src build=$cache/work/libzip/build prefix=$cache/libzip
  rm -rf "$prefix"
  "${slow[@]}" cmake -S "$src" -B "$build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain_file" \
    -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DZLIB_INCLUDE_DIR="$cache/zlib/include" \
    -DZLIB_LIBRARY="$cache/zlib/lib/libz.dll.a" \
    "${libzip_options[@]}"
  "${slow[@]}" cmake --build "$build" --parallel "$jobs"
  cmake --install "$build"
  mark_built libzip
  rm -rf "$cache/work/libzip"
}

# Only the parts of Qt that Quarrow uses: Core, Gui, Widgets and Test, the
# windows, offscreen (for the tests) and minimal platform plugins and the
# image plugins. Reasons for each switch:
qt_options=(
  -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=ON
  -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF
  # Modules Quarrow does not use. Quarrow talks to SQLite itself, and
  # Debian's source has no bundled SQLite for Qt Sql anyway.
  -DFEATURE_sql=OFF -DFEATURE_network=OFF -DFEATURE_dbus=OFF
  -DFEATURE_printsupport=OFF -DFEATURE_concurrent=OFF -DFEATURE_xml=OFF
  # The Windows platform plugin's tablet support needs src/3rdparty/wintab,
  # which Debian's source leaves out.
  -DFEATURE_tabletevent=OFF
  # Debian's cross-building patch turns the Android deployment tool on for
  # every cross build.
  -DFEATURE_androiddeployqt=OFF
  # Qt's own copies in src/3rdparty, all present in Debian's source, so that
  # nothing of the build machine or of the MinGW root is picked up; zstd has
  # no copy there and is left out.
  -DFEATURE_system_zlib=OFF -DFEATURE_system_png=OFF -DFEATURE_system_jpeg=OFF
  -DFEATURE_system_freetype=OFF -DFEATURE_system_harfbuzz=OFF
  -DFEATURE_system_pcre2=OFF -DFEATURE_system_doubleconversion=OFF
  -DFEATURE_system_textmarkdownreader=OFF -DFEATURE_zstd=OFF
  -DFEATURE_pkg_config=OFF
)
# OpenGL stays as it is (dynamic): without it the Windows platform plugin of
# Qt 6.4.2 does not compile. Direct2D stays on too, although its platform
# plugin is not shipped: with it off, Qt Gui leaves out the DirectWrite font
# database that the windows plugin still refers to, and qwindows.dll does not
# link (undefined QWindowsDirectWriteFontDatabase).

build_qt() {
  unpack qt
  local src=$cache/work/qt/src build=$cache/work/qt/build prefix=$cache/qt
  local missing=() dir
  for dir in freetype harfbuzz-ng libjpeg libpng pcre2 zlib double-conversion md4c; do
    [ -d "$src/src/3rdparty/$dir" ] || missing+=("$dir")
  done
  [ ${#missing[@]} -eq 0 ] || die "Debian's Qt source lacks src/3rdparty/{${missing[*]}}"
  local host_multiarch
  host_multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH)
  rm -rf "$prefix"
  # A resumed build is configured afresh: an option left out since the last
  # attempt would otherwise linger in CMake's cache.
  rm -f "$build/CMakeCache.txt"
  # Linux pkg-config files must not leak into a Windows build.
  env -u PKG_CONFIG_PATH "${slow[@]}" cmake -S "$src" -B "$build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain_file" \
    -DQT_HOST_PATH=/usr \
    -DQT_HOST_PATH_CMAKE_DIR="/usr/lib/$host_multiarch/cmake" \
    -DCMAKE_INSTALL_PREFIX="$prefix" \
    "${qt_options[@]}"
  # Everything the configure step enabled: the install step needs the
  # entry-point library and every plugin.
  "${slow[@]}" cmake --build "$build" --parallel "$jobs"
  cmake --install "$build"
  mark_built qt
  rm -rf "$cache/work/qt"
}

# build NAME: builds NAME unless its build-key.txt already matches.
build() {
  local name=$1
  step_begin "$name ${source_version[$name]}"
  if is_built "$name"; then
    echo "Already built in $cache/$name."
  else
    "build_$name"
  fi
  step_end
}

# ---------------------------------------------------------------- summary

summary() {
  echo
  echo "Cache: $cache"
  local name
  for name in zlib sqlite3 libzip qt; do
    [ -f "$cache/$name/build-key.txt" ] || continue
    printf '  %-8s %-28s %s\n' "$name" "$(sed -n 's/^source: //p' "$cache/$name/build-key.txt")" \
      "$(du -sh "$cache/$name" | cut -f1)"
  done
  echo "DLLs:"
  (cd "$cache" && find mingw-runtime zlib sqlite3 libzip qt/bin qt/plugins -name '*.dll' 2>/dev/null | sort |
    while read -r dll; do printf '  %-52s %6s\n' "$dll" "$(du -h "$dll" | cut -f1)"; done) || true
  echo "Times:"
  local i
  for i in "${!step_names[@]}"; do
    printf '  %-30s %s\n' "${step_names[$i]}" "$(duration "${step_times[$i]}")"
  done
}

# ---------------------------------------------------------------- Quarrow

# Everything of Quarrow's Windows build lies in build-windows/ (or
# QUARROW_WINDOWS_BUILD): the CMake tree in build/, the portable folder and
# its zip beside it.
out=$(realpath -m "${QUARROW_WINDOWS_BUILD:-$repo/build-windows}")
tree=$out/build
version=$(sed -n 's/^project(Quarrow VERSION \([0-9.]*\).*/\1/p' "$repo/CMakeLists.txt")
portable_name=Quarrow-$version-win64
portable=$out/$portable_name

# Where the built libraries' DLLs are, in the order they are looked for.
dll_folders=("$cache/qt/bin" "$cache/sqlite3/bin" "$cache/libzip/bin" "$cache/zlib/bin"
             "$cache/mingw-runtime/bin")

configure_quarrow() {
  # qt-cmake brings the toolchain and Qt's host tools; SQLite, libzip and
  # zlib are found in the cache, and pkg-config reads only the Windows
  # libzip's description. The build's own tools and tests run under Wine.
  env -u PKG_CONFIG_PATH PKG_CONFIG_LIBDIR="$cache/libzip/lib/pkgconfig" \
    "${slow[@]}" "$cache/qt/bin/qt-cmake" -S "$repo" -B "$tree" -G Ninja \
    -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_FIND_ROOT_PATH="$cache/sqlite3;$cache/libzip;$cache/zlib" \
    -DCMAKE_CROSSCOMPILING_EMULATOR="$repo/scripts/wine-run.sh;$cache" \
    -DQUARROW_TESTS=ON >"$out/configure.log" 2>&1 ||
    { cat "$out/configure.log" >&2; die "configuring Quarrow for Windows failed"; }
  echo "Configured in $tree (log: $out/configure.log)."
}

# build_quarrow [TARGET...]: everything when no target is named.
build_quarrow() {
  local targets=()
  if [ $# -gt 0 ]; then targets=(--target "$@"); fi
  "${slow[@]}" cmake --build "$tree" --parallel "$jobs" "${targets[@]}"
}

imports_of() {
  $target-objdump -p "$1" | sed -n 's/^[[:space:]]*DLL Name: //p'
}

# Windows' own DLLs that Quarrow and Qt import (api-ms-win-* are names of
# Windows' own API sets). Anything else must be shipped.
is_windows_dll() {
  case ${1,,} in
    advapi32.dll | authz.dll | bcrypt.dll | cfgmgr32.dll | comctl32.dll | comdlg32.dll | \
      crypt32.dll | d2d1.dll | d3d11.dll | d3d9.dll | dwmapi.dll | dwrite.dll | dxgi.dll | \
      gdi32.dll | imm32.dll | kernel32.dll | mpr.dll | msvcrt.dll | netapi32.dll | ntdll.dll | \
      ole32.dll | oleaut32.dll | opengl32.dll | secur32.dll | setupapi.dll | shcore.dll | \
      shell32.dll | shlwapi.dll | user32.dll | userenv.dll | uxtheme.dll | version.dll | \
      winmm.dll | winspool.drv | ws2_32.dll | wtsapi32.dll | api-ms-win-*.dll)
      return 0 ;;
  esac
  return 1
}

# Copies into FOLDER every DLL that its programs and plugins import, and
# those that these import in turn, from the built libraries; fails on any
# import that is neither built here nor one of Windows' own DLLs.
copy_needed_dlls() {
  local folder=$1 file name found dir
  local -a queue system=()
  local -A seen=()
  mapfile -t queue < <(find "$folder" -type f \( -name '*.exe' -o -name '*.dll' \) | sort)
  while [ ${#queue[@]} -gt 0 ]; do
    file=${queue[0]}
    queue=("${queue[@]:1}")
    while read -r name; do
      [ -n "$name" ] && [ -z "${seen[${name,,}]:-}" ] || continue
      seen[${name,,}]=1
      found=""
      for dir in "${dll_folders[@]}"; do
        found=$(find "$dir" -maxdepth 1 -iname "$name" -print -quit)
        [ -z "$found" ] || break
      done
      if [ -n "$found" ]; then
        cp "$found" "$folder/"
        queue+=("$folder/$(basename "$found")")
      elif is_windows_dll "$name"; then
        system+=("$name")
      else
        die "$(basename "$file") imports $name, which is neither built here nor one of Windows' own DLLs"
      fi
    done < <(imports_of "$file")
  done
  echo "Windows' own DLLs imported: $(printf '%s\n' "${system[@]}" | sort -f | tr '\n' ' ')"
}

package_quarrow() {
  rm -rf "$portable" "$portable.zip"
  mkdir -p "$portable/platforms" "$portable/imageformats" "$portable/styles"
  cp "$tree/quarrow.exe" "$tree/quarrow-catalogue.exe" "$tree/Shine.asz" "$portable/"
  cp "$tree/share/quarrow/vek.mdb" "$tree/share/quarrow/dev.mdb" "$tree/share/quarrow/dz.cmd" \
    "$portable/"
  cp "$repo/LICENSE" "$portable/LICENSE.txt"
  # The windows platform; the JPEG reader for the main window's logo; the
  # Windows look that the skin paints over and the plain look keeps.
  cp "$cache/qt/plugins/platforms/qwindows.dll" "$portable/platforms/"
  cp "$cache/qt/plugins/imageformats/qjpeg.dll" "$portable/imageformats/"
  cp "$cache/qt/plugins/styles/qwindowsvistastyle.dll" "$portable/styles/"
  copy_needed_dlls "$portable"
  # The symbols stay in the build; the shipped files need none.
  find "$portable" -type f \( -name '*.exe' -o -name '*.dll' \) -exec $target-strip --strip-unneeded {} +
  (cd "$out" && rm -f "$portable_name.zip" && zip -q -r -X -9 "$portable_name.zip" "$portable_name")
  echo "Portable folder: $portable"
  (cd "$portable" && find . -type f | sort | sed 's|^\./||' |
    while read -r file; do printf '  %-36s %6s\n' "$file" "$(du -h "$file" | cut -f1)"; done)
  echo "Zip: $out/$portable_name.zip ($(du -h "$out/$portable_name.zip" | cut -f1))"
}

# Runs the test suites under Wine and prints, per suite, what Qt Test
# counted, every failure with its message and every skipped test with its
# reason.
test_quarrow() {
  local log=$out/wine-tests.log status=0
  (cd "$tree" && "${slow[@]}" ctest -j "$jobs" -V >"$log" 2>&1) || status=$?
  echo "Suites under Wine (log: $log):"
  awk '
    /^ *[0-9]+\/[0-9]+ Test +#[0-9]+: / {
      sub(/^ *[0-9]+\/[0-9]+ Test +#/, ""); split($0, f, /[: .]+/); name[f[1]] = f[2]
      result[f[1]] = ($0 ~ /Passed/) ? "passed" : ($0 ~ /Timeout/) ? "TIMEOUT" : "FAILED"
      seconds[f[1]] = ($0 ~ / sec$/) ? $(NF - 1) " s" : ""
    }
    /^[0-9]+: Totals: / { n = $1; sub(/:$/, "", n); sub(/^[0-9]+: Totals: /, ""); totals[n] = $0 }
    /^[0-9]+: (SKIP   |FAIL!  ): / {
      n = $1; sub(/:$/, "", n); line = $0; sub(/^[0-9]+: [A-Z!]+ +: /, "", line)
      if ($2 == "FAIL!") fails[n] = fails[n] "      FAILED: " substr(line, 1, 1500) "\n"
      else skips[n] = skips[n] "      skipped: " line "\n"
    }
    END {
      last = 0
      for (n in name) if (n + 0 > last) last = n + 0
      for (n = 1; n <= last; n++) {
        if (!(n in name)) continue
        printf "  %-28s %-7s %8s  %s\n", name[n], result[n], seconds[n], totals[n]
        printf "%s%s", fails[n], skips[n]
      }
    }' "$log"
  tail -n 3 "$log"
  return $status
}

# ---------------------------------------------------------------- commands

deps_present() {
  local name
  command -v "$cc" >/dev/null 2>&1 || return 1
  [ -d "$cache/mingw-runtime/bin" ] || return 1
  for name in zlib sqlite3 libzip qt; do
    [ -f "$cache/$name/build-key.txt" ] || return 1
  done
}

deps() {
  step_begin "Debian packages"
  install_packages
  step_end

  step_begin "source versions"
  refresh_private_lists
  resolve_source_versions
  local name
  for name in zlib sqlite3 libzip qt; do
    printf '  %-8s %s %s\n' "$name" "${source_package[$name]}" "${source_version[$name]}"
  done
  step_end

  step_begin "toolchain"
  mkdir -p "$cache/toolchain"
  cmp -s "$repo/cmake/mingw-w64-x86_64.cmake" "$toolchain_file" ||
    cp "$repo/cmake/mingw-w64-x86_64.cmake" "$toolchain_file"
  toolchain_key
  if [ "$(cat "$cache/mingw-runtime/toolchain.txt" 2>/dev/null)" != "$(toolchain_key)" ]; then
    build_runtime
    toolchain_key >"$cache/mingw-runtime/toolchain.txt"
  else
    echo "Runtime DLLs already in $cache/mingw-runtime."
  fi
  step_end

  build zlib
  build sqlite3
  build libzip
  build qt
}

# The program of the zip, unpacked, under Wine on a virtual X display: the
# main window after a search for 7300 GT, then the unknown-device window over
# it. (Keys typed into the unknown-device window do not reach its search box
# under Wine here, though its frame shows it active.) Wine draws the window frames itself (its own
# desktop), so the pictures show the windows as on Windows, in Wine's look.
take_screenshots() {
  local folder=$out/screenshots shots=$repo/docs/screenshots
  rm -rf "$folder"
  mkdir -p "$folder"
  (cd "$folder" && unzip -q "$out/$portable_name.zip")
  cat >"$folder/take.sh" <<EOF
#!/usr/bin/env bash
set -euo pipefail
export WINEPREFIX=$cache/wine WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
cd "$folder/$portable_name"
wine explorer /desktop=Quarrow,1280x960 quarrow.exe >"$folder/quarrow.log" 2>&1 &
sleep 15
# The main window shows centred, 895 x 579 with its frame; its search box
# and the "НУ" button lie at these places in it.
x=\$(( (1280 - 895) / 2 )); y=\$(( (960 - 579) / 2 ))
xdotool mousemove \$((x + 276)) \$((y + 129)) click 1; sleep 1
xdotool type --delay 100 "7300 GT"; sleep 1; xdotool key Return; sleep 5
import -window root "$folder/main.png"
xdotool mousemove \$((x + 224)) \$((y + 47)) click 1; sleep 5
import -window root "$folder/devices.png"
wineserver -k
EOF
  chmod +x "$folder/take.sh"
  xvfb-run -a -s "-screen 0 1280x960x24 -dpi 96" "$folder/take.sh"
  # Cut to the windows: the desktop's colour all round goes.
  convert "$folder/main.png" -fuzz 1% -trim +repage "$shots/windows-main.png"
  convert "$folder/devices.png" -fuzz 1% -trim +repage "$shots/windows-devices.png"
  echo "Screenshots: $shots/windows-main.png, $shots/windows-devices.png"
}

quarrow_package() {
  mkdir -p "$out"
  step_begin "Quarrow $version: configure"
  configure_quarrow
  step_end
  step_begin "Quarrow $version: build"
  build_quarrow quarrow quarrow-catalogue quarrow_samples quarrow_shine
  step_end
  step_begin "Quarrow $version: portable folder"
  package_quarrow
  step_end
}

quarrow_tests() {
  mkdir -p "$out"
  step_begin "Quarrow $version: configure"
  configure_quarrow
  step_end
  step_begin "Quarrow $version: build with the tests"
  build_quarrow
  step_end
  step_begin "Quarrow $version: tests under Wine"
  local status=0
  test_quarrow || status=$?
  step_end
  summary
  return $status
}

case $command in
  check)
    if ! deps_present; then
      echo "No complete set of Windows libraries in $cache; nothing to check."
      echo "Build them with: scripts/build-windows.sh deps"
      exit 0
    fi
    echo "Windows libraries found in $cache:"
    for name in zlib sqlite3 libzip qt; do
      echo "  $name: $(sed -n 's/^source: //p' "$cache/$name/build-key.txt")"
    done
    quarrow_tests
    ;;
  deps)
    deps
    summary
    ;;
  test)
    deps
    quarrow_tests
    ;;
  all)
    deps
    quarrow_package
    summary
    ;;
  screenshots)
    deps
    quarrow_package
    step_begin "screenshots under Wine"
    take_screenshots
    step_end
    ;;
esac
