# The libraries Quarrow links, cross-built from Debian's own source packages
# so that the Windows program runs the same library code, patched the same
# way, as the Linux one: zlib, SQLite, libzip and Qt from the release suite
# this machine's packages come from, libmdb from mdbtools of the next
# release (the one whose source tarballs the archive serves). They go into
# the cache, because Qt alone takes more than half an hour on two cores.
# Each library's folder there holds build-key.txt: the source package's
# version, the toolchain's versions and the options it was built with. A run
# rebuilds a library only when that text would change.

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
    libmdb) echo "options: ${libmdb_options[*]}"
            echo "autotools: $(dpkg-query -W -f='${Package} ${Version}, ' autoconf automake libtool | sed 's/, $//')"
            echo "our changes: sha256 $(libmdb_changes | sha256sum | cut -d' ' -f1)" ;;
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

# Source packages come through private apt configurations, each a deb-src
# line with lists of its own, so that the machine's apt sources stay as they
# are: one for the archive and release suite that the machine's own binary
# packages come from, and one for the next release, trixie, for mdbtools
# alone: the archive reachable here serves no source tarballs of the release
# suite's mdbtools 1.0.0, and trixie's 1.0.1 builds without GLib.
aptdir=$cache/apt
next_suite=trixie
next_aptdir=$cache/apt-$next_suite

# apt_in DIR ARGUMENT...: apt-get with the private configuration in DIR.
apt_in() {
  local dir=$1
  shift
  local options=(
    -o "Dir::Etc::sourcelist=$dir/sources.list"
    -o Dir::Etc::sourceparts=-
    -o "Dir::State::Lists=$dir/lists"
    -o "Dir::Cache=$dir/cache"
  )
  # apt's download user cannot enter a home folder that is private to root.
  if [ "$(id -u)" -eq 0 ]; then options+=(-o APT::Sandbox::User=root); fi
  apt-get "${options[@]}" "$@"
}

declare -A source_package=([zlib]=zlib [sqlite3]=sqlite3 [libzip]=libzip [qt]=qt6-base [libmdb]=mdbtools)
declare -A source_version=()
declare -A source_request=()
release_libraries=(zlib sqlite3 libzip qt)

# private_sources_line [SUITE]: the deb-src line of the machine's archive, for
# its release suite or for SUITE. The release suite only: the updates and
# security suites of debian.sources are left out because their pools are not
# always mirrored (here, debian-security answered 404 for zlib's source), and
# the release suite carries the point-release versions the machine's
# binaries have.
private_sources_line() {
  local file=/etc/apt/sources.list.d/debian.sources
  [ -r "$file" ] || die "$file is missing: cannot tell which Debian archive this machine uses"
  awk -v suite="${1:-}" '
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
      print "deb-src " options u[1] " " (suite != "" ? suite : s[1]) " " (comps != "" ? comps : "main")
      exit
    }' "$file"
}

# refresh_lists DIR [SUITE]: the private lists in DIR are fetched again
# whenever the machine's own lists are newer than them, so source and binary
# versions come from the same view of the archive; otherwise a run needs no
# network once everything is built.
refresh_lists() {
  local dir=$1 line
  line=$(private_sources_line "${2:-}")
  [ -n "$line" ] || die "no binary 'deb' entry in /etc/apt/sources.list.d/debian.sources"
  mkdir -p "$dir/lists/partial" "$dir/cache"
  local stale=no
  if [ ! -f "$dir/sources.list" ] || [ "$(cat "$dir/sources.list")" != "$line" ]; then
    echo "$line" >"$dir/sources.list"
    stale=yes
  fi
  if [ ! -f "$dir/updated" ] || ! compgen -G "$dir/lists/*_Sources*" >/dev/null; then
    stale=yes
  elif [ -n "$(find /var/lib/apt/lists -maxdepth 1 -name '*Release' -newer "$dir/updated" 2>/dev/null)" ]; then
    stale=yes
  fi
  echo "Private apt sources: $line"
  if [ $stale = yes ]; then
    apt_in "$dir" update
    touch "$dir/updated"
  else
    echo "Private source lists are current (fetched $(date -r "$dir/updated" '+%F %T'))."
  fi
}

