#!/usr/bin/env bash
# Times the log robot against the command-line tools on one log: the upload to its answer (check,
# replay, score, report page, all stored) against stats-verify (check and replay) followed by
# stats-replay --report, each the median of RUNS runs. Needs the native build.
# Usage: scripts/bench-robot.sh LOG [RUNS]
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
log=$(realpath "$1")
runs=${2:-5}
bin=$repo/build/native
work=$(mktemp -d)
trap 'kill $pid 2>/dev/null || true; wait $pid 2>/dev/null || true; rm -rf "$work"' EXIT
pid=0

now() { date +%s.%N; }
median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }

cli=()
for _ in $(seq "$runs"); do
    t0=$(now)
    "$bin/stats-verify" --cty none "$log" >/dev/null 2>&1 || true
    "$bin/stats-replay" --cty none --dir "$work/cli" --report "$work/report.html" "$log" >/dev/null 2>&1
    cli+=("$(awk -v a="$(now)" -v b="$t0" 'BEGIN {print a - b}')")
done

"$bin/stats-robot" --data "$work/robot" --listen 127.0.0.1:0 --cty none --jobs 1 >"$work/out" 2>/dev/null &
pid=$!
for _ in $(seq 100); do grep -q '^listening' "$work/out" 2>/dev/null && break; sleep 0.1; done
url=$(sed -n 's/^listening on //p' "$work/out")
robot=()
for _ in $(seq "$runs"); do
    t0=$(now)
    curl -sf -o /dev/null -H 'Content-Type: text/plain' --data-binary @"$log" "${url}api/logs" || true
    robot+=("$(awk -v a="$(now)" -v b="$t0" 'BEGIN {print a - b}')")
done
peak=$(awk '/VmHWM/ {print $2}' "/proc/$pid/status")

c=$(printf '%s\n' "${cli[@]}" | median)
r=$(printf '%s\n' "${robot[@]}" | median)
printf 'log: %s (%s lines, %s bytes)\n' "$(basename "$log")" "$(wc -l <"$log")" "$(stat -c %s "$log")"
printf 'command line (stats-verify + stats-replay --report): median %.3f s of %d\n' "$c" "$runs"
printf 'robot (upload to answer):                           median %.3f s of %d\n' "$r" "$runs"
printf 'ratio robot / command line: %.2f; robot server peak memory %s KiB\n' "$(awk -v r="$r" -v c="$c" 'BEGIN {print r / c}')" "$peak"
