#!/usr/bin/env bash
# Installs the peers, builds pellandrix-cli in Release from a clean export of
# one commit (so that uncommitted edits in the working tree are not
# measured) and runs the suite. Usage:
#   bench/suite/run.sh [--commit REV] [--before REV] [run.py options, e.g. --mode full]
# Without --commit, HEAD is measured. Set PELLANDRIX_CLI to measure a
# binary you built yourself instead. --before measures a second commit in
# the same run, in the row "before".
set -euo pipefail
repo=$(git -C "$(dirname "$0")" rev-parse --show-toplevel)
cd "$repo"

rev=HEAD
before=
while [[ ${1:-} == --commit || ${1:-} == --before ]]; do
  if [[ $1 == --commit ]]; then rev=$2; else before=$2; fi
  shift 2
done

missing=()
for tool in gpp m4 hyperfine; do
  command -v "$tool" >/dev/null || missing+=("$tool")
done
[[ -x /usr/bin/time ]] || missing+=(time)
if ((${#missing[@]})); then
  sudo=; ((EUID == 0)) || sudo=sudo
  $sudo apt-get install -y "${missing[@]}" >/dev/null
fi

# Builds pellandrix-cli of commit $1 (once) and prints its path.
build_commit() {
  local sha src
  sha=$(git rev-parse --short=12 "$1")
  src=$repo/build/bench-src/$sha
  if [[ ! -x $src/build/src/cli/pellandrix-cli ]]; then
    rm -rf "$src" && mkdir -p "$src"
    git archive "$sha" | tar -x -C "$src"
    cmake -S "$src" -B "$src/build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
      -DPELLANDRIX_BUILD_GUI=OFF -DPELLANDRIX_BUILD_TESTS=OFF >/dev/null
    cmake --build "$src/build" --target pellandrix-cli >/dev/null
  fi
  echo "measuring commit $sha" >&2
  echo "$src/build/src/cli/pellandrix-cli"
}

if [[ -z ${PELLANDRIX_CLI:-} ]]; then
  PELLANDRIX_CLI=$(build_commit "$rev")
fi
extra=()
if [[ -n $before ]]; then
  extra=(--before "$(build_commit "$before")")
fi

# The text-mode copy floor, built from the working tree like the suite.
floor=$repo/build/bench-floor/crlf-copy
floor_sources=("$repo/bench/floor/crlf_copy.cpp" "$repo/src/support/write_behind.cpp")
if [[ ! -x $floor || ${floor_sources[0]} -nt $floor || ${floor_sources[1]} -nt $floor ]]; then
  mkdir -p "$(dirname "$floor")"
  c++ -O2 -std=c++20 -pthread -I "$repo/src" -o "$floor" "${floor_sources[@]}"
fi
extra+=(--floor "$floor")

echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //')" >&2
exec python3 bench/suite/run.py --cli "$PELLANDRIX_CLI" "${extra[@]}" "$@"
