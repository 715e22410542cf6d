#!/usr/bin/env bash
# Runs the Wine test host (build/<arch>/stats_wine_tests.exe) for win32 and/or win64, each in a
# throwaway Wine prefix that is removed afterwards.
#
# Usage: scripts/run-wine-tests.sh [options] [win32] [win64] [-- test host arguments]
#   (no architecture: both)
#   --xvfb            run under a private Xvfb server instead of Wine's null graphics driver;
#                     screenshots taken by the tests are converted to PNG in the screenshot folder
#   --build-dir DIR   folder holding the win32/ and win64/ build trees (default: <repo>/build)
#   --keep-prefix     keep the Wine prefix (its path is printed)
#   --timeout SECS    limit for one run of the test host (default 300)
#   --dpi N           the display's dots per inch in the prefix (LogPixels; default Wine's 96)
# Environment:
#   STATS_WINE_XVFB=1         same as --xvfb
#   STATS_XVFB_DISPLAY=:91    use this display number for Xvfb (default: a free one)
#   STATS_SCREENSHOT_DIR=DIR  where screenshots go (default with --xvfb: build/<arch>/screenshots)
#   STATS_KEEP_TEMP=1         the tests keep their scratch folders (in the prefix: add --keep-prefix)
#   STATS_WINE_PREFIX_BASE=P  throwaway prefixes are P-<arch>.XXXXXX (default /tmp/stats-wine)
# Example: scripts/run-wine-tests.sh win64 -- --gtest_filter='StatsDll.*'
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build_root="$repo/build"
use_xvfb=${STATS_WINE_XVFB:-0}
keep_prefix=0
timeout_secs=300
dpi=""
archs=()
host_args=()

while [[ $# -gt 0 ]]; do
    case $1 in
        --xvfb) use_xvfb=1 ;;
        --build-dir) build_root=$(cd "$2" && pwd); shift ;;
        --keep-prefix) keep_prefix=1 ;;
        --timeout) timeout_secs=$2; shift ;;
        --dpi) dpi=$2; shift ;;
        win32 | win64) archs+=("$1") ;;
        --) shift; host_args=("$@"); break ;;
        -h | --help) sed -n '2,/^set -e/p' "$0" | sed '$d; s/^# \{0,1\}//'; exit 0 ;;
        *) echo "run-wine-tests: unknown argument '$1'" >&2; exit 2 ;;
    esac
    shift
