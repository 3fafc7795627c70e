#!/usr/bin/env python3
"""Measures pellandrix-cli generate side by side with cat, cpp, m4, gpp and
sed on generated workloads, checks every output against the expected text
and prints throughput, ratios and peak memory per shape.

Repetitions go round all tools in turn, so that a noisy stretch on the
machine hits every tool alike; the median wall-clock time is reported.
"""

import argparse
import os
import shutil
import statistics
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import check  # noqa: E402
import measure  # noqa: E402
import report  # noqa: E402
import shapes  # noqa: E402
import tools  # noqa: E402


def parse_args():
    p = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    p.add_argument("--cli", required=True, help="pellandrix-cli to measure")
    p.add_argument("--before", help="a second pellandrix-cli (say, of the parent commit) "
                   "measured beside the first, as the row 'before'")
    p.add_argument("--floor", help="the crlf-copy program (bench/floor), for a row beside cat")
    p.add_argument("--mode", choices=("quick", "full"), default="quick",
                   help="quick: small shape only; full: every shape")
    p.add_argument("--shapes", help="comma-separated shapes instead of the mode's")
    p.add_argument("--seed", default="7")
    p.add_argument("--work", default="build/bench-work", help="workload folder")
    p.add_argument("--limit", type=float, default=120.0, help="seconds per run")
    p.add_argument("--reps", type=int, help="runs per tool (quick 5, full 3)")
    p.add_argument("--markdown", help="also write the tables to this file")
    return p.parse_args()


def _clear(job):
    for path in job.outputs():
        if os.path.exists(path):
            os.remove(path)
    for path in {os.path.dirname(p) for p in job.outputs()}:
        os.makedirs(path, exist_ok=True)


def measure_shape(shape, args, cli, before):
    folder, meta = shapes.prepare(shape, args.seed, args.work, cli)
    runs = os.path.join(folder, "runs")
    shutil.rmtree(runs, ignore_errors=True)
    if "pieces" in meta:
        jobs = tools.site_jobs(folder, cli, runs, meta["pages"])
    else:
        jobs = tools.flat_jobs(folder, cli, runs, args.floor)
    size = sum(os.path.getsize(want) for _, want in jobs["ours"].pairs)
    order = [t for t in tools.ORDER if t in jobs]
    if before:
        ours = jobs["ours"]
        jobs["before"] = tools.Job([before] + ours.argv[1:], ours.stdout_path, ours.pairs)
        order.insert(1, "before")

    reps = args.reps or (5 if args.mode == "quick" else 3)
    times = {t: [] for t in order}
    peaks = {t: [] for t in order}
    final = {}
    for _ in range(reps):
        for tool in order:
            if tool in final:
                continue  # timed out, failed or wrong once: not run again
            job = jobs[tool]
            _clear(job)
            result = measure.run(job.argv, folder, job.stdout_path, args.limit)
            if result.status != "ok":
                final[tool] = (result.status, result.detail)
                continue
            difference = check.same(job.pairs) if job.checked else None
            if difference:
                final[tool] = ("wrong", difference)
                continue
            times[tool].append(result.seconds)
            peaks[tool].append(result.peak_kib)
        print(".", end="", flush=True, file=sys.stderr)
    print(file=sys.stderr)

    rows = {}
    for tool in order:
        status, detail = final.get(tool, ("ok", ""))
        median = statistics.median(times[tool]) if status == "ok" else None
        peak = max(peaks[tool]) if peaks[tool] else None
        rows[tool] = report.Row(tool, status, detail, median, peak, len(times[tool]))
    return report.Shape(shape, meta, size, rows, args.limit)


def main():
    args = parse_args()
    cli = os.path.abspath(args.cli)
    before = os.path.abspath(args.before) if args.before else None
    args.floor = os.path.abspath(args.floor) if args.floor else None
    args.work = os.path.abspath(args.work)
    names = args.shapes.split(",") if args.shapes else (
        ["small"] if args.mode == "quick" else ["small", "large", "many", "site"])
    results = []
    for name in names:
        print("== %s" % name, file=sys.stderr)
        shape = measure_shape(name, args, cli, before)
        print(report.table(shape))
        print()
        results.append(shape)
    verdicts = report.verdicts(results)
    print(verdicts)
    if args.markdown:
        with open(args.markdown, "w") as f:
            f.write("\n\n".join(report.table(s) for s in results) + "\n\n" + verdicts + "\n")
    wrong = [r for s in results for r in s.rows.values() if r.status in ("wrong", "error")]
    return 1 if any(r.tool == "ours" for r in wrong) else 0


if __name__ == "__main__":
    sys.exit(main())
