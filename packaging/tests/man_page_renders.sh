#!/usr/bin/env bash
# Formats the manual page with groff at its strictest warning level and
# fails on any warning, so that a broken macro or an encoding slip shows up
# here rather than as garbage in `man pellandrix-cli`.
# Usage: man_page_renders.sh PAGE. Exit status 77 when groff is missing.
set -uo pipefail
page=${1:?usage: man_page_renders.sh PAGE}

if ! command -v groff >/dev/null 2>&1; then
  echo "groff not found: manual page not formatted"
  exit 77
fi
# -k passes the page through preconv, as man does, honouring its coding line.
warnings=$(groff -k -man -ww -z -Tutf8 "$page" 2>&1)
if [ -n "$warnings" ]; then
  echo "$warnings" >&2
  exit 1
fi
# The page must have the sections a reader looks for.
text=$(groff -k -man -Tutf8 -P-c "$page" 2>/dev/null | sed 's/.\x08//g')
for heading in NAME ÜBERSICHT BESCHREIBUNG BEFEHLE OPTIONEN RÜCKGABEWERT DATEIEN BEISPIELE; do
  if ! grep -qx "$heading" <<<"$text"; then
    echo "section $heading missing from $page" >&2
    exit 1
  fi
done
echo "manual page formats without warnings"
