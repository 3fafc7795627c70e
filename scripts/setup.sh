#!/usr/bin/env bash
# Installs the Debian packages that building, testing and running Pellandrix
# need. Idempotent: packages already present are not fetched again.
# With --bench it also installs the peers the benchmarks compare against
# (bench/suite), which the tests never need.
set -euo pipefail

packages=(
  g++ cmake ninja-build pkg-config git
  libsqlite3-dev sqlite3 libinih-dev libxxhash-dev mdbtools-dev mdbtools libgumbo-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  qt6-base-dev qt6-translations-l10n xvfb xauth xdotool
  clang-14 libclang-rt-14-dev
  dpkg-dev desktop-file-utils appstream groff-base
  clang-format
  libmicrohttpd-dev nlohmann-json3-dev
  chromium chromium-driver python3-selenium
)
if [ "${1:-}" = "--bench" ]; then
  packages+=(hugo make cpp time hyperfine gpp m4 strace linux-perf)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ "${#missing[@]}" -gt 0 ]; then
  sudo=""
  if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
  echo "Installing: ${missing[*]}"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
