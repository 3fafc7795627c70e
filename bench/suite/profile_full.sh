#!/usr/bin/env bash
# Where a full run's time goes: system calls per page (strace -c, threads
# included) and a perf profile of one full run, both on a scratch project
# that scale.py set up (build/bench-work/SHAPE-scale). Usage:
#   bench/suite/profile_full.sh CLI FOLDER [PERF_DATA]
set -euo pipefail
cli=$(realpath "$1")
folder=$(realpath "$2")
data=${3:-$folder/perf.data}
pages=$(wc -l <"$folder/peers/pages.txt")

# The old output folder is renamed aside, not deleted, right before a run:
# ext4 makes files slowly right after thousands were deleted (see scale.py).
# The folders set aside go when the script ends.
aside=()
fresh_out() {
  local old="$folder/out.aside.$RANDOM$RANDOM"
  mv "$folder/out" "$old" && aside+=("$old") && mkdir "$folder/out" && sync
}
trap 'rm -rf "${aside[@]}"' EXIT

fresh_out
trace=$(mktemp)
strace -f -c -o "$trace" "$cli" -C "$folder" generate Bench >/dev/null
echo "== system calls of a full run, $pages pages"
awk -v pages="$pages" '$4 ~ /^[0-9]+$/ { printf "%-16s %9d  %6.2f per page\n", $NF, $4, $4 / pages }' \
  "$trace" | sort -k2,2nr | head -20
rm -f "$trace"

fresh_out
perf record -q --call-graph dwarf,32768 -F 2000 -o "$data" \
  "$cli" -C "$folder" generate Bench >/dev/null 2>&1
report() {
  perf report -i "$data" --stdio --no-header -g none --sort symbol "$@" 2>/dev/null |
    grep -v '^#' | grep -v '^$' | sed 's/ \{2,\}-  *-  *$//' | cut -c1-120
}
echo "== perf: share of samples in a function and its callees (children)"
report --children --percent-limit 4 | head -40
echo "== perf: the run record and the database (children)"
report --children | grep -E 'RunRecord|SaveTraces|SavePaths|CRunMemo|Record|sqlite3_step|sqlite3VdbeExec|Dao' | head -25
