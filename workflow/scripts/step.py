#!/usr/bin/env python3
"""Runs one trel command of the workflow and records its outcome in a status file.

    step.py --status FILE [--needs FILE ...] [--result DIR] [--log FILE] [--json]
            [--meta JSON] [--stage NAME] -- COMMAND ...

The status file is the step's only declared output and is written last, atomically, whatever
the command did. A sequence whose frames are broken therefore ends its own chain (the later
steps read the status, see --needs, and record that they were skipped) while the workflow goes
on with every other sequence and still builds the summary. The command's own failure (any exit
status, or its death by a signal such as the kernel's out-of-memory kill) is recorded and this
script exits 0.

Only an interruption of this script itself (SIGINT, SIGTERM: Snakemake stopped, or the job was
cancelled) leaves no status file and exits non-zero, so that the next run of the workflow does
the step again instead of taking an interrupted run for a failed sequence.
"""
import argparse
import json
import os
import resource
import signal
import subprocess
import sys
import time


def write_json(path, value):
    # A reader (the summary, a resumed workflow) sees the old file or the whole new one.
    os.makedirs(os.path.dirname(os.path.abspath(path)), exist_ok=True)
    tmp = f"{path}.tmp-{os.getpid()}"
    with open(tmp, "w") as f:
        json.dump(value, f, indent=2, sort_keys=True)
        f.write("\n")
    os.replace(tmp, path)


def remove_tree(path):
    if not os.path.lexists(path):
        return
    if os.path.isdir(path) and not os.path.islink(path):
        for root, dirs, files in os.walk(path, topdown=False):
            for name in files:
                os.unlink(os.path.join(root, name))
            for name in dirs:
                full = os.path.join(root, name)
                if os.path.islink(full):
                    os.unlink(full)
                else:
                    os.rmdir(full)
        os.rmdir(path)
    else:
        os.unlink(path)


def last_lines(path, count=6, limit=1500):
    try:
        with open(path, errors="replace") as f:
            text = f.read()
    except OSError:
        return ""
    # Progress lines rewritten in place arrive as carriage returns; keep what a reader saw last.
    lines = [line.split("\r")[-1].strip() for line in text.splitlines()]
    lines = [line for line in lines if line]
    return " | ".join(lines[-count:])[-limit:]


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--status", required=True, help="status file to write (JSON)")
    parser.add_argument("--needs", action="append", default=[],
                        help="status file of an earlier step that must have succeeded")
    parser.add_argument("--result", help="folder the command fills: emptied before the run and "
                                         "removed when the command fails")
    parser.add_argument("--log", help="file for the command's standard error")
    parser.add_argument("--json", action="store_true",
                        help="the command prints JSON on standard output: keep it as 'output'")
    parser.add_argument("--meta", default="{}", help="JSON object copied into the status")
    parser.add_argument("--stage", default="", help="name of the step, for messages")
    parser.add_argument("command", nargs=argparse.REMAINDER)
    args = parser.parse_args()
    command = args.command[1:] if args.command[:1] == ["--"] else args.command
    if not command:
        parser.error("no command given")

    status = {"stage": args.stage, "command": command}
    status.update(json.loads(args.meta))

    for need in args.needs:
        with open(need) as f:
            earlier = json.load(f)
        if not earlier.get("ok"):
            status.update(ok=False, skipped=True, exit_code=None, seconds=0.0,
                          failed_stage=earlier.get("failed_stage") or earlier.get("stage"),
                          message=earlier.get("message", ""))
            write_json(args.status, status)
            return 0

    if args.result:
        # A result left by an earlier, different run (more frames, other masks) must not
        # survive into this one.
        remove_tree(args.result)
        os.makedirs(os.path.dirname(os.path.abspath(args.result)), exist_ok=True)
    log_path = args.log or os.devnull
    if args.log:
        os.makedirs(os.path.dirname(os.path.abspath(args.log)), exist_ok=True)

    interrupted = []

    def forward(signum, _frame):
        interrupted.append(signum)
        if child is not None and child.poll() is None:
            child.send_signal(signum)

    child = None
    signal.signal(signal.SIGTERM, forward)
    signal.signal(signal.SIGINT, forward)
    start = time.monotonic()
    if interrupted:
        return 128 + interrupted[0]
    try:
        with open(log_path, "w") as err:
            child = subprocess.Popen(command, stdout=subprocess.PIPE if args.json else None,
                                     stderr=err)
            out, _ = child.communicate()
    except OSError as e:
        # A program that is missing or cannot be executed fails every sequence, but still one
        # recorded per sequence, so that the summary says what went wrong.
        status.update(ok=False, exit_code=127, seconds=0.0, failed_stage=args.stage,
                      message=f"cannot run {command[0]}: {e.strerror}")
        write_json(args.status, status)
        return 0
    seconds = time.monotonic() - start
    if interrupted:
        if args.result:
            remove_tree(args.result)
        return 128 + interrupted[0]

    code = child.returncode
    status["seconds"] = round(seconds, 3)
    # The peak resident size of the command itself (kilobytes on Linux): exact even for runs
    # far shorter than the benchmark's sampling interval.
    status["max_rss_mb"] = round(resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss / 1024, 1)
    status["exit_code"] = code
    status["ok"] = code == 0
    if code == 0:
        status["message"] = ""
        if args.json:
            try:
                status["output"] = json.loads(out or b"null")
            except ValueError:
                status.update(ok=False, failed_stage=args.stage,
                              message="the command printed no valid JSON")
    else:
        status["failed_stage"] = args.stage
        if code < 0:
            try:
                name = signal.Signals(-code).name
            except ValueError:
                name = str(-code)
            cause = f"killed by signal {name}"
            if -code == signal.SIGKILL:
                cause += " (out of memory?)"
        else:
            cause = f"exit status {code}"
        detail = last_lines(log_path)
        status["message"] = f"{cause}: {detail}" if detail else cause
    if not status["ok"] and args.result:
        # A failed run may have written the first masks; a half result must not look like one.
        remove_tree(args.result)
    write_json(args.status, status)
    return 0


if __name__ == "__main__":
    sys.exit(main())
