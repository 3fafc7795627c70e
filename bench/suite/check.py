"""Compares a tool's output with the expected text. Our generated files end
their lines with CR LF, the peers' with LF; both count as one line end."""

import os


def _normal(path):
    with open(path, "rb") as f:
        return f.read().replace(b"\r\n", b"\n")


def _first_difference(got, want):
    got_lines, want_lines = got.split(b"\n"), want.split(b"\n")
    for number, (g, w) in enumerate(zip(got_lines, want_lines), 1):
        if g != w:
            return "line %d: got %r, want %r" % (number, g[:80], w[:80])
    return "got %d lines, want %d" % (len(got_lines) - 1, len(want_lines) - 1)


def same(pairs):
    """pairs: (output path, expected path). None when all outputs equal
    their expected text, else a description of the first difference."""
    for got_path, want_path in pairs:
        if not os.path.exists(got_path):
            return "%s was not written" % os.path.basename(got_path)
        got, want = _normal(got_path), _normal(want_path)
        if got != want:
            return "%s: %s" % (os.path.basename(got_path), _first_difference(got, want))
    return None
