#!/usr/bin/env bash
# Starts the desktop program the way the menu starts it: the command of the
# installed desktop entry's Exec line, from a fresh, empty home folder (as a
# desktop starts it) with XDG_DATA_HOME unset, on Qt's offscreen platform,
# closing its windows by itself (PELLANDRIX_AUTOCLOSE_MS). Then the home
# folder must hold the database and fileext.def in .local/share/pellandrix
# and nothing else, and every folder made on the way must be private (0700).
# A cache some library keeps under .cache is tolerated and listed.
# Usage: menu_start.sh DESKTOP_FILE [BINDIR]  (BINDIR goes first in PATH)
set -uo pipefail
desktop=${1:?usage: menu_start.sh DESKTOP_FILE [BINDIR]}
if [ -n "${2:-}" ]; then PATH="$(realpath "$2"):$PATH"; fi

exec_line=$(grep -m 1 '^Exec=' "$desktop") || { echo "no Exec line in $desktop" >&2; exit 1; }
exec_line=${exec_line#Exec=}
# Our entry takes no files (no field codes) and quotes nothing, so the words
# are the command.
read -ra command <<<"$exec_line"
echo "Menübefehl: ${command[*]}"

home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
status=0
(cd "$home" && env -u XDG_DATA_HOME -u XDG_CONFIG_HOME -u XDG_CACHE_HOME -u XDG_STATE_HOME \
  HOME="$home" QT_QPA_PLATFORM=offscreen PELLANDRIX_AUTOCLOSE_MS=300 \
  timeout 60 "${command[@]}") || status=$?
if [ "$status" -ne 0 ]; then
  echo "the menu's command ended with status $status" >&2
  exit 1
fi

failed=0
data="$home/.local/share/pellandrix"
for f in Pellandrix.mdb fileext.def; do
  [ -s "$data/$f" ] || { echo "no $f in the data folder" >&2; failed=1; }
done
grep -qx 'html;.*' "$data/fileext.def" 2>/dev/null ||
  { echo "fileext.def offers no html" >&2; failed=1; }
for d in "$home/.local" "$home/.local/share" "$data"; do
  mode=$(stat -c %a "$d" 2>/dev/null)
  [ "$mode" = 700 ] || { echo "$d has mode ${mode:-none}, not 700" >&2; failed=1; }
done
expected=$(printf '%s\n' .local .local/share .local/share/pellandrix \
  .local/share/pellandrix/Pellandrix.mdb .local/share/pellandrix/fileext.def)
found=$(cd "$home" && find . -mindepth 1 | sed 's|^\./||' | sort)
cache=$(grep -E '^\.cache(/|$)' <<<"$found" || true)
if [ -n "$cache" ]; then
  echo "left under .cache (a library's, tolerated):"
  echo "$cache"
fi
others=$(grep -Ev '^\.cache(/|$)' <<<"$found" | grep -vxF -f <(echo "$expected") || true)
if [ -n "$others" ]; then
  echo "written outside the data folder:" >&2
  echo "$others" >&2
  failed=1
fi
if [ "$failed" -eq 0 ]; then
  echo "menu start: database and fileext.def in ~/.local/share/pellandrix, nothing else"
fi
exit "$failed"
