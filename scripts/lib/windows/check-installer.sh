#!/usr/bin/env bash
# Uses Quarrow's MSI under Wine as a Windows user would, in a fresh Windows
# folder, on the X display it is given (scripts/build-windows.sh runs it in
# xvfb-run):
#
#   check-installer.sh MSI UPGRADE_MSI PORTABLE_FOLDER WORK_FOLDER
#
# installs MSI without administrator rights; checks that the Start-menu entry
# names the installed program and the user's data folder as its working
# folder; starts it through that entry, searches for 7300 GT and deletes the
# first row found (Ctrl+Delete, OK); installs MSI again (a repair) and then
# UPGRADE_MSI, a higher version, and checks after each that the row is still
# deleted; uninstalls and checks that the program and the entry are gone and
# the user's catalogues are not. The catalogue is read with the portable
# folder's quarrow-catalogue.exe. Screenshots and logs go to WORK_FOLDER.
set -euo pipefail
msi=$1 upgrade=$2 portable=$3 work=$4

export WINEPREFIX=$work/wine WINEDEBUG=-all
# Without .NET and the web view a new Windows folder asks nothing; without
# the menu builder Wine leaves the desktop's own menus of this machine alone.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"

failures=0
pass() { echo "  ok: $*"; }
fail() {
  echo "  FAILED: $*"
  failures=$((failures + 1))
}
check() {
  local what=$1
  shift
  if "$@"; then pass "$what"; else fail "$what"; fi
}

windows_path() {
  local path
  path=$(realpath -m "$1")
  printf 'Z:%s' "${path//\//\\}"
}

started=$(date +%s)
wineboot --init >/dev/null 2>&1 || true
wineserver --wait
echo "A new Windows folder in $WINEPREFIX ($(($(date +%s) - started)) s)."

local_app_data_windows=$(wine cmd /c 'echo %LOCALAPPDATA%' 2>/dev/null | tr -d '\r')
app_data_windows=$(wine cmd /c 'echo %APPDATA%' 2>/dev/null | tr -d '\r')
local_app_data=$(winepath -u "$local_app_data_windows" 2>/dev/null)
app_data=$(winepath -u "$app_data_windows" 2>/dev/null)
program_folder=$local_app_data/Programs/Quarrow
data_folder=$local_app_data/Quarrow
entry="$app_data/Microsoft/Windows/Start Menu/Programs/Quarrow.lnk"

msiexec() {
  local started status=0
  started=$(date +%s)
  wine msiexec "$@" /qn >"$work/msiexec.log" 2>&1 || status=$?
  echo "msiexec $1 $(basename "$2"): exit $status ($(($(date +%s) - started)) s)"
  return $status
}

# How many rows of the user's driver catalogue name 7300 GT.
rows() {
  wine "$portable/quarrow-catalogue.exe" export "$(windows_path "$data_folder/vek.mdb")" \
    --password kavrel 2>>"$work/export.log" | tail -n +2 | grep -c '7300 GT' || true
}

# The uninstall entries that Apps & features lists: Windows keeps those of
# a per-user installation under HKCU, Wine keeps all under HKLM.
uninstall_entries() {
  local root
  for root in HKCU HKLM; do
    wine reg query "$root\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall" /s 2>/dev/null
  done | tr -d '\r' | awk '/^HKEY/ { key = $0 } /DisplayName +REG_SZ +Quarrow$/ { print key }'
}
uninstall_entry() { uninstall_entries | tail -n 1; }

entry_value() {
  wine reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' | sed -n "s/^ *$2 *REG_[A-Z_]* *//p"
}

package_version() {
  msiinfo export "$1" Property | tr -d '\r' | awk -F'\t' '$1 == "ProductVersion" { print $2 }'
}

# The icon Apps & features shows for an installed package: Windows
# Installer keeps ARPPRODUCTICON's file as the product's ProductIcon.
product_icon() {
  wine reg query 'HKCU\Software\Microsoft\Installer\Products' /s 2>/dev/null | tr -d '\r' |
    awk '/^HKEY/ { icon = name = "" } /ProductIcon +REG_SZ/ { sub(/^ *ProductIcon +REG_SZ +/, ""); icon = $0 }
         /ProductName +REG_SZ +Quarrow$/ { name = 1 } name && icon != "" { print icon; exit }'
}

echo "Installing $(basename "$msi")"
check "the MSI installs for this user" msiexec /i "$(windows_path "$msi")"
check "the program is under %LOCALAPPDATA%\\Programs\\Quarrow" test -f "$program_folder/quarrow.exe"
check "the samples are in %LOCALAPPDATA%\\Quarrow" \
  test -f "$data_folder/vek.mdb" -a -f "$data_folder/dev.mdb" -a -f "$data_folder/dz.cmd"
