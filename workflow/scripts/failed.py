#!/usr/bin/env python3
"""Prints the status file of every failed sequence under a results folder, one a line.

    snakemake ... --forcerun $(python3 workflow/scripts/failed.py results)

A failed sequence is a finished job to Snakemake (its failure is recorded, not raised), so a
plain rerun keeps it. Forcing the step that failed (the filter's status when the filter failed,
otherwise the tracking's) runs it again together with every step after it.
"""
import glob
import json
import os
import sys


def failed_status_files(results):
    found = []
    for track in sorted(glob.glob(os.path.join(results, "*", "*", "*", "status.json"))):
        run = os.path.dirname(track)
        for path in (os.path.join(run, "filter.json"), track):
            try:
                with open(path) as f:
                    status = json.load(f)
            except (OSError, ValueError):
                continue
            if not status.get("ok"):
                found.append(path)
                break
    return found


def main():
    results = sys.argv[1] if len(sys.argv) > 1 else "results"
    for path in failed_status_files(results):
        print(path)
    return 0


if __name__ == "__main__":
    sys.exit(main())
