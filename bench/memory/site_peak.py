#!/usr/bin/env python3
"""Peak memory of `generate` on the site shape, side by side for one or
more builds of pellandrix-cli: a full run over a project that has a record
of its last run, then `generate --changed` with nothing changed. Each
repetition runs every build once, build after build. Peak resident memory
comes from /usr/bin/time -v; with --heap, heaptrack also profiles one
`--changed` run of each build and its largest holders at the peak are
printed. Exits non-zero when a run fails or a peak lies above --limit MB.

Usage: site_peak.py CLI [CLI...] [--shape site20k] [--reps 2] [--limit 64]
                    [--work build/bench-work] [--heap]
"""

import argparse
import os
import shutil
import statistics
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "suite"))

import measure  # noqa: E402
import shapes  # noqa: E402

RUNS = [("full run", []), ("no change", ["--changed"])]


def peaks(cli, folder, reps_peaks):
    for name, options in RUNS:
        result = measure.run([cli, "-C", folder, "generate", shapes.PROJECT] + options,
                             folder, None, 1800)
        if result.status != "ok":
            raise SystemExit("%s, %s: %s %s" % (cli, name, result.status, result.detail))
        reps_peaks.setdefault((cli, name), []).append(result.peak_kib / 1024)


def heap_top(cli, folder, count=8):
    """The largest holders at the heap's peak of one --changed run."""
    out = os.path.join(folder, "heap")
    subprocess.run(["heaptrack", "-o", out, cli, "-C", folder, "generate", shapes.PROJECT,
                    "--changed"], check=True, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL)
    report = subprocess.run(["heaptrack_print", "-f", out + ".zst", "--print-peaks", "1",
                             "-n", str(count), "-s", "0"], check=True, capture_output=True,
                            text=True).stdout
    lines = report.splitlines()
    for i, line in enumerate(lines):
        if line.startswith("peak heap memory"):
            print("  " + line)
        if "peak memory consumed over" in line and i + 1 < len(lines):
            print("  %s: %s" % (line.split(" peak")[0], lines[i + 1].strip()))
    os.remove(out + ".zst")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("cli", nargs="+")
    parser.add_argument("--shape", default="site20k")
    parser.add_argument("--reps", type=int, default=2)
    parser.add_argument("--limit", type=float, default=64.0)
    parser.add_argument("--work", default="build/bench-work")
    parser.add_argument("--heap", action="store_true")
    args = parser.parse_args()
    clis = [os.path.abspath(c) for c in args.cli]
    source, _ = shapes.prepare(args.shape, "7", args.work, clis[0])
    # Each build on a copy of its own: a record written by one build is
    # never read by another.
    folders = {}
    for n, cli in enumerate(clis):
        folders[cli] = os.path.abspath(os.path.join(args.work, "%s-peak%d" % (args.shape, n)))
        shutil.rmtree(folders[cli], ignore_errors=True)
        shutil.copytree(source, folders[cli], ignore=lambda path, names: [
            n for n in names if path == source and n in ("peers", "expected")])
        # The record a full run finds in a project that has been generated.
        measure.run([cli, "-C", folders[cli], "generate", shapes.PROJECT], folders[cli], None,
                    1800)
    reps_peaks = {}
    for _ in range(args.reps):
        for cli in clis:
            peaks(cli, folders[cli], reps_peaks)
    print("| build | run | peak RSS MB (median of %d) |" % args.reps)
    print("|---|---|---|")
    over = False
    for cli in clis:
        for name, _ in RUNS:
            peak = statistics.median(reps_peaks[(cli, name)])
            over = over or peak > args.limit
            print("| %s | %s | %.1f |" % (os.path.relpath(cli), name, peak))
    if args.heap:
        for cli in clis:
            print("%s, generate --changed, heap:" % os.path.relpath(cli))
            heap_top(cli, folders[cli])
    for cli in clis:
        shutil.rmtree(folders[cli], ignore_errors=True)
    sys.exit(1 if over else 0)


if __name__ == "__main__":
    main()
