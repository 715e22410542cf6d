#!/usr/bin/env bash
# Installs what building and testing needs on Debian 12, as root (or through sudo).
# Safe to run again: when everything is installed it only checks and returns.
# --native: only what the native build of the plug-in and its tools needs (the main job).
# --download-only: fetch what is missing into apt's cache and install nothing, so that the test
#   command can download while it builds natively (nothing the build uses changes under it).
#
# A mirror caught mid-sync fails `apt-get update` for one list while the others are fine: the update
# is tried three times, then the install goes on with the lists it has. Only a package the build
# needs that cannot be installed fails the setup, named with apt's reason. wine32:i386 is wanted,
# not needed: without it (no i386 list, or versions that do not match yet) the win32 Wine steps
# skip with a line saying why, and everything else runs.
set -euo pipefail

native_only=0
download_only=0
case ${1:-} in
    --native) native_only=1 ;;
    --download-only) download_only=1 ;;
esac

native_packages=(
    cmake g++ make ninja-build
    googletest libgtest-dev libgmock-dev libbenchmark-dev
    libcli11-dev libfmt-dev libcpp-httplib-dev libsqlite3-dev libssl-dev libtomlplusplus-dev pkg-config
    ccache
)
packages=(
    "${native_packages[@]}"
    mingw-w64 g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix binutils-mingw-w64
    wine wine64
    xvfb llvm clang binutils
    libclang-rt-14-dev
    python3 git
)
# Screenshot tools, the independent Cabrillo reader, the browser and HTML checker for the contest
# report, and the HTTPS proxy and certificate tool of the robot's deployment check, without their
# recommendations.
lean_packages=(imagemagick x11-apps trustedqsl liblmdb0 chromium fonts-liberation tidy nginx openssl)
# Runs the win32 builds under Wine; the win32 Wine steps skip without it.
wanted_packages=(wine32:i386)

if [[ $native_only == 1 ]]; then
    packages=("${native_packages[@]}")
    lean_packages=()
    wanted_packages=()
fi

say() { echo "setup-debian: $*"; }

as_root() {
    if [[ $(id -u) == 0 ]]; then
        "$@"
    elif command -v sudo >/dev/null; then
        sudo "$@"
    else
        echo "setup-debian: needs root to run: $*" >&2
        return 1
    fi
}

missing() {
    local pkg
    for pkg in "$@"; do
        [[ $(dpkg-query -W -f='${db:Status-Status}' "$pkg" 2>/dev/null) == installed ]] || echo "$pkg"
    done
}

apt_install() {
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q \
        -o Dpkg::Options::=--force-confdef -o Dpkg::Options::=--force-confold "$@"
}

# apt's own reason why PKG cannot be installed: the lines of a dry run that say what is wrong.
install_reason() {
    local out
    out=$(LC_ALL=C apt-get install -s -q "$1" 2>&1) && { echo "a dry run installs it; the real run failed"; return; }
    grep -E "^( |E:)|Depends:|Unable|has no installation candidate|not going to be installed" <<<"$out" |
        sed 's/^ *//' | head -6 | paste -sd ';' | sed 's/;/; /g'
}

