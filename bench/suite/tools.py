"""The command lines of every tool for a workload folder.

cpp needs -undef (no predefined names such as "linux" in the text) and
-nostdinc (no implicit stdc-predef.h, whose lines would show up as blank
lines); neither changes how it substitutes.
"""

import os
import shlex

CPP = ["cpp", "-P", "-traditional-cpp", "-undef", "-nostdinc"]
# cat and crlf-copy are floors: they copy, they do not substitute.
FLOORS = ("cat", "crlf-copy")
ORDER = ["ours", "cat", "crlf-copy", "cpp", "m4", "gpp", "sed"]


class Job:
    """One tool on one workload: the command, where its standard output goes,
    and which files it writes that must equal which expected files."""

    def __init__(self, argv, stdout_path, pairs, checked=True):
        self.argv = argv
        self.stdout_path = stdout_path
        self.pairs = pairs
        self.checked = checked  # floors copy, they do not substitute

    def outputs(self):
        return [got for got, _ in self.pairs]


def flat_jobs(folder, cli, runs, floor=None):
    """floor: the crlf-copy program, or None to leave its row out."""
    want = os.path.join(folder, "expected.txt")
    body = "peers/body.txt"

    def peer(name, argv, checked=True):
        path = os.path.join(runs, name + ".txt")
        return Job(argv, path, [(path, want)], checked)

    ours_out = os.path.join(folder, "out", "page.html")
    jobs = {
        "ours": Job([cli, "-C", folder, "generate", "Bench"], None, [(ours_out, want)]),
        "cat": peer("cat", ["cat", "templates/page.tpl"], checked=False),
        "cpp": peer("cpp", CPP + ["-include", "peers/defs.h", body]),
        "m4": peer("m4", ["m4", "-P", "peers/defs.m4", body]),
        "gpp": peer("gpp", ["gpp", "--include", "peers/defs.gpp", body]),
        "sed": peer("sed", ["sed", "-f", "peers/subst.sed", body]),
    }
    if floor:
        jobs["crlf-copy"] = peer("crlf-copy", [floor, "templates/page.tpl"], checked=False)
    return jobs


# One process per page, as a user's shell loop would run them; $p is the
# page name and $out the output folder.
SITE_LOOPS = {
    "cat": "(cd peers/text && cat header.txt nav.txt $p.txt footer.txt) > \"$out/$p.html\"",
    "cpp": " ".join(CPP) + " -I peers/cpp peers/cpp/$p.c > \"$out/$p.html\"",
    "m4": "m4 -P -I peers/m4 peers/m4/$p.m4 > \"$out/$p.html\"",
    "gpp": "gpp -I peers/gpp peers/gpp/$p.gpp > \"$out/$p.html\"",
    "sed": "(cd peers/text && sed -f $p.sed header.txt nav.txt $p.txt footer.txt) > \"$out/$p.html\"",
}


def site_jobs(folder, cli, runs, pages):
    def expected(p):
        return os.path.join(folder, "expected", p + ".html")

    jobs = {"ours": Job([cli, "-C", folder, "generate", "Bench"], None,
                        [(os.path.join(folder, "out", p + ".html"), expected(p)) for p in pages])}
    for tool, step in SITE_LOOPS.items():
        out = os.path.join(runs, tool)
        script = ("set -e\nout=%s\nwhile read p; do\n  %s\ndone < peers/pages.txt\n"
                  % (shlex.quote(out), step))
        jobs[tool] = Job(["sh", "-c", script], None,
                         [(os.path.join(out, p + ".html"), expected(p)) for p in pages],
                         checked=(tool != "cat"))
    return jobs
