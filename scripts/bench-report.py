#!/usr/bin/env python3
"""Runs every bench_* program of a build and writes the benchmark report (Markdown).

usage: bench-report.py BIN_DIR OUTPUT.md [COMMAND TEXT]

Each program runs once with its results also written as JSON. The report has one
table per program (an area of the library): for every case the library's figure,
each peer's, their ratio and how steady each figure is, read from the JSON with
the same rules as the programs' own ratio table (bench/bench_ratio.h): benchmarks
are named "case/impl[/args]", an impl that starts with "pubfunc" is the library,
the figure is the median of the repetitions, CPU time unless the name says
real_time, and cv is the standard deviation over the mean. What a program prints
after its ratio table (throughput, frame rates, lateness) is kept below its table.
"""
import datetime
import json
import os
import platform
import subprocess
import sys
import tempfile

UNSTEADY_CV = 0.10  # as kUnsteadyCv in bench/bench_ratio.h
REPETITIONS = ["--benchmark_repetitions=5", "--benchmark_report_aggregates_only=true"]
LEGEND = "(ratio = library time"


def machine():
    model = "unknown"
    with open("/proc/cpuinfo", encoding="utf-8") as f:
        for line in f:
            if line.startswith("model name"):
                model = line.split(":", 1)[1].strip()
                break
    with open("/proc/loadavg", encoding="utf-8") as f:
        load = " ".join(f.read().split()[:3])
    mem = ""
    with open("/proc/meminfo", encoding="utf-8") as f:
        for line in f:
            if line.startswith("MemTotal:"):
                mem = "%.1f GiB" % (int(line.split()[1]) / 1024 / 1024)
                break
    return model, os.cpu_count(), load, mem


def ns_per_unit(unit):
    return {"ns": 1.0, "us": 1e3, "ms": 1e6, "s": 1e9}[unit]


def figures(data):
    """{case: {impl: {"ns", "mean", "stddev", "repetitions"}}} from one JSON report."""
    cases = {}
    for b in data.get("benchmarks", []):
        if b.get("error_occurred"):
            continue
        stat = b.get("aggregate_name", "") if b.get("run_type") == "aggregate" else ""
        if stat not in ("", "median", "mean", "stddev"):
            continue
        if not stat and b.get("repetitions", 1) > 1:
            continue
        name = b.get("run_name", b["name"])
        parts = name.split("/", 2)
        if len(parts) < 2:
            continue
        case = parts[0] + ("/" + parts[2] if len(parts) > 2 else "")
        real = "/real_time" in name
        ns = b["real_time" if real else "cpu_time"] * ns_per_unit(b.get("time_unit", "ns"))
        f = cases.setdefault(case, {}).setdefault(parts[1], {"ns": 0.0, "mean": 0.0,
                                                              "stddev": 0.0, "repetitions": 1})
        f[{"": "ns", "median": "ns"}.get(stat, stat)] = ns
        f["repetitions"] = b.get("repetitions", 1) if stat else 1
    return cases


def cv(f):
    return f["stddev"] / f["mean"] if f["repetitions"] > 1 and f["mean"] > 0 else None


def time_text(ns):
    for unit, scale in (("s", 1e9), ("ms", 1e6), ("µs", 1e3)):
        if ns >= scale:
            return "%.3g %s" % (ns / scale, unit)
    return "%.3g ns" % ns


def cv_text(f):
    c = cv(f)
    if c is None:
        return "-"
    return "%.1f%%%s" % (c * 100, " ⚠" if c > UNSTEADY_CV else "")


def ratio_text(ratio):
    """Three significant figures, never in exponent form."""
    rounded = float("%.3g" % ratio)
    return "%.0f" % rounded if rounded >= 1000 else "%.3g" % rounded


