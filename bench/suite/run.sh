#!/usr/bin/env bash
# Installs the peers, builds pellandrix-cli in Release from a clean export of
# one commit (so that uncommitted edits in the working tree are not
# measured) and runs the suite. Usage:
#   bench/suite/run.sh [--commit REV] [run.py options, e.g. --mode full]
# Without --commit, HEAD is measured. Set PELLANDRIX_CLI to measure a
# binary you built yourself instead.
set -euo pipefail
repo=$(git -C "$(dirname "$0")" rev-parse --show-toplevel)
cd "$repo"

rev=HEAD
if [[ ${1:-} == --commit ]]; then
  rev=$2
  shift 2
fi

missing=()
for tool in gpp m4 hyperfine; do
  command -v "$tool" >/dev/null || missing+=("$tool")
done
[[ -x /usr/bin/time ]] || missing+=(time)
if ((${#missing[@]})); then
  sudo=; ((EUID == 0)) || sudo=sudo
  $sudo apt-get install -y "${missing[@]}" >/dev/null
fi

if [[ -z ${PELLANDRIX_CLI:-} ]]; then
  sha=$(git rev-parse --short=12 "$rev")
  src=$repo/build/bench-src/$sha
  if [[ ! -x $src/build/src/cli/pellandrix-cli ]]; then
    rm -rf "$src" && mkdir -p "$src"
    git archive "$sha" | tar -x -C "$src"
    cmake -S "$src" -B "$src/build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
      -DPELLANDRIX_BUILD_GUI=OFF -DPELLANDRIX_BUILD_TESTS=OFF >/dev/null
    cmake --build "$src/build" --target pellandrix-cli >/dev/null
  fi
  PELLANDRIX_CLI=$src/build/src/cli/pellandrix-cli
  echo "measuring commit $sha" >&2
fi

echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //')" >&2
exec python3 bench/suite/run.py --cli "$PELLANDRIX_CLI" "$@"
