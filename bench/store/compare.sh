#!/usr/bin/env bash
# Runs two store_bench binaries (say, of two commits) in turns and prints,
# for each, the smallest CPU time of every benchmark and its ratio to the
# bare SQLite insert loop of the same binary. On a shared machine single
# runs swing by half; the smallest of many, taken in turns, is what the
# code costs. Usage:
#   bench/store/compare.sh OLD_STORE_BENCH NEW_STORE_BENCH [ROUNDS]
set -euo pipefail
rounds=${3:-5}
for ((i = 0; i < rounds; ++i)); do
  for bin in "$1" "$2"; do
    "$bin" --benchmark_repetitions=3 --benchmark_format=csv 2>/dev/null |
      awk -F, -v bin="$bin" 'NR > 1 && $1 !~ /_(mean|median|stddev|cv)"$/ {
        gsub("\"", "", $1); sub("/iterations:[0-9]+", "", $1); print bin, $1, $4 }'
  done
done | awk '
  { key = $1 " " $2; if (!(key in best) || $3 < best[key]) best[key] = $3 }
  END {
    for (key in best) {
      split(key, part, " ")
      bare = best[part[1] " BM_BareSqliteInsert"]
      printf "%s %-24s %8.1f ms  %5.2f x bare\n", part[1], part[2], best[key], best[key] / bare
    }
  }' | sort
