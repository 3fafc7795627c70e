"""Content model of the benchmark workloads: define names, their values and
HTML-like text lines, drawn deterministically from one random generator.

Every tool we compare must produce the same text from this content, although
cpp, m4 and gpp replace whole identifiers while we replace plain character
sequences. So the content keeps to these shapes:

- a name is N<id>_<TAG>: an identifier for every tool, and no name occurs
  inside another one (checked by check_names), so longest-first plain
  replacement finds exactly the identifiers the other tools find;
- in text, a name stands between characters that cannot continue an
  identifier, and never right before "(" (m4 and gpp would read arguments);
- values are lowercase and hold no names after expansion, so no tool can
  find a name in inserted text; a value may mention an earlier name, which
  every tool expands (we at definition time, the others at use time);
- nothing in the text is special to a peer: no "#", quotes, backslash,
  backquote, "*" or "//", no blank lines, no trailing blanks in values.
"""

import random

# No tag is a prefix of another, which keeps every name out of every other.
TAGS = ["TITLE", "LINK", "COLOR", "LABEL", "NOTE", "PRICE", "MAIL", "PHONE",
        "CITY", "YEAR", "IMG", "ALT", "HINT", "BADGE", "MENU", "SIZE"]

WORDS = ("lorem ipsum dolor sit amet consectetur adipiscing elit sed do eiusmod "
         "tempor incididunt ut labore et dolore magna aliqua enim ad minim veniam "
         "quis nostrud exercitation ullamco laboris nisi aliquip ex ea commodo "
         "consequat duis aute irure in reprehenderit voluptate velit esse cillum "
         "fugiat nulla pariatur excepteur sint occaecat cupidatat non proident "
         "sunt culpa qui officia deserunt mollit anim id est laborum").split()

# Uppercase words that are not names: tools must leave them alone.
NOISE = ["HTML", "CSS", "FAQ", "RSS", "API", "UTF", "ISO", "GMBH"]


def make_name(ident):
    return "N%d_%s" % (ident, TAGS[ident % len(TAGS)])


def check_names(names):
    """Fails when a name occurs inside another name; then plain and
    word-bounded replacement could differ."""
    known = set(names)
    for name in names:
        for start in range(len(name)):
            for end in range(start + 1, len(name) + 1):
                if (start, end) != (0, len(name)) and name[start:end] in known:
                    raise ValueError("%s occurs inside %s" % (name[start:end], name))


class Defines:
    """An ordered define table as written (raw values) and as expanded."""

    def __init__(self):
        self.names = []
        self.raw = {}
        self.expanded = {}

    def add(self, name, raw, expanded):
        self.names.append(name)
        self.raw[name] = raw
        self.expanded[name] = expanded


def random_value(rng, earlier):
    """A value of one to four words; sometimes bold, with an entity, or
    mentioning an earlier name (given as (name, expanded value))."""
    words = [rng.choice(WORDS) for _ in range(rng.randint(1, 4))]
    if rng.random() < 0.15:
        words[-1] = words[-1] + " &amp; " + rng.choice(WORDS)
    raw = expanded = " ".join(words)
    # Only short values are mentioned, so that chains of mentions stay far
    # below the length limit of a value.
    if earlier and len(earlier[1]) < 60 and rng.random() < 0.1:
        name, value = earlier
        tail = rng.choice(WORDS)
        raw = "%s %s %s" % (raw, name, tail)
        expanded = "%s %s %s" % (expanded, value, tail)
    if rng.random() < 0.2:
        raw, expanded = "<b>%s</b>" % raw, "<b>%s</b>" % expanded
    return raw, expanded


def make_defines(rng, count, first_id=1):
    table = Defines()
    for ident in range(first_id, first_id + count):
        earlier = None
        if table.names:
            name = rng.choice(table.names)
            earlier = (name, table.expanded[name])
        raw, expanded = random_value(rng, earlier)
        table.add(make_name(ident), raw, expanded)
    check_names(table.names)
    return table


class LineMaker:
    """Draws text lines that use the names of a define table, about one name
    per line, half of them from a small set of frequently used names."""

    def __init__(self, rng, table):
        self.rng = rng
        self.table = table
        self.hot = table.names[: max(1, len(table.names) // 20)]

    def name(self):
        rng = self.rng
        pool = self.hot if rng.random() < 0.5 else self.table.names
        return rng.choice(pool)

    def _words(self, low, high):
        rng = self.rng
        return " ".join(rng.choice(WORDS) for _ in range(rng.randint(low, high)))

    def _sentence(self, parts):
        """Words with zero to three names between them, each name followed by
        a blank, a comma, a full stop or a colon."""
        rng = self.rng
        parts.append(self._words(2, 5))
        for _ in range(rng.choice((0, 1, 1, 1, 2, 3))):
            parts.append(" ")
            parts.append((self.name(),))
            parts.append(rng.choice((" ", ", ", ". ", ": ")))
            parts.append(self._words(1, 4))
        if rng.random() < 0.1:
            parts.append(" " + rng.choice(NOISE))

    def parts(self):
        """One line as a list of text pieces and (name,) tuples."""
        rng = self.rng
        kind = rng.random()
        parts = []
        if kind < 0.45:
            parts.append("<p>")
            self._sentence(parts)
            parts.append(".</p>")
        elif kind < 0.6:
            parts += ["<li><a href=page-%d.html>" % rng.randint(1, 9999), (self.name(),), "</a></li>"]
        elif kind < 0.72:
            parts += ["  <td>", (self.name(),), "</td><td>", self._words(1, 3), "</td>"]
        elif kind < 0.8:
            parts.append("<h2>")
            self._sentence(parts)
            parts.append("</h2>")
        elif kind < 0.88:
            parts += ["<img src=img/p%d.png alt=" % rng.randint(1, 999), (self.name(),), ">"]
        else:
            parts.append(rng.choice(("<div class=box>", "</div>", "<ul>", "</ul>",
                                     "<tr>", "</tr>", "\t<hr>", "<section>", "</section>")))
        return parts

    def line(self):
        """(template text, expected text) of one line, without line end."""
        return render(self.parts(), self.table.expanded)


def render(parts, expanded):
    source = []
    result = []
    for part in parts:
        if isinstance(part, tuple):
            source.append(part[0])
            result.append(expanded[part[0]])
        else:
            source.append(part)
            result.append(part)
    return "".join(source), "".join(result)


def seeded(seed, label):
    """One generator per purpose, so shapes do not depend on each other."""
    return random.Random("%s/%s" % (seed, label))
