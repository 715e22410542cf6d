#!/usr/bin/env bash
# The log robot at the deadline: UPLOADS uploads of generated SA-TOLVEN logs of 500 to 8,000 QSOs
# (sizes spread evenly on a log scale, the same logs on every run) from CLIENTS clients at once, each
# from a loopback address of its own (127.0.0.2, 127.0.0.3, ...), against a robot with --jobs JOBS.
# While they go on, the committee's page is read every second (its first page and a search by call)
# and one --backup is taken when half the uploads are answered. Reports: the answers by status
# (nothing lost, no 5xx), the answer times, the uploads scored per second, the committee page's time
# and size during the load, the backup's time. Needs the native build (stats-robot, Stats), curl
# and python3. Not part of the test command.
# Usage: scripts/bench-robot.sh [--uploads N] [--clients N] [--jobs N] [--keep DIR]
#        (default: 1000 uploads, 32 clients, 2 jobs; --keep: the logs and the robot's folder kept in DIR)
#        scripts/bench-robot.sh --compare LOG [RUNS]   (one log: the upload against the command-line
#                                                       tools, each the median of RUNS runs)
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
bin=${STATS_BIN:-$repo/build/native}  # another build's stats-robot and Stats.so, to compare
work=$(mktemp -d)
pid=0
keep=""
trap 'kill $pid 2>/dev/null || true; wait $pid 2>/dev/null || true; [[ -n $keep ]] && mv "$work" "$keep"; rm -rf "$work"' EXIT

now() { date +%s.%N; }
median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
# The p-th percentile (0-100) of the numbers on stdin.
percentile() { sort -n | awk -v p="$1" '{a[NR]=$1} END {i=int(NR*p/100+0.999); if (i<1) i=1; print a[i]}'; }

# Starts the robot with the given options; sets url and pid.
start_robot() {
    "$bin/stats-robot" --data "$work/robot" --listen 127.0.0.1:0 --cty none "$@" >"$work/out" 2>"$work/err" &
    pid=$!
    for _ in $(seq 100); do grep -q '^listening' "$work/out" 2>/dev/null && break; sleep 0.1; done
    url=$(sed -n 's/^listening on //p' "$work/out")
    [[ -n $url ]] || { echo "bench-robot: the robot did not start:" >&2; cat "$work/err" >&2; exit 1; }
}

compare() {
    local log runs cli=() robot=()
    log=$(realpath "$1")
    runs=${2:-5}
    for _ in $(seq "$runs"); do
        t0=$(now)
        "$bin/stats-verify" --cty none "$log" >/dev/null 2>&1 || true
        "$bin/stats-replay" --cty none --dir "$work/cli" --report "$work/report.html" "$log" >/dev/null 2>&1
        cli+=("$(awk -v a="$(now)" -v b="$t0" 'BEGIN {print a - b}')")
    done
    start_robot --jobs 1
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
    printf 'ratio robot / command line: %.2f; robot server peak memory %s KiB\n' \
        "$(awk -v r="$r" -v c="$c" 'BEGIN {print r / c}')" "$peak"
}