# Installs the given packages; when the whole set fails, each one alone, so that the ones that
# cannot be installed are named. Prints the names of those on stdout.
install_each() {
    local extra=() pkg
    while [[ $# -gt 0 && $1 == -* ]]; do extra+=("$1"); shift; done
    [[ $# -gt 0 ]] || return 0
    say "installing $*" >&2
    apt_install "${extra[@]}" "$@" >&2 && return 0
    for pkg in "$@"; do
        [[ -z $(missing "$pkg") ]] && continue
        apt_install "${extra[@]}" "$pkg" >&2 || echo "$pkg"
    done
}

update_lists() {
    # The test command sets up in steps: lists read in the last ten minutes are read once.
    local try stamp=${TMPDIR:-/tmp}/stats-setup-apt-updated
    if [[ -n $(find "$stamp" -mmin -10 2>/dev/null) ]] && [[ $(cat "$stamp") == "$(dpkg --print-foreign-architectures)" ]]; then
        return 0
    fi
    dpkg --print-foreign-architectures >"$stamp"
    for try in 1 2 3; do
        as_root apt-get update -q && return 0
        if [[ $try -lt 3 ]]; then
            say "apt-get update failed (try $try of 3); trying again in 5 s" >&2
            sleep 5
        fi
    done
    say "apt-get update failed three times (a mirror mid-sync?); going on with the lists it has" >&2
}

mapfile -t todo < <(missing "${packages[@]}")
mapfile -t lean_todo < <(missing "${lean_packages[@]}")
mapfile -t wanted_todo < <(missing "${wanted_packages[@]}")
# The log robot's browser check runs puppeteer-core under Node (18 or later): Debian's nodejs and
# npm, unless a Node with its npm is there already (another packaging would conflict with them).
if [[ $native_only == 0 ]] && ! command -v npm >/dev/null; then
    lean_todo+=(nodejs npm)
fi

if [[ $download_only == 1 ]]; then
    [[ ${#todo[@]} -gt 0 || ${#lean_todo[@]} -gt 0 || ${#wanted_todo[@]} -gt 0 ]] || exit 0
    if [[ ${#wanted_todo[@]} -gt 0 ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
        as_root dpkg --add-architecture i386
    fi
    update_lists
    # What cannot be fetched now is named by the install that follows.
    get=(as_root env DEBIAN_FRONTEND=noninteractive apt-get install -d -y -q)
    [[ ${#todo[@]} == 0 ]] || "${get[@]}" "${todo[@]}" || true
    [[ ${#lean_todo[@]} == 0 ]] || "${get[@]}" --no-install-recommends "${lean_todo[@]}" || true
    [[ ${#wanted_todo[@]} == 0 ]] || "${get[@]}" "${wanted_todo[@]}" || true
    say "downloaded what was missing"
    exit 0
fi

if [[ ${#todo[@]} == 0 && ${#lean_todo[@]} == 0 && ${#wanted_todo[@]} == 0 ]]; then
    say "all packages installed"
else
    export DEBIAN_FRONTEND=noninteractive
    if [[ ${#wanted_todo[@]} -gt 0 ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
        as_root dpkg --add-architecture i386
    fi
    update_lists
    failed=()
    mapfile -t -O "${#failed[@]}" failed < <(install_each "${todo[@]}")
    mapfile -t -O "${#failed[@]}" failed < <(install_each --no-install-recommends "${lean_todo[@]}")
    if [[ ${#failed[@]} -gt 0 ]]; then
        for pkg in "${failed[@]}"; do
            echo "setup-debian: cannot install $pkg: $(install_reason "$pkg")" >&2
        done
        exit 1
    fi
    # The deployment check starts nginx by itself in a folder of its own: the system's service, which
    # the package starts where systemd runs, is not left listening on port 80 of a build machine.
    if [[ " ${lean_todo[*]} " == *" nginx "* ]] && [[ -d /run/systemd/system ]]; then
        as_root systemctl disable --now nginx >/dev/null 2>&1 || true
    fi
    # Wanted only: its absence is reported, and the steps that need it skip.
    mapfile -t wanted_failed < <(install_each "${wanted_todo[@]}")
    for pkg in "${wanted_failed[@]}"; do
        say "cannot install $pkg ($(install_reason "$pkg")): the win32 Wine steps will be skipped" >&2
    done
fi

# Whatever a package left out, fail here rather than halfway through a build.
if [[ $native_only == 1 ]]; then
    tools=(cmake g++ ninja)
else
    tools=(cmake g++ ninja i686-w64-mingw32-g++-posix x86_64-w64-mingw32-g++-posix wine wineserver Xvfb
           llvm-undname llvm-nm clang++ x86_64-w64-mingw32-objdump nm /usr/bin/convert chromium tidy node npm
           /usr/sbin/nginx openssl)
fi
for tool in "${tools[@]}"; do
    command -v "$tool" >/dev/null || { echo "setup-debian: $tool still missing" >&2; exit 1; }
done
[[ -d /usr/src/googletest ]] || { echo "setup-debian: /usr/src/googletest missing" >&2; exit 1; }
if [[ $native_only == 1 ]]; then
    say "ready for the native build"
elif [[ -n $(missing wine32:i386) ]]; then
    say "ready (without wine32:i386: the win32 Wine steps will be skipped)"
else
    say "ready"
fi
