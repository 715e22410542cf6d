#!/usr/bin/env bash
# The contest report of a small log as a browser sees it: valid HTML for Debian's tidy (no error, no
# warning), and headless Chromium loads it with no console message (the page has no script, so any
# message is a fault: a blocked load, a parse error). Skips the browser when chromium is missing.
#
# Usage: scripts/check-report-page.sh [BUILD_DIR]   (default build/native, holding stats-replay)
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${1:-$repo/build/native}
work=$(mktemp -d)
trap "[[ \${KEEP:-} ]] || rm -rf $work" EXIT

# The first 40 QSOs of the sample log, and a rejected QSO whose call would break a page written unescaped.
{ sed -n '1,5p' "$repo/samples/sa-tolven-sample.adi"; awk '/<EOR>/ && n++ < 40' "$repo/samples/sa-tolven-sample.adi"
  echo '<QSO_DATE:8>20260307 <TIME_ON:4>1500 <CALL:18><script>x</script> <BAND:3>40m <MODE:2>CW <STX:1>1 <EOR>'
} >"$work/small.adi"
# The log set beside its first half, so that the comparison's section is on the page too.
awk '/<EOR>/ && n++ >= 20 {exit} {print}' "$work/small.adi" >"$work/half.adi"
"$build/stats-replay" --call CE1TLV --dir "$work/run" --report "$work/small.html" --compare "$work/half.adi" \
    "$work/small.adi" >/dev/null 2>&1

status=0
tidy -q -e "$work/small.html" >"$work/tidy.txt" 2>&1 || { echo "check-report-page: tidy finds:" >&2; cat "$work/tidy.txt" >&2; status=1; }
if command -v chromium >/dev/null; then
    timeout 120 chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
        --disable-background-networking --disable-component-update --disable-sync \
        --user-data-dir="$work/profile" --enable-logging=stderr --v=0 --dump-dom "file://$work/small.html" \
        >"$work/dom.html" 2>"$work/chromium.txt" || true
    if grep -q 'CONSOLE' "$work/chromium.txt"; then
        echo "check-report-page: console messages:" >&2; grep 'CONSOLE' "$work/chromium.txt" >&2; status=1
    fi
    grep -q '<h1>CE1TLV</h1>' "$work/dom.html" && grep -q '&lt;SCRIPT&gt;X&lt;/SCRIPT&gt;' "$work/dom.html" &&
        grep -q '<h2>Compared with' "$work/dom.html" ||
        { echo "check-report-page: the page did not load as written" >&2; status=1; }
else
    echo "check-report-page: chromium is not installed; the browser check is skipped"
fi
[[ $status == 0 ]] && echo "check-report-page: the report is valid HTML and loads with no console message"
exit $status
