#!/usr/bin/env bash
# Configures a build folder from its preset: scripts/configure.sh PRESET [cmake options...].
# A folder first configured with another generator (the presets used Make before Ninja) is
# configured afresh, where cmake alone would refuse it.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
preset=$1
shift
cache=build/$preset/CMakeCache.txt
fresh=()
if [[ -f $cache ]] && ! grep -qx 'CMAKE_GENERATOR:INTERNAL=Ninja' "$cache"; then
    echo "build/$preset was configured with another generator: configuring it afresh"
    fresh=(--fresh)
fi
exec cmake --preset "$preset" "${fresh[@]}" "$@"
