#!/usr/bin/env bash
# Replays the sample contest log through the plug-in with stats-replay in export mode, then shows
# the summary and the error-log lines it printed and the Cabrillo file the plug-in wrote, and says
# where the contest report (report.html in the working folder) is.
# Builds the native plug-in and the tool first when they are missing or out of date.
#
# Usage: scripts/replay-sample.sh [LOG.adi or LOG.cbr] [stats-replay options...]
#   (default log: samples/sa-tolven-sample.adi; working folder: build/replay-sample)
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$repo"

log=samples/sa-tolven-sample.adi
if [[ $# -gt 0 && $1 != -* ]]; then log=$1; shift; fi
work=build/replay-sample

if [[ ! -f build/native/CMakeCache.txt ]]; then
    scripts/configure.sh native >/dev/null
fi
cmake --build --preset native --target Stats stats-replay >/dev/null

# A fresh working folder with the Cabrillo header fields of the sample station.
rm -rf "$work"
mkdir -p "$work/Plugins"
cp tests/golden/replay/SA-TOLVEN.ini "$work/Plugins/SA-TOLVEN.ini"

# No country file unless one is given (--cty FILE after the log), so the output is the same on every machine.
echo "\$ build/native/stats-replay --export --cty none --dir $work --report $work/report.html $log $*"
# The tool's notes (stderr) after its output, so they do not land inside a line of it.
rc=0
build/native/stats-replay --export --cty none --dir "$work" --report "$work/report.html" "$log" "$@" \
    2>"$work/notes.txt" | tr -d '\r' || rc=$?
echo
echo "--- notes of the run (stderr) ---"
cat "$work/notes.txt"
[[ $rc == 0 ]] || exit "$rc"

shopt -s nullglob
for cbr in "$work"/*.cbr; do
    echo
    echo "--- $cbr ($(grep -c '^QSO:' "$cbr") QSO lines) ---"
    tr -d '\r' <"$cbr"
done
echo
echo "Contest report: $repo/$work/report.html (open it in a browser)"
