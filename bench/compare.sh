#!/usr/bin/env bash
# Measures Quarrow beside its yardsticks, all in one run on this machine, and
# prints one table: target, case, Quarrow's figure, the yardstick's, their
# ratio, and whether the goal is met.
#
#   bench/compare.sh [BUILD_DIR]        (default: build)
#
# Environment: JET_RUNS (default 5) runs of the Jet conversion and of its
# yardstick, alternately (bench/jet-conversion.sh, which says where the
# 100,000-row fixture is looked for); REPETITIONS (default 9) repetitions of every search benchmark,
# interleaved at random with the others; STARTUP_RUNS (default 15) runs of
# each start-up probe, alternately; SEARCHES (default 5) searches through
# the main window. VARIANTS=1 also measures the other ways of reading the
# catalogue file (memory-mapped, page by page) beside the program's own in
# the same interleaved run, and the main window's first search with and
# without huge pages for result buffers, HUGE_PAGE_RUNS (default 5) times
# each, alternately.
#
# The catalogues are generated once into BUILD_DIR/bench-data (about a
# minute) and kept; delete that folder after changing the sample generator.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
repetitions=${REPETITIONS:-9}
startup_runs=${STARTUP_RUNS:-15}
searches=${SEARCHES:-5}
variants=${VARIANTS:-0}
huge_page_runs=${HUGE_PAGE_RUNS:-5}

command -v rg >/dev/null || { echo "compare.sh: rg is missing (scripts/setup.sh installs it)" >&2; exit 1; }
cmake --build "$build" --target quarrow-bench quarrow-measure >/dev/null

data="$build/bench-data"
mkdir -p "$data"
export QUARROW_BENCH_DATA=$data
export QT_QPA_PLATFORM=offscreen
export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$(mktemp -d)}

rows="$data/results.tsv"
: >"$rows"
"$build/quarrow-bench" --prepare

echo "Search benchmarks: $repetitions repetitions each, interleaved at random (log: $data/bench.log)" >&2
file_access=()
if [ "$variants" = 1 ]; then file_access=(--file-access); fi
"$build/quarrow-bench" --table="$rows" "${file_access[@]}" \
  --benchmark_repetitions="$repetitions" --benchmark_enable_random_interleaving=true \
  --benchmark_min_time=0.2 >"$data/bench.log" 2>&1

echo "Main window and start-up (log: $data/measure.log)" >&2
"$build/quarrow-measure" --table="$rows" --searches="$searches" --startup-runs="$startup_runs" \
  >"$data/measure.log" 2>&1

if [ "$variants" = 1 ]; then
  echo "First searches with and without huge pages (log: $data/huge-pages.log)" >&2
  : >"$data/huge-pages.log"
  for run in $(seq "$huge_page_runs"); do
    for pages in 1 0; do
      label="huge pages"
      if [ "$pages" = 0 ]; then label="no huge pages"; fi
      QUARROW_HUGE_PAGES=$pages "$build/quarrow-measure" --window --searches=1 2>>"$data/huge-pages.log" |
        awk -F'\t' -v label="$label" -v run="$run" \
          '$1 == "3" && n++ < 3 { printf "%s\t%s; run %d\t%s\t%s\t%s\tfor reference\n", label, $2, run, $3, $4, $5 }' \
          >>"$rows"
    done
  done
fi

echo "Converting the 100,000-row Jet catalogue (bench/jet-conversion.sh)" >&2
bench/jet-conversion.sh "$build" "$rows"

echo "Machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ //')," \
  "load average $(cut -d' ' -f1-3 /proc/loadavg) at the end"
echo
echo "| target | case | Quarrow | yardstick | ratio | goal |"
echo "|---|---|---:|---:|---:|---|"
sort -s -t$'\t' -k1,1 "$rows" | awk -F'\t' '{ printf "| %s | %s | %s | %s | %s | %s |\n", $1, $2, $3, $4, $5, $6 }'
