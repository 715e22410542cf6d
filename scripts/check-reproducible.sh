#!/usr/bin/env bash
# Checks that the release zip is reproducible: clones the committed HEAD twice into folders with
# different paths, runs scripts/package.sh in each (one after the other), and compares the zips.
# Takes two full Windows builds. The clones are removed afterwards unless --keep is given.
#
# Usage: scripts/check-reproducible.sh [--keep]
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
keep=0
case ${1:-} in
    --keep) keep=1 ;;
    "") ;;
    -h | --help) sed -n '2,/^set -e/p' "$0" | sed '$d; s/^# \{0,1\}//'; exit 0 ;;
    *) echo "check-reproducible: unknown argument '$1'" >&2; exit 2 ;;
esac

scratch=$(mktemp -d /tmp/stats-repro.XXXXXX)
[[ $keep == 1 ]] || trap 'rm -rf "$scratch"' EXIT
first="$scratch/a"
second="$scratch/second-clone/with/a/longer/path"

# Both clones at the same commit, whatever is committed while the first one builds.
commit=$(git -C "$repo" rev-parse HEAD)
for dir in "$first" "$second"; do
    git clone --quiet --no-checkout "$repo" "$dir"
    git -C "$dir" checkout --quiet --detach "$commit"
done
echo "check-reproducible: commit $commit"
for dir in "$first" "$second"; do
    (cd "$dir" && scripts/package.sh >"$dir.log" 2>&1) || { cat "$dir.log" >&2; exit 1; }
done

sums=()
for dir in "$first" "$second"; do
    zip=$(ls "$dir"/dist/*.zip)
    sums+=("$(sha256sum <"$zip" | cut -d' ' -f1)")
    echo "${sums[-1]}  $zip"
done
if [[ ${sums[0]} != "${sums[1]}" ]]; then
    echo "check-reproducible: the zips differ" >&2
    exit 1
fi
echo "check-reproducible: identical zips from $first and $second"
