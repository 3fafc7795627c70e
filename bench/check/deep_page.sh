#!/usr/bin/env bash
# What `check` costs on a page of 500 KB of nested <div> elements (100,000
# levels) beside a page of the same size with the divs side by side: sets
# a project with both up in a scratch folder, generates it and prints the
# CPU and wall time of `check` on each. Usage:
#   bench/check/deep_page.sh PELLANDRIX_CLI
set -euo pipefail
cli=$(realpath "$1")
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cd "$scratch"
mkdir src out
for shape in nested flat; do
  python3 -c "
import sys
n = 100000
sys.stdout.write('<a href=\"x.html\">x</a>' + ('<div>' * n if sys.argv[1] == 'nested' else '<div></div>' * (n // 2)) + '\n')
" "$shape" >"src/$shape.tpl"
  "$cli" add-project "$shape" --source src --target out --ext html >/dev/null 2>&1
  "$cli" add-file "$shape" "src/$shape.tpl" --select >/dev/null
  "$cli" generate "$shape" >/dev/null
  /usr/bin/time -f "%U %S %e" -o time.txt "$cli" check "$shape" >/dev/null 2>&1 || true
  read -r user sys wall < <(tail -n 1 time.txt)
  printf '%-7s %7.2f s CPU %7.2f s wall\n' "$shape" "$(echo "$user + $sys" | bc)" "$wall"
done
