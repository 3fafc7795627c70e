#!/usr/bin/env bash
# Fails when a C++ source or header of the project differs from what the
# root .clang-format makes of it, and names the files.
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files '*.cpp' '*.h')
if ! clang-format --dry-run --Werror "${files[@]}"; then
  echo "Formatting differs from .clang-format: run clang-format -i on the files above." >&2
  exit 1
fi
echo "clang-format: ${#files[@]} files formatted as .clang-format asks"
