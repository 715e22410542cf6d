#!/bin/sh
# Builds and runs the benchmark suite and prints the table of docs/performance.md.
#   bench/run.sh            native benchmarks, native and i686 (Wine) memory, the cross-check at 100k-1M QSOs
#   bench/run.sh --quick    shorter runs, for a look
#   bench/run.sh --no-wine  skip the i686 memory measurement
#   bench/run.sh --no-report  skip the contest report's whole-run timing on 100k and 1M QSO logs
set -eu
cd "$(dirname "$0")/.."
out=build/native/bench-results
min_time=0.5
wine=1
report=1
for arg in "$@"; do
  case "$arg" in
    --quick) min_time=0.1 ;;
    --no-wine) wine=0 ;;
    --no-report) report=0 ;;
    *) echo "unknown option: $arg" >&2; exit 2 ;;
  esac
done

scripts/configure.sh native >/dev/null
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
  scripts/configure.sh win32 >/dev/null
  cmake --build --preset win32 --target store_memory >/dev/null
  prefix="/tmp/wine-bench-$(id -un)-32"
  export WINEPREFIX="$prefix" WINEARCH=win32 WINEDEBUG=-all
  # A new prefix is created by the first wine run; the server is started for it afterwards.
  wine cmd /c exit </dev/null >/dev/null 2>&1 || true
  wineserver -p </dev/null >/dev/null 2>&1 || true
  wine build/win32/store_memory.exe >"$out/memory-i686.txt" 2>/dev/null
  wineserver -k || true
fi

# The contest report: its own cost per contact and per page, then what --report adds to whole runs of
# the tool on generated logs (the 1M-QSO log takes about a minute to write; it is kept for later runs).
cmake --build --preset native --target contest_report_bench Stats stats-replay >/dev/null
build/native/bench/contest_report_bench --benchmark_min_time=$min_time --benchmark_format=json \
  --benchmark_out="$out/contest_report_bench.json" --benchmark_out_format=json >/dev/null
if [ "$report" = 1 ]; then
  for n in 100000 1000000; do
    [ -f "$out/log-$n.adi" ] || python3 samples/make_sample_log.py --qsos $n "$out/log-$n.adi" 2>/dev/null
  done
  rm -rf "$out/report-run"
  python3 bench/report_cost.py build/native/stats-replay "$out/report-run" 3 "$out/log-100000.adi" \
    "$out/log-1000000.adi" >"$out/report-cost.md"
fi

echo "Machine: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), $(nproc) cores"
python3 bench/table.py "$out"
