#!/usr/bin/env bash
# Converting a Jet catalogue beside its yardstick, alternately in one run:
#
#   quarrow-catalogue convert --password kavrel vek-jet4-large.mdb OUT
#       (libmdb reading every row, the catalogue written, the trigram index
#       built)
# against
#   mdb-export vek-jet4-large.mdb table_1 > /dev/null
#   followed by quarrow-catalogue drivers --password kavrel OUT < the export
#       (each timed on its own and added up; the export is taken once
#       beforehand, so both runs read the same text)
#
#   bench/jet-conversion.sh [BUILD_DIR [TABLE_FILE]]
#
# Prints the figures, and appends the row of bench/compare.sh's table to
# TABLE_FILE when one is named. JET_RUNS (default 5) runs of each.
# JET_LARGE_FIXTURE names the 100,000-row fixture; by default it is looked for
# in the shared fixtures beside the source tree (../shared/fixtures/jet/).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
table=${2:-}
runs=${JET_RUNS:-5}
fixture=${JET_LARGE_FIXTURE:-$PWD/../shared/fixtures/jet/vek-jet4-large.mdb}

if [ ! -f "$fixture" ]; then
  echo "jet-conversion.sh: $fixture is missing (set JET_LARGE_FIXTURE); conversion not measured" >&2
  exit 0
fi
command -v mdb-export >/dev/null || {
  echo "jet-conversion.sh: mdb-export is missing (scripts/setup.sh installs mdbtools)" >&2
  exit 1
}
cmake --build "$build" --target quarrow-catalogue >/dev/null
tool=$PWD/$build/quarrow-catalogue
[ -x "$tool" ] || tool=$build/quarrow-catalogue

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
tab=$'\t'
# The export the yardstick's build is fed with: tab-separated, no quotes.
mdb-export -d "$tab" -Q "$fixture" table_1 >"$work/export.tsv"
rows=$(($(wc -l <"$work/export.tsv") - 1))

now() { date +%s.%N; }
elapsed() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", b - a }'; }
median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

: >"$work/convert" ; : >"$work/yardstick" ; : >"$work/export" ; : >"$work/drivers"
for run in $(seq "$runs"); do
  for what in convert yardstick; do
    rm -f "$work/out.mdb"
    if [ "$what" = convert ]; then
      start=$(now)
      "$tool" convert --password kavrel "$fixture" "$work/out.mdb" 2>/dev/null
      elapsed "$start" "$(now)" >>"$work/convert"
      echo >>"$work/convert"
    else
      start=$(now)
      mdb-export -H -d "$tab" -Q "$fixture" table_1 >/dev/null
      middle=$(now)
      "$tool" drivers --password kavrel "$work/out.mdb" <"$work/export.tsv" 2>/dev/null
      finish=$(now)
      elapsed "$start" "$middle" >>"$work/export"; echo >>"$work/export"
      elapsed "$middle" "$finish" >>"$work/drivers"; echo >>"$work/drivers"
      elapsed "$start" "$finish" >>"$work/yardstick"; echo >>"$work/yardstick"
    fi
  done
done

convert=$(median <"$work/convert")
yardstick=$(median <"$work/yardstick")
export_time=$(median <"$work/export")
drivers_time=$(median <"$work/drivers")
ratio=$(awk -v a="$convert" -v b="$yardstick" 'BEGIN { printf "%.2f", a / b }')
goal=$(awk -v r="$ratio" 'BEGIN { print (r <= 1.5) ? "met" : "NOT met" }')
echo "Jet conversion of $(basename "$fixture") ($rows rows), median of $runs runs each:" >&2
echo "  quarrow-catalogue convert:               $convert s ($(tr '\n' ' ' <"$work/convert"))" >&2
echo "  mdb-export > /dev/null, then drivers:    $yardstick s (export $export_time s, drivers $drivers_time s)" >&2
echo "  ratio $ratio, goal (at most 1.5) $goal" >&2
if [ -n "$table" ]; then
  ms() { awk -v s="$1" 'BEGIN { printf "%.0f ms", s * 1000 }'; }
  printf '7\t%s, %s rows, Jet 4 converted, trigram index included (median of %s; export %s, drivers %s)\t%s\t%s (mdb-export, then drivers; at most x1.5)\t%s\t%s\n' \
    "$(basename "$fixture")" "$(echo "$rows" | sed ':a;s/\B[0-9]\{3\}\>/,&/;ta')" "$runs" "$(ms "$export_time")" "$(ms "$drivers_time")" \
    "$(ms "$convert")" "$(ms "$yardstick")" "$ratio" "$goal" >>"$table"
fi
