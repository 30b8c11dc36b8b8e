#!/usr/bin/env python3
"""Prints line and branch coverage per folder of src/ from gcovr's JSON summary.

usage: coverage-table.py SUMMARY.json
"""
import json
import sys
from collections import defaultdict


def percent(covered, total):
    return f"{100.0 * covered / total:5.1f}%" if total else "    -"


def main():
    with open(sys.argv[1], encoding="utf-8") as f:
        files = json.load(f)["files"]
    folders = defaultdict(lambda: [0, 0, 0, 0])
    for entry in files:
        parts = entry["filename"].split("/")
        if len(parts) < 3 or parts[0] != "src":
            continue
        row = folders["/".join(parts[:2])]
        row[0] += entry["line_covered"]
        row[1] += entry["line_total"]
        row[2] += entry["branch_covered"]
        row[3] += entry["branch_total"]
    total = [sum(r[i] for r in folders.values()) for i in range(4)]
    print(f"{'folder':<14} {'lines':>15} {'':>6} {'branches':>15} {'':>6}")
    for name, r in sorted(folders.items()) + [("total", total)]:
        print(f"{name:<14} {r[0]:>7}/{r[1]:<7} {percent(r[0], r[1])} "
              f"{r[2]:>7}/{r[3]:<7} {percent(r[2], r[3])}")


if __name__ == "__main__":
    main()
