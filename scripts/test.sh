#!/usr/bin/env bash
# The project's test command: installs what is missing, builds every preset, and runs every check.
# Exits non-zero when any step fails. Safe to run again on the same tree.
#
# To add a check, add one line below: `step "name" command args...` (a failing step is reported
# and the run goes on), or `must "name" command args...` (a failing step ends the run).
# STATS_FAIL_FAST=1 ends the run at the first failing step of either kind.
set -uo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$repo"
source scripts/steps.sh

build() { cmake --preset "$1" && cmake --build --preset "$1"; }
sanitized() { build "$1" && ctest --preset "$1"; }

steps_total=$(grep -cE '^(step|must) ' "${BASH_SOURCE[0]}")
must "setup" scripts/setup-debian.sh
step "includes follow the layers" scripts/check-layers.sh
must "build native" build native
must "build win32" build win32
must "build win64" build win64
step "unit tests (native)" ctest --preset native -LE robot
step "export and import tables, relocations and TLS of the DLLs (read, not run)" scripts/check-exports.sh build/win32/Stats.dll build/win64/Stats.dll
step "Wine tests win32" scripts/run-wine-tests.sh win32
step "Wine tests win64" scripts/run-wine-tests.sh win64
step "sample replay under Wine win32, same bytes as native" scripts/replay-under-wine.sh win32
step "sample replay under Wine win64, same bytes as native" scripts/replay-under-wine.sh win64
step "committee cross-check under Wine win32, same results as native" scripts/crosscheck-under-wine.sh win32
step "committee cross-check under Wine win64, same results as native" scripts/crosscheck-under-wine.sh win64
step "contest report: valid HTML, loads in headless Chromium" scripts/check-report-page.sh
step "log robot: API tests in process, kill -9 while uploading, 500 uploads from 8 clients" ctest --preset native -L robot --output-on-failure
step "log robot: its pages in headless Chromium (upload, receipt, report, committee, cross-check)" scripts/check-robot-pages.sh build/robot-pages
step "release package (zip, checksums, load from Plugins under Wine)" scripts/package.sh --no-build --check
step "unit tests (address+undefined sanitizers)" sanitized asan
step "unit tests (thread sanitizer)" sanitized tsan
step "fuzzing, 12 s per target" scripts/fuzz.sh 12

finish
