#!/usr/bin/env bash
# How much memory generating a page takes as its template grows: builds
# pellandrix-cli in Release from the working tree, writes a project with one
# template of about 10 MB and one of about 1 GB, generates each under
# /usr/bin/time -v and prints the peak resident set size, the wall time and
# the throughput of both. Fails when a run fails or a page has not the size
# the generator computed. Everything it writes, the big files first of all,
# is removed at the end.
#   bench/memory/stream.sh [--build DIR] [--small-mb N] [--large-mb N]
# DIR defaults to build/memory-rel; the work files go to DIR/stream-work.
set -euo pipefail
repo=$(git -C "$(dirname "$0")" rev-parse --show-toplevel)
cd "$repo"

build=build/memory-rel
small_mb=10
large_mb=1000
while (($#)); do
  case $1 in
    --build) build=$2; shift 2 ;;
    --small-mb) small_mb=$2; shift 2 ;;
    --large-mb) large_mb=$2; shift 2 ;;
    *) echo "unknown argument $1" >&2; exit 2 ;;
  esac
done
[[ -x /usr/bin/time ]] || { echo "needs /usr/bin/time (apt-get install time)" >&2; exit 2; }

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DPELLANDRIX_BUILD_GUI=OFF \
  -DPELLANDRIX_BUILD_TESTS=OFF -DPELLANDRIX_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j "${JOBS:-2}" --target pellandrix-cli >/dev/null
cli=$(realpath "$build/src/cli/pellandrix-cli")

work=$(realpath -m "$build/stream-work")
rm -rf "$work"
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/src" "$work/out"

# Writes a template of about MB megabytes to PATH and prints the size in
# bytes its generated page must have. Deterministic: the same arguments
# always give the same bytes. Each line of the body is one of a few
# HTML-like patterns with its line number and one or two defined names; the
# names occur nowhere else and no value holds a name, so the expected page
# is the body with every name replaced and every line feed written as CR LF.
generate_template() {
  python3 - "$1" "$2" <<'PY'
import sys

path, megabytes = sys.argv[1], int(sys.argv[2])
defines = [
    ("SITE_NAME", "Bäckerei Morgenrot"),
    ("PAGE_TITLE", "Speicherprobe mit langem Text"),
    ("CONTACT_MAIL", "info@morgenrot.example"),
    ("BREAD_PRICE", "3,20 EUR"),
    ("COPY_YEAR", "2026"),
]
patterns = [
    '<p id="p{n}">Frisches Brot aus SITE_NAME, Zeile {n}, jeden Morgen ab sechs Uhr.</p>',
    "<li>Angebot {n}: Roggenbrot für BREAD_PRICE, solange der Vorrat reicht</li>",
    "<h2>PAGE_TITLE, Abschnitt {n}</h2>",
    '<td class="preis">BREAD_PRICE</td><td>{n}</td><td>SITE_NAME</td>',
    '<img src="bild{n}.jpg" alt="Ofen von SITE_NAME">',
    '<p>Fragen an <a href="mailto:CONTACT_MAIL">CONTACT_MAIL</a> ({n})</p>',
    "<footer>&copy; COPY_YEAR SITE_NAME, Seite {n}</footer>",
    "<div>schlichter Text ohne Namen, Zeile {n}</div>",
]


def replaced(text):
    for name, value in defines:
        text = text.replace(name, value)
    return text


# Bytes of each pattern's page line without its number, CR LF included.
fixed = [len(replaced(p.replace("{n}", "")).encode()) + 2 for p in patterns]
target = megabytes * 1000 * 1000
written = expected = 0
with open(path, "w", encoding="utf-8", newline="\n") as out:
    head = "".join(f"#define {name} {value}\n" for name, value in defines)
    out.write(head)
    written += len(head.encode())
    n = 0
    while written < target:
        block = []
        for _ in range(10000):
            n += 1
            k = (n * 7 + n // 13) % len(patterns)
            digits = len(str(n))
            block.append(patterns[k].replace("{n}", str(n)))
            expected += fixed[k] + patterns[k].count("{n}") * digits
        text = "\n".join(block) + "\n"
        out.write(text)
        written += len(text.encode())
print(expected)
PY
}

run_one() {  # NAME MB: sets up project NAME with NAME.tpl and generates it
  local name=$1 mb=$2 expected status wall secs rss bytes
  expected=$(generate_template "$work/src/$name.tpl" "$mb")
  "$cli" -C "$work" add-project "$name" --source src --target out --ext html >/dev/null 2>&1
  "$cli" -C "$work" add-file "$name" "$work/src/$name.tpl" --select >/dev/null
  status=0
  /usr/bin/time -v -o "$work/$name.time" "$cli" -C "$work" generate "$name" \
    >"$work/$name.out" 2>"$work/$name.err" || status=$?
  if ((status != 0)) || [[ $(cat "$work/$name.out") != $'fertig\t'"$name.tpl" ]]; then
    echo "$name: generate ended with $status: $(cat "$work/$name.out" "$work/$name.err")" >&2
    return 1
  fi
  bytes=$(stat -c %s "$work/out/$name.html")
  if ((bytes != expected)); then
    echo "$name: page has $bytes bytes, expected $expected" >&2
    return 1
  fi
  wall=$(sed -n 's/.*Elapsed (wall clock) time.*: //p' "$work/$name.time")
  secs=$(awk -F: '{ s = 0; for (i = 1; i <= NF; i++) s = s * 60 + $i; print s }' <<<"$wall")
  rss=$(sed -n 's/.*Maximum resident set size (kbytes): //p' "$work/$name.time")
  printf '%-6s %10.1f %10.1f %8.2f %8.1f %12.1f\n' "$name" \
    "$(stat -c %s "$work/src/$name.tpl" | awk '{ print $1 / 1e6 }')" "$(awk -v b="$bytes" 'BEGIN { print b / 1e6 }')" \
    "$secs" "$(awk -v b="$bytes" -v s="$secs" 'BEGIN { print (s > 0 ? b / 1e6 / s : 0) }')" \
    "$(awk -v k="$rss" 'BEGIN { print k / 1024 }')"
  rm -f "$work/src/$name.tpl" "$work/out/$name.html"
}

echo "machine: $(nproc) cores; pellandrix-cli from the working tree of $(git rev-parse --short HEAD)"
printf '%-6s %10s %10s %8s %8s %12s\n' shape "input MB" "output MB" "wall s" "MB/s" "peak RSS MB"
run_one small "$small_mb"
run_one large "$large_mb"
