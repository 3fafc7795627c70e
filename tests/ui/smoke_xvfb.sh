#!/usr/bin/env bash
# Smoke test of the real desktop program: starts `pellandrix` under Xvfb in
# an empty temporary folder, waits for its main window, closes everything
# with Escape (the first-run notice, then the main window, which has no
# project yet and so closes without asking), and checks that the program
# ended normally and left the project database behind.
#
# Usage: smoke_xvfb.sh PATH/TO/pellandrix
# Exit status 77 (skipped) when xvfb-run is missing.
set -uo pipefail

script=$(readlink -f "$0")
exe=$(readlink -f "${1:?usage: smoke_xvfb.sh PATH/TO/pellandrix}")

if [ "${PELLANDRIX_SMOKE_INNER:-}" = 1 ]; then
  # --- inside Xvfb ---------------------------------------------------------
  unset QT_QPA_PLATFORM
  if command -v xdotool >/dev/null 2>&1; then
    "$exe" &
    pid=$!
    saw_main=0
    for _ in $(seq 1 150); do  # up to 30 seconds
      kill -0 "$pid" 2>/dev/null || break
      win=$(xdotool search --onlyvisible --pid "$pid" 2>/dev/null | tail -n 1)
      if [ -n "$win" ]; then
        name=$(xdotool getwindowname "$win" 2>/dev/null || true)
        # The main window is titled "Pellandrix", the message boxes
        # "pellandrix".
        if [ "$name" = "Pellandrix" ]; then saw_main=1; fi
        xdotool windowactivate --sync "$win" >/dev/null 2>&1 || xdotool windowfocus --sync "$win" >/dev/null 2>&1
        xdotool key --clearmodifiers Escape
      fi
      sleep 0.2
    done
    if kill -0 "$pid" 2>/dev/null; then
      echo "pellandrix did not end after Escape" >&2
      kill "$pid"
      exit 1
    fi
    wait "$pid"
    status=$?
    if [ "$saw_main" != 1 ]; then
      echo "the main window \"Pellandrix\" never appeared" >&2
      exit 1
    fi
  else
    # No xdotool: the program presses Escape on its own modal windows.
    PELLANDRIX_AUTOCLOSE_MS=700 timeout 60 "$exe"
    status=$?
  fi
  exit "$status"
fi

# --- outside: set up and run under Xvfb ---------------------------------------
if ! command -v xvfb-run >/dev/null 2>&1; then
  echo "xvfb-run not found: smoke test skipped"
  exit 77
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1

PELLANDRIX_SMOKE_INNER=1 xvfb-run -a -s "-screen 0 1280x1024x24" bash "$script" "$exe"
status=$?
if [ "$status" -ne 0 ]; then
  echo "pellandrix ended with status $status" >&2
  exit 1
fi
if [ ! -s "$work/Pellandrix.mdb" ]; then
  echo "no database file Pellandrix.mdb in $work" >&2
  ls -la "$work" >&2
  exit 1
fi
echo "smoke test passed: main window shown, closed with Escape, database created"
