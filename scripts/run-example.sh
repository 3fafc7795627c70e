#!/usr/bin/env bash
# Sets up a fresh machine, builds Pellandrix and generates the bundled
# example site with the headless generator.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
cmake --preset release >/dev/null
cmake --build --preset release -j "$(nproc)" --target pellandrix-cli

cli=build/release/src/cli/pellandrix-cli
bash examples/site/setup.sh "$cli"
"$cli" -C examples/site generate Website
echo
echo "Die erzeugten Seiten liegen in $(pwd)/examples/site/out/ (Startseite: index.html)."
