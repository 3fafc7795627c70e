"""Runs one command under /usr/bin/time with a time limit and reports its
wall-clock time, peak resident memory and exit status."""

import os
import resource
import signal
import subprocess
import tempfile
import time

TIME = "/usr/bin/time"


class Result:
    def __init__(self, status, seconds=None, peak_kib=None, detail="", cpu=None):
        self.status = status      # "ok", "timeout" or "error"
        self.seconds = seconds
        self.peak_kib = peak_kib
        self.detail = detail
        self.cpu = cpu            # user and system seconds, children included


def _peak_kib(report):
    for line in report.splitlines():
        if "Maximum resident set size" in line:
            return int(line.rsplit(":", 1)[1])
    return None


def run(argv, cwd, stdout_path, limit):
    """Runs argv in cwd, its standard output going to stdout_path (or
    nowhere when None). The whole process group is ended at the limit."""
    with tempfile.NamedTemporaryFile("r", suffix=".time") as report, \
            open(stdout_path or os.devnull, "wb") as out:
        command = [TIME, "-v", "-o", report.name] + argv
        before = resource.getrusage(resource.RUSAGE_CHILDREN)
        start = time.perf_counter()
        proc = subprocess.Popen(command, cwd=cwd, stdout=out, stderr=subprocess.PIPE,
                                start_new_session=True)
        try:
            _, err = proc.communicate(timeout=limit)
        except subprocess.TimeoutExpired:
            os.killpg(proc.pid, signal.SIGKILL)
            proc.communicate()
            return Result("timeout", detail="over %g s" % limit)
        seconds = time.perf_counter() - start
        after = resource.getrusage(resource.RUSAGE_CHILDREN)
        text = report.read()
    # The command's children are reaped by time, so they count here too.
    cpu = (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)
    if proc.returncode != 0:
        tail = err.decode(errors="replace").strip().splitlines()[-3:]
        return Result("error", seconds, _peak_kib(text),
                      "exit %d: %s" % (proc.returncode, " | ".join(tail)))
    return Result("ok", seconds, _peak_kib(text), cpu=cpu)
