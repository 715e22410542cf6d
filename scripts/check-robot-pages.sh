#!/usr/bin/env bash
# The log robot's pages in headless Chromium (puppeteer-core, installed into scripts/robot-pages on
# first use): a robot on a free port with a fresh data folder, the sample log sent through the page,
# the receipt and the report, the committee's sign-in, a cross-check and a station's report.
# Screenshots to docs/ (or the folder given). Needs the native build.
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
shots=${1:-$repo/docs}
robot=$repo/build/native/stats-robot
[[ -x $robot ]] || { echo "check-robot-pages: build the native preset first ($robot missing)" >&2; exit 1; }
command -v node >/dev/null || { echo "check-robot-pages: node is missing: run scripts/setup-debian.sh" >&2; exit 1; }

pages=$repo/scripts/robot-pages
if [[ ! -d $pages/node_modules/puppeteer-core ]]; then
    (cd "$pages" && npm ci --no-audit --no-fund --loglevel=error)
fi

data=$(mktemp -d)
out=$data.out
mkdir -p "$shots"
"$robot" --data "$data/robot" --listen 127.0.0.1:0 --cty "$repo/samples/sa-tolven-cty.dat" --start 2026-03-07 --end 2026-03-08 >"$out" 2>"$data.err" &
pid=$!
cleanup() { kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; rm -rf "$data" "$out" "$data.err"; }
trap cleanup EXIT
for _ in $(seq 100); do
    grep -q '^listening on ' "$out" 2>/dev/null && break
    sleep 0.1
done
url=$(sed -n 's/^listening on //p' "$out")
[[ -n $url ]] || { echo "check-robot-pages: the robot did not start:" >&2; cat "$data.err" >&2; exit 1; }
node "$pages/check-pages.mjs" "$url" "$data/robot/committee-token" "$repo/samples/sa-tolven-sample.cbr" "$shots"
