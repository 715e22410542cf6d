#!/usr/bin/env bash
# A contest's season through the log robot, as a committee runs it, in one command: a robot on a
# fresh data folder takes every log as its station would send it, runs the cross-check and
# publishes it with the stations' reports; then the same logs go through stats-crosscheck, and the
# two results.csv are compared. Prints what was taken and refused, the published categories, and
# whether every score is the same.
#   scripts/robot-season.sh --contest contests/nrau-baltic-ssb.toml LOG...
# Needs the native build (build/native: stats-robot, stats-crosscheck, Stats.so) and curl.
# --keep DIR keeps the robot's data folder and both outputs in DIR.
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
say() { echo "robot-season: $*"; }

contest="" keep=""
logs=()
while [[ $# -gt 0 ]]; do
    case $1 in
        --contest) contest=$2; shift 2 ;;
        --keep) keep=$2; shift 2 ;;
        *) logs+=("$1"); shift ;;
    esac
done
[[ -n $contest && ${#logs[@]} -gt 0 ]] || { echo "usage: $0 --contest FILE [--keep DIR] LOG..." >&2; exit 2; }
build=$repo/build/native
for program in stats-robot stats-crosscheck; do
    [[ -x $build/$program ]] || { say "no $build/$program: build the native preset first"; exit 1; }
done

work=${keep:-$(mktemp -d)}
mkdir -p "$work"
robot_pid=""
cleanup() {
    [[ -n $robot_pid ]] && kill "$robot_pid" 2>/dev/null && wait "$robot_pid" 2>/dev/null
    [[ -n $keep ]] || rm -rf "$work"
}
trap cleanup EXIT

rm -rf "$work/robot"
"$build/stats-robot" --data "$work/robot" --listen 127.0.0.1:0 --contest "$contest" --cty none \
    --uploads-per-minute 100000 >"$work/robot.out" 2>"$work/robot.err" &
robot_pid=$!
for _ in $(seq 100); do
    grep -q '^listening on ' "$work/robot.out" 2>/dev/null && break
    sleep 0.1
done
url=$(sed -n 's|^listening on \(http://[^ ]*\)$|\1|p' "$work/robot.out")
[[ -n $url ]] || { say "the robot did not start:"; cat "$work/robot.err" >&2; exit 1; }
token=$(cat "$work/robot/committee-token")
auth=(-H "Authorization: Bearer $token")

# A station's later upload replaces its earlier one: stats-crosscheck gets the logs the robot kept
# (and those it refused), not two logs of one call, which it would both set aside.
accepted=0 refused=0 checked=()
declare -A latest=()
for log in "${logs[@]}"; do
    answer=$(curl -s -w '\n%{http_code}' -H 'Content-Type: text/plain' --data-binary "@$log" "${url}api/logs")
    case ${answer##*$'\n'} in
        201) accepted=$((accepted + 1))
             call=$(sed -n 's/^CALLSIGN:[[:space:]]*\([^[:space:]]*\).*/\1/Ip' "$log" | head -1 | tr a-z A-Z)
             latest[${call:-$log}]=$log ;;
        *) refused=$((refused + 1)) checked+=("$log")
           say "refused $(basename "$log"): $(sed -n 's/.*"summary":"\([^"]*\)".*/\1/p' <<<"${answer%$'\n'*}")" ;;
    esac
done
say "${#logs[@]} logs sent: $accepted accepted, $refused refused"
checked+=("${latest[@]}")
(( accepted == ${#latest[@]} )) || say "$((accepted - ${#latest[@]})) accepted log(s) replaced by a later one of the same call"

run=$(curl -s -X POST "${auth[@]}" "${url}api/crosscheck" | sed -n 's/.*"id":\([0-9]*\).*/\1/p')
[[ -n $run ]] || { say "the cross-check did not start"; exit 1; }
state=running
for _ in $(seq 1200); do
    state=$(curl -s "${auth[@]}" "${url}api/crosscheck/$run" | sed -n 's/.*"state":"\([a-z]*\)".*/\1/p')
    [[ $state == running ]] || break
    sleep 0.5
done
[[ $state == done ]] || { say "run $run ended $state"; exit 1; }
curl -s -X POST "${auth[@]}" "${url}api/crosscheck/$run/publish?reports=1" >/dev/null
curl -s "${auth[@]}" -o "$work/robot-results.csv" "${url}api/crosscheck/$run/results.csv"
curl -s -o "$work/results.html" "${url}results/"
say "published run $run: $(grep -o '<h2[^>]*>[^<]*</h2>' "$work/results.html" | sed "s/<[^>]*>//g; s/&#39;/'/g; s/&quot;/\"/g; s/&lt;/</g; s/&gt;/>/g; s/&amp;/\\&/g" | paste -sd ';' | sed 's/;/; /g')"

"$build/stats-crosscheck" --contest "$contest" --cty none --out "$work/crosscheck" "${checked[@]}" >/dev/null
if cmp -s "$work/robot-results.csv" "$work/crosscheck/results.csv"; then
    say "the robot's results.csv is byte for byte stats-crosscheck's on the same ${#checked[@]} logs"
else
    say "the robot's results.csv differs from stats-crosscheck's:"
    diff "$work/robot-results.csv" "$work/crosscheck/results.csv" | head -20
    exit 1
fi
