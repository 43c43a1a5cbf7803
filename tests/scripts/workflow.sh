#!/bin/bash
# The Snakemake workflow (workflow/Snakefile) on small synthetic sequences, as a user runs it:
# - a local run over 2D, 3D, no-ground-truth and broken sequences, plus a sweep of two parameter
#   sets: the broken sequence fails alone and the summary and the ranking are still built, with
#   every count and measure matching what trel itself reports;
# - resume: sequences finished by an earlier (partial) run are not redone, a rerun has nothing to
#   do, and repairing the broken frame reruns that sequence only;
# - the SLURM profile against stand-ins for sbatch, sacct, squeue, scontrol and scancel, with a
#   trel that lists --threads: each job is submitted with its threads and memory, and track runs
#   get --threads.
# Exits 77 (skipped) when snakemake is not installed.
# Usage: workflow.sh TREL
set -euo pipefail
if ! command -v snakemake >/dev/null; then
  echo "snakemake is not installed: skipped"
  exit 77
fi
trel=$(realpath "$1")
repo=$(cd "$(dirname "$0")/../.." && pwd)
py=/usr/bin/python3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
failed=0
fail() {
  echo "FAIL: $*"
  failed=1
}
smk() { snakemake -s "$repo/workflow/Snakefile" "$@"; }

mkdir data
"$trel" synth data/two --size 64 --frames 8 --cells 3 --seed 2 >/dev/null
"$trel" synth data/three --dim 3 --size 48 --depth 8 --frames 5 --cells 3 --seed 1 >/dev/null
"$trel" synth data/nogt --size 64 --frames 5 --cells 3 --seed 4 >/dev/null
rm -r data/nogt/01_GT
"$trel" synth data/broken --size 64 --frames 6 --cells 3 --seed 3 >/dev/null
cp data/broken/01/t003.tif good_t003.tif
truncate -s 100 data/broken/01/t003.tif

