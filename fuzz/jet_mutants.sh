#!/usr/bin/env bash
# Old Jet databases made hostile: COUNT files made by mutating the test-only
# Jet writer's samples (bytes flipped anywhere, whole pages spliced over
# others, four bytes changed in a table definition or usage map), each run
# through `pellandrix-cli projects` in a folder of its own, as a start
# would convert it. Counts how each run ended; fails when one died by a
# signal or hung, when a refused file was changed, or when anything but
# the database (and, after a conversion, the old file beside it) was left.
#   jet_mutants.sh PATH/TO/pellandrix-cli PATH/TO/jet_samples COUNT [SEED]
set -uo pipefail
cli=$(realpath "${1:?usage: jet_mutants.sh CLI JET_SAMPLES COUNT [SEED]}")
samples_tool=${2:?usage: jet_mutants.sh CLI JET_SAMPLES COUNT [SEED]}
count=${3:?usage: jet_mutants.sh CLI JET_SAMPLES COUNT [SEED]}
RANDOM=${4:-1}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$samples_tool" "$work/samples" || exit 1
samples=("$work"/samples/*.mdb)

# Writes byte value $2 at offset $3 of file $1.
poke() { printf "\\x$(printf %02x "$2")" | dd of="$1" bs=1 seek="$3" conv=notrunc status=none; }
random32() { echo $(((RANDOM << 15) | RANDOM)); }

mutate() {  # file page_size
    local file=$1 page=$2 size pages k
    size=$(stat -c %s "$file")
    pages=$((size / page))
    case $((RANDOM % 3)) in
        0) for ((k = 0; k <= RANDOM % 8; k++)); do
               poke "$file" $((RANDOM % 256)) $(($(random32) % size))
           done ;;
        1) dd if="$file" of="$file" bs="$page" count=1 skip=$((RANDOM % pages)) \
               seek=$((RANDOM % pages)) conv=notrunc status=none ;;
        2) local at=$(((1 + RANDOM % (pages - 1)) * page + RANDOM % 96))
           for ((k = 0; k < 4; k++)); do poke "$file" $((RANDOM % 256)) $((at + k)); done ;;
    esac
}

converted=0 refused=0 signalled=0 hung=0 broken=0
for ((i = 1; i <= count; i++)); do
    sample=${samples[RANDOM % ${#samples[@]}]}
    page=4096
    [[ $sample == */jet3-* ]] && page=2048
    dir=$work/run
    rm -rf "$dir" && mkdir "$dir"
    cp "$sample" "$dir/Pellandrix.mdb"
    mutate "$dir/Pellandrix.mdb" "$page"
    cp "$dir/Pellandrix.mdb" "$work/mutant"
    timeout -s KILL 120 "$cli" -C "$dir" projects >/dev/null 2>&1
    status=$?
    listing=$(ls -A "$dir" | tr '\n' ' ')
    if ((status == 137)); then
        hung=$((hung + 1))
        echo "mutant $i: still running after 120 s" >&2
    elif ((status > 128)); then
        signalled=$((signalled + 1))
        echo "mutant $i: died by signal $((status - 128))" >&2
    elif ((status == 0)); then
        converted=$((converted + 1))
        [[ $listing == "Pellandrix.jet Pellandrix.mdb " ]] && cmp -s "$dir/Pellandrix.jet" "$work/mutant" ||
            { broken=$((broken + 1)); echo "mutant $i: converted, left [$listing]" >&2; }
    else
        refused=$((refused + 1))
        [[ $listing == "Pellandrix.mdb " ]] && cmp -s "$dir/Pellandrix.mdb" "$work/mutant" ||
            { broken=$((broken + 1)); echo "mutant $i: refused, left [$listing]" >&2; }
    fi
done
echo "jet mutants $count: converted $converted, refused $refused, died by a signal $signalled," \
     "hung $hung, left something wrong $broken"
((signalled == 0 && hung == 0 && broken == 0))