# UPLOADS logs into $work/logs/NNNN.cbr: one in ten a new version of a log sent before (another size),
# the others each of a call of its own; worked calls from a pool that holds the senders and three times
# as many stations that send no log; QSOs in time order over the contest's 24 hours.
make_logs() {
    python3 - "$work/logs" "$1" <<'EOF'
import math, os, random, sys
folder, count = sys.argv[1], int(sys.argv[2])
os.makedirs(folder)
rng = random.Random(7)
prefixes = ["LU", "PY", "CE", "CX", "HK", "YV", "OA", "ZP", "CP", "HC", "K", "W", "DL", "G", "JA", "EA", "I", "VE"]
def call():
    return rng.choice(prefixes) + str(rng.randrange(10)) + "".join(rng.choice("ABCDEFGHIJKLMNOPQRSTUVWXYZ") for _ in range(rng.choice((2, 3))))
calls = sorted({call() for _ in range(4 * count)})
rng.shuffle(calls)
senders, pool = calls[:count], calls
sent = []
for i in range(count):
    own = rng.choice(sent) if sent and rng.random() < 0.1 else senders[i]
    sent.append(own)
    qsos = int(500 * math.exp(rng.random() * math.log(16)))
    lines = ["START-OF-LOG: 3.0", "CALLSIGN: " + own, "CONTEST: SA-TOLVEN", "CATEGORY-OPERATOR: SINGLE-OP",
             "CATEGORY-MODE: MIXED", "CATEGORY-BAND: ALL", "CATEGORY-POWER: HIGH", "CREATED-BY: bench-robot"]
    for n in range(qsos):
        minute = n * 1440 // qsos
        cw = rng.random() < 0.6
        freq = rng.choice((7000, 14000)) + rng.randrange(25 if cw else 150, 60 if cw else 300)
        rst = "599" if cw else "59"
        lines.append("QSO: %5d %s 2026-03-%02d %02d%02d %-13s %-3s %04d %-13s %-3s %04d" % (
            freq, "CW" if cw else "PH", 7 + (12 * 60 + minute) // 1440, (12 + minute // 60) % 24, minute % 60,
            own, rst, n + 1, rng.choice(pool), rst, rng.randrange(1, 3000)))
    lines.append("END-OF-LOG:")
    with open(os.path.join(folder, "%04d.cbr" % i), "w", newline="\r\n") as f:
        f.write("\n".join(lines) + "\n")
EOF
}

# One upload, as a client at its own address: "INDEX STATUS SECONDS" on stdout, headers kept.
upload() {
    local i=$1
    curl -s -o /dev/null -D "$work/head/$i" --interface "127.0.0.$((2 + i % clients))" \
        -H 'Content-Type: text/plain' --data-binary @"$(printf '%s/logs/%04d.cbr' "$work" "$i")" \
        -w "$i %{http_code} %{time_total}\n" "${url}api/logs" || echo "$i 000 0"
}

# The committee's page every second until $work/done exists: "SECONDS BYTES STATUS" per read.
read_pages() {
    local token n=0 query
    token=$(cat "$work/robot/committee-token")
    while [[ ! -e $work/done ]]; do
        query=$([[ $((n++ % 2)) == 0 ]] && echo "" || echo "?call=LU1")
        curl -s -o /dev/null -H "Authorization: Bearer $token" -w '%{time_total} %{size_download} %{http_code}\n' \
            "${url}committee$query" >>"$work/pages" || true
        sleep 1
    done
}

# One --backup once half the uploads are answered: "SECONDS STATUS".
backup_midway() {
    while [[ $( { wc -l <"$work/answers"; } 2>/dev/null || echo 0) -lt $((uploads / 2)) ]]; do sleep 0.2; done
    local t0 status=0
    t0=$(now)
    "$bin/stats-robot" --data "$work/robot" --backup "$work/backup.db" >/dev/null 2>"$work/backup.err" || status=$?
    echo "$(awk -v a="$(now)" -v b="$t0" 'BEGIN {print a - b}') $status" >"$work/backup"
}

# Waits until every upload answered 202 has its receipt, looking at one receipt at a time in the
# order sent (the robot scores in that order), so that the waiting costs the machine little.
await_receipts() {
    local location
    for i in $(awk '$2 == 202 {print $1}' "$work/answers" | sort -n); do
        location=$(sed -n 's/^Location: //p' "$work/head/$i" | tr -d '\r')
        while [[ $(curl -s -o /dev/null -w '%{http_code}' "${url}${location#/}") == 202 ]]; do sleep 0.2; done
    done
}

