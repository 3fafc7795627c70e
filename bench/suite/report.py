"""Turns measured runs into Markdown tables and the verdict on the targets."""

import tools


class Row:
    def __init__(self, tool, status, detail, seconds, peak_kib, runs):
        self.tool = tool
        self.status = status
        self.detail = detail
        self.seconds = seconds
        self.peak_kib = peak_kib
        self.runs = runs


class Shape:
    def __init__(self, name, meta, size, rows, limit):
        self.name = name
        self.meta = meta
        self.size = size  # bytes of expected output
        self.rows = rows
        self.limit = limit


def _describe(shape):
    m = shape.meta
    if "pieces" in m:
        what = "%d pages, %d defines" % (len(m["pages"]), m["defines"])
    else:
        what = "%d defines, %d lines" % (m["defines"], m["lines"])
    return "%s: %s, %.1f MB output" % (shape.name, what, shape.size / 1e6)


def table(shape):
    ours = shape.rows["ours"].seconds
    cat = shape.rows["cat"].seconds
    lines = ["### " + _describe(shape), "",
             "| tool | result | seconds (median) | MB/s | time / ours | time / cat | peak RSS MB |",
             "|---|---|---|---|---|---|---|"]
    for row in shape.rows.values():
        if row.status == "ok":
            kind = "floor" if row.tool in tools.FLOORS else "ok"
            result = "%s (%d runs)" % (kind, row.runs)
            cells = [result, "%.3f" % row.seconds, "%.1f" % (shape.size / 1e6 / row.seconds),
                     "%.2f" % (row.seconds / ours) if ours else "-",
                     "%.2f" % (row.seconds / cat) if cat else "-"]
        elif row.status == "timeout":
            cells = ["timeout (> %g s)" % shape.limit, "-", "-",
                     "> %.0f" % (shape.limit / ours) if ours else "-", "-"]
        else:
            cells = ["%s: %s" % (row.status.upper(), row.detail), "-", "-", "-", "-"]
        peak = "%.1f" % (row.peak_kib / 1024) if row.peak_kib else "-"
        lines.append("| %s | %s | %s |" % (row.tool, " | ".join(cells), peak))
    return "\n".join(lines)


def verdicts(shapes):
    """Faster than every peer that produced the expected text, on every
    shape; within 3x of cat at 1,000 defines (the large shape)."""
    out = ["### Targets"]
    for shape in shapes:
        ours = shape.rows["ours"]
        if ours.status != "ok":
            out.append("- %s: ours did not finish correctly (%s)" % (shape.name, ours.status))
            continue
        peers = [r for r in shape.rows.values()
                 if r.tool not in ("ours", "before") + tools.FLOORS]
        slower = [r.tool for r in peers if r.status == "ok" and r.seconds <= ours.seconds]
        beaten = "faster than every peer" if not slower else "NOT faster than " + ", ".join(slower)
        line = "- %s: %s" % (shape.name, beaten)
        cat = shape.rows["cat"]
        if shape.meta.get("defines") == 1000 and "lines" in shape.meta and cat.status == "ok":
            ratio = ours.seconds / cat.seconds
            line += "; %.2f x cat (%s 3x)" % (ratio, "within" if ratio <= 3 else "NOT within")
            floor = shape.rows.get("crlf-copy")
            if floor and floor.status == "ok":
                line += "; crlf-copy alone is %.2f x cat, ours %.2f x crlf-copy" % (
                    floor.seconds / cat.seconds, ours.seconds / floor.seconds)
        out.append(line)
    return "\n".join(out)
