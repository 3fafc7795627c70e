#!/usr/bin/env bash
# Sets up a fresh machine, builds everything with warnings as errors and runs
# the whole test suite. Then the core, the command-line program and their
# tests once more under AddressSanitizer and UBSan, without the desktop
# program (so a GUI dependency creeping into the core breaks that build),
# each fuzz harness briefly on its corpus, and the Debian package.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh

# Sources formatted with the root .clang-format before anything is built.
bash scripts/check-format.sh

jobs=$(nproc)
cmake --preset ci >/dev/null
cmake --build --preset ci -j "$jobs"
ctest --preset ci -j "$jobs"

# The sanitizer build has no desktop program and no benchmarks: it builds
# only what the tests run.
cmake --preset asan >/dev/null
cmake --build --preset asan -j "$jobs"
ctest --preset asan -j "$jobs"

if command -v clang++-14 >/dev/null; then
  FUZZ_JOBS=$jobs bash fuzz/run.sh 20
else
  echo "clang++-14 missing: fuzz harnesses not run"
fi

bash scripts/package-check.sh
