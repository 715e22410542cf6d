# Step runner shared by scripts/test.sh and scripts/main-job.sh (sourced, not run).
# step NAME CMD...   runs CMD; a failure is recorded and the run goes on (the step's status is
#                    CMD's). Exit status 77 means the machine cannot run the step (listed apart as
#                    SKIP, not a failure).
# must NAME CMD...   runs CMD; a failure ends the run (in a lane: that lane).
# lane FUNCTION      runs FUNCTION's steps in the background, beside the other lanes. A lane's
#                    steps print their output as a whole when each ends, so lanes do not mix lines.
# done_mark NAME     (in a lane) says that NAME is ready; `after NAME step ...` waits for it, and
#                    does not run the step when NAME's lane ended without marking it.
# finish             waits for the lanes, prints the timings and exits non-zero if a step failed.
# Set steps_total=N before the first step to number the progress lines ("==> [2/5] name").
# A skipping step may write its reason to the file $STATS_SKIP_REASON; the summary shows it.

steps_started=$SECONDS
steps_total=${steps_total:-0}
steps_dir=$(mktemp -d "${TMPDIR:-/tmp}/stats-steps.XXXXXX")
: >"$steps_dir/report"
: >"$steps_dir/skipped"
: >"$steps_dir/failed"
: >"$steps_dir/begun"
steps_lanes=()
steps_in_lane=0

_step_number() {
    # One counter for every lane: a line per step begun, appended atomically.
    local n
    n=$(flock "$steps_dir/begun" sh -c 'echo x >>"$1" && wc -l <"$1"' sh "$steps_dir/begun")
    [[ $steps_total == 0 ]] && echo "" || echo "[$n/$steps_total] "
}

_run_step() {
    local fatal=$1 name=$2
    shift 2
    local counter t0=$SECONDS rc=0 reason_file log=/dev/stdout
    counter=$(_step_number)
    reason_file=$(mktemp "$steps_dir/reason.XXXXXX")
    if [[ $steps_in_lane == 1 ]]; then
        log=$(mktemp "$steps_dir/log.XXXXXX")
        echo "... $counter$name (started)"
        { echo; echo "==> $counter$name"; } >"$log"
        STATS_SKIP_REASON=$reason_file "$@" >>"$log" 2>&1 </dev/null || rc=$?
    else
        echo
        echo "==> $counter$name"
        STATS_SKIP_REASON=$reason_file "$@" || rc=$?
    fi
    local took=$((SECONDS - t0)) reason outcome
    reason=$(head -n 1 "$reason_file")
    rm -f "$reason_file"
    if [[ $rc == 0 ]]; then
        printf '  ok    %4d s  %s\n' "$took" "$name" >>"$steps_dir/report"
        outcome="ok (${took} s)"
    elif [[ $rc == 77 ]]; then
        printf '  SKIP  %4d s  %s: %s\n' "$took" "$name" "${reason:-this machine cannot run it (see above)}" \
            >>"$steps_dir/skipped"
        outcome="SKIPPED (${took} s)"
    else
        printf '  FAIL  %4d s  %s (exit %d)\n' "$took" "$name" "$rc" >>"$steps_dir/report"
        echo "$name" >>"$steps_dir/failed"
        outcome="FAILED with exit code $rc (${took} s)"
    fi
    if [[ $steps_in_lane == 1 ]]; then
        echo "<== $name: $outcome" >>"$log"
        # One lane's step at a time on the terminal.
        flock "$steps_dir/print.lock" cat "$log"
        rm -f "$log"
    elif [[ $rc != 0 && $rc != 77 ]]; then
        echo "<== $name: $outcome" >&2
    else
        echo "<== $name: $outcome"
    fi
    if [[ $rc != 0 && $rc != 77 ]] && [[ $fatal == 1 || ${STATS_FAIL_FAST:-0} == 1 ]]; then
        if [[ $steps_in_lane == 1 ]]; then exit 1; fi
        finish
    fi
    [[ $rc == 77 ]] && return 0
    return "$rc"
}

step() { _run_step 0 "$@"; }
must() { _run_step 1 "$@"; }

done_mark() { touch "$steps_dir/ready-$1"; }

# after NAME step|must STEP-NAME CMD...: waits until NAME is ready, or its lane has ended without it.
after() {
    local what=$1
    shift
    until [[ -e $steps_dir/ready-$what || -e $steps_dir/ended-$what ]]; do sleep 1; done
    if [[ ! -e $steps_dir/ready-$what ]]; then
        printf '  FAIL     0 s  %s (not run: %s is not ready)\n' "$2" "$what" >>"$steps_dir/report"
        echo "$2" >>"$steps_dir/failed"
        echo "<== $2: not run, $what is not ready" >&2
        return 0
    fi
    "$@"
}

# lane FUNCTION [MARK...]: runs FUNCTION in the background. When it ends, each MARK it did not
# mark is ended, so that whoever waits for it goes on.
lane() {
    local fn=$1
    shift
    (
        steps_in_lane=1
        lane_marks=("$@")
        trap 'for mark in "${lane_marks[@]}"; do touch "$steps_dir/ended-$mark"; done' EXIT
        "$fn"
    ) &
    steps_lanes+=($!)
}

finish() {
    local pid
    for pid in "${steps_lanes[@]}"; do wait "$pid"; done
    echo
    echo "Steps:"
    cat "$steps_dir/report"
    if [[ -s $steps_dir/skipped ]]; then
        echo "Skipped (not failures; what they check was not run on this machine):"
        cat "$steps_dir/skipped"
    fi
    echo "Total: $((SECONDS - steps_started)) s"
    local failed skipped
    failed=$(wc -l <"$steps_dir/failed")
    skipped=$(wc -l <"$steps_dir/skipped")
    if [[ $failed -gt 0 ]]; then
        echo "FAILED: $(paste -sd ',' "$steps_dir/failed" | sed 's/,/, /g')" >&2
        rm -rf "$steps_dir"
        exit 1
    fi
    rm -rf "$steps_dir"
    if [[ $skipped -gt 0 ]]; then
        echo "All steps passed but $skipped skipped."
    else
        echo "All steps passed."
    fi
    exit 0
}
