# Quarrow's Windows build and its packages: the CMake tree, the portable
# folder with its zip, and the MSI installer made from the same files.

# ccache, where it is installed, compiles again only what changed, also in
# another clone of the tree (its paths are taken relative to the tree).
launchers=()
if command -v ccache >/dev/null 2>&1; then
  launchers=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  export CCACHE_BASEDIR=$repo
fi

configure_quarrow() {
  # qt-cmake brings the toolchain and Qt's host tools; SQLite, libzip, zlib
  # and libmdb are found in the cache, and pkg-config reads only the Windows
  # libraries' descriptions. The build's own tools and tests run under Wine.
  env -u PKG_CONFIG_PATH PKG_CONFIG_LIBDIR="$cache/libzip/lib/pkgconfig:$cache/libmdb/lib/pkgconfig" \
    "${slow[@]}" "$cache/qt/bin/qt-cmake" -S "$repo" -B "$tree" -G Ninja \
    -DCMAKE_BUILD_TYPE=Release "${launchers[@]}" \
    -DCMAKE_FIND_ROOT_PATH="$cache/sqlite3;$cache/libzip;$cache/zlib;$cache/libmdb" \
    -DCMAKE_CROSSCOMPILING_EMULATOR="$repo/scripts/lib/wine-run.sh;$cache" \
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
        found=$(find "$dir" -maxdepth 1 -iname "$name" -print -quit 2>/dev/null)
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

# Each program must carry what Explorer shows and Windows reads before it
# starts: its icon (resource type 14, a group of icons), its version
# information (16) and its manifest (24).
check_resources() {
  local program listing type
  for program in "$@"; do
    listing=$(wrestool -l "$program")
    for type in 14 16 24; do
      grep -q -- "--type=$type " <<<"$listing" ||
        die "$(basename "$program") has no resource of type $type; its resources: $listing"
    done
    echo "$(basename "$program"): icon, manifest, $(wrestool -x --raw --type=16 "$program" |
      strings -el -n 3 | awk '
        previous ~ /^(FileDescription|FileVersion|ProductName|ProductVersion|LegalCopyright)$/ {
          printf "%s%s %s", separator, previous, $0; separator = ", "
        }
        { previous = $0 }')"
  done
}

# The samples that the program reads from its current folder.
samples=(vek.mdb dev.mdb dz.cmd)

package_portable() {
  rm -rf "$portable" "$portable.zip"
  mkdir -p "$portable/platforms" "$portable/imageformats" "$portable/styles"
  cp "$tree/quarrow.exe" "$tree/quarrow-catalogue.exe" "$tree/Shine.asz" "$portable/"
  local sample
  for sample in "${samples[@]}"; do cp "$tree/share/quarrow/$sample" "$portable/"; done
  cp "$repo/LICENSE" "$portable/LICENSE.txt"
  # The windows platform; the JPEG reader for the main window's logo; the
  # Windows look that the skin paints over and the plain look keeps.
  cp "$cache/qt/plugins/platforms/qwindows.dll" "$portable/platforms/"
  cp "$cache/qt/plugins/imageformats/qjpeg.dll" "$portable/imageformats/"
  cp "$cache/qt/plugins/styles/qwindowsvistastyle.dll" "$portable/styles/"
  copy_needed_dlls "$portable"
  # The symbols stay in the build; the shipped files need none.
  find "$portable" -type f \( -name '*.exe' -o -name '*.dll' \) -exec $target-strip --strip-unneeded {} +
  check_resources "$portable/quarrow.exe" "$portable/quarrow-catalogue.exe"
  (cd "$out" && rm -f "$portable_name.zip" && zip -q -r -X -9 "$portable_name.zip" "$portable_name")
  echo "Portable folder: $portable"
  (cd "$portable" && find . -type f | sort | sed 's|^\./||' |
    while read -r file; do printf '  %-36s %6s\n' "$file" "$(du -h "$file" | cut -f1)"; done)
  echo "Zip: $out/$portable_name.zip ($(du -h "$out/$portable_name.zip" | cut -f1))"
}

# make_msi OUTPUT [VERSION]: the installer of the portable folder's files, by
# packaging/windows/quarrow.wxs, as version VERSION (the program's own by
# default; the installer test makes a higher one to upgrade to).
make_msi() {
  local output=$1 product_version=${2:-$version}
  local work=$out/msi
  rm -rf "$work"
  mkdir -p "$work"
  # wixl reads its sources by paths relative to the folder it runs in.
  cp "$repo/artwork/quarrow.ico" "$work/"
  local portable_dir
  portable_dir=$(realpath --relative-to="$work" "$portable")
  # The program's files, each a component of its own, named after its path
  # in the portable folder, which stays the same from one version to the
  # next; the samples go to the user's data folder instead. The folder's own
  # files come first, so that wixl-heat names the folder once.
  local exclude=() sample
  for sample in "${samples[@]}"; do exclude+=(! -name "$sample"); done
  (cd "$out" && find "$portable_name" -maxdepth 1 -type f "${exclude[@]}" | sort &&
    find "$portable_name" -mindepth 2 -type f | sort) |
    wixl-heat -p "$portable_name/" --var var.PortableDir --directory-ref INSTALLDIR \
      --component-group ProgramFiles --win64 >"$work/program-files.wxs"
  (cd "$work" && wixl -a x64 -o "$output" -I "$tree/packaging/windows" \
    -D Version="$product_version" -D PortableDir="$portable_dir" -D IconFile=quarrow.ico -D Win64=yes \
    "$repo/packaging/windows/quarrow.wxs" program-files.wxs) || die "wixl could not make $output"
  # wixl has no attributes for these: the samples' 64-bit components (256)
  # are made Permanent (16: an uninstall leaves them) and NeverOverwrite
  # (128: an install, a repair or an upgrade leaves a file of that name as
  # it is).
  msibuild "$output" -q "UPDATE \`Component\` SET \`Attributes\` = 400 \
    WHERE \`Component\` = 'SampleDrivers' OR \`Component\` = 'SampleDevices' OR \`Component\` = 'DeviceManagerScript'"
  [ "$(msiinfo export "$output" Component | awk -F'\t' '$4 == 400' | wc -l)" -eq 3 ] ||
    die "the samples' components of $output are not marked to stay"
}

show_msi() {
  echo "MSI: $msi ($(du -h "$msi" | cut -f1))"
  msiinfo export "$msi" Property |
    awk -F'\t' '$1 ~ /^(ProductName|ProductVersion|Manufacturer|UpgradeCode|ProductCode)$/ { printf "  %-15s %s\n", $1, $2 }'
}

# The program, its portable folder and zip, and the MSI.
quarrow_package() {
  mkdir -p "$out"
  step_begin "Quarrow $version: configure"
  configure_quarrow
  step_end
  step_begin "Quarrow $version: build"
  build_quarrow quarrow quarrow-catalogue quarrow_samples quarrow_shine
  step_end
  packages
}

packages() {
  step_begin "Quarrow $version: portable folder and zip"
  package_portable
  step_end
  step_begin "Quarrow $version: MSI"
  make_msi "$msi"
  show_msi
  step_end
}
