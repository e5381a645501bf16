#!/usr/bin/env bash
# The screenshots' session on an X display (scripts/lib/windows/screenshots.sh
# runs it in xvfb-run):
#
#   screenshot-session.sh PORTABLE_FOLDER OUTPUT_FOLDER
#
# starts the portable folder's program under Wine (WINEPREFIX) on a Wine
# desktop, takes the main window after a search for 7300 GT as main.png,
# then the unknown-device window over it as devices.png. Keys typed into the
# unknown-device window do not reach its search box under Wine here, though
# its frame shows it active. Wine draws the window frames itself (its own
# desktop), so the pictures show the windows as on Windows, in Wine's look.
set -euo pipefail
folder=$1 shots=$2
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
cd "$folder"
wine explorer /desktop=Quarrow,1280x960 quarrow.exe >"$shots/quarrow.log" 2>&1 &
sleep 15
# The main window shows centred, 895 x 579 with its frame; its search box
# and the "НУ" button lie at these places in it.
x=$(((1280 - 895) / 2))
y=$(((960 - 579) / 2))
xdotool mousemove $((x + 276)) $((y + 129)) click 1
sleep 1
xdotool type --delay 100 "7300 GT"
sleep 1
xdotool key Return
sleep 5
import -window root "$shots/main.png"
xdotool mousemove $((x + 224)) $((y + 47)) click 1
sleep 5
import -window root "$shots/devices.png"
wineserver -k
