"""The site shape as a Hugo site (peers/hugo): one layout that takes the
partials header, nav and footer, the site-wide names as site parameters and
each page's own names as parameters in its front matter.

Hugo has no text substitution, so a page's body goes in as HTML content
with its names already replaced; the names in the pieces are template
actions. Hugo's HTML templates escape values differently in a <title> and
in attributes, so its pages are checked by count and size, not byte for
byte.
"""

import os

import workload

CONFIG = """baseURL = "http://example.org/"
disableKinds = ["taxonomy", "term", "RSS", "sitemap", "robotsTXT", "404", "home", "section"]
uglyURLs = true
"""
LAYOUT = ('{{ partial "header.html" . }}{{ partial "nav.html" . }}'
          '{{ .Content }}{{ partial "footer.html" . }}')


class _Actions(dict):
    """Template action for each name: a page's own names from its front
    matter, every other name from the site parameters."""

    def __init__(self, page_names):
        super().__init__()
        self.page_names = set(page_names)

    def __missing__(self, name):
        scope = ".Params" if name in self.page_names else "site.Params"
        return "{{ %s.%s | safeHTML }}" % (scope, name.lower())


def _write(path, text):
    with open(path, "w", newline="\n") as f:
        f.write(text)


def write_site(folder, site, page_names, pieces):
    root = os.path.join(folder, "peers", "hugo")
    for sub in ("content", "layouts/_default", "layouts/partials"):
        os.makedirs(os.path.join(root, sub), exist_ok=True)
    params = "".join('%s = "%s"\n' % (n.lower(), site.expanded[n]) for n in site.names)
    _write(os.path.join(root, "hugo.toml"), CONFIG + "[params]\n" + params)
    _write(os.path.join(root, "layouts", "_default", "single.html"), LAYOUT)
    actions = _Actions(page_names)
    for piece, lines in pieces.items():
        text = "".join(workload.render(parts, actions)[1] + "\n" for parts in lines)
        _write(os.path.join(root, "layouts", "partials", piece + ".html"), text)


def write_page(folder, name, page, body_expanded):
    front = "".join('%s: "%s"\n' % (n.lower(), page.expanded[n]) for n in page.names)
    _write(os.path.join(folder, "peers", "hugo", "content", name + ".html"),
           "---\ntitle: %s\n%s---\n%s" % (name, front, body_expanded))
