#!/usr/bin/env bash
# Sets the example site up as a Pellandrix project, the way a user would:
# one project, its shared pieces (not generated on their own, not kept) and
# its pages (ticked for the next run). Usage: setup.sh PATH-TO-pellandrix-cli
set -euo pipefail
cli=$(realpath "$1")
cd "$(dirname "$0")"

if "$cli" projects | cut -f2 | grep -qx Website; then
  echo "Das Projekt Website ist schon eingerichtet."
  exit 0
fi

mkdir -p out
"$cli" add-project Website --source templates --target out --ext html >/dev/null
for piece in site header nav footer; do
  "$cli" add-file Website "templates/$piece.tpl" --no-create >/dev/null
done
for page in index about contact news; do
  "$cli" add-file Website "templates/$page.tpl" --select >/dev/null
done
echo "Projekt Website eingerichtet: $("$cli" files Website | wc -l) Vorlagendateien."
