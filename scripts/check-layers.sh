#!/usr/bin/env bash
# Checks that every #include "..." of the project names its file from the repository's root and
# points down its layers (README, "Source tree"):
# each folder below may include only the folders listed after it. Also that <windows.h> appears only
# in the Win32 code and the Windows test hosts. Then that no function in tools/ is longer than 60 lines
# (scripts/check-function-length.py).
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$repo"

# folder: the project folders its files may include (besides the folder itself)
layers=(
    "core:"
    "cabrillo:core"
    "windows:core resources"
    "platform:core cabrillo resources"
    "plugin:core cabrillo"
    "dll:core cabrillo windows plugin platform resources"
    "tools/logs:core"
    "tools/contest:core tools/logs"
    "tools/verify:core tools/logs tools/contest"
    "tools/host:core cabrillo plugin platform/portable tools/logs tools/contest"
    "tools/submission:core cabrillo plugin tools/logs tools/host tools/verify tools/contest"
    "tools/report:core tools/logs"
    "tools/replay:core cabrillo plugin tools/logs tools/host tools/verify tools/submission tools/report tools/contest"
    "tools/crosscheck:core cabrillo plugin tools/logs tools/host tools/report tools/contest"
    "tools/robot:core cabrillo plugin platform/portable tools/logs tools/host tools/verify tools/submission tools/report tools/replay tools/crosscheck tools/contest"
)
windows_h_allowed='^(platform/win32|windows/win32|tests/wine|tests/fake_host)/|^(dll/process_win32|tools/host/plugin_library_win32)\.cpp$'

failures=0
for entry in "${layers[@]}"; do
    folder=${entry%%:*}
    allowed="$folder ${entry#*:}"
    while IFS=: read -r file line text; do
        target=$(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\)".*/\1/p' <<<"$text")
        if [[ $target != */* ]]; then
            # Only a header the build generates goes without its folder (resources/*.h.in).
            [[ -f resources/$target.in ]] && continue
            echo "check-layers: $file:$line includes \"$target\" without its folder: write it from the repository's root" >&2
            failures=$((failures + 1))
            continue
        fi
        ok=0
        for a in $allowed; do
            [[ $target == "$a"/* ]] && ok=1 && break
        done
        if [[ $ok == 0 ]]; then
            echo "check-layers: $file:$line includes \"$target\": $folder may include only: $allowed" >&2
            failures=$((failures + 1))
        fi
    done < <(grep -rnE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' "$folder" --include='*.h' --include='*.cpp' --include='*.c' || true)
done

while read -r file; do
    file=${file#./}
    [[ $file =~ $windows_h_allowed ]] && continue
    echo "check-layers: $file includes <windows.h> outside the Win32 code" >&2
    failures=$((failures + 1))
done < <(grep -rlE '#[[:space:]]*include[[:space:]]*<windows\.h>' --include='*.h' --include='*.cpp' --include='*.c' \
             core cabrillo windows plugin platform dll tools tests bench fuzz || true)

# The tools read the contest's record resolved from --contest: only tools/contest/ reaches core's
# compiled-in one, to build the built-in definition and to test it equal.
while IFS=: read -r file line _; do
    echo "check-layers: $file:$line reads core's contest record: only tools/contest may" >&2
    failures=$((failures + 1))
done < <(grep -rnE 'core/contest_rules\.h|stats::kContest\b' tools --include='*.h' --include='*.cpp' |
             grep -v '^tools/contest/' || true)

status=0
if [[ $failures -gt 0 ]]; then
    echo "check-layers: $failures include(s) against the layers" >&2
    status=1
else
    echo "check-layers: every include points down its layers"
fi

# The same step keeps the tools' functions short: at most 60 lines each (the rule in the script).
python3 scripts/check-function-length.py || status=1
exit $status
