#!/usr/bin/env bash
# Sets up a fresh machine, builds everything with warnings as errors and runs
# the whole test suite; also builds the core without the desktop program, so
# that a GUI dependency creeping into the core breaks the build.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh

jobs=$(nproc)
cmake --preset ci >/dev/null
cmake --build --preset ci -j "$jobs"
ctest --preset ci -j "$jobs"

cmake --preset ci-nogui >/dev/null
cmake --build --preset ci-nogui -j "$jobs"
ctest --preset ci-nogui -j "$jobs"