# dsc_version PACKAGE URIS: the version of PACKAGE's .dsc among the lines of
# `apt-get source --print-uris`.
dsc_version() {
  local pkg=$1 dsc
  dsc=$(grep -o "^'[^']*' ${pkg}_[^ ]*\.dsc " <<<"$2" | awk '{ print $2 }' | head -n 1)
  [ -n "$dsc" ] || die "no source package $pkg in the private source lists"
  dsc=${dsc#"${pkg}_"}
  echo "${dsc%.dsc}"
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

  local uris name
  if ! uris=$(apt_in "$aptdir" source --print-uris "${source_request[@]}" 2>&1); then
    echo "$uris" >&2
    die "the private source lists lack one of: ${source_request[*]}"
  fi
  for name in "${release_libraries[@]}"; do
    source_version[$name]=$(dsc_version "${source_package[$name]}" "$uris")
  done
  [ "${source_version[qt]}" = "${host_qt#*:}" ] ||
    die "Qt's source is ${source_version[qt]} but the host tools are $host_qt"
}

# The files of mdbtools' source package, each with the SHA-256 that the
# signed lists give for it: "NAME HASH" lines.
mdbtools_files=""

resolve_mdbtools_version() {
  local uris
  if ! uris=$(apt_in "$next_aptdir" source --print-uris mdbtools 2>&1); then
    echo "$uris" >&2
    die "the $next_suite source lists have no mdbtools"
  fi
  source_version[libmdb]=$(dsc_version mdbtools "$uris")
  source_request[libmdb]=mdbtools=${source_version[libmdb]}
  mdbtools_files=$(sed -n "s/^'[^']*' \(mdbtools_[^ ]*\.tar\.[a-z]*\) [0-9]* SHA256:\([0-9a-f]*\)$/\1 \2/p" <<<"$uris")
  [ "$(wc -l <<<"$mdbtools_files")" -ge 2 ] || die "no source tarballs of mdbtools in: $uris"
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
        apt_in "$aptdir" source --download-only "${source_request[$name]}") >"$log" 2>&1; then
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

# unpack_mdbtools: as unpack, for a source package whose .dsc the archive
# does not serve (it answers 404 for mdbtools' .dsc, so apt-get source
# fails after fetching the tarballs): the tarballs are checked against the
# hashes of the signed lists and unpacked as dpkg-source would, the upstream
# tarball with the debian/ folder over it and the quilt series applied.
unpack_mdbtools() {
  local log=$cache/downloads/apt-get-source-mdbtools.log
  mkdir -p "$cache/downloads"
  (cd "$cache/downloads" && apt_in "$next_aptdir" source --download-only "${source_request[libmdb]}") \
    >"$log" 2>&1 || true
  local file hash orig="" debian=""
  while read -r file hash; do
    if [ ! -f "$cache/downloads/$file" ] ||
       [ "$(sha256sum <"$cache/downloads/$file" | cut -d' ' -f1)" != "$hash" ]; then
      cat "$log" >&2
      die "could not download $file with the SHA-256 its source list names"
    fi
    case $file in
      *.orig.tar.*) orig=$file ;;
      *.debian.tar.*) debian=$file ;;
    esac
  done <<<"$mdbtools_files"
  [ -n "$orig" ] && [ -n "$debian" ] || die "mdbtools' source lacks its upstream or Debian tarball"
  echo "Checked against the $next_suite source list: $(cut -d' ' -f1 <<<"$mdbtools_files" | tr '\n' ' ')"
  local src=$cache/work/libmdb/src patch
  rm -rf "$cache/work/libmdb"
  mkdir -p "$src"
  tar -xf "$cache/downloads/$orig" -C "$src" --strip-components=1
  tar -xf "$cache/downloads/$debian" -C "$src"
  if [ -f "$src/debian/patches/series" ]; then
    while read -r patch; do
      case $patch in "" | "#"*) continue ;; esac
      patch -d "$src" -p1 --quiet <"$src/debian/patches/${patch%% *}"
    done <"$src/debian/patches/series"
  fi
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

# libmdb, the Jet reader, from mdbtools without GLib (its own stand-in) and
# without the tools, the SQL engine and the manual pages. Two things of its
# build fail for MinGW and are mended by packaging/windows/libmdb/mingw.patch
# (configure names POSIX's locale_t, which MinGW calls _locale_t, and defines
# _spawnv as spawnv, which clashes with MinGW's own declaration of spawnv).
# The C runtime has no iconv, and without iconv libmdb converts text with
# the C runtime's locale, which has no UTF-8 there: our iconv over the
# Windows API (packaging/windows/libmdb/iconv-windows.c) is compiled into the
# DLL. configure is told that iconv is there, since it is no library that
# configure could find and link.
libmdb_options=(
  --disable-static --disable-glib --disable-man --with-bash-completion-dir=no
  am_cv_func_iconv=yes am_cv_lib_iconv=no am_cv_func_iconv_works=yes gl_cv_iconv_nonconst=yes
)
libmdb_windows=$repo/packaging/windows/libmdb

