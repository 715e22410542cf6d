#!/usr/bin/env bash
# Builds the libFuzzer targets (preset `asan`, clang, which also builds the sanitized unit tests) and
# runs each on its committed seeds.
#   scripts/fuzz.sh [SECONDS]            each target for SECONDS (default 20), seeds in fuzz/corpus/<target>
#   scripts/fuzz.sh --runs N [TARGET...] each target for N executions
# New inputs found during the run go to build/asan/corpus/<target>, not into the source tree.
# A finding leaves its input as build/asan/crash-* and makes the script fail.
set -euo pipefail
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$repo"

limit=(-max_total_time="${1:-20}")
if [[ ${1:-} == --runs ]]; then
    limit=(-runs="$2")
    shift 2
else
    shift $(($# > 0 ? 1 : 0))
fi
targets=("$@")
[[ ${#targets[@]} -gt 0 ]] || targets=(plugin_fuzzer ini_settings_fuzzer adif_fuzzer cabrillo_reader_fuzzer cabrillo_fuzzer
                                         cabrillo_check_fuzzer)

out=build/asan
scripts/configure.sh asan >/dev/null
cmake --build --preset asan --target fuzzers

# Runs one target; its filtered output goes to $out/<target>.log.
fuzz_one() {
    local t=$1 work=$out/corpus/$1
    mkdir -p "$work"
    # The fuzzer's own status decides; the filter only shortens what it prints.
    "$out/fuzz/$t" "${limit[@]}" -max_len=8192 -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
        -artifact_prefix="$out/" "$work" "fuzz/corpus/$t" 2>&1 |
        grep -E '^(#[0-9]+ +DONE|Done|INFO: seed|stat::number_of_executed_units|==[0-9]+==ERROR|SUMMARY|invariant|artifact_prefix)' \
            >"$out/$t.log"
    return "${PIPESTATUS[0]}"
}

# Two targets at a time, one process each (-jobs would fork per core): the two cores busy, and each
# target's time as given.
failed=()
for ((i = 0; i < ${#targets[@]}; i += 2)); do
    pair=("${targets[@]:i:2}")
    pids=()
    for t in "${pair[@]}"; do fuzz_one "$t" & pids+=($!); done
    for j in "${!pair[@]}"; do
        status=0
        wait "${pids[$j]}" || status=$?
        echo "== ${pair[$j]}"
        cat "$out/${pair[$j]}.log"
        [[ $status == 0 ]] || { echo "fuzz: ${pair[$j]} found a fault (input in $out/)" >&2; failed+=("${pair[$j]}"); }
    done
done
[[ ${#failed[@]} == 0 ]] || exit 1