# The sweep's second set keeps no object at all: a parameter set that finds nothing must rank
# below one that finds the cells.
cat >config.yaml <<EOF
trel: $trel
groups:
  ls:
    inputs: [data/*/01]
    method: levelset
    track: {min-size: 30}
  gc:
    inputs: [data/two]
    method: graphcut
    filter: {steps: 2}
sweep:
  method: levelset
  grid:
    min-size: [30, 100000]
EOF

# A first, partial run: one sequence only, as if the workflow had been stopped after it.
smk --configfile config.yaml --cores 2 results/runs/ls/two_01/status.json >partial.log 2>&1 ||
  { cat partial.log; exit 1; }
first=$(stat -c %Y.%y results/runs/ls/two_01/status.json)

start=$(date +%s)
smk --configfile config.yaml --profile "$repo/workflow/profiles/local" --cores 2 >run.log 2>&1 ||
  { tail -40 run.log; exit 1; }
echo "local run: $(($(date +%s) - start)) s"
[ "$(stat -c %Y.%y results/runs/ls/two_01/status.json)" = "$first" ] ||
  fail "the sequence finished by the partial run was tracked again"
# --threads goes to trel exactly when its help lists the option.
listed=no
"$trel" track --help | grep -q -- "--threads" && listed=yes
passed=no
grep -q -- '"--threads"' results/runs/ls/two_01/status.json && passed=yes
[ $listed = $passed ] || fail "trel lists --threads: $listed, the workflow passed it: $passed"

# summary.csv: every sequence with its status; the counts are res_track.txt's, the measures
# trel eval's (recomputed here), time and memory positive.
"$py" - "$trel" <<'EOF' || failed=1
import csv, json, subprocess, sys
trel = sys.argv[1]
rows = {(r["group"], r["name"]): r for r in csv.DictReader(open("results/summary.csv"))}
expected = {("ls", "two_01"): "ok", ("ls", "three_01"): "ok", ("ls", "nogt_01"): "ok",
            ("ls", "broken_01"): "failed", ("gc", "two_01"): "ok"}
bad = []
if set(rows) != set(expected):
    bad.append(f"summary rows {sorted(rows)}, expected {sorted(expected)}")
for key, status in expected.items():
    row = rows.get(key)
    if row is None:
        continue
    if row["status"] != status:
        bad.append(f"{key}: status {row['status']} ({row['message']}), expected {status}")
        continue
    if status == "failed":
        if "t003.tif" not in row["message"] or row["tracks"] or row["TRA"]:
            bad.append(f"{key}: failed row without the cause or with results: {row}")
        continue
    lineage = [l.split() for l in open(f"results/runs/{key[0]}/{key[1]}/res/res_track.txt")]
    if int(row["tracks"]) != len(lineage) or \
            int(row["divisions"]) != sum(l[3] != "0" for l in lineage):
        bad.append(f"{key}: tracks/divisions {row['tracks']}/{row['divisions']} do not match "
                   "res_track.txt")
    if float(row["seconds"]) <= 0 or float(row["max_rss_mb"]) <= 0:
        bad.append(f"{key}: time {row['seconds']} s, memory {row['max_rss_mb']} MB")
    if key[1] == "nogt_01":
        if row["SEG"] or row["TRA"]:
            bad.append(f"{key}: measures without ground truth")
        continue
    base = key[1].split("_")[0]
    measures = json.loads(subprocess.run(
        [trel, "eval", "--gt", f"data/{base}/01_GT", "--res",
         f"results/runs/{key[0]}/{key[1]}/res", "--json"],
        check=True, capture_output=True).stdout)
    for m in ("SEG", "DET", "TRA"):
        if abs(float(row[m]) - measures[m]) > 1e-6:
            bad.append(f"{key}: {m} {row[m]}, trel eval says {measures[m]}")
if int(rows[("ls", "two_01")]["frames"]) != 8 or int(rows[("ls", "three_01")]["frames"]) != 5:
    bad.append("frame counts wrong")
md = open("results/summary.md").read()
if "broken_01" not in md or "failed" not in md:
    bad.append("summary.md does not show the failed sequence")
for b in bad:
    print(f"FAIL: {b}")
sys.exit(1 if bad else 0)
EOF
for f in objects.csv tracks.csv; do
  [ -s "results/runs/ls/three_01/tables/$f" ] || fail "trel measure did not write $f"
done
grep -q "results/runs/ls/three_01/report/report.html" results/summary.csv &&
  [ -s results/runs/ls/three_01/report/report.html ] || fail "no report page in the summary"

# sweep.csv: both sets on the three sequences with ground truth, ranked by mean TRA where the
# broken sequence counts 0; the set that keeps no object is last.
"$py" - <<'EOF' || failed=1
import csv, sys
ranking = list(csv.DictReader(open("results/sweep.csv")))
runs = list(csv.DictReader(open("results/sweep_runs.csv")))
bad = []
if [r["parameters"] for r in ranking] != ["levelset --min-size 30", "levelset --min-size 100000"]:
    bad.append(f"ranking {[r['parameters'] for r in ranking]}")
for r in ranking:
    mine = [x for x in runs if x["parameter_set"] == r["parameter_set"]]
    names = sorted(x["name"] for x in mine)
    if names != ["broken_01", "three_01", "two_01"] or r["sequences"] != "3" or r["failed"] != "1":
        bad.append(f"set {r['parameter_set']}: runs {names}, {r['sequences']} seq, "
                   f"{r['failed']} failed")
        continue
    mean = sum(float(x["TRA"]) if x["status"] == "ok" else 0.0 for x in mine) / 3
    if abs(float(r["mean_TRA"]) - mean) > 1e-5:
        bad.append(f"set {r['parameter_set']}: mean TRA {r['mean_TRA']}, runs give {mean}")
if [r["rank"] for r in ranking] != ["1", "2"] or \
        float(ranking[0]["mean_TRA"]) <= float(ranking[1]["mean_TRA"]):
    bad.append("ranks not ordered by mean TRA")
if "min-size 100000" not in open("results/sweep.md").read():
    bad.append("sweep.md lacks the parameter sets")
for b in bad:
    print(f"FAIL: {b}")
sys.exit(1 if bad else 0)
EOF

# Resume: nothing left to do; the failed sequence is listed for a forced rerun.
smk --configfile config.yaml --cores 2 -n >dry.log 2>&1 || { cat dry.log; exit 1; }
grep -q "Nothing to be done" dry.log ||
  fail "a second run would redo work: $(grep -A12 'Job stats' dry.log)"
listed=$("$py" "$repo/workflow/scripts/failed.py" results | sort | tr '\n' ' ')
expected=""
for run in runs/ls sweep/p01 sweep/p02; do expected+="results/$run/broken_01/status.json "; done
[ "$listed" = "$expected" ] ||
  fail "failed.py lists: $listed"

[ ! -e results/runs/ls/broken_01/res ] || fail "the failed run's partial masks were kept"

# A step interrupted (the workflow stopped) leaves no status, so that it runs again; a command
# killed on its own (the out-of-memory killer) is a recorded failure.
step=$repo/workflow/scripts/step.py
"$py" "$step" --status interrupted.json --result partial -- \
  bash -c 'echo $$ >child.pid; mkdir partial; exec sleep 30' &
pid=$!
sleep 0.5
kill -TERM $pid
status=0
wait $pid || status=$?
[ $status = 143 ] && [ ! -e interrupted.json ] && [ ! -e partial ] ||
  fail "interrupted step: exit $status, status file or result left"
! kill -0 "$(cat child.pid)" 2>/dev/null || fail "the interrupted step left its command running"
"$py" "$step" --status killed.json -- bash -c 'kill -KILL $$' ||
  fail "a killed command made the step fail"
grep -q '"message": "killed by signal SIGKILL' killed.json ||
  fail "killed command: $(cat killed.json)"

# Repairing the frame reruns that sequence and nothing else.
stamps() { stat -c '%n %Y.%y' results/*/*/*/status.json | grep -v broken_01; }
before=$(stamps)
cp good_t003.tif data/broken/01/t003.tif
smk --configfile config.yaml --cores 2 >repair.log 2>&1 || { tail -40 repair.log; exit 1; }
[ "$(stamps)" = "$before" ] || fail "repairing one sequence reran others"
grep -q "^ls,broken_01,.*,ok," results/summary.csv ||
  fail "repaired sequence not ok: $(grep broken results/summary.csv)"

# The SLURM profile with stand-ins: sbatch records its arguments, runs the job script in the
# background and prints a job id; the job's end state is kept in a file that sacct, squeue and
# scontrol report.
mkdir -p fake slurm
cat >fake/sbatch <<EOF
#!/bin/bash
exec 9>"$work/slurm/lock"
flock 9
id=\$((\$(cat "$work/slurm/next" 2>/dev/null || echo 1000) + 1))
echo "\$id" >"$work/slurm/next"
flock -u 9
echo "\$id \$*" >>"$work/slurm/sbatch.log"
out=/dev/null
for a in "\$@"; do case \$a in --output=*) out=\${a#--output=}; out=\${out//%j/\$id} ;; esac; done
script=\${@: -1}
echo RUNNING >"$work/slurm/state.\$id"
(
  if bash "\$script" >"\$out" 2>&1; then state=COMPLETED; else state=FAILED; fi
  echo \$state >"$work/slurm/state.\$id.tmp"
  mv "$work/slurm/state.\$id.tmp" "$work/slurm/state.\$id"
) </dev/null >/dev/null 2>&1 &
echo "\$id"
EOF
cat >fake/sacct <<EOF
#!/bin/bash
while [ \$# -gt 0 ]; do [ "\$1" = -j ] && id=\$2; shift; done
cat "$work/slurm/state.\$id" 2>/dev/null || true
EOF
cat >fake/squeue <<EOF
#!/bin/bash
while [ \$# -gt 0 ]; do [ "\$1" = -j ] && id=\$2; shift; done
grep -x RUNNING "$work/slurm/state.\$id" 2>/dev/null || true
EOF
cat >fake/scontrol <<EOF
#!/bin/bash
echo "JobId=\$3 JobState=\$(cat "$work/slurm/state.\$3" 2>/dev/null || echo PENDING)"
EOF
cat >fake/scancel <<EOF
#!/bin/bash
echo "\$*" >>"$work/slurm/scancel.log"
EOF
# trel as it will be once track has --threads: listed in its help, recorded, then dropped.
cat >fake/trel-threads <<EOF
#!/bin/bash
if [ "\${2:-}" = --help ]; then
  "$trel" "\$@"
  echo "  --threads UINT              Worker threads"
  exit 0
fi
args=()
while [ \$# -gt 0 ]; do
  if [ "\$1" = --threads ]; then
    echo "\${args[0]} \$2" >>"$work/slurm/threads.log"
    shift 2
    continue
  fi
  args+=("\$1")
  shift
done
exec "$trel" "\${args[@]}"
EOF
chmod +x fake/*
cat >cluster.yaml <<EOF
trel: $work/fake/trel-threads
outdir: cluster
threads: {track: 2}
groups:
  ls:
    inputs: [data/two/01, data/broken/01]
    method: levelset
    track: {min-size: 30}
EOF
truncate -s 100 data/broken/01/t003.tif
start=$(date +%s)
# Snakemake polls job states every 10 s, every second when CI is true.
PATH="$work/fake:$PATH" CI=true smk --configfile cluster.yaml \
  --profile "$repo/workflow/profiles/slurm" --jobs 2 --latency-wait 5 >cluster.log 2>&1 ||
  { tail -40 cluster.log; exit 1; }
echo "cluster run: $(($(date +%s) - start)) s"
submitted=$(wc -l <slurm/sbatch.log)
# track, validate, eval, measure and report for each of the two sequences; the summary runs
# locally.
[ "$submitted" = 10 ] || fail "$submitted jobs submitted, expected 10: $(cat slurm/sbatch.log)"
while read -r id args; do
  case $args in
    *--cpus-per-task=*) ;;
    *) fail "job $id submitted without --cpus-per-task: $args" ;;
  esac
  [[ $args =~ --mem=([0-9]+) ]] && [ "${BASH_REMATCH[1]}" -ge 512 ] ||
    fail "job $id submitted without --mem of at least the base: $args"
  [[ $args =~ --time=[0-9]+ ]] || fail "job $id submitted without --time: $args"
  case $args in
    *trel.track.*--cpus-per-task=2* | *--cpus-per-task=2*trel.track.*) ;;
    *trel.track.*) fail "track job $id not given its 2 threads: $args" ;;
    *--cpus-per-task=1*) ;;
    *) fail "job $id: $args" ;;
  esac
  [ "$(cat "slurm/state.$id")" = COMPLETED ] || fail "job $id ended $(cat "slurm/state.$id")"
done <slurm/sbatch.log
[ "$(sort slurm/threads.log 2>/dev/null | tr '\n' ' ')" = "track 2 track 2 " ] ||
  fail "track runs given --threads: $(cat slurm/threads.log 2>/dev/null)"
grep -q "^ls,two_01,.*,ok," cluster/summary.csv || fail "cluster: two_01 not ok"
grep -q "^ls,broken_01,.*,failed," cluster/summary.csv || fail "cluster: broken_01 not failed"
ls logs/slurm/track/ls.two_01.*.log >/dev/null 2>&1 || fail "no job log under logs/slurm"

# The status command's reading of SLURM states ("id;cluster" as sbatch --parsable may print it).
for case in COMPLETED:success OUT_OF_MEMORY:failed "CANCELLED by 0:failed" TIMEOUT:failed \
  PENDING:running; do
  echo "${case%:*}" >slurm/state.9999
  got=$(PATH="$work/fake:$PATH" "$repo/workflow/profiles/slurm/status.py" "9999;main")
  [ "$got" = "${case#*:}" ] || fail "status.py: ${case%:*} -> $got"
done

[ $failed = 0 ] && echo "workflow: all checks passed"
exit $failed
