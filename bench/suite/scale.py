#!/usr/bin/env python3
"""The site shape at 2,000 and 20,000 pages against the peers a user would
pick instead, side by side in one run:

  full run       ours (`generate`, output folder emptied), Hugo's full build
                 of the same site, and the floor: the same final pages
                 written through our text-mode writer alone (bench/floor);
  no change      ours (`generate --changed`), ninja and make over `cpp -P`
                 with depfiles;
  page edited    the same after one page's template was edited;
  header edited  the same after the shared header was edited.

Each repetition runs every row once, tool after tool, so that a noisy
stretch hits all of them. A full run starts on an empty output folder, but
the old one is only renamed aside, and every folder set aside is deleted
when the shape is done: ext4 makes files slowly right after thousands were
deleted (it passes over recently freed inodes), so deleting just before a
run would make that run pay, and the order of the tools would decide who.
The disk is also synced before each full run, so that no tool waits for
another's pages to be written out. Wall and CPU time (user and system, children
included) and peak resident memory come from /usr/bin/time -v.

With --before CLI, the full run of a second build of ours (the commit
before a change, say) joins the full-run rows as "before"; --full-only
leaves out every row but the full runs.

Usage: scale.py --cli CLI --floor SITE_FLOOR [--shapes site,site20k] [--reps N]
"""

import argparse
import os
import shutil
import statistics
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import build_files  # noqa: E402
import check  # noqa: E402
import measure  # noqa: E402
import scale_report  # noqa: E402
import shapes  # noqa: E402

EDIT = "<p>edited</p>\n"


def toggle(path):
    """Adds a line at the end of the file, or takes it away again."""
    with open(path) as f:
        text = f.read()
    text = text[:-len(EDIT)] if text.endswith(EDIT) else text + EDIT
    with open(path, "w") as f:
        f.write(text)


def scratch_copy(source, work, shape):
    """The project and the cpp and Hugo peers in a folder of their own, so
    that edits never reach the workload the other suites check against."""
    folder = os.path.join(work, shape + "-scale")
    shutil.rmtree(folder, ignore_errors=True)
    keep = {source: {"templates", "data", "out", "peers", "Pellandrix.ini", "fileext.def"},
            os.path.join(source, "peers"): {"cpp", "hugo", "pages.txt"}}

    def ignore(path, names):
        wanted = keep.get(path)
        return [] if wanted is None else [n for n in names if n not in wanted]
    shutil.copytree(source, folder, ignore=ignore)
    return folder


