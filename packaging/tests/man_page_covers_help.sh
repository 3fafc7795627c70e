#!/usr/bin/env bash
# The manual page must name every command, every option and every exit
# status the program's own --help text names: a command added to the
# program but not to the page fails here.
# Usage: man_page_covers_help.sh PAGE PATH/TO/pellandrix-cli
set -uo pipefail
page=${1:?usage: man_page_covers_help.sh PAGE CLI}
cli=${2:?usage: man_page_covers_help.sh PAGE CLI}

help=$("$cli" --help) || { echo "$cli --help failed" >&2; exit 1; }
# The page as a reader sees it: roff escapes for "-" removed.
plain=$(sed -e 's/\\-/-/g' -e 's/\\f[BIRP]//g' "$page")

# Commands are the indented words under "Befehle:" that start a line;
# options are every --word and -C/-h.
commands=$(sed -n '/^Befehle:/,/^[^ ]/p' <<<"$help" | grep -E '^  [a-z]' | awk '{print $1}')
options=$( (grep -oE -- '--[a-z-]+' <<<"$help"; echo "-C"; echo "-h") | sort -u)
if [ "$(wc -w <<<"$commands")" -lt 5 ] || [ "$(wc -w <<<"$options")" -lt 8 ]; then
  echo "could not read the commands and options from --help:" >&2
  echo "$help" >&2
  exit 1
fi

# The lines of one section of the page. Held in variables rather than piped
# into grep -q, which would stop reading early and, under pipefail, fail the
# check by the writer's SIGPIPE once a section outgrows one write.
section() { sed -n "/^\.SH $1\$/,/^\.SH /p" <<<"$plain"; }
commands_section=$(section BEFEHLE)
options_section=$(section OPTIONEN)
status_section=$(section RÜCKGABEWERT)
files_section=$(section DATEIEN)

missing=0
for word in $commands; do
  # Each command needs its own entry under BEFEHLE; the synopsis alone is
  # not enough.
  if ! grep -Eq "^\.BI? $word( |$)" <<<"$commands_section"; then
    echo "command $word has no entry in $page" >&2
    missing=1
  fi
done
for option in $options; do
  if ! grep -Eq -- "^\.(B|BI|BR) (.* )?$option( |,|$)" <<<"$options_section"; then
    echo "option $option has no entry in $page" >&2
    missing=1
  fi
done
# Exit statuses: each number listed under "Rückgabewert:" in --help.
for status in $(sed -n '/^Rückgabewert:/,$p' <<<"$help" | grep -oE '^  [0-9]+' | tr -d ' '); do
  if ! grep -qx "\.B $status" <<<"$status_section"; then
    echo "exit status $status not described in $page" >&2
    missing=1
  fi
done
for file in Pellandrix.ini fileext.def; do
  if ! grep -qx "\.I $file" <<<"$files_section"; then
    echo "file $file not described in $page" >&2
    missing=1
  fi
done
[ "$missing" -eq 0 ] && echo "manual page covers every command, option and exit status of --help"
exit "$missing"
