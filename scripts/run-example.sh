#!/usr/bin/env bash
# Sets up a fresh machine, builds Pellandrix and sets the bundled example
# site up as a project. With a display (DISPLAY or WAYLAND_DISPLAY set) it
# then starts the desktop program on the example; without one it generates
# the example's pages with the headless generator.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
cmake --preset release >/dev/null

cli=build/release/src/cli/pellandrix-cli

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  cmake --build --preset release -j "$(nproc)" --target pellandrix-cli pellandrix
  bash examples/site/setup.sh "$cli"
  echo
  echo "Pellandrix startet mit dem Beispiel (Projekt Website). \"Dateien erstellen\" erzeugt"
  echo "die Seiten in $(pwd)/examples/site/out/ (Startseite: index.html)."
  # The program reads Pellandrix.ini, fileext.def and its database from the
  # directory it is started in.
  (cd examples/site && ../../build/release/src/ui/pellandrix)
  exit
fi

cmake --build --preset release -j "$(nproc)" --target pellandrix-cli
bash examples/site/setup.sh "$cli"
"$cli" -C examples/site generate Website
echo
echo "Die erzeugten Seiten liegen in $(pwd)/examples/site/out/ (Startseite: index.html)."