def table(cases):
    rows = ["| case | library | peer | library time | cv | peer time | cv | ratio |",
            "|---|---|---|--:|--:|--:|--:|--:|"]
    for case in sorted(cases):
        impls = cases[case]
        for lib in sorted(i for i in impls if i.startswith("pubfunc")):
            for peer in sorted(i for i in impls if not i.startswith("pubfunc")):
                a, b = impls[lib], impls[peer]
                ratio = ratio_text(a["ns"] / b["ns"]) if b["ns"] > 0 else "-"
                rows.append("| `%s` | %s | %s | %s | %s | %s | %s | %s |" % (
                    case, lib, peer, time_text(a["ns"]), cv_text(a), time_text(b["ns"]),
                    cv_text(b), ratio))
    return rows


def notes(stdout):
    """The lines a program prints after the legend of its ratio table."""
    lines = stdout.splitlines()
    for i, line in enumerate(lines):
        if line.startswith(LEGEND):
            rest = lines[i + 1:]
            while rest and rest[0].startswith(" "):  # the legend's own lines
                rest = rest[1:]
            return "\n".join(rest).strip("\n")
    return ""


def run(program, workdir):
    out = os.path.join(workdir, os.path.basename(program) + ".json")
    args = [program] + REPETITIONS + ["--benchmark_out=" + out, "--benchmark_out_format=json"]
    print("bench-report: running %s" % os.path.basename(program), flush=True)
    done = subprocess.run(args, stdout=subprocess.PIPE, text=True, check=False)
    if done.returncode != 0:
        sys.exit("bench-report: %s failed with exit status %d" % (program, done.returncode))
    with open(out, encoding="utf-8") as f:
        return json.load(f), done.stdout


def main():
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    bin_dir, output = sys.argv[1], sys.argv[2]
    command = sys.argv[3] if len(sys.argv) > 3 else "make bench"
    programs = sorted(os.path.join(bin_dir, p) for p in os.listdir(bin_dir)
                      if p.startswith("bench_") and os.access(os.path.join(bin_dir, p), os.X_OK))
    if not programs:
        sys.exit("bench-report: no bench_* program in %s" % bin_dir)
    model, cores, load, mem = machine()
    started = datetime.datetime.now().astimezone()
    areas = []
    with tempfile.TemporaryDirectory() as work:
        for program in programs:
            areas.append((os.path.basename(program),) + run(program, work))
    minutes = (datetime.datetime.now().astimezone() - started).total_seconds() / 60

    text = ["# Benchmarks", "",
            "Written by `%s` (scripts/bench-report.py): every program in `bench/`, built by the"
            % command,
            "Linux preset (RelWithDebInfo), measures the library against its peers in one run.",
            "Do not edit by hand; run the command again.", "",
            "| | |", "|---|---|",
            "| date | %s |" % started.strftime("%Y-%m-%d %H:%M %Z"),
            "| machine | %s, %d cores, %s memory, %s %s |" % (model, cores, mem, platform.system(),
                                                             platform.release()),
            "| load at start (1, 5, 15 min) | %s |" % load,
            "| run time | %.1f min |" % minutes,
            "| command | `%s` |" % command, "",
            "Figures are medians of 5 repetitions per iteration of a case, CPU time unless the",
            "case says `real_time` (threaded cases). ratio = library time / peer time: below 1",
            "the library is faster. cv = standard deviation / mean of the repetitions; ⚠ marks",
            "a cv over %d%%: that figure's ratio needs a quieter run to confirm it." %
            (UNSTEADY_CV * 100), ""]
    for name, data, stdout in areas:
        text += ["## %s" % name[len("bench_"):], "",
                 "`build/linux/bin/%s %s`" % (name, " ".join(REPETITIONS)), ""]
        text += table(figures(data))
        extra = notes(stdout)
        if extra:
            text += ["", "```", extra, "```"]
        text.append("")
    with open(output, "w", encoding="utf-8") as f:
        f.write("\n".join(text))
    print("bench-report: wrote %s (%.1f min)" % (output, minutes))


if __name__ == "__main__":
    main()
