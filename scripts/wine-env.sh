# Sourced by the scripts that run the Windows builds under Wine.
#
# Debian's `wine` always starts the 32-bit loader once wine32 is installed. A kernel without
# 32-bit support (seen on some virtual machines) cannot run it ("Exec format error"), while the
# 64-bit loader still runs win64: put a `wine` that starts it first on the PATH, and let the
# scripts skip win32 there with a plain message instead of failing on the machine's account.
# Without wine32 (not installable from the mirror that day) win32 is skipped the same way.

wine_kernel_runs_32bit=1
wine32_installed=1
[[ -x /usr/lib/wine/wine ]] || wine32_installed=0
if [[ -x /usr/lib/wine/wine64 && -x /usr/lib/wine/wine ]] && ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
    wine_kernel_runs_32bit=0
    _wine_bin="${TMPDIR:-/tmp}/stats-wine64-bin"
    mkdir -p "$_wine_bin"
    printf '#!/bin/sh\nWINELOADER=/usr/lib/wine/wine64 exec /usr/lib/wine/wine64 "$@"\n' >"$_wine_bin/wine"
    chmod +x "$_wine_bin/wine"
    cp "$_wine_bin/wine" "$_wine_bin/wine-stable"  # what winepath runs
    export PATH="$_wine_bin:$PATH"
fi

# The exit status of a script whose every architecture was skipped (scripts/steps.sh shows SKIP).
wine_skipped_status=77

# wine_cannot_run ARCH: true, with a message on stderr (and in $STATS_SKIP_REASON for the test
# command's summary), when this machine cannot run ARCH.
wine_cannot_run() {
    local why=""
    if [[ $1 == win32 && $wine32_installed == 0 ]]; then
        why="wine32:i386 is not installed (scripts/setup-debian.sh says why), so Wine cannot run 32-bit programs here"
    elif [[ $1 == win32 && $wine_kernel_runs_32bit == 0 ]]; then
        why="this kernel cannot run 32-bit programs (Wine's 32-bit loader: Exec format error)"
    fi
    [[ -n $why ]] || return 1
    echo "$(basename "$0"): $1 SKIPPED: $why" >&2
    [[ -z ${STATS_SKIP_REASON:-} ]] || echo "$why" >>"$STATS_SKIP_REASON"
    return 0
}

# wine_run_archs TOOL DONE_TEXT ARCH...: calls the sourcing script's `run_arch ARCH` for each ARCH
# this machine can run; exits 1 when one failed and with wine_skipped_status when none could run,
# else says "TOOL: DONE_TEXT: ARCH...".
wine_run_archs() {
    local tool=$1 done_text=$2 arch
    shift 2
    local failed=() ran=()
    for arch in "$@"; do
        wine_cannot_run "$arch" && continue
        ran+=("$arch")
        run_arch "$arch" || failed+=("$arch")
    done
    if [[ ${#failed[@]} -gt 0 ]]; then
        echo "$tool: FAILED: ${failed[*]}" >&2
        exit 1
    fi
    [[ ${#ran[@]} -gt 0 ]] || exit "$wine_skipped_status"
    echo "$tool: $done_text: ${ran[*]}"
}
