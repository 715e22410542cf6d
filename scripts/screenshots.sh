#!/usr/bin/env bash
# Regenerates the README's pictures (docs/*.png) from the real Stats.dll under Wine and Xvfb: the
# Wine test host's window tests set the scenes and capture the windows. The same scenes at 144
# dpi (Wine's LogPixels) go to docs/*-144dpi.png, to check the windows on a dense display.
#
# Usage: scripts/screenshots.sh [--no-build]
# Environment: STATS_XVFB_DISPLAY=:95 to use that display number (default: a free one);
#   STATS_SCREENSHOT_ARCH=win64 to take them from that build (default win32, or win64 where the
#   kernel cannot run 32-bit programs).
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$repo"

arch=${STATS_SCREENSHOT_ARCH:-win32}
if [[ $arch == win32 ]] && ! /usr/lib/wine/wine --version >/dev/null 2>&1; then arch=win64; fi
if [[ ${1:-} != --no-build ]]; then
    scripts/configure.sh "$arch" >/dev/null
    cmake --build --preset "$arch" --target Stats stats_wine_tests
fi

# The scenes: panel in English with the previous-QSO grid and the SA-prefix list; panel in Russian
# with the ITU zones; the Cabrillo header dialog filled from the settings file; the error box of a
# host object that refuses a call.
filter='OperatorWindows.PanelTalksToTheHostAndUnloadsPromptly'
filter+=':OperatorWindows.RussianTextsAndTheItuWindow'
filter+=':OperatorWindows.AHostRefusingTheFirstCallLeavesTheWholePanel'
filter+=':CabrilloExport.ConfirmedHeaderGivesTheGoldenFile'
pictures=(panel-en prev-qso sa-prefixes panel-ru itu cabrillo-dialog error-box)

for dpi in 96 144; do
    shots="$repo/build/$arch/screenshots-$dpi"
    rm -rf "$shots"
    mkdir -p "$shots"
    STATS_SCREENSHOT_DIR=$shots scripts/run-wine-tests.sh --xvfb --dpi "$dpi" "$arch" -- --gtest_filter="$filter"
    suffix=""
    [[ $dpi == 96 ]] || suffix="-${dpi}dpi"
    for picture in "${pictures[@]}"; do
        [[ -f $shots/$picture.png ]] || { echo "screenshots: $picture.png was not taken at $dpi dpi" >&2; exit 1; }
        # The 96-dpi pictures are the README's, which shows no error box.
        [[ $picture != error-box || -n $suffix ]] || continue
        # No time chunks, so an unchanged window gives an unchanged file.
        /usr/bin/convert "$shots/$picture.png" -strip "docs/$picture$suffix.png"
    done
done
echo "screenshots: docs/{panel-en,prev-qso,sa-prefixes,panel-ru,itu,cabrillo-dialog}.png and docs/*-144dpi.png"
