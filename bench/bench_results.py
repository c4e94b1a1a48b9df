#!/usr/bin/env python3
"""The benchmarks' figures: each benchmark appends one JSON object per figure to the file named by
ORU_BENCH_RESULTS (default bench-results.jsonl in the current folder), and `make bench` ends by
printing them all as one table with this script:

    bench_results.py RESULTS_FILE

A figure: {"area", "figure", "value", "unit", "peer", "peer_value", "goal", "met"}. "peer" and
"peer_value" name what the figure is measured against in the same run (null where the goal is an
absolute limit); "goal" is text (null for a figure shown without one); "met" is the benchmark's
verdict (null without a goal).
"""
import json
import math
import os
import sys

FIELDS = ("area", "figure", "value", "unit", "peer", "peer_value", "goal", "met")


def results_path():
    return os.environ.get("ORU_BENCH_RESULTS") or "bench-results.jsonl"


def append(area, figure, value, unit, peer=None, peer_value=None, goal=None, met=None):
    """Appends one figure to the results file."""
    line = dict(zip(FIELDS, (area, figure, value, unit, peer, peer_value, goal, met)))
    with open(results_path(), "a", encoding="utf-8") as f:
        f.write(json.dumps(line) + "\n")


def number(value):
    return isinstance(value, (int, float)) and not isinstance(value, bool) and math.isfinite(value)


def figure_text(value, unit):
    if not number(value):
        return "?"
    text = "%.3g" % value if abs(value) < 100 else "%.0f" % value
    return text + (" " + unit if unit else "")


def read(path):
    """The figures of the file, in order, and the problems of lines that are no figure."""
    figures, problems = [], []
    with open(path, encoding="utf-8") as f:
        for at, text in enumerate(f, 1):
            if not text.strip():
                continue
            try:
                line = json.loads(text)
            except ValueError as e:
                problems.append("line %d is not JSON (%s)" % (at, e))
                continue
            if not isinstance(line, dict) or not all(k in line for k in FIELDS):
                missing = [k for k in FIELDS if not isinstance(line, dict) or k not in line]
                problems.append("line %d lacks %s" % (at, ", ".join(missing)))
                continue
            figures.append(line)
    return figures, problems


def rows(figures):
    header = ("Area", "Figure", "Value", "Peer or limit (same run)", "Peer", "Ratio", "Goal", "Met")
    table = [header]
    for f in figures:
        peer_value, value = f["peer_value"], f["value"]
        ratio = "%.2f x" % (value / peer_value) if number(value) and number(peer_value) and peer_value else ""
        met = {True: "yes", False: "NO", None: ""}.get(f["met"], "?")
        table.append((str(f["area"]), str(f["figure"]), figure_text(value, f["unit"]), f["peer"] or "",
                      figure_text(peer_value, f["unit"]) if f["peer"] is not None else "", ratio, f["goal"] or "",
                      met))
    return table


def render(figures):
    table = rows(figures)
    widths = [max(len(r[c]) for r in table) for c in range(len(table[0]))]
    right = {2, 4, 5}  # numbers
    lines = []
    for i, r in enumerate(table):
        cells = [r[c].rjust(widths[c]) if c in right else r[c].ljust(widths[c]) for c in range(len(r))]
        lines.append("  ".join(cells).rstrip())
        if i == 0:
            lines.append("  ".join("-" * w for w in widths))
    with_goal = [f for f in figures if f["goal"]]
    met = [f for f in with_goal if f["met"] is True]
    lines.append("")
    lines.append("Goals met: %d of %d" % (len(met), len(with_goal)))
    unmet = [f for f in with_goal if f["met"] is not True]
    for f in unmet:
        lines.append("  not met: %s: %s (%s)" % (f["area"], f["figure"], f["goal"]))
    return "\n".join(lines)


def main(argv):
    if len(argv) != 2:
        sys.exit("usage: bench_results.py RESULTS_FILE")
    try:
        figures, problems = read(argv[1])
    except OSError as e:
        sys.exit("bench results: cannot read %s: %s" % (argv[1], e.strerror))
    print("\nBenchmark results (%s)\n" % argv[1])
    print(render(figures) if figures else "No benchmark reported a figure.")
    for p in problems:
        print("bench results: %s: %s" % (argv[1], p), file=sys.stderr)
    return 1 if problems or not figures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
