"""Tables and target verdicts of scale.py."""

import statistics

SCENARIOS = ["full run", "no change", "page edited", "header edited"]
TOOLS = ["ours", "before", "hugo", "floor", "ninja", "make"]
# Scenario: the tool each row is held against.
REFERENCE = {"full run": "hugo", "no change": "ninja", "page edited": "ninja",
             "header edited": "ninja"}
MEMORY_LIMIT_MB = 64


class Shape:
    def __init__(self, name, pages, samples):
        self.name = name
        self.pages = pages
        self.samples = samples

    def median(self, scenario, tool, field):
        runs = self.samples.get((scenario, tool))
        return statistics.median(getattr(r, field) for r in runs) if runs else None

    def peak_mb(self, scenario, tool):
        runs = self.samples.get((scenario, tool))
        return max(r.peak_kib for r in runs) / 1024 if runs else None


def _ratio(a, b):
    return "%.2f" % (a / b) if a is not None and b else "-"


def table(shape):
    lines = ["#### %d pages" % shape.pages, "",
             "| run | tool | runs | wall s (median) | CPU s (median) | wall / reference "
             "| CPU / reference | peak RSS MB |",
             "|---|---|---|---|---|---|---|---|"]
    for scenario in SCENARIOS:
        ref = REFERENCE[scenario]
        ref_wall = shape.median(scenario, ref, "seconds")
        ref_cpu = shape.median(scenario, ref, "cpu")
        for tool in TOOLS:
            runs = shape.samples.get((scenario, tool))
            if not runs:
                continue
            wall = shape.median(scenario, tool, "seconds")
            cpu = shape.median(scenario, tool, "cpu")
            lines.append("| %s | %s | %d | %.3f | %.3f | %s | %s | %.1f |" % (
                scenario, tool, len(runs), wall, cpu, _ratio(wall, ref_wall),
                _ratio(cpu, ref_cpu), shape.peak_mb(scenario, tool)))
    return "\n".join(lines)


def _verdict(ok):
    return "met" if ok else "NOT met"


def verdicts(shapes):
    out = ["#### Targets"]
    for s in shapes:
        def m(scenario, tool, field="seconds"):
            return s.median(scenario, tool, field)
        wall, cpu = m("full run", "ours"), m("full run", "ours", "cpu")
        hugo_wall, hugo_cpu = m("full run", "hugo"), m("full run", "hugo", "cpu")
        floor = m("full run", "floor")
        out.append("- %d pages, full run: wall %.2f x Hugo's (at most 1: %s); CPU %.2f x "
                   "Hugo's (at most 0.5: %s); %.2f x the floor (at most 3: %s)" % (
                       s.pages, wall / hugo_wall, _verdict(wall <= hugo_wall),
                       cpu / hugo_cpu, _verdict(cpu <= 0.5 * hugo_cpu),
                       wall / floor, _verdict(wall <= 3 * floor)))
        before = m("full run", "before")
        if before:
            out.append("- %d pages, full run: wall %.2f x before's, CPU %.2f x before's" % (
                s.pages, wall / before, cpu / m("full run", "before", "cpu")))
        for scenario in ("no change", "page edited"):
            if m(scenario, "ninja") is None:
                continue
            ratio = m(scenario, "ours") / m(scenario, "ninja")
            out.append("- %d pages, %s: %.2f x ninja (at most 1.5: %s)" % (
                s.pages, scenario, ratio, _verdict(ratio <= 1.5)))
        peaks = {sc: s.peak_mb(sc, "ours") for sc in SCENARIOS if s.peak_mb(sc, "ours")}
        worst = max(peaks.values())
        out.append("- %d pages, peak memory of ours: %s MB (at most %d: %s)" % (
            s.pages, ", ".join("%s %.1f" % (k, v) for k, v in peaks.items()),
            MEMORY_LIMIT_MB, _verdict(worst <= MEMORY_LIMIT_MB)))
    return "\n".join(out)
