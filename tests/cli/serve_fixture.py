"""A project served by `pellandrix-cli serve` as a separate process, for the
tests of the live preview (real files, a real HTTP server, loopback only)."""

import os
import re
import shutil
import signal
import socket
import subprocess
import tempfile
import time


def free_port():
    """A port nothing listens on now (the server may still take the next)."""
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def eventually(done, bound=10.0):
    """Waits for `done()` to hold, at most `bound` seconds; returns it."""
    deadline = time.monotonic() + bound
    while True:
        result = done()
        if result or time.monotonic() > deadline:
            return result
        time.sleep(0.02)


class Served:
    """Project "W" in a scratch folder: src/index.tpl (includes part.tpl),
    src/part.tpl, src/style.css.tpl, generated into out/."""

    def __init__(self, cli, files=None):
        self.cli = cli
        self.dir = tempfile.mkdtemp(prefix="pellandrix-serve-")
        self.process = None
        for folder in ("src", "out"):
            os.mkdir(os.path.join(self.dir, folder))
        self.write("fileext.def", "html\r\ncss\r\n")
        for name, text in (files or {}).items():
            self.write(name, text)
        self.run("add-project", "W", "--source", "src", "--target", "out")

    def write(self, name, text):
        path = os.path.join(self.dir, name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "w", encoding="utf-8") as f:
            f.write(text)

    def save(self, name, text):
        """Saves as editors do: a new file renamed over the old one."""
        path = os.path.join(self.dir, name)
        with open(path + ".neu", "w", encoding="utf-8") as f:
            f.write(text)
        os.rename(path + ".neu", path)

    def run(self, *args):
        return subprocess.run([self.cli, "-C", self.dir, *args], check=True,
                              capture_output=True, text=True).stdout

    def start(self, *extra, env=None):
        self.out = open(os.path.join(self.dir, "serve.out"), "w")
        self.err = open(os.path.join(self.dir, "serve.err"), "w")
        self.process = subprocess.Popen(
            [self.cli, "-C", self.dir, "serve", "W", *extra],
            stdout=self.out, stderr=self.err, env=env)
        address = eventually(lambda: re.search(r"Vorschau unter (http://\S+)", self.errors()))
        assert address, "no address: " + self.errors()
        self.address = address.group(1)
        self.port = int(self.address.rsplit(":", 1)[1].rstrip("/"))
        assert self.runs_ended(1), self.output()

    def output(self):
        with open(os.path.join(self.dir, "serve.out"), encoding="utf-8") as f:
            return f.read()

    def errors(self):
        with open(os.path.join(self.dir, "serve.err"), encoding="utf-8") as f:
            return f.read()

    def runs_ended(self, runs, bound=10.0):
        """Whether `runs` runs have ended: each lists index.tpl last."""
        return eventually(lambda: self.output().count("\tindex.tpl\n") >= runs, bound)

    def stop(self):
        """SIGTERM; the exit status."""
        self.process.send_signal(signal.SIGTERM)
        status = self.process.wait(timeout=30)
        self.process = None
        return status

    def close(self):
        if self.process is not None:
            self.process.kill()
            self.process.wait()
        for stream in ("out", "err"):
            if hasattr(self, stream):
                getattr(self, stream).close()
        shutil.rmtree(self.dir, ignore_errors=True)


SITE = {
    "src/index.tpl": "<!DOCTYPE html>\n<html><head><link rel=\"stylesheet\" href=\"style.css\">"
                     "</head><body>\n#include \"part.tpl\"\n</BODY></html>\n",
    "src/part.tpl": "<p id=\"text\">Teil eins</p>\n",
    "src/style.tpl": "p { color: black; }\n",
}


def served_site(cli):
    """The site above with index and style as pages, part as an include."""
    served = Served(cli, SITE)
    served.run("add-file", "W", "src/part.tpl", "--no-create")
    served.run("add-file", "W", "src/style.tpl", "--select", "--ext", "css")
    served.run("add-file", "W", "src/index.tpl", "--select")
    return served
