"""Writes a one-page workload: a define table followed by text lines.

Layout of the workload folder:
  templates/page.tpl    our template: the #define lines, then the text
  peers/body.txt        the text alone, for every peer
  peers/defs.h .gpp .m4 the defines in the syntax of cpp, gpp and m4
  peers/subst.sed       one sed substitution per define
  expected.txt          the text every tool must produce (LF line ends)
"""

import os

import peer_syntax
import workload

BATCH = 10000  # lines joined before each write


def write(folder, seed, defines, lines):
    rng = workload.seeded(seed, "flat/%d/%d" % (defines, lines))
    table = workload.make_defines(rng, defines)
    maker = workload.LineMaker(rng, table)

    os.makedirs(os.path.join(folder, "templates"), exist_ok=True)
    os.makedirs(os.path.join(folder, "peers"), exist_ok=True)
    for tool in ("cpp", "gpp", "m4"):
        with open(os.path.join(folder, "peers", "defs" + peer_syntax.SUFFIX[tool]), "w") as f:
            f.write(peer_syntax.define_lines(tool, table))
    with open(os.path.join(folder, "peers", "subst.sed"), "w") as f:
        f.write(peer_syntax.define_lines("sed", table))

    with open(os.path.join(folder, "templates", "page.tpl"), "w", newline="\n") as tpl, \
            open(os.path.join(folder, "peers", "body.txt"), "w", newline="\n") as body, \
            open(os.path.join(folder, "expected.txt"), "w", newline="\n") as expected:
        tpl.write(peer_syntax.define_lines("ours", table))
        done = 0
        while done < lines:
            count = min(BATCH, lines - done)
            pairs = [maker.line() for _ in range(count)]
            text = "".join(source + "\n" for source, _ in pairs)
            tpl.write(text)
            body.write(text)
            expected.write("".join(result + "\n" for _, result in pairs))
            done += count
    return {"defines": defines, "lines": lines, "pages": ["page"]}
