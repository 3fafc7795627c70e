#!/usr/bin/env bash
# How a run over an include chain scales with its length: t0 includes t1,
# which includes t2, ... every template ticked and parsed whenever included,
# listed leaf first (so every page's own pass overwrites the pages below
# it). For each length prints the CPU and wall time of `generate` into an
# empty target folder, of a second full run, and of `generate --changed`
# after the leaf's text changed.
# Usage:
#   bench/engine/chain_scale.sh PELLANDRIX_CLI [LENGTHS...]
set -euo pipefail
cli=$(realpath "$1")
shift
lengths=("${@:-100 200 400}")
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cd "$scratch"

timed() {  # label, then the command's arguments
  local label=$1
  shift
  /usr/bin/time -f "%U %S %e" -o time.txt "$cli" "$@" >/dev/null 2>&1 || true
  read -r user sys wall <time.txt
  printf '%5d templates, %-10s %8.2f s CPU %8.2f s wall\n' "$n" "$label" \
    "$(echo "$user + $sys" | bc)" "$wall"
}

for n in ${lengths[*]}; do
  rm -rf src out Pellandrix.mdb
  mkdir src out
  {
    printf 'Pellandrix-Projekt 1\nProjekt=Kette\nQuellverzeichnis=src\nZielverzeichnis=out\n'
    printf 'Dateiendung=html\n'
    for ((i = n - 1; i >= 0; --i)); do
      printf '\nDatei=t%d.tpl\nausgewählt=ja\nerstellen=ja\nimmer neu erstellen=ja\n' "$i"
      printf 'Dateiendung=html\nQuellverzeichnis aus Projekt=ja\nZielverzeichnis aus Projekt=ja\n'
    done
    printf '\nEnde\n'
  } >chain.txt
  for ((i = 0; i < n; ++i)); do
    {
      printf '#ifndef TOP\n#define TOP page %d\n#endif\n' "$i"
      ((i + 1 < n)) && printf '#include "t%d.tpl"\n' $((i + 1))
      printf '<p>level %d of TOP</p>\n' "$i"
    } >"src/t$i.tpl"
  done
  "$cli" import chain.txt >/dev/null 2>&1
  timed first generate Kette
  timed again generate Kette
  printf '<p>the leaf, changed</p>\n' >>"src/t$((n - 1)).tpl"
  timed changed generate Kette --changed
done
