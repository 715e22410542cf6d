#!/usr/bin/env bash
# Starts the log robot on a fresh machine in one command: installs what the native build needs,
# builds stats-robot (with the plug-in beside it), and runs it with its data in
# robot-data/ (or the --data given). Other options go to stats-robot as they are, for example
#   scripts/start-robot.sh --listen 0.0.0.0:8080 --start 2026-03-07 --end 2026-03-08 --deadline "2026-03-15 23:59"
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$repo"
scripts/setup-debian.sh --native
scripts/configure.sh native >/dev/null
cmake --build --preset native --target stats-robot Stats -j "$(nproc)"
args=("$@")
[[ " ${args[*]} " == *" --data "* || " ${args[*]} " == *" --data="* ]] || args=(--data "$repo/robot-data" "${args[@]}")
exec build/native/stats-robot "${args[@]}"