load() {
    echo "generating $uploads logs of 500 to 8,000 QSOs ..."
    make_logs "$uploads"
    local qsos
    qsos=$(cat "$work"/logs/*.cbr | grep -c '^QSO:')
    start_robot --jobs "$jobs" --uploads-per-minute 100000
    mkdir -p "$work/head"
    export -f upload
    export work url clients
    read_pages &
    local reader=$!
    backup_midway &
    local backer=$!
    local t0 t1 t2
    t0=$(now)
    seq 0 $((uploads - 1)) | xargs -P "$clients" -I{} bash -c 'upload {}' >"$work/answers"
    t1=$(now)
    await_receipts
    t2=$(now)
    touch "$work/done"
    wait "$reader" "$backer"
    report "$qsos" "$t0" "$t1" "$t2"
}

# The figures, from the answers, the page reads, the backup and the store.
report() {
    local qsos=$1 t0=$2 t1=$3 t2=$4 token uploads_json
    token=$(cat "$work/robot/committee-token")
    uploads_json=$(curl -s -H "Authorization: Bearer $token" "${url}api/uploads")
    printf 'load: %d uploads (%d QSOs) from %d clients, --jobs %d; load average before: %s\n' \
        "$uploads" "$qsos" "$clients" "$jobs" "$load_before"
    printf 'answers by status: %s\n' "$(awk '{print $2}' "$work/answers" | sort | uniq -c | awk '{printf "%s %s, ", $2, $1}')"
    printf 'stored: %s uploads, %s still unscored; 5xx answers: %s\n' \
        "$(grep -o '"sha256"' <<<"$uploads_json" | wc -l)" "$(grep -o '"state":"received"' <<<"$uploads_json" | wc -l)" \
        "$(awk '$2 >= 500 || $2 == 0' "$work/answers" | wc -l)"
    for status in all 201 202; do
        local times
        times=$(awk -v s="$status" 's == "all" || $2 == s {print $3}' "$work/answers")
        [[ -n $times ]] || continue
        printf 'answer time (%s): p50 %.2f s, p99 %.2f s, max %.2f s\n' "$status" \
            "$(percentile 50 <<<"$times")" "$(percentile 99 <<<"$times")" "$(percentile 100 <<<"$times")"
    done
    printf 'all answered in %.1f s; all scored in %.1f s: %.2f uploads/s, %.0f QSOs/s\n' \
        "$(awk -v a="$t1" -v b="$t0" 'BEGIN {print a - b}')" "$(awk -v a="$t2" -v b="$t0" 'BEGIN {print a - b}')" \
        "$(awk -v a="$t2" -v b="$t0" -v n="$uploads" 'BEGIN {print n / (a - b)}')" \
        "$(awk -v a="$t2" -v b="$t0" -v n="$qsos" 'BEGIN {print n / (a - b)}')"
    printf 'committee page after the load: %s s\n' \
        "$(curl -s -o /dev/null -w '%{time_total}' -H "Authorization: Bearer $token" "${url}committee")"
    printf 'committee page during the load: %d reads, p50 %.3f s, max %.3f s, at most %d bytes, statuses %s\n' \
        "$(wc -l <"$work/pages")" "$(awk '{print $1}' "$work/pages" | percentile 50)" \
        "$(awk '{print $1}' "$work/pages" | percentile 100)" "$(awk '{print $2}' "$work/pages" | percentile 100)" \
        "$(awk '{print $3}' "$work/pages" | sort -u | tr '\n' ' ')"
    read -r seconds status <"$work/backup"
    printf 'backup during the load: %.1f s, exit status %s, %s bytes\n' "$seconds" "$status" \
        "$(stat -c %s "$work/backup.db" 2>/dev/null || echo 0)"
    printf 'server peak memory: %s KiB\n' "$(awk '/VmHWM/ {print $2}' "/proc/$pid/status")"
}

if [[ ${1:-} == --compare ]]; then
    compare "${@:2}"
    exit
fi
uploads=1000 clients=32 jobs=2
while [[ $# -gt 0 ]]; do
    case $1 in
        --uploads) uploads=$2; shift 2 ;;
        --clients) clients=$2; shift 2 ;;
        --jobs) jobs=$2; shift 2 ;;
        --keep) keep=$2; shift 2 ;;
        *) echo "usage: scripts/bench-robot.sh [--uploads N] [--clients N] [--jobs N] [--keep DIR] | --compare LOG [RUNS]" >&2; exit 2 ;;
    esac
done
load_before=$(cut -d' ' -f1-3 /proc/loadavg)
load
