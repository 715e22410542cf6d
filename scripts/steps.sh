# Step runner shared by scripts/test.sh and scripts/main-job.sh (sourced, not run).
# step NAME CMD...  runs CMD; a failure is recorded and the run goes on. Exit status 77 means the
#                   machine cannot run the step (shown as SKIP, not a failure).
# must NAME CMD...  runs CMD; a failure ends the run.
# finish            prints the timings and exits non-zero if any step failed.
# Set steps_total=N before the first step to number the progress lines ("==> [2/5] name").
# A skipping step may write its reason to the file $STATS_SKIP_REASON; the summary shows it.

steps_started=$SECONDS
steps_report=()
steps_skipped=()
steps_failed=()
steps_total=${steps_total:-0}
steps_begun=0

_run_step() {
    local fatal=$1 name=$2
    shift 2
    steps_begun=$((steps_begun + 1))
    local counter=""
    [[ $steps_total == 0 ]] || counter="[$steps_begun/$steps_total] "
    echo
    echo "==> $counter$name"
    local t0=$SECONDS rc=0 reason_file
    reason_file=$(mktemp)
    STATS_SKIP_REASON=$reason_file "$@" || rc=$?
    local took=$((SECONDS - t0)) reason
    reason=$(head -n 1 "$reason_file")
    rm -f "$reason_file"
    if [[ $rc == 0 ]]; then
        steps_report+=("$(printf '  ok    %4d s  %s' "$took" "$name")")
        echo "<== $name: ok (${took} s)"
        return 0
    fi
    if [[ $rc == 77 ]]; then
        steps_skipped+=("$(printf '  SKIP  %4d s  %s: %s' "$took" "$name" "${reason:-this machine cannot run it (see above)}")")
        echo "<== $name: SKIPPED (${took} s)"
        return 0
    fi
    steps_report+=("$(printf '  FAIL  %4d s  %s (exit %d)' "$took" "$name" "$rc")")
    steps_failed+=("$name")
    echo "<== $name: FAILED with exit code $rc (${took} s)" >&2
    if [[ $fatal == 1 || ${STATS_FAIL_FAST:-0} == 1 ]]; then
        finish
    fi
    return 0
}

step() { _run_step 0 "$@"; }
must() { _run_step 1 "$@"; }

finish() {
    echo
    echo "Steps:"
    printf '%s\n' "${steps_report[@]}"
    if [[ ${#steps_skipped[@]} -gt 0 ]]; then
        echo "Skipped (not failures; what they check was not run on this machine):"
        printf '%s\n' "${steps_skipped[@]}"
    fi
    echo "Total: $((SECONDS - steps_started)) s"
    if [[ ${#steps_failed[@]} -gt 0 ]]; then
        echo "FAILED: ${steps_failed[*]}" >&2
        exit 1
    fi
    if [[ ${#steps_skipped[@]} -gt 0 ]]; then
        echo "All steps passed but ${#steps_skipped[@]} skipped."
    else
        echo "All steps passed."
    fi
    exit 0
}
