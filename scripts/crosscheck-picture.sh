#!/usr/bin/env bash
# Makes docs/crosscheck.png: a synthetic contest of 40 logs cross-checked by stats-crosscheck,
# its results.html rendered by headless Chromium (Debian's chromium package).
#
# Usage: scripts/crosscheck-picture.sh [OUT.png]
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
out=${1:-$repo/docs/crosscheck.png}
native="$repo/build/native"
command -v chromium >/dev/null || { echo "crosscheck-picture: chromium is not installed (apt-get install chromium)" >&2; exit 1; }
scratch=$(mktemp -d /tmp/stats-crosscheck-picture.XXXXXX)
trap 'rm -rf "$scratch"' EXIT
"$native/make-contest" --stations 40 --qsos 150 --seed 19 --faults 0.02 "$scratch/contest" 2>/dev/null
# One log the committee must look at by hand: a log for another contest.
printf 'START-OF-LOG: 3.0\r\nCALLSIGN: PY2XX\r\nCONTEST: CQ-WPX-CW\r\nEND-OF-LOG:\r\n' >"$scratch/contest/logs/py2xx.cbr"
"$native/stats-crosscheck" --cty "$scratch/contest/cty.dat" --start 2026-03-07 --end 2026-03-08 --out "$scratch/results" "$scratch/contest/logs" >/dev/null 2>&1
chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run --disable-background-networking \
    --disable-component-update --disable-sync --user-data-dir="$scratch/profile" --hide-scrollbars \
    --screenshot="$out" --window-size=1280,1000 "file://$scratch/results/results.html" >/dev/null 2>&1
echo "crosscheck-picture: $out"
