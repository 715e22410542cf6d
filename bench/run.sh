#!/bin/sh
# Builds and runs the benchmark suite and prints the table of docs/performance.md.
#   bench/run.sh            native benchmarks, native and i686 (Wine) memory, the cross-check at 100k-1M QSOs
#   bench/run.sh --quick    shorter runs, for a look
#   bench/run.sh --no-wine  skip the i686 memory measurement
set -eu
cd "$(dirname "$0")/.."
out=build/native/bench-results
min_time=0.5
wine=1
for arg in "$@"; do
  case "$arg" in
    --quick) min_time=0.1 ;;
    --no-wine) wine=0 ;;
    *) echo "unknown option: $arg" >&2; exit 2 ;;
  esac
done

cmake --preset native >/dev/null
cmake --build --preset native --target reload_bench call_check_bench store_memory crosscheck_bench make-contest \
  stats-crosscheck >/dev/null
mkdir -p "$out"
for b in reload_bench call_check_bench crosscheck_bench; do
  build/native/bench/$b --benchmark_min_time=$min_time --benchmark_format=json \
    --benchmark_out="$out/$b.json" --benchmark_out_format=json >/dev/null
done
build/native/bench/store_memory >"$out/memory-native.txt"
bench/crosscheck-scale.sh >"$out/crosscheck-scale.md"

if [ "$wine" = 1 ]; then
  cmake --preset win32 >/dev/null
  cmake --build --preset win32 --target store_memory >/dev/null
  prefix="/tmp/wine-bench-$(id -un)-32"
  export WINEPREFIX="$prefix" WINEARCH=win32 WINEDEBUG=-all
  # A new prefix is created by the first wine run; the server is started for it afterwards.
  wine cmd /c exit </dev/null >/dev/null 2>&1 || true
  wineserver -p </dev/null >/dev/null 2>&1 || true
  wine build/win32/store_memory.exe >"$out/memory-i686.txt" 2>/dev/null
  wineserver -k || true
fi

echo "Machine: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), $(nproc) cores"
python3 bench/table.py "$out"
