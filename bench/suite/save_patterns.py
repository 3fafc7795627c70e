#!/usr/bin/env python3
"""How editors' saves look to the watcher, and whether it ever runs on a
half-saved file.

Replays the ways editors save a template against `pellandrix-cli watch`,
each many times, with the system calls they make:

  rename       the new text into a hidden file beside it, fsync, renamed
               over the template (gedit, Kate, most GTK and Qt editors);
  in place     opened, truncated, written in chunks, fsync, closed (vim,
               nano, VS Code);
  backup       the template renamed to a backup first, then a new file
               made, written in chunks, fsync, closed (Emacs' first save,
               vim with 'backupcopy' off);
  temp folder  written into a folder on another file system first, then
               copied into place in chunks (an editor saving through
               /tmp or /dev/shm, a `mv` across file systems).

For each save it takes the times between the calls the watcher gets an
event for while the template is not whole (missing, empty or partly
written): the longest such gap is how long a save can look finished when
it is not. The template opens with a conditional that only its last line
closes, so a run on a half-saved file is seen twice over: a run more than
there were saves, and a message about the open conditional in the watch's
output.

Usage: save_patterns.py CLI [--saves N] [--size KB] [--chunk KB] [--pause MS]
                         [--work DIR]
"""

import argparse
import os
import re
import shutil
import statistics
import subprocess
import tempfile
import time

import shapes
from watch_latency import read, wait_for

PAGE = "page"


def template_text(save, size):
    """A template whose every part but the last line sits inside an open
    conditional: a half-saved one leaves it open."""
    body = "<p>%s</p>\n" % ("x" * 70)
    lines = ["#ifndef HALF\n", "<h1>save %d</h1>\n" % save]
    lines += [body] * max(1, size // len(body))
    lines += ["<p>end %d</p>\n" % save, "#endif\n"]
    return "".join(lines).encode()


class Gaps:
    """The times between events while the file is not whole."""

    def __init__(self):
        self.last = None
        self.longest = 0.0

    def event(self, whole=False):
        now = time.perf_counter()
        if self.last is not None:
            self.longest = max(self.longest, now - self.last)
        self.last = None if whole else now


# Seconds to stop after the first chunk (--pause): a writer held up that
# long must show as runs on a half-saved file, which checks the counting.
PAUSE = 0.0


def write_chunks(fd, data, chunk, gaps):
    for at in range(0, len(data), chunk):
        os.write(fd, data[at:at + chunk])
        gaps.event(whole=at + chunk >= len(data))
        if at == 0 and PAUSE:
            time.sleep(PAUSE)


def save_rename(path, data, chunk, gaps, spare):
    temp = os.path.join(os.path.dirname(path), ".%s.save" % os.path.basename(path))
    fd = os.open(temp, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o644)
    os.write(fd, data)
    os.fsync(fd)
    os.close(fd)
    os.rename(temp, path)
    gaps.event(whole=True)


def save_in_place(path, data, chunk, gaps, spare):
    fd = os.open(path, os.O_WRONLY | os.O_CREAT, 0o644)
    os.ftruncate(fd, 0)
    gaps.event()
    write_chunks(fd, data, chunk, gaps)
    os.fsync(fd)
    os.close(fd)


def save_backup(path, data, chunk, gaps, spare):
    backup = path + "~"
    os.rename(path, backup)
    gaps.event()
    fd = os.open(path, os.O_WRONLY | os.O_CREAT | os.O_EXCL, 0o644)
    gaps.event()
    write_chunks(fd, data, chunk, gaps)
    os.fsync(fd)
    os.close(fd)
    os.unlink(backup)


def save_temp_folder(path, data, chunk, gaps, spare):
    temp = os.path.join(spare, os.path.basename(path))
    with open(temp, "wb") as f:
        f.write(data)
    with open(temp, "rb") as source:
        fd = os.open(path, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o644)
        gaps.event()
        write_chunks(fd, source.read(), chunk, gaps)
        os.close(fd)
    os.unlink(temp)


PATTERNS = [("rename", save_rename), ("in place", save_in_place), ("backup", save_backup),
            ("temp folder", save_temp_folder)]


def set_up(cli, folder, size):
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(os.path.join(folder, "templates"))
    with open(os.path.join(folder, "templates", PAGE + ".tpl"), "wb") as f:
        f.write(template_text(0, size))
    shapes._set_up_project(cli, folder, {"pages": [PAGE], "pieces": []})


def runs_in(log):
    return len(re.findall(rb"^Lauf \d+ beginnt", read(log), re.M))


def main():
    p = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    p.add_argument("cli")
    p.add_argument("--saves", type=int, default=50, help="saves per pattern")
    p.add_argument("--size", type=int, default=256, help="template size in KB")
    p.add_argument("--chunk", type=int, default=8, help="bytes per write in KB")
    p.add_argument("--work", default="build/bench-work")
    p.add_argument("--pause", type=float, default=0.0,
                   help="ms to stop after the first chunk, to check the counting")
    args = p.parse_args()
    global PAUSE
    PAUSE = args.pause / 1000
    cli = os.path.abspath(args.cli)
    folder = os.path.abspath(os.path.join(args.work, "save-patterns"))
    set_up(cli, folder, args.size * 1024)
    template = os.path.join(folder, "templates", PAGE + ".tpl")
    page = os.path.join(folder, "out", PAGE + ".html")
    log = os.path.join(folder, "watch.log")
    spare = tempfile.mkdtemp(dir="/dev/shm" if os.path.isdir("/dev/shm") else None)
    with open(log, "w") as out:
        proc = subprocess.Popen([cli, "-C", folder, "watch", "Bench"], stdout=out,
                                stderr=subprocess.STDOUT)
    rows = []
    save = 0
    try:
        if not wait_for(lambda: runs_in(log) >= 1 and b"<p>end 0</p>" in read(page)):
            raise SystemExit("the watch's first run never wrote the page")
        for name, pattern in PATTERNS:
            gaps, latencies, extra = [], [], 0
            for _ in range(args.saves):
                save += 1
                before = runs_in(log)
                g = Gaps()
                start = time.perf_counter()
                pattern(template, template_text(save, args.size * 1024),
                        args.chunk * 1024, g, spare)
                marker = b"<p>end %d</p>" % save
                if not wait_for(lambda: marker in read(page)):
                    raise SystemExit("%s: the page of save %d was never written" % (name, save))
                latencies.append(time.perf_counter() - start)
                gaps.append(g.longest)
                extra += runs_in(log) - before - 1
            rows.append((name, gaps, latencies, extra))
    finally:
        proc.terminate()
        proc.wait()
        shutil.rmtree(spare, ignore_errors=True)
    opened = len(re.findall(rb"Dateiende erreicht", read(log)))
    print("%d saves per pattern, template %d KB written %d KB at a time\n" %
          (args.saves, args.size, args.chunk))
    print("| pattern | longest gap while half-saved (max / median) | save to page (median) "
          "| runs on a half-saved file |")
    print("|---|---|---|---|")
    for name, gaps, latencies, extra in rows:
        print("| %s | %.2f / %.2f ms | %.0f ms | %d |" % (
            name, 1000 * max(gaps), 1000 * statistics.median(gaps),
            1000 * statistics.median(latencies), extra))
    print("\nmessages naming an open conditional in the watch's output: %d" % opened)


if __name__ == "__main__":
    main()
