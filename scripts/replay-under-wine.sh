#!/usr/bin/env bash
# Replays the sample log, as ADIF and as Cabrillo, with the Windows build of stats-replay and
# Stats.dll under Wine, in export mode, and compares what it prints, the error log and the Cabrillo
# file byte for byte with the golden files of the native replay (tests/golden/replay and
# tests/golden/replay/cabrillo). Each written Cabrillo file is then checked with
# `stats-replay.exe --verify` (no error, and no finding from the export's own check). A third export,
# of a Cabrillo log (header-options.log), answers the header dialog with the options of
# header-options.args (typed into the real dialog's fields) and is compared with header-options.cbr.
# Last, the contest report with --compare is drawn by both builds and compared byte for byte.
# Each architecture runs in a throwaway Wine prefix with Wine's null graphics driver (the tool
# answers the plug-in's dialogs itself).
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
for f in replay-output.txt err.txt CE1TLV.cbr SA-TOLVEN.ini cabrillo/replay-output.txt cabrillo/err.txt \
    cabrillo/CE1TLV.cbr header-options.log header-options.args header-options.cbr; do
    [[ -f $golden/$f ]] || { echo "replay-under-wine: $golden/$f missing (STATS_UPDATE_GOLDEN=1 ctest --preset native -R SampleLog)" >&2; exit 1; }
done

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
trap cleanup EXIT
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

source "$repo/scripts/wine-env.sh"

run_arch() {
    local arch=$1 exe="$build_root/$1/stats-replay.exe"
    [[ -f $exe && -f $build_root/$arch/Stats.dll ]] ||
        { echo "replay-under-wine: $exe or Stats.dll not built (cmake --preset $arch && cmake --build --preset $arch)" >&2; return 1; }
    make_prefix "$arch"
    scratch=$(mktemp -d "/tmp/stats-replay-$arch.XXXXXX")
    local ok=0 input expected rc
    # The ADIF sample, then the same QSOs as Cabrillo (with the sample's country file).
    for input in adi cbr; do
        expected=$golden
        # --cty none: the native golden run uses no country file either.
        local args=(--cty none "$repo/samples/sa-tolven-sample.adi")
        if [[ $input == cbr ]]; then
            expected=$golden/cabrillo
            args=(--cty "$repo/samples/sa-tolven-cty.dat" "$repo/samples/sa-tolven-sample.cbr")
        fi
        rm -rf "$scratch/work"
        mkdir -p "$scratch/work/Plugins"
        cp "$golden/SA-TOLVEN.ini" "$scratch/work/Plugins/"
        rc=0
        (cd "$scratch" && timeout --kill-after=10 120 wine "$exe" --export --dir work "${args[@]}" \
            </dev/null >out.txt 2>err-stream.txt) || rc=$?
        echo "$arch: stats-replay exit code $rc (sa-tolven-sample.$input)"
        sed 's/^/  stderr: /' "$scratch/err-stream.txt"
        [[ $rc == 0 ]] || ok=$rc
        same "$scratch/out.txt" "$expected/replay-output.txt" || ok=1
        same "$scratch/work/err.txt" "$expected/err.txt" || ok=1
        same "$scratch/work/CE1TLV.cbr" "$expected/CE1TLV.cbr" || ok=1
        if grep -q 'CE1TLV.cbr:' "$scratch/err-stream.txt"; then
            echo "  the export's check found something in CE1TLV.cbr" >&2
            ok=1
        fi
        local vrc=0
        (cd "$scratch" && timeout --kill-after=10 120 wine "$exe" --verify work/CE1TLV.cbr \
            </dev/null >verify.txt 2>verify-err.txt) || vrc=$?
        echo "  --verify work/CE1TLV.cbr: exit code $vrc, $(tail -n 1 "$scratch/verify.txt" | tr -d '\r')"
        if [[ $vrc != 0 ]]; then
            sed 's/^/  /' "$scratch/verify.txt" "$scratch/verify-err.txt" >&2
            ok=1
        fi
    done

    local options=()
    mapfile -t options <"$golden/header-options.args"
    rc=0
    (cd "$scratch" && timeout --kill-after=10 120 wine "$exe" --export --cty none --dir options "${options[@]}" \
        "$golden/header-options.log" </dev/null >/dev/null 2>options-err.txt) || rc=$?
    echo "$arch: stats-replay with header options, exit code $rc"
    sed 's/^/  stderr: /' "$scratch/options-err.txt"
    [[ $rc == 0 ]] || ok=1
    same "$scratch/options/LU1TLV.cbr" "$golden/header-options.cbr" || ok=1

    # The contest report with a comparison, against the native tool's page for the same command.
    local native="$build_root/native/stats-replay"
    if [[ -x $native ]]; then
        # Names outside ASCII (a Windows user's folders often have them): each comes through whole,
        # on the page too, and the tool runs from such a folder.
        mkdir -p "$scratch/журнал" "$scratch/native" "$scratch/программа"
        cp "$repo/samples/sa-tolven-sample.adi" "$scratch/журнал/лог.adi"
        cp "$repo/samples/sa-tolven-sample.cbr" "$scratch/журнал/другой.cbr"
        cp "$repo/samples/sa-tolven-cty.dat" "$scratch/журнал/страны.dat"
        cp "$exe" "$build_root/$arch/Stats.dll" "$scratch/программа/"
        local report_args=(--cty журнал/страны.dat --compare журнал/другой.cbr журнал/лог.adi)
        rc=0
        (cd "$scratch" && timeout --kill-after=10 120 wine программа/stats-replay.exe --dir работа --report журнал/отчёт.html \
            "${report_args[@]}" </dev/null >/dev/null 2>report-err.txt) || rc=$?
        echo "$arch: stats-replay --report --compare, exit code $rc"
        [[ $rc == 0 ]] || { sed 's/^/  stderr: /' "$scratch/report-err.txt"; ok=1; }
        (cd "$scratch" && "$native" --dir native-work --report native/report.html "${report_args[@]}" >/dev/null 2>&1) || ok=1
        same "$scratch/журнал/отчёт.html" "$scratch/native/report.html" || ok=1
    else
        echo "  no native build ($native): the report page is not compared"
    fi
    cleanup
    return "$ok"
}

wine_run_archs replay-under-wine "same bytes as the native replay" "${archs[@]}"
