#!/usr/bin/env python3
"""Every --json output of pellandrix-cli, run as a process, read with
Python's json module: each line one object, names with a tab, non-ASCII
names and bytes that are no UTF-8 included, and the same exit statuses and
messages as without --json. Usage: json_test.py PELLANDRIX_CLI"""

import json
import os
import shutil
import sqlite3
import subprocess
import sys
import tempfile
import unittest

CLI = None
EXAMPLES = os.path.join(os.path.dirname(__file__), "..", "..", "examples", "site")


class Json(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="pellandrix-json-")
        self.addCleanup(shutil.rmtree, self.dir)
        for folder in ("src", "out"):
            os.mkdir(os.path.join(self.dir, folder))
        shutil.copy(os.path.join(EXAMPLES, "fileext.def"), self.dir)
        self.write("inner.tpl", "i\n#else\n")
        self.write("middle.tpl", "m\nm\n#include \"inner.tpl\"\n")
        self.write("Grüße.tpl", "#include \"middle.tpl\"\n<a href=\"nirgends.html\">x</a>\n")
        self.cli("add-project", "Web", "--source", "src", "--target", "out")
        self.cli("add-file", "Web", "src/inner.tpl", "src/middle.tpl", "--no-create")
        self.cli("add-file", "Web", "src/Grüße.tpl", "--select")
        # Texts the program refuses to take today may stand in an older
        # database: a tab, and bytes that are no UTF-8.
        with sqlite3.connect(os.path.join(self.dir, "Pellandrix.mdb")) as db:
            db.execute("INSERT INTO project (ProjectId, ProjectName, TargetPath, SourcePath, "
                       "DefCreateFileExt) VALUES (7, ?, 'a\tb', CAST(? AS TEXT), 'html')",
                       ("Mit\tTab", b"q\xff\xfe"))

    def write(self, name, text):
        with open(os.path.join(self.dir, "src", name), "w", encoding="utf-8") as f:
            f.write(text)

    def cli(self, *args):
        run = subprocess.run([CLI, *args], cwd=self.dir, capture_output=True)
        return run.returncode, run.stdout, run.stderr

    def objects(self, *args):
        """The objects of `args` with --json, after checking that exit
        status and messages are those of the same call without it."""
        plain = self.cli(*args)
        code, out, err = self.cli(*args, "--json")
        self.assertEqual((code, err), (plain[0], plain[2]), args)
        lines = out.decode("utf-8").splitlines()
        self.assertEqual(out.count(b"\n"), len(lines))
        return [json.loads(line) for line in lines], plain[1].split(b"\n")[:-1]

    def test_every_listing_parses(self):
        projects, text = self.objects("projects")
        self.assertEqual(len(projects), len(text))
        self.assertEqual([p["ProjectName"] for p in projects], ["Web", "Mit\tTab"])
        self.assertEqual(projects[1]["SourcePath"], "q\ufffd\ufffd")
        self.assertEqual(projects[1]["TargetPath"], "a\tb")

        files, text = self.objects("files", "Web")
        self.assertEqual(len(files), len(text))
        self.assertEqual(files[2]["TPLFileName"], "Grüße.tpl")
        self.assertEqual([f["Selected"] for f in files], [False, False, True])

        run, text = self.objects("generate", "Web", "--locations")
        statuses = [o for o in run if o["type"] == "status"]
        self.assertEqual(len(statuses), len(text))
        self.assertEqual(statuses[2]["TPLFileName"], "Grüße.tpl")
        self.assertEqual(statuses[2]["reason"], "vollständiger Lauf")
        message = next(o for o in run if o["type"] == "message")
        self.assertEqual(message["kind"], "error")
        self.assertEqual([(p["path"], p["line"]) for p in message["places"]],
                         [("src/inner.tpl", 2), ("src/middle.tpl", 3), ("src/Grüße.tpl", 1)])

        # Without --locations the lines on standard error stay as they are,
        # and the objects still carry the places.
        run, _ = self.objects("generate", "Web")
        self.assertEqual(len(next(o for o in run if o["type"] == "message")["places"]), 3)

        self.write("Grüße.tpl", "neu\n")
        planned, text = self.objects("generate", "Web", "--changed", "--dry-run")
        self.assertEqual(len(planned), len(text))
        self.assertEqual([(o["type"], o["action"], o["path"]) for o in planned],
                         [("planned", "ersetzen", "out/Grüße.html")])

        self.write("Grüße.tpl", "<a href=\"nirgends.html\">x</a>\n")
        self.cli("generate", "Web")
        findings, text = self.objects("check", "Web")
        self.assertEqual(len(findings), len(text))
        self.assertEqual((findings[0]["kind"], findings[0]["file"], findings[0]["settled"]),
                         ("link", "out/Grüße.html", False))

        record, _ = self.objects("record", "Web")
        steps = [o for o in record if o["type"] == "step"]
        self.assertEqual(steps[0]["TPLFileName"], "Grüße.tpl")
        self.assertEqual(steps[0]["actions"][0]["op"], "template")
        self.assertEqual([o["path"] for o in record if o["type"] == "output"],
                         ["out/Grüße.html"])


if __name__ == "__main__":
    CLI = os.path.abspath(sys.argv.pop(1))
    unittest.main()
