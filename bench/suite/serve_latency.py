"""Time from saving a template to the reload event a page open in the
browser receives, with pellandrix-cli serve running on the site shape
(2,000 pages): one page's own template saved by write-and-rename each time,
the page listening as the live script does.

Usage: serve_latency.py CLI [--reps N] [--work DIR]
"""

import argparse
import os
import re
import shutil
import socket
import statistics
import subprocess
import time

import shapes
from watch_latency import read, wait_for


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def fetch(port, path):
    with socket.create_connection(("127.0.0.1", port), timeout=30) as s:
        s.sendall(b"GET %s HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n" %
                  path.encode())
        answer = b""
        while chunk := s.recv(65536):
            answer += chunk
    return answer


class Events:
    """The event stream of one open page."""

    def __init__(self, port, since):
        self.sock = socket.create_connection(("127.0.0.1", port), timeout=30)
        self.sock.sendall(b"GET /.pellandrix/events?since=%s HTTP/1.1\r\n"
                          b"Host: 127.0.0.1\r\n\r\n" % since)
        self.lines = self.sock.makefile("rb")

    def next_data(self):
        while True:
            line = self.lines.readline()
            if not line:
                raise SystemExit("event stream ended")
            if line.startswith(b"data: "):
                return line


def measure(cli, folder, page, reps):
    port = free_port()
    log = os.path.join(folder, "serve.log")
    errors = os.path.join(folder, "serve.err")
    with open(log, "w") as out, open(errors, "w") as err:
        proc = subprocess.Popen([cli, "-C", folder, "serve", shapes.PROJECT, "--port",
                                 str(port)], stdout=out, stderr=err)
    try:
        wait_for(lambda: re.search(rb"Vorschau unter http://127.0.0.1:(\d+)/", read(errors)))
        port = int(re.search(rb":(\d+)/", read(errors)).group(1))
        wait_for(lambda: read(log).count(b"\n") > 2000)  # the first run's statuses
        time.sleep(3)
        path = "/%s.html" % page
        since = re.search(rb'data-run="([^"]+)"', fetch(port, path)).group(1)
        events = Events(port, since)
        events.next_data()  # what the page had not heard of when it opened
        template = os.path.join(folder, "templates", page + ".tpl")
        with open(template) as f:
            original = f.read()
        times = []
        for i in range(reps):
            start = time.perf_counter()
            with open(template + ".new", "w") as f:
                f.write(original + "<p>edit %d</p>\n" % i)
            os.rename(template + ".new", template)
            while path.encode() not in events.next_data():
                pass
            times.append(time.perf_counter() - start)
            time.sleep(1)
        return times
    finally:
        proc.terminate()
        proc.wait()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("cli")
    parser.add_argument("--reps", type=int, default=20)
    parser.add_argument("--work", default="build/bench-work")
    args = parser.parse_args()
    cli = os.path.abspath(args.cli)
    source, meta = shapes.prepare("site", "7", args.work, cli)
    folder = os.path.join(args.work, "serve-site")
    shutil.rmtree(folder, ignore_errors=True)
    shutil.copytree(source, folder)
    page = meta["pages"][len(meta["pages"]) // 2]
    times = measure(cli, folder, page, args.reps)
    print("| project | save to reload event, median of %d | fastest | slowest |" % args.reps)
    print("|---|---|---|---|")
    print("| site shape (2,000 pages) | %.0f ms | %.0f ms | %.0f ms |" %
          (1000 * statistics.median(times), 1000 * min(times), 1000 * max(times)))


if __name__ == "__main__":
    main()
