#!/usr/bin/env bash
# Installs the build into a fresh staging prefix with `cmake --install` and
# checks that every file a desktop, `man` and the programs look for is where
# they look: programs in bin, the manual page, the example without a local
# set-up, and with the desktop program its help, menu entry, metadata and
# icons, all under one id, each icon bitmap the size its folder promises.
# Usage: install_layout.sh BUILD STAGE ID DATADIR BINDIR MANDIR GUI(ON|OFF)
set -uo pipefail
build=${1:?} stage=${2:?} id=${3:?} datadir=${4:?} bindir=${5:?} mandir=${6:?} gui=${7:?}

rm -rf "$stage"
if ! cmake --install "$build" --prefix "$stage" >"$stage.log" 2>&1; then
  cat "$stage.log" >&2
  echo "cmake --install failed" >&2
  exit 1
fi

failed=0
fail() { echo "$*" >&2; failed=1; }
need_file() { [ -f "$stage/$1" ] || fail "not installed: $1"; }

need_file "$bindir/pellandrix-cli"
[ -x "$stage/$bindir/pellandrix-cli" ] || fail "$bindir/pellandrix-cli is not executable"
# Outputs are captured before grep -q reads them: grep ending a pipe early
# would fail it under pipefail.
help=$("$stage/$bindir/pellandrix-cli" --help 2>&1)
grep -q '^Aufruf: pellandrix-cli' <<<"$help" ||
  fail "installed pellandrix-cli --help does not print its usage"

need_file "$mandir/man1/pellandrix-cli.1.gz"
man_text=$(gzip -dc "$stage/$mandir/man1/pellandrix-cli.1.gz" 2>/dev/null)
grep -q '^\.TH PELLANDRIX-CLI 1' <<<"$man_text" ||
  fail "$mandir/man1/pellandrix-cli.1.gz is not the gzipped manual page"

example="$datadir/pellandrix/examples/site"
for f in Pellandrix.ini fileext.def setup.sh templates/index.tpl templates/assets/site.css; do
  need_file "$example/$f"
done
[ -x "$stage/$example/setup.sh" ] || fail "$example/setup.sh lost its execute permission"
# A developer's own set-up of the example must not be shipped.
for d in data out; do
  [ ! -e "$stage/$example/$d" ] || fail "local example folder installed: $example/$d"
done

if [ "$gui" = ON ]; then
  need_file "$bindir/pellandrix"
  need_file "$datadir/pellandrix/Pellandrix-Hilfe.html"
  need_file "$mandir/man1/pellandrix.1.gz"
  desktop="$datadir/applications/$id.desktop"
  metainfo="$datadir/metainfo/$id.metainfo.xml"
  need_file "$desktop"
  need_file "$metainfo"
  if [ -f "$stage/$desktop" ]; then
    grep -qx "Icon=$id" "$stage/$desktop" || fail "$desktop does not name icon $id"
    grep -qx "Exec=pellandrix --data-folder" "$stage/$desktop" ||
      fail "$desktop does not start pellandrix in the data folder"
    grep -q '^Name\[de\]=' "$stage/$desktop" || fail "$desktop has no German name"
  fi
  if [ -f "$stage/$metainfo" ]; then
    grep -q "<id>$id</id>" "$stage/$metainfo" || fail "$metainfo has another id"
    grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$stage/$metainfo" ||
      fail "$metainfo does not launch $id.desktop"
    grep -q '@[A-Z_]*@' "$stage/$metainfo" && fail "$metainfo has unreplaced placeholders"
    grep -q '<summary xml:lang="de">' "$stage/$metainfo" || fail "$metainfo has no German summary"
  fi
  for size in 16 32 48 64 128 256; do
    icon="$datadir/icons/hicolor/${size}x${size}/apps/$id.png"
    need_file "$icon"
    [ -f "$stage/$icon" ] || continue
    # Width and height: big-endian words at bytes 16 and 20 of a PNG.
    dims=$(od -An -tu1 -j16 -N8 "$stage/$icon" | awk '{print $3*256+$4 "x" $7*256+$8}')
    [ "$dims" = "${size}x${size}" ] || fail "$icon is $dims, not ${size}x${size}"
  done
  svg="$datadir/icons/hicolor/scalable/apps/$id.svg"
  need_file "$svg"
  [ -f "$stage/$svg" ] && ! grep -q '<svg' "$stage/$svg" && fail "$svg is no SVG image"
fi

if [ "$failed" -eq 0 ]; then
  echo "installed layout complete under $stage"
fi
exit "$failed"
