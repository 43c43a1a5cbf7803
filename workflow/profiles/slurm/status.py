#!/usr/bin/env python3
"""Cluster status command for Snakemake: prints running, success or failed for a SLURM job id.

    status.py JOBID

Asks sacct (the accounting database, which knows finished jobs), then squeue and scontrol (which
know jobs in the queue, also where accounting is off or lags behind). Snakemake treats any
other output or a non-zero exit as a broken status command and stops, so this always prints one
of the three words and exits 0: when no command knows the job yet it is reported running, and
when the job has left the queue without a trace it is reported a success, leaving Snakemake to
check that its outputs exist.
"""
import subprocess
import sys

RUNNING = {"PENDING", "CONFIGURING", "RUNNING", "COMPLETING", "REQUEUED", "REQUEUE_FED",
           "REQUEUE_HOLD", "RESIZING", "SUSPENDED", "STOPPED", "SIGNALING", "STAGE_OUT",
           "RESV_DEL_HOLD", "SPECIAL_EXIT", "POWER_UP_NODE"}
SUCCESS = {"COMPLETED"}
FAILED = {"FAILED", "CANCELLED", "TIMEOUT", "OUT_OF_MEMORY", "NODE_FAIL", "PREEMPTED",
          "BOOT_FAIL", "DEADLINE", "REVOKED"}


def call(command):
    try:
        return subprocess.run(command, capture_output=True, text=True, timeout=60)
    except (OSError, subprocess.SubprocessError):
        return None


def run(command):
    done = call(command)
    return done.stdout if done is not None and done.returncode == 0 else None


def word(state):
    # "CANCELLED by 1234", "OUT_OF_MEMORY+" and the like: the state is the first word.
    state = state.strip().split()[0].rstrip("+").upper() if state.strip() else ""
    if state in SUCCESS:
        return "success"
    if state in FAILED:
        return "failed"
    if state in RUNNING:
        return "running"
    return None


def from_sacct(job):
    out = run(["sacct", "-j", job, "-X", "-n", "-P", "-o", "State"])
    # A requeued job has a line per run; the last is the current one.
    lines = [line for line in (out or "").splitlines() if line.strip()]
    return word(lines[-1]) if lines else None


def from_squeue(job):
    out = run(["squeue", "-h", "-j", job, "-o", "%T"])
    lines = [line for line in (out or "").splitlines() if line.strip()]
    return word(lines[-1]) if lines else None


def from_scontrol(job):
    out = run(["scontrol", "show", "job", job])
    for field in (out or "").split():
        if field.startswith("JobState="):
            return word(field.split("=", 1)[1])
    return None


def left_the_queue(job):
    """True when squeue answers and no longer knows the job; False when it cannot be asked."""
    done = call(["squeue", "-h", "-j", job, "-o", "%i"])
    if done is None:
        return False
    if done.returncode == 0:
        return not done.stdout.strip()
    return "invalid job id" in done.stderr.lower()


def main():
    if len(sys.argv) != 2:
        print("usage: status.py JOBID", file=sys.stderr)
        print("running")
        return 0
    # sbatch --parsable prints "id" or "id;cluster".
    job = sys.argv[1].split(";")[0].strip()
    for ask in (from_sacct, from_squeue, from_scontrol):
        state = ask(job)
        if state:
            print(state)
            return 0
    print("success" if left_the_queue(job) else "running")
    return 0


if __name__ == "__main__":
    sys.exit(main())
