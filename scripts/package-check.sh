#!/usr/bin/env bash
# Builds the Debian package from a Release build without tests, installs it
# on this machine with apt-get, tries the installed programs (the bundled
# example generated from the installed copy in a temporary folder, the
# desktop program under Xvfb and as its menu entry starts it) and removes
# the package again, so that the machine is left as it was. Needs root or
# sudo, like scripts/setup.sh.
set -euo pipefail
cd "$(dirname "$0")/.."

build=build/pkg
sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi

if dpkg-query -W -f='${Status}' pellandrix 2>/dev/null | grep -q 'install ok installed'; then
  echo "pellandrix is already installed; remove it first (apt-get remove pellandrix)" >&2
  exit 1
fi

# Installed at /usr, the programs find their data under /usr/share/pellandrix.
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
  -DPELLANDRIX_BUILD_TESTS=OFF -DPELLANDRIX_BUILD_BENCH=OFF -DPELLANDRIX_WERROR=ON >/dev/null
cmake --build "$build" -j "$(nproc)"
rm -f "$build"/pellandrix_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
deb=$(realpath "$build"/pellandrix_*.deb)
echo "Paket: $deb"
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
# The list comes from dpkg-shlibdeps; without it the package would install
# on a machine that cannot run it.
for lib in libqt6widgets6 libsqlite3 libmdb3 libstdc++6; do
  grep -q "$lib" <<<"$depends" || { echo "$deb does not depend on $lib" >&2; exit 1; }
done
# Qt's German texts are not a linked library, so dpkg-shlibdeps cannot see them.
dpkg-deb -f "$deb" Recommends | grep -q qt6-translations-l10n ||
  { echo "$deb does not recommend qt6-translations-l10n" >&2; exit 1; }

work=$(mktemp -d)
cleanup() {
  rm -rf "$work"
  DEBIAN_FRONTEND=noninteractive $sudo apt-get remove -y -qq pellandrix >/dev/null || true
}
trap cleanup EXIT
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "$deb" >/dev/null

# Captured first: grep -q ending the pipe early would fail it under pipefail.
help=$(/usr/bin/pellandrix-cli --help)
grep -q '^Aufruf: pellandrix-cli' <<<"$help" || { echo "pellandrix-cli --help printed no usage" >&2; exit 1; }
[ -f /usr/share/man/man1/pellandrix-cli.1.gz ]
[ -f /usr/share/bash-completion/completions/pellandrix-cli ]
# F1 help from any start directory: the data directory compiled into the
# desktop program must be where the package put the help file. (Read from
# the compile commands: the optimiser stores short strings as immediates,
# so the binary itself cannot be searched for the path.)
datadir=$(grep -o 'PELLANDRIX_HELP_DATADIR=[^ ]*' "$build/compile_commands.json" | head -n 1 |
  sed -e 's/^[^=]*=//' -e 's/[\\"]//g')
echo "Hilfe gesucht in: $datadir"
dpkg -S "$datadir/Pellandrix-Hilfe.html" | grep -q '^pellandrix:' ||
  { echo "the package has no help file at $datadir, where the program looks" >&2; exit 1; }

cp -r /usr/share/pellandrix/examples/site "$work/site"
bash "$work/site/setup.sh" /usr/bin/pellandrix-cli
/usr/bin/pellandrix-cli -C "$work/site" generate Website
[ -s "$work/site/out/index.html" ] || { echo "the example produced no out/index.html" >&2; exit 1; }

status=0
bash tests/ui/smoke_xvfb.sh /usr/bin/pellandrix || status=$?
if [ "$status" -ne 0 ] && [ "$status" -ne 77 ]; then
  echo "the installed desktop program failed its smoke test" >&2
  exit 1
fi
# Started from the menu with an empty home folder: everything it makes goes
# into the user's data folder.
bash packaging/tests/menu_start.sh /usr/share/applications/io.github.pellandrix.Pellandrix.desktop
echo "Paket gebaut, installiert, ausprobiert und wieder entfernt."
