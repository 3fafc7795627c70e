#!/usr/bin/env bash
# Runs the whole CTest suite N times (default 5), each time with a parallel
# build of the project from scratch running beside it, so that tests that
# lean on timing fail here rather than in CI. Prints each round's result and
# the longest run of passes in a row; exits 1 when any round failed.
#   bash scripts/stress-tests.sh [N] [PRESET]    (PRESET: ci by default)
set -uo pipefail
cd "$(dirname "$0")/.."

rounds=${1:-5}
preset=${2:-ci}
jobs=$(nproc)

cmake --preset "$preset" >/dev/null || exit 1
cmake --build --preset "$preset" -j "$jobs" || exit 1

# The load: the project built from scratch, again and again, with as many
# jobs as there are cores, and without the compiler cache (which would make
# it no load at all). It has a process group of its own, ended at the end.
load_dir=$(mktemp -d)
load_pid=
stop_load() {
  if [ -n "$load_pid" ]; then
    kill -- "-$load_pid" 2>/dev/null
    wait "$load_pid" 2>/dev/null
    load_pid=
  fi
}
trap 'stop_load; rm -rf "$load_dir"' EXIT
setsid bash -c '
  export CCACHE_DISABLE=1
  cmake -S . -B "$1" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DPELLANDRIX_BUILD_BENCH=OFF >/dev/null || exit 1
  while true; do
    cmake --build "$1" -j "$2" --clean-first >/dev/null 2>&1
  done' load "$load_dir" "$jobs" &
load_pid=$!

passed=0
streak=0
longest=0
for round in $(seq 1 "$rounds"); do
  log="$load_dir/round-$round.log"
  if ctest --preset "$preset" -j "$jobs" >"$log" 2>&1; then
    passed=$((passed + 1))
    streak=$((streak + 1))
    [ "$streak" -gt "$longest" ] && longest=$streak
    echo "Runde $round: bestanden"
  else
    streak=0
    echo "Runde $round: FEHLGESCHLAGEN"
    grep -E '^\s+[0-9]+ - ' "$log" || tail -n 40 "$log"
  fi
done
stop_load

echo "$passed von $rounds Runden bestanden, höchstens $longest in Folge."
[ "$passed" -eq "$rounds" ]
