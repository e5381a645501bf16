# What every job of scripts/build-windows.sh shares: the places, the
# compilers, the step reporting and the summary. Sourced by the entry point,
# which sets `repo` to the source tree first.

# Qt writes its install prefix into the files it installs (qt-cmake among
# them), so the cache must be named by an absolute path.
cache=$(realpath -m "${QUARROW_WINDOWS_CACHE:-$HOME/.cache/quarrow-windows}")

target=x86_64-w64-mingw32
cc=$target-gcc-posix
# Two cores here; a lower priority leaves the machine usable meanwhile.
jobs=2
slow=(nice -n 10)

# Everything of Quarrow's Windows build lies in build-windows/ (or
# QUARROW_WINDOWS_BUILD): the CMake tree in build/, the portable folder, its
# zip and the MSI beside it, and what the Wine tests leave.
out=$(realpath -m "${QUARROW_WINDOWS_BUILD:-$repo/build-windows}")
tree=$out/build
version=$(sed -n 's/^project(Quarrow VERSION \([0-9.]*\).*/\1/p' "$repo/CMakeLists.txt")
portable_name=Quarrow-$version-win64
portable=$out/$portable_name
msi=$out/$portable_name.msi

# The cross-built libraries, in the order they are built, and where their
# DLLs are, in the order they are looked for.
libraries=(zlib sqlite3 libzip libmdb qt)
dll_folders=("$cache/qt/bin" "$cache/sqlite3/bin" "$cache/libzip/bin" "$cache/zlib/bin"
             "$cache/libmdb/bin" "$cache/mingw-runtime/bin")

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
    echo "  the unfinished work, if any, is in $cache/work or $out" >&2
  fi
}
trap on_exit EXIT

die() {
  echo "build-windows.sh: $*" >&2
  exit 1
}

# Wine shows the folders of this machine as drive Z:.
windows_path() {
  local path
  path=$(realpath -m "$1")
  printf 'Z:%s' "${path//\//\\}"
}

summary() {
  echo
  echo "Cache: $cache"
  local name
  for name in "${libraries[@]}"; do
    [ -f "$cache/$name/build-key.txt" ] || continue
    printf '  %-8s %-28s %s\n' "$name" "$(sed -n 's/^source: //p' "$cache/$name/build-key.txt")" \
      "$(du -sh "$cache/$name" | cut -f1)"
  done
  echo "DLLs:"
  (cd "$cache" && find mingw-runtime zlib sqlite3 libzip libmdb qt/bin qt/plugins -name '*.dll' 2>/dev/null |
    sort | while read -r dll; do printf '  %-52s %6s\n' "$dll" "$(du -h "$dll" | cut -f1)"; done) || true
  echo "Times:"
  local i
  for i in "${!step_names[@]}"; do
    printf '  %-38s %s\n' "${step_names[$i]}" "$(duration "${step_times[$i]}")"
  done
}
