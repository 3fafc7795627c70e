#!/usr/bin/env bash
# What the checks at opening cost on a database of 10,000 template files:
# runs the opening benchmarks of one store_bench binary side by side and
# prints, for each, the smallest CPU and wall time over the repetitions and
# the CPU ratio to opening without any check. Usage:
#   bench/store/open_cost.sh STORE_BENCH [REPETITIONS]
set -euo pipefail
"$1" --benchmark_filter='Open' --benchmark_repetitions="${2:-10}" \
  --benchmark_format=csv 2>/dev/null |
  awk -F, 'NR > 1 && $1 !~ /_(mean|median|stddev|cv)"$/ {
    gsub("\"", "", $1)
    if (!($1 in cpu) || $4 < cpu[$1]) cpu[$1] = $4
    if (!($1 in wall) || $3 < wall[$1]) wall[$1] = $3
    if (!($1 in seen)) { seen[$1] = 1; order[++n] = $1 }
  }
  END {
    base = cpu["BM_OpenWithoutCheck"]
    for (i = 1; i <= n; ++i) {
      name = order[i]
      printf "%-24s %8.2f ms CPU %8.2f ms wall %8.1f x without check\n",
             name, cpu[name], wall[name], cpu[name] / base
    }
  }'
