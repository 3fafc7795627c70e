"""Writes a site workload: many pages that each take site-wide defines, set
their own title names and include a header, a navigation and a footer.

Layout of the workload folder:
  templates/            ours: site.tpl (defines), header.tpl, nav.tpl,
                        footer.tpl and one pNNNNN.tpl per page
  peers/cpp, gpp, m4    the same pages in each macro processor's syntax,
                        including the pieces with its own include
  peers/hugo            the same site for Hugo (see hugo_shape)
  peers/text            pieces and page bodies as plain text, with one sed
                        script per page (site and page substitutions); cat
                        joins the same pieces
  peers/pages.txt       the page names, one a line
  expected/pNNNNN.html  the text every tool must produce per page (LF)
"""

import os

import hugo_shape
import peer_syntax
import workload

SITE_DEFINES = 200
PAGE_DEFINES = 3
BODY_LINES = 30


def _piece_parts(rng, maker, table, page_names):
    title, slug, lead = ((n,) for n in page_names)
    site_name = (table.names[0],)
    header = [["<!DOCTYPE html>"], ["<html lang=en>"], ["<head>"],
              ["<meta charset=utf-8>"], ["<title>", title, " - ", site_name, "</title>"],
              ["</head>"], ["<body>"], ["<header><h1>", site_name, "</h1>"],
              ["<p class=lead>", lead, ".</p></header>"]]
    header += [maker.parts() for _ in range(4)]
    nav = [["<nav>"]]
    for _ in range(20):
        nav.append(["<a href=p%05d.html>" % rng.randint(1, 9999),
                    (maker.name(),), "</a> |"])
    nav.append(["<span class=here>", slug, "</span>"])
    nav.append(["</nav>"])
    footer = [["<footer>"]] + [maker.parts() for _ in range(5)]
    footer += [["<p>page ", slug, " of ", site_name, "</p>"], ["</footer>"],
               ["</body>"], ["</html>"]]
    return {"header": header, "nav": nav, "footer": footer}


def _text(lines, expanded=None):
    """Template text of a list of parts lists, or its expansion."""
    out = []
    for parts in lines:
        source, result = workload.render(parts, expanded or _Identity())
        out.append((result if expanded else source) + "\n")
    return "".join(out)


class _Identity(dict):
    def __missing__(self, key):
        return key


def _write(path, text):
    with open(path, "w", newline="\n") as f:
        f.write(text)


def write(folder, seed, pages):
    rng = workload.seeded(seed, "site/%d" % pages)
    site = workload.make_defines(rng, SITE_DEFINES)
    page_names = [workload.make_name(SITE_DEFINES + 1 + i) for i in range(PAGE_DEFINES)]
    workload.check_names(site.names + page_names)
    maker = workload.LineMaker(rng, site)
    pieces = _piece_parts(rng, maker, site, page_names)

    dirs = {t: os.path.join(folder, "peers", t) for t in ("cpp", "gpp", "m4", "text")}
    for d in list(dirs.values()) + [os.path.join(folder, "templates"),
                                    os.path.join(folder, "expected")]:
        os.makedirs(d, exist_ok=True)

    # Site defines and pieces, once per tool.
    for tool, d in (("ours", os.path.join(folder, "templates")), ("cpp", dirs["cpp"]),
                    ("gpp", dirs["gpp"]), ("m4", dirs["m4"])):
        suffix = peer_syntax.SUFFIX[tool]
        _write(os.path.join(d, "site" + suffix), peer_syntax.define_lines(tool, site))
        for piece, lines in pieces.items():
            _write(os.path.join(d, piece + suffix), _text(lines))
    for piece, lines in pieces.items():
        _write(os.path.join(dirs["text"], piece + ".txt"), _text(lines))
    site_sed = peer_syntax.define_lines("sed", site)
    hugo_shape.write_site(folder, site, page_names, pieces)

    names = []
    for number in range(1, pages + 1):
        name = "p%05d" % number
        names.append(name)
        page = workload.Defines()
        for page_name in page_names:
            earlier = rng.choice(site.names)
            raw, expanded = workload.random_value(rng, (earlier, site.expanded[earlier]))
            page.add(page_name, raw, expanded)
        body = [["<main>"]] + [maker.parts() for _ in range(BODY_LINES)] + [["</main>"]]
        body_text = _text(body)

        for tool, d in (("ours", os.path.join(folder, "templates")), ("cpp", dirs["cpp"]),
                        ("gpp", dirs["gpp"]), ("m4", dirs["m4"])):
            suffix = peer_syntax.SUFFIX[tool]
            include = peer_syntax.INCLUDE[tool]
            page_suffix = {"ours": ".tpl", "cpp": ".c", "gpp": ".gpp", "m4": ".m4"}[tool]
            _write(os.path.join(d, name + page_suffix),
                   include("site" + suffix) + peer_syntax.define_lines(tool, page)
                   + include("header" + suffix) + include("nav" + suffix)
                   + body_text + include("footer" + suffix))
        _write(os.path.join(dirs["text"], name + ".txt"), body_text)
        _write(os.path.join(dirs["text"], name + ".sed"),
               site_sed + peer_syntax.define_lines("sed", page))

        expanded = dict(site.expanded)
        expanded.update(page.expanded)
        hugo_shape.write_page(folder, name, page, _text(body, expanded))
        _write(os.path.join(folder, "expected", name + ".html"),
               _text(pieces["header"], expanded) + _text(pieces["nav"], expanded)
               + _text(body, expanded) + _text(pieces["footer"], expanded))

    _write(os.path.join(folder, "peers", "pages.txt"), "".join(n + "\n" for n in names))
    return {"defines": SITE_DEFINES + PAGE_DEFINES, "pages": names,
            "pieces": ["site.tpl", "header.tpl", "nav.tpl", "footer.tpl"]}