# Our changes to mdbtools, whose every byte is part of libmdb's build key.
libmdb_changes() {
  cat "$libmdb_windows/mingw.patch" "$libmdb_windows/iconv.h" "$libmdb_windows/iconv-windows.c"
}

build_libmdb() {
  unpack_mdbtools
  local src=$cache/work/libmdb/src prefix=$cache/libmdb
  patch -d "$src" -p1 <"$libmdb_windows/mingw.patch"
  cp "$libmdb_windows/iconv.h" "$src/include/"
  cp "$libmdb_windows/iconv-windows.c" "$src/src/libmdb/"
  # Debian's source has no configure script; its own build runs autoreconf too.
  (cd "$src" && "${slow[@]}" autoreconf -i -f >autoreconf.log 2>&1) ||
    { cat "$src/autoreconf.log" >&2; die "autoreconf failed for mdbtools"; }
  rm -rf "$prefix"
  # In the source folder: libmdb's compile flags name $(top_srcdir)/include,
  # where configure writes mdbtools.h.
  (cd "$src" && "${slow[@]}" ./configure --host="$target" CC="$cc" --prefix="$prefix" \
    "${libmdb_options[@]}" >configure.log 2>&1) ||
    { tail -n 40 "$src/configure.log" >&2; die "configuring mdbtools failed"; }
  grep -q '^#define MDBTOOLS_H_HAVE_ICONV_H 1' "$src/include/mdbtools.h" ||
    die "mdbtools was configured without iconv"
  # The stand-in joins libmdb's own objects.
  local with_iconv=(libmdb_la_LIBADD=iconv-windows.lo EXTRA_libmdb_la_DEPENDENCIES=iconv-windows.lo)
  "${slow[@]}" make -C "$src/src/libmdb" -j"$jobs" "${with_iconv[@]}" ||
    die "libmdb did not compile"
  make -C "$src/src/libmdb" "${with_iconv[@]}" install >/dev/null
  make -C "$src/include" install >/dev/null
  # mdbtools.h includes iconv.h, so programs need ours too; and libmdb.pc lets
  # Quarrow's CMake find libmdb as on Linux.
  cp "$libmdb_windows/iconv.h" "$prefix/include/"
  mkdir -p "$prefix/lib/pkgconfig"
  cp "$src/libmdb.pc" "$prefix/lib/pkgconfig/"
  rm -f "$prefix/lib/libmdb.la"
  mark_built libmdb
  rm -rf "$cache/work/libmdb"
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

# ---------------------------------------------------------------- jobs

toolchain() {
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
}

# Every library, each built unless its build key still matches.
deps() {
  step_begin "Debian packages"
  install_packages
  step_end

  step_begin "source versions"
  refresh_lists "$aptdir"
  resolve_source_versions
  refresh_lists "$next_aptdir" "$next_suite"
  resolve_mdbtools_version
  local name
  for name in "${libraries[@]}"; do
    printf '  %-8s %s %s\n' "$name" "${source_package[$name]}" "${source_version[$name]}"
  done
  step_end

  toolchain
  for name in "${libraries[@]}"; do
    build "$name"
  done
}

# Whether the libraries that take long to build are in the cache, built by
# any version of this script: Qt, and those it was built beside.
long_builds_present() {
  local name
  command -v "$cc" >/dev/null 2>&1 || return 1
  [ -d "$cache/mingw-runtime/bin" ] || return 1
  for name in "${release_libraries[@]}"; do
    [ -f "$cache/$name/build-key.txt" ] || return 1
  done
}

# With the long builds cached: whatever small library is missing or out of
# date (libmdb), without checking the cached ones against the archive.
small_deps() {
  step_begin "Debian packages"
  install_packages
  step_end
  step_begin "source versions"
  refresh_lists "$next_aptdir" "$next_suite"
  resolve_mdbtools_version
  echo "  libmdb   mdbtools ${source_version[libmdb]}"
  step_end
  build libmdb
}
