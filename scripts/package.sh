#!/usr/bin/env bash
# Builds the Windows release: both DLLs, the replay tool and the committee's cross-check (presets
# win32 and win64), and writes
# dist/sa-tolven-stats-<version>.zip with INSTALL.txt (CR LF), the sample log and SHA256SUMS.
#
# Usage: scripts/package.sh [--check] [--no-build]
#   --check     afterwards unpack the zip into a scratch folder, verify SHA256SUMS with sha256sum -c,
#               and load each unpacked Stats.dll under Wine from the Plugins folder of a host folder
#               (the test host's Release.* tests: GetSetName, version resource, err.txt and
#               Plugins\SA-TOLVEN.ini written relative to the host's current directory)
#   --no-build  package what build/win32 and build/win64 hold
#
# Reproducible: the same commit gives the same zip bytes from any folder. File times in the zip are
# SOURCE_DATE_EPOCH (default: the time of the last commit), entries are sorted, modes fixed; the
# PE headers carry no link time and the binaries no build paths (see CMakeLists.txt).
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$repo"

check=0
build=1
while [[ $# -gt 0 ]]; do
    case $1 in
        --check) check=1 ;;
        --no-build) build=0 ;;
        -h | --help) sed -n '2,/^set -e/p' "$0" | sed '$d; s/^# \{0,1\}//'; exit 0 ;;
        *) echo "package: unknown argument '$1'" >&2; exit 2 ;;
    esac
    shift
done

if [[ -z ${SOURCE_DATE_EPOCH:-} ]]; then
    SOURCE_DATE_EPOCH=$(git log -1 --format=%ct 2>/dev/null || echo 315532800)
fi
export SOURCE_DATE_EPOCH

targets=(Stats stats-replay stats-verify stats-crosscheck)
[[ $check == 1 ]] && targets+=(stats_wine_tests)
if [[ $build == 1 ]]; then
    for arch in win32 win64; do
        scripts/configure.sh "$arch" >/dev/null
        cmake --build --preset "$arch" --target "${targets[@]}"
    done
fi

version=$(sed -n 's/^#define STATS_VERSION_TEXT "\(.*\)"$/\1/p' build/win32/generated/stats_version.h)
[[ -n $version ]] || { echo "package: no version in build/win32/generated/stats_version.h" >&2; exit 1; }
name="sa-tolven-stats-$version"
mkdir -p dist
zip="$repo/dist/$name.zip"

python3 - "$repo" "$name" "$version" "$zip" <<'EOF'
import hashlib, os, sys, time, zipfile

repo, name, version, out = sys.argv[1:]
# Zip times are local-free DOS times; clamp to the format's first year.
stamp = time.gmtime(max(int(os.environ["SOURCE_DATE_EPOCH"]), 315532800))[:6]

files = {}  # path inside the package -> bytes
for arch in ("win32", "win64"):
    for binary in ("Stats.dll", "stats-replay.exe", "stats-verify.exe", "stats-crosscheck.exe"):
        with open(os.path.join(repo, "build", arch, binary), "rb") as f:
            files[f"{arch}/{binary}"] = f.read()
with open(os.path.join(repo, "samples", "sa-tolven-sample.adi"), "rb") as f:
    files["samples/sa-tolven-sample.adi"] = f.read()
with open(os.path.join(repo, "packaging", "INSTALL.txt"), "rb") as f:
    text = f.read().replace(b"\r\n", b"\n").replace(b"@VERSION@", version.encode())
    files["INSTALL.txt"] = text.replace(b"\n", b"\r\n")
files["SHA256SUMS"] = "".join(
    f"{hashlib.sha256(data).hexdigest()}  {path}\n" for path, data in sorted(files.items())).encode()

tmp = out + ".tmp"
with zipfile.ZipFile(tmp, "w") as z:
    for path in sorted(files):
        info = zipfile.ZipInfo(f"{name}/{path}", date_time=stamp)
        info.create_system = 3
        mode = 0o755 if path.endswith((".exe", ".dll")) else 0o644
        info.external_attr = (0o100000 | mode) << 16
        info.compress_type = zipfile.ZIP_DEFLATED
        z.writestr(info, files[path], compresslevel=9)
os.replace(tmp, out)
EOF
(cd dist && sha256sum "$name.zip" >"$name.zip.sha256")
echo "package: $zip"
cat "dist/$name.zip.sha256"

[[ $check == 1 ]] || exit 0

scratch=$(mktemp -d /tmp/stats-package-check.XXXXXX)
trap 'rm -rf "$scratch"' EXIT
python3 -m zipfile -e "$zip" "$scratch"
(cd "$scratch/$name" && sha256sum -c --strict SHA256SUMS)
for arch in win32 win64; do
    for tool in stats-replay stats-verify stats-crosscheck; do
        [[ -f $scratch/$name/$arch/$tool.exe ]] || { echo "package: $arch/$tool.exe missing from the zip" >&2; exit 1; }
    done
done
for arch in win32 win64; do
    # A host folder as the operator has it: the plug-in unpacked into its Plugins folder.
    host="$scratch/host-$arch"
    mkdir -p "$host/Plugins"
    cp "$scratch/$name/$arch/Stats.dll" "$host/Plugins/"
    rc=0
    STATS_INSTALL_DIR="Z:${host//\//\\}" scripts/run-wine-tests.sh "$arch" -- --gtest_filter='Release.*' || rc=$?
    [[ $rc == 0 || $rc == 77 ]] || exit "$rc"  # 77: this machine cannot run $arch
done
echo "package: $name.zip unpacks, verifies and loads from Plugins under Wine"
