#!/usr/bin/env python3
"""Two builds of pellandrix-cli side by side on `generate --changed`: each
on its own copy of a scratch project of scale.py (the one under
build/bench-work/SHAPE-scale), so that neither finds the other's record.
Each copy gets a full run, 2.1 s (the stamps' safety margin) and one
`--changed` run that reads the new pages once; then every repetition runs
a no-change `--changed` run of each build and, after one page's template
was edited in both copies, a `--changed` run of each, the order of the
two builds alternating. Prints the medians of wall and CPU time (user and
system, getrusage).

Usage: changed_side_by_side.py PROJECT BEFORE_CLI AFTER_CLI [--reps N] [--work DIR]
"""

import argparse
import os
import shutil
import statistics
import subprocess
import time

import shapes

KEPT = ["templates", "data", "Pellandrix.ini", "fileext.def"]


def copy_project(source, folder):
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    for item in KEPT:
        path = os.path.join(source, item)
        (shutil.copytree if os.path.isdir(path) else shutil.copy2)(path, os.path.join(folder, item))
    os.makedirs(os.path.join(folder, "out"))


def run(cli, folder, *options):
    start = time.perf_counter()
    proc = subprocess.Popen([cli, "-C", folder, "generate", shapes.PROJECT, *options],
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    _, status, usage = os.wait4(proc.pid, 0)
    wall = time.perf_counter() - start
    if os.waitstatus_to_exitcode(status) != 0:
        raise SystemExit("%s failed in %s" % (cli, folder))
    return wall, usage.ru_utime + usage.ru_stime


def main():
    p = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    p.add_argument("project")
    p.add_argument("before")
    p.add_argument("after")
    p.add_argument("--reps", type=int, default=9)
    p.add_argument("--work", default="build/bench-work/side-by-side")
    args = p.parse_args()
    builds = {"before": args.before, "after": args.after}
    folders = {name: os.path.join(args.work, name) for name in builds}
    for name in builds:
        copy_project(args.project, folders[name])
        run(builds[name], folders[name])
    time.sleep(2.1)
    for name in builds:
        run(builds[name], folders[name], "--changed")
    templates = sorted(os.listdir(os.path.join(folders["before"], "templates")))
    page = templates[len(templates) // 3]
    samples = {}
    for rep in range(args.reps):
        order = list(builds) if rep % 2 == 0 else list(reversed(list(builds)))
        for name in order:
            samples.setdefault(("no change", name), []).append(
                run(builds[name], folders[name], "--changed"))
        for name in order:
            with open(os.path.join(folders[name], "templates", page), "a") as f:
                f.write("<p>edited %d</p>\n" % rep)
            samples.setdefault(("page edited", name), []).append(
                run(builds[name], folders[name], "--changed"))
    for (scenario, name), values in sorted(samples.items()):
        print("%-12s %-7s wall %.3f s, CPU %.3f s (median of %d)" % (
            scenario, name, statistics.median(v[0] for v in values),
            statistics.median(v[1] for v in values), len(values)))


if __name__ == "__main__":
    main()
