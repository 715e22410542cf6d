#!/usr/bin/env bash
# Installs what building and testing needs on Debian 12, as root (or through sudo).
# Safe to run again: when everything is installed it only checks and returns.
# --native: only what the native build of the plug-in and its tools needs (the main job).
set -euo pipefail

native_only=0
[[ ${1:-} != --native ]] || native_only=1

packages=(
    cmake g++ make
    googletest libgtest-dev libgmock-dev libbenchmark-dev
    libcli11-dev libfmt-dev libcpp-httplib-dev libsqlite3-dev libssl-dev pkg-config
    mingw-w64 g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix binutils-mingw-w64
    wine wine64 wine32:i386
    xvfb llvm clang binutils
    libclang-rt-14-dev
    python3 git
)
# Screenshot tools, the independent Cabrillo reader, and the browser and HTML checker for the
# contest report, without their recommendations.
lean_packages=(imagemagick x11-apps trustedqsl liblmdb0 chromium fonts-liberation tidy)

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

if [[ $native_only == 1 ]]; then
    packages=(cmake g++ make googletest libgtest-dev libgmock-dev libbenchmark-dev
              libcli11-dev libfmt-dev libcpp-httplib-dev libsqlite3-dev libssl-dev pkg-config)
    lean_packages=()
fi

need_i386=0
[[ $native_only == 1 ]] || dpkg --print-foreign-architectures | grep -qx i386 || need_i386=1
mapfile -t todo < <(missing "${packages[@]}")
mapfile -t lean_todo < <(missing "${lean_packages[@]}")
# The log robot's browser check runs puppeteer-core under Node (18 or later): Debian's nodejs and
# npm, unless a Node with its npm is there already (another packaging would conflict with them).
if [[ $native_only == 0 ]] && ! command -v npm >/dev/null; then
    lean_todo+=(nodejs npm)
fi

install() {
    export DEBIAN_FRONTEND=noninteractive
    [[ $need_i386 == 0 ]] || as_root dpkg --add-architecture i386
    echo "setup-debian: installing ${todo[*]} ${lean_todo[*]}"
    as_root apt-get update -q
    local options=(-y -q -o Dpkg::Options::=--force-confdef -o Dpkg::Options::=--force-confold)
    [[ ${#todo[@]} == 0 ]] || as_root env DEBIAN_FRONTEND=noninteractive apt-get install "${options[@]}" "${todo[@]}"
    [[ ${#lean_todo[@]} == 0 ]] ||
        as_root env DEBIAN_FRONTEND=noninteractive apt-get install "${options[@]}" --no-install-recommends "${lean_todo[@]}"
}

if [[ $need_i386 == 0 && ${#todo[@]} == 0 && ${#lean_todo[@]} == 0 ]]; then
    echo "setup-debian: all packages installed"
else
    install
fi

# Whatever a package left out, fail here rather than halfway through a build.
if [[ $native_only == 1 ]]; then
    for tool in cmake g++ make; do
        command -v "$tool" >/dev/null || { echo "setup-debian: $tool still missing" >&2; exit 1; }
    done
    echo "setup-debian: ready for the native build"
    exit 0
fi
for tool in cmake g++ i686-w64-mingw32-g++-posix x86_64-w64-mingw32-g++-posix wine wineserver Xvfb \
    llvm-undname llvm-nm clang++ x86_64-w64-mingw32-objdump nm /usr/bin/convert chromium tidy node npm; do
    command -v "$tool" >/dev/null || { echo "setup-debian: $tool still missing" >&2; exit 1; }
done
[[ -d /usr/src/googletest ]] || { echo "setup-debian: /usr/src/googletest missing" >&2; exit 1; }
echo "setup-debian: ready"
