#!/usr/bin/env bash
# Installs the peers (scripts/setup.sh --bench), builds pellandrix-cli and
# site-floor in Release from the working tree into build/bench-scale and
# runs scale.py with the given options, e.g.
#   bench/suite/scale.sh --shapes site,site20k --reps 3
set -euo pipefail
repo=$(git -C "$(dirname "$0")" rev-parse --show-toplevel)
cd "$repo"
bash scripts/setup.sh --bench
build=${PELLANDRIX_BENCH_BUILD:-build/bench-scale}
if [[ ! -f $build/CMakeCache.txt ]]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DPELLANDRIX_BUILD_GUI=OFF -DPELLANDRIX_BUILD_TESTS=OFF >/dev/null
fi
cmake --build "$build" --target pellandrix-cli site_floor >/dev/null
echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //')," \
  "$(awk '/MemTotal/ {printf "%.0f GB", $2 / 1048576}' /proc/meminfo); commit" \
  "$(git rev-parse --short HEAD); $(date -u '+%Y-%m-%d %H:%M UTC')" >&2
exec python3 bench/suite/scale.py --cli "$build/src/cli/pellandrix-cli" \
  --floor "$build/bench/floor/site_floor" "$@"
