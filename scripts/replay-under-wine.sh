#!/usr/bin/env bash
# Replays the sample log with the Windows build of stats-replay and Stats.dll under Wine, in export
# mode, and compares what it prints, the error log and the Cabrillo file byte for byte with the
# golden files of the native replay (tests/golden/replay). A second export, of a Cabrillo log
# (header-options.log), answers the header dialog with the options of header-options.args (typed
# into the real dialog's fields) and is compared with header-options.cbr. Each architecture runs in
# a throwaway Wine prefix with Wine's null graphics driver (the tool answers the plug-in's dialogs
# itself).
#
# Usage: scripts/replay-under-wine.sh [--build-dir DIR] [--keep] [win32] [win64]   (default: both)
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build_root="$repo/build"
keep=0
archs=()
while [[ $# -gt 0 ]]; do
    case $1 in
        --build-dir) build_root=$(cd "$2" && pwd); shift ;;
        --keep) keep=1 ;;
        win32 | win64) archs+=("$1") ;;
        -h | --help) sed -n '2,/^set -e/p' "$0" | sed '$d; s/^# \{0,1\}//'; exit 0 ;;
        *) echo "replay-under-wine: unknown argument '$1'" >&2; exit 2 ;;
    esac
    shift
done
[[ ${#archs[@]} -gt 0 ]] || archs=(win32 win64)

golden="$repo/tests/golden/replay"
for f in replay-output.txt err.txt CE1TLV.cbr SA-TOLVEN.ini header-options.log header-options.args header-options.cbr; do
    [[ -f $golden/$f ]] || { echo "replay-under-wine: $golden/$f missing (STATS_UPDATE_GOLDEN=1 ctest --preset native -R SampleLog)" >&2; exit 1; }
done

# Debian's `wine` always starts the 32-bit loader once wine32 is installed. A kernel without
# 32-bit support cannot run it ("Exec format error"); the 64-bit loader still runs win64.
no_32bit=0
wine_bin=""
if [[ -x /usr/lib/wine/wine64 ]] && ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
    no_32bit=1
    wine_bin=$(mktemp -d /tmp/stats-replay-wine-bin.XXXXXX)
    printf '#!/bin/sh\nWINELOADER=/usr/lib/wine/wine64 exec /usr/lib/wine/wine64 "$@"\n' >"$wine_bin/wine"
    chmod +x "$wine_bin/wine"
    export PATH="$wine_bin:$PATH"
fi

prefix=""
scratch=""
cleanup() {
    if [[ -n $prefix ]]; then
        WINEPREFIX=$prefix wineserver -k >/dev/null 2>&1 || true
        WINEPREFIX=$prefix timeout 10 wineserver -w >/dev/null 2>&1 || true
        [[ $keep == 1 ]] && echo "replay-under-wine: kept $prefix" || rm -rf "$prefix"
        prefix=""
    fi
    if [[ -n $scratch ]]; then
        [[ $keep == 1 ]] && echo "replay-under-wine: kept $scratch" || rm -rf "$scratch"
        scratch=""
    fi
}
trap 'cleanup; [[ -z $wine_bin ]] || rm -rf "$wine_bin"' EXIT
trap 'exit 130' INT TERM

make_prefix() {
    prefix=$(mktemp -d "/tmp/stats-replay-wine-$1.XXXXXX")
    export WINEPREFIX=$prefix WINEDEBUG=${WINEDEBUG:--all}
    if [[ $1 == win32 ]]; then export WINEARCH=win32; else export WINEARCH=win64; fi
    export WINEDLLOVERRIDES="mscoree,mshtml="
    wineserver -p </dev/null >/dev/null 2>&1
    wine wineboot --init </dev/null >/dev/null 2>&1
    wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f </dev/null >/dev/null 2>&1
    # A crash prints a backtrace and ends the tool instead of waiting in the crash dialog.
    wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f </dev/null >/dev/null 2>&1
    wineserver -k >/dev/null 2>&1 || true
    wineserver -w >/dev/null 2>&1 || true
    wineserver -p </dev/null >/dev/null 2>&1
    unset WINEDLLOVERRIDES
}

same() {
    if cmp -s "$1" "$2"; then
        echo "  same bytes: $(basename "$2")"
        return 0
    fi
    echo "  DIFFERENT: $1 vs $2" >&2
    diff <(tr -d '\r' <"$2") <(tr -d '\r' <"$1") | head -20 >&2 || true
    return 1
}

run_arch() {
    local arch=$1 exe="$build_root/$1/stats-replay.exe"
    if [[ $arch == win32 && $no_32bit == 1 ]]; then
        echo "replay-under-wine: win32: this kernel cannot run 32-bit programs" >&2
        return 1
    fi
    [[ -f $exe && -f $build_root/$arch/Stats.dll ]] ||
        { echo "replay-under-wine: $exe or Stats.dll not built (cmake --preset $arch && cmake --build --preset $arch)" >&2; return 1; }
    make_prefix "$arch"
    scratch=$(mktemp -d "/tmp/stats-replay-$arch.XXXXXX")
    mkdir -p "$scratch/work/Plugins"
    cp "$golden/SA-TOLVEN.ini" "$scratch/work/Plugins/"
    local rc=0
    # --cty none: the native golden run uses no country file either.
    (cd "$scratch" && timeout --kill-after=10 120 wine "$exe" --export --cty none --dir work \
        "$repo/samples/sa-tolven-sample.adi" </dev/null >out.txt 2>err-stream.txt) || rc=$?
    echo "$arch: stats-replay exit code $rc"
    sed 's/^/  stderr: /' "$scratch/err-stream.txt"
    local ok=$rc
    same "$scratch/out.txt" "$golden/replay-output.txt" || ok=1
    same "$scratch/work/err.txt" "$golden/err.txt" || ok=1
    same "$scratch/work/CE1TLV.cbr" "$golden/CE1TLV.cbr" || ok=1

    local options=()
    mapfile -t options <"$golden/header-options.args"
    rc=0
    (cd "$scratch" && timeout --kill-after=10 120 wine "$exe" --export --cty none --dir options "${options[@]}" \
        "$golden/header-options.log" </dev/null >/dev/null 2>options-err.txt) || rc=$?
    echo "$arch: stats-replay with header options, exit code $rc"
    sed 's/^/  stderr: /' "$scratch/options-err.txt"
    [[ $rc == 0 ]] || ok=1
    same "$scratch/options/LU1TLV.cbr" "$golden/header-options.cbr" || ok=1
    cleanup
    return "$ok"
}

failed=()
for arch in "${archs[@]}"; do
    run_arch "$arch" || failed+=("$arch")
done
if [[ ${#failed[@]} -gt 0 ]]; then
    echo "replay-under-wine: FAILED: ${failed[*]}" >&2
    exit 1
fi
echo "replay-under-wine: same bytes as the native replay: ${archs[*]}"
