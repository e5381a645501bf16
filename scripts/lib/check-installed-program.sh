#!/usr/bin/env bash
# Uses the installed Quarrow as a person would, twice, on a virtual display:
# starts the desktop entry's command from the home folder, searches for
# 7300 GT, deletes the first row found (Ctrl+Delete, OK), opens the About
# window, and ends; the second start must find one row fewer. Screenshots go
# to the folder given (default ./shots). Needs xvfb, xauth, xdotool, xwd and
# ImageMagick; scripts/check-fresh-machine.sh runs it on a fresh machine.
set -euo pipefail
shots=$(readlink -f "${1:-shots}")
mkdir -p "$shots"
if [ -z "${DISPLAY:-}" ]; then exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$shots"; fi

entry=/usr/share/applications/io.github.quarrow.Quarrow.desktop
command=$(sed -n 's/^Exec=//p' "$entry")
data=${XDG_DATA_HOME:-$HOME/.local/share}/quarrow
echo "desktop entry runs: $command"

rows() { quarrow-catalogue export "$data/vek.mdb" --password kavrel | tail -n +2 | grep -c "$1" || true; }
# The whole screen, or one window: the About window has a visual of its own
# that a capture of the screen shows black.
shot() {
  local name=$1
  shift
  if [ $# -eq 0 ]; then set -- -root; fi
  xwd "$@" -silent | convert xwd:- "$shots/$name.png"
}

start() {
  cd "$HOME"
  $command 2>"$shots/$1.stderr" &
  program=$!
  window=$(timeout 60 xdotool search --sync --name '^Quarrow  v1.3$' | head -1)
  sleep 2
  # An error box at start-up is a window of its own, titled "Quarrow".
  if xdotool search --onlyvisible --name '^Quarrow$' >/dev/null 2>&1; then
    shot "$1-error"
    echo "FAIL: an error box came up at start-up ($shots/$1-error.png)"
    exit 1
  fi
}

search() {
  xdotool mousemove --window "$window" 273 107 click 1
  xdotool key ctrl+a
  xdotool type --delay 30 '7300 GT'
  xdotool key Return
  sleep 2
  shot "$1"
}

finish() {
  kill "$program"
  wait "$program" || true
  if [ -s "$shots/$1.stderr" ]; then
    echo "the program said:"
    cat "$shots/$1.stderr"
  fi
}

start first
[ -f "$data/vek.mdb" ] || { echo "FAIL: no catalogue in $data"; exit 1; }
before=$(rows '7300 GT')
search first-search
xdotool key ctrl+Delete
sleep 1
shot first-delete-question
xdotool key Return
sleep 1
shot first-deleted
xdotool mousemove --window "$window" 281 24 click 1
about=$(timeout 30 xdotool search --sync --onlyvisible --name '^Quarrow v1\.3  ' | head -1)
sleep 3
shot first-about -id "$about"
xdotool key Escape
finish first
after=$(rows '7300 GT')
echo "rows naming 7300 GT: $before before the first run, $after after it"

start second
search second-search
finish second
again=$(rows '7300 GT')
echo "rows naming 7300 GT after the second run: $again"
if [ "$after" -eq $((before - 1)) ] && [ "$again" -eq "$after" ]; then
  echo "PASS: the deleted row stays deleted; screenshots in $shots"
else
  echo "FAIL: expected $((before - 1)) rows after the deletion"
  exit 1
fi
