#!/usr/bin/env bash
# Regenerates docs/report.png, the README's picture of the contest report: the sample log replayed in
# export mode with --report (scripts/replay-sample.sh), the page rendered by headless Chromium.
#
# Usage: scripts/report-screenshot.sh [HEIGHT]   (default 2400 pixels; the width is 1200)
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$repo"
command -v chromium >/dev/null || { echo "report-screenshot: chromium is not installed (scripts/setup-debian.sh)" >&2; exit 1; }

scripts/replay-sample.sh >/dev/null 2>&1 || { echo "report-screenshot: the sample replay failed" >&2; exit 1; }
page="$repo/build/replay-sample/report.html"
profile=$(mktemp -d)
trap 'rm -rf "$profile"' EXIT
shot="$repo/build/replay-sample/report.png"
timeout 120 chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
    --disable-background-networking --disable-component-update --disable-sync --hide-scrollbars \
    --user-data-dir="$profile" --screenshot="$shot" --window-size=1200,"${1:-2400}" "file://$page" \
    >/dev/null 2>&1
# No time chunks, so an unchanged page gives an unchanged file.
/usr/bin/convert "$shot" -strip docs/report.png
echo "report-screenshot: docs/report.png from $page"
