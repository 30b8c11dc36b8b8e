#!/usr/bin/env python3
"""Prints line and branch coverage per folder of src/ (or, with --by-file, per file)
from gcovr's JSON summary.

usage: coverage-table.py [--by-file] SUMMARY.json
"""
import json
import sys
from collections import defaultdict


def percent(covered, total):
    return f"{100.0 * covered / total:5.1f}%" if total else "    -"


def main():
    by_file = "--by-file" in sys.argv[1:]
    with open(sys.argv[-1], encoding="utf-8") as f:
        files = json.load(f)["files"]
    rows = defaultdict(lambda: [0, 0, 0, 0])
    for entry in files:
        parts = entry["filename"].split("/")
        if len(parts) < 3 or parts[0] != "src":
            continue
        row = rows[entry["filename"] if by_file else "/".join(parts[:2])]
        row[0] += entry["line_covered"]
        row[1] += entry["line_total"]
        row[2] += entry["branch_covered"]
        row[3] += entry["branch_total"]
    total = [sum(r[i] for r in rows.values()) for i in range(4)]
    width = max([len(name) for name in rows] + [6])
    print(f"{'':<{width}} {'lines':>15} {'':>6} {'branches':>15}")
    for name, r in sorted(rows.items()) + [("total", total)]:
        print(f"{name:<{width}} {r[0]:>7}/{r[1]:<7} {percent(r[0], r[1])} "
              f"{r[2]:>7}/{r[3]:<7} {percent(r[2], r[3])}")


if __name__ == "__main__":
    main()
