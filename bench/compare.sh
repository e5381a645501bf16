#!/usr/bin/env bash
# Times Quarrow's driver search on sample catalogues of 10,000, 100,000 and
# 1,000,000 rows beside two yardsticks on the same names: sqlite3's built-in
# LIKE on a plain table, and ripgrep over a text export. Prints one table of
# milliseconds (medians) and ratios.
#
#   bench/compare.sh [BUILD_DIR]       (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
runs=5
sizes=(10000 100000 1000000)
patterns=("7300 GT" "")

for tool in sqlite3 rg; do
  command -v "$tool" >/dev/null || { echo "compare.sh: $tool is missing (scripts/setup.sh installs it)" >&2; exit 1; }
done
cmake --build "$build" --target quarrow-bench quarrow-catalogue >/dev/null
data="$build/bench-data"
mkdir -p "$data"
tool="$build/quarrow-catalogue"

# Quarrow: the search sequence (search and count, whole result fetched),
# timed by Google Benchmark; it generates the catalogues it lacks.
bench_csv="$data/quarrow-bench.csv"
"$build/quarrow-bench" --benchmark_repetitions=$runs --benchmark_report_aggregates_only=true \
  --benchmark_format=csv >"$bench_csv" 2>"$data/quarrow-bench.log"

# "driverSearch/example/rows:10000/plain:0_median" -> time in ms
quarrow_ms() {
  local name=$1 rows=$2 plain=$3
  awk -F, -v key="\"driverSearch/$name/rows:$rows/plain:${plain}_median\"" \
    '$1 == key { printf "%.2f", $3 }' "$bench_csv"
}

median() { sort -n | awk '{ v[NR] = $1 } END { printf "%.2f", (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# Runs one statement $runs times in one sqlite3 session; prints the median
# wall time in ms.
sqlite_ms() {
  local db=$1 sql=$2
  {
    echo ".timer on"
    echo ".output /dev/null"
    for ((i = 0; i < runs; i++)); do echo "$sql;"; done
  } | sqlite3 "$db" | awk '/^Run Time:/ { print $4 * 1000 }' | median
}

rg_ms() {
  local pattern=$1 file=$2
  for ((i = 0; i < runs; i++)); do
    local start end
    start=$(date +%s%N)
    rg -c -i -- "$pattern" "$file" >/dev/null || true
    end=$(date +%s%N)
    echo "$(((end - start) / 1000))" | awk '{ print $1 / 1000 }'
  done | median
}

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else printf "-" }'; }

printf '| rows | pattern | found | Quarrow trigram | Quarrow plain | sqlite3 count | sqlite3 select | sqlite3 both | rg -c -i | trigram / sqlite3 both | trigram / rg |\n'
printf '|---:|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|\n'
for rows in "${sizes[@]}"; do
  vek="$data/trigram-$rows/vek.mdb"
  plain="$data/sqlite3-plain-$rows.mdb"
  names="$data/names-$rows.txt"
  if [ ! -e "$plain" ] || [ ! -e "$names" ]; then
    export_tsv="$data/export-$rows.tsv"
    "$tool" export "$vek" --password kavrel >"$export_tsv"
    "$tool" drivers --plain --password "" "$plain" <"$export_tsv" 2>/dev/null
    tail -n +2 "$export_tsv" | cut -f1 >"$names"
    rm -f "$export_tsv"
  fi
  for pattern in "${patterns[@]}"; do
    name=example
    [ -z "$pattern" ] && name=everything
    where="Наименование LIKE '%$pattern%'"
    found=$(sqlite3 "$plain" "SELECT count(*) FROM table_1 WHERE $where")
    q_trigram=$(quarrow_ms "$name" "$rows" 0)
    q_plain=$(quarrow_ms "$name" "$rows" 1)
    s_count=$(sqlite_ms "$plain" "SELECT count(*) FROM table_1 WHERE $where")
    s_select=$(sqlite_ms "$plain" "SELECT * FROM table_1 WHERE $where")
    s_both=$(awk -v a="$s_count" -v b="$s_select" 'BEGIN { printf "%.2f", a + b }')
    r=$(rg_ms "$pattern" "$names")
    printf '| %s | "%s" | %s | %s | %s | %s | %s | %s | %s | %s | %s |\n' \
      "$rows" "$pattern" "$found" "$q_trigram" "$q_plain" "$s_count" "$s_select" "$s_both" "$r" \
      "$(ratio "$q_trigram" "$s_both")" "$(ratio "$q_trigram" "$r")"
  done
done