class Bench:
    def __init__(self, args, source, folder, pages):
        self.args = args
        self.source = source
        self.folder = folder
        self.pages = pages
        self.cpp = build_files.write(folder, pages)
        self.samples = {}  # (scenario, tool) -> list of measure.Result
        self.with_make = True
        self.aside = []  # old output folders, deleted when the shape is done

    def run(self, scenario, tool, argv, cwd):
        result = measure.run(argv, cwd, None, self.args.limit)
        if result.status != "ok":
            raise SystemExit("%s / %s: %s %s" % (scenario, tool, result.status, result.detail))
        self.samples.setdefault((scenario, tool), []).append(result)
        return result

    def fresh(self, name):
        """An empty output folder `name`, the old one set aside, and nothing
        of any tool's left to write out (see the module's comment)."""
        path = os.path.join(self.folder, name)
        if os.path.exists(path):
            aside = os.path.join(self.folder, "aside-%d" % len(self.aside))
            os.rename(path, aside)
            self.aside.append(aside)
        os.makedirs(path)
        os.sync()
        return path

    def clear_aside(self):
        for path in self.aside:
            shutil.rmtree(path, ignore_errors=True)
        self.aside = []

    def ours(self, scenario, *options):
        self.run(scenario, "ours", [self.args.cli, "-C", self.folder, "generate",
                                    shapes.PROJECT, *options], self.folder)

    def builders(self, scenario):
        self.run(scenario, "ninja", ["ninja", "-j2", "--quiet"], self.cpp)
        if self.with_make:
            self.run(scenario, "make", ["make", "-j2", "-s"], self.cpp)

    def full(self, first):
        if self.args.before:
            self.fresh("out")
            self.run("full run", "before", [self.args.before, "-C", self.folder, "generate",
                                            shapes.PROJECT], self.folder)
        self.fresh("out")
        self.ours("full run")
        hugo_out = self.fresh("out-hugo")
        self.run("full run", "hugo", ["hugo", "--quiet", "-s", "peers/hugo", "-d", hugo_out],
                 self.folder)
        floor_out = self.fresh("out-floor")
        self.run("full run", "floor", [self.args.floor, "peers/pages.txt",
                                       os.path.join(self.source, "expected"), floor_out],
                 self.folder)
        if first:
            self.check(hugo_out)

    def check(self, hugo_out):
        expected = os.path.join(self.source, "expected")
        pairs = [(os.path.join(self.folder, "out", p + ".html"), os.path.join(expected, p + ".html"))
                 for p in self.pages]
        difference = check.same(pairs)
        if difference:
            raise SystemExit("ours differs: %s" % difference)
        for p in self.pages:
            got = os.path.getsize(os.path.join(hugo_out, p + ".html"))
            want = os.path.getsize(os.path.join(expected, p + ".html"))
            if abs(got - want) > want * 0.15:
                raise SystemExit("hugo's %s: %d bytes, expected about %d" % (p, got, want))

    def repetition(self, rep):
        first = rep == 0
        self.full(first)
        if self.args.full_only:
            return
        # As in incremental.py: the pages just written must be older than
        # the stamps' safety margin, and one --changed run reads them once.
        time.sleep(2.1)
        self.ours("warm-up", "--changed")
        self.ours("no change", "--changed")
        self.builders("no change")
        page = self.pages[len(self.pages) // 2]
        toggle(os.path.join(self.folder, "templates", page + ".tpl"))
        toggle(os.path.join(self.cpp, page + ".c"))
        self.ours("page edited", "--changed")
        self.builders("page edited")
        toggle(os.path.join(self.folder, "templates", "header.tpl"))
        self.ours("header edited", "--changed")
        # Rebuilding every page with a process each is what takes longest;
        # past --header-reps the builders keep their header unchanged.
        if rep < self.args.header_reps:
            toggle(os.path.join(self.cpp, "header.h"))
            self.builders("header edited")


def measure_shape(shape, args):
    source, meta = shapes.prepare(shape, args.seed, args.work, args.cli)
    folder = os.path.join(args.work, shape + "-scale")
    reused = args.reuse and os.path.isdir(folder)
    if not reused:
        folder = scratch_copy(source, args.work, shape)
    bench = Bench(args, source, folder, meta["pages"])
    bench.with_make = shape not in args.no_make.split(",")
    # The builders' first build, which their no-change runs need; after an
    # interrupted run it only completes the pages left, so it is no row then.
    if not args.full_only:
        bench.builders("first build" if reused else "full run")
    try:
        for rep in range(args.reps):
            bench.repetition(rep)
            print(".", end="", flush=True, file=sys.stderr)
    finally:
        bench.clear_aside()
    print(file=sys.stderr)
    return scale_report.Shape(shape, len(meta["pages"]), bench.samples)


def main():
    p = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    p.add_argument("--cli", required=True)
    p.add_argument("--floor", required=True, help="site-floor (bench/floor)")
    p.add_argument("--shapes", default="site,site20k")
    p.add_argument("--reps", type=int, default=3)
    p.add_argument("--seed", default="7")
    p.add_argument("--work", default="build/bench-work")
    p.add_argument("--limit", type=float, default=600.0)
    p.add_argument("--header-reps", type=int, default=99,
                   help="repetitions with ninja and make after the header was edited")
    p.add_argument("--no-make", default="", help="shapes measured without make")
    p.add_argument("--reuse", action="store_true",
                   help="keep a scratch copy left by an earlier run whose project is untouched")
    p.add_argument("--before", help="a second pellandrix-cli, measured beside in the full run")
    p.add_argument("--full-only", action="store_true", help="only the full-run rows")
    p.add_argument("--markdown")
    args = p.parse_args()
    args.cli = os.path.abspath(args.cli)
    args.before = os.path.abspath(args.before) if args.before else None
    args.floor = os.path.abspath(args.floor)
    args.work = os.path.abspath(args.work)
    results = []
    for shape in args.shapes.split(","):
        print("== %s" % shape, file=sys.stderr)
        results.append(measure_shape(shape, args))
        print(scale_report.table(results[-1]), flush=True)
    verdicts = scale_report.verdicts(results)
    print(verdicts)
    if args.markdown:
        with open(args.markdown, "w") as f:
            f.write("\n\n".join(scale_report.table(s) for s in results) + "\n\n" + verdicts + "\n")
    return 0


if __name__ == "__main__":
    sys.exit(main())
