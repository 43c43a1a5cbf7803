#!/usr/bin/env python3
"""Gathers the per-sequence results of the workflow into one table.

    summarize.py summary --csv summary.csv --md summary.md RUN_DIR ...
    summarize.py sweep --csv sweep.csv --md sweep.md --runs-csv sweep_runs.csv RUN_DIR ...

Every RUN_DIR holds the status files the workflow's steps wrote (status.json for tracking, with
the sequence's description, and filter.json, validate.json, eval.json, measure.json where those
steps belong to the run), the benchmark files under bench/ and the result under res/. A file
that is missing or unreadable leaves its columns empty instead of stopping the summary: the
summary is where failures are reported, so it must not be one of them.
"""
import argparse
import csv
import json
import math
import os
import sys

COLUMNS = ["group", "name", "parameter_set", "method", "parameters", "frames", "tracks",
           "divisions", "SEG", "DET", "TRA", "seconds", "max_rss_mb", "status", "message",
           "input", "result", "report"]
MEASURES = ["SEG", "DET", "TRA"]


def read_json(path):
    try:
        with open(path) as f:
            return json.load(f)
    except (OSError, ValueError):
        return None


def read_benchmark(path):
    """The last row of a Snakemake benchmark file as numbers (None for its 'NA')."""
    try:
        with open(path) as f:
            rows = list(csv.DictReader(f, delimiter="\t"))
    except OSError:
        return {}
    if not rows:
        return {}
    values = {}
    for key, text in rows[-1].items():
        try:
            values[key] = float(text)
        except (TypeError, ValueError):
            values[key] = None
    return values


def count_lineage(path):
    """Tracks and divisions (tracks with a parent) of a res_track.txt."""
    tracks = divisions = 0
    with open(path) as f:
        for line in f:
            fields = line.split()
            if len(fields) != 4:
                continue
            tracks += 1
            if int(fields[3]) != 0:
                divisions += 1
    return tracks, divisions


def number(value):
    if isinstance(value, bool) or not isinstance(value, (int, float)):
        return None
    return None if math.isnan(value) else value


def run_row(run):
    track = read_json(os.path.join(run, "status.json")) or {}
    row = {key: "" for key in COLUMNS}
    for key in ("group", "name", "parameter_set", "method", "parameters", "input"):
        row[key] = track.get(key, "")
    if not row["name"]:
        row["name"] = os.path.basename(run.rstrip("/"))
    row["frames"] = track.get("frames_in", "")
    result = os.path.join(run, "res")
    row["result"] = result

    steps = {name: read_json(os.path.join(run, f"{name}.json"))
             for name in ("filter", "validate", "eval", "measure", "report")}
    if not track:
        row.update(status="failed", message="no status: the tracking step did not finish")
        return row
    if not track.get("ok"):
        stage = track.get("failed_stage") or "track"
        row.update(status="failed", message=f"{stage}: {track.get('message', '')}".strip())
        row["result"] = ""
    else:
        output = track.get("output") or {}
        row["frames"] = output.get("frames", row["frames"])
        try:
            row["tracks"], row["divisions"] = count_lineage(os.path.join(result, "res_track.txt"))
        except (OSError, ValueError) as e:
            row.update(status="failed", message=f"track: unreadable res_track.txt ({e})")
        if not row["status"]:
            problems = []
            validate = steps["validate"]
            if validate is not None and not validate.get("ok"):
                row["status"] = "invalid"
                problems.append(f"validate: {validate.get('message', '')}")
            for name in ("eval", "measure", "report"):
                step = steps[name]
                if step is not None and not step.get("ok"):
                    problems.append(f"{name}: {step.get('message', '')}")
            row["status"] = row["status"] or ("partial" if problems else "ok")
            row["message"] = " / ".join(problems)
    if steps["report"] is not None and steps["report"].get("ok"):
        row["report"] = os.path.join(run, "report", "report.html")
    evaluation = steps["eval"]
    if evaluation is not None and evaluation.get("ok"):
        measures = evaluation.get("output") or {}
        for key in MEASURES:
            row[key] = number(measures.get(key))
            row[key] = "" if row[key] is None else row[key]

    # Run time and peak memory of the work on the frames: the filter (when there is one) and the
    # tracking. The benchmark samples the job's processes; the status holds the exact peak of
    # the trel process, which a run shorter than the first sample would otherwise miss.
    seconds, peak = None, None
    for name, status in (("filter", steps["filter"]), ("track", track)):
        if status is None:
            continue
        bench = read_benchmark(os.path.join(run, "bench", f"{name}.tsv"))
        spent = bench.get("s") if bench.get("s") is not None else number(status.get("seconds"))
        if spent is not None:
            seconds = (seconds or 0.0) + spent
        for rss in (bench.get("max_rss"), number(status.get("max_rss_mb"))):
            if rss is not None:
                peak = rss if peak is None else max(peak, rss)
    row["seconds"] = "" if seconds is None else round(seconds, 3)
    row["max_rss_mb"] = "" if peak is None else round(peak, 1)
    return row


def cell(value, digits, key=""):
    if isinstance(value, float):
        # Measures keep a fixed number of decimals so that a column reads evenly; times and
        # sizes keep what they have.
        if key in MEASURES or key.startswith("mean_"):
            return f"{value:.{digits}f}"
        return f"{value:g}"
    return str(value)


