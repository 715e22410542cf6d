#!/usr/bin/env bash
# Cross-checks a small synthetic contest with the Windows builds of stats-crosscheck and Stats.dll
# under Wine and compares results.csv, results.html and every report byte for byte with the
# native run (whose results.html must pass tidy). Each architecture runs in a throwaway Wine prefix
# with Wine's null graphics driver.
#
# Usage: scripts/crosscheck-under-wine.sh [win32] [win64]   (default: both)
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
archs=("$@")
[[ ${#archs[@]} -gt 0 ]] || archs=(win32 win64)
native="$repo/build/native"
for f in make-contest stats-crosscheck; do
    [[ -x $native/$f ]] || { echo "crosscheck-under-wine: $native/$f not built (cmake --build --preset native)" >&2; exit 1; }
done

scratch=$(mktemp -d /tmp/stats-crosscheck-wine.XXXXXX)
source "$repo/scripts/wine-env.sh"
prefix=""
cleanup() {
    if [[ -n $prefix ]]; then
        WINEPREFIX=$prefix wineserver -k >/dev/null 2>&1 || true
        rm -rf "$prefix"
        prefix=""
    fi
}
trap 'cleanup; rm -rf "$scratch"' EXIT

cd "$scratch"
"$native/make-contest" --stations 12 --qsos 40 --seed 3 --faults 0.05 contest
"$native/stats-crosscheck" --cty contest/cty.dat --start 2026-03-07 --end 2026-03-08 --out native contest/logs >/dev/null
if command -v tidy >/dev/null; then
    tidy -q -e native/results.html || { echo "crosscheck-under-wine: results.html is not valid HTML" >&2; exit 1; }
fi

failed=()
ran=()
for arch in "${archs[@]}"; do
    exe="$repo/build/$arch/stats-crosscheck.exe"
    wine_cannot_run "$arch" && continue
    ran+=("$arch")
    [[ -f $exe && -f $repo/build/$arch/Stats.dll ]] ||
        { echo "crosscheck-under-wine: $exe or Stats.dll not built (cmake --build --preset $arch)" >&2; failed+=("$arch"); continue; }
    prefix=$(mktemp -d "/tmp/stats-crosscheck-wine-$arch.XXXXXX")
    export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    if [[ $arch == win32 ]]; then export WINEARCH=win32; else export WINEARCH=win64; fi
    wineserver -p </dev/null >/dev/null 2>&1
    wine wineboot --init </dev/null >/dev/null 2>&1
    wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f </dev/null >/dev/null 2>&1
    wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f </dev/null >/dev/null 2>&1
    rc=0
    timeout --kill-after=10 120 wine "$exe" --cty contest/cty.dat --start 2026-03-07 --end 2026-03-08 --out "$arch" contest/logs </dev/null \
        >"$arch.out" 2>"$arch.err" || rc=$?
    echo "$arch: stats-crosscheck exit code $rc: $(head -1 "$arch.out")"
    if [[ $rc == 0 ]] && diff -r native "$arch" >"$arch.diff"; then
        echo "  same bytes: results.csv, results.html and $(ls native/*.ubn | wc -l) reports"
    else
        sed 's/^/  /' "$arch.err" "$arch.diff" | head -20 >&2
        failed+=("$arch")
    fi
    cleanup
done
if [[ ${#failed[@]} -gt 0 ]]; then
    echo "crosscheck-under-wine: FAILED: ${failed[*]}" >&2
    exit 1
fi
[[ ${#ran[@]} -gt 0 ]] || exit "$wine_skipped_status"
echo "crosscheck-under-wine: same results as the native run: ${ran[*]}"
