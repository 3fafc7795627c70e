"""Time from saving a template to its page written, with pellandrix-cli
watch running: on the bundled example site and on the site shape (2,000
pages), one page's own template edited each time.

Usage: watch_latency.py CLI [--reps N] [--work DIR] [--shapes A,B] [--verbose]

--verbose prints each save's latency as it is measured (to stderr), with
the run number the watch's output has reached, so that a slow save can be
told apart (the first after the start, one that came with another run).
"""

import argparse
import os
import shutil
import statistics
import subprocess
import sys
import time

import shapes


def wait_for(predicate, limit=60.0):
    end = time.perf_counter() + limit
    while time.perf_counter() < end:
        if predicate():
            return True
        time.sleep(0.0005)
    return False


def read(path):
    try:
        with open(path, "rb") as f:
            return f.read()
    except OSError:
        return b""


def peak_mb(pid):
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            if line.startswith("VmHWM:"):
                return int(line.split()[1]) / 1024
    return float("nan")


def runs_logged(log):
    return read(log).count(b" beginnt ")


def settled(log, entries):
    """Whether the watch printed every status of its last run and then
    stayed quiet for a second."""
    text = read(log)
    last = text.rfind(b" beginnt ")
    if last < 0 or text[last:].count(b"\n") < entries + 1:
        return False
    time.sleep(1)
    return read(log) == text


def measure(cli, folder, project, template, page, reps, verbose=False):
    # Output to a file: a pipe nobody reads would stop the watch once full.
    log = os.path.join(folder, "watch.log")
    with open(log, "w") as out:
        proc = subprocess.Popen([cli, "-C", folder, "watch", project], stdout=out,
                                stderr=subprocess.DEVNULL)
    try:
        # The start: the first run, which vouches for nothing, and the one
        # after it that looks at what changed while the first read (its
        # folders were watched only from then on). A save made before they
        # end is a save during the start, not one of a running watch.
        started = time.perf_counter()
        entries = len([n for n in os.listdir(os.path.dirname(template)) if n.endswith(".tpl")])
        wait_for(lambda: b"Lauf 1" in read(log))
        wait_for(lambda: settled(log, entries), limit=600)
        if verbose:
            print("%s start: %d runs, %.1f s" % (os.path.basename(folder), runs_logged(log),
                                                 time.perf_counter() - started),
                  file=sys.stderr, flush=True)
        times = []
        with open(template) as f:
            original = f.read()
        for i in range(reps):
            marker = "<p>edit %d</p>\n" % i
            before = read(page)
            start = time.perf_counter()
            with open(template, "w") as f:
                f.write(original + marker)
            if not wait_for(lambda: read(page) != before and b"edit %d" % i in read(page)):
                raise SystemExit("page never written")
            times.append(time.perf_counter() - start)
            if verbose:
                print("%s save %d: %.0f ms (runs so far: %d)" % (
                    os.path.basename(folder), i + 1, 1000 * times[-1], runs_logged(log)),
                    file=sys.stderr, flush=True)
            time.sleep(1)
        return times, peak_mb(proc.pid)
    finally:
        proc.terminate()
        proc.wait()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("cli")
    parser.add_argument("--reps", type=int, default=5)
    parser.add_argument("--work", default="build/bench-work")
    parser.add_argument("--shapes", default="site")
    parser.add_argument("--verbose", action="store_true")
    args = parser.parse_args()
    cli = os.path.abspath(args.cli)
    repo = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))

    example = os.path.join(args.work, "watch-example")
    shutil.rmtree(example, ignore_errors=True)
    shutil.copytree(os.path.join(repo, "examples", "site"), example)
    shutil.rmtree(os.path.join(example, "data"), ignore_errors=True)
    subprocess.run(["bash", os.path.join(example, "setup.sh"), cli], check=True,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    rows = [("example site (7 templates)",
             measure(cli, example, "Website", os.path.join(example, "templates", "about.tpl"),
                     os.path.join(example, "out", "about.html"), args.reps, args.verbose))]

    for shape in args.shapes.split(","):
        source, meta = shapes.prepare(shape, "7", args.work, cli)
        folder = os.path.join(args.work, "watch-" + shape)
        shutil.rmtree(folder, ignore_errors=True)
        # The project alone: the peers' files and the expected pages are
        # not watched and only take time to copy.
        shutil.copytree(source, folder, ignore=lambda path, names: [
            n for n in names if path == source and n in ("peers", "expected", "runs")])
        page = meta["pages"][len(meta["pages"]) // 2]
        rows.append(("site shape (%d pages)" % len(meta["pages"]),
                     measure(cli, folder, shapes.PROJECT,
                             os.path.join(folder, "templates", page + ".tpl"),
                             os.path.join(folder, "out", page + ".html"), args.reps, args.verbose)))
    print("| project | save to page written, median of %d | fastest | slowest | peak RSS |"
          % args.reps)
    print("|---|---|---|---|---|")
    for name, (times, peak) in rows:
        print("| %s | %.0f ms | %.0f ms | %.0f ms | %.1f MB |" % (
            name, 1000 * statistics.median(times), 1000 * min(times), 1000 * max(times), peak))


if __name__ == "__main__":
    main()