def write_csv(path, columns, rows):
    tmp = f"{path}.tmp-{os.getpid()}"
    with open(tmp, "w", newline="") as f:
        writer = csv.DictWriter(f, fieldnames=columns, extrasaction="ignore")
        writer.writeheader()
        for row in rows:
            writer.writerow({key: cell(row.get(key, ""), 6, key) for key in columns})
    os.replace(tmp, path)


def markdown_table(columns, headers, rows, digits=3):
    def escape(text):
        return str(text).replace("|", "\\|").replace("\n", " ")

    lines = ["| " + " | ".join(headers) + " |",
             "|" + "|".join("---" for _ in headers) + "|"]
    for row in rows:
        cells = (escape(cell(row.get(key, ""), digits, key)) for key in columns)
        lines.append("| " + " | ".join(cells) + " |")
    return lines


RUN_TABLE = (["group", "name", "parameters", "frames", "tracks", "divisions", "SEG", "DET", "TRA",
              "seconds", "max_rss_mb", "status"],
             ["group", "sequence", "parameters", "frames", "tracks", "divisions", "SEG", "DET",
              "TRA", "time (s)", "peak memory (MB)", "status"])


def failure_lines(rows):
    lines = []
    for row in rows:
        if row["status"] != "ok":
            lines.append(f"- **{row['group']}/{row['name']}** ({row['status']}): {row['message']}")
    return lines


def write_text(path, lines):
    tmp = f"{path}.tmp-{os.getpid()}"
    with open(tmp, "w") as f:
        f.write("\n".join(lines) + "\n")
    os.replace(tmp, path)


def summary(args, rows):
    write_csv(args.csv, COLUMNS, rows)
    counts = {}
    for row in rows:
        counts[row["status"]] = counts.get(row["status"], 0) + 1
    lines = ["# trel: summary", "",
             f"{len(rows)} sequence run(s): "
             + ", ".join(f"{n} {status}" for status, n in sorted(counts.items())) + ".", ""]
    lines += markdown_table(*RUN_TABLE, rows)
    failures = failure_lines(rows)
    if failures:
        lines += ["", "## Not ok", ""] + failures
    write_text(args.md, lines)


def rank(rows):
    """Parameter sets ordered by mean TRA, then mean SEG, over the same sequences.

    A run that failed, or whose measure is missing, counts 0: the value of an empty result, so
    that a parameter set which breaks on some sequence is not ranked above one that does not.
    """
    sets = {}
    for row in rows:
        sets.setdefault(row["parameter_set"], []).append(row)
    ranking = []
    for name, runs in sets.items():
        entry = {"parameter_set": name, "parameters": runs[0]["parameters"],
                 "sequences": len(runs), "ok": sum(r["status"] == "ok" for r in runs)}
        entry["failed"] = entry["sequences"] - entry["ok"]
        for key in MEASURES:
            values = [r[key] if isinstance(r[key], (int, float)) else 0.0 for r in runs]
            entry[f"mean_{key}"] = sum(values) / len(values)
        entry["seconds"] = sum(r["seconds"] for r in runs if isinstance(r["seconds"], float))
        ranking.append(entry)
    ranking.sort(key=lambda e: (-e["mean_TRA"], -e["mean_SEG"], e["parameter_set"]))
    for place, entry in enumerate(ranking, 1):
        entry["rank"] = place
    return ranking


SWEEP_COLUMNS = ["rank", "parameter_set", "parameters", "sequences", "ok", "failed", "mean_TRA",
                 "mean_SEG", "mean_DET", "seconds"]


def sweep(args, rows):
    ranking = rank(rows)
    write_csv(args.csv, SWEEP_COLUMNS, ranking)
    if args.runs_csv:
        write_csv(args.runs_csv, COLUMNS, rows)
    names = sorted({row["name"] for row in rows})
    lines = ["# trel: parameter sweep", "",
             f"{len(ranking)} parameter set(s) on {len(names)} sequence(s) with ground truth "
             f"({', '.join(names)}), best first by mean TRA, then mean SEG. A failed run counts 0.",
             ""]
    lines += markdown_table(SWEEP_COLUMNS,
                            ["rank", "set", "parameters", "sequences", "ok", "failed",
                             "mean TRA", "mean SEG", "mean DET", "time (s)"], ranking)
    lines += ["", "## Runs", ""]
    columns, headers = RUN_TABLE
    lines += markdown_table(["parameter_set"] + columns[1:], ["set"] + headers[1:],
                            sorted(rows, key=lambda r: (r["parameter_set"], r["name"])))
    failures = failure_lines(rows)
    if failures:
        lines += ["", "## Not ok", ""] + failures
    write_text(args.md, lines)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("mode", choices=["summary", "sweep"])
    parser.add_argument("--csv", required=True)
    parser.add_argument("--md", required=True)
    parser.add_argument("--runs-csv", help="sweep: also every run's row")
    parser.add_argument("runs", nargs="*", help="run folders")
    args = parser.parse_intermixed_args()
    rows = [run_row(run) for run in args.runs]
    for path in (args.csv, args.md, args.runs_csv):
        if path:
            os.makedirs(os.path.dirname(os.path.abspath(path)), exist_ok=True)
    (summary if args.mode == "summary" else sweep)(args, rows)
    return 0


if __name__ == "__main__":
    sys.exit(main())
