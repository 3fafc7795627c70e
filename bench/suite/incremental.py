"""Incremental runs on the site shape (2,000 pages), side by side in one
run: a full run, `generate --changed` with nothing changed, with one page's
own template edited, and with the shared header edited. Each repetition
runs all four in turn on a scratch copy of the workload, so that a noisy
stretch hits all of them.

Usage: incremental.py CLI [--reps N] [--seed S] [--work DIR]
"""

import argparse
import os
import shutil
import statistics
import subprocess
import time

import shapes

ROWS = ["full run", "no change (--changed)", "one page edited (--changed)",
        "full run, shared header edited", "shared header edited (--changed)"]
# Row: (target, limit, the row it is measured against).
TARGETS = {ROWS[1]: ("at most 2 % of the full run", 0.02, ROWS[0]),
           ROWS[2]: ("at most 5 % of the full run", 0.05, ROWS[0]),
           ROWS[4]: ("at most the full run with the header edited plus 5 %", 1.05, ROWS[3])}


def generate(cli, folder, *options):
    start = time.perf_counter()
    subprocess.run([cli, "-C", folder, "generate", shapes.PROJECT, *options], check=True,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return time.perf_counter() - start


def toggle(path):
    """Changes the template's text: adds a line, or takes it away again."""
    with open(path) as f:
        text = f.read()
    marker = "<p>edited</p>\n"
    text = text[:-len(marker)] if text.endswith(marker) else text + marker
    with open(path, "w") as f:
        f.write(text)


def repetition(cli, folder, page):
    times = {ROWS[0]: generate(cli, folder)}
    # A person looks at the result before the next run; the pages just
    # written are then older than the stamps' safety margin, and the first
    # --changed run after a full one has read them once.
    time.sleep(2.1)
    generate(cli, folder, "--changed")
    times[ROWS[1]] = generate(cli, folder, "--changed")
    toggle(os.path.join(folder, "templates", page + ".tpl"))
    times[ROWS[2]] = generate(cli, folder, "--changed")
    # A full run writes only pages whose text changed, so the header's
    # --changed run is held against a full run that rewrites every page too.
    toggle(os.path.join(folder, "templates", "header.tpl"))
    times[ROWS[3]] = generate(cli, folder)
    toggle(os.path.join(folder, "templates", "header.tpl"))
    times[ROWS[4]] = generate(cli, folder, "--changed")
    return times


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("cli")
    parser.add_argument("--reps", type=int, default=5)
    parser.add_argument("--seed", default="7")
    parser.add_argument("--work", default="build/bench-work")
    args = parser.parse_args()
    cli = os.path.abspath(args.cli)
    source, meta = shapes.prepare("site", args.seed, args.work, cli)
    folder = os.path.join(args.work, "incremental-scratch")
    shutil.rmtree(folder, ignore_errors=True)
    shutil.copytree(source, folder)
    page = meta["pages"][len(meta["pages"]) // 2]
    runs = [repetition(cli, folder, page) for _ in range(args.reps)]
    medians = {row: statistics.median(r[row] for r in runs) for row in ROWS}
    print("| run | seconds (median of %d) | time / its full run | target |" % args.reps)
    print("|---|---|---|---|")
    for row in ROWS:
        target, limit, against = TARGETS.get(row, ("", None, row))
        ratio = medians[row] / medians[against]
        verdict = "" if limit is None else (" (met)" if ratio <= limit else " (NOT met)")
        print("| %s | %.3f | %.3f | %s%s |" % (row, medians[row], ratio, target, verdict))


if __name__ == "__main__":
    main()
