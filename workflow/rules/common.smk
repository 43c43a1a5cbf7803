# The workflow's configuration read into the table of runs, the checks of trel's options
# and the per-job estimates; the rules are in the Snakefile.

import fnmatch
import glob
import itertools
import json
import math
import os
import re
import shlex
import subprocess
import sys

from snakemake.exceptions import WorkflowError

PY = sys.executable
STEP = os.path.join(workflow.basedir, "scripts", "step.py")
SUMMARIZE = os.path.join(workflow.basedir, "scripts", "summarize.py")

OUT = os.path.normpath(str(config.get("outdir", "results")))
TREL = str(config.get("trel", "trel"))
FRAME = re.compile(r"t\d{3,}\.tif")
SAFE = re.compile(r"[A-Za-z0-9._-]+")


class Verbatim:
    """Command-line text kept out of Snakemake's record of a job's parameters.

    Snakemake reruns a job whose recorded parameters changed. The path of the trel program and
    whether --threads is passed do not change a result, so changing them (a new build, a trel
    that has learnt --threads) must not redo every finished sequence. Snakemake leaves out of its
    record the parameters it cannot represent, which is what this plain object is to it.
    """

    def __init__(self, text):
        self.text = text

    def __str__(self):
        return self.text

    def __format__(self, format_text):
        return self.text


def trel_help(command):
    """`trel COMMAND --help`, or None when trel cannot be run here (a head node without it)."""
    try:
        done = subprocess.run([TREL, command, "--help"], capture_output=True, text=True,
                              timeout=60)
    except (OSError, subprocess.SubprocessError):
        return None
    return done.stdout if done.returncode == 0 else None


def option_names(help_text):
    if help_text is None:
        return None
    return set(re.findall(r"^\s+(?:-\w,\s*)?--([A-Za-z][\w-]*)", help_text, re.M))


TRACK_OPTIONS = option_names(trel_help("track"))
FILTER_OPTIONS = option_names(trel_help("filter"))
if TRACK_OPTIONS is None:
    print(f"trel workflow: cannot run '{TREL} track --help'; options are not checked and "
          "--threads is not passed unless pass_threads is true", file=sys.stderr)


def passes_threads(options):
    mode = str(config.get("pass_threads", "auto")).lower()
    if mode in ("true", "yes", "1", "on"):
        return True
    if mode in ("false", "no", "0", "off"):
        return False
    if mode != "auto":
        raise WorkflowError(f"pass_threads must be auto, true or false, not {mode!r}")
    return options is not None and "threads" in options


# Threads are requested only when trel can use them; otherwise a job would hold cores idle.
THREADS = {"track": 2, "filter": 2}
THREADS.update(config.get("threads") or {})
PASS_THREADS = {"track": passes_threads(TRACK_OPTIONS), "filter": passes_threads(FILTER_OPTIONS)}
TRACK_THREADS = int(THREADS["track"]) if PASS_THREADS["track"] else 1
FILTER_THREADS = int(THREADS["filter"]) if PASS_THREADS["filter"] else 1

# Options the workflow sets itself, per command.
RESERVED = {"track": {"json", "progress", "threads", "help"}, "filter": {"threads", "help"}}


def command_options(options, command, where):
    """A dict of options (name: value) as trel arguments; true is a flag, false or null none."""
    known = TRACK_OPTIONS if command == "track" else FILTER_OPTIONS
    args = []
    for key, value in (options or {}).items():
        name = str(key).lstrip("-").replace("_", "-")
        if name in RESERVED[command]:
            raise WorkflowError(f"{where}: --{name} is set by the workflow itself")
        if known is not None and name not in known:
            raise WorkflowError(f"{where}: 'trel {command}' has no option --{name} "
                                f"(it has: {', '.join(sorted(known - RESERVED[command]))})")
        if value is None or value is False:
            continue
        if value is True:
            args.append(f"--{name}")
        else:
            for item in value if isinstance(value, (list, tuple)) else [value]:
                args += [f"--{name}", str(item)]
    return args


def frames_of(folder):
    try:
        names = os.listdir(folder)
    except OSError:
        return []
    return sorted(os.path.join(folder, n) for n in names if FRAME.fullmatch(n))


def sequence_folders(patterns, where):
    """Sequence folders from paths or globs: a folder of frames tTTT.tif, or a data set folder
    NAME whose numbered subfolders NAME/01, NAME/02, ... hold frames."""
    if isinstance(patterns, str):
        patterns = [patterns]
    found = []
    for pattern in patterns or []:
        pattern = str(pattern)
        is_glob = glob.has_magic(pattern)
        matches = sorted(glob.glob(pattern)) if is_glob else [pattern]
        before = len(found)
        for match in matches:
            match = os.path.normpath(match)
            if match.endswith("_GT"):
                continue
            if frames_of(match):
                found.append(match)
                continue
            subfolders = []
            if os.path.isdir(match):
                subfolders = [os.path.join(match, d) for d in sorted(os.listdir(match))
                              if re.fullmatch(r"\d+", d) and frames_of(os.path.join(match, d))]
            if subfolders:
                found += subfolders
            elif not is_glob:
                raise WorkflowError(f"{where}: {match} holds no frames t000.tif, t001.tif, ... "
                                    "nor numbered sequence folders")
        if len(found) == before:
            raise WorkflowError(f"{where}: {pattern} matches no sequence folder")
    return found


