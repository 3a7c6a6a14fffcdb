#!/usr/bin/env bash
# The benchmarks of speed at scale, one after the other in one run, each printing the
# ratios of its medians at its end: keeping the last answer and opening a table in a
# bank of 10,000 categories, the history window on 100,000 records, an answer click on
# tests of 1,000 to 100,000 questions, the import of a 1,000-question test file, the
# conversion of an Access 2000 bank, the band check, and the start-up memory.
# Usage: bench/speed_at_scale.sh [build-dir] [repetitions]
# Run it on an X display (xvfb-run) for the window figures of a real X server.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
build="$(cd "${1:-build}" && pwd)"
repetitions="${2:-5}"
for bench in bench_keeping bench_history bench_runner bench_exchange bench_jetbank \
             bench_bandcheck; do
  echo "== $bench"
  # The table of every repetition is long: its medians, and the summary after its last row.
  "$build/bench/$bench" --benchmark_repetitions="$repetitions" 2>&1 |
    sed -e 's/\x1b\[[0-9;]*m//g' | awk '/_cv / { table = NR } { line[NR] = $0 }
      END { for (i = 1; i <= table; ++i) if (line[i] ~ /_median /) print line[i]
            for (i = table + 1; i <= NR; ++i) print line[i] }'
done
echo "== start-up memory"
"$here/startup_memory.sh" "$build"
