#!/usr/bin/env bash
# How `import` scales with the entries of a project text: writes texts of
# 20,000, 50,000 and 200,000 entries into a scratch folder and prints the
# CPU and wall time of importing each into a fresh database, then of
# importing it again over the project it made (which replaces every entry).
# Usage:
#   bench/store/import_scale.sh PELLANDRIX_CLI [COUNTS...]
set -euo pipefail
cli=$(realpath "$1")
shift
counts=("${@:-20000 50000 200000}")
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cd "$scratch"
for n in ${counts[*]}; do
  {
    printf 'Pellandrix-Projekt 1\nProjekt=Gross\nQuellverzeichnis=src\nZielverzeichnis=out\n'
    printf 'Dateiendung=html\n'
    for ((i = 0; i < n; ++i)); do
      printf '\nDatei=f%d.tpl\nausgewählt=ja\nerstellen=ja\nimmer neu erstellen=ja\n' "$i"
      printf 'Dateiendung=html\nQuellverzeichnis aus Projekt=ja\nZielverzeichnis aus Projekt=ja\n'
    done
    printf '\nEnde\n'
  } >"text-$n.txt"
  rm -f Pellandrix.mdb
  for run in new replacing; do
    /usr/bin/time -f "%U %S %e" -o time.txt "$cli" import "text-$n.txt" >/dev/null 2>&1
    read -r user sys wall <time.txt
    printf '%7d entries, %-9s %7.2f s CPU %7.2f s wall\n' "$n" "$run" \
      "$(echo "$user + $sys" | bc)" "$wall"
  done
done