def sequence_name(folder):
    base = os.path.basename(folder)
    parent = os.path.basename(os.path.dirname(os.path.abspath(folder)))
    name = f"{parent}_{base}" if re.fullmatch(r"\d+", base) and parent else base
    return re.sub(r"[^A-Za-z0-9._-]", "_", name)


def ground_truth(folder):
    gt = folder + "_GT"
    return gt if os.path.isfile(os.path.join(gt, "TRA", "man_track.txt")) else None


def excluded(folder, group):
    name = sequence_name(folder)
    return any(fnmatch.fnmatch(text, str(p)) for p in config.get("exclude") or []
               for text in (name, f"{group}/{name}", folder))


def parameter_set(settings, where):
    """Method, track arguments and filter arguments (None: no filter) of a group or set."""
    track = dict(settings.get("track") or {})
    method = str(track.pop("method", settings.get("method", "levelset")))
    if method not in ("levelset", "graphcut"):
        raise WorkflowError(f"{where}: method must be levelset or graphcut, not {method!r}")
    track_args = command_options(track, "track", where)
    flt = settings.get("filter")
    filter_args = None
    if flt is not None and flt is not False:
        filter_args = command_options({} if flt is True else flt, "filter", where)
    text = " ".join([method] + track_args)
    if filter_args is not None:
        text += "; filter " + (" ".join(filter_args) or "(defaults)")
    return {"method": method, "track_args": track_args, "filter_args": filter_args,
            "parameters": text}


RUNS = {}  # (kind, group folder, sequence) -> the run's description


def add_run(kind, folder_group, group, set_name, params, folder):
    name = sequence_name(folder)
    key = (kind, folder_group, name)
    if key in RUNS:
        raise WorkflowError(f"{kind} {folder_group}: two sequences are named {name} "
                            f"({RUNS[key]['input']} and {folder})")
    frames = frames_of(folder)
    sizes = [os.path.getsize(f) for f in frames]
    gt = ground_truth(folder)
    gt_files = []
    if gt:
        gt_files = sorted(glob.glob(os.path.join(gt, "TRA", "*")) +
                          glob.glob(os.path.join(gt, "SEG", "*")))
    RUNS[key] = dict(params, kind=kind, group=group, name=name, parameter_set=set_name,
                     input=folder, gt=gt, gt_files=gt_files, frames=frames,
                     frames_in=len(frames), bytes=sum(sizes), frame_bytes=max(sizes),
                     dir=os.path.join(OUT, kind, folder_group, name))


GROUPS = config.get("groups") or {}
if not isinstance(GROUPS, dict):
    raise WorkflowError("groups must map group names to their inputs and parameters")
for group, settings in GROUPS.items():
    group = str(group)
    if not SAFE.fullmatch(group):
        raise WorkflowError(f"group name {group!r}: use letters, digits, '.', '_' and '-'")
    settings = settings or {}
    params = parameter_set(settings, f"group {group}")
    for folder in sequence_folders(settings.get("inputs"), f"group {group}"):
        if not excluded(folder, group):
            add_run("runs", group, group, group, params, folder)
GROUP_RUNS = [run for key, run in RUNS.items() if key[0] == "runs"]


def sweep_sets(settings):
    """The sweep's parameter sets: the listed 'sets', then every combination of the 'grid'."""
    base = {"method": settings.get("method", "levelset"), "track": settings.get("track") or {},
            "filter": settings.get("filter")}
    sets = []
    for i, item in enumerate(settings.get("sets") or [], 1):
        item = dict(item or {})
        name = str(item.pop("name", f"s{i:02d}"))
        merged = dict(base, **{k: v for k, v in item.items() if k != "track"})
        merged["track"] = dict(base["track"], **(item.get("track") or {}))
        sets.append((name, merged))
    grid = settings.get("grid") or {}
    if grid:
        keys = list(grid)
        values = [v if isinstance(v, (list, tuple)) else [v] for v in grid.values()]
        for i, combination in enumerate(itertools.product(*values), 1):
            merged = dict(base, track=dict(base["track"], **dict(zip(keys, combination))))
            sets.append((f"p{i:02d}", merged))
    names = [name for name, _ in sets]
    for name in names:
        if not SAFE.fullmatch(name) or names.count(name) > 1:
            raise WorkflowError(f"sweep: parameter set name {name!r} is repeated or not a "
                                "plain name")
    return sets