check "the program folder holds no catalogue" test ! -e "$program_folder/vek.mdb"
check "the Start-menu entry Quarrow exists" test -f "$entry"
# The shortcut keeps the program's path in the system's code page and the
# working folder in UTF-16, each a string of its own, maybe with a final
# backslash.
entry_text=$( (strings -a "$entry"; strings -a -e l "$entry") | tr '[:upper:]' '[:lower:]' | sed 's/\\$//')
names_path() {
  # Through the environment: awk -v would take the backslashes as escapes.
  wanted=$(tr '[:upper:]' '[:lower:]' <<<"$1") awk 'BEGIN { path = ENVIRON["wanted"] }
    substr($0, length($0) - length(path) + 1) == path { found = 1 } END { exit !found }' <<<"$entry_text"
}
check "the entry starts the installed program" names_path "$local_app_data_windows\\Programs\\Quarrow\\quarrow.exe"
check "the entry's working folder is the user's data folder" names_path "$local_app_data_windows\\Quarrow"
key=$(uninstall_entry)
check "Apps & features lists Quarrow" test -n "$key"
if [ -n "$key" ]; then
  icon=$(product_icon)
  echo "  uninstall entry: $(entry_value "$key" DisplayName) $(entry_value "$key" DisplayVersion)," \
    "$(entry_value "$key" Publisher), icon $icon"
  check "its version is the package's" test "$(entry_value "$key" DisplayVersion)" = "$(package_version "$msi")"
  check "it names the publisher" test -n "$(entry_value "$key" Publisher)"
  check "it has the program's icon" test -n "$icon" -a -f "$(winepath -u "$icon" 2>/dev/null)"
fi

before=$(rows)
echo "Rows naming 7300 GT in the user's catalogue: $before"

# The main window shows centred, 895 x 579 with its frame, on a Wine desktop
# of 1280 x 960; its search box lies at this place in it.
echo "Starting Quarrow from the Start-menu entry"
wine explorer /desktop=Quarrow,1280x960 start "$(winepath -w "$entry")" >"$work/quarrow.log" 2>&1 &
sleep 20
x=$(((1280 - 895) / 2))
y=$(((960 - 579) / 2))
xdotool mousemove $((x + 276)) $((y + 129)) click 1
sleep 1
xdotool type --delay 100 "7300 GT"
sleep 1
xdotool key Return
sleep 5
import -window root "$work/search.png"
xdotool key ctrl+Delete
sleep 3
import -window root "$work/delete-question.png"
xdotool key Return
sleep 3
import -window root "$work/deleted.png"
wineserver -k || true
wineserver --wait || true

after=$(rows)
echo "After the deletion: $after"
check "the search found the sample's rows" test "$before" -gt 0
check "Ctrl+Delete deleted one row in the user's catalogue" test "$after" -eq $((before - 1))

echo "Installing $(basename "$msi") again (a repair)"
check "the MSI installs again" msiexec /i "$(windows_path "$msi")"
check "the deleted row stays deleted" test "$(rows)" -eq "$after"

echo "Upgrading with $(basename "$upgrade")"
check "the higher version installs" msiexec /i "$(windows_path "$upgrade")"
check "the program is still installed" test -f "$program_folder/quarrow.exe"
check "the deleted row stays deleted" test "$(rows)" -eq "$after"
upgraded=$(uninstall_entry)
check "Apps & features lists Quarrow once, as the new version" \
  test "$(uninstall_entries | wc -l)" -eq 1 -a "$upgraded" != "$key" -a \
  "$(entry_value "$upgraded" DisplayVersion)" = "$(package_version "$upgrade")"

echo "Uninstalling"
check "the MSI uninstalls" msiexec /x "$(windows_path "$upgrade")"
check "the program files are gone" test ! -e "$program_folder/quarrow.exe"
check "the Start-menu entry is gone" test ! -e "$entry"
check "Apps & features no longer lists Quarrow" test -z "$(uninstall_entry)"
check "the user's catalogues stay" \
  test -f "$data_folder/vek.mdb" -a -f "$data_folder/dev.mdb" -a -f "$data_folder/dz.cmd"
check "with the row still deleted" test "$(rows)" -eq "$after"
wineserver -k 2>/dev/null || true

if [ "$failures" -ne 0 ]; then
  echo "The MSI failed $failures check(s); screenshots and logs in $work"
  exit 1
fi
echo "The MSI passed every check; screenshots in $work"
