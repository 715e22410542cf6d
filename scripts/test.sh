#!/usr/bin/env bash
# The project's test command: installs what is missing, builds every preset, and runs every check.
# Exits non-zero when any step fails. Safe to run again on the same tree.
#
# Lanes share the machine's cores: the builds of the plug-in and its tools (native, then Windows),
# the sanitizer builds beside the Windows ones at a lower priority (they take what the first lane leaves idle:
# configuring, linking, the last long file of a library), and the checks, each as soon as the build
# it needs is there (`after PRESET`), so that the Wine runs, the browser and the tests fill the time
# a build leaves idle too.
# To add a check, add one line to `checks`: `step "name" command args...` (a failing step is
# reported and the run goes on), with `after PRESET` in front when it needs that build.
# STATS_FAIL_FAST=1 ends a lane at its first failing step.
set -uo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$repo"
source scripts/steps.sh

build() { scripts/configure.sh "$1" && cmake --build --preset "$1"; }

# The win32 build. Where Wine cannot run 32-bit programs its Wine steps are skipped, so only what
# is read without running is built: the DLL (its tables are checked) and the release's programs.
build_win32() {
    if (source scripts/wine-env.sh && STATS_SKIP_REASON='' wine_cannot_run win32 2>/dev/null); then
        echo "win32: the DLL and the release's programs only; the Wine test host is not built, as its steps are skipped"
        scripts/configure.sh win32 && cmake --build --preset win32 --target Stats stats-replay stats-verify stats-crosscheck
    else
        build win32
    fi
}

# apt fetches the cross-compilers, Wine and the browser while the native build runs; they are
# installed once it is done, before anything uses them.
downloads() {
    step "setup: download the packages of the Windows builds, Wine and the browser" \
        scripts/setup-debian.sh --download-only
    done_mark downloaded
}

builds() {
    must "build native" build native
    after downloaded must "setup: install them" scripts/setup-debian.sh && done_mark setup
    done_mark native
    step "build win32" build_win32 && done_mark win32
    step "build win64" build win64 && done_mark win64
}

sanitizer_builds() {
    renice -n 10 -p "$BASHPID" >/dev/null
    after setup step "build (clang, address+undefined sanitizers: unit tests and fuzz targets)" build asan &&
        done_mark asan
    step "build (thread sanitizer)" build tsan && done_mark tsan
}

# In the order the builds come, so that each check waits as little as it can and the Wine runs
# overlap the next build.
checks() {
    step "includes follow the layers, functions in tools/ at most 60 lines" scripts/check-layers.sh
    after native step "unit tests (native)" ctest --preset native -LE robot
    after native step "log robot: API tests in process, kill -9 while uploading, 500 uploads from 8 clients" \
        ctest --preset native -L robot --output-on-failure
    after native step "contest report: valid HTML, loads in headless Chromium" scripts/check-report-page.sh
    after native step "log robot: its pages in headless Chromium (upload, receipt, report, committee, cross-check)" \
        scripts/check-robot-pages.sh build/robot-pages
    after native step "log robot behind nginx over HTTPS: pages, a foreign form, probes" scripts/check-robot-https.sh
    after win32 step "Wine tests win32" scripts/run-wine-tests.sh win32
    after win32 step "sample replay under Wine win32, same bytes as native" scripts/replay-under-wine.sh win32
    after win32 step "committee cross-check under Wine win32, same results as native" \
        scripts/crosscheck-under-wine.sh win32
    after win64 step "export and import tables, relocations and TLS of the DLLs (read, not run)" \
        scripts/check-exports.sh build/win32/Stats.dll build/win64/Stats.dll
    after win64 step "Wine tests win64" scripts/run-wine-tests.sh win64
    after win64 step "sample replay under Wine win64, same bytes as native" scripts/replay-under-wine.sh win64
    after win64 step "committee cross-check under Wine win64, same results as native" \
        scripts/crosscheck-under-wine.sh win64
    after win64 step "release package (zip, checksums, load from Plugins under Wine)" scripts/package.sh --no-build --check
}

sanitizer_checks() {
    after asan step "unit tests (address+undefined sanitizers)" ctest --preset asan
    after asan step "fuzzing, 12 s per target" scripts/fuzz.sh 12
    after tsan step "unit tests (thread sanitizer)" ctest --preset tsan
}

steps_total=$(grep -cE '^ *(after [a-z0-9]+ )?(step|must) ' "${BASH_SOURCE[0]}")
must "setup: the native build's packages" scripts/setup-debian.sh --native
# A run after the first compiles only what changed: ccache, where it is installed (the setup installs
# it with the native build's packages). STATS_NO_CCACHE=1 compiles everything. A build folder keeps
# the choice it was first configured with.
if command -v ccache >/dev/null && [[ ${STATS_NO_CCACHE:-0} != 1 ]]; then
    export CMAKE_C_COMPILER_LAUNCHER=ccache CMAKE_CXX_COMPILER_LAUNCHER=ccache
    export CCACHE_BASEDIR=$repo CCACHE_NOHASHDIR=1 CCACHE_SLOPPINESS=pch_defines,time_macros CCACHE_DEPEND=1
fi
lane downloads downloaded
lane builds setup native win32 win64
lane sanitizer_builds asan tsan
lane checks
lane sanitizer_checks
finish