SWEEP = config.get("sweep") or None
SWEEP_RUNS = []
if SWEEP:
    if SWEEP.get("inputs"):
        folders = sequence_folders(SWEEP["inputs"], "sweep")
    else:
        folders = list(dict.fromkeys(run["input"] for run in GROUP_RUNS))
    folders = [f for f in folders if ground_truth(f) and not excluded(f, "sweep")]
    if not folders:
        raise WorkflowError("sweep: no sequence with ground truth (NAME/01_GT/TRA/man_track.txt)")
    sets = sweep_sets(SWEEP)
    if not sets:
        raise WorkflowError("sweep: give a grid (option: [values]) or a list of sets")
    for name, settings in sets:
        params = parameter_set(settings, f"sweep set {name}")
        for folder in folders:
            add_run("sweep", name, "sweep", name, params, folder)
    SWEEP_RUNS = [run for key, run in RUNS.items() if key[0] == "sweep"]

if not RUNS:
    raise WorkflowError("the configuration lists no sequence: give groups (and/or a sweep)")


def run_of(wildcards):
    try:
        return RUNS[(wildcards.kind, wildcards.group, wildcards.seq)]
    except KeyError:
        raise WorkflowError(f"{wildcards.kind}/{wildcards.group}/{wildcards.seq} is not a "
                            "sequence of the configuration")


# Resources from the sequence's size. trel holds a few frames at a time, so memory follows the
# largest frame and time the whole sequence; both grow with the attempt, so that a job killed by
# the cluster for its memory or time is retried with more (restart-times in the profile).
RESOURCES = {
    "mem_mb": 512,
    "mem_per_frame": {"levelset": 40, "graphcut": 100, "filter": 40, "other": 20},
    "runtime": 10,
    "runtime_per_mb": {"levelset": 0.05, "graphcut": 0.5, "filter": 0.1, "other": 0.01},
}
for key, value in (config.get("resources") or {}).items():
    if isinstance(value, dict):
        RESOURCES[key] = dict(RESOURCES.get(key, {}), **value)
    else:
        RESOURCES[key] = value


def factor(table, kind):
    return float(RESOURCES[table].get(kind, RESOURCES[table].get("other", 0)))


def mem_mb(step):
    def estimate(wildcards, attempt):
        run = run_of(wildcards)
        kind = run["method"] if step == "track" else step
        extra = factor("mem_per_frame", kind) * run["frame_bytes"] / 2**20
        return int(math.ceil((float(RESOURCES["mem_mb"]) + extra) * attempt))
    return estimate


def runtime(step):
    def estimate(wildcards, attempt):
        run = run_of(wildcards)
        kind = run["method"] if step == "track" else step
        extra = factor("runtime_per_mb", kind) * run["bytes"] / 2**20
        return int(math.ceil((float(RESOURCES["runtime"]) + extra) * attempt))
    return estimate


def threads_option(command):
    return lambda wildcards, threads: Verbatim(
        f"--threads {threads}" if PASS_THREADS[command] else "")


def meta(wildcards):
    run = run_of(wildcards)
    keys = ("kind", "group", "name", "parameter_set", "method", "parameters", "input", "gt",
            "frames_in")
    return json.dumps({k: run[k] for k in keys}, sort_keys=True)


RUN = os.path.join(OUT, "{kind}", "{group}", "{seq}")
TRELCMD = Verbatim(shlex.quote(TREL))


def track_inputs(wildcards):
    """The frames, or the filter's status when the run tracks the filter's output."""
    run = run_of(wildcards)
    if run["filter_args"] is not None:
        return {"filtered": os.path.join(run["dir"], "filter.json")}
    return {"frames": run["frames"]}


def tracked_folder(wildcards):
    run = run_of(wildcards)
    if run["filter_args"] is not None:
        return os.path.join(run["dir"], "filtered")
    return run["input"]


# The sweep's runs are scored, not looked at: they get no report page.
def summary_inputs(runs, reports=True):
    files = []
    for run in runs:
        d = run["dir"]
        files += [os.path.join(d, f) for f in ("status.json", "validate.json", "measure.json")]
        if reports:
            files.append(os.path.join(d, "report.json"))
        files.append(os.path.join(d, "bench", "track.tsv"))
        if run["gt"]:
            files.append(os.path.join(d, "eval.json"))
        if run["filter_args"] is not None:
            files.append(os.path.join(d, "bench", "filter.tsv"))
    return files


TARGETS = []
if GROUP_RUNS or not SWEEP:
    TARGETS += [os.path.join(OUT, "summary.csv"), os.path.join(OUT, "summary.md")]
if SWEEP:
    TARGETS += [os.path.join(OUT, "sweep.csv"), os.path.join(OUT, "sweep.md")]
