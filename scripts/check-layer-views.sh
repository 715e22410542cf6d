#!/usr/bin/env bash
# The build's own guard of the layers: a file of a folder that includes a folder above it does not
# compile. Compiles one-line files against a library's view folder (cmake/layers.cmake): an include
# of a lower folder must compile, a planted upward include must fail.
# Usage: check-layer-views.sh BUILD_DIR CXX
set -uo pipefail
build=$(cd "$1" && pwd) cxx=$2
failures=0
# A file read from stdin finds quoted includes in the current folder first: compile from an empty one.
empty=$(mktemp -d)
trap 'rmdir "$empty"' EXIT
cd "$empty"

# library  an include it may make  an include above it
cases=(
    "stats_core             core/rules.h                  cabrillo/summary.h"
    "stats_cabrillo         core/qso_store.h              plugin/plugin.h"
    "stats_platform         cabrillo/cabrillo_log.h       plugin/plugin.h"
    "stats_tools_logs       core/ole_date.h               tools/host/plugin_library.h"
    "stats_tools_report     tools/logs/replay_log.h       tools/replay/replay_options.h"
    "stats_tools_verify     tools/logs/cabrillo_reader.h  tools/host/startup.h"
    "stats_tools_submission tools/host/startup.h          tools/replay/replay_pipeline.h"
)
for entry in "${cases[@]}"; do
    read -r lib down up <<<"$entry"
    view=$build/layers/$lib
    flags=(-std=c++20 -fsyntax-only -I "$view" -I "$build/generated" -x c++ -)
    if ! echo "#include \"$down\"" | "$cxx" "${flags[@]}" 2>/dev/null; then
        echo "check-layer-views: $lib cannot include $down, which lies below it" >&2
        failures=$((failures + 1))
    fi
    if echo "#include \"$up\"" | "$cxx" "${flags[@]}" 2>/dev/null; then
        echo "check-layer-views: $lib compiled an include of $up, which lies above it" >&2
        failures=$((failures + 1))
    fi
done
[[ $failures == 0 ]] || exit 1
echo "check-layer-views: upward includes fail to compile, downward ones compile (${#cases[@]} libraries)"
