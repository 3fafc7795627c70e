#!/usr/bin/env bash
# Runs a desktop validator on one installed file and fails on any error,
# warning or hint it reports: desktop-file-validate exits 0 on all of them,
# yet a hint such as "no registered main category" keeps the program out of
# the menu section a user looks in.
# Usage: validate.sh desktop-file-validate|appstreamcli FILE
# Exit status 77 (skipped) when the validator is not installed.
set -uo pipefail
tool=${1:?usage: validate.sh TOOL FILE}
file=${2:?usage: validate.sh TOOL FILE}

if ! command -v "$tool" >/dev/null 2>&1; then
  echo "$tool not found: validation skipped"
  exit 77
fi
if [ ! -f "$file" ]; then
  echo "not installed: $file" >&2
  exit 1
fi

case "$tool" in
  appstreamcli) output=$(appstreamcli validate --no-net --no-color "$file" 2>&1) ;;
  *) output=$("$tool" "$file" 2>&1) ;;
esac
status=$?
echo "$output"
if [ "$status" -ne 0 ]; then
  echo "$tool failed with status $status on $file" >&2
  exit 1
fi
# appstreamcli marks its findings E: and W: (I: and P: are advice);
# desktop-file-validate says "error:", "warning:" and "hint:".
if grep -Eq '^(E|W): |(error|warning|hint): ' <<<"$output"; then
  echo "$tool reported problems in $file" >&2
  exit 1
fi
echo "$tool: $file is valid"
