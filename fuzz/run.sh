#!/usr/bin/env bash
# Builds the libFuzzer harnesses with clang-14 in build/fuzz and runs each,
# one after another on one core, for SECONDS (default 20) on its corpus.
# The seed corpus in fuzz/corpus is only read (the Jet reader's seeds are
# written by jet_samples into build/fuzz/seeds/jet); inputs the fuzzer finds go
# to build/fuzz/corpus, crashes to build/fuzz/artifacts. Prints the last
# status line (executions, cov:) of every harness; fails when one found a
# crash, a hang or a broken check.
#   fuzz/run.sh [SECONDS] [HARNESS...]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
seconds=${1:-20}
shift || true
harnesses=("$@")
if [ "${#harnesses[@]}" -eq 0 ]; then
  harnesses=(line_engine include delimited ini jet)
fi

build=$root/build/fuzz
cmake -S fuzz -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++-14 >/dev/null
cmake --build "$build" -j "${FUZZ_JOBS:-$(nproc)}" >/dev/null
"$build/jet_samples" "$build/seeds/jet"

failed=0
for h in "${harnesses[@]}"; do
  mkdir -p "$build/corpus/$h" "$build/artifacts/$h" "$build/logs"
  log=$build/logs/$h.log
  seeds=$root/fuzz/corpus/$h max_len=8192
  # Jet files are whole pages (2 or 4 KB), several of them.
  [ "$h" = jet ] && seeds=$build/seeds/jet max_len=65536
  # Absolute paths: the include harness works in its own current directory.
  if ! "$build/fuzz_$h" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
      -max_len="$max_len" -print_final_stats=1 -artifact_prefix="$build/artifacts/$h/" \
      "$build/corpus/$h" "$seeds" >"$log" 2>&1; then
    echo "fuzz_$h FAILED, see $log and $build/artifacts/$h/"
    grep -E 'ERROR|check failed|SUMMARY' "$log" | head -5 || true
    failed=1
    continue
  fi
  runs=$(grep -E '^stat::number_of_executed_units' "$log" | awk '{print $2}')
  last=$(grep -E '^#[0-9]+.*cov:' "$log" | tail -1)
  echo "fuzz_$h ${seconds}s: executions ${runs:-?}; ${last}"
done
exit $failed
