#!/usr/bin/env bash
# Regenerates the README's pictures (docs/*.png) from the real Stats.dll (win32 build) under Wine
# and Xvfb: the Wine test host's window tests set the scenes and capture the windows.
#
# Usage: scripts/screenshots.sh [--no-build]
# Environment: STATS_XVFB_DISPLAY=:95 to use that display number (default: a free one).
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$repo"

if [[ ${1:-} != --no-build ]]; then
    cmake --preset win32 >/dev/null
    cmake --build --preset win32 --target Stats stats_wine_tests
fi

shots="$repo/build/win32/screenshots"
rm -rf "$shots"
mkdir -p "$shots"
# The scenes: panel in English with the previous-QSO grid and the SA-prefix list; panel in Russian
# with the ITU zones; the Cabrillo header dialog filled from the settings file.
filter='OperatorWindows.PanelTalksToTheHostAndUnloadsPromptly'
filter+=':OperatorWindows.RussianTextsAndTheItuWindow'
filter+=':CabrilloExport.ConfirmedHeaderGivesTheGoldenFile'
STATS_SCREENSHOT_DIR=$shots scripts/run-wine-tests.sh --xvfb win32 -- --gtest_filter="$filter"

for picture in panel-en prev-qso sa-prefixes panel-ru itu cabrillo-dialog; do
    [[ -f $shots/$picture.png ]] || { echo "screenshots: $picture.png was not taken" >&2; exit 1; }
    # No time chunks, so an unchanged window gives an unchanged file.
    /usr/bin/convert "$shots/$picture.png" -strip "docs/$picture.png"
done
echo "screenshots: docs/{panel-en,prev-qso,sa-prefixes,panel-ru,itu,cabrillo-dialog}.png"
