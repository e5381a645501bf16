# The Wine test pass: Quarrow's test suites, libmdb on the Jet fixtures, and
# the MSI used as a Windows user would use it.

# Runs the test suites under Wine and prints, per suite, what Qt Test
# counted, every failure with its message and every skipped test with its
# reason.
test_suites() {
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

# The Jet fixtures lie beside the source tree (shared/fixtures/jet), or where
# QUARROW_JET_FIXTURES says.
jet_fixtures=$(realpath -m "${QUARROW_JET_FIXTURES:-$repo/../shared/fixtures/jet}")

# The Windows libmdb reads each fixture's table as its .tsv holds it: text
# converted by our iconv, Cyrillic, the character beyond the basic plane and
# CJK included (packaging/windows/libmdb/print-table.c prints absent values
# as empty ones, so the .tsv's \N are compared as such).
check_libmdb() {
  if [ ! -f "$jet_fixtures/vek-jet4.tsv" ]; then
    echo "No Jet fixtures in $jet_fixtures (QUARROW_JET_FIXTURES names them); libmdb not checked."
    return 0
  fi
  local work=$out/libmdb-check status=0 fixture table
  rm -rf "$work"
  mkdir -p "$work"
  $cc -O2 -Wall -Wextra -Werror -I"$cache/libmdb/include" \
    "$repo/packaging/windows/libmdb/print-table.c" -L"$cache/libmdb/lib" -lmdb -o "$work/print-table.exe"
  for fixture in vek-jet4:table_1 dev-jet4:device; do
    table=${fixture#*:}
    fixture=${fixture%:*}
    awk -F'\t' 'BEGIN { OFS = "\t" } { for (i = 1; i <= NF; i++) if ($i == "\\N") $i = ""; print }' \
      "$jet_fixtures/$fixture.tsv" >"$work/$fixture.expected"
    "$repo/scripts/lib/wine-run.sh" "$cache" "$work/print-table.exe" \
      "$(windows_path "$jet_fixtures/$fixture.mdb")" "$table" >"$work/$fixture.read" 2>"$work/$fixture.err" ||
      { cat "$work/$fixture.err" >&2; status=1; }
    if cmp -s "$work/$fixture.expected" "$work/$fixture.read"; then
      echo "  $fixture.mdb: $table read as its .tsv holds it ($(($(wc -l <"$work/$fixture.read") - 1)) rows)"
    else
      echo "  $fixture.mdb: $table differs from its .tsv:"
      diff "$work/$fixture.expected" "$work/$fixture.read" | head -n 10
      status=1
    fi
  done
  return $status
}

# The MSI in a fresh Windows folder, as a user: install, start from the
# Start menu, search and delete, install again, upgrade, uninstall
# (scripts/lib/windows/check-installer.sh).
check_installer() {
  local work=$out/installer-check
  rm -rf "$work"
  mkdir -p "$work"
  local upgrade=$work/Quarrow-upgrade.msi
  make_msi "$upgrade" "$version.1"
  xvfb-run -a -s "-screen 0 1280x960x24 -dpi 96" \
    "$repo/scripts/lib/windows/check-installer.sh" "$msi" "$upgrade" "$portable" "$work"
}

# Builds everything with the tests, packs, and runs the Wine test pass; every
# part runs, and the pass fails if any did.
quarrow_tests() {
  mkdir -p "$out"
  step_begin "Quarrow $version: configure"
  configure_quarrow
  step_end
  step_begin "Quarrow $version: build with the tests"
  build_quarrow
  step_end
  packages
  local status=0
  step_begin "Quarrow $version: tests under Wine"
  test_suites || status=1
  step_end
  step_begin "libmdb under Wine: the Jet fixtures"
  check_libmdb || status=1
  step_end
  step_begin "Quarrow $version: the MSI under Wine"
  check_installer || status=1
  step_end
  summary
  return $status
}
