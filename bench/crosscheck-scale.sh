#!/bin/sh
# stats-crosscheck end to end on synthetic contests (every check on: reconciliation, clock
# offsets, mismatches, inferred busts): wall and CPU time and peak memory of the whole run
# (reading, matching, scoring every log twice through the plug-in, writing the reports), whether
# the reports name exactly the injected faults of the exact kinds, and the precision and recall
# of the inferred ones. Prints a Markdown table (the counters of /usr/bin/time -v).
# With --contest FILE the contest is that definition's (its bands, modes, period and exchange, text
# fields included), generated and cross-checked by it; without, SA-TOLVEN scored through the plug-in.
#   bench/crosscheck-scale.sh [--contest FILE] [LOGS:QSOS_PER_LOG...]   (default: 1000:1000 3000:1000 8500:650)
set -eu
definition=
if [ "${1:-}" = --contest ]; then definition=$(realpath "$2"); shift 2; fi
cd "$(dirname "$0")/.."
native=$PWD/build/native
sizes=${*:-1000:1000 3000:1000 8500:650}
if [ -n "$definition" ]; then contest="--contest $definition"; else contest="--start 2026-03-07 --end 2026-03-08"; fi
echo "$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), $(nproc) cores, $(free -g | awk '/Mem:/ {print $2}') GB${definition:+; contest $(basename "$definition")}"
scratch=$(mktemp -d /tmp/stats-crosscheck-scale.XXXXXX)
trap 'rm -rf "$scratch"' EXIT
echo "| logs | QSOs | wall | CPU (user + sys) | peak memory | per QSO | exact kinds: flagged = injected | inferred: precision, recall |"
echo "|---:|---:|---:|---:|---:|---:|:---:|:---:|"
for size in $sizes; do
  logs=${size%%:*}
  q=${size##*:}
  c=$scratch/c$size r=$scratch/r$size
  "$native/make-contest" ${definition:+--contest "$definition"} --stations "$logs" --qsos "$q" --seed 7 --faults 0.01 "$c" 2>"$scratch/make.txt"
  qsos=$(sed -n 's/.*logs, \([0-9]*\) QSOs.*/\1/p' "$scratch/make.txt")
  # The machine is shared: the load average before and after the run says what else it ran.
  load=$(cut -d' ' -f1 /proc/loadavg)
  /usr/bin/time -v -o "$scratch/time.txt" \
    "$native/stats-crosscheck" --cty "$c/cty.dat" $contest --out "$r" "$c/logs" >/dev/null
  echo "$logs logs: load average $load before, $(cut -d' ' -f1 /proc/loadavg) after" >&2
  read -r wall user sys kb <<EOF
$(awk -F': ' '/Elapsed/ {n = split($2, t, ":"); s = 0; for (i = 1; i <= n; ++i) s = s * 60 + t[i]; w = s}
              /User time/ {u = $2} /System time/ {y = $2} /Maximum resident/ {m = $2}
              END {print w, u, y, m}' "$scratch/time.txt")
EOF
  python3 - "$c" "$r" "$wall" "$user" "$sys" "$kb" "$qsos" "$logs" <<'PY'
import csv, glob, os, re, sys
c, r = sys.argv[1], sys.argv[2]
wall, user, sys_, kb, n, logs = map(float, sys.argv[3:9])
injected = {}
for row in csv.DictReader(open(os.path.join(c, "faults.csv"))):
    if row["line"] != "0":
        injected[(row["call"], int(row["line"]))] = row["verdict"]
flagged = {}
for f in glob.glob(os.path.join(r, "*.ubn")):
    call = os.path.basename(f)[:-4]
    for line in open(f, newline=""):
        if line.startswith("How others copied you"):
            break
        m = re.match(r"^([A-Z][A-Za-z ()]*?)(?: \([a-z]+: copied [^)]*\))? +line (\d+) ", line)
        if m and "QSO:" in line:
            flagged[(call, int(m.group(2)))] = m.group(1)
inferred = lambda v: v.endswith("(inferred)")
exact_inj = {k: v for k, v in injected.items() if not inferred(v)}
exact_flag = {k: v for k, v in flagged.items() if not inferred(v) and not (v == "UNIQUE" and inferred(injected.get(k, "")))}
same = "yes (%d)" % len(exact_inj) if exact_flag == exact_inj else "no"
inf_inj = {k for k, v in injected.items() if inferred(v)}
inf_flag = {k for k, v in flagged.items() if inferred(v)}
right = sum(1 for k in inf_flag if injected.get(k) == flagged[k])
prec = right / len(inf_flag) if inf_flag else 1.0
rec = right / len(inf_inj) if inf_inj else 1.0
print(f"| {int(logs):,} | {int(n):,} | {wall:.1f} s | {user + sys_:.1f} s | {kb / 1024:.0f} MB | {kb * 1024 / n:.0f} B | {same} | {prec:.3f}, {rec:.3f} ({len(inf_inj)}) |")
PY
  rm -rf "$c" "$r"
done
