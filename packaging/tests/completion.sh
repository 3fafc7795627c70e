#!/usr/bin/env bash
# The bash completion of pellandrix-cli, with bash's own complete and
# compgen: commands, options of a command, and project names (with blanks)
# from the database of the current folder and of -C DIR.
# Usage: completion.sh COMPLETION_FILE PATH/TO/pellandrix-cli
set -uo pipefail
script=$(realpath "${1:?usage: completion.sh COMPLETION_FILE CLI}")
cli=${2:?usage: completion.sh COMPLETION_FILE CLI}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/bin" "$work/other"
ln -s "$(realpath "$cli")" "$work/bin/pellandrix-cli"
export PATH="$work/bin:$PATH"
cd "$work"
pellandrix-cli add-project "Meine Seite" >/dev/null 2>&1
pellandrix-cli add-project "Mehr" >/dev/null 2>&1
pellandrix-cli -C other add-project "Anderswo" >/dev/null 2>&1

# shellcheck source=/dev/null
source "$script"
failed=0
expect() {  # expect "words of the line" "wanted completions, one per line"
    read -r -a COMP_WORDS <<<"$1"
    [[ $1 == *" " ]] && COMP_WORDS+=("")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMPREPLY=()
    _pellandrix_cli
    local got
    got=$(printf '%s\n' "${COMPREPLY[@]}" | sort)
    if [[ $got != "$(sort <<<"$2")" ]]; then
        echo "for '$1': wanted [$2], got [$got]" >&2
        failed=1
    fi
}

complete -p pellandrix-cli | grep -q -- '-F _pellandrix_cli' || { echo "not registered" >&2; failed=1; }
expect "pellandrix-cli ex" "export"
expect "pellandrix-cli add-" $'add-file\nadd-project'
expect "pellandrix-cli generate --" $'--all\n--changed\n--dry-run\n--explain\n--json\n--locations'
expect "pellandrix-cli check Mei" 'Meine\ Seite'
expect "pellandrix-cli check x --" $'--json\n--remove-stale'
expect "pellandrix-cli record x --j" "--json"
expect "pellandrix-cli generate Me" $'Meine\\ Seite\nMehr'
expect "pellandrix-cli -C other files " "Anderswo"
expect "pellandrix-cli import x --" "--as"
expect "pellandrix-cli watch --" $'--all\n--poll'
expect "pellandrix-cli serve Meine\ Seite --port 8081 --" $'--all\n--open\n--poll\n--port'
[[ $(compgen -W "$(_pellandrix_cli_projects "")" -- M | wc -l) == 2 ]] || { echo "compgen" >&2; failed=1; }
expect "pellandrix-cli projects --" $'--json\n--read-only'
# Tab writes nothing: no database in a folder without one, and an old Jet
# file (here its first bytes) is not touched.
mkdir empty jet
printf '\0\1\0\0Standard Jet DB\0\1' >jet/Pellandrix.mdb
cp jet/Pellandrix.mdb jet.before
expect "pellandrix-cli -C empty files " ""
expect "pellandrix-cli -C jet files " ""
[[ -z $(ls -A empty) ]] || { echo "Tab made a database" >&2; failed=1; }
[[ $(ls -A jet) == Pellandrix.mdb ]] && cmp -s jet/Pellandrix.mdb jet.before ||
    { echo "Tab touched the Jet file" >&2; failed=1; }
exit $failed