done
[[ ${#archs[@]} -gt 0 ]] || archs=(win32 win64)

prefix=""
xvfb_pid=""

source "$repo/scripts/wine-env.sh"

stop_wine() {
    if [[ -n $prefix ]]; then
        WINEPREFIX=$prefix wineserver -k >/dev/null 2>&1 || true
        # wineserver -k returns before the server has gone; wait a little so the prefix can go too.
        WINEPREFIX=$prefix timeout 10 wineserver -w >/dev/null 2>&1 || true
        if [[ $keep_prefix == 1 ]]; then
            echo "run-wine-tests: kept prefix $prefix"
        else
            rm -rf "$prefix"
        fi
        prefix=""
    fi
}

stop_xvfb() {
    if [[ -n $xvfb_pid ]]; then
        kill "$xvfb_pid" 2>/dev/null || true
        wait "$xvfb_pid" 2>/dev/null || true
        xvfb_pid=""
    fi
}

trap 'stop_wine; stop_xvfb' EXIT
trap 'exit 130' INT TERM

start_xvfb() {
    if [[ -n ${STATS_XVFB_DISPLAY:-} ]]; then
        Xvfb "$STATS_XVFB_DISPLAY" -screen 0 1280x1024x24 -nolisten tcp </dev/null >/dev/null 2>&1 &
        xvfb_pid=$!
        export DISPLAY=$STATS_XVFB_DISPLAY
        sleep 1
    else
        # Xvfb picks a free display and writes its number to the given descriptor.
        local fifo
        fifo=$(mktemp -u /tmp/stats-xvfb.XXXXXX)
        mkfifo "$fifo"
        Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fifo" </dev/null >/dev/null 2>&1 &
        xvfb_pid=$!
        local number=""
        read -r -t 20 number <"$fifo" || true
        rm -f "$fifo"
        [[ -n $number ]] || { echo "run-wine-tests: Xvfb did not start" >&2; return 1; }
        export DISPLAY=":$number"
    fi
    kill -0 "$xvfb_pid" 2>/dev/null || { echo "run-wine-tests: Xvfb did not start" >&2; return 1; }
    echo "run-wine-tests: Xvfb on $DISPLAY"
}

# Creates a prefix for `arch`, starts its server and sets the display driver.
make_prefix() {
    local arch=$1
    prefix=$(mktemp -d "${STATS_WINE_PREFIX_BASE:-/tmp/stats-wine}-$arch.XXXXXX")
    export WINEPREFIX=$prefix
    if [[ $arch == win32 ]]; then export WINEARCH=win32; else export WINEARCH=win64; fi
    export WINEDEBUG=${WINEDEBUG:--all}
    # No Mono or Gecko installers while the prefix is created.
    export WINEDLLOVERRIDES="mscoree,mshtml="
    # The server must not hold our pipes open, or whoever reads our output waits forever.
    wineserver -p </dev/null >/dev/null 2>&1
    wine wineboot --init </dev/null >/dev/null 2>&1
    local drivers='HKCU\Software\Wine\Drivers'
    if [[ $use_xvfb == 1 ]]; then
        wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f </dev/null >/dev/null 2>&1
    else
        # Dialogs and message boxes work (and block) with nothing drawn.
        wine reg add "$drivers" /v Graphics /d null /f </dev/null >/dev/null 2>&1
    fi
    if [[ -n $dpi ]]; then
        wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f </dev/null >/dev/null 2>&1
    fi
    # A crash prints a backtrace and ends the process. Wine's debugger would otherwise show its
    # crash dialog, which blocks with nothing drawn until the run times out.
    wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f </dev/null >/dev/null 2>&1
    # The desktop process started while the prefix was created knows no driver yet: restart
    # the server so the next program starts it with the one chosen above.
    wineserver -k >/dev/null 2>&1 || true
    wineserver -w >/dev/null 2>&1 || true
    wineserver -p </dev/null >/dev/null 2>&1
    unset WINEDLLOVERRIDES
}

run_arch() {
    local arch=$1
    local exe="$build_root/$arch/stats_wine_tests.exe"
    [[ -f $exe ]] || { echo "run-wine-tests: $exe not built (cmake --preset $arch && cmake --build --preset $arch)" >&2; return 1; }
    [[ -f $build_root/$arch/Stats.dll ]] || { echo "run-wine-tests: $build_root/$arch/Stats.dll not built" >&2; return 1; }

    local t0=$SECONDS
    make_prefix "$arch"
    echo "run-wine-tests: $arch prefix ready in $((SECONDS - t0)) s"

    local shots=""
    if [[ $use_xvfb == 1 ]]; then
        shots=${STATS_SCREENSHOT_DIR:-$build_root/$arch/screenshots}
        mkdir -p "$shots"
        STATS_SCREENSHOT_DIR=$(winepath -w "$shots" 2>/dev/null)
        export STATS_SCREENSHOT_DIR
    else
        unset STATS_SCREENSHOT_DIR
    fi

    local rc=0 log
    log=$(mktemp)
    # To a file, not through a pipe: Wine's helper processes would hold a pipe open for ever.
    GTEST_COLOR=no timeout --kill-after=10 "$timeout_secs" wine "$exe" "${host_args[@]}" </dev/null >"$log" 2>&1 ||
        rc=$?
    cat "$log"
    # Now and then a fresh prefix cannot start the program at all ("Application could not be
    # started"): that is Wine's, not a test's failure, so try once more in a new prefix.
    if [[ $rc != 0 ]] && ! grep -q '^\[==========\] Running' "$log"; then
        echo "run-wine-tests: $arch: the test host did not start (exit code $rc); once more in a new prefix" >&2
        stop_wine
        make_prefix "$arch"
        rc=0
        GTEST_COLOR=no timeout --kill-after=10 "$timeout_secs" wine "$exe" "${host_args[@]}" </dev/null || rc=$?
    fi
    rm -f "$log"
    [[ $rc == 124 || $rc == 137 ]] && echo "run-wine-tests: $arch: test host timed out after $timeout_secs s" >&2

    if [[ -n $shots ]]; then
        local bmp
        for bmp in "$shots"/*.bmp; do
            [[ -e $bmp ]] || continue
            /usr/bin/convert "$bmp" "${bmp%.bmp}.png" && rm -f "$bmp"
        done
    fi
    stop_wine
    echo "run-wine-tests: $arch finished with exit code $rc in $((SECONDS - t0)) s"
    return "$rc"
}

if [[ $use_xvfb == 1 ]]; then
    start_xvfb
else
    unset DISPLAY
fi

wine_run_archs run-wine-tests "passed" "${archs[@]}"
